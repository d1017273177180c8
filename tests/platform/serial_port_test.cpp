// The termios serial port, on a pseudo-terminal pair: the test holds the
// master side and plays the device; the port opens the slave side.
#include "platform/serial_port.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include <chrono>
#include <cstdlib>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/pty_io.h"
#include "tests/support/scoped_env.h"

namespace {

using platform::SerialPort;
using Clock = std::chrono::steady_clock;

long MsSince(Clock::time_point t) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count());
}

class Pty {
public:
  Pty() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
    slave_ = ::ptsname(master_);
  }
  ~Pty() { CloseMaster(); }
  bool ok() const { return master_ >= 0 && !slave_.empty(); }
  const std::string& slave() const { return slave_; }

  void Send(const std::vector<uint8_t>& bytes) {
    ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // Reads from the master until n bytes came or timeoutMs passed.
  std::vector<uint8_t> Receive(std::size_t n, int timeoutMs = 2000) {
    return vx930::testing::ReadFor(master_, n, timeoutMs);
  }
  void CloseMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

private:
  int master_ = -1;
  std::string slave_;
};

std::vector<uint8_t> AllByteValues() {
  std::vector<uint8_t> v(256);
  std::iota(v.begin(), v.end(), 0);
  return v;
}

class SerialPortPty : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(pty.ok());
    ASSERT_TRUE(port.Open(pty.slave())) << port.Error();
  }
  Pty pty;
  SerialPort port;
};

TEST_F(SerialPortPty, EveryByteValueCrossesBothWaysUnchanged) {
  // Twice over, so that XON/XOFF, CR/LF, ^C, ^D, ^Z and 0xFF meet every state.
  std::vector<uint8_t> sent = AllByteValues();
  sent.insert(sent.end(), sent.rbegin(), sent.rend());

  pty.Send(sent);
  std::vector<uint8_t> got(sent.size());
  std::size_t received = 0;
  ASSERT_TRUE(port.Read(got.data(), got.size(), 2000, received));
  ASSERT_EQ(received, sent.size());
  EXPECT_EQ(got, sent);

  std::size_t written = 0;
  ASSERT_TRUE(port.Write(sent.data(), sent.size(), written));
  EXPECT_EQ(written, sent.size());
  EXPECT_EQ(pty.Receive(sent.size()), sent);
  // Nothing was echoed back to the reader.
  std::size_t extra = 0;
  uint8_t b;
  ASSERT_TRUE(port.Read(&b, 1, 50, extra));
  EXPECT_EQ(extra, 0u);
}

TEST_F(SerialPortPty, ReadEndsAtOnceWhenAllBytesArrived) {
  pty.Send({1, 2, 3, 4, 5});
  uint8_t buf[5];
  std::size_t received = 0;
  const auto start = Clock::now();
  ASSERT_TRUE(port.Read(buf, 5, 1000, received));
  EXPECT_EQ(received, 5u);
  EXPECT_LT(MsSince(start), 500);
}

TEST_F(SerialPortPty, ReadOnASilentLineSucceedsEmptyAfterItsTimeOut) {
  uint8_t buf[5];
  std::size_t received = 99;
  const auto start = Clock::now();
  ASSERT_TRUE(port.Read(buf, 5, 105, received));
  const long ms = MsSince(start);
  EXPECT_EQ(received, 0u);
  EXPECT_GE(ms, 100);
  EXPECT_LT(ms, 600);
}

TEST_F(SerialPortPty, ShortReplyIsDeliveredAtTheTimeOut) {
  pty.Send({0xAA, 0x55, 0x00});
  uint8_t buf[5];
  std::size_t received = 0;
  const auto start = Clock::now();
  ASSERT_TRUE(port.Read(buf, 5, 150, received));
  EXPECT_EQ(received, 3u);
  EXPECT_GE(MsSince(start), 140);
  EXPECT_EQ(buf[0], 0xAA);
  EXPECT_EQ(buf[2], 0x00);
}

TEST_F(SerialPortPty, PurgeRxDiscardsWhatWaits) {
  pty.Send({9, 9, 9, 9});
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  port.PurgeRx();
  pty.Send({7});
  uint8_t buf[5];
  std::size_t received = 0;
  ASSERT_TRUE(port.Read(buf, 5, 100, received));
  ASSERT_EQ(received, 1u);
  EXPECT_EQ(buf[0], 7);
}

TEST_F(SerialPortPty, HangUpFailsTheReadPromptly) {
  pty.CloseMaster();
  uint8_t buf[5];
  std::size_t received = 0;
  const auto start = Clock::now();
  EXPECT_FALSE(port.Read(buf, 5, 2000, received));
  EXPECT_LT(MsSince(start), 1000);
}

TEST_F(SerialPortPty, WriteToADeviceThatTakesNothingGivesUp) {
  // The master never reads: once the pty's buffers are full the write must
  // fail after its stall bound instead of blocking the caller for ever.
  std::vector<uint8_t> lots(4 << 20, 0x5A);
  std::size_t written = 0;
  const auto start = Clock::now();
  EXPECT_FALSE(port.Write(lots.data(), lots.size(), written));
  EXPECT_LT(written, lots.size());
  EXPECT_LT(MsSince(start), 5000);
}

TEST_F(SerialPortPty, OperationsOnAClosedPortFail) {
  EXPECT_TRUE(port.Close());
  EXPECT_FALSE(port.IsOpen());
  uint8_t b = 0;
  std::size_t n = 0;
  EXPECT_FALSE(port.Write(&b, 1, n));
  EXPECT_FALSE(port.Read(&b, 1, 10, n));
  EXPECT_TRUE(port.Close());
}

TEST_F(SerialPortPty, SetBaudChangesTheRateOfTheOpenPort) {
  EXPECT_TRUE(port.SetBaud(9600));
  termios tio{};
  const int fd = ::open(pty.slave().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::tcgetattr(fd, &tio), 0);
  EXPECT_EQ(::cfgetospeed(&tio), static_cast<speed_t>(B9600));
  ::close(fd);
  EXPECT_FALSE(port.SetBaud(12345));  // not a rate of the line
  const std::vector<uint8_t> bytes{0x41, 0x00, 0xFF};
  std::size_t written = 0;
  ASSERT_TRUE(port.Write(bytes.data(), bytes.size(), written));
  EXPECT_EQ(pty.Receive(bytes.size()), bytes);
  port.Close();
  EXPECT_FALSE(port.SetBaud(9600));
}

TEST(SerialPort, OpenIsExclusive) {
  Pty pty;
  ASSERT_TRUE(pty.ok());
  SerialPort first, second;
  ASSERT_TRUE(first.Open(pty.slave())) << first.Error();
  EXPECT_FALSE(second.Open(pty.slave()));
  EXPECT_FALSE(second.IsOpen());
  EXPECT_FALSE(second.Error().empty());
  first.Close();
  EXPECT_TRUE(second.Open(pty.slave())) << second.Error();
}

// What an ordinary user's program gets when it opens the device: 0 opened,
// EBUSY, another errno, or -1 when the test cannot act as such a user.
// Root passes an exclusive line, so the attempt runs in a child that has
// given up root.
int OpenAsOrdinaryUser(const std::string& device) {
  const pid_t child = ::fork();
  if (child < 0) return -1;
  if (child == 0) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(255);
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ::_exit(fd >= 0 ? 0 : (errno & 0x7F));
  }
  int status = 0;
  if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status) == 255 ? -1 : WEXITSTATUS(status);
}

// The line is ours alone while the port is open, and free again once it is
// closed, even when some other program held the device open all along.
TEST(SerialPort, ExclusiveWhileOpenAndReleasedByClose) {
  Pty pty;
  ASSERT_TRUE(pty.ok());
  ASSERT_EQ(::chmod(pty.slave().c_str(), 0666), 0);
  if (OpenAsOrdinaryUser(pty.slave()) != 0) GTEST_SKIP() << "cannot open as an ordinary user";
  const int other = ::open(pty.slave().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(other, 0);

  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    SerialPort port;
    ASSERT_TRUE(port.Open(pty.slave())) << port.Error();
    EXPECT_EQ(OpenAsOrdinaryUser(pty.slave()), EBUSY);
    ASSERT_TRUE(port.Close());
    EXPECT_EQ(OpenAsOrdinaryUser(pty.slave()), 0);
  }
  // A second opener that is refused leaves the first one's line exclusive.
  SerialPort first, second;
  ASSERT_TRUE(first.Open(pty.slave())) << first.Error();
  EXPECT_FALSE(second.Open(pty.slave()));
  EXPECT_EQ(OpenAsOrdinaryUser(pty.slave()), EBUSY);
  first.Close();
  ::close(other);
}

TEST(SerialPort, MissingOrUnsuitableDeviceFailsWithAReason) {
  SerialPort port;
  EXPECT_FALSE(port.Open("/dev/no-such-serial-device"));
  EXPECT_NE(port.Error().find("/dev/no-such-serial-device"), std::string::npos);
  EXPECT_FALSE(port.Open("/dev/null"));  // not a terminal
  EXPECT_FALSE(port.IsOpen());
  Pty pty;
  ASSERT_TRUE(pty.ok());
  EXPECT_FALSE(port.Open(pty.slave(), 12345));  // no such rate
}

TEST(SerialPort, LineSettingsAreRaw8N1WithoutFlowControlAndCloseRestoresTimeOuts) {
  Pty pty;
  ASSERT_TRUE(pty.ok());
  // A descriptor opened before the port's exclusive open, to look at the line.
  const int peek = ::open(pty.slave().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(peek, 0);
  termios before{};
  ASSERT_EQ(::tcgetattr(peek, &before), 0);
  before.c_cc[VMIN] = 5;
  before.c_cc[VTIME] = 7;
  ASSERT_EQ(::tcsetattr(peek, TCSANOW, &before), 0);

  SerialPort port;
  ASSERT_TRUE(port.Open(pty.slave())) << port.Error();
  termios t{};
  ASSERT_EQ(::tcgetattr(peek, &t), 0);
  EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B57600));
  EXPECT_EQ(::cfgetispeed(&t), static_cast<speed_t>(B57600));
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | ISTRIP | INPCK), 0u);
  EXPECT_EQ(t.c_oflag & OPOST, 0u);
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);

  ASSERT_TRUE(port.Close());
  ASSERT_EQ(::tcgetattr(peek, &t), 0);
  EXPECT_EQ(t.c_cc[VMIN], 5);
  EXPECT_EQ(t.c_cc[VTIME], 7);
  ::close(peek);
}

TEST(SerialPort, AsksForTheRequestedRate) {
  Pty pty;
  ASSERT_TRUE(pty.ok());
  const int peek = ::open(pty.slave().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(peek, 0);
  SerialPort port;
  ASSERT_TRUE(port.Open(pty.slave(), 115200)) << port.Error();
  termios t{};
  ASSERT_EQ(::tcgetattr(peek, &t), 0);
  EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B115200));
  ::close(peek);
}

using vx930::testing::ScopedEnv;

TEST(ComPortDevice, MapsComNToTtySUnlessTheEnvironmentNamesADevice) {
  {
    ScopedEnv e("COM1", nullptr);
    EXPECT_EQ(platform::ComPortDevice(1), "/dev/ttyS0");
  }
  {
    ScopedEnv e("COM5", nullptr);
    EXPECT_EQ(platform::ComPortDevice(5), "/dev/ttyS4");
  }
  {
    ScopedEnv e("COM3", "/dev/ttyUSB0");
    EXPECT_EQ(platform::ComPortDevice(3), "/dev/ttyUSB0");
  }
  {
    ScopedEnv e("COM2", "");
    EXPECT_EQ(platform::ComPortDevice(2), "/dev/ttyS1");
  }
}

}  // namespace
