#include "programmer/link/commands.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "programmer/link/count_encoding.h"

namespace zolvek {

int Commands::Command(uint8_t letter, std::span<const uint8_t> params) {
  const int status = link_.SendCommand(letter);
  return status != kStatusOk ? status : SendParams(params);
}

int Commands::SendParams(std::span<const uint8_t> params) {
  for (uint8_t b : params)
    if (!link_.SendByte(b)) return kStatusNotSent;
  return kStatusOk;
}

int Commands::Ask(uint8_t letter, std::initializer_list<uint8_t> params, uint32_t wait, uint16_t& reply) {
  reply = 0;
  const int status = Command(letter, params);
  if (status == kStatusOk) reply = Reply(wait);
  return status;
}

int Commands::Pack(uint16_t& reply) { return Ask(CMD_PACK, {}, reply_wait::kPack, reply); }

int Commands::GetMemory(uint16_t address, uint8_t count, uint8_t* out) {
  const int status = Command(CMD_GETMEM, {static_cast<uint8_t>(address), static_cast<uint8_t>(address >> 8), count, 1});
  if (status != kStatusOk) return status;
  for (int i = 0; i < count; ++i) {
    const uint16_t r = Reply(reply_wait::kGetMem);
    if (!(r & 0x100)) return 1;
    out[i] = static_cast<uint8_t>(r);
    if (!link_.SendByte(0)) return 1;
  }
  return kStatusOk;
}

int Commands::Setup() {
  const int status = Command(CMD_SETUP, {1, 0x1A, 2});
  if (status == kStatusOk) link_.Delay(pause_ms::kSetup);
  return status;
}

int Commands::QueryCardSize(uint16_t& reply) { return Ask(CMD_SETUP, {0x7A, 0, 0xF0}, reply_wait::kSetupQuery, reply); }

int Commands::QueryCardStatus(uint16_t& reply) {
  const int status = Ask(CMD_SETUP, {0x43, 0, 0xF0}, reply_wait::kSetupQuery, reply);
  if (status == kStatusOk) link_.Delay(pause_ms::kCardStatus);
  return status;
}

int Commands::GetRegister(uint8_t number, uint16_t& reply) {
  return Ask(CMD_GETREG, {number}, reply_wait::kRegister, reply);
}

int Commands::Key(uint16_t& reply) { return Ask(CMD_KEY, {}, reply_wait::kKey, reply); }

int Commands::LoadDriverHeader(uint32_t n) {
  const auto count = TwoLevelCount(n);
  return Command(CMD_LOADDRV, {count[0], count[1]});
}

int Commands::LoadMonitorHeader(uint32_t n) {
  const auto count = TwoLevelCount(n);
  return Command(CMD_LOADMON, {0, 0xF0, count[0], count[1]});
}

int Commands::Quit() {
  const int status = Command(CMD_QUIT);
  if (status == kStatusOk) link_.Delay(pause_ms::kQuit);
  return status;
}

int Commands::Checksum(uint32_t start, uint32_t length, uint16_t& sum) {
  sum = 0;
  const auto count = ThreeLevelCount(length);
  const int status = Command(CMD_CHECKSUM, {static_cast<uint8_t>(start >= 0x10000 ? 1 : 0), static_cast<uint8_t>(start),
                                            static_cast<uint8_t>(start >> 8), count[0], count[1], count[2]});
  if (status != kStatusOk) return status;
  const uint16_t lo = Reply(reply_wait::kChecksumLow);
  if (!(lo & 0x100) || !link_.SendByte(0)) return 1;
  const uint16_t hi = Reply(reply_wait::kChecksumHigh);
  if (!(hi & 0x100)) return 1;
  sum = static_cast<uint16_t>(((hi & 0xFF) << 8) | (lo & 0xFF));
  return kStatusOk;
}

int Commands::Sram(uint8_t function, uint32_t address, uint32_t count) {
  int status = Command(CMD_SRAM, {0, function});
  if (status != kStatusOk) return status;
  if (function == kSramRead || function == kSramWrite) link_.Delay(pause_ms::kSramData);
  const auto c = ThreeLevelCount(count);
  const uint8_t rest[6] = {static_cast<uint8_t>(address >> 16),
                           static_cast<uint8_t>(address),
                           static_cast<uint8_t>(address >> 8),
                           c[0],
                           c[1],
                           c[2]};
  return SendParams(rest);
}

int Commands::Map(bool card) {
  const int status = Command(CMD_MAP, {0x58, static_cast<uint8_t>(card ? 0xE6 : 0xF8), 0x15});
  if (status == kStatusOk) link_.Delay(card ? pause_ms::kMapCard : pause_ms::kMapInternal);
  return status;
}

int Commands::SramQuery() {
  const int status = Command(CMD_SRAMQUERY, {0, 0xDF});
  if (status == kStatusOk) link_.Delay(pause_ms::kSramQuery);
  return status;
}

int Commands::Fill(uint8_t value, uint16_t& reply) { return Ask(CMD_FILL, {value}, reply_wait::kFill, reply); }

int Commands::ReadAnswered(uint8_t* out, std::size_t n, uint32_t wait, bool usbBlocks) {
  if (usbBlocks && link_.IsUsb()) {
    const std::vector<uint8_t> zeros(UsbTransport::kBlockSize, 0);
    std::vector<uint8_t> block(UsbTransport::kBlockSize);
    for (std::size_t i = 0; i < n; i += UsbTransport::kBlockSize) {
      const std::size_t len = std::min(UsbTransport::kBlockSize, n - i);
      if (link_.WriteBlock(zeros.data(), len) || link_.ReadBlock(block.data(), len)) return 1;
      std::copy_n(block.begin(), len, out + i);
    }
    return 0;
  }
  for (std::size_t i = 0; i < n; ++i) {
    if (!link_.SendByte(0)) return 1;
    const uint16_t r = Reply(wait);
    if (!(r & 0x100)) return 1;
    out[i] = static_cast<uint8_t>(r);
  }
  return 0;
}

int Commands::ReadThenAnswer(uint8_t* out, std::size_t n, uint32_t wait, bool usbBlocks) {
  if (usbBlocks && link_.IsUsb()) return ReadAnswered(out, n, wait, true);
  for (std::size_t i = 0; i < n; ++i) {
    const uint16_t r = Reply(wait);
    if (!link_.SendByte(0) || !(r & 0x100)) return 1;
    out[i] = static_cast<uint8_t>(r);
  }
  return 0;
}

int Commands::WriteBytes(const uint8_t* data, std::size_t n, bool usbBlocks) {
  if (usbBlocks && link_.IsUsb()) {
    for (std::size_t i = 0; i < n; i += UsbTransport::kBlockSize)
      if (link_.WriteBlock(data + i, std::min(UsbTransport::kBlockSize, n - i))) return 1;
    return 0;
  }
  for (std::size_t i = 0; i < n; ++i)
    if (!link_.SendByte(data[i])) return 1;
  return 0;
}

EchoResult Commands::EchoedDownload(std::span<const uint8_t> image, const std::function<void(std::size_t)>& progress) {
  const std::size_t n = image.size();
  if (link_.IsUsb()) {
    std::vector<uint8_t> echo(UsbTransport::kBlockSize);
    for (std::size_t i = 0; i < n; i += UsbTransport::kBlockSize) {
      if (progress) progress(i);
      const std::size_t len = std::min(UsbTransport::kBlockSize, n - i);
      if (link_.WriteBlock(image.data() + i, len) || link_.ReadBlock(echo.data(), len)) return EchoResult::LinkFailed;
      if (!std::equal(echo.begin(), echo.begin() + static_cast<std::ptrdiff_t>(len), image.begin() + i)) {
        link_.MarkSpoiled();
        return EchoResult::WrongEcho;
      }
    }
    return EchoResult::Ok;
  }
  for (std::size_t i = 0; i < n; ++i) {
    if (progress && i % 256 == 0) progress(i);
    if (!link_.SendByte(image[i])) return EchoResult::LinkFailed;
    const uint16_t r = Reply(reply_wait::kEcho);
    if (!(r & 0x100)) return EchoResult::LinkFailed;
    if (r != (0x100 | image[i])) {
      link_.MarkSpoiled();
      return EchoResult::WrongEcho;
    }
  }
  return EchoResult::Ok;
}

int Commands::EndOperation() { return Pass() != kStatusOk ? 1 : 0; }

int Commands::BeginOperation() { return Idle() != kStatusOk ? 1 : 0; }

int Commands::PollStartKey() {
  if (state_.Offline == 1) return 0;
  uint16_t reply = 0;
  state_.LinkStatus = Key(reply);
  if (state_.LinkStatus != kStatusOk) return 0;
  return reply == 0x100 ? 1 : 0;
}

int Commands::PrepareOperation() {
  state_.LinkStatus = Mode(kModeOperationDialog);
  return state_.LinkStatus != kStatusOk ? 0 : 1;
}

int Commands::QuerySramCard() { return SramQuery() != kStatusOk ? 0 : 1; }

int Commands::MapSramCard() { return Map(true) != kStatusOk ? 1 : 0; }

int Commands::MapInternalBuffer() { return Map(false) != kStatusOk ? 1 : 0; }

int Commands::BeginAutoRun() {
  state_.LinkStatus = Auto(true);
  return state_.LinkStatus != kStatusOk ? 1 : 0;
}

int Commands::EndAutoRun() {
  state_.LinkStatus = Auto(false);
  return state_.LinkStatus != kStatusOk ? 1 : 0;
}

void Commands::WriteRegisters(const uint8_t (&numbers)[3], uint32_t value) {
  for (int i = 0; i < 3; ++i) SetRegister(numbers[i], static_cast<uint8_t>(value >> (8 * i)));
}

void Commands::WriteCount(const std::array<uint8_t, 3>& count) {
  for (int i = 0; i < 3; ++i) SetRegister(reg::kCount[i], count[i]);
}

void Commands::SetTransferRange(const TargetZone& zone, uint32_t address, uint32_t count) {
  WriteRegisters(reg::kDeviceStart, zone.DeviceStart);
  WriteRegisters(reg::kBufferAddress, address);
  WriteCount(ThreeLevelCount(count));
}

int Commands::RestoreDeviceRange(const TargetZone& zone) {
  state_.LinkStatus = Mode(kModeRegisterRun);
  if (state_.LinkStatus != kStatusOk) return 1;
  WriteRegisters(reg::kDeviceStart, zone.DeviceStart);
  WriteRegisters(reg::kBufferAddress, zone.BufferStart);
  WriteCount(ThreeLevelCountFromLast(zone.DeviceEnd - zone.DeviceStart));
  return 0;
}

int Commands::SetWholeDeviceRange(uint32_t size) {
  state_.LinkStatus = Mode(kModeRegisterRun);
  if (state_.LinkStatus != kStatusOk) return 1;
  const auto count = ThreeLevelCountFromLast(size - 1);
  const std::pair<uint8_t, uint8_t> writes[] = {{8, 0},         {9, 0},  {12, 0}, {13, 0},       {16, count[0]},
                                                {17, count[1]}, {23, 0}, {25, 0}, {27, count[2]}};
  for (auto [number, value] : writes) {
    const int status = SetRegister(number, value);
    if (status != kStatusOk) {
      state_.LinkStatus = status;
      return 1;
    }
  }
  return 0;
}

int Commands::ReadErrorAddress(uint32_t& address) {
  uint32_t value = 0;
  for (int i = 0; i < 3; ++i) {
    uint16_t reply = 0;
    const int status = GetRegister(reg::kErrorAddress[i], reply);
    if (status != kStatusOk) {
      state_.LinkStatus = status;
      return 1;
    }
    if (reply & 0x100) value |= static_cast<uint32_t>(reply & 0xFF) << (8 * i);
  }
  address = value;
  return 0;
}

}  // namespace zolvek
