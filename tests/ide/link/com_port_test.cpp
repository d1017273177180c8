// The IDE's serial port object: numbers, open and close, read time-outs.
#include "ide/link/com_port.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/messages.h"
#include "tests/ide/link/fake_wire.h"
#include "tests/support/pty_io.h"
#include "tests/support/scoped_env.h"

namespace vx930 {
namespace {

using ::testing::ElementsAre;
using testing::FakeWire;

class ComPortTest : public ::testing::Test {
protected:
  FakeWire wire;
  platform::ScopedClock clock{wire};
  platform::RecordingMessages messages;
  platform::ScopedMessages scope{messages};
};

TEST_F(ComPortTest, NumbersOutsideOneToFiveAreRefusedSilently) {
  for (int n : {0, 6, -1}) {
    SCOPED_TRACE(n);
    COM_Port port(n, wire.Opener());
    EXPECT_FALSE(port.OpenPort());
    EXPECT_FALSE(port.IsOpen());
  }
  EXPECT_EQ(wire.Opens(), 0);
  EXPECT_TRUE(messages.Shown().empty());
}

TEST_F(ComPortTest, AFailedOpenShowsItsBoxAndLeavesNothingToClose) {
  {
    COM_Port port(2, [](int) { return nullptr; });
    EXPECT_FALSE(port.OpenPort());
    EXPECT_FALSE(port.IsOpen());
    ASSERT_EQ(messages.Shown().size(), 1u);
    EXPECT_EQ(messages.Shown()[0].text, "Open ComPort Error!!");
    EXPECT_EQ(messages.Shown()[0].caption, "");  // a plain box without caption
    uint8_t b = 0;
    uint32_t n = 7;
    EXPECT_FALSE(port.WritePort(&b, 1, n));
    EXPECT_EQ(n, 0u);
    EXPECT_FALSE(port.ReadPort(&b, 1, n));
  }
  // The destructor had nothing to purge, close or report.
  EXPECT_EQ(messages.Shown().size(), 1u);
  EXPECT_TRUE(wire.Events().empty());
}

TEST_F(ComPortTest, OpeningAnOpenPortClosesTheOldLinkFirst) {
  COM_Port port(3, wire.Opener());
  ASSERT_TRUE(port.OpenPort());
  EXPECT_EQ(port.GetPortNo(), 3);
  ASSERT_TRUE(port.OpenPort());
  EXPECT_EQ(wire.Opens(), 2);
  EXPECT_THAT(wire.Events(), ElementsAre("purge tx", "purge rx", "close"));
  EXPECT_TRUE(port.IsOpen());
}

TEST_F(ComPortTest, DestructionPurgesAndClosesAndReportsAFailedClose) {
  {
    COM_Port port(1, wire.Opener());
    ASSERT_TRUE(port.OpenPort());
    wire.FailClose(true);
  }
  EXPECT_THAT(wire.Events(), ElementsAre("purge tx", "purge rx", "close"));
  ASSERT_EQ(messages.Shown().size(), 1u);
  EXPECT_EQ(messages.Shown()[0].text, "Close CommPort Failed");
  EXPECT_EQ(messages.Shown()[0].caption, "VX930_IDE");
}

TEST_F(ComPortTest, AReadEndsAfterOneHundredMillisecondsPlusOnePerByte) {
  COM_Port port(1, wire.Opener());
  ASSERT_TRUE(port.OpenPort());
  uint8_t buf[69];
  for (uint32_t n : {5u, 69u}) {
    SCOPED_TRACE(n);
    const uint32_t start = wire.Tick();
    uint32_t received = 99;
    EXPECT_TRUE(port.ReadPort(buf, n, received));  // a time-out is no failure
    EXPECT_EQ(received, 0u);
    EXPECT_EQ(wire.Tick() - start, 100 + n);
  }
  // Bytes that are there end the read at once.
  wire.Inject({1, 2, 3, 4, 5});
  const uint32_t start = wire.Tick();
  uint32_t received = 0;
  EXPECT_TRUE(port.ReadPort(buf, 5, received));
  EXPECT_EQ(received, 5u);
  EXPECT_EQ(wire.Tick(), start);
}

TEST_F(ComPortTest, WriteAndReadFailWhenTheLinkFails) {
  COM_Port port(1, wire.Opener());
  ASSERT_TRUE(port.OpenPort());
  wire.HangUp();
  uint8_t b[5] = {};
  uint32_t n = 0;
  EXPECT_FALSE(port.WritePort(b, 5, n));
  EXPECT_FALSE(port.ReadPort(b, 5, n));
}

// A pulled adapter or a board switched off: the port lets go of the dead link
// at once and opens the device again, without a box, when it is back.
TEST_F(ComPortTest, ALinkThatFailsIsReleasedAndOpenedAgainOnceTheDeviceIsBack) {
  FakeWire board;  // the board that comes back
  bool present = true;
  int tries = 0;
  COM_Port port(1, [&](int) -> std::unique_ptr<platform::ByteLink> {
    ++tries;
    if (!present) return nullptr;
    return tries == 1 ? wire.Link() : board.Link();
  });
  ASSERT_TRUE(port.OpenPort());
  wire.HangUp();
  present = false;
  uint8_t b[5] = {0x00, 0x00, 0x00, 0x05, 0xFB};
  uint32_t n = 0;
  EXPECT_FALSE(port.ReadPort(b, 5, n));
  EXPECT_FALSE(port.IsOpen());
  EXPECT_TRUE(port.IsLost());
  EXPECT_EQ(wire.Closes(), 1);  // the device is free to come back under its name

  // While it is away every read and write fails, quietly, and tries again.
  EXPECT_FALSE(port.WritePort(b, 5, n));
  EXPECT_FALSE(port.ReadPort(b, 5, n, 0));
  EXPECT_EQ(tries, 3);

  present = true;
  ASSERT_TRUE(port.WritePort(b, 5, n));
  EXPECT_EQ(n, 5u);
  EXPECT_TRUE(port.IsOpen());
  EXPECT_FALSE(port.IsLost());
  ASSERT_EQ(board.Requests().size(), 1u);
  EXPECT_EQ(testing::Hex(board.Requests()[0]), "00 00 00 05 FB");
  EXPECT_TRUE(messages.Shown().empty());
}

TEST_F(ComPortTest, AStalledWriteKeepsTheLinkAndAClosedPortStaysClosed) {
  COM_Port port(1, wire.Opener());
  uint8_t b = 0;
  uint32_t n = 0;
  // Never opened: nothing to open again.
  EXPECT_FALSE(port.WritePort(&b, 1, n));
  EXPECT_FALSE(port.ReadPort(&b, 1, n, 0));
  EXPECT_EQ(wire.Opens(), 0);

  ASSERT_TRUE(port.OpenPort());
  wire.FailWrites(true);
  EXPECT_FALSE(port.WritePort(&b, 1, n));
  EXPECT_TRUE(port.IsOpen());
  EXPECT_FALSE(port.IsLost());
  EXPECT_EQ(wire.Closes(), 0);
  EXPECT_EQ(wire.Opens(), 1);
}

// The real serial port behind COMn, on a pseudo-terminal named by the environment.
using testing::ScopedEnv;

TEST(ComPortSerial, ComNOpensTheDeviceItsEnvironmentVariableNames) {
  platform::RecordingMessages messages;
  platform::ScopedMessages scope(messages);
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(::grantpt(master), 0);
  ASSERT_EQ(::unlockpt(master), 0);
  ScopedEnv env("COM4", ::ptsname(master));

  COM_Port port(4);
  ASSERT_TRUE(port.OpenPort());
  const uint8_t reset[5] = {0x00, 0x00, 0x00, 0x05, 0xFB};
  uint32_t written = 0;
  ASSERT_TRUE(port.WritePort(reset, 5, written));
  EXPECT_EQ(written, 5u);
  EXPECT_EQ(vx930::testing::ReadFor(master, 5, 2000), std::vector<uint8_t>(reset, reset + 5));

  const uint8_t reply[5] = {0x00, 0x00, 0x00, 0x05, 0xFB};
  ASSERT_EQ(::write(master, reply, 5), 5);
  uint8_t in[5] = {};
  uint32_t received = 0;
  ASSERT_TRUE(port.ReadPort(in, 5, received));
  EXPECT_EQ(received, 5u);
  ::close(master);
  EXPECT_TRUE(messages.Shown().empty());
}

TEST(ComPortSerial, ABoardThatComesBackOnANewTerminalIsReachedAgain) {
  platform::RecordingMessages messages;
  platform::ScopedMessages scope(messages);
  // COM3 names a link that is pointed at each board's terminal in turn, as a
  // device name is given again to an adapter plugged back in.
  char dir[] = "/tmp/vx930-comport-XXXXXX";
  ASSERT_NE(::mkdtemp(dir), nullptr);
  const std::string name = std::string(dir) + "/com3";
  auto board = [&] {
    const int m = ::posix_openpt(O_RDWR | O_NOCTTY);
    EXPECT_GE(m, 0);
    EXPECT_EQ(::grantpt(m), 0);
    EXPECT_EQ(::unlockpt(m), 0);
    ::unlink(name.c_str());
    EXPECT_EQ(::symlink(::ptsname(m), name.c_str()), 0);
    return m;
  };
  ScopedEnv env("COM3", name);
  int master = board();
  COM_Port port(3);
  ASSERT_TRUE(port.OpenPort());

  ::close(master);  // the board goes
  ::unlink(name.c_str());
  uint8_t in[5] = {};
  uint32_t received = 0;
  EXPECT_FALSE(port.ReadPort(in, 5, received, 50));
  EXPECT_FALSE(port.IsOpen());
  EXPECT_FALSE(port.ReadPort(in, 5, received, 0));  // still away

  master = board();  // and comes back
  const uint8_t reset[5] = {0x00, 0x00, 0x00, 0x05, 0xFB};
  uint32_t written = 0;
  ASSERT_TRUE(port.WritePort(reset, 5, written));
  EXPECT_EQ(vx930::testing::ReadFor(master, 5, 2000), std::vector<uint8_t>(reset, reset + 5));
  ::close(master);
  ::unlink(name.c_str());
  ::rmdir(dir);
  EXPECT_TRUE(messages.Shown().empty());
}

TEST(ComPortSerial, AMissingDeviceFailsTheOpenWithItsBox) {
  platform::RecordingMessages messages;
  platform::ScopedMessages scope(messages);
  ScopedEnv env("COM5", "/dev/no-such-serial-device");
  COM_Port port(5);
  EXPECT_FALSE(port.OpenPort());
  EXPECT_EQ(messages.LastText(), "Open ComPort Error!!");
}

}  // namespace
}  // namespace vx930
