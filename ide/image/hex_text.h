// Upper-case hexadecimal without a prefix, appended in place so that building
// the 64 K-line listing allocates nothing per number.
#pragma once

#include <cstdint>
#include <string>

namespace vx930::hextext {

// value with at least minDigits digits, zero-padded; longer values in full.
inline void Append(std::string& out, uint32_t value, int minDigits) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  char buf[8];
  int n = 0;
  do {
    buf[n++] = kDigits[value & 0xF];
    value >>= 4;
  } while (value != 0 && n < 8);
  while (n < minDigits && n < 8) buf[n++] = '0';
  while (n > 0) out.push_back(buf[--n]);
}

inline void Hex2(std::string& out, uint32_t value) { Append(out, value, 2); }
inline void Hex4(std::string& out, uint32_t value) { Append(out, value, 4); }

}  // namespace vx930::hextext
