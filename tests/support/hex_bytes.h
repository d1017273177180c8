// Bytes as a test prints and compares them: upper-case hex pairs with one
// blank between ("00 00 00 05 FB").
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vx930::testing {

inline std::string Hex(const std::vector<uint8_t>& bytes) {
  std::string s;
  char buf[4];
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(buf, sizeof buf, i ? " %02X" : "%02X", bytes[i]);
    s += buf;
  }
  return s;
}

}  // namespace vx930::testing
