// Intel HEX text for the tests that open a program: data records of up to 16
// bytes each, and a whole file with its end record.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vx930::testing {

inline std::string IntelHex(uint16_t address, const std::vector<uint8_t>& data) {
  std::string out;
  char buf[16];
  for (size_t at = 0; at < data.size(); at += 16) {
    const size_t n = std::min<size_t>(16, data.size() - at);
    const uint16_t a = static_cast<uint16_t>(address + at);
    uint8_t sum = static_cast<uint8_t>(n + (a >> 8) + (a & 0xFF));
    std::snprintf(buf, sizeof buf, ":%02X%04X00", static_cast<unsigned>(n), a);
    out += buf;
    for (size_t k = 0; k < n; ++k) {
      std::snprintf(buf, sizeof buf, "%02X", data[at + k]);
      out += buf;
      sum = static_cast<uint8_t>(sum + data[at + k]);
    }
    std::snprintf(buf, sizeof buf, "%02X\n", static_cast<uint8_t>(0x100 - sum) & 0xFF);
    out += buf;
  }
  return out;
}

inline std::string HexFile(const std::string& records) { return records + ":00000001FF\n"; }

}  // namespace vx930::testing
