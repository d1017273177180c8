// The 64 KB image of the target's code memory, shared by the readers, the
// disassembler, the download and the debugger. Whoever creates one owns it;
// decoders only point at it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace vx930 {

inline constexpr std::size_t kCodeSize = 0x10000;
// 0xFF marks a byte no program was loaded into (the erased state).
using CodeImage = std::array<uint8_t, kCodeSize>;

}  // namespace vx930
