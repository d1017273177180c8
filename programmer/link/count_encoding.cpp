#include "programmer/link/count_encoding.h"

namespace zolvek {

std::array<uint8_t, 3> ThreeLevelCountFromLast(uint32_t m) {
  return {static_cast<uint8_t>(m + 1), static_cast<uint8_t>(((m >> 8) & 0xFF) + 1),
          static_cast<uint8_t>(((m >> 16) & 0xFF) + 1)};
}

std::array<uint8_t, 3> ThreeLevelCount(uint32_t n) { return ThreeLevelCountFromLast(n == 0 ? 0 : n - 1); }

std::array<uint8_t, 2> TwoLevelCount(uint32_t n) {
  if (n == 0) return {1, 1};
  const uint8_t lo = static_cast<uint8_t>(n & 0xFF);
  return {lo, static_cast<uint8_t>(((n >> 8) & 0xFF) + (lo != 0 ? 1 : 0))};
}

}  // namespace zolvek
