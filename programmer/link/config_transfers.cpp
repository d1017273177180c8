#include "programmer/link/config_transfers.h"

#include <algorithm>
#include <vector>

#include "platform/messages.h"
#include "programmer/link/connection.h"
#include "programmer/link/count_encoding.h"

namespace zolvek {

namespace {

std::array<uint8_t, 5> ConfigBlockHeader(const DeviceTypeRecord& device) {
  if (device.family == 5) return {0, 0x00, 0xFD, 3, 1};
  return {0, 0xF8, 0xFF, 3, 1};
}

void ShowTableError(const char* caption) {
  platform::Messages().Show({"ERROR", caption, platform::Buttons::Ok, platform::Icon::Error});
}

}  // namespace

bool IsBlockConfigDevice(uint32_t driverId) {
  static constexpr uint32_t kIds[] = {4, 7, 19, 25, 26, 27, 34, 39, 42, 52, 125, 139, 219};
  return std::find(std::begin(kIds), std::end(kIds), driverId) != std::end(kIds);
}

int ConfigRegisterCount(uint32_t curFamily) {
  switch (curFamily) {
    case 0x06:
    case 0x0F:
    case 0x10:
    case 0x1D:
    case 0x13: return 4;
    default: return 3;
  }
}

int DeviceConfigRegisterCount(uint32_t curFamily) { return curFamily == 0x13 ? 4 : 3; }

std::array<uint8_t, 5> EncrTableHeader(uint32_t securityTableSize, uint32_t& bytes) {
  if (securityTableSize > 256) {
    bytes = securityTableSize;
    const auto count = TwoLevelCount(securityTableSize);
    return {1, 0x00, 0x00, count[0], count[1]};
  }
  bytes = 256;
  return {1, 0x00, 0xFF, 0, 1};
}

int ConfigTransfers::ReadConfigBlock(const DeviceTypeRecord& device, std::array<uint8_t, 4>& configBytes) {
  LinkState& st = commands_.State();
  st.LinkStatus = commands_.GetBlock(ConfigBlockHeader(device));
  if (st.LinkStatus != kStatusOk) return 1;
  uint8_t bytes[3] = {};
  if (commands_.ReadThenAnswer(bytes, 3, reply_wait::kBlockByte, false) != 0) return 1;
  std::copy(bytes, bytes + 3, configBytes.begin());
  return 0;
}

int ConfigTransfers::GetConfigRegisters(const DeviceTypeRecord& device, uint32_t curFamily,
                                        std::array<uint8_t, 4>& configBytes) {
  if (IsBlockConfigDevice(device.driverId)) return ReadConfigBlock(device, configBytes);
  LinkState& st = commands_.State();
  const int n = ConfigRegisterCount(curFamily);
  for (int i = 0; i < n; ++i) {
    uint16_t reply = 0;
    st.LinkStatus = commands_.GetRegister(reg::kConfigBytes[i], reply);
    if (st.LinkStatus != kStatusOk) return 1;
    if (!(reply & 0x100)) return 1;
    configBytes[i] = static_cast<uint8_t>(reply);
  }
  return 0;
}

int ConfigTransfers::SetConfigRegisters(const DeviceTypeRecord& device, uint32_t curFamily,
                                        const std::array<uint8_t, 4>& configBytes) {
  LinkState& st = commands_.State();
  if (IsBlockConfigDevice(device.driverId)) {
    const auto header = ConfigBlockHeader(device);
    st.LinkStatus = commands_.SetBlock(header);
    if (st.LinkStatus != kStatusOk) return 1;
    return commands_.WriteBytes(configBytes.data(), 3, false) != 0 ? 1 : 0;
  }
  st.LinkStatus = commands_.Mode(kModeRegisterRun);
  if (st.LinkStatus != kStatusOk) return 1;
  const int n = ConfigRegisterCount(curFamily);
  for (int i = 0; i < n; ++i) {
    const int status = commands_.SetRegister(reg::kConfigBytes[i], configBytes[i]);
    if (status != kStatusOk) {
      st.LinkStatus = status;
      return 1;
    }
  }
  return 0;
}

int ConfigTransfers::StartOperation(uint8_t code) {
  LinkState& st = commands_.State();
  if (CheckPack(commands_) != 0) return 1;
  st.LinkStatus = kStatusOk;
  st.LinkStatus = commands_.Operate(code);
  return st.LinkStatus != kStatusOk ? 1 : 0;
}

int ConfigTransfers::ReadDeviceConfig(const DeviceTypeRecord& device, uint32_t curFamily,
                                      std::array<uint8_t, 4>& configBytes) {
  LinkState& st = commands_.State();
  if (IsBlockConfigDevice(device.driverId)) {
    if (StartOperation(kOpReadConfig) != 0) return 1;
    if (!(commands_.Reply(reply_wait::kConfigOperation) & 0x100)) return 1;
    return ReadConfigBlock(device, configBytes);
  }
  st.LinkStatus = commands_.Operate(kOpReadConfig);
  if (st.LinkStatus != kStatusOk) return 1;
  commands_.Reply(reply_wait::kConfigOperation);  // its value is not looked at
  const int n = DeviceConfigRegisterCount(curFamily);
  for (int i = 0; i < n; ++i) {
    uint16_t reply = 0;
    st.LinkStatus = commands_.GetRegister(reg::kConfigBytes[i], reply);
    if (st.LinkStatus != kStatusOk) return 1;
    configBytes[i] = static_cast<uint8_t>(reply & 0x100 ? reply : 0);
  }
  return 0;
}

int ConfigTransfers::ProgramDeviceConfig() {
  if (StartOperation(kOpWriteConfig) != 0) return 1;
  const uint16_t r = commands_.Reply(reply_wait::kProgramConfig);
  return r & 0x100 ? (r & 0xFF) : 1;
}

int ConfigTransfers::ProgramConfigFuses(const std::array<uint8_t, 4>& configBytes) {
  LinkState& st = commands_.State();
  if (CheckPack(commands_) != 0) return 1;
  st.LinkStatus = kStatusOk;
  int r = 0;
  auto fuse = [&](uint8_t which) {
    st.LinkStatus = commands_.Operate(static_cast<uint8_t>(kOpWriteConfig + st.OpCodeOffset));
    if (st.LinkStatus != kStatusOk) return 1;
    if (!commands_.Link().SendByte(which)) return 1;
    const uint16_t reply = commands_.Reply(reply_wait::kProgramFuse);
    return reply & 0x100 ? (reply & 0xFF) : 1;
  };
  if (configBytes[0] & 0x01) r = fuse('1');
  if ((configBytes[0] & 0x02) && r == 0) r = fuse('2');
  return r;
}

int ConfigTransfers::SerialProgramming(uint8_t code) {
  if (StartOperation(code) != 0) return 1;
  const uint16_t r = commands_.Reply(reply_wait::kConfigOperation);
  return r & 0x100 ? (r & 0xFF) : 1;
}

int ConfigTransfers::ReadSerialFuse(uint8_t& serialFuse) {
  LinkState& st = commands_.State();
  if (StartOperation(kOpReadSerialFuse) != 0) return 1;
  if (!(commands_.Reply(reply_wait::kConfigOperation) & 0x100)) return 1;
  uint16_t reply = 0;
  st.LinkStatus = commands_.GetRegister(reg::kSerialFuse, reply);
  if (st.LinkStatus != kStatusOk) return 1;
  serialFuse = static_cast<uint8_t>(reply & 0x100 ? reply : 0);
  return 0;
}

int ConfigTransfers::ReadVoltages(std::array<uint32_t, 4>& voltageSettings) {
  LinkState& st = commands_.State();
  for (int i = 0; i < 4; ++i) {
    uint16_t reply = 0;
    st.LinkStatus = commands_.GetRegister(reg::kVoltages[i], reply);
    if (st.LinkStatus != kStatusOk) return 1;
    voltageSettings[i] = reply & 0x100 ? (reply & 0xFF) : 0;
  }
  return 0;
}

int ConfigTransfers::WriteVoltages(const std::array<uint32_t, 4>& voltageSettings) {
  LinkState& st = commands_.State();
  for (int i = 0; i < 4; ++i) {
    st.LinkStatus = commands_.SetRegister(reg::kVoltages[i], static_cast<uint8_t>(voltageSettings[i]));
    if (st.LinkStatus != kStatusOk) return 1;
  }
  return 0;
}

void ConfigTransfers::SetVerifyLevels(uint8_t a, uint8_t b, uint8_t c) {
  LinkState& st = commands_.State();
  const uint8_t values[3] = {a, b, c};
  for (int i = 0; i < 3; ++i) st.LinkStatus = commands_.SetRegister(reg::kVerifyLevels[i], values[i]);
}

int ConfigTransfers::ReadEncrTable(const DeviceTypeRecord& device, std::span<uint8_t> encrBuffer) {
  LinkState& st = commands_.State();
  uint32_t s = 0;
  const auto header = EncrTableHeader(device.securityTableSize, s);
  if (s > encrBuffer.size()) return 1;
  st.LinkStatus = commands_.GetBlock(header);
  if (st.LinkStatus != kStatusOk) return 1;
  if (commands_.Link().IsUsb()) {
    if (commands_.ReadAnswered(encrBuffer.data(), s, reply_wait::kBlockByte, true) != 0) {
      ShowTableError("DOWNLOAD");
      return 1;
    }
    return 0;
  }
  return commands_.ReadThenAnswer(encrBuffer.data(), s, reply_wait::kBlockByte, false) != 0 ? 1 : 0;
}

int ConfigTransfers::WriteEncrTable(const DeviceTypeRecord& device, std::span<const uint8_t> encrBuffer) {
  LinkState& st = commands_.State();
  uint32_t s = 0;
  const auto header = EncrTableHeader(device.securityTableSize, s);
  if (s > encrBuffer.size()) return 1;
  st.LinkStatus = commands_.SetBlock(header);
  if (st.LinkStatus != kStatusOk) return 1;
  if (commands_.Link().IsUsb()) {
    if (commands_.WriteBytes(encrBuffer.data(), s, true) != 0) {
      ShowTableError("UPLOAD");
      return 1;
    }
    return 0;
  }
  const uint32_t table = device.securityTableSize;
  const bool repeat = table >= 1 && table <= 15;
  for (uint32_t i = 0; i < s; ++i)
    if (!commands_.Link().SendByte(encrBuffer[repeat ? i % table : i])) return 1;
  return 0;
}

}  // namespace zolvek
