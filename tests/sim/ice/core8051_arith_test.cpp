// Arithmetic and logic: flag rules of ADD/ADDC/SUBB, DA, MUL, DIV, rotates,
// parity, and the operand columns shared by the arithmetic rows.
#include <gtest/gtest.h>

#include <vector>

#include "tests/sim/ice/core8051_fixture.h"

namespace sim::ice::testing {
namespace {

using psw::kAC;
using psw::kCY;
using psw::kOV;
using psw::kP;

struct FlagCase {
  uint8_t a;
  uint8_t operand;
  bool carry_in;
  uint8_t result;
  bool cy;
  bool ac;
  bool ov;
};

class ArithTest : public Core8051Test {
protected:
  // Runs "op A,#operand" with a given carry and the bystander bits F0 and RS0
  // set, which no arithmetic instruction may touch.
  void RunImmediate(uint8_t opcode, const FlagCase& c) {
    SetSfr(sfr::kACC, c.a);
    SetSfr(sfr::kPSW, static_cast<uint8_t>(psw::kF0 | psw::kRS0 | (c.carry_in ? kCY : 0)));
    EXPECT_EQ(Exec({opcode, c.operand}), 1);
  }

  void ExpectFlags(const FlagCase& c) {
    SCOPED_TRACE(::testing::Message() << std::hex << "A=" << int{c.a} << " op=" << int{c.operand}
                                      << " C=" << c.carry_in);
    EXPECT_EQ(core_.ACC(), c.result);
    EXPECT_EQ(Flag(kCY), c.cy);
    EXPECT_EQ(Flag(kAC), c.ac);
    EXPECT_EQ(Flag(kOV), c.ov);
    EXPECT_TRUE(Flag(psw::kF0));
    EXPECT_TRUE(Flag(psw::kRS0));
  }
};

TEST_F(ArithTest, AddIgnoresCarryInAndSetsCarryAuxAndOverflow) {
  const std::vector<FlagCase> cases = {
      {0x00, 0x00, false, 0x00, false, false, false},
      {0x00, 0x00, true, 0x00, false, false, false},  // ADD never adds C
      {0x0F, 0x01, false, 0x10, false, true, false},
      {0x08, 0x08, false, 0x10, false, true, false},
      {0x7F, 0x01, false, 0x80, false, true, true},  // +127 + 1 overflows
      {0x80, 0x80, false, 0x00, true, false, true},  // -128 + -128
      {0xFF, 0x01, false, 0x00, true, true, false},  // -1 + 1: carry, no overflow
      {0xC3, 0xAA, false, 0x6D, true, false, true},
      {0x40, 0x40, false, 0x80, false, false, true},
      {0xF0, 0xF0, false, 0xE0, true, false, false},
  };
  for (const FlagCase& c : cases) {
    RunImmediate(0x24, c);
    ExpectFlags(c);
  }
}

TEST_F(ArithTest, AddcAddsCarryIntoEveryFlag) {
  const std::vector<FlagCase> cases = {
      {0xC3, 0xAA, true, 0x6E, true, false, true},
      {0x7F, 0x00, true, 0x80, false, true, true},  // carry alone overflows
      {0x0F, 0x00, true, 0x10, false, true, false},  // carry alone makes AC
      {0xFF, 0x00, true, 0x00, true, true, false},
      {0xFF, 0xFF, true, 0xFF, true, true, false},
      {0x00, 0x00, true, 0x01, false, false, false},
      {0x7E, 0x01, false, 0x7F, false, false, false},
  };
  for (const FlagCase& c : cases) {
    RunImmediate(0x34, c);
    ExpectFlags(c);
  }
}

TEST_F(ArithTest, SubbBorrowsCarryAndSetsBorrowFlags) {
  const std::vector<FlagCase> cases = {
      {0xC9, 0x54, true, 0x74, false, false, true},  // -55 - 84 - 1 overflows
      {0x00, 0x01, false, 0xFF, true, true, false},   {0x80, 0x01, false, 0x7F, false, true, true},  // -128 - 1
      {0x7F, 0xFF, false, 0x80, true, false, true},  // 127 - (-1)
      {0x10, 0x00, true, 0x0F, false, true, false},   {0x00, 0x00, true, 0xFF, true, true, false},
      {0x55, 0x55, false, 0x00, false, false, false}, {0x01, 0x00, true, 0x00, false, false, false},
      {0x20, 0x11, false, 0x0F, false, true, false},
  };
  for (const FlagCase& c : cases) {
    RunImmediate(0x94, c);
    ExpectFlags(c);
  }
}

struct DaCase {
  uint8_t a;
  bool cy;
  bool ac;
  uint8_t result;
  bool cy_after;
};

TEST_F(ArithTest, DecimalAdjustFollowsBothNibbleRules) {
  const std::vector<DaCase> cases = {
      {0x0A, false, false, 0x10, false},  // 09 + 01
      {0x12, false, true, 0x18, false},  // 09 + 09: AC set by the add
      {0x9A, false, false, 0x00, true},  // 99 + 01
      {0x32, true, true, 0x98, true},  // 99 + 99
      {0xBE, false, false, 0x24, true},  // 56 + 67 + 1
      {0xC9, false, false, 0x29, true},  // 30 + 99: decimal 30 - 1
      {0x12, false, false, 0x12, false},  // already BCD: unchanged
      {0x12, true, false, 0x72, true},  // CY alone adjusts the high digit
      {0x00, false, true, 0x06, false},  // AC alone adjusts the low digit
      {0xFA, false, false, 0x60, true},  // low fix-up carries out, then high fix-up
      {0x9F, false, false, 0x05, true},  // low fix-up makes the high digit A
      {0xA0, false, false, 0x00, true},
  };
  for (const DaCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << std::hex << "A=" << int{c.a});
    SetSfr(sfr::kACC, c.a);
    SetSfr(sfr::kPSW, static_cast<uint8_t>(kOV | (c.cy ? kCY : 0) | (c.ac ? kAC : 0)));
    EXPECT_EQ(Exec({0xD4}), 1);
    EXPECT_EQ(core_.ACC(), c.result);
    EXPECT_EQ(Flag(kCY), c.cy_after);
    EXPECT_EQ(Flag(kAC), c.ac) << "DA leaves AC";
    EXPECT_TRUE(Flag(kOV)) << "DA leaves OV";
  }
}

TEST_F(ArithTest, AddcThenDecimalAdjustGivesBcdSum) {
  SetSfr(sfr::kACC, 0x56);
  mem_->iram[3] = 0x67;
  SetSfr(sfr::kPSW, kCY);
  Exec({0x3B});  // ADDC A,R3
  EXPECT_EQ(core_.ACC(), 0xBE);
  Exec({0xD4});  // DA A
  EXPECT_EQ(core_.ACC(), 0x24);
  EXPECT_TRUE(Flag(kCY));
}

TEST_F(ArithTest, MulSetsOverflowWhenProductExceedsAByte) {
  struct Case {
    uint8_t a, b, lo, hi;
    bool ov;
  };
  const std::vector<Case> cases = {
      {0x50, 0xA0, 0x00, 0x32, true}, {0x0F, 0x11, 0xFF, 0x00, false}, {0x10, 0x10, 0x00, 0x01, true},
      {0xFF, 0xFF, 0x01, 0xFE, true}, {0x00, 0xFF, 0x00, 0x00, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << std::hex << int{c.a} << "*" << int{c.b});
    SetSfr(sfr::kACC, c.a);
    SetSfr(sfr::kB, c.b);
    SetSfr(sfr::kPSW, kCY | kOV);
    EXPECT_EQ(Exec({0xA4}), 4);
    EXPECT_EQ(core_.ACC(), c.lo);
    EXPECT_EQ(core_.B(), c.hi);
    EXPECT_FALSE(Flag(kCY));
    EXPECT_EQ(Flag(kOV), c.ov);
  }
}

TEST_F(ArithTest, DivGivesQuotientAndRemainder) {
  struct Case {
    uint8_t a, b, q, r;
  };
  const std::vector<Case> cases = {
      {0xFB, 0x12, 0x0D, 0x11},
      {0x00, 0x05, 0x00, 0x00},
      {0xFF, 0x01, 0xFF, 0x00},
      {0x07, 0x08, 0x00, 0x07},
  };
  for (const Case& c : cases) {
    SetSfr(sfr::kACC, c.a);
    SetSfr(sfr::kB, c.b);
    SetSfr(sfr::kPSW, kCY | kOV);
    EXPECT_EQ(Exec({0x84}), 4);
    EXPECT_EQ(core_.ACC(), c.q);
    EXPECT_EQ(core_.B(), c.r);
    EXPECT_FALSE(Flag(kCY));
    EXPECT_FALSE(Flag(kOV));
  }
}

TEST_F(ArithTest, DivByZeroSetsOverflowAndKeepsOperands) {
  SetSfr(sfr::kACC, 0x42);
  SetSfr(sfr::kB, 0x00);
  SetSfr(sfr::kPSW, kCY);
  Exec({0x84});
  EXPECT_TRUE(Flag(kOV));
  EXPECT_FALSE(Flag(kCY));
  EXPECT_EQ(core_.ACC(), 0x42);
  EXPECT_EQ(core_.B(), 0x00);
}

TEST_F(ArithTest, RotatesMoveBitsThroughCarryOnlyForRlcAndRrc) {
  struct Case {
    uint8_t opcode, a;
    bool carry_in;
    uint8_t result;
    bool carry_out;
  };
  const std::vector<Case> cases = {
      {0x23, 0x81, false, 0x03, false},  // RL: C untouched
      {0x23, 0x81, true, 0x03, true},   {0x03, 0x81, false, 0xC0, false},  // RR
      {0x33, 0x81, false, 0x02, true},  // RLC
      {0x33, 0x01, true, 0x03, false},  {0x13, 0x81, false, 0x40, true},  // RRC
      {0x13, 0x02, true, 0x81, false},  {0xC4, 0x5A, true, 0xA5, true},  // SWAP
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << std::hex << "op " << int{c.opcode});
    SetSfr(sfr::kACC, c.a);
    SetSfr(sfr::kPSW, c.carry_in ? kCY : 0);
    Exec({c.opcode});
    EXPECT_EQ(core_.ACC(), c.result);
    EXPECT_EQ(Flag(kCY), c.carry_out);
  }
}

// Rows 2-6, 9 and E take their source from columns 4-F: #data, direct,
// @R0, @R1, R0-R7. Every column of every row must reach the same value.
TEST_F(ArithTest, EveryOperandColumnReachesItsSource) {
  struct Row {
    uint8_t row;
    uint8_t expected;  // A = 0x5C op source 0x0F with C clear
  };
  const std::vector<Row> rows = {
      {0x20, 0x6B}, {0x30, 0x6B}, {0x40, 0x5F}, {0x50, 0x0C}, {0x60, 0x53}, {0x90, 0x4D}, {0xE0, 0x0F},
  };
  const uint8_t kSource = 0x0F;
  for (const Row& r : rows) {
    for (uint8_t column = 4; column <= 0x0F; ++column) {
      const uint8_t opcode = static_cast<uint8_t>(r.row | column);
      if (opcode == 0xE4) continue;  // CLR A takes no source
      SCOPED_TRACE(::testing::Message() << std::hex << "op " << int{opcode});
      mem_->iram.fill(0);
      SetSfr(sfr::kPSW, psw::kRS1);  // bank 2: R0 at 0x10
      SetSfr(sfr::kACC, 0x5C);
      uint8_t operand = 0;
      if (column == 4) {
        operand = kSource;
      } else if (column == 5) {
        operand = 0x45;
        mem_->iram[0x45] = kSource;
      } else if (column <= 7) {
        mem_->iram[0x10 + (column & 1)] = 0xC0;  // upper RAM by indirection
        mem_->iram[0xC0] = kSource;
      } else {
        mem_->iram[0x10 + (column & 7)] = kSource;
      }
      const int length = Core8051::InstructionLength(opcode);
      const uint16_t at = core_.PC();
      if (length == 2)
        Exec({opcode, operand});
      else
        Exec({opcode});
      EXPECT_EQ(core_.ACC(), r.expected);
      EXPECT_EQ(core_.PC(), at + length);
    }
  }
}

TEST_F(ArithTest, ParityFollowsAccumulatorWhicheverWayItChanges) {
  Exec({0x74, 0x01});  // MOV A,#01
  EXPECT_TRUE(Flag(kP));
  Exec({0x75, 0xE0, 0x03});  // MOV ACC,#03 (direct write)
  EXPECT_FALSE(Flag(kP));
  Exec({0xD2, 0xE7});  // SETB ACC.7
  EXPECT_TRUE(Flag(kP));
  Exec({0x75, 0xD0, 0x00});  // MOV PSW,#00 cannot clear P
  EXPECT_TRUE(Flag(kP));
  Exec({0x75, 0xD0, 0x01});  // nor set it against ACC
  Exec({0xE4});  // CLR A
  EXPECT_FALSE(Flag(kP));
  mem_->iram[0x30] = 0x07;
  Exec({0xC5, 0x30});  // XCH A,30h
  EXPECT_TRUE(Flag(kP));
  Exec({0xA2, 0xD0});  // MOV C,P sees the new parity at once
  EXPECT_TRUE(Flag(kCY));
}

TEST_F(ArithTest, ParityIsRightAfterOutsideWrites) {
  core_.WriteDirect(sfr::kACC, 0x80);
  EXPECT_TRUE(Flag(kP));
  core_.WriteDirect(sfr::kPSW, 0x00);
  EXPECT_TRUE(Flag(kP));
  // A byte stored straight into the SFR array is put right by the next step,
  // before the instruction can see it.
  mem_->sfr[sfr::kACC - 0x80] = 0x00;
  Code(core_.PC(), {0x20, 0xD0, 0x10});  // JB P,+16
  const uint16_t next = static_cast<uint16_t>(core_.PC() + 3);
  core_.Step();
  EXPECT_EQ(core_.PC(), next);
  EXPECT_FALSE(Flag(kP));
}

TEST_F(ArithTest, IncAndDecWrapWithoutTouchingFlags) {
  SetSfr(sfr::kPSW, 0);
  SetSfr(sfr::kACC, 0xFF);
  Exec({0x04});  // INC A
  EXPECT_EQ(core_.ACC(), 0x00);
  EXPECT_FALSE(Flag(kCY));
  Exec({0x14});  // DEC A
  EXPECT_EQ(core_.ACC(), 0xFF);
  EXPECT_FALSE(Flag(kCY));
  mem_->iram[0x55] = 0x00;
  Exec({0x15, 0x55});  // DEC 55h
  EXPECT_EQ(mem_->iram[0x55], 0xFF);
  mem_->iram[5] = 0xFF;
  Exec({0x0D});  // INC R5
  EXPECT_EQ(mem_->iram[5], 0x00);
  EXPECT_EQ(core_.PSW() & (kCY | kAC | kOV), 0);
}

TEST_F(ArithTest, LogicToDirectReadsTheLatchAndWritesBack) {
  SetSfr(sfr::kP1, 0xF0);
  SetSfr(sfr::kACC, 0x3C);
  Exec({0x52, 0x90});  // ANL P1,A
  EXPECT_EQ(Sfr(sfr::kP1), 0x30);
  Exec({0x43, 0x90, 0x05});  // ORL P1,#05
  EXPECT_EQ(Sfr(sfr::kP1), 0x35);
  Exec({0x62, 0x90});  // XRL P1,A
  EXPECT_EQ(Sfr(sfr::kP1), 0x09);
  Exec({0x53, 0x90, 0x0C});  // ANL P1,#0C
  EXPECT_EQ(Sfr(sfr::kP1), 0x08);
  Exec({0x42, 0x90});  // ORL P1,A
  EXPECT_EQ(Sfr(sfr::kP1), 0x3C);
  Exec({0x63, 0x90, 0xFF});  // XRL P1,#FF
  EXPECT_EQ(Sfr(sfr::kP1), 0xC3);
  Exec({0x63, 0xE0, 0x01});  // XRL ACC,#01 changes parity too
  EXPECT_EQ(core_.ACC(), 0x3D);
  EXPECT_TRUE(Flag(kP));
}

TEST_F(ArithTest, CplAndClrA) {
  SetSfr(sfr::kACC, 0x5A);
  Exec({0xF4});
  EXPECT_EQ(core_.ACC(), 0xA5);
  Exec({0xE4});
  EXPECT_EQ(core_.ACC(), 0x00);
}

}  // namespace
}  // namespace sim::ice::testing
