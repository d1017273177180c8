// Writes OMF absolute object files of the dialect the IDE reads, record by
// record: for test fixtures, fuzz seeds and sample programs.
//
// Each call appends one record; the writer fills in the record length (body
// plus checksum) and the checksum (the byte that makes the record's byte sum
// zero). Raw() and RawRecord() write records as given, for malformed files.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ide/image/omf_model.h"

namespace vx930 {

class OmfWriter {
public:
  struct Line {
    uint16_t address;
    uint16_t line;
    uint8_t segId = 0;
  };
  struct Symbol {
    MemorySpace space;
    uint16_t address;
    OmfTypeIndex type;
    std::string name;
    uint8_t segId = 0;
  };

  // The 0x70 record that must open the file.
  OmfWriter& Header(std::string_view name = "VX930");
  // 0x24: starts a module.
  OmfWriter& ModuleName(std::string_view name);
  // 0x10 block type 2 and 5.
  OmfWriter& ProcedureBegin(std::string_view name);
  OmfWriter& ProcedureEnd();
  // 0x10 with any other block type and its further bytes.
  OmfWriter& Scope(uint8_t blockType, const std::vector<uint8_t>& rest = {});
  // 0x06: code bytes at offset.
  OmfWriter& Content(uint16_t offset, const std::vector<uint8_t>& data, uint8_t segId = 0);
  // 0x22 definition types 3, 1 and 0.
  OmfWriter& LineNumbers(const std::vector<Line>& lines);
  OmfWriter& PublicSymbols(const std::vector<Symbol>& symbols);
  OmfWriter& LocalSymbols(const std::vector<Symbol>& symbols);
  // 0x22 with any definition type and entry bytes.
  OmfWriter& DebugItems(uint8_t defType, const std::vector<uint8_t>& entries);
  // 0x20: raw type data.
  OmfWriter& TypeRecord(const std::vector<uint8_t>& data);
  // 0x04: the module end, which the IDE skips like any record it does not know.
  OmfWriter& End(std::string_view name = "VX930");

  // A record of any type; length and checksum computed.
  OmfWriter& Record(uint8_t type, const std::vector<uint8_t>& body);
  // A record with the length field given and the bytes that follow it as they are.
  OmfWriter& RawRecord(uint8_t type, uint16_t length, const std::vector<uint8_t>& bytes);
  // Bytes as they are.
  OmfWriter& Raw(const std::vector<uint8_t>& bytes);

  const std::vector<uint8_t>& Bytes() const { return bytes_; }
  // Writes the bytes to a file; false when it cannot be written.
  bool WriteFile(const std::string& path) const;

  // The entry bytes of a symbol list as debug items carry them.
  static std::vector<uint8_t> SymbolEntries(const std::vector<Symbol>& symbols);

private:
  std::vector<uint8_t> bytes_;
};

}  // namespace vx930
