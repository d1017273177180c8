// The programmer's device catalogue: 32 chip makers and the 385 device types
// under them, read-only and compiled in. Every device-dependent decision of the
// programmer reads a `DeviceTypeRecord` from here.
//
// The rows live in devices.table (one device a line) and are turned into
// constant C++ at build time by gen_catalogue.py; README.md beside them lists
// the rules the rows keep. Manufacturer and type indexes are stored in settings
// and job files, so their order never changes.
//
// Choices made here:
// - Lookups by index check the bounds and give nullptr / an empty result
//   instead of reading past a table, because the indexes come from files.
// - `ConverterNoticeText` ignores mask bits without a `ConverterList` line
//   (29 to 31): reading past the list would show garbage.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace zolvek {

// The programming-algorithm family of a device (44 codes in the catalogue).
using AlgorithmFamily = std::uint32_t;

// One catalogue row, 18 fields in this order.
struct DeviceTypeRecord {
  const char* name;  // unique within its manufacturer
  std::uint32_t size;  // bytes of program memory
  AlgorithmFamily family;
  std::uint32_t lockStatusReadable;  // 1: F7 opens the lock-bit status dialog
  std::uint32_t verifyVoltageProfile;  // 0 verify once, 1-4 a row of VerifyVoltageTable
  std::uint32_t lockKind;  // 0 none, 1-3 lock bits, above 3 the multi-lock-bit dialog
  std::uint32_t configKind;  // 0 no configuration bytes, else the option set
  std::uint32_t securityTableSize;  // encryption table bytes (data EEPROM for families 0x06, 0x10, 0x1D)
  std::uint32_t eraseKind;  // 0 not erasable, 1 chip erase, 2-11 block layouts
  const char* driverName;  // resource "BIN" + driverName, type "BINTYPE"
  const char* adaptorText;  // "None" or the socket converter the device needs
  std::uint32_t driverId;  // shared by three pairs/triples of names: compare names too
  std::uint32_t idByteCount;
  std::uint32_t wordWide;  // 0 in every row
  std::uint32_t bufferKind;  // 1 internal buffer, 0 larger than the internal buffer
  std::uint32_t idCheck;
  std::array<std::uint8_t, 4> idBytes;  // first code first; bytes past idByteCount carry no meaning
  std::uint32_t converterMask;  // bit i: line i of ConverterList applies
};

inline constexpr std::uint32_t ManufacturerCount = 32;

// The four parallel pieces of the catalogue.
struct MfrTypeTableData {
  std::uint32_t manufacturerCount;
  const char* const* names;  // manufacturerCount names in index order
  const std::uint32_t* typeCounts;  // types under each manufacturer
  const DeviceTypeRecord* const* types;  // each manufacturer's rows in type-index order
};

extern const MfrTypeTableData MfrTypeTable;

// Five rows of six level bytes indexed by verifyVoltageProfile: bytes 0, 2, 4
// are written before the VDDmax pass, bytes 1, 3, 5 before the VDDmin pass.
// Row 0 is never read.
inline constexpr std::size_t VerifyVoltageRows = 5;
extern const std::array<std::array<std::uint8_t, 6>, VerifyVoltageRows> VerifyVoltageTable;

// 29 lines "package --> converter model\n", line i in slot i of 50 bytes.
inline constexpr std::size_t ConverterLineCount = 29;
inline constexpr std::size_t ConverterSlotSize = 50;
extern const std::array<const char*, ConverterLineCount> ConverterList;

inline constexpr const char* NoConverterText = "No converter is needed.";

bool IsValidManufacturer(std::uint32_t mfr);
bool IsValidType(std::uint32_t mfr, std::uint32_t type);
// nullptr when the index is out of range.
const char* ManufacturerName(std::uint32_t mfr);
// 0 for an invalid manufacturer.
std::uint32_t TypeCount(std::uint32_t mfr);
// nullptr unless both indexes are valid.
const DeviceTypeRecord* FindDeviceType(std::uint32_t mfr, std::uint32_t type);

// The lines selected by `mask`, concatenated in bit order ("" for 0).
std::string ConverterText(std::uint32_t mask);
// What the converter list command shows: "No converter is needed." for 0,
// otherwise ConverterText.
std::string ConverterNoticeText(std::uint32_t mask);

}  // namespace zolvek
