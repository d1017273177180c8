// One hardware breakpoint of the emulator.
#pragma once

#include <cstdint>

namespace vx930 {

struct BreakPointRec {
  uint32_t address = 0;  // code address 0x0000..0xFFFF
  uint8_t enabled = 0;   // 1 = armed
  uint8_t passCount = 0; // 0..254 passes before the target stops
};

inline constexpr int BreakPointCount = 2;

}  // namespace vx930
