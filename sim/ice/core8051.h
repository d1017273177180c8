// An 8051 core for the simulated emulator board: the instruction set, timers
// 0 and 1, the 8052's timer 2, the serial port and the interrupt system.
//
// The core executes against memories that the board owns, so the board can
// read and write them between instructions (the emulator's RAM and SFR
// commands). SFRs without a peripheral behind them hold what is written to
// them, and a port reads back its latch, so read-modify-write instructions and
// plain reads see the same value.
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
//  - PUSH and POP follow the defined order of their steps: PUSH SP stores the
//    incremented SP; POP SP loads SP from the stack and then decrements it.
//
// P (PSW bit 0) is always the parity of ACC: it is recomputed on every
// WriteDirect to ACC or PSW and before and after every instruction, so bytes
// stored straight into Memories::sfr are corrected by the next Step.
//
// Peripherals. The board has no external pins: a pin is its port latch, so a
// program (or a test, through the SFRs) drives T0 (P3.4), T1 (P3.5), INT0
// (P3.2), INT1 (P3.3), T2 (P1.0) and T2EX (P1.1) by writing its port. Count
// inputs and T2EX are sampled once per instruction, before it executes; INT0
// and INT1 after it, so a request it makes is polled at its end. A falling edge
// is a 1 in one sample and a 0 in the next. A counter counts an edge at the
// sample after the one that saw it (the chip takes two machine cycles to see a
// transition).
//  - Timing: an instruction's first machine cycle (the opcode fetch) passes
//    before it reads or writes anything, its other cycles after. So the
//    instruction that sets TRx is not counted and the one that clears it is;
//    a value written to a timer by a two-cycle instruction has counted one
//    when the next instruction reads it. The interrupt call counts its
//    cycles too.
//  - Timers 0 and 1, modes 0 to 3. Mode 0 counts the low five bits of TLx into
//    THx; TLx's upper three bits are left as written. GATE runs the timer only
//    while its INTx pin is high; C/T counts falling edges of its Tx pin
//    instead of machine cycles. In mode 3 TL0 is an 8-bit timer under timer
//    0's controls and TH0 counts machine cycles under TR1 into TF1; timer 1
//    still runs under TR1 (and its gate) unless it is in mode 3 itself, but
//    sets no flag; it still clocks the serial port. Timer 1 in mode 3 holds.
//  - Timer 2 (T2CON 0xC8, RCAP2L/H 0xCA/0xCB, TL2/TH2 0xCC/0xCD): auto-reload
//    and capture, with EXEN2 and a falling T2EX edge reloading (capturing)
//    and setting EXF2; C/T2 counts falling edges of T2. With RCLK or TCLK set
//    it is the baud-rate generator: it counts six per machine cycle (the
//    oscillator over two), reloads from RCAP2 on overflow, sets no TF2, and a
//    T2EX edge under EXEN2 only sets EXF2. T2EX edges act whether TR2 is set
//    or not. There is no T2MOD (up/down counting).
//  - Serial port (SCON 0x98, SBUF 0x99). A byte written to SBUF is sent at
//    once (SerialOutput()); TI is set when the frame would have left the line:
//    mode 0 after 8 machine cycles, mode 2 after 11 bits of 64 (SMOD: 32)
//    oscillator clocks, modes 1 and 3 after 10 or 11 bits of 32 (SMOD: 16)
//    timer 1 overflows, or of 16 timer 2 overflows when TCLK selects it.
//    Reading SBUF gives the receive buffer. Bytes injected with
//    InjectSerial() arrive one after another while REN is set, each taking a
//    frame's time at the receive rate; at the end of a frame the byte is kept
//    (SBUF, RB8, RI) only if RI is clear and, in modes 1 to 3 with SM2 set,
//    its stop or ninth bit is 1; otherwise it is lost, as on the chip. Mode 0
//    receives only while RI is clear. Writing SBUF while a frame is still
//    going out starts the new frame over it.
//  - External interrupts: with ITx set a falling edge of INTx sets IEx, which
//    the interrupt call clears; with ITx clear IEx follows the inverted pin at
//    every sample and the call leaves it. RaiseExternalInterrupt() sets IEx as
//    an edge would (in level mode the next sample overrides it).
//  - Interrupts: sources in polling order IE0 (vector 0x03), TF0 (0x0B), IE1
//    (0x13), TF1 (0x1B), RI or TI (0x23), TF2 or EXF2 (0x2B); IE enables (EA,
//    ET2, ES, ET1, EX1, ET0, EX0), IP gives each the high priority level. The
//    flags are polled at the end of every instruction, a flag raised in its
//    last cycle included (the chip may see that one an instruction later): a
//    request is taken there (the PC pushed, the vector loaded, in the same
//    Step) unless the instruction was RETI or wrote IE or IP, or an interrupt
//    of the same or higher level is in progress. A high-level request
//    interrupts a low-level routine. The call clears TF0, TF1 and
//    edge-triggered IE0 and IE1; RI, TI, TF2 and EXF2 stay for the routine to
//    clear. RETI ends the highest level in progress (as RET when none is).
//    The call takes CoreOptions::interruptEntryCycles machine cycles (2, the
//    chip's hardware call).
//  - PCON holds what is written; IDL and PD do not stop the core.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>

namespace sim::ice {

struct Memories {
  std::array<uint8_t, 65536> code{};  // program memory (MOVC, fetch)
  std::array<uint8_t, 256> iram{};  // internal RAM; 0x80-0xFF only by indirect access
  std::array<uint8_t, 128> sfr{};  // direct addresses 0x80-0xFF, index = address - 0x80
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
inline constexpr uint8_t kPCON = 0x87;
inline constexpr uint8_t kTCON = 0x88;
inline constexpr uint8_t kTMOD = 0x89;
inline constexpr uint8_t kTL0 = 0x8A;
inline constexpr uint8_t kTL1 = 0x8B;
inline constexpr uint8_t kTH0 = 0x8C;
inline constexpr uint8_t kTH1 = 0x8D;
inline constexpr uint8_t kP1 = 0x90;
inline constexpr uint8_t kSCON = 0x98;
inline constexpr uint8_t kSBUF = 0x99;
inline constexpr uint8_t kP2 = 0xA0;
inline constexpr uint8_t kIE = 0xA8;
inline constexpr uint8_t kP3 = 0xB0;
inline constexpr uint8_t kIP = 0xB8;
inline constexpr uint8_t kT2CON = 0xC8;
inline constexpr uint8_t kRCAP2L = 0xCA;
inline constexpr uint8_t kRCAP2H = 0xCB;
inline constexpr uint8_t kTL2 = 0xCC;
inline constexpr uint8_t kTH2 = 0xCD;
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

// TCON bits.
namespace tcon {
inline constexpr uint8_t kTF1 = 0x80;
inline constexpr uint8_t kTR1 = 0x40;
inline constexpr uint8_t kTF0 = 0x20;
inline constexpr uint8_t kTR0 = 0x10;
inline constexpr uint8_t kIE1 = 0x08;
inline constexpr uint8_t kIT1 = 0x04;
inline constexpr uint8_t kIE0 = 0x02;
inline constexpr uint8_t kIT0 = 0x01;
}  // namespace tcon

// SCON bits.
namespace scon {
inline constexpr uint8_t kSM2 = 0x20;
inline constexpr uint8_t kREN = 0x10;
inline constexpr uint8_t kTB8 = 0x08;
inline constexpr uint8_t kRB8 = 0x04;
inline constexpr uint8_t kTI = 0x02;
inline constexpr uint8_t kRI = 0x01;
}  // namespace scon

// T2CON bits.
namespace t2con {
inline constexpr uint8_t kTF2 = 0x80;
inline constexpr uint8_t kEXF2 = 0x40;
inline constexpr uint8_t kRCLK = 0x20;
inline constexpr uint8_t kTCLK = 0x10;
inline constexpr uint8_t kEXEN2 = 0x08;
inline constexpr uint8_t kTR2 = 0x04;
inline constexpr uint8_t kCT2 = 0x02;
inline constexpr uint8_t kCPRL2 = 0x01;
}  // namespace t2con

// IE bits (IP uses the same positions, without EA).
namespace ie {
inline constexpr uint8_t kEA = 0x80;
inline constexpr uint8_t kET2 = 0x20;
inline constexpr uint8_t kES = 0x10;
inline constexpr uint8_t kET1 = 0x08;
inline constexpr uint8_t kEX1 = 0x04;
inline constexpr uint8_t kET0 = 0x02;
inline constexpr uint8_t kEX0 = 0x01;
}  // namespace ie

// PCON bit that doubles the serial rate of modes 1 to 3.
inline constexpr uint8_t kPconSmod = 0x80;

// RAMCON bit that sends MOVX 0x0000-0x03FF to external RAM instead of the 1 KB RAM.
inline constexpr uint8_t kRamconExternalOnly = 0x01;

struct CoreOptions {
  // Machine cycles of the call that enters an interrupt routine.
  int interruptEntryCycles = 2;
};

class Core8051 {
public:
  // Bytes sent that SerialOutput() keeps; older ones are dropped first.
  static constexpr size_t kSerialOutputKept = 65536;

  explicit Core8051(Memories& memories, const CoreOptions& options = {});

  // Power-on state: PC 0, SP 7, ports 0xFF, other SFRs 0, no interrupt in
  // progress, no frame on the serial line. RAM, the bytes sent so far and the
  // bytes waiting to be received are left as they are.
  void Reset();

  // Executes one instruction at PC, runs the peripherals for its machine
  // cycles and then takes an interrupt request if one is due (PC at the
  // vector). Returns the machine cycles: the instruction's 1, 2 or 4, plus the
  // interrupt call's when one was taken.
  int Step();
  // Machine cycles run since construction.
  uint64_t Cycles() const { return cycles_; }
  // Interrupt calls made since construction.
  uint64_t InterruptsTaken() const { return interruptsTaken_; }
  // Bit 0: a low-level routine is in progress; bit 1: a high-level one.
  uint8_t InterruptsInProgress() const { return inProgress_; }

  uint16_t PC() const { return pc_; }
  void SetPC(uint16_t pc) { pc_ = pc; }

  // Direct-address access as instructions see it (0x00-0x7F RAM, 0x80-0xFF SFR).
  uint8_t ReadDirect(uint8_t address) const;
  void WriteDirect(uint8_t address, uint8_t value);

  // Stores an SFR as the debugger does: the value only, with no transmit on
  // SBUF and no hold-off of interrupts on IE and IP (P is still ACC's parity).
  void SetSfr(uint8_t address, uint8_t value);

  // The serial port's far end, for tests and the board.
  void InjectSerial(uint8_t byte, bool ninthBit = true);
  size_t SerialPending() const { return rxQueue_.size(); }
  const std::deque<uint8_t>& SerialOutput() const { return txLog_; }
  void ClearSerialOutput() { txLog_.clear(); }
  // Sets IE0 (n = 0) or IE1 (n = 1) as a falling edge of INTn would.
  void RaiseExternalInterrupt(int n);

  // Data-memory access as MOVX sees it: the on-chip 1 KB RAM or external RAM.
  uint8_t ReadXdata(uint16_t address) const;
  void WriteXdata(uint16_t address, uint8_t value);

  // Register views for the board and for tests.
  uint8_t ACC() const { return Sfr(sfr::kACC); }
  uint8_t B() const { return Sfr(sfr::kB); }
  uint8_t PSW() const { return Sfr(sfr::kPSW); }
  uint8_t SP() const { return Sfr(sfr::kSP); }
  uint16_t DPTR() const;  // the data pointer DPS selects
  uint8_t R(int n) const;  // Rn (n 0..7) of the bank PSW selects

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

  // Peripherals (core8051_peripherals.cpp).
  struct SerialFrame {
    bool active = false;
    int bitsLeft = 0;
    int ticks = 0;  // toward the next bit, in the rate source's units
    uint8_t byte = 0;
    bool ninth = true;
  };
  struct Pins {
    uint8_t p1 = 0xFF;  // latches at the last sample
    uint8_t p3 = 0xFF;
    uint8_t countEdges1 = 0;  // falling edges of count inputs seen, not yet counted
    uint8_t countEdges3 = 0;
    uint8_t int3 = 0xFF;  // P3 at the last sample of INT0 and INT1
  };
  void Transmit(uint8_t byte);
  void RunCycles(int cycles);
  void SamplePins();
  void SampleInterruptPins();
  void MachineCycle();
  bool TimerRuns(int n) const;
  void CountTimer(int n);
  void CountTimer2();
  void Timer2Edge();
  void Timer1Overflow();
  void Timer2Overflow();
  void SerialTick(bool transmit, int units, int unitsPerBit);
  void SerialFrameDone(bool transmit);
  void StartReceive();
  int TakeInterrupt();
  void EndInterrupt();

  Memories& m_;
  CoreOptions options_;
  uint16_t pc_ = 0;
  uint64_t cycles_ = 0;
  uint64_t interruptsTaken_ = 0;
  bool holdInterrupts_ = false;  // the current instruction was RETI or wrote IE/IP
  uint8_t inProgress_ = 0;
  Pins pins_;
  SerialFrame tx_, rx_;
  std::deque<uint8_t> txLog_;
  struct Incoming {
    uint8_t byte;
    bool ninth;
  };
  std::deque<Incoming> rxQueue_;
};

}  // namespace sim::ice
