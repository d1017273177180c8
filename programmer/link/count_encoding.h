// The count encodings the programmer's nested byte counters take.
#pragma once

#include <array>
#include <cstdint>

namespace zolvek {

// Three-level count of a last offset m = count - 1: L0 = (m + 1) & 0xFF,
// L1 = ((m >> 8) & 0xFF) + 1, L2 = ((m >> 16) & 0xFF) + 1, each modulo 256.
std::array<uint8_t, 3> ThreeLevelCountFromLast(uint32_t m);

// Three-level count of n bytes (1 to 0x1000000), sent as L0, L1, L2. It is
// the encoding of the last offset n - 1, so that every n is right (0x10001
// included, which a digit-by-digit carry turned into the count of 1). A count
// of 0 is never meant; it is encoded as 1 so that no transfer runs away.
std::array<uint8_t, 3> ThreeLevelCount(uint32_t n);

// Two-level count of n (sent lo, hi): lo = n & 0xFF, hi = ((n >> 8) & 0xFF)
// + 1 when lo is not 0; n = 0 is sent as 1, 1. Counts above kTwoLevelMax
// would carry out of hi, so callers refuse them.
inline constexpr uint32_t kTwoLevelMax = 0xFF00;
std::array<uint8_t, 2> TwoLevelCount(uint32_t n);

}  // namespace zolvek
