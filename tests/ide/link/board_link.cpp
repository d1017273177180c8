#include "tests/ide/link/board_link.h"

#include <algorithm>

#include "platform/clock.h"

namespace vx930::testing {

namespace {
constexpr uint64_t kBaud = 57600;
}

void BoardLink::Pass(std::size_t n) {
  const uint64_t before = bits_ * 1000 / kBaud;
  bits_ += uint64_t{n} * 10;
  const uint64_t after = bits_ * 1000 / kBaud;
  if (after > before) platform::CurrentClock().Sleep(static_cast<uint32_t>(after - before));
}

bool BoardLink::Write(const uint8_t* data, std::size_t n, std::size_t& written) {
  written = 0;
  if (!board_.HostWrite(data, n)) return false;
  written = n;
  Pass(n);
  return true;
}

bool BoardLink::Read(uint8_t* data, std::size_t n, uint32_t timeoutMs, std::size_t& received) {
  received = 0;
  platform::Clock& clock = platform::CurrentClock();
  const uint32_t start = clock.Tick();
  for (;;) {
    const std::size_t got = board_.HostRead(data + received, n - received);
    received += got;
    Pass(got);
    if (received == n) return true;
    if (board_.HungUp()) return false;
    const uint32_t elapsed = clock.Tick() - start;
    if (elapsed >= timeoutMs) return true;
    // Sleep until the next reply is due, or to the end of the read.
    uint32_t wait = timeoutMs - elapsed;
    if (const auto due = board_.MsUntilOutput(); due && *due > 0)
      wait = std::min(wait, *due);
    else if (due && got > 0)
      continue;  // more may be readable at once
    clock.Sleep(std::max<uint32_t>(wait, 1));
  }
}

void BoardLink::PurgeRx() { board_.HostReadAll(); }

COM_Port::LinkSource BoardLink::Opener(sim::ice::Board& board) {
  return [&board](int) { return std::make_unique<BoardLink>(board); };
}

}  // namespace vx930::testing
