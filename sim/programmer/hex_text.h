// Upper-case hex numbers for the simulator's notes and fault texts.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace sim::programmer {

inline std::string Hex2(uint8_t v) {
  char b[4];
  std::snprintf(b, sizeof b, "%02X", v);
  return b;
}

inline std::string Hex6(uint32_t v) {
  char b[12];
  std::snprintf(b, sizeof b, "%06X", v);
  return b;
}

}  // namespace sim::programmer
