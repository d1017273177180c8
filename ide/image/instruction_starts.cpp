// Instruction lengths and the instruction-start map.
#include <cstring>

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
  // This pass runs over all 64 K addresses on every load, most of them
  // erased: erased stretches (0xFF, a one-byte instruction) are marked eight
  // addresses at a time.
  const uint8_t* code = Code().data();
  uint8_t* starts = startMap_.data();
  constexpr uint64_t kErased = ~uint64_t{0};
  constexpr uint64_t kAllStarts = 0x0101010101010101;
  int32_t a = 0;
  for (;;) {
    uint64_t eight = 0;
    while (a <= kTop - 8 && (std::memcpy(&eight, code + a, 8), eight == kErased)) {
      std::memcpy(starts + a, &kAllStarts, 8);
      a += 8;
    }
    if (a >= kTop) break;
    starts[a] = 1;
    a = MarkInstruction(a, code[a]);
  }
}

}  // namespace vx930
