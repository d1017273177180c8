// Oracles the image readers' fuzz targets share: a plain second reading of a
// ".SYM" file, and the checks of a decoder's names and listing against it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ide/image/hex_decoder.h"

namespace vx930::fuzz {

inline void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "fuzz oracle: %s\n", what);
  std::abort();
}

// --------------------------------------------------- second reading: .SYM

struct SymExpect {
  std::vector<std::pair<int32_t, std::string>> names;  // file order
  std::vector<std::string> messages;
};

inline SymExpect ReadSym(const uint8_t* s, std::size_t n) {
  SymExpect e;
  auto formatError = [&] { e.messages.push_back("Symbol File Format Error!!"); };
  if (n == 0 || s[0] != 0xFE) {
    formatError();
    return e;
  }
  std::size_t at = 1;
  for (;;) {
    if (at >= n) return formatError(), e;
    const std::size_t header = s[at];
    at += 1 + header;
    if (at + 3 > n) return formatError(), e;
    const std::size_t length = (std::size_t{s[at]} << 16) | (std::size_t{s[at + 1]} << 8) | s[at + 2];
    at += 3;
    if (at + length > n) return formatError(), e;
    const uint8_t* body = s + at;
    if (length == 0 || body[0] > 4) return formatError(), e;
    const std::size_t width = body[0];
    std::size_t p = 1;
    while (p + 1 < length) {
      const std::size_t nameLength = body[p];
      if (p + 1 + nameLength + width > length) return formatError(), e;
      std::string name;
      for (std::size_t i = 0; i < nameLength; ++i) {
        const uint8_t c = body[p + 1 + i];
        name.push_back(c < 0x20 || c == 0x7F ? '?' : static_cast<char>(c));
      }
      p += 1 + nameLength;
      uint64_t address = 0;
      for (std::size_t k = 0; k < width; ++k) address += uint64_t{body[p + k]} << (8 * k);
      p += width;
      if (address > 0xFFFF) {
        e.messages.push_back("Address out of range");
        break;
      }
      e.names.emplace_back(static_cast<int32_t>(address), name);
    }
    at += length;
    if (at >= n || s[at] == 0xFF) return e;
  }
}

// Symbols and Labels together hold the file's names: per address the label
// (the first name there), then the symbols left, in file order.
inline void CheckNames(const vx930::CDecodeHex& d, const SymExpect& sym) {
  std::map<int32_t, std::vector<std::string>> expected;
  for (const auto& [a, name] : sym.names) expected[a].push_back(name);
  std::map<int32_t, std::vector<std::string>> read;
  for (const auto& [a, name] : d.Labels()) {
    Check(d.Labels().count(a) == 1, "two labels at one address");
    read[a].push_back(name);
  }
  for (const auto& [a, name] : d.Symbols()) read[a].push_back(name);
  Check(read == expected, "symbols and labels differ from the symbol file");
}

// ------------------------------------------------------------ the listing

inline void CheckLine(std::string_view line, int32_t a) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  Check(line.find('\n') == std::string_view::npos, "a listing line holds a line break");
  const char address[4] = {kDigits[(a >> 12) & 15], kDigits[(a >> 8) & 15], kDigits[(a >> 4) & 15], kDigits[a & 15]};
  Check(line.size() >= 4 && std::equal(address, address + 4, line.begin()),
        "a listing line does not start with its address");
}

inline void CheckListing(const vx930::CDecodeHex& d) {
  const vx930::StringList& listing = *d.Listing();
  const std::vector<int32_t>& map = d.LineMap();
  Check(map.size() == listing.size() && d.GetLineCount() == listing.size(), "line map and listing differ in size");
  int32_t previous = -1;
  for (std::size_t line = 0; line < map.size(); ++line) {
    if (map[line] < 0) {
      // A label line names the instruction below it.
      Check(line + 1 < map.size() && map[line + 1] >= 0, "a label line without its instruction");
      const auto label = d.Labels().find(map[line + 1]);
      Check(label != d.Labels().end() && listing[line] == label->second + ":", "a label line differs");
      continue;
    }
    Check(map[line] > previous && d.StartMap()[static_cast<std::size_t>(map[line])] == 1, "line map out of order");
    previous = map[line];
    CheckLine(listing[line], map[line]);
    if (d.Labels().count(map[line]) != 0)
      Check(line > 0 && map[line - 1] == -1, "a label at an instruction start has no label line");
  }
  for (int32_t a = 0; a < 0x10000; ++a) {
    const int32_t line = d.AddressToLine(a);
    Check(line >= 0 && static_cast<std::size_t>(line) < map.size(), "an address maps past the listing");
    const int32_t shown = d.LineToAddress(line);
    Check(shown >= 0 && shown <= a && a - shown <= 2, "an address maps to a line of another instruction");
  }
}

}  // namespace vx930::fuzz
