// Names the disassembler prints for SFR byte and bit addresses. Each stored
// name ends with one blank; the name is the text before it.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace vx930 {

struct NameRow {
  int32_t address;
  const char* name;
};

extern const std::array<NameRow, 29> DirNameTable;
extern const std::array<NameRow, 96> BitNameTable;

// The name of the SFR or bit at the address without its closing blank, or an
// empty view when the table has no row for it.
std::string_view DirName(uint8_t address);
std::string_view BitName(uint8_t address);

}  // namespace vx930
