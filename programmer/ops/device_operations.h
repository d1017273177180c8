// The short operations that change or inspect a device without moving buffer
// data: chip and block erase with the block masks, lock bits and their
// read-back, the ID codes and the ID check, the clock mode and the
// programming of the encryption table or EEPROM data. Each is one operate
// exchange: the code, for most a pause of 60 ms and one parameter byte, and
// one status byte awaited with a wait fitted to the operation.
//
// Results: 0 success; otherwise the programmer's status byte, or 1 when no
// reply came or the command could not be sent. None reads the programmer's
// error address.
//
// Choices where the program's own rules are silent, and faults mended:
// - ReadIdCodes fails when one of the four ID registers does not answer (the
//   byte keeps its old value and the reading stops), so CheckIdCodes never
//   passes on codes left from an earlier device.
// - ReadLockBits tells whether the programmer answered (LockBitsReading):
//   the bits stay 0 without a reply, as callers expect, but the reading is
//   marked unanswered so the dialog can say so rather than show "unlocked".
// - ProgramLockBit refuses a bit number above 5 before anything is sent.
// - Every dispatcher refuses an inverted Target Zone (the engine's frame).
#pragma once

#include <cstdint>

#include "programmer/ops/operation_engine.h"

namespace zolvek {

namespace device_wait {
inline constexpr uint32_t kErase = 83656;
inline constexpr uint32_t kEraseFull = 20914;
inline constexpr uint32_t kLockFixed = 100;
inline constexpr uint32_t kLockNumbered = 65535;
inline constexpr uint32_t kLockByte = 100;
inline constexpr uint32_t kLockRead = 100;
inline constexpr uint32_t kLockReadSecond = 50;
inline constexpr uint32_t kIdRead = 50;
inline constexpr uint32_t kClockMode = 65536;
inline constexpr uint32_t kEncr = 4095;
}  // namespace device_wait

// The block byte 'A' erases the whole chip.
inline constexpr uint8_t kEraseWholeChip = 'A';
inline constexpr uint8_t kHighestLockBit = 5;

// SetBlockMask: ValidBlocks by erase kind and size; SelectedBlocks masked
// with it. Combinations without a mask leave both unchanged.
void SetBlockMask(OpsState& ops, const DeviceTypeRecord& device);
// The byte that names block i (0 to 15) to the programmer for a family.
uint8_t BlockByte(uint32_t family, uint32_t block);

// Erase.
int EraseDeviceOp(OperationEngine& e);
int EraseDevice(OperationEngine& e, CounterField* dc);
int EraseBlockOp(OperationEngine& e, uint8_t blockByte);
int EraseBlock(OperationEngine& e, CounterField* dc, uint8_t blockByte);
int EraseDeviceFull(OperationEngine& e);

// Lock bits.
int LockBit1Op(OperationEngine& e);
int LockBit2Op(OperationEngine& e);
int LockBit3Op(OperationEngine& e);
int ProgramLockBit1(OperationEngine& e);
int ProgramLockBit2(OperationEngine& e);
int ProgramLockBit3(OperationEngine& e);
int LockBitOp(OperationEngine& e, uint8_t n);
int ProgramLockBit(OperationEngine& e, CounterField* dc, uint8_t n);
int ProgramLockByte(OperationEngine& e, uint8_t value);
struct LockBitsReading {
  uint8_t bits = 0;  // the first reply byte, 0 without a reply
  bool answered = false;
};
LockBitsReading ReadLockBits(OperationEngine& e);

// ID codes: 0 read, 1 failed (see above).
int ReadIdCodes(OperationEngine& e);
// 0 match, 1 mismatch or failure.
int CompareIdCodes(OperationEngine& e);
int CheckIdCodes(OperationEngine& e, CounterField* dc);
// The match rule alone, on codes already read.
bool IdCodesMatch(const DeviceTypeRecord& device, const std::array<uint8_t, 4>& codes);

// Clock mode. ProgramClockMode returns the raw reply (0x100 + byte, or 0;
// 1 when the frame stopped first); VerifyClockMode 0 when it is set.
uint16_t ProgramClockMode(OperationEngine& e);
int VerifyClockMode(OperationEngine& e);

// Encryption table or EEPROM data.
int ProgramEncrOp(OperationEngine& e);
int ProgramDeviceEncr(OperationEngine& e);

}  // namespace zolvek
