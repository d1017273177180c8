#include "sim/ice/pty_server.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/clock.h"
#include "sim/common/pty.h"

namespace sim::ice {

namespace {

constexpr int kIdleMs = 50;

}  // namespace

PtyServer::PtyServer(Board& board) : board_(board) {}

PtyServer::~PtyServer() { Close(); }

void PtyServer::Close() {
  if (master_ >= 0) ::close(master_);
  master_ = -1;
}

bool PtyServer::Open(std::string* error) {
  Close();
  return OpenRawPty(B57600, &master_, &slavePath_, error);
}

PtyServer::End PtyServer::Serve(const std::atomic<bool>& stop, std::string* error) {
  if (master_ < 0) {
    if (error) *error = "not open";
    return End::Failed;
  }
  uint8_t buf[4096];
  while (!stop.load()) {
    if (outSent_ == out_.size()) {
      out_.assign(buf, buf + board_.HostRead(buf, sizeof buf));
      outSent_ = 0;
    }
    if (board_.HungUp()) {
      Close();
      return End::HungUp;
    }

    bool hostGone = !WritePending(master_, out_, outSent_);  // nobody to hear it

    int timeout = kIdleMs;
    if (auto ms = board_.MsUntilOutput()) timeout = static_cast<int>(std::min<uint32_t>(*ms, kIdleMs));
    if (outSent_ < out_.size()) timeout = std::min(timeout, 1);
    pollfd p{master_, POLLIN, 0};
    const int r = ::poll(&p, 1, timeout);
    if (r < 0) {
      if (errno == EINTR) continue;
      if (error) *error = SysError("poll");
      return End::Failed;
    }
    if (r == 0) continue;
    if (p.revents & POLLIN) {
      const ssize_t n = ::read(master_, buf, sizeof buf);
      if (n > 0) {
        board_.HostWrite(buf, static_cast<size_t>(n));
        continue;
      }
      if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      hostGone = true;  // EIO: the last slave descriptor was closed
    }
    if (hostGone || (p.revents & (POLLHUP | POLLERR))) {
      // No host on the slave: wait for one without spinning.
      outSent_ = out_.size();
      platform::CurrentClock().Sleep(kIdleMs);
    }
  }
  return End::Stopped;
}

}  // namespace sim::ice
