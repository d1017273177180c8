// Timers, serial port and interrupts: the rules the chip defines that the
// differential test against s51 cannot check (the two-cycle interrupt call,
// SMOD = 0, reception) and the choices the core makes where the chip leaves
// room (see core8051.h).
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "tests/sim/ice/core8051_fixture.h"

namespace sim::ice::testing {
namespace {

constexpr uint8_t kNop = 0x00;
constexpr uint8_t kReti = 0x32;

class PeripheralTest : public Core8051Test {
protected:
  // Code memory is zero: NOPs everywhere unless placed otherwise.
  uint64_t RunNops(int n) {
    uint64_t cycles = 0;
    for (int i = 0; i < n; ++i) cycles += static_cast<uint64_t>(core_.Step());
    return cycles;
  }
  // Steps until `done` holds; returns the machine cycles it took, or -1.
  long CyclesUntil(const std::function<bool()>& done, long limit = 100000) {
    const uint64_t start = core_.Cycles();
    while (!done()) {
      if (static_cast<long>(core_.Cycles() - start) > limit) return -1;
      core_.Step();
    }
    return static_cast<long>(core_.Cycles() - start);
  }
  uint16_t StackedReturn() const {
    const uint8_t sp = core_.SP();
    return static_cast<uint16_t>(mem_->iram[sp] << 8 | mem_->iram[static_cast<uint8_t>(sp - 1)]);
  }
  void Debugger(uint8_t address, uint8_t value) { core_.SetSfr(address, value); }
  // A timer 1 overflow every machine cycle, the serial port's clock in modes 1 and 3.
  void FastBaud() {
    Debugger(sfr::kTMOD, 0x20);
    Debugger(sfr::kTH1, 0xFF);
    Debugger(sfr::kTL1, 0xFF);
    Debugger(sfr::kTCON, tcon::kTR1);
  }
};

TEST_F(PeripheralTest, InterruptCallTakesTwoCyclesPushesTheNextAddressAndClearsOnlyTheFlagsItShould) {
  struct Case {
    const char* name;
    uint8_t sfr, flag, enable;
    uint16_t vector;
    bool cleared;
  };
  const std::vector<Case> cases = {
      {"IE0 (edge)", sfr::kTCON, tcon::kIE0 | tcon::kIT0, ie::kEX0, 0x03, true},
      {"TF0", sfr::kTCON, tcon::kTF0, ie::kET0, 0x0B, true},
      {"IE1 (edge)", sfr::kTCON, tcon::kIE1 | tcon::kIT1, ie::kEX1, 0x13, true},
      {"TF1", sfr::kTCON, tcon::kTF1, ie::kET1, 0x1B, true},
      {"RI", sfr::kSCON, scon::kRI, ie::kES, 0x23, false},
      {"TI", sfr::kSCON, scon::kTI, ie::kES, 0x23, false},
      {"TF2", sfr::kT2CON, t2con::kTF2, ie::kET2, 0x2B, false},
      {"EXF2", sfr::kT2CON, t2con::kEXF2, ie::kET2, 0x2B, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    core_.Reset();
    Debugger(c.sfr, c.flag);
    Debugger(sfr::kIE, static_cast<uint8_t>(ie::kEA | c.enable));
    core_.SetPC(0x0200);
    EXPECT_EQ(core_.Step(), 1 + 2);
    EXPECT_EQ(core_.PC(), c.vector);
    EXPECT_EQ(StackedReturn(), 0x0201);
    EXPECT_EQ(core_.SP(), 0x09);
    const uint8_t request = c.sfr == sfr::kTCON ? c.flag & ~(tcon::kIT0 | tcon::kIT1) : c.flag;
    EXPECT_EQ((Sfr(c.sfr) & request) == 0, c.cleared);
    EXPECT_EQ(core_.InterruptsInProgress(), 1);
  }
}

TEST_F(PeripheralTest, EnabledRequestsWithoutEaAreNotTaken) {
  Debugger(sfr::kTCON, tcon::kTF0);
  Debugger(sfr::kIE, ie::kET0);
  RunNops(3);
  EXPECT_EQ(core_.PC(), 3);
  EXPECT_EQ(core_.InterruptsTaken(), 0u);
}

TEST_F(PeripheralTest, PollingOrderWithinALevelAndHighLevelFirst) {
  const uint8_t all = ie::kEA | ie::kEX0 | ie::kET0 | ie::kEX1 | ie::kET1 | ie::kES | ie::kET2;
  Debugger(sfr::kTCON, tcon::kIT0 | tcon::kIT1 | tcon::kIE0 | tcon::kTF0 | tcon::kIE1 | tcon::kTF1);
  Debugger(sfr::kSCON, scon::kTI);
  Debugger(sfr::kT2CON, t2con::kTF2);
  Debugger(sfr::kIP, ie::kES);
  Debugger(sfr::kIE, all);
  core_.Step();
  EXPECT_EQ(core_.PC(), 0x23) << "the one high-level request goes first";
  EXPECT_EQ(core_.InterruptsInProgress(), 2);

  core_.Reset();
  Debugger(sfr::kTCON, tcon::kTF0 | tcon::kTF1 | tcon::kIE1 | tcon::kIT1);
  Debugger(sfr::kIE, all);
  core_.Step();
  EXPECT_EQ(core_.PC(), 0x0B) << "TF0 before IE1 and TF1";
}

TEST_F(PeripheralTest, NoInterruptRightAfterRetiOrAWriteToIeOrIp) {
  struct Case {
    const char* name;
    std::vector<uint8_t> instruction;
  };
  const std::vector<Case> cases = {
      {"MOV IE,#data", {0x75, sfr::kIE, ie::kEA | ie::kET0}},
      {"SETB EA", {0xD2, 0xAF}},
      {"MOV IP,#data", {0x75, sfr::kIP, 0x00}},
      {"ORL IP,#data", {0x43, sfr::kIP, 0x00}},
      {"CLR PX0", {0xC2, 0xB8}},
      {"MOV IP,A", {0xF5, sfr::kIP}},
      {"RETI", {kReti}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    core_.Reset();
    std::fill(mem_->code.begin(), mem_->code.end(), kNop);
    Debugger(sfr::kIE, ie::kEA | ie::kET0);
    Debugger(sfr::kSP, 0x30);
    mem_->iram[0x31] = 0x00;  // RETI's return address 0x0300
    mem_->iram[0x32] = 0x03;
    for (size_t i = 0; i < c.instruction.size(); ++i) mem_->code[0x0200 + i] = c.instruction[i];
    core_.SetPC(0x0200);
    Debugger(sfr::kTCON, tcon::kTF0);
    core_.Step();
    EXPECT_NE(core_.PC(), 0x0B) << "taken right after the instruction";
    const uint16_t next = core_.PC();
    core_.Step();  // a NOP
    EXPECT_EQ(core_.PC(), 0x0B) << "not taken after the instruction that follows";
    EXPECT_EQ(StackedReturn(), next + 1);
  }
}

TEST_F(PeripheralTest, HighLevelNestsInLowLevelButNotTheOtherWayRound) {
  Code(0x0B, {kNop, kNop, kReti});  // timer 0: low level
  Code(0x1B, {kNop, kNop, kNop, kReti});  // timer 1: high level
  Debugger(sfr::kIP, ie::kET1);
  Debugger(sfr::kIE, ie::kEA | ie::kET0 | ie::kET1);
  Debugger(sfr::kTCON, tcon::kTF0);
  core_.SetPC(0x0100);
  core_.Step();
  ASSERT_EQ(core_.PC(), 0x0B);
  Debugger(sfr::kTCON, tcon::kTF1);
  core_.Step();
  EXPECT_EQ(core_.PC(), 0x1B) << "high level interrupts the low-level routine";
  EXPECT_EQ(core_.InterruptsInProgress(), 3);
  EXPECT_EQ(StackedReturn(), 0x0C);

  Debugger(sfr::kTCON, tcon::kTF0);  // a low-level request while the high routine runs
  core_.Step();
  core_.Step();
  EXPECT_EQ(core_.PC(), 0x1D) << "nothing nests in a high-level routine";
  core_.Step();
  core_.Step();  // RETI ends the high level
  EXPECT_EQ(core_.PC(), 0x0C);
  EXPECT_EQ(core_.InterruptsInProgress(), 1);
  core_.Step();
  EXPECT_EQ(core_.PC(), 0x0D) << "a low-level request waits for the low-level RETI";
  core_.Step();  // RETI: back at 0x0101, held off for one instruction
  EXPECT_EQ(core_.PC(), 0x0101);
  EXPECT_EQ(core_.InterruptsInProgress(), 0);
  core_.Step();
  EXPECT_EQ(core_.PC(), 0x0B);
  EXPECT_EQ(StackedReturn(), 0x0102);
}

TEST_F(PeripheralTest, ExternalInterruptsByEdgeAndByLevel) {
  Debugger(sfr::kIE, ie::kEA | ie::kEX0);
  Code(0x03, {kNop, kReti});
  // Level: the request lasts while P3.2 is low, and the call leaves the flag.
  core_.SetPC(0x0100);
  Code(0x0100, {0xC2, 0xB2});  // CLR P3.2
  core_.Step();
  EXPECT_EQ(core_.PC(), 0x03);
  EXPECT_TRUE(Sfr(sfr::kTCON) & tcon::kIE0);
  core_.SetSfr(sfr::kP3, 0xFF);
  core_.Step();
  EXPECT_FALSE(Sfr(sfr::kTCON) & tcon::kIE0) << "follows the pin once it is high";
  // A raised flag does not outlast the next sample of a high pin in level mode.
  core_.RaiseExternalInterrupt(0);
  core_.Step();
  EXPECT_FALSE(Sfr(sfr::kTCON) & tcon::kIE0);

  // Edge: a raised flag (or a falling P3.2) is a request the call clears.
  core_.Reset();
  Debugger(sfr::kTCON, tcon::kIT0);
  Debugger(sfr::kIE, ie::kEA | ie::kEX0);
  core_.SetPC(0x0100);
  core_.RaiseExternalInterrupt(0);
  core_.Step();
  EXPECT_EQ(core_.PC(), 0x03);
  EXPECT_FALSE(Sfr(sfr::kTCON) & tcon::kIE0);
  core_.RaiseExternalInterrupt(1);
  EXPECT_TRUE(Sfr(sfr::kTCON) & tcon::kIE1);
}

TEST_F(PeripheralTest, TransmitSendsAtOnceAndSetsTiAfterTheFrame) {
  struct Case {
    const char* name;
    uint8_t scon, pcon;
    long cycles;  // from the end of the writing instruction
  };
  // A timer 1 overflow every cycle; mode 2 counts oscillator clocks (12 a cycle).
  const std::vector<Case> cases = {
      {"mode 0", 0x00, 0x00, 8},
      {"mode 1", 0x40, 0x00, 10 * 32},
      {"mode 1, SMOD", 0x40, kPconSmod, 10 * 16},
      {"mode 2", 0x80, 0x00, (11 * 64 + 11) / 12},
      {"mode 2, SMOD", 0x80, kPconSmod, (11 * 32 + 11) / 12},
      {"mode 3", 0xC0, 0x00, 11 * 32},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    core_.Reset();
    core_.ClearSerialOutput();
    FastBaud();
    Debugger(sfr::kSCON, c.scon);
    Debugger(sfr::kPCON, c.pcon);
    Debugger(sfr::kSBUF, 0x77);  // the receive side; reads keep giving it
    core_.SetPC(0x0100);
    Code(0x0100, {0x75, sfr::kSBUF, 0x41});  // MOV SBUF,#'A'
    core_.Step();
    EXPECT_EQ(std::vector<uint8_t>(core_.SerialOutput().begin(), core_.SerialOutput().end()),
              std::vector<uint8_t>{0x41});
    EXPECT_EQ(Sfr(sfr::kSBUF), 0x77);
    const long took = CyclesUntil([&] { return (Sfr(sfr::kSCON) & scon::kTI) != 0; });
    EXPECT_GE(took, c.cycles - 1);
    EXPECT_LE(took, c.cycles + 1);
  }
}

TEST_F(PeripheralTest, TimerTwoAsBaudGeneratorClocksTheSerialPortAndSetsNoTf2) {
  Debugger(sfr::kSCON, 0x40);
  Debugger(sfr::kRCAP2H, 0xFF);
  Debugger(sfr::kRCAP2L, 0xFA);  // 6 counts an overflow: one a machine cycle
  Debugger(sfr::kTH2, 0xFF);
  Debugger(sfr::kTL2, 0xFA);
  Debugger(sfr::kT2CON, t2con::kTCLK | t2con::kRCLK | t2con::kTR2);
  core_.SetPC(0x0100);
  Code(0x0100, {0x75, sfr::kSBUF, 0x41});
  core_.Step();
  const long took = CyclesUntil([&] { return (Sfr(sfr::kSCON) & scon::kTI) != 0; });
  EXPECT_NEAR(took, 10 * 16, 1);
  EXPECT_FALSE(Sfr(sfr::kT2CON) & t2con::kTF2);
}

TEST_F(PeripheralTest, ReceptionOfInjectedBytes) {
  FastBaud();
  Debugger(sfr::kPCON, kPconSmod);
  Debugger(sfr::kSCON, 0x40);  // mode 1, receiver off
  core_.InjectSerial(0x31);
  RunNops(400);
  EXPECT_FALSE(Sfr(sfr::kSCON) & scon::kRI) << "nothing arrives while REN is clear";
  EXPECT_EQ(core_.SerialPending(), 1u);

  Debugger(sfr::kSCON, 0x50);
  const long took = CyclesUntil([&] { return (Sfr(sfr::kSCON) & scon::kRI) != 0; });
  EXPECT_NEAR(took, 10 * 16, 2);
  EXPECT_EQ(Sfr(sfr::kSBUF), 0x31);
  EXPECT_TRUE(Sfr(sfr::kSCON) & scon::kRB8) << "the stop bit";

  // A byte that completes while RI is still set is lost, as on the chip.
  core_.InjectSerial(0x32);
  core_.InjectSerial(0x33);
  RunNops(400);
  EXPECT_EQ(Sfr(sfr::kSBUF), 0x31);
  EXPECT_EQ(core_.SerialPending(), 0u);
  Debugger(sfr::kSCON, 0x50);  // RI cleared
  core_.InjectSerial(0x34);
  RunNops(400);
  EXPECT_EQ(Sfr(sfr::kSBUF), 0x34);

  // Mode 3 with SM2: only a byte whose ninth bit is 1 is kept (multiprocessor address).
  Debugger(sfr::kSCON, 0xF0);
  core_.InjectSerial(0x41, false);
  core_.InjectSerial(0x42, true);
  RunNops(1000);
  EXPECT_EQ(Sfr(sfr::kSBUF), 0x42);
  EXPECT_TRUE(Sfr(sfr::kSCON) & scon::kRB8);
  EXPECT_TRUE(Sfr(sfr::kSCON) & scon::kRI);
}

TEST_F(PeripheralTest, ReceiveInterruptTakesTheInjectedByte) {
  FastBaud();
  Debugger(sfr::kPCON, kPconSmod);
  Debugger(sfr::kSCON, 0x50);
  Debugger(sfr::kIE, ie::kEA | ie::kES);
  Code(0x23, {0xE5, sfr::kSBUF, 0xF5, 0x40, 0xC2, 0x98, kReti});  // MOV A,SBUF / MOV 40h,A / CLR RI / RETI
  core_.SetPC(0x0100);
  core_.InjectSerial(0xA5);
  CyclesUntil([&] { return core_.InterruptsTaken() == 1 && core_.InterruptsInProgress() == 0; });
  EXPECT_EQ(mem_->iram[0x40], 0xA5);
  EXPECT_FALSE(Sfr(sfr::kSCON) & scon::kRI);
}

TEST_F(PeripheralTest, TimerChoicesWhereTheChipLeavesRoom) {
  // Mode 0 leaves TLx's upper three bits as written.
  Debugger(sfr::kTMOD, 0x00);
  Debugger(sfr::kTL0, 0xFE);
  Debugger(sfr::kTH0, 0x12);
  Debugger(sfr::kTCON, tcon::kTR0);
  RunNops(1);
  EXPECT_EQ(Sfr(sfr::kTL0), 0xFF);
  RunNops(1);
  EXPECT_EQ(Sfr(sfr::kTL0), 0xE0);
  EXPECT_EQ(Sfr(sfr::kTH0), 0x13);

  // Timer 1 in mode 3 holds; with timer 0 in mode 3, TH0 runs under TR1 into TF1.
  core_.Reset();
  Debugger(sfr::kTMOD, 0x33);
  Debugger(sfr::kTL1, 0x10);
  Debugger(sfr::kTH0, 0xFE);
  Debugger(sfr::kTCON, tcon::kTR1);
  RunNops(3);
  EXPECT_EQ(Sfr(sfr::kTL1), 0x10);
  EXPECT_EQ(Sfr(sfr::kTH0), 0x01);
  EXPECT_TRUE(Sfr(sfr::kTCON) & tcon::kTF1);
  EXPECT_EQ(Sfr(sfr::kTL0), 0x00) << "TL0 waits for TR0";

  // Timer 1 overflowing while timer 0 is in mode 3 sets no TF1.
  core_.Reset();
  Debugger(sfr::kTMOD, 0x13);
  Debugger(sfr::kTL1, 0xFF);
  Debugger(sfr::kTH1, 0xFF);
  Debugger(sfr::kTCON, tcon::kTR1);
  Debugger(sfr::kTH0, 0x00);
  RunNops(2);
  EXPECT_EQ(Sfr(sfr::kTH1), 0x00);
  EXPECT_FALSE(Sfr(sfr::kTCON) & tcon::kTF1);

  // Timer 2 counts falling edges of T2 (P1.0) written by the program.
  core_.Reset();
  Debugger(sfr::kT2CON, t2con::kCT2 | t2con::kTR2);
  core_.SetPC(0x0100);
  Code(0x0100, {0xC2, 0x90, 0xD2, 0x90, 0xC2, 0x90, 0xD2, 0x90, kNop, kNop});  // CLR/SETB P1.0 twice
  RunNops(10);
  EXPECT_EQ(Sfr(sfr::kTL2), 2);
}

TEST_F(PeripheralTest, DebuggerWritesStoreValuesOnly) {
  Debugger(sfr::kSBUF, 0x55);
  EXPECT_TRUE(core_.SerialOutput().empty());
  EXPECT_EQ(core_.ReadDirect(sfr::kSBUF), 0x55);
  Debugger(sfr::kTCON, tcon::kTF0);
  Debugger(sfr::kIE, ie::kEA | ie::kET0);
  core_.Step();
  EXPECT_EQ(core_.PC(), 0x0B) << "a debugger write to IE holds nothing off";
}

TEST_F(PeripheralTest, SerialOutputKeepsTheLatestBytes) {
  for (size_t i = 0; i < Core8051::kSerialOutputKept + 10; ++i) {
    core_.WriteDirect(sfr::kSBUF, static_cast<uint8_t>(i));
  }
  ASSERT_EQ(core_.SerialOutput().size(), Core8051::kSerialOutputKept);
  EXPECT_EQ(core_.SerialOutput().front(), 10);
  EXPECT_EQ(core_.SerialOutput().back(), static_cast<uint8_t>(Core8051::kSerialOutputKept + 9));
}

}  // namespace
}  // namespace sim::ice::testing
