// The programmer's small sets of device settings: the configuration bytes,
// the serial programming fuse, the programming voltages, the verify levels
// of a margin verify and the encryption table (or data EEPROM), moved as
// registers ('I', 'W') or as small blocks ('X', 'Y'), and the short device
// operations that program or read them. Results as each function says; a
// framing failure leaves its status in LinkStatus.
//
// Choices where the program's own rules are silent or unsafe:
// - SetConfigRegisters on a register device reports a failure (1) when its
//   'T' or a register write got no prompt answer: the programmer then does
//   not hold what the dialog shows. The writes stop at the first failure.
// - The block count of 'X' and 'Y' for a table above 256 bytes is the
//   two-level count of its size (TwoLevelCount), so that sizes whose low
//   byte is not 0 (0x1FF ...) move every byte; for whole multiples of 256 it
//   is the plain low and high byte.
// - A table larger than the buffer given is refused (1) before anything is
//   sent.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "programmer/catalogue/catalogue.h"
#include "programmer/link/commands.h"

namespace zolvek {

// The devices whose configuration is a 3-byte block rather than registers.
bool IsBlockConfigDevice(uint32_t driverId);
// Configuration registers (95 ...) of a register device: 4 for families
// 0x06, 0x0F, 0x10, 0x1D and 0x13, else 3; reading the device's own (4 only
// for family 0x13).
int ConfigRegisterCount(uint32_t curFamily);
int DeviceConfigRegisterCount(uint32_t curFamily);
// The 'X'/'Y' header of a device's encryption table or data EEPROM, and the
// number of bytes it moves.
std::array<uint8_t, 5> EncrTableHeader(uint32_t securityTableSize, uint32_t& bytes);

// Operation codes these transfers send after 'P'.
inline constexpr uint8_t kOpReadConfig = 'O';
inline constexpr uint8_t kOpWriteConfig = 'W';
inline constexpr uint8_t kOpReadSerialFuse = 'G';
inline constexpr uint8_t kOpEnableSerial = 's';
inline constexpr uint8_t kOpDisableSerial = 'D';

// Reply waits of the configuration exchanges.
namespace reply_wait {
inline constexpr uint32_t kConfigOperation = 50;
inline constexpr uint32_t kProgramConfig = 5000;
inline constexpr uint32_t kProgramFuse = 500;
}  // namespace reply_wait

class ConfigTransfers {
public:
  explicit ConfigTransfers(Commands& commands) : commands_(commands) {}

  // 0 / 1.
  int GetConfigRegisters(const DeviceTypeRecord& device, uint32_t curFamily, std::array<uint8_t, 4>& configBytes);
  int SetConfigRegisters(const DeviceTypeRecord& device, uint32_t curFamily, const std::array<uint8_t, 4>& configBytes);
  int ReadDeviceConfig(const DeviceTypeRecord& device, uint32_t curFamily, std::array<uint8_t, 4>& configBytes);
  // The device's reply byte (0 ok), 1 on failure.
  int ProgramDeviceConfig();
  int ProgramConfigFuses(const std::array<uint8_t, 4>& configBytes);
  int EnableSerialProgramming() { return SerialProgramming(kOpEnableSerial); }
  int DisableSerialProgramming() { return SerialProgramming(kOpDisableSerial); }
  // 0 / 1; a missing fuse byte reads 0.
  int ReadSerialFuse(uint8_t& serialFuse);
  // 0 / 1; a missing register byte reads 0.
  int ReadVoltages(std::array<uint32_t, 4>& voltageSettings);
  int WriteVoltages(const std::array<uint32_t, 4>& voltageSettings);
  // Registers 99-101; LinkStatus holds the framing result of the last 'W'.
  void SetVerifyLevels(uint8_t a, uint8_t b, uint8_t c);
  // 0 / 1.
  int ReadEncrTable(const DeviceTypeRecord& device, std::span<uint8_t> encrBuffer);
  int WriteEncrTable(const DeviceTypeRecord& device, std::span<const uint8_t> encrBuffer);

private:
  int SerialProgramming(uint8_t code);
  // CheckPack, LinkStatus := 0, then 'P' code; 0 / 1.
  int StartOperation(uint8_t code);
  int ReadConfigBlock(const DeviceTypeRecord& device, std::array<uint8_t, 4>& configBytes);

  Commands& commands_;
};

}  // namespace zolvek
