// One hardware breakpoint as the debugger keeps it and the link sends it.
#pragma once

#include <cstdint>

namespace vx930 {

struct BreakPointRec {
  uint32_t address = 0;  // code address 0x0000..0xFFFF
  uint8_t enabled = 0;  // 1 armed, 0 not
  uint8_t passCount = 0;  // 0..254 passes before the stop; sent as passCount + 1
};

// The emulator has two hardware breakpoints.
inline constexpr int BreakPointCount = 2;

}  // namespace vx930
