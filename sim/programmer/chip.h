// The device in the programmer's socket: what its memory and fuses do.
//
// The parameters are ours (the tests and zolvek-sim fill them), not the
// catalogue's. The rules:
//  - Memory starts erased (0xFF). Programming only clears bits: the cell
//    becomes old AND new, and the byte "took" when it reads back as new.
//  - Lock bits are numbered from 0. Lock bit 0 stops programming; any higher
//    lock bit stops reading and verifying: the device then reads as 0xFF and
//    the operations report kStatusLocked. Erase clears them.
//  - Chip erase (eraseKind not 0) sets memory, lock bits, configuration bytes
//    and the table to 0xFF / 0 / 0xFF / 0xFF; a device with eraseKind 0 is not
//    electrically erasable and refuses it.
//  - Blocks: the valid-block mask follows the erase kind and size the way the
//    host's block dialogs expect; block i is the i-th equal slice of memory
//    unless `blockStarts` lists the starts.
//  - A "weak cell" (`failAddress`) never changes when programmed.
//  - Pass-programmed devices (`passesNeeded` > 1) hold their bytes only after
//    that many programming passes.
//  - A margin verify at two supply levels sees `weakAtLowSupply` fail at the
//    low level only.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim::programmer {

// Status bytes the programmer answers at the end of an operation.
inline constexpr uint8_t kStatusOk = 0x00;
// A byte that did not take, a mismatch, a non-blank byte.
inline constexpr uint8_t kStatusFailed = 0x01;
// The device refuses to be read, verified or programmed (lock bits).
inline constexpr uint8_t kStatusLocked = 0x02;
// A block or lock-bit number the device does not have, an address past it.
inline constexpr uint8_t kStatusBadParameter = 0x03;
// The host sent 1 at a handshake.
inline constexpr uint8_t kStatusAborted = 0x04;
// Erase asked of a device that cannot do it.
inline constexpr uint8_t kStatusNotErasable = 0x06;
// An operation before any driver was downloaded.
inline constexpr uint8_t kStatusNoDriver = 0xFE;

struct ChipParams {
  std::string name = "SIM89C52";
  uint32_t size = 0x2000;
  uint8_t family = 0x01;
  uint8_t driverId = 0x01;
  std::array<uint8_t, 4> idBytes = {0x1E, 0x52, 0x06, 0xFF};
  uint8_t eraseKind = 1;  // 0: UV-erased, no electrical erase
  uint8_t lockBitCount = 3;
  uint32_t securityTableSize = 0;  // encryption table / data EEPROM bytes
  bool hasClockMode = false;
  std::vector<uint32_t> blockStarts;  // empty: equal slices
  uint32_t passesNeeded = 1;
  // A cell that holds its byte only at the higher supply: verifies read it as
  // 0xFF while the first verify level (register 99) is below `lowSupplyBelow`.
  std::optional<uint32_t> weakAtLowSupply;
  uint8_t lowSupplyBelow = 0x80;

  // Times the device takes (microseconds).
  uint32_t byteProgramUs = 100;
  uint32_t byteReadUs = 4;
  uint32_t chipEraseMs = 200;
  uint32_t blockEraseMs = 100;
  uint32_t fuseProgramMs = 10;
};

// The block mask for an erase kind and size (0 when the combination has none).
uint16_t ValidBlockMask(uint8_t eraseKind, uint32_t size);

class Chip {
public:
  explicit Chip(const ChipParams& params);

  const ChipParams& Params() const { return params_; }
  uint32_t Size() const { return params_.size; }
  bool Contains(uint32_t address) const { return address < params_.size; }

  // What the programmer reads from the device (0xFF when read-locked or outside it).
  uint8_t Read(uint32_t address) const;
  // Programs one cell; true when it reads back as `value`.
  bool Program(uint32_t address, uint8_t value);
  bool ReadLocked() const;
  bool WriteLocked() const;

  bool Erase();  // false: not erasable
  int BlockCount() const;
  // The address range of block i; false when the device has no such block.
  bool BlockRange(int block, uint32_t* first, uint32_t* last) const;
  bool EraseBlock(int block);

  uint8_t LockBits() const { return lockBits_; }
  bool ProgramLockBit(int bit);
  void SetLockByte(uint8_t value) { lockBits_ = value; }

  std::array<uint8_t, 4> Id() const { return id_; }
  void SetId(std::array<uint8_t, 4> id) { id_ = id; }

  std::array<uint8_t, 4>& Config() { return config_; }
  bool ClockMode() const { return clockMode_; }
  void SetClockMode(bool on) { clockMode_ = on; }
  std::vector<uint8_t>& Table() { return table_; }
  uint8_t SerialFuse() const { return serialFuse_; }
  void SetSerialFuse(uint8_t v) { serialFuse_ = v; }

  void SetFailAddress(std::optional<uint32_t> a) { failAddress_ = a; }
  // Raw memory, for tests.
  std::vector<uint8_t>& Memory() { return memory_; }

private:
  ChipParams params_;
  std::vector<uint8_t> memory_;
  uint8_t lockBits_ = 0;
  std::array<uint8_t, 4> id_;
  std::array<uint8_t, 4> config_ = {0xFF, 0xFF, 0xFF, 0xFF};
  bool clockMode_ = false;
  std::vector<uint8_t> table_;
  uint8_t serialFuse_ = 0;
  std::optional<uint32_t> failAddress_;
};

}  // namespace sim::programmer
