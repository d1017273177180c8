// Instruction lengths and the instruction-start map.
#include "ide/image/hex_decoder.h"
#include "ide/image/opcode_table.h"

namespace vx930 {

namespace {
constexpr int32_t kTop = static_cast<int32_t>(kCodeSize);  // one past 0xFFFF
}

int32_t CDecodeHex::GetInstLength(int32_t address) const {
  return OpcodeTable[Code()[static_cast<uint16_t>(address)]].length;
}

int32_t CDecodeHex::BytesInImage(int32_t a) const {
  const int32_t length = OpcodeTable[Code()[static_cast<uint16_t>(a)]].length;
  return a + length <= kTop ? length : kTop - a;
}

int32_t CDecodeHex::MarkInstruction(int32_t address, uint8_t opcode) {
  if (address < 0) return kTop;
  const int32_t end = address + OpcodeTable[opcode].length;
  // Reaching the top counts as passing it: such an instruction is left
  // unmarked, as is one that really runs past 0xFFFF.
  if (end >= kTop) return kTop;
  startMap_[static_cast<std::size_t>(address)] = 1;
  for (int32_t i = address + 1; i < end; ++i) startMap_[static_cast<std::size_t>(i)] = 0;
  return end;
}

void CDecodeHex::MarkAllStarts() {
  const CodeImage& code = Code();
  int32_t a = 0;
  do {
    startMap_[static_cast<std::size_t>(a)] = 1;
    a = MarkInstruction(a, code[static_cast<std::size_t>(a)]);
  } while (a < kTop);
}

}  // namespace vx930
