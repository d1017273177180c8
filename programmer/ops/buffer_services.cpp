#include "programmer/ops/buffer_services.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/messages.h"

namespace zolvek {

namespace {

constexpr uint16_t kVersionAddress = 0x012E;
constexpr char kCardFirmware[] = "1.01 ";
constexpr uint8_t kProbeFailed = 5;
constexpr uint8_t kNoCard = 3;
constexpr uint16_t kChecksumPauseMs = 10;

void CardTooSmall() {
  platform::Messages().Show(
      {"SRAM card memory size not enough !", "SRAM card status", platform::Buttons::Ok, platform::Icon::Error});
}

}  // namespace

const char* BufferKindText(const BufferKindFlags& kind) {
  if (kind.IsPcMemory()) return "PC Memory";
  return kind.IsInternal() ? "Internal Buffer" : "SRAM Card";
}

TargetZone TargetZoneOf(const OpsState& ops) { return {ops.DeviceStart, ops.DeviceEnd, ops.BufferStart}; }

TransferContext TransferContextOf(const OpsState& ops) {
  TransferContext ctx;
  ctx.Kind = ops.BufferKind.IsPcMemory()   ? TransferBuffer::PcMemory
             : ops.BufferKind.IsInternal() ? TransferBuffer::Internal
                                           : TransferBuffer::SramCard;
  ctx.Zone = TargetZoneOf(ops);
  ctx.BufferBytes = static_cast<uint32_t>(ops.HeldBufferBytes());
  return ctx;
}

void BufferServices::SelectBufferKind() {
  const DeviceTypeRecord* device = ops_.CurrentDevice();
  const int32_t link = commands_.State().LinkKind;
  if (device && device->bufferKind == 1) {
    ops_.BufferKind = {1, 1};
    ops_.BufferSizeKB = kInternalBufferSizeKB;
  } else if (link == kLinkLpt || link == kLinkUsb || !device) {
    ops_.BufferKind = {0, 0};
    ops_.BufferSizeKB = kDefaultBufferSizeKB;
  } else {
    commands_.QuerySramCard();
    ops_.BufferSizeKB = kDefaultBufferSizeKB;
    const uint8_t probe = ProbeSramCard();
    if ((probe & 0x03) != 0) {
      commands_.MapInternalBuffer();
      ops_.BufferKind = {0, 0};
      ops_.BufferSizeKB = kDefaultBufferSizeKB;
    } else {
      if (probe & 0x04)
        platform::Messages().Show({"SRAM card is in write protect mode \n Please change to Write Protect Disable mode",
                                   "SRAM CARD Status", platform::Buttons::Ok, platform::Icon::Error});
      commands_.MapSramCard();
      ops_.BufferKind = {1, 0};
    }
  }
  Panel(PanelField::BufferStatus, BufferKindText(ops_.BufferKind));
  Panel(PanelField::BufferSize, std::to_string(ops_.BufferSizeKB) + "K");
  ops_.BufferSizeBytes = ops_.BufferSizeKB * 1024;
}

uint8_t BufferServices::ProbeSramCard() {
  const DeviceTypeRecord* device = ops_.CurrentDevice();
  const uint32_t size = device ? device->size : 0;
  uint8_t version[5] = {};
  if (commands_.GetMemory(kVersionAddress, 5, version) != kStatusOk) return kProbeFailed;
  auto readSize = [&](bool noCardCode, bool& noCard) {
    uint16_t reply = 0;
    if (commands_.QueryCardSize(reply) != kStatusOk || !(reply & 0x100)) return false;
    const uint8_t code = static_cast<uint8_t>(reply);
    if (code <= 5) ops_.BufferSizeKB = 128u << code;
    noCard = noCardCode && code == 15;
    return true;
  };
  auto fits = [&]() {
    if (static_cast<uint64_t>(ops_.BufferSizeKB) * 1024 >= size) return true;
    CardTooSmall();
    ops_.BufferSizeKB = kDefaultBufferSizeKB;
    return false;
  };
  if (std::memcmp(version, kCardFirmware, 5) == 0) {
    bool noCard = false;
    if (!readSize(true, noCard)) return kProbeFailed;
    if (noCard) return kNoCard;
    return fits() ? 0 : kNoCard;
  }
  uint16_t status = 0;
  if (commands_.QueryCardStatus(status) != kStatusOk || !(status & 0x100)) return kProbeFailed;
  if (!(status & 0x04)) {
    bool noCard = false;
    if (!readSize(false, noCard)) return kProbeFailed;
  }
  return fits() ? static_cast<uint8_t>(status) : kNoCard;
}

uint32_t BufferServices::LastBufferByte() const {
  uint64_t last = ops_.BufferSizeBytes == 0 ? 0 : ops_.BufferSizeBytes - 1;
  if (ops_.BufferKind.IsPcMemory())
    last = std::min<uint64_t>(last, ops_.PcBuffer.empty() ? 0 : ops_.PcBuffer.size() - 1);
  return static_cast<uint32_t>(last);
}

int BufferServices::FillBufferRange(uint32_t start, uint32_t end, uint8_t value) {
  if (commands_.State().NoMonitor != 0) return 1;
  const uint32_t last = LastBufferByte();
  start = std::min(start, last);
  end = std::min(end, last);
  if (start > end) return 0;
  if (ops_.BufferKind.IsPcMemory()) {
    if (ops_.PcBuffer.empty()) return 1;
    std::fill(ops_.PcBuffer.begin() + start, ops_.PcBuffer.begin() + end + 1, value);
    return 0;
  }
  if (ops_.DeviceEnd < ops_.DeviceStart) return 1;
  const uint32_t count = end - start + 1;
  commands_.SetTransferRange(Zone(), start, count);
  int status = kStatusOk;
  if (ops_.BufferKind.IsInternal()) {
    uint16_t reply = 0;
    status = commands_.Fill(value, reply);
  } else {
    status = commands_.Sram(kSramFill, start, count);
    if (status == kStatusOk && !commands_.Link().SendByte(value)) status = kStatusNotSent;
    if (status == kStatusOk) commands_.Reply(reply_wait::kSramFill);  // not looked at
  }
  commands_.RestoreDeviceRange(Zone());
  return status == kStatusOk ? 0 : 1;
}

uint32_t BufferServices::BufferChecksum(uint32_t start, uint32_t end) {
  const uint32_t last = LastBufferByte();
  end = std::min(end, last);
  if (start > end) return 0;
  if (ops_.BufferKind.IsPcMemory()) {
    uint32_t sum = 0;
    for (uint32_t a = start; a <= end && a < ops_.PcBuffer.size(); ++a) sum += ops_.PcBuffer[a];
    commands_.Link().Delay(kChecksumPauseMs);
    return sum;
  }
  const uint32_t count = end - start + 1;
  uint16_t sum = 0;
  if (ops_.BufferKind.IsInternal()) {
    if (commands_.Checksum(start, count, sum) != kStatusOk) return 1;
  } else {
    if (commands_.Sram(kSramChecksum, start, count) != kStatusOk) return 1;
    const uint16_t lo = commands_.Reply(reply_wait::kChecksumLow);
    commands_.Link().SendByte(0);
    const uint16_t hi = commands_.Reply(reply_wait::kChecksumHigh);
    sum = static_cast<uint16_t>((hi & 0xFF) << 8 | (lo & 0xFF));
  }
  commands_.Link().Delay(kChecksumPauseMs);
  return sum;
}

void BufferServices::ShowBufferChecksum() {
  const DeviceTypeRecord* device = ops_.CurrentDevice();
  uint32_t total = BufferChecksum(ops_.BufferStart, ops_.BufferEnd);
  const uint32_t family = device ? device->family : 0;
  const uint32_t eraseKind = device ? device->eraseKind : 0;
  switch (family) {
    case 0x09:
    case 0x1B: total += BufferChecksum(0xF000, 0xFFFE); break;
    case 0x0A:
    case 0x17:
      if (eraseKind == 7) total += BufferChecksum(0xE000, 0xFFFF);
      if (eraseKind == 6) total += BufferChecksum(0x10000, 0x11FFF);
      break;
    case 0x10:
    case 0x1D:
      if (device->securityTableSize != 0) total += BufferChecksum(0x10000, 0x107FF);
      break;
    case 0x11:
    case 0x12: total += BufferChecksum(ops_.BufferEnd + 2, ops_.BufferEnd + 0x1000); break;
    case 0x13: total += BufferChecksum(ops_.BufferEnd + 2, ops_.BufferEnd + 0x2000); break;
    case 0x16: total += BufferChecksum(0x10000, 0x10FFE); break;
    case 0x21:
    case 0x2D: total += BufferChecksum(0x10000, 0x10FFF); break;
    default: break;
  }
  ops_.BufferChecksumValue = total;
  char text[8];
  std::snprintf(text, sizeof text, "%04hX", static_cast<unsigned short>(total & 0xFFFF));
  Panel(PanelField::BufferChecksum, text);
}

}  // namespace zolvek
