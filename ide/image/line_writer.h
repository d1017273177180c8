// A fixed buffer one listing line is formatted into: no allocation per line
// or per number. The longest line the decoder can make (three operands named
// by 255-character symbols) is far below its size; anything beyond is cut.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace vx930 {

class LineWriter {
public:
  void Clear() { size_ = 0; }
  std::string_view View() const { return std::string_view(buffer_, size_); }

  void Put(char c) {
    if (size_ < kCapacity) buffer_[size_++] = c;
  }
  void Put(std::string_view text) {
    const std::size_t n = text.size() < kCapacity - size_ ? text.size() : kCapacity - size_;
    std::memcpy(buffer_ + size_, text.data(), n);
    size_ += n;
  }
  // Upper-case hexadecimal, no prefix, at least minDigits digits.
  void Hex(uint32_t value, int minDigits) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    char digits[8];
    int n = 0;
    do {
      digits[n++] = kDigits[value & 0xF];
      value >>= 4;
    } while (value != 0 && n < 8);
    while (n < minDigits && n < 8) digits[n++] = '0';
    while (n > 0) Put(digits[--n]);
  }
  void Hex2(uint32_t value) { Hex(value, 2); }
  void Hex4(uint32_t value) { Hex(value, 4); }

private:
  static constexpr std::size_t kCapacity = 1024;
  char buffer_[kCapacity];
  std::size_t size_ = 0;
};

}  // namespace vx930
