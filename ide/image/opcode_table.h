// The 8051 instruction set as the decoder knows it: one row per opcode byte,
// and the three tables that pick out the control transfers.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace vx930 {

struct OpcodeRow {
  int32_t length;  // 1, 2 or 3 bytes
  std::string_view mnemonic;  // upper case, blank-padded to exactly 7 characters
  // Operands in the published notation, separated by "^"; tokens that take
  // operand bytes: direct, #data, #data16, addr11, addr16, rel, bit, /bit.
  std::string_view operands;
};

extern const std::array<OpcodeRow, 256> OpcodeTable;

struct TransferRow {
  int32_t opcode;  // only the low byte is compared
  int32_t length;
};

// Instructions whose last byte is a signed displacement from the next instruction.
extern const std::array<TransferRow, 29> RelBranchTable;
// LJMP and the eight AJMP opcodes.
extern const std::array<TransferRow, 9> AbsJumpTable;
// The eight ACALL opcodes and LCALL.
extern const std::array<TransferRow, 9> CallTable;

// The first row of the table for the opcode, or null. RET, RETI and
// JMP @A+DPTR are in no table.
const TransferRow* FindTransfer(std::span<const TransferRow> table, uint8_t opcode);

// Which of the three tables holds the opcode; one array access.
enum class TransferKind : uint8_t { None, RelBranch, AbsJump, Call };
TransferKind KindOf(uint8_t opcode);

// Targets of a transfer at address p. Not wrapped to 16 bits: a relative
// target may fall outside 0..0xFFFF, which callers test.
inline int32_t RelTarget(int32_t p, int32_t length, uint8_t displacement) {
  return p + length + static_cast<int8_t>(displacement);
}
// AJMP/ACALL: the page of the address after the instruction, eleven bits from
// the opcode's top three bits and the second byte.
inline int32_t Addr11Target(int32_t p, uint8_t opcode, uint8_t low) {
  return ((p + 2) & 0xF800) | ((opcode >> 5) << 8) | low;
}
inline int32_t Addr16Target(uint8_t high, uint8_t low) { return high * 256 + low; }

}  // namespace vx930
