// The debug records of an OMF program: modules, procedures, line tables,
// symbols and raw type records, as plain linked records.
//
// Every record is owned by the DecodeOmf that read it; the links below are
// plain pointers into that object and die with it. Records are read-only once
// DecodeOmf::ReadOmf has returned, so the links are pointers to const.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vx930 {

// Memory space of a symbol, as the file gives it. A symbol may carry any byte
// here; values above NUMBER are kept as they are.
enum class MemorySpace : uint8_t {
  CODE = 0,
  XDATA = 1,
  DATA = 2,
  IDATA = 3,
  BIT = 4,
  NUMBER = 5,  // a constant, not stored in memory
};

// Type of a symbol, as the file gives it; unknown values are kept as they are.
// Integers are stored big-endian in target memory.
enum class OmfTypeIndex : uint8_t {
  UnTyped = 0,
  tiBit = 1,  // 1 bit
  tiChar = 2,  // 1 byte
  tiUChar = 3,  // 1 byte
  tiInt = 4,  // 2 bytes
  tiUInt = 5,  // 2 bytes
  tiLong = 6,  // 4 bytes
  tiULong = 7,  // 4 bytes
  tiFlatLitEdn = 8,  // 4-byte float, little-endian
  tiDouble = 9,  // handled as the 4-byte little-endian float
  tiCodeLabel = 10,
  tiVoid = 11,
  tiFloatBigEdn = 12,  // 4-byte float, big-endian
  tiOverFlow = 31,
};

struct OmfLineEntry {
  uint32_t Line = 0;  // source line number, 1-based as in the file
  uint32_t Address = 0;  // code address where that line's code starts
};

// One line-number debug record. Entries keep file order and always hold
// exactly Count entries.
struct OmfLineBlock {
  uint32_t Count = 0;
  std::vector<OmfLineEntry> Entries;
  const OmfLineBlock* Next = nullptr;
};

// One type record; the data is kept unparsed and nothing interprets it.
struct OmfTypeRecord {
  uint16_t Len = 0;
  std::vector<uint8_t> Data;  // Len bytes
  const OmfTypeRecord* Next = nullptr;
};

// One public or local symbol.
struct OmfSymbol {
  uint8_t SegId = 0;  // kept, not used
  MemorySpace Space = MemorySpace::CODE;
  uint16_t Address = 0;  // for BIT: the bit address
  OmfTypeIndex TypeIndex = OmfTypeIndex::UnTyped;
  uint8_t NameLen = 0;  // the name length the file gives
  std::string Name;  // the name, up to its first NUL if the file has one
  const OmfTypeRecord* Types = nullptr;  // last type record read before it; kept, never used
  const OmfSymbol* Next = nullptr;
};

struct OmfProcedure {
  std::string Name;
  // The range of the procedure's content, HiAddr inclusive. 0 means "not set";
  // a procedure whose first content starts at 0 therefore takes its LoAddr
  // from its next content record.
  uint32_t LoAddr = 0;
  uint32_t HiAddr = 0;
  const OmfLineBlock* Lines = nullptr;
  const OmfSymbol* Locals = nullptr;
  const OmfProcedure* Next = nullptr;  // next procedure of the same module
};

struct OmfModule {
  std::string Name;  // also the name of the module's source file
  const OmfProcedure* Procs = nullptr;
  const OmfModule* Next = nullptr;  // next module in file order
};

}  // namespace vx930
