#include "tests/ide/image/omf_writer.h"

#include <fstream>
#include <stdexcept>

namespace vx930 {
namespace {

void PutName(std::vector<uint8_t>& to, std::string_view name) {
  if (name.size() > 255) throw std::invalid_argument("OMF names hold at most 255 characters");
  to.push_back(static_cast<uint8_t>(name.size()));
  to.insert(to.end(), name.begin(), name.end());
}

void Put16(std::vector<uint8_t>& to, uint16_t v) {
  to.push_back(static_cast<uint8_t>(v & 0xFF));
  to.push_back(static_cast<uint8_t>(v >> 8));
}

}  // namespace

OmfWriter& OmfWriter::Header(std::string_view name) {
  std::vector<uint8_t> body;
  PutName(body, name);
  return Record(0x70, body);
}

OmfWriter& OmfWriter::ModuleName(std::string_view name) {
  std::vector<uint8_t> body{0, 0, 0};
  PutName(body, name);
  return Record(0x24, body);
}

OmfWriter& OmfWriter::ProcedureBegin(std::string_view name) {
  std::vector<uint8_t> body{2};
  PutName(body, name);
  return Record(0x10, body);
}

OmfWriter& OmfWriter::ProcedureEnd() { return Scope(5); }

OmfWriter& OmfWriter::Scope(uint8_t blockType, const std::vector<uint8_t>& rest) {
  std::vector<uint8_t> body{blockType};
  body.insert(body.end(), rest.begin(), rest.end());
  return Record(0x10, body);
}

OmfWriter& OmfWriter::Content(uint16_t offset, const std::vector<uint8_t>& data, uint8_t segId) {
  std::vector<uint8_t> body{segId};
  Put16(body, offset);
  body.insert(body.end(), data.begin(), data.end());
  return Record(0x06, body);
}

OmfWriter& OmfWriter::LineNumbers(const std::vector<Line>& lines) {
  std::vector<uint8_t> entries;
  for (const Line& l : lines) {
    entries.push_back(l.segId);
    Put16(entries, l.address);
    Put16(entries, l.line);
  }
  return DebugItems(3, entries);
}

std::vector<uint8_t> OmfWriter::SymbolEntries(const std::vector<Symbol>& symbols) {
  std::vector<uint8_t> entries;
  for (const Symbol& s : symbols) {
    entries.push_back(s.segId);
    entries.push_back(static_cast<uint8_t>(s.space));
    Put16(entries, s.address);
    entries.push_back(static_cast<uint8_t>(s.type));
    PutName(entries, s.name);
  }
  return entries;
}

OmfWriter& OmfWriter::PublicSymbols(const std::vector<Symbol>& symbols) {
  return DebugItems(1, SymbolEntries(symbols));
}

OmfWriter& OmfWriter::LocalSymbols(const std::vector<Symbol>& symbols) { return DebugItems(0, SymbolEntries(symbols)); }

OmfWriter& OmfWriter::DebugItems(uint8_t defType, const std::vector<uint8_t>& entries) {
  std::vector<uint8_t> body{defType};
  body.insert(body.end(), entries.begin(), entries.end());
  return Record(0x22, body);
}

OmfWriter& OmfWriter::TypeRecord(const std::vector<uint8_t>& data) { return Record(0x20, data); }

OmfWriter& OmfWriter::End(std::string_view name) {
  std::vector<uint8_t> body;
  PutName(body, name);
  body.insert(body.end(), {0, 0, 0, 0});  // unused, register mask, unused
  return Record(0x04, body);
}

OmfWriter& OmfWriter::Record(uint8_t type, const std::vector<uint8_t>& body) {
  if (body.size() > 0xFFFE) throw std::invalid_argument("OMF record body too long");
  const auto length = static_cast<uint16_t>(body.size() + 1);
  const std::size_t start = bytes_.size();
  bytes_.push_back(type);
  Put16(bytes_, length);
  bytes_.insert(bytes_.end(), body.begin(), body.end());
  uint8_t sum = 0;
  for (std::size_t i = start; i < bytes_.size(); ++i) sum = static_cast<uint8_t>(sum + bytes_[i]);
  bytes_.push_back(static_cast<uint8_t>(-sum));
  return *this;
}

OmfWriter& OmfWriter::RawRecord(uint8_t type, uint16_t length, const std::vector<uint8_t>& bytes) {
  bytes_.push_back(type);
  Put16(bytes_, length);
  return Raw(bytes);
}

OmfWriter& OmfWriter::Raw(const std::vector<uint8_t>& bytes) {
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  return *this;
}

bool OmfWriter::WriteFile(const std::string& path) const {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes_.data()), static_cast<std::streamsize>(bytes_.size()));
  out.close();
  return static_cast<bool>(out);
}

}  // namespace vx930
