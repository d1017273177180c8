// A byte link onto an in-process simulated board, for protocol tests.
//
// Writes go straight to the board; a read collects the reply bytes that are
// on the line, sleeping on platform::CurrentClock() until a late reply is due
// or the read's time-out has passed. Under a VirtualClock every wait is
// instant and deterministic.
#pragma once

#include <memory>

#include "ide/link/com_port.h"
#include "platform/byte_link.h"
#include "sim/ice/board.h"

namespace vx930::testing {

class BoardLink final : public platform::ByteLink {
public:
  explicit BoardLink(sim::ice::Board& board) : board_(board) {}

  bool Write(const uint8_t* data, std::size_t n, std::size_t& written) override;
  bool Read(uint8_t* data, std::size_t n, uint32_t timeoutMs, std::size_t& received) override;
  void PurgeRx() override;
  void PurgeTx() override {}
  bool Close() override { return true; }

  // An opener that puts every COM_Port onto this board.
  static COM_Port::LinkSource Opener(sim::ice::Board& board);

private:
  sim::ice::Board& board_;
};

}  // namespace vx930::testing
