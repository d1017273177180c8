// An 8051 instruction-set core for the simulated emulator board.
//
// The core executes against memories that the board owns, so the board can
// read and write them between instructions (the emulator's RAM and SFR
// commands). It models the instruction set only: no timers, serial ports or
// interrupts; SFRs hold what is written to them.
#pragma once

#include <array>
#include <cstdint>

namespace sim::ice {

struct Memories {
  std::array<uint8_t, 65536> code{};  // program memory (MOVC, fetch)
  std::array<uint8_t, 256> iram{};    // internal RAM; 0x80-0xFF only by indirect access
  std::array<uint8_t, 128> sfr{};     // direct addresses 0x80-0xFF, index = address - 0x80
  std::array<uint8_t, 1024> ram1k{};  // on-chip expanded data RAM (see MOVX below)
  std::array<uint8_t, 65536> xram{};  // external data RAM
};

class Core8051 {
public:
  explicit Core8051(Memories& memories);

  // Power-on state: PC 0, SP 7, ports 0xFF, other SFRs 0. RAM is left as it is.
  void Reset();

  // Executes one instruction at PC; returns its machine cycles (1, 2 or 4).
  int Step();

  uint16_t PC() const { return pc_; }
  void SetPC(uint16_t pc) { pc_ = pc; }

  // Direct-address access as instructions see it (0x00-0x7F RAM, 0x80-0xFF SFR).
  uint8_t ReadDirect(uint8_t address) const;
  void WriteDirect(uint8_t address, uint8_t value);

  // Data-memory access as MOVX sees it: the on-chip 1 KB RAM or external RAM.
  uint8_t ReadXdata(uint16_t address) const;
  void WriteXdata(uint16_t address, uint8_t value);

private:
  Memories& m_;
  uint16_t pc_ = 0;
};

}  // namespace sim::ice
