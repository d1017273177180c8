// zolvek-sim as a child process on a pseudo-terminal: the COM link.
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/programmer/usb_adapter.h"
#include "tests/support/board_sim_process.h"
#include "tests/support/pty_io.h"

namespace sim::programmer {
namespace {

using Bytes = std::vector<uint8_t>;

const std::string kZolvekSimPath = std::string(VX_BINARY_DIR) + "/sim/programmer/zolvek-sim";

using vx930::testing::Exchange;
using vx930::testing::OpenRawPty;
using vx930::testing::ReadFor;
using vx930::testing::SetPtySpeed;

TEST(ZolvekSimPty, AnswersThePromptAtItsRateAndMovesToTheNegotiatedOne) {
  vx930::testing::BoardSimProcess sim({}, kZolvekSimPath);
  const std::string path = sim.ReadLine();
  ASSERT_FALSE(path.empty());
  const int fd = OpenRawPty(path, B115200);
  ASSERT_GE(fd, 0);
  EXPECT_TRUE(Exchange(fd, {'A', 'T'}, 1, 300).empty());  // it listens at 9600
  // The simulator may take the bytes just sent while the line already
  // changes rate, so a busy machine can leave it mid-command: let it give up
  // and go quiet before the line is cleared.
  SetPtySpeed(fd, B9600);
  ::usleep(1500000);
  ::tcflush(fd, TCIOFLUSH);
  EXPECT_EQ(Exchange(fd, {'A', 'T', 'B'}, 2), (Bytes{'O', 0x01}));
  // 'T' with the rate code of 57600, then the host follows. The switch takes
  // effect when the simulator gets to the byte, which a loaded machine may
  // delay: the host asks again, within a bound, until it is heard at 57600.
  EXPECT_EQ(Exchange(fd, {'A', 'T'}, 1), Bytes{'O'});
  ASSERT_EQ(::write(fd, "T\x01", 2), 2);
  ::usleep(50000);
  SetPtySpeed(fd, B57600);
  Bytes answer;
  for (int attempt = 0; attempt < 10 && answer != Bytes{'O', 0x01}; ++attempt) {
    ::tcflush(fd, TCIOFLUSH);
    answer = Exchange(fd, {'A', 'T', 'B'}, 2);
  }
  EXPECT_EQ(answer, (Bytes{'O', 0x01}));
  ::close(fd);
}

TEST(ZolvekSimPty, FaultsAndDeviceChoicesComeFromTheCommandLine) {
  vx930::testing::BoardSimProcess sim({"--fault", "B:pack:2", "--fault", "*@2:silent"}, kZolvekSimPath);
  const int fd = OpenRawPty(sim.ReadLine(), B9600);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(Exchange(fd, {'A', 'T', 'B'}, 2), (Bytes{'O', 0x02}));
  EXPECT_TRUE(Exchange(fd, {'A', 'T'}, 1, 300).empty());
  ::close(fd);
  vx930::testing::BoardSimProcess bad({"--fault", "B:nonsense"}, kZolvekSimPath);
  EXPECT_EQ(bad.WaitExit(15000), 2);
}

TEST(ZolvekSimPty, TheFakeUsbLibraryReachesZolvekSimThroughTheEnvironment) {
  vx930::testing::BoardSimProcess sim({"--any-rate"}, kZolvekSimPath);
  const std::string path = sim.ReadLine();
  ASSERT_FALSE(path.empty());
  ::setenv("ZOLVEK_SIM_USB", path.c_str(), 1);
  FakeFtd2xx ft;
  ASSERT_TRUE(ft.Loaded()) << ft.Error();
  ft.FromEnvironment();
  ::unsetenv("ZOLVEK_SIM_USB");
  uint32_t count = 0;
  ASSERT_EQ(ft.ListDevices(&count, nullptr, 0x80000000), ZSIM_FT_OK);
  ASSERT_EQ(count, 1u);
  char description[64] = {};
  ASSERT_EQ(ft.ListDevices(nullptr, description, 0x40000002), ZSIM_FT_OK);
  EXPECT_STREQ(description, "USB driver for Brenlab");
  ZsimFtHandle h = nullptr;
  ASSERT_EQ(ft.Open(0, &h), ZSIM_FT_OK);
  ASSERT_EQ(ft.SetTimeouts(h, 2000, 2000), ZSIM_FT_OK);
  uint8_t atb[] = {'A', 'T', 'B'};
  uint32_t n = 0;
  ASSERT_EQ(ft.Write(h, atb, 3, &n), ZSIM_FT_OK);
  uint8_t reply[2] = {};
  ASSERT_EQ(ft.Read(h, reply, 2, &n), ZSIM_FT_OK);
  EXPECT_EQ(n, 2u);
  EXPECT_EQ(reply[0], 'O');
  EXPECT_EQ(reply[1], 0x01);
  EXPECT_EQ(ft.Close(h), ZSIM_FT_OK);
  ft.Reset();
}

}  // namespace
}  // namespace sim::programmer
