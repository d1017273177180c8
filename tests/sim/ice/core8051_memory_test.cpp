// Memory spaces: register banks, indirect upper RAM against SFRs, bit
// addresses, the stack, dual data pointers, MOVC, MOVX and the 1 KB RAM.
#include <gtest/gtest.h>

#include <vector>

#include "tests/sim/ice/core8051_fixture.h"

namespace sim::ice::testing {
namespace {

using psw::kCY;

class MemoryTest : public Core8051Test {};

TEST_F(MemoryTest, ResetSetsPowerOnRegistersAndKeepsRam) {
  mem_->iram[0x40] = 0x11;
  mem_->ram1k[0x10] = 0x22;
  mem_->xram[0x8000] = 0x33;
  for (auto& b : mem_->sfr) b = 0x5A;
  core_.SetPC(0x1234);
  core_.Reset();
  EXPECT_EQ(core_.PC(), 0x0000);
  EXPECT_EQ(core_.SP(), 0x07);
  for (uint8_t port : {sfr::kP0, sfr::kP1, sfr::kP2, sfr::kP3}) EXPECT_EQ(Sfr(port), 0xFF);
  for (uint8_t a :
       {sfr::kACC, sfr::kB, sfr::kPSW, sfr::kDPL, sfr::kDPH, sfr::kDPL1, sfr::kDPH1, sfr::kDPS, sfr::kRAMCON}) {
    EXPECT_EQ(Sfr(a), 0x00) << std::hex << int{a};
  }
  EXPECT_EQ(mem_->iram[0x40], 0x11);
  EXPECT_EQ(mem_->ram1k[0x10], 0x22);
  EXPECT_EQ(mem_->xram[0x8000], 0x33);
}

TEST_F(MemoryTest, RegisterBanksFollowRs1Rs0) {
  for (uint8_t bank = 0; bank < 4; ++bank) {
    SCOPED_TRACE(bank);
    mem_->iram.fill(0);
    SetSfr(sfr::kPSW, static_cast<uint8_t>(bank << 3));
    Exec({0x7F, static_cast<uint8_t>(0xA0 + bank)});  // MOV R7,#data
    Exec({0x79, 0x60});  // MOV R1,#60h
    Exec({0x77, 0x99});  // MOV @R1,#99h
    EXPECT_EQ(mem_->iram[bank * 8 + 7], 0xA0 + bank);
    EXPECT_EQ(core_.R(7), 0xA0 + bank);
    EXPECT_EQ(mem_->iram[0x60], 0x99);
    for (int other = 0; other < 32; ++other) {
      if (other / 8 != bank) {
        EXPECT_EQ(mem_->iram[other], 0) << other;
      }
    }
  }
}

TEST_F(MemoryTest, IndirectReachesUpperRamWhileDirectReachesSfrs) {
  SetSfr(sfr::kP1, 0xFF);
  Exec({0x78, 0x90});  // MOV R0,#90h
  Exec({0x76, 0x55});  // MOV @R0,#55h
  EXPECT_EQ(mem_->iram[0x90], 0x55);
  EXPECT_EQ(Sfr(sfr::kP1), 0xFF);
  Exec({0x75, 0x90, 0x12});  // MOV 90h,#12h (P1)
  EXPECT_EQ(Sfr(sfr::kP1), 0x12);
  EXPECT_EQ(mem_->iram[0x90], 0x55);
  Exec({0xE6});  // MOV A,@R0
  EXPECT_EQ(core_.ACC(), 0x55);
  Exec({0xE5, 0x90});  // MOV A,90h
  EXPECT_EQ(core_.ACC(), 0x12);
  EXPECT_EQ(core_.ReadDirect(0x90), 0x12);
  EXPECT_EQ(core_.ReadDirect(0x10), mem_->iram[0x10]);
  // MOV @Ri,direct and MOV direct,@Ri cross between the two.
  Exec({0xA6, 0x90});  // MOV @R0,P1
  EXPECT_EQ(mem_->iram[0x90], 0x12);
  mem_->iram[0x90] = 0x77;
  Exec({0x86, 0xF0});  // MOV B,@R0
  EXPECT_EQ(core_.B(), 0x77);
}

TEST_F(MemoryTest, BitAddressesMapToRamBytesAndSfrsAtMultiplesOfEight) {
  struct Case {
    uint8_t bit;
    bool in_ram;
    uint8_t address;  // iram byte or SFR address
    uint8_t mask;
  };
  const std::vector<Case> cases = {
      {0x00, true, 0x20, 0x01},  {0x07, true, 0x20, 0x80},  {0x08, true, 0x21, 0x01},
      {0x7F, true, 0x2F, 0x80},  {0x80, false, 0x80, 0x01}, {0x97, false, 0x90, 0x80},
      {0xCA, false, 0xC8, 0x04}, {0xF3, false, 0xF0, 0x08}, {0xFF, false, 0xF8, 0x80},
  };
  auto byte = [&](const Case& c) -> uint8_t { return c.in_ram ? mem_->iram[c.address] : Sfr(c.address); };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << std::hex << "bit " << int{c.bit});
    mem_->iram.fill(0);
    for (auto& s : mem_->sfr) s = 0;
    Exec({0xD2, c.bit});  // SETB bit
    EXPECT_EQ(byte(c), c.mask);
    Exec({0xA2, c.bit});  // MOV C,bit
    EXPECT_TRUE(Flag(kCY));
    Exec({0xB2, c.bit});  // CPL bit
    EXPECT_EQ(byte(c), 0);
    Exec({0xC3});  // CLR C
    Exec({0xA0, c.bit});  // ORL C,/bit
    EXPECT_TRUE(Flag(kCY));
    Exec({0x92, c.bit});  // MOV bit,C
    EXPECT_EQ(byte(c), c.mask);
    Exec({0xB0, c.bit});  // ANL C,/bit
    EXPECT_FALSE(Flag(kCY));
    Exec({0x72, c.bit});  // ORL C,bit
    EXPECT_TRUE(Flag(kCY));
    Exec({0xC2, c.bit});  // CLR bit
    EXPECT_EQ(byte(c), 0);
    Exec({0x82, c.bit});  // ANL C,bit
    EXPECT_FALSE(Flag(kCY));
    // No other byte of RAM or SFRs was touched.
    for (int i = 0; i < 256; ++i) EXPECT_EQ(mem_->iram[i], 0) << i;
  }
}

TEST_F(MemoryTest, BitWritesLeaveTheOtherBitsOfAPortLatch) {
  SetSfr(sfr::kP3, 0x5A);
  Exec({0xC2, 0xB1});  // CLR P3.1
  Exec({0xD2, 0xB0});  // SETB P3.0
  Exec({0xB2, 0xB7});  // CPL P3.7
  EXPECT_EQ(Sfr(sfr::kP3), 0xD9);
  Exec({0xD3});  // SETB C
  Exec({0xB3});  // CPL C
  EXPECT_FALSE(Flag(kCY));
}

TEST_F(MemoryTest, StackPreIncrementsAndWrapsAtEightBits) {
  SetSfr(sfr::kSP, 0xFE);
  SetSfr(sfr::kB, 0x11);
  EXPECT_EQ(Exec({0xC0, 0xF0}), 2);  // PUSH B
  EXPECT_EQ(core_.SP(), 0xFF);
  EXPECT_EQ(mem_->iram[0xFF], 0x11);  // upper RAM, not the SFR at 0xFF
  SetSfr(sfr::kB, 0x23);
  Exec({0xC0, 0xF0});
  EXPECT_EQ(core_.SP(), 0x00);
  EXPECT_EQ(mem_->iram[0x00], 0x23);
  EXPECT_EQ(Exec({0xD0, 0xE0}), 2);  // POP ACC
  EXPECT_EQ(core_.ACC(), 0x23);
  EXPECT_TRUE(Flag(psw::kP));
  EXPECT_EQ(core_.SP(), 0xFF);
  Exec({0xD0, 0x30});  // POP 30h
  EXPECT_EQ(mem_->iram[0x30], 0x11);
  EXPECT_EQ(core_.SP(), 0xFE);
}

TEST_F(MemoryTest, PushAndPopOfSpFollowTheirStepOrder) {
  SetSfr(sfr::kSP, 0x40);
  Exec({0xC0, 0x81});  // PUSH SP stores the incremented value
  EXPECT_EQ(core_.SP(), 0x41);
  EXPECT_EQ(mem_->iram[0x41], 0x41);
  mem_->iram[0x41] = 0x60;
  // POP SP: SP := 60h, then SP := SP - 1, in the order the instruction set
  // defines. (s51 decrements first and ends with 60h.)
  Exec({0xD0, 0x81});
  EXPECT_EQ(core_.SP(), 0x5F);
}

TEST_F(MemoryTest, XchAndXchdExchangeWholeBytesOrLowNibbles) {
  SetSfr(sfr::kACC, 0x3F);
  mem_->iram[5] = 0x75;
  Exec({0xCD});  // XCH A,R5
  EXPECT_EQ(core_.ACC(), 0x75);
  EXPECT_EQ(mem_->iram[5], 0x3F);
  SetSfr(sfr::kP2, 0x0F);
  Exec({0xC5, 0xA0});  // XCH A,P2
  EXPECT_EQ(core_.ACC(), 0x0F);
  EXPECT_EQ(Sfr(sfr::kP2), 0x75);
  mem_->iram[1] = 0xC8;
  mem_->iram[0xC8] = 0x12;
  Exec({0xC7});  // XCH A,@R1
  EXPECT_EQ(core_.ACC(), 0x12);
  EXPECT_EQ(mem_->iram[0xC8], 0x0F);
  SetSfr(sfr::kACC, 0x36);
  mem_->iram[0] = 0x20;
  mem_->iram[0x20] = 0x75;
  Exec({0xD6});  // XCHD A,@R0
  EXPECT_EQ(core_.ACC(), 0x35);
  EXPECT_EQ(mem_->iram[0x20], 0x76);
  Exec({0xC5, 0xE0});  // XCH A,ACC changes nothing
  EXPECT_EQ(core_.ACC(), 0x35);
}

TEST_F(MemoryTest, MovDirectDirectTakesSourceBeforeDestination) {
  mem_->iram[0x30] = 0xAB;
  EXPECT_EQ(Exec({0x85, 0x30, 0xF0}), 2);  // MOV B,30h
  EXPECT_EQ(core_.B(), 0xAB);
  EXPECT_EQ(Exec({0x85, 0xF0, 0x7F}), 2);  // MOV 7Fh,B
  EXPECT_EQ(mem_->iram[0x7F], 0xAB);
  mem_->iram[6] = 0x44;
  Exec({0x8E, 0x31});  // MOV 31h,R6
  EXPECT_EQ(mem_->iram[0x31], 0x44);
  Exec({0xAA, 0x31});  // MOV R2,31h
  EXPECT_EQ(mem_->iram[2], 0x44);
}

TEST_F(MemoryTest, MovcReadsCodeRelativeToNextInstructionOrDptr) {
  Code(0x1002, {0x5A});
  SetSfr(sfr::kACC, 0x01);
  EXPECT_EQ(ExecAt(0x1000, {0x83}), 2);  // MOVC A,@A+PC: 0x1001 + 1
  EXPECT_EQ(core_.ACC(), 0x5A);
  EXPECT_EQ(core_.PC(), 0x1001);
  mem_->code[0x0000] = 0xC3;
  SetSfr(sfr::kACC, 0x00);
  ExecAt(0xFFFF, {0x83});  // the next instruction's address wraps to 0
  EXPECT_EQ(core_.ACC(), 0xC3);
  mem_->code[0x2010] = 0x99;
  Exec({0x90, 0x20, 0x00});  // MOV DPTR,#2000h
  SetSfr(sfr::kACC, 0x10);
  EXPECT_EQ(Exec({0x93}), 2);  // MOVC A,@A+DPTR
  EXPECT_EQ(core_.ACC(), 0x99);
}

TEST_F(MemoryTest, DpsSelectsTheDataPointerForEveryDptrInstruction) {
  Exec({0x90, 0x12, 0x34});  // MOV DPTR,#1234h -> DPTR0
  EXPECT_EQ(Sfr(sfr::kDPH), 0x12);
  EXPECT_EQ(Sfr(sfr::kDPL), 0x34);
  Exec({0x75, 0x86, 0x01});  // MOV DPS,#1
  Exec({0x90, 0x20, 0xFF});  // MOV DPTR,#20FFh -> DPTR1
  EXPECT_EQ(Sfr(sfr::kDPH1), 0x20);
  EXPECT_EQ(Sfr(sfr::kDPL1), 0xFF);
  EXPECT_EQ(core_.DPTR(), 0x20FF);
  Exec({0xA3});  // INC DPTR carries into DPH1
  EXPECT_EQ(core_.DPTR(), 0x2100);
  EXPECT_EQ(Sfr(sfr::kDPH), 0x12);
  EXPECT_EQ(Sfr(sfr::kDPL), 0x34);

  SetSfr(sfr::kACC, 0x77);
  Exec({0xF0});  // MOVX @DPTR,A -> 0x2100
  EXPECT_EQ(mem_->xram[0x2100], 0x77);
  mem_->code[0x2105] = 0x42;
  SetSfr(sfr::kACC, 0x05);
  Exec({0x93});  // MOVC A,@A+DPTR
  EXPECT_EQ(core_.ACC(), 0x42);
  SetSfr(sfr::kACC, 0x00);
  Exec({0xE0});  // MOVX A,@DPTR
  EXPECT_EQ(core_.ACC(), 0x77);
  SetSfr(sfr::kACC, 0x02);
  Exec({0x73});  // JMP @A+DPTR
  EXPECT_EQ(core_.PC(), 0x2102);

  // Only bit 0 of DPS selects.
  SetSfr(sfr::kDPS, 0xFE);
  EXPECT_EQ(core_.DPTR(), 0x1234);
  Exec({0xA3});
  EXPECT_EQ(core_.DPTR(), 0x1235);
  EXPECT_EQ(Sfr(sfr::kDPL1), 0x00);
  EXPECT_EQ(Sfr(sfr::kDPH1), 0x21);
}

TEST_F(MemoryTest, MovxReachesTheOneKilobyteRamBelow400hWhileEnabled) {
  struct Case {
    uint16_t address;
    bool ram1k;
  };
  for (const Case& c :
       std::vector<Case>{{0x0000, true}, {0x03FF, true}, {0x0400, false}, {0xFFFF, false}, {0x8000, false}}) {
    SCOPED_TRACE(::testing::Message() << std::hex << c.address);
    mem_->ram1k.fill(0);
    mem_->xram.fill(0);
    SetSfr(sfr::kDPH, static_cast<uint8_t>(c.address >> 8));
    SetSfr(sfr::kDPL, static_cast<uint8_t>(c.address));
    SetSfr(sfr::kACC, 0xA5);
    Exec({0xF0});  // MOVX @DPTR,A
    if (c.ram1k) {
      EXPECT_EQ(mem_->ram1k[c.address], 0xA5);
      EXPECT_EQ(mem_->xram[c.address], 0x00);
    } else {
      EXPECT_EQ(mem_->xram[c.address], 0xA5);
    }
    EXPECT_EQ(core_.ReadXdata(c.address), 0xA5);
    SetSfr(sfr::kACC, 0x00);
    Exec({0xE0});  // MOVX A,@DPTR
    EXPECT_EQ(core_.ACC(), 0xA5);
  }
}

TEST_F(MemoryTest, RamconSendsEveryMovxToExternalRam) {
  mem_->ram1k[0x0010] = 0x11;
  mem_->xram[0x0010] = 0x22;
  EXPECT_EQ(core_.ReadXdata(0x0010), 0x11);
  SetSfr(sfr::kRAMCON, kRamconExternalOnly);
  EXPECT_EQ(core_.ReadXdata(0x0010), 0x22);
  Exec({0x90, 0x00, 0x10});
  Exec({0xE0});
  EXPECT_EQ(core_.ACC(), 0x22);
  SetSfr(sfr::kACC, 0x33);
  Exec({0xF0});
  EXPECT_EQ(mem_->xram[0x0010], 0x33);
  EXPECT_EQ(mem_->ram1k[0x0010], 0x11);
  core_.WriteXdata(0x0011, 0x44);
  EXPECT_EQ(mem_->xram[0x0011], 0x44);
  EXPECT_EQ(mem_->ram1k[0x0011], 0x00);
  SetSfr(sfr::kRAMCON, 0x06);  // the other bits do not switch it off
  core_.WriteXdata(0x0011, 0x55);
  EXPECT_EQ(mem_->ram1k[0x0011], 0x55);
}

TEST_F(MemoryTest, MovxAtRiTakesTheHighByteFromP2) {
  SetSfr(sfr::kP2, 0x03);
  mem_->iram[0] = 0xFF;
  SetSfr(sfr::kACC, 0x66);
  EXPECT_EQ(Exec({0xF2}), 2);  // MOVX @R0,A -> 0x03FF, the 1 KB RAM
  EXPECT_EQ(mem_->ram1k[0x03FF], 0x66);
  SetSfr(sfr::kP2, 0x04);
  mem_->iram[1] = 0x00;
  Exec({0xF3});  // MOVX @R1,A -> 0x0400, external
  EXPECT_EQ(mem_->xram[0x0400], 0x66);
  mem_->xram[0x0400] = 0x67;
  Exec({0xE3});  // MOVX A,@R1
  EXPECT_EQ(core_.ACC(), 0x67);
  SetSfr(sfr::kP2, 0x03);
  EXPECT_EQ(Exec({0xE2}), 2);  // MOVX A,@R0
  EXPECT_EQ(core_.ACC(), 0x66);
}

TEST_F(MemoryTest, UndefinedOpcodeIsAOneByteNoOp) {
  mem_->iram[0x30] = 0x12;
  SetSfr(sfr::kACC, 0x34);
  const uint8_t psw_before = core_.PSW();
  EXPECT_EQ(ExecAt(0x0100, {0xA5, 0x30, 0x00}), 1);
  EXPECT_EQ(core_.PC(), 0x0101);
  EXPECT_EQ(core_.ACC(), 0x34);
  EXPECT_EQ(core_.PSW(), psw_before);
  EXPECT_EQ(mem_->iram[0x30], 0x12);
}

}  // namespace
}  // namespace sim::ice::testing
