#include "sim/programmer/chip.h"

#include <algorithm>
#include <bit>

namespace sim::programmer {

uint16_t ValidBlockMask(uint8_t eraseKind, uint32_t size) {
  switch (eraseKind) {
    case 2: return 0x1F;
    case 3:
      if (size == 0x1000 || size == 0x2000) return 0x01;
      if (size == 0x4000) return 0x03;
      if (size == 0x8000) return 0x07;
      if (size == 0x10000) return 0x1F;
      return 0;
    case 4:
    case 5:
    case 6:
    case 7:
    case 11: return 0x03;
    case 8: return 0xFFF;
    case 9:
      if (size == 0x2000) return 0x03;
      if (size == 0x4000) return 0x0F;
      if (size == 0x8000) return 0xFF;
      if (size == 0x10000) return 0xFFFF;
      return 0;
    case 10: return 0x0F;
    case 12: return 0x07;
    default: return 0;
  }
}

Chip::Chip(const ChipParams& params)
    : params_(params), memory_(params.size, 0xFF), id_(params.idBytes), table_(params.securityTableSize, 0xFF) {}

bool Chip::ReadLocked() const { return (lockBits_ & ~1u) != 0; }
bool Chip::WriteLocked() const { return (lockBits_ & 1u) != 0; }

uint8_t Chip::Read(uint32_t address) const {
  if (!Contains(address) || ReadLocked()) return 0xFF;
  return memory_[address];
}

bool Chip::Program(uint32_t address, uint8_t value) {
  if (!Contains(address) || WriteLocked()) return false;
  if (failAddress_ && *failAddress_ == address) return memory_[address] == value;
  memory_[address] &= value;
  return memory_[address] == value;
}

bool Chip::Erase() {
  if (params_.eraseKind == 0) return false;
  std::fill(memory_.begin(), memory_.end(), 0xFF);
  lockBits_ = 0;
  config_ = {0xFF, 0xFF, 0xFF, 0xFF};
  std::fill(table_.begin(), table_.end(), 0xFF);
  clockMode_ = false;
  return true;
}

int Chip::BlockCount() const {
  if (!params_.blockStarts.empty()) return static_cast<int>(params_.blockStarts.size());
  return std::popcount(ValidBlockMask(params_.eraseKind, params_.size));
}

bool Chip::BlockRange(int block, uint32_t* first, uint32_t* last) const {
  const int n = BlockCount();
  if (block < 0 || block >= n) return false;
  if (!params_.blockStarts.empty()) {
    *first = params_.blockStarts[block];
    *last = block + 1 < n ? params_.blockStarts[block + 1] - 1 : params_.size - 1;
  } else {
    const uint32_t slice = params_.size / static_cast<uint32_t>(n);
    *first = slice * static_cast<uint32_t>(block);
    *last = block + 1 < n ? *first + slice - 1 : params_.size - 1;
  }
  return *first <= *last && *last < params_.size;
}

bool Chip::EraseBlock(int block) {
  uint32_t first = 0, last = 0;
  if (params_.eraseKind == 0 || !BlockRange(block, &first, &last)) return false;
  std::fill(memory_.begin() + first, memory_.begin() + last + 1, 0xFF);
  return true;
}

bool Chip::ProgramLockBit(int bit) {
  if (bit < 0 || bit >= params_.lockBitCount || bit > 7) return false;
  lockBits_ |= static_cast<uint8_t>(1u << bit);
  return true;
}

}  // namespace sim::programmer
