// vx930-boardsim as a child process on a pseudo-terminal.
#include <fcntl.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "sim/ice/engine_protocol.h"
#include "tests/sim/ice/board_test_util.h"
#include "tests/support/board_sim_process.h"
#include "tests/support/pty_io.h"

namespace sim::ice {
namespace {

using test::Bytes;
using test::Frame;

using BoardSim = vx930::testing::BoardSimProcess;

using vx930::testing::Exchange;
using vx930::testing::OpenRawPty;
using vx930::testing::ReadFor;

TEST(BoardPty, ServesTheBoardOnThePrintedPathUntilTerminated) {
  BoardSim sim;
  ASSERT_GT(sim.pid(), 0);
  const std::string path = sim.ReadLine();
  ASSERT_EQ(path.rfind("/dev/", 0), 0u) << path;

  // The line is raw before the host sets anything.
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  termios tio{};
  ASSERT_EQ(::tcgetattr(fd, &tio), 0);
  EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
  EXPECT_EQ(tio.c_iflag & (ICRNL | IXON | ISTRIP | INLCR | IGNCR), 0u);
  EXPECT_EQ(tio.c_oflag & OPOST, 0u);
  EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  ::close(fd);

  fd = OpenRawPty(path);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(Exchange(fd, {0x00, 0x00, 0x00, 0x05, 0xFB}, 5), (Bytes{0x00, 0x00, 0x00, 0x05, 0xFB}));

  // Every byte value crosses unchanged both ways: write four blocks, read them back.
  for (int b = 0; b < 4; ++b) {
    Bytes block(64);
    for (int i = 0; i < 64; ++i) block[i] = static_cast<uint8_t>(b * 64 + i);
    ASSERT_EQ(Exchange(fd, Frame(icTxROM, 0x00, static_cast<uint8_t>(b * 64), block), 5).at(3), 0x01);
    const Bytes reply = Exchange(fd, Frame(icRxROM, 0x00, static_cast<uint8_t>(b * 64)), 69);
    ASSERT_EQ(reply.size(), 69u);
    EXPECT_EQ(test::Payload(reply), block);
  }

  // The host closes the line and opens it again: the board still answers.
  ::close(fd);
  ::usleep(100000);
  fd = OpenRawPty(path);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(Exchange(fd, Frame(icRxVersion), 5), (Bytes{0x00, 0x02, 0x10, 0x38, 0xB6}));

  // A free run goes on while polled, and stops.
  EXPECT_EQ(Exchange(fd, Frame(icRun), 5).at(3), icRun);
  EXPECT_EQ(Exchange(fd, Frame(icBusyCheck), 5).at(3), stBusy);
  EXPECT_EQ(Exchange(fd, Frame(icStop), 5).at(3), icStop);
  EXPECT_EQ(Exchange(fd, Frame(icBusyCheck), 5).at(3), stReady);
  ::close(fd);

  ::kill(sim.pid(), SIGTERM);
  EXPECT_EQ(sim.WaitExit(15000), 0);
}

TEST(BoardPty, FaultsFromTheCommandLineAndTheLogFile) {
  char logPath[] = "/tmp/boardsim-log-XXXXXX";
  const int logFd = ::mkstemp(logPath);
  ASSERT_GE(logFd, 0);
  ::close(logFd);
  BoardSim sim({"--fault", "05@2:badsum", "--fault", "38:hangup", "--log", logPath});
  const std::string path = sim.ReadLine();
  const int fd = OpenRawPty(path);
  ASSERT_GE(fd, 0);

  EXPECT_TRUE(test::ReplyChecksumOk(Exchange(fd, Frame(icReset), 5)));
  const Bytes spoiled = Exchange(fd, Frame(icReset), 5);
  ASSERT_EQ(spoiled.size(), 5u);
  EXPECT_FALSE(test::ReplyChecksumOk(spoiled));

  // The hang-up: no reply, the line goes dead and the simulator ends.
  EXPECT_TRUE(Exchange(fd, Frame(icRxVersion), 5).empty());
  EXPECT_EQ(sim.WaitExit(15000), 0);
  uint8_t b;
  EXPECT_LE(::read(fd, &b, 1), 0);
  ::close(fd);

  std::ifstream in(logPath);
  std::stringstream text;
  text << in.rdbuf();
  ::unlink(logPath);
  EXPECT_NE(text.str().find("host>  00 00 00 05 FB  icReset"), std::string::npos) << text.str();
  EXPECT_NE(text.str().find("fault:badsum"), std::string::npos);
  EXPECT_NE(text.str().find("icRxVersion  fault:hangup"), std::string::npos);
}

TEST(BoardPty, RefusesABadFaultSpec) {
  BoardSim sim({"--fault", "05:nonsense"});
  EXPECT_EQ(sim.WaitExit(15000), 2);
}

}  // namespace
}  // namespace sim::ice
