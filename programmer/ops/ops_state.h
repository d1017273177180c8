// The programmer's device, range and buffer state: what the device selection
// sets and every operation, transfer and buffer service reads. The
// application owns one beside the link's LinkState; tests make a fresh one
// each. Names are the program's own, so every layer reads alike.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "programmer/catalogue/catalogue.h"

namespace zolvek {

// Where the buffer lives: test inProgrammer first (0: PcBuffer), then
// internal (1: the programmer's internal RAM, 0: the SRAM card).
struct BufferKindFlags {
  uint32_t inProgrammer = 0;
  uint32_t internal = 0;
  bool IsPcMemory() const { return inProgrammer == 0; }
  bool IsInternal() const { return inProgrammer != 0 && internal != 0; }
  bool IsSramCard() const { return inProgrammer != 0 && internal == 0; }
};

inline constexpr uint32_t kDefaultBufferSizeKB = 1024;
inline constexpr uint32_t kInternalBufferSizeKB = 128;
inline constexpr std::size_t kEncrBufferSize = 2048;

// The serial-number record; see serial_numbers.h for its operations.
struct SerialNumberRecord {
  uint32_t enable = 0;
  uint32_t length = 8;
  uint32_t decimal = 0;
  uint32_t byteOrder = 0;
  uint32_t deviceAddress = 0;
  uint32_t bufferAddress = 0;
  std::string text = std::string(16, '0');
  uint32_t high = 0, low = 0;
  uint32_t highLimit = 0xFFFFFFFF, lowLimit = 0xFFFFFFFF;
  std::array<uint8_t, 8> bytes{};
};

// What the device selection enables: a menu item enabled has its tool-bar
// button enabled and shown; disabled, grayed and hidden.
struct CommandEnables {
  bool mapping = true;  // "&Modify Programmer Buffer Mapping"
  bool erase = true;  // "&Erase"
  bool read = true;  // "&Read"
  bool compare = true;  // "&Compare"
  bool lock = true;  // "&Lock"
  bool encryption = true;  // "e&Ncryption"
  bool eepromButton = false;  // the EEPROM tool-bar button (no menu item)
  bool config = true;  // "Con&Fig"
};

// The start and end defaults of the buffer editor's range dialogs.
enum class EditorRangeDialog { Fill, Jump, Move, ByteSwap, NibbleSwap, CalcSum, AsciiSearch, HexSearch, Print };
inline constexpr std::size_t kEditorRangeDialogs = 9;
struct EditorRangeDefaults {
  std::array<uint32_t, kEditorRangeDialogs> start{};
  std::array<uint32_t, kEditorRangeDialogs> end{};
  uint32_t Start(EditorRangeDialog d) const { return start[static_cast<std::size_t>(d)]; }
  uint32_t End(EditorRangeDialog d) const { return end[static_cast<std::size_t>(d)]; }
};

struct OpsState {
  // Device selection.
  uint32_t SelectedMfr = 0;
  std::array<uint32_t, ManufacturerCount> SelectedType{};
  // Copies made when a device is applied.
  uint32_t CurFamily = 0;
  uint32_t CurVerifyProfile = 0;
  uint32_t CurDriverId = 0;

  // Address ranges, inclusive.
  uint32_t DeviceStart = 0, DeviceEnd = 0;
  uint32_t BufferStart = 0, BufferEnd = 0;
  uint32_t FileStart = 0, FileEnd = 0xFFFF;

  uint32_t ProgrammerReady = 0;

  // The buffer.
  BufferKindFlags BufferKind;
  uint32_t BufferSizeKB = kDefaultBufferSizeKB;
  uint32_t BufferSizeBytes = kDefaultBufferSizeKB * 1024;
  uint32_t BufferChecksumValue = 0;
  // Allocated once at start-up (AllocatePcBuffer); its size never changes
  // after, whatever BufferSizeKB says later: every index is bounded by it.
  std::vector<uint8_t> PcBuffer;
  void AllocatePcBuffer() { PcBuffer.assign(static_cast<std::size_t>(BufferSizeKB) * 1024, 0); }
  // What the programmer-held buffer in use holds: the internal RAM's fixed
  // size, or the SRAM card's (BufferSizeBytes).
  uint64_t HeldBufferBytes() const {
    return BufferKind.IsInternal() ? uint64_t{kInternalBufferSizeKB} * 1024 : BufferSizeBytes;
  }

  // The operation in progress.
  uint8_t OperationBusy = 0;

  // Option words a selection resets.
  uint32_t ByteSelect = 1;
  uint32_t LockSelection = 7;
  uint32_t ProgramOptions = 3;
  uint32_t AutoSteps = 0xFFFF;
  uint16_t SelectedBlocks = 0xFFFF;
  uint16_t ValidBlocks = 0;
  uint8_t PartialBlockMode = 0;
  std::array<uint8_t, 4> ConfigBytes{0xFF, 0xFF, 0xFF, 0xFF};
  std::array<uint8_t, kEncrBufferSize> EncrBuffer{};
  std::string EncrTitle = "Encryption";
  std::array<uint32_t, 4> VoltageSettings{};
  uint8_t SerialFuse = 0;
  uint32_t ClockModeFlag = 0;
  uint32_t IdCheckEnabled = 1;
  // The device's ID codes as last read (registers 22, 31, 86, 87).
  std::array<uint8_t, 4> IdCodes{};
  SerialNumberRecord SerialNumberSettings;

  // Device selection and buffer services (device_selection.h, buffer_services.h).
  CommandEnables Enables;
  EditorRangeDefaults EditorRanges;

  // The device in use: the selected manufacturer's entry (null when the
  // indexes are out of range).
  const DeviceTypeRecord* CurrentDevice() const {
    return FindDeviceType(SelectedMfr, SelectedMfr < ManufacturerCount ? SelectedType[SelectedMfr] : 0);
  }
};

}  // namespace zolvek
