// The length and cycle tables against what Step actually does, over all 256
// opcodes.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "tests/sim/ice/core8051_fixture.h"

namespace sim::ice::testing {
namespace {

bool IsAbsoluteTransfer(uint8_t op) {
  return (op & 0x1F) == 0x01 || (op & 0x1F) == 0x11 || op == 0x02 || op == 0x12 || op == 0x22 || op == 0x32 ||
         op == 0x73;
}

class TableTest : public Core8051Test {};

// With zero operand bytes every relative branch lands where it would fall
// through, so each opcode that is not an absolute transfer must end exactly
// its length further on: Step fetches what the length table says.
TEST_F(TableTest, StepAdvancesByTheInstructionLength) {
  for (int op = 0; op < 256; ++op) {
    SCOPED_TRACE(::testing::Message() << std::hex << "op " << op);
    mem_->code.fill(0);
    mem_->iram.fill(0);
    mem_->ram1k.fill(0);
    core_.Reset();
    const uint16_t at = 0x1000;
    mem_->code[at] = static_cast<uint8_t>(op);
    core_.SetPC(at);
    const int cycles = core_.Step();
    EXPECT_EQ(cycles, Core8051::InstructionCycles(static_cast<uint8_t>(op)));
    if (!IsAbsoluteTransfer(static_cast<uint8_t>(op))) {
      EXPECT_EQ(core_.PC(), at + Core8051::InstructionLength(static_cast<uint8_t>(op)));
    }
  }
}

TEST_F(TableTest, LengthsOfTheAbsoluteTransfers) {
  const std::vector<std::pair<uint8_t, int>> lengths = {
      {0x01, 2}, {0xF1, 2}, {0x02, 3}, {0x12, 3}, {0x22, 1}, {0x32, 1}, {0x73, 1},
  };
  for (auto [op, length] : lengths) EXPECT_EQ(Core8051::InstructionLength(op), length) << int{op};
}

TEST_F(TableTest, CyclesFollowTheTwelveClockTable) {
  const std::vector<std::pair<uint8_t, int>> cycles = {
      {0x00, 1}, {0x01, 2}, {0x11, 2}, {0x02, 2}, {0x12, 2}, {0x22, 2}, {0x32, 2}, {0x73, 2}, {0x80, 2}, {0x10, 2},
      {0x20, 2}, {0x60, 2}, {0xB4, 2}, {0xB8, 2}, {0xD5, 2}, {0xD8, 2}, {0x84, 4}, {0xA4, 4}, {0x85, 2}, {0x86, 2},
      {0x88, 2}, {0x75, 2}, {0x76, 1}, {0x78, 1}, {0xA6, 2}, {0xA8, 2}, {0xE5, 1}, {0xF5, 1}, {0x05, 1}, {0x42, 1},
      {0x43, 2}, {0x72, 2}, {0x82, 2}, {0xA0, 2}, {0xB0, 2}, {0x92, 2}, {0xA2, 1}, {0xB2, 1}, {0xC2, 1}, {0xA3, 2},
      {0x90, 2}, {0xC0, 2}, {0xD0, 2}, {0xC5, 1}, {0xD6, 1}, {0xD4, 1}, {0xE0, 2}, {0xE2, 2}, {0xF0, 2}, {0xF3, 2},
      {0x83, 2}, {0x93, 2}, {0xA5, 1}, {0x24, 1}, {0x94, 1}, {0xE4, 1},
  };
  for (auto [op, n] : cycles) EXPECT_EQ(Core8051::InstructionCycles(op), n) << std::hex << int{op};
}

}  // namespace
}  // namespace sim::ice::testing
