#include "sim/programmer/pty_server.h"

#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "sim/common/pty.h"

namespace sim::programmer {

namespace {

constexpr int kIdleMs = 50;

}  // namespace

PtyServer::PtyServer(Programmer& programmer, bool checkRate) : programmer_(programmer), checkRate_(checkRate) {}

PtyServer::~PtyServer() { Close(); }

void PtyServer::Close() {
  if (master_ >= 0) ::close(master_);
  master_ = -1;
}

bool PtyServer::Open(std::string* error) {
  Close();
  return sim::OpenRawPty(B9600, &master_, &slavePath_, error);
}

bool PtyServer::Serve(const std::atomic<bool>& stop, std::string* error) {
  if (master_ < 0) {
    if (error) *error = "not open";
    return false;
  }
  uint8_t buf[4096];
  while (!stop.load()) {
    const uint32_t hostRate = checkRate_ ? sim::PtyHostRate(master_) : 0;
    if (outSent_ == out_.size()) {
      out_.assign(buf, buf + programmer_.HostRead(buf, sizeof buf, hostRate));
      outSent_ = 0;
    }
    bool hostGone = false;
    while (outSent_ < out_.size()) {
      const ssize_t n = ::write(master_, out_.data() + outSent_, out_.size() - outSent_);
      if (n > 0) {
        outSent_ += static_cast<size_t>(n);
      } else if (n < 0 && errno == EINTR) {
        continue;
      } else {
        if (n < 0 && errno != EAGAIN) hostGone = true;
        break;
      }
    }
    if (hostGone) outSent_ = out_.size();

    // Wake when the next reply byte is due, to the microsecond: a paced
    // line answers within a few hundred microseconds, and a wait rounded up
    // to whole milliseconds would make the line several times slower than
    // its rate.
    Micros timeoutUs = Micros{kIdleMs} * 1000;
    if (auto us = programmer_.UsUntilOutput()) timeoutUs = std::min<Micros>(*us, timeoutUs);
    if (outSent_ < out_.size()) timeoutUs = std::min<Micros>(timeoutUs, 1000);
    const timespec timeout{static_cast<time_t>(timeoutUs / 1000000), static_cast<long>(timeoutUs % 1000000) * 1000};
    pollfd p{master_, POLLIN, 0};
    const int r = ::ppoll(&p, 1, &timeout, nullptr);
    if (r < 0) {
      if (errno == EINTR) continue;
      if (error) *error = std::string("poll: ") + std::strerror(errno);
      return false;
    }
    if (r == 0) continue;
    if (p.revents & POLLIN) {
      const ssize_t n = ::read(master_, buf, sizeof buf);
      if (n > 0) {
        programmer_.HostWrite(buf, static_cast<size_t>(n), checkRate_ ? sim::PtyHostRate(master_) : 0);
        continue;
      }
      if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      hostGone = true;
    }
    if (hostGone || (p.revents & (POLLHUP | POLLERR))) {
      outSent_ = out_.size();
      std::this_thread::sleep_for(std::chrono::milliseconds(kIdleMs));
    }
  }
  return true;
}

}  // namespace sim::programmer
