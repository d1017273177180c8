#include "sim/common/pty.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace sim {

std::string SysError(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

bool WritePending(int master, const std::vector<uint8_t>& out, size_t& sent) {
  while (sent < out.size()) {
    const ssize_t n = ::write(master, out.data() + sent, out.size() - sent);
    if (n > 0) {
      sent += static_cast<size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && errno != EAGAIN) {
      sent = out.size();
      return false;
    } else {
      return true;  // full for now
    }
  }
  return true;
}

bool OpenRawPty(speed_t speed, int* master, std::string* slavePath, std::string* error) {
  *master = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (*master < 0) {
    if (error) *error = SysError("posix_openpt");
    return false;
  }
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    ::close(*master);
    *master = -1;
    return false;
  };
  char name[128];
  if (::grantpt(*master) != 0 || ::unlockpt(*master) != 0 || ::ptsname_r(*master, name, sizeof name) != 0)
    return fail(SysError("pseudo-terminal set-up"));
  *slavePath = name;

  const int slave = ::open(name, O_RDWR | O_NOCTTY);
  if (slave < 0) return fail(SysError("open slave"));
  termios tio{};
  bool ok = ::tcgetattr(slave, &tio) == 0;
  if (ok) {
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, speed);
    ::cfsetospeed(&tio, speed);
    ok = ::tcsetattr(slave, TCSANOW, &tio) == 0;
  }
  const std::string why = ok ? "" : SysError("raw mode");
  ::close(slave);
  if (!ok) return fail(why);
  const int flags = ::fcntl(*master, F_GETFL);
  if (flags < 0 || ::fcntl(*master, F_SETFL, flags | O_NONBLOCK) != 0) return fail(SysError("fcntl"));
  return true;
}

uint32_t PtyHostRate(int master) {
  termios tio{};
  if (::tcgetattr(master, &tio) != 0) return 0;
  switch (::cfgetospeed(&tio)) {
    case B1200: return 1200;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    case B230400: return 230400;
    default: return 0;
  }
}

}  // namespace sim
