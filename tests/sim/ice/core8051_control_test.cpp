// Control transfers: AJMP/ACALL pages, long jumps and calls, returns,
// relative branches, JBC, CJNE, DJNZ, JMP @A+DPTR, PC wrap-around.
#include <gtest/gtest.h>

#include <vector>

#include "tests/sim/ice/core8051_fixture.h"

namespace sim::ice::testing {
namespace {

using psw::kCY;

class ControlTest : public Core8051Test {};

TEST_F(ControlTest, AjmpUsesThePageOfTheNextInstruction) {
  struct Case {
    uint16_t at;
    uint8_t opcode, low;
    uint16_t target;
  };
  const std::vector<Case> cases = {
      {0x07FE, 0xE1, 0x23, 0x0F23},  // next PC 0x0800 is already in the next page
      {0x07FD, 0xE1, 0x23, 0x0723}, {0x1234, 0x01, 0x00, 0x1000},
      {0x1234, 0x21, 0xFF, 0x11FF}, {0xFFFE, 0xA1, 0x02, 0x0502},  // next PC wraps to 0x0000
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << std::hex << "at " << c.at);
    EXPECT_EQ(ExecAt(c.at, {c.opcode, c.low}), 2);
    EXPECT_EQ(core_.PC(), c.target);
  }
}

TEST_F(ControlTest, AcallAtPageEndPushesNextPcAndCallsIntoNextPage) {
  SetSfr(sfr::kSP, 0x30);
  EXPECT_EQ(ExecAt(0x0FFE, {0x11, 0x23}), 2);
  EXPECT_EQ(core_.PC(), 0x1023);
  EXPECT_EQ(core_.SP(), 0x32);
  EXPECT_EQ(mem_->iram[0x31], 0x00);  // low byte first
  EXPECT_EQ(mem_->iram[0x32], 0x10);
  ExecAt(0x0900, {0x31, 0x10});
  EXPECT_EQ(core_.PC(), 0x0910);
}

TEST_F(ControlTest, LcallAndRetRoundTrip) {
  SetSfr(sfr::kSP, 0x07);
  EXPECT_EQ(ExecAt(0x0010, {0x12, 0x12, 0x34}), 2);
  EXPECT_EQ(core_.PC(), 0x1234);
  EXPECT_EQ(core_.SP(), 0x09);
  EXPECT_EQ(mem_->iram[0x08], 0x13);
  EXPECT_EQ(mem_->iram[0x09], 0x00);
  EXPECT_EQ(Exec({0x22}), 2);  // RET
  EXPECT_EQ(core_.PC(), 0x0013);
  EXPECT_EQ(core_.SP(), 0x07);
}

TEST_F(ControlTest, RetiReturnsLikeRet) {
  SetSfr(sfr::kSP, 0x09);
  mem_->iram[0x09] = 0x12;
  mem_->iram[0x08] = 0x34;
  EXPECT_EQ(ExecAt(0x0400, {0x32}), 2);
  EXPECT_EQ(core_.PC(), 0x1234);
  EXPECT_EQ(core_.SP(), 0x07);
}

TEST_F(ControlTest, ReturnAddressWrapsTheStackThroughZero) {
  SetSfr(sfr::kSP, 0x00);
  mem_->iram[0x00] = 0xAB;
  mem_->iram[0xFF] = 0xCD;
  ExecAt(0x0400, {0x22});
  EXPECT_EQ(core_.PC(), 0xABCD);
  EXPECT_EQ(core_.SP(), 0xFE);
  SetSfr(sfr::kSP, 0xFF);
  ExecAt(0x2000, {0x12, 0x30, 0x00});
  EXPECT_EQ(mem_->iram[0x00], 0x03);
  EXPECT_EQ(mem_->iram[0x01], 0x20);
  EXPECT_EQ(core_.SP(), 0x01);
}

TEST_F(ControlTest, LjmpAndJmpIndirect) {
  EXPECT_EQ(ExecAt(0x0100, {0x02, 0xBE, 0xEF}), 2);
  EXPECT_EQ(core_.PC(), 0xBEEF);
  SetSfr(sfr::kDPL, 0xF0);
  SetSfr(sfr::kDPH, 0xFF);
  SetSfr(sfr::kACC, 0x20);
  EXPECT_EQ(ExecAt(0x0100, {0x73}), 2);  // JMP @A+DPTR wraps at 16 bits
  EXPECT_EQ(core_.PC(), 0x0010);
}

TEST_F(ControlTest, RelativeBranchesCountFromTheNextInstruction) {
  EXPECT_EQ(ExecAt(0x0100, {0x80, 0xFE}), 2);  // SJMP $
  EXPECT_EQ(core_.PC(), 0x0100);
  ExecAt(0x0100, {0x80, 0x7F});
  EXPECT_EQ(core_.PC(), 0x0181);
  ExecAt(0x0100, {0x80, 0x80});
  EXPECT_EQ(core_.PC(), 0x0082);
  ExecAt(0xFFFE, {0x80, 0x05});  // across the top of code memory
  EXPECT_EQ(core_.PC(), 0x0005);
  ExecAt(0x0001, {0x80, 0xF0});
  EXPECT_EQ(core_.PC(), 0xFFF3);
}

TEST_F(ControlTest, ConditionalBranchesTakeOrFallThrough) {
  struct Case {
    std::vector<uint8_t> code;  // at 0x0200
    uint8_t acc;
    bool carry;
    uint16_t expected;
  };
  const std::vector<Case> cases = {
      {{0x60, 0x05}, 0x00, false, 0x0207},  // JZ taken
      {{0x60, 0x05}, 0x01, false, 0x0202},       {{0x70, 0x05}, 0x01, false, 0x0207},  // JNZ
      {{0x70, 0x05}, 0x00, false, 0x0202},       {{0x40, 0x05}, 0x00, true, 0x0207},  // JC
      {{0x40, 0x05}, 0x00, false, 0x0202},       {{0x50, 0x05}, 0x00, false, 0x0207},  // JNC
      {{0x50, 0x05}, 0x00, true, 0x0202},        {{0x20, 0xE1, 0x05}, 0x02, false, 0x0208},  // JB ACC.1
      {{0x20, 0xE1, 0x05}, 0xFD, false, 0x0203}, {{0x30, 0xE1, 0x05}, 0xFD, false, 0x0208},  // JNB ACC.1
      {{0x30, 0xE1, 0x05}, 0x02, false, 0x0203},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << std::hex << "op " << int{c.code[0]} << " A=" << int{c.acc});
    SetSfr(sfr::kACC, c.acc);
    SetSfr(sfr::kPSW, c.carry ? kCY : 0);
    for (size_t i = 0; i < c.code.size(); ++i) mem_->code[0x0200 + i] = c.code[i];
    core_.SetPC(0x0200);
    EXPECT_EQ(core_.Step(), 2);
    EXPECT_EQ(core_.PC(), c.expected);
  }
}

TEST_F(ControlTest, JbcClearsTheBitOnlyWhenItJumps) {
  mem_->iram[0x24] = 0x81;  // bits 0x20 and 0x27
  ExecAt(0x0300, {0x10, 0x27, 0x10});
  EXPECT_EQ(core_.PC(), 0x0313);
  EXPECT_EQ(mem_->iram[0x24], 0x01);
  ExecAt(0x0300, {0x10, 0x27, 0x10});
  EXPECT_EQ(core_.PC(), 0x0303);
  EXPECT_EQ(mem_->iram[0x24], 0x01);
  // On a port the bit is cleared in the latch, the rest of the latch kept.
  SetSfr(sfr::kP1, 0xA5);
  ExecAt(0x0300, {0x10, 0x97, 0x02});
  EXPECT_EQ(core_.PC(), 0x0305);
  EXPECT_EQ(Sfr(sfr::kP1), 0x25);
  // On ACC it changes parity.
  SetSfr(sfr::kACC, 0x01);
  ExecAt(0x0300, {0x10, 0xE0, 0x00});
  EXPECT_EQ(core_.ACC(), 0x00);
  EXPECT_FALSE(Flag(psw::kP));
}

// CJNE sets CY when the first operand is below the second, unsigned, and
// jumps when they differ; every form is checked against the same pairs.
TEST_F(ControlTest, CjneAllFormsCompareUnsigned) {
  struct Pair {
    uint8_t first, second;
    bool carry, jumps;
  };
  const std::vector<Pair> pairs = {
      {0x05, 0x05, false, false}, {0x04, 0x05, true, true},  {0x06, 0x05, false, true},
      {0x00, 0xFF, true, true},   {0x80, 0x7F, false, true}, {0xFF, 0xFF, false, false},
  };
  enum Form { kAImmediate, kADirect, kIndirect0, kIndirect1, kRegister };
  for (Form form : {kAImmediate, kADirect, kIndirect0, kIndirect1, kRegister}) {
    for (const Pair& p : pairs) {
      SCOPED_TRACE(::testing::Message() << "form " << form << std::hex << " " << int{p.first} << " vs "
                                        << int{p.second});
      SetSfr(sfr::kPSW, p.carry ? 0 : kCY);  // the opposite, so CY must be written
      switch (form) {
        case kAImmediate:
          SetSfr(sfr::kACC, p.first);
          ExecAt(0x0500, {0xB4, p.second, 0x10});
          break;
        case kADirect:
          SetSfr(sfr::kACC, p.first);
          SetSfr(sfr::kB, p.second);
          ExecAt(0x0500, {0xB5, sfr::kB, 0x10});
          break;
        case kIndirect0:
        case kIndirect1:
          mem_->iram[form == kIndirect0 ? 0 : 1] = 0xA0;  // upper RAM, not P2
          mem_->iram[0xA0] = p.first;
          ExecAt(0x0500, {static_cast<uint8_t>(form == kIndirect0 ? 0xB6 : 0xB7), p.second, 0x10});
          break;
        case kRegister:
          mem_->iram[6] = p.first;
          ExecAt(0x0500, {0xBE, p.second, 0x10});
          break;
      }
      EXPECT_EQ(Flag(kCY), p.carry);
      EXPECT_EQ(core_.PC(), p.jumps ? 0x0513 : 0x0503);
    }
  }
}

TEST_F(ControlTest, DjnzDecrementsAndJumpsUnlessZero) {
  mem_->iram[2] = 0x02;
  EXPECT_EQ(ExecAt(0x0600, {0xDA, 0xFE}), 2);  // DJNZ R2,$
  EXPECT_EQ(core_.PC(), 0x0600);
  EXPECT_EQ(mem_->iram[2], 0x01);
  Exec({0xDA, 0xFE});
  EXPECT_EQ(core_.PC(), 0x0602);
  EXPECT_EQ(mem_->iram[2], 0x00);
  ExecAt(0x0600, {0xDA, 0xFE});  // from 0 it wraps to FF and jumps
  EXPECT_EQ(mem_->iram[2], 0xFF);
  EXPECT_EQ(core_.PC(), 0x0600);

  mem_->iram[0x40] = 0x01;
  EXPECT_EQ(ExecAt(0x0700, {0xD5, 0x40, 0x10}), 2);  // DJNZ 40h,rel
  EXPECT_EQ(core_.PC(), 0x0703);
  EXPECT_EQ(mem_->iram[0x40], 0x00);
  ExecAt(0x0700, {0xD5, 0x40, 0x10});
  EXPECT_EQ(core_.PC(), 0x0713);
  EXPECT_EQ(mem_->iram[0x40], 0xFF);

  // DJNZ leaves the flags alone (only P can follow ACC).
  SetSfr(sfr::kPSW, kCY);
  SetSfr(sfr::kACC, 0x01);
  ExecAt(0x0700, {0xD5, 0xE0, 0x10});
  EXPECT_EQ(core_.ACC(), 0x00);
  EXPECT_EQ(core_.PSW(), kCY);
}

TEST_F(ControlTest, PcWrapsAtSixteenBits) {
  ExecAt(0xFFFF, {0x00});
  EXPECT_EQ(core_.PC(), 0x0000);
  // A three-byte instruction at 0xFFFE takes its last byte from 0x0000.
  mem_->code[0xFFFE] = 0x02;
  mem_->code[0xFFFF] = 0x12;
  mem_->code[0x0000] = 0x34;
  core_.SetPC(0xFFFE);
  core_.Step();
  EXPECT_EQ(core_.PC(), 0x1234);
}

}  // namespace
}  // namespace sim::ice::testing
