// A byte link onto an in-process simulated board, for protocol tests.
//
// Writes go straight to the board; a read collects the reply bytes that are
// on the line, sleeping on platform::CurrentClock() until a late reply is due
// or the read's time-out has passed. Every byte that crosses takes its time
// on a 57600 baud line (10 bits), so a host that polls the board for ever
// sees its time run out. Under a VirtualClock every wait is instant and
// deterministic.
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
  // Sleeps for the line time of n more bytes.
  void Pass(std::size_t n);

  sim::ice::Board& board_;
  uint64_t bits_ = 0;  // bits on the line so far, for its time
};

}  // namespace vx930::testing
