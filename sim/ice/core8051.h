// An 8051 instruction-set core for the simulated emulator board.
//
// The core executes against memories that the board owns, so the board can
// read and write them between instructions (the emulator's RAM and SFR
// commands). It models the instruction set only: no timers, serial ports or
// interrupts; SFRs hold what is written to them, and a port reads back its
// latch, so read-modify-write instructions and plain reads see the same value.
//
// The emulated chip adds to the standard 8051:
//  - Dual data pointers. DPS (0x86) bit 0 selects DPTR0 (DPL 0x82 / DPH 0x83)
//    or DPTR1 (DPL1 0x84 / DPH1 0x85) for every instruction that uses DPTR.
//  - The 1 KB on-chip expanded data RAM. MOVX addresses 0x0000-0x03FF reach
//    it while RAMCON (0xF3) bit 0 is clear, which it is after reset; with the
//    bit set every MOVX address reaches external RAM. Addresses 0x0400 and up
//    are always external. MOVX @Ri forms the address from P2 (high byte) and
//    Ri, and is decoded the same way.
//
// Choices where the instruction set leaves the result open:
//  - 0xA5 is undefined; it executes as a one-byte, one-cycle no-op.
//  - DIV AB with B = 0 sets OV, clears CY and leaves A and B unchanged.
//  - RETI behaves as RET (there are no interrupts to return from).
//  - PUSH and POP follow the defined order of their steps: PUSH SP stores the
//    incremented SP; POP SP loads SP from the stack and then decrements it.
//
// P (PSW bit 0) is always the parity of ACC: it is recomputed on every
// WriteDirect to ACC or PSW and before and after every instruction, so bytes
// stored straight into Memories::sfr are corrected by the next Step.
#pragma once

#include <array>
#include <cstdint>

namespace sim::ice {

struct Memories {
  std::array<uint8_t, 65536> code{};  // program memory (MOVC, fetch)
  std::array<uint8_t, 256> iram{};    // internal RAM; 0x80-0xFF only by indirect access
  std::array<uint8_t, 128> sfr{};     // direct addresses 0x80-0xFF, index = address - 0x80
  std::array<uint8_t, 1024> ram1k{};  // on-chip expanded data RAM (see MOVX above)
  std::array<uint8_t, 65536> xram{};  // external data RAM
};

// SFR addresses the core gives a meaning to.
namespace sfr {
inline constexpr uint8_t kP0 = 0x80;
inline constexpr uint8_t kSP = 0x81;
inline constexpr uint8_t kDPL = 0x82;
inline constexpr uint8_t kDPH = 0x83;
inline constexpr uint8_t kDPL1 = 0x84;
inline constexpr uint8_t kDPH1 = 0x85;
inline constexpr uint8_t kDPS = 0x86;
inline constexpr uint8_t kP1 = 0x90;
inline constexpr uint8_t kP2 = 0xA0;
inline constexpr uint8_t kP3 = 0xB0;
inline constexpr uint8_t kPSW = 0xD0;
inline constexpr uint8_t kACC = 0xE0;
inline constexpr uint8_t kB = 0xF0;
inline constexpr uint8_t kRAMCON = 0xF3;
}  // namespace sfr

// PSW bits.
namespace psw {
inline constexpr uint8_t kCY = 0x80;
inline constexpr uint8_t kAC = 0x40;
inline constexpr uint8_t kF0 = 0x20;
inline constexpr uint8_t kRS1 = 0x10;
inline constexpr uint8_t kRS0 = 0x08;
inline constexpr uint8_t kOV = 0x04;
inline constexpr uint8_t kF1 = 0x02;
inline constexpr uint8_t kP = 0x01;
}  // namespace psw

// RAMCON bit that sends MOVX 0x0000-0x03FF to external RAM instead of the 1 KB RAM.
inline constexpr uint8_t kRamconExternalOnly = 0x01;

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

  // Register views for the board and for tests.
  uint8_t ACC() const { return Sfr(sfr::kACC); }
  uint8_t B() const { return Sfr(sfr::kB); }
  uint8_t PSW() const { return Sfr(sfr::kPSW); }
  uint8_t SP() const { return Sfr(sfr::kSP); }
  uint16_t DPTR() const;            // the data pointer DPS selects
  uint8_t R(int n) const;           // Rn (n 0..7) of the bank PSW selects

  // Instruction bytes (1..3) and machine cycles (1, 2 or 4) of an opcode.
  static int InstructionLength(uint8_t opcode);
  static int InstructionCycles(uint8_t opcode);

private:
  uint8_t Sfr(uint8_t address) const { return m_.sfr[address - 0x80]; }
  uint8_t& Sfr(uint8_t address) { return m_.sfr[address - 0x80]; }

  uint8_t Fetch() { return m_.code[pc_++]; }
  void Branch(uint8_t rel) { pc_ = static_cast<uint16_t>(pc_ + static_cast<int8_t>(rel)); }

  uint8_t& Reg(int n) { return m_.iram[(Sfr(sfr::kPSW) & (psw::kRS1 | psw::kRS0)) | n]; }
  uint8_t& Indirect(int i) { return m_.iram[Reg(i)]; }
  uint8_t DplAddress() const { return (Sfr(sfr::kDPS) & 0x01) ? sfr::kDPL1 : sfr::kDPL; }
  void SetDptr(uint16_t value);

  bool ReadBit(uint8_t bit) const;
  void WriteBit(uint8_t bit, bool value);
  bool Carry() const { return (Sfr(sfr::kPSW) & psw::kCY) != 0; }
  void SetCarry(bool c);

  void Push(uint8_t value);
  uint8_t Pop();
  void Call(uint16_t target);
  void Return();

  void Add(uint8_t value, bool carry_in);
  void Subb(uint8_t value);
  void DecimalAdjust();
  void Compare(uint8_t first, uint8_t second, uint8_t rel);
  void FixParity();

  Memories& m_;
  uint16_t pc_ = 0;
};

}  // namespace sim::ice
