#include "platform/serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/clock.h"

namespace platform {

std::string ComPortDevice(int n) {
  const std::string name = "COM" + std::to_string(n);
  if (const char* env = std::getenv(name.c_str()); env && *env) return env;
  return "/dev/ttyS" + std::to_string(n - 1);
}

namespace {

bool BaudConstant(uint32_t baud, speed_t& speed) {
  switch (baud) {
    case 1200: speed = B1200; return true;
    case 2400: speed = B2400; return true;
    case 4800: speed = B4800; return true;
    case 9600: speed = B9600; return true;
    case 19200: speed = B19200; return true;
    case 38400: speed = B38400; return true;
    case 57600: speed = B57600; return true;
    case 115200: speed = B115200; return true;
    case 230400: speed = B230400; return true;
    case 460800: speed = B460800; return true;
    case 921600: speed = B921600; return true;
    default: return false;
  }
}

// Time-outs on a real descriptor are real time: a virtual clock installed by a
// test would never advance while poll() sleeps.
uint32_t RealTick() {
  static SystemClock clock;
  return clock.Tick();
}

}  // namespace

SerialPort::~SerialPort() { Close(); }

bool SerialPort::Fail(const std::string& what) {
  error_ = what + ": " + std::strerror(errno);
  if (fd_ >= 0) {
    if (exclusive_) ::ioctl(fd_, TIOCNXCL);
    ::close(fd_);
  }
  fd_ = -1;
  exclusive_ = false;
  return false;
}

bool SerialPort::Open(const std::string& device, uint32_t baud) {
  Close();
  error_.clear();
  speed_t speed;
  if (!BaudConstant(baud, speed)) {
    error_ = device + ": unsupported baud rate " + std::to_string(baud);
    return false;
  }
  // Non-blocking: the open must not wait for carrier, and reads and writes
  // wait in poll() with their own bounds.
  fd_ = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) return Fail(device);
  if (!::isatty(fd_)) {
    errno = ENOTTY;
    return Fail(device);
  }
  // TIOCEXCL keeps other processes out, but not privileged ones; the lock
  // also stops a second instance of our own programs running as root. The
  // lock comes first: an opener that loses it must not touch the flag that
  // the owner's exclusive use rests on.
  if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) errno = EBUSY;
    return Fail(device);
  }
  if (::ioctl(fd_, TIOCEXCL) != 0) return Fail(device + ": exclusive mode");
  exclusive_ = true;

  termios tio{};
  if (::tcgetattr(fd_, &tio) != 0) return Fail(device + ": tcgetattr");
  oldVmin_ = tio.c_cc[VMIN];
  oldVtime_ = tio.c_cc[VTIME];
  ::cfmakeraw(&tio);
  tio.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | ISTRIP | ICRNL | INLCR | IGNCR | BRKINT | PARMRK);
  tio.c_iflag |= IGNBRK;
  tio.c_oflag &= ~OPOST;
  tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
  tio.c_cflag |= CS8 | CLOCAL | CREAD;
  // With VMIN 1 a non-blocking read without data fails with EAGAIN, so a
  // read of 0 bytes can only mean a hang-up.
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  if (::cfsetispeed(&tio, speed) != 0 || ::cfsetospeed(&tio, speed) != 0) return Fail(device + ": baud rate");
  if (::tcsetattr(fd_, TCSANOW, &tio) != 0) return Fail(device + ": line settings");
  // Bytes that arrived before we owned the line belong to nobody.
  ::tcflush(fd_, TCIOFLUSH);
  return true;
}

bool SerialPort::SetBaud(uint32_t baud) {
  speed_t speed;
  if (fd_ < 0 || !BaudConstant(baud, speed)) return false;
  termios tio{};
  if (::tcgetattr(fd_, &tio) != 0) return false;
  if (::cfsetispeed(&tio, speed) != 0 || ::cfsetospeed(&tio, speed) != 0) return false;
  return ::tcsetattr(fd_, TCSADRAIN, &tio) == 0;
}

bool SerialPort::Write(const uint8_t* data, std::size_t n, std::size_t& written) {
  written = 0;
  if (fd_ < 0) return false;
  uint32_t lastProgress = RealTick();
  while (written < n) {
    const ssize_t r = ::write(fd_, data + written, n - written);
    if (r > 0) {
      written += static_cast<std::size_t>(r);
      lastProgress = RealTick();
      continue;
    }
    if (r < 0 && errno == EINTR) continue;
    if (r < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
    const uint32_t stalled = RealTick() - lastProgress;
    if (stalled >= kWriteStallMs) return false;
    pollfd p{fd_, POLLOUT, 0};
    const int pr = ::poll(&p, 1, static_cast<int>(kWriteStallMs - stalled));
    if (pr < 0 && errno != EINTR) return false;
    if (pr > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL))) return false;
  }
  return true;
}

bool SerialPort::Read(uint8_t* data, std::size_t n, uint32_t timeoutMs, std::size_t& received) {
  received = 0;
  if (fd_ < 0) return false;
  const uint32_t start = RealTick();
  while (received < n) {
    // Wait before reading: in an exchange the answer is not there yet when we
    // ask, and a read that finds nothing costs a system call on every byte.
    const uint32_t elapsed = RealTick() - start;
    const int waitMs = elapsed >= timeoutMs ? 0 : static_cast<int>(timeoutMs - elapsed);
    pollfd p{fd_, POLLIN, 0};
    const int pr = ::poll(&p, 1, waitMs);
    if (pr < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (pr == 0) {
      if (waitMs == 0) return true;
      continue;  // woke a little early by our clock; the loop waits out the rest
    }
    if (!(p.revents & POLLIN) && (p.revents & (POLLERR | POLLHUP | POLLNVAL))) return false;
    const ssize_t r = ::read(fd_, data + received, n - received);
    if (r > 0) {
      received += static_cast<std::size_t>(r);
      continue;
    }
    if (r == 0) return false;  // end of file: the other side hung up
    if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) return false;
    if (waitMs == 0) return true;  // readable by poll yet nothing to read: the time is up all the same
  }
  return true;
}

void SerialPort::PurgeRx() {
  if (fd_ >= 0) ::tcflush(fd_, TCIFLUSH);
}

void SerialPort::PurgeTx() {
  if (fd_ >= 0) ::tcflush(fd_, TCOFLUSH);
}

bool SerialPort::Close() {
  if (fd_ < 0) return true;
  termios tio{};
  if (::tcgetattr(fd_, &tio) == 0) {
    tio.c_cc[VMIN] = oldVmin_;
    tio.c_cc[VTIME] = oldVtime_;
    ::tcsetattr(fd_, TCSANOW, &tio);
  }
  // The flag belongs to the device, not to our descriptor: left set, it would
  // lock everyone else out for as long as any other program holds the device.
  if (exclusive_) ::ioctl(fd_, TIOCNXCL);
  exclusive_ = false;
  const int r = ::close(fd_);
  fd_ = -1;
  return r == 0 || errno == EINTR;  // after EINTR the descriptor is gone on Linux
}

}  // namespace platform
