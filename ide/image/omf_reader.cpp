// The OMF reader: records of the file into the image and the debug records.
//
// Each record is read whole into a buffer before it is looked at, so a length
// that runs past the end of the file is caught before any field is used, and
// the next record always starts where the length says, whatever the handler
// made of the body.
#include "ide/image/omf_decoder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace vx930 {
namespace {

constexpr uint8_t kHeaderRecord = 0x70;
constexpr uint8_t kContentRecord = 0x06;
constexpr uint8_t kScopeRecord = 0x10;
constexpr uint8_t kTypeRecord = 0x20;
constexpr uint8_t kDebugItemsRecord = 0x22;
constexpr uint8_t kModuleNameRecord = 0x24;

constexpr uint8_t kProcedureBegin = 2;
constexpr uint8_t kProcedureEnd = 5;

constexpr uint8_t kLocalSymbols = 0;
constexpr uint8_t kPublicSymbols = 1;
constexpr uint8_t kLineNumbers = 3;

constexpr std::size_t kLineEntrySize = 5;
constexpr std::size_t kSymbolEntryFixed = 6;  // everything but the name

// The compiler's placeholder local; it is no variable of the program.
constexpr std::string_view kIceDummy = "_ICE_DUMMY_";

// Little-endian reads from a body whose size the caller has already checked.
uint16_t U16(std::span<const uint8_t> b, std::size_t at) { return static_cast<uint16_t>(b[at] | (b[at + 1] << 8)); }

// Names are C strings in a counted field: a NUL inside ends the name.
std::string Name(std::span<const uint8_t> field) {
  std::string s(field.begin(), field.end());
  if (auto nul = s.find('\0'); nul != std::string::npos) s.resize(nul);
  return s;
}

// Reads exactly n bytes; false when the stream ends first.
bool ReadExactly(std::istream& in, uint8_t* to, std::size_t n) {
  if (n == 0) return true;
  in.read(reinterpret_cast<char*>(to), static_cast<std::streamsize>(n));
  return static_cast<std::size_t>(in.gcount()) == n;
}

// Walks the whole symbol entries of a debug-items record; a trailing entry
// cut short by the record's end is ignored.
template <typename Sink>
void ForEachSymbol(std::span<const uint8_t> entries, const OmfTypeRecord* types, Sink sink) {
  while (entries.size() >= kSymbolEntryFixed) {
    const std::size_t nameLen = entries[5];
    if (entries.size() < kSymbolEntryFixed + nameLen) break;
    OmfSymbol s;
    s.SegId = entries[0];
    s.Space = static_cast<MemorySpace>(entries[1]);
    s.Address = U16(entries, 2);
    s.TypeIndex = static_cast<OmfTypeIndex>(entries[4]);
    s.NameLen = static_cast<uint8_t>(nameLen);
    s.Name = Name(entries.subspan(kSymbolEntryFixed, nameLen));
    s.Types = types;
    sink(std::move(s));
    entries = entries.subspan(kSymbolEntryFixed + nameLen);
  }
}

// Bytes a record takes past its length. A line-number record whose entry
// bytes are no whole number of entries is read one entry further, then its
// checksum is skipped; that entry's rest and the checksum lie past the length,
// and the next record starts after them.
std::size_t BytesPastLength(int type, std::span<const uint8_t> body) {
  if (type != kDebugItemsRecord || body.size() < 2 || body[0] != kLineNumbers) return 0;
  const std::size_t part = (body.size() - 2) % kLineEntrySize;
  return part == 0 ? 0 : kLineEntrySize - part;
}

}  // namespace

bool DecodeOmf::ReadOmf(std::istream& in) {
  int first = in.get();
  if (first != kHeaderRecord) return false;

  std::vector<uint8_t> body;
  // The first type byte is already in hand, so the stream needs no rewind.
  for (int type = first; type != std::char_traits<char>::eof(); type = in.get()) {
    std::array<uint8_t, 2> len{};
    if (!ReadExactly(in, len.data(), len.size())) return false;
    body.resize(static_cast<std::size_t>(len[0] | (len[1] << 8)));
    if (!ReadExactly(in, body.data(), body.size())) return false;
    // The spare entry is never consulted: its bytes are only passed over.
    std::array<uint8_t, kLineEntrySize> spare{};
    if (!ReadExactly(in, spare.data(), BytesPastLength(type, body))) return false;

    bool ok = true;
    switch (type) {
      case kContentRecord: ok = ReadContent(body); break;
      case kScopeRecord: ok = ReadScope(body); break;
      case kDebugItemsRecord: ok = ReadDebugItems(body); break;
      case kModuleNameRecord: ok = ReadModuleName(body); break;
      case kTypeRecord: ok = ReadTypeRecord(body); break;
      default: break;  // the header and unknown records: skipped by their length
    }
    if (!ok) return false;
  }
  return Validate();
}

bool DecodeOmf::ReadContent(Bytes body) {
  // segment id (1), offset (2), at least one data byte, checksum (1)
  if (body.size() < 5) return false;
  const uint32_t offset = U16(body, 1);
  const Bytes data = body.subspan(3, body.size() - 4);
  // Data past the top of code memory has nowhere to go and is dropped.
  const std::size_t fits = std::min<std::size_t>(data.size(), kCodeSize - offset);
  std::memcpy(image_->data() + offset, data.data(), fits);
  if (insideProc_) ExtendProcRange(offset, offset + static_cast<uint32_t>(fits) - 1);
  return true;
}

bool DecodeOmf::ReadScope(Bytes body) {
  // block type (1), checksum (1)
  if (body.size() < 2) return false;
  switch (body[0]) {
    case kProcedureBegin: {
      // block type, name length, name, checksum
      const std::size_t nameLen = body[1];
      if (body.size() < 3 + nameLen) return false;
      insideProc_ = true;
      AddProcedure(Name(body.subspan(2, nameLen)));
      return true;
    }
    case kProcedureEnd: insideProc_ = false; return true;
    default: return true;
  }
}

bool DecodeOmf::ReadDebugItems(Bytes body) {
  // definition type (1), checksum (1)
  if (body.size() < 2) return false;
  const Bytes entries = body.subspan(1, body.size() - 2);
  switch (body[0]) {
    case kLineNumbers: ReadLineNumbers(entries); break;
    case kPublicSymbols: ReadPublicSymbols(entries); break;
    case kLocalSymbols: ReadLocalSymbols(entries); break;
    default: break;
  }
  return true;
}

bool DecodeOmf::ReadModuleName(Bytes body) {
  // three bytes, name length, name, checksum
  if (body.size() < 5) return false;
  const std::size_t nameLen = body[3];
  if (body.size() < 5 + nameLen) return false;
  AddModule(Name(body.subspan(4, nameLen)));
  return true;
}

bool DecodeOmf::ReadTypeRecord(Bytes body) {
  // An empty type record is allowed and holds nothing.
  if (body.empty()) return true;
  OmfTypeRecord& t = typeRecords_.emplace_back();
  t.Len = static_cast<uint16_t>(body.size() - 1);
  t.Data.assign(body.begin(), body.end() - 1);
  if (typeTail_) typeTail_->Next = &t;
  typeTail_ = &t;
  return true;
}

void DecodeOmf::ReadLineNumbers(Bytes entries) {
  // Line numbers before any procedure belong to nothing.
  if (!current_) return;
  OmfLineBlock& block = lineBlocks_.emplace_back();
  block.Count = static_cast<uint32_t>(entries.size() / kLineEntrySize);
  block.Entries.reserve(block.Count);
  for (uint32_t i = 0; i < block.Count; ++i) {
    const Bytes e = entries.subspan(i * kLineEntrySize, kLineEntrySize);
    block.Entries.push_back(OmfLineEntry{U16(e, 3), U16(e, 1)});
  }
  if (!current_->Lines)
    current_->Lines = &block;
  else
    lineTail_->Next = &block;
  lineTail_ = &block;
}

void DecodeOmf::ReadPublicSymbols(Bytes entries) {
  ForEachSymbol(entries, typeTail_, [this](OmfSymbol&& s) {
    OmfSymbol& kept = symbols_.emplace_back(std::move(s));
    if (publicTail_)
      publicTail_->Next = &kept;
    else
      publicHead_ = &kept;
    publicTail_ = &kept;
  });
}

void DecodeOmf::ReadLocalSymbols(Bytes entries) {
  ForEachSymbol(entries, typeTail_, [this](OmfSymbol&& s) {
    if (!current_ || s.Name == kIceDummy) return;
    OmfSymbol& kept = symbols_.emplace_back(std::move(s));
    if (!current_->Locals)
      current_->Locals = &kept;
    else
      localTail_->Next = &kept;
    localTail_ = &kept;
  });
}

}  // namespace vx930
