// A host's end of a simulator's pseudo-terminal: opened raw, bytes written
// and read back within a bound of wall time (the simulator is a real process
// on its own clock).
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vx930::testing {

// Opens `path` raw, at `speed` when given; -1 when it cannot be opened.
inline int OpenRawPty(const std::string& path, std::optional<speed_t> speed = std::nullopt) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
  if (fd < 0) return -1;
  termios tio{};
  ::tcgetattr(fd, &tio);
  ::cfmakeraw(&tio);
  if (speed) {
    ::cfsetispeed(&tio, *speed);
    ::cfsetospeed(&tio, *speed);
  }
  ::tcsetattr(fd, TCSANOW, &tio);
  return fd;
}

inline void SetPtySpeed(int fd, speed_t speed) {
  termios tio{};
  ::tcgetattr(fd, &tio);
  ::cfsetispeed(&tio, speed);
  ::cfsetospeed(&tio, speed);
  ::tcsetattr(fd, TCSANOW, &tio);
}

// Reads until `n` bytes came or `ms` passed; fewer on time-out or hang-up.
inline std::vector<uint8_t> ReadFor(int fd, size_t n, int ms) {
  std::vector<uint8_t> got;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (got.size() < n && std::chrono::steady_clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 20) <= 0) continue;
    uint8_t buf[512];
    const ssize_t r = ::read(fd, buf, std::min(sizeof buf, n - got.size()));
    if (r <= 0) break;
    got.insert(got.end(), buf, buf + r);
  }
  return got;
}

// Writes `out` whole, then reads up to `n` reply bytes within `ms`.
inline std::vector<uint8_t> Exchange(int fd, const std::vector<uint8_t>& out, size_t n, int ms = 2000) {
  EXPECT_EQ(::write(fd, out.data(), out.size()), static_cast<ssize_t>(out.size()));
  return ReadFor(fd, n, ms);
}

}  // namespace vx930::testing
