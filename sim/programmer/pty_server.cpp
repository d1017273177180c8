#include "sim/programmer/pty_server.h"

#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <ctime>
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
  using Clock = std::chrono::steady_clock;
  Clock::time_point lastTraffic{};
  while (!stop.load()) {
    const uint32_t hostRate = checkRate_ ? sim::PtyHostRate(master_) : 0;
    if (outSent_ == out_.size()) {
      out_.assign(buf, buf + programmer_.HostRead(buf, sizeof buf, hostRate));
      outSent_ = 0;
    }
    const size_t sentBefore = outSent_;
    bool hostGone = !sim::WritePending(master_, out_, outSent_);
    if (outSent_ != sentBefore) lastTraffic = Clock::now();

    // Wait to the microsecond: a paced byte at 115200 is due in 87 us, and
    // rounding that up to a millisecond made every echoed byte ten times
    // slower than the wire.
    Micros timeoutUs = Micros{kIdleMs} * 1000;
    if (auto us = programmer_.UsUntilOutput()) timeoutUs = std::min(timeoutUs, *us);
    if (outSent_ < out_.size()) timeoutUs = std::min<Micros>(timeoutUs, 1000);
    if (spinUs_ && (timeoutUs <= spinUs_ || Clock::now() - lastTraffic < std::chrono::microseconds(spinUs_)))
      timeoutUs = 0;
    const timespec timeout{static_cast<time_t>(timeoutUs / 1000000), static_cast<long>(timeoutUs % 1000000) * 1000};
    pollfd p{master_, POLLIN, 0};
    const int r = ::ppoll(&p, 1, &timeout, nullptr);
    if (r < 0) {
      if (errno == EINTR) continue;
      if (error) *error = sim::SysError("poll");
      return false;
    }
    if (r == 0) continue;
    if (p.revents & POLLIN) {
      const ssize_t n = ::read(master_, buf, sizeof buf);
      if (n > 0) {
        // The host may move its rate right after its last byte (the rate
        // code): a pty reports only the rate now, so a chunk is heard when
        // the host was at the programmer's rate before the wait or is now.
        uint32_t rate = checkRate_ ? sim::PtyHostRate(master_) : 0;
        if (checkRate_ && hostRate == programmer_.ListeningBaud()) rate = hostRate;
        programmer_.HostWrite(buf, static_cast<size_t>(n), rate);
        lastTraffic = Clock::now();
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
