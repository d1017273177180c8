// The simulated emulator board at the end of a byte link, in process, on a
// virtual clock: a read that waits for bytes the board has not sent advances
// the clock instead of sleeping.
#pragma once

#include <cstring>
#include <memory>

#include "platform/byte_link.h"
#include "platform/clock.h"
#include "sim/ice/board.h"

namespace vx930::testing {

class BoardLink final : public platform::ByteLink {
public:
  BoardLink(sim::ice::Board& board, platform::VirtualClock& clock) : board_(board), clock_(clock) {}

  bool Write(const uint8_t* data, std::size_t n, std::size_t& written) override {
    written = 0;
    if (closed_ || !board_.HostWrite(data, n)) return false;
    written = n;
    return true;
  }

  bool Read(uint8_t* data, std::size_t n, uint32_t timeoutMs, std::size_t& received) override {
    received = 0;
    if (closed_) return false;
    uint32_t waited = 0;
    for (;;) {
      received += board_.HostRead(data + received, n - received);
      if (received >= n) return true;
      const std::optional<uint32_t> due = board_.MsUntilOutput();
      if (!due || waited + *due > timeoutMs) {
        clock_.Advance(timeoutMs - waited);
        return true;
      }
      const uint32_t step = *due == 0 ? 1 : *due;
      clock_.Advance(step);
      waited += step;
    }
  }

  void PurgeRx() override {
    uint8_t sink[256];
    while (board_.HostRead(sink, sizeof sink) > 0) {}
  }
  void PurgeTx() override {}
  bool Close() override {
    closed_ = true;
    return true;
  }

private:
  sim::ice::Board& board_;
  platform::VirtualClock& clock_;
  bool closed_ = false;
};

}  // namespace vx930::testing
