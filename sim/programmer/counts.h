// How the programmer's firmware reads the counts it is sent.
//
// The firmware runs nested byte counters that count down to zero, a counter
// loaded with 0 making 256 passes, and the innermost counter's first run being
// the partial one. So a three-level count (L0, L1, L2) stands for
//   L0' + (L1' - 1) * 256 + (L2' - 1) * 65536,   x' = (x == 0 ? 256 : x),
// and a two-level count (lo, hi) for lo' + (hi' - 1) * 256. These are decoded
// exactly as the firmware would run them, never "corrected": a count the host
// encodes wrongly moves the wrong number of bytes, and the test sees it.
#pragma once

#include <cstdint>

namespace sim::programmer {

constexpr uint32_t CounterPasses(uint8_t v) { return v == 0 ? 256u : v; }

constexpr uint32_t DecodeCount3(uint8_t l0, uint8_t l1, uint8_t l2) {
  return CounterPasses(l0) + (CounterPasses(l1) - 1) * 256u + (CounterPasses(l2) - 1) * 65536u;
}

constexpr uint32_t DecodeCount2(uint8_t lo, uint8_t hi) { return CounterPasses(lo) + (CounterPasses(hi) - 1) * 256u; }

}  // namespace sim::programmer
