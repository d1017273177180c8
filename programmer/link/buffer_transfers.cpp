#include "programmer/link/buffer_transfers.h"

#include <vector>

#include "platform/messages.h"

namespace zolvek {

bool BufferTransfers::RangeSound(const TransferContext& ctx, uint32_t address, uint32_t n, uint32_t most) const {
  if (n == 0 || n > most) return false;
  if (ctx.Zone.DeviceEnd < ctx.Zone.DeviceStart) return false;
  return address < ctx.BufferBytes && n <= ctx.BufferBytes - address;
}

void BufferTransfers::Fail(Box box) {
  using platform::Icon;
  platform::Message m;
  switch (box) {
    case Box::Download:
    case Box::DownloadWindow: m = {"ERROR", "DOWNLOAD", platform::Buttons::Ok, Icon::Error}; break;
    case Box::Upload: m = {"ERROR", "UPLOAD", platform::Buttons::Ok, Icon::Error}; break;
    case Box::UploadData: m = {"Error!", "Upload data error!", platform::Buttons::Ok, Icon::None}; break;
    case Box::UploadSerial: m = {"Error!", "Upload serial number error!", platform::Buttons::Ok, Icon::None}; break;
  }
  if (box == Box::DownloadWindow) downloadBoxOpen_ = 1;
  platform::Messages().Show(m);
  downloadBoxOpen_ = 0;
}

int BufferTransfers::Download(const TransferContext& ctx, uint32_t address, uint32_t n, bool window, bool sram) {
  LinkState& st = commands_.State();
  if (sram && st.NoMonitor != 0) return 1;
  if (!RangeSound(ctx, address, n, TransferWindowSize)) {
    Fail(Box::Download);
    return 1;
  }
  commands_.SetTransferRange(ctx.Zone, address, n);
  st.LinkStatus = sram ? commands_.Sram(kSramRead, address, n) : commands_.Download();
  if (st.LinkStatus != kStatusOk) {
    Fail(window ? Box::DownloadWindow : Box::Download);
    commands_.RestoreDeviceRange(ctx.Zone);
    return 1;
  }
  // The bytes go through a copy of their window places, so that the bytes
  // that did not come leave the window as it was.
  auto at = [&](uint32_t i) -> uint8_t& { return window_[window ? (address + i) % TransferWindowSize : i]; };
  std::vector<uint8_t> bytes(n);
  for (uint32_t i = 0; i < n; ++i) bytes[i] = at(i);
  const bool ok = commands_.ReadAnswered(bytes.data(), n, reply_wait::kDownloadByte, !sram) == 0;
  for (uint32_t i = 0; i < n; ++i) at(i) = bytes[i];
  if (!ok) {
    commands_.Link().MarkSpoiled();
    Fail(Box::Download);
  }
  commands_.RestoreDeviceRange(ctx.Zone);
  return ok ? 0 : 1;
}

int BufferTransfers::Upload(const TransferContext& ctx, uint32_t address, std::span<const uint8_t> bytes, bool sram,
                            bool usbBlocks, Box box) {
  LinkState& st = commands_.State();
  if (sram && st.NoMonitor != 0) return 1;
  const auto n = static_cast<uint32_t>(bytes.size());
  if (!RangeSound(ctx, address, n, TransferWindowSize)) {
    Fail(box);
    return 1;
  }
  commands_.SetTransferRange(ctx.Zone, address, n);
  st.LinkStatus = sram ? commands_.Sram(kSramWrite, address, n) : commands_.Upload();
  if (st.LinkStatus != kStatusOk) {
    Fail(box);
    commands_.RestoreDeviceRange(ctx.Zone);
    return 1;
  }
  const bool ok = commands_.WriteBytes(bytes.data(), n, usbBlocks) == 0 && commands_.Link().SendByte(0) == 1;
  if (!ok) {
    commands_.Link().MarkSpoiled();
    Fail(box);
  }
  commands_.RestoreDeviceRange(ctx.Zone);
  return ok ? 0 : 1;
}

int BufferTransfers::DownloadWindowInternal(const TransferContext& ctx, uint32_t address, uint32_t n) {
  return Download(ctx, address, n, true, false);
}

int BufferTransfers::DownloadBlockInternal(const TransferContext& ctx, uint32_t address, uint32_t n) {
  return Download(ctx, address, n, false, false);
}

int BufferTransfers::DownloadWindowSram(const TransferContext& ctx, uint32_t address, uint32_t n) {
  return Download(ctx, address, n, true, true);
}

int BufferTransfers::DownloadBlockSram(const TransferContext& ctx, uint32_t address, uint32_t n) {
  return Download(ctx, address, n, false, true);
}

int BufferTransfers::UploadOne(const TransferContext& ctx, uint32_t address, bool sram) {
  LinkState& st = commands_.State();
  if (sram && st.NoMonitor != 0) return 1;
  const Box box = sram ? Box::UploadData : Box::Upload;
  if (!RangeSound(ctx, address, 1, 1)) {
    Fail(box);
    return 1;
  }
  commands_.SetTransferRange(ctx.Zone, address, 1);
  st.LinkStatus = sram ? commands_.Sram(kSramWrite, address, 1) : commands_.Command(CMD_UPLOADBYTE);
  const bool sent = st.LinkStatus == kStatusOk;
  const bool ok = sent && commands_.Link().SendByte(window_[address % TransferWindowSize]) == 1;
  if (!ok) {
    if (sent) commands_.Link().MarkSpoiled();
    Fail(box);
  }
  commands_.RestoreDeviceRange(ctx.Zone);
  return ok ? 0 : 1;
}

int BufferTransfers::UploadByteInternal(const TransferContext& ctx, uint32_t address) {
  return UploadOne(ctx, address, false);
}

int BufferTransfers::UploadByteSram(const TransferContext& ctx, uint32_t address) {
  return UploadOne(ctx, address, true);
}

int BufferTransfers::UploadBlockInternal(const TransferContext& ctx, uint32_t address, uint32_t n) {
  if (n > TransferWindowSize) {
    Fail(Box::Upload);
    return 1;
  }
  return Upload(ctx, address, std::span<const uint8_t>(window_.data(), n), false, true, Box::Upload);
}

int BufferTransfers::UploadBlockSram(const TransferContext& ctx, uint32_t address, uint32_t n) {
  if (n > TransferWindowSize) {
    if (commands_.State().NoMonitor != 0) return 1;
    Fail(Box::Upload);
    return 1;
  }
  return Upload(ctx, address, std::span<const uint8_t>(window_.data(), n), true, false, Box::Upload);
}

int BufferTransfers::UploadSerialInternal(const TransferContext& ctx, uint32_t address,
                                          std::span<const uint8_t> bytes) {
  if (bytes.size() > kMaxSerialBytes) {
    Fail(Box::UploadSerial);
    return 1;
  }
  return Upload(ctx, address, bytes, false, false, Box::UploadSerial);
}

int BufferTransfers::UploadSerialSram(const TransferContext& ctx, uint32_t address, std::span<const uint8_t> bytes) {
  if (bytes.size() > kMaxSerialBytes) {
    if (commands_.State().NoMonitor != 0) return 1;
    Fail(Box::UploadSerial);
    return 1;
  }
  return Upload(ctx, address, bytes, true, false, Box::UploadSerial);
}

int BufferTransfers::DownloadWindow(const TransferContext& ctx, uint32_t address, uint32_t n) {
  switch (ctx.Kind) {
    case TransferBuffer::Internal: return DownloadWindowInternal(ctx, address, n);
    case TransferBuffer::SramCard: return DownloadWindowSram(ctx, address, n);
    default: return 1;
  }
}

int BufferTransfers::DownloadBlock(const TransferContext& ctx, uint32_t address, uint32_t n) {
  switch (ctx.Kind) {
    case TransferBuffer::Internal: return DownloadBlockInternal(ctx, address, n);
    case TransferBuffer::SramCard: return DownloadBlockSram(ctx, address, n);
    default: return 1;
  }
}

int BufferTransfers::UploadByte(const TransferContext& ctx, uint32_t address) {
  switch (ctx.Kind) {
    case TransferBuffer::Internal: return UploadByteInternal(ctx, address);
    case TransferBuffer::SramCard: return UploadByteSram(ctx, address);
    default: return 1;
  }
}

int BufferTransfers::UploadBlock(const TransferContext& ctx, uint32_t address, uint32_t n) {
  switch (ctx.Kind) {
    case TransferBuffer::Internal: return UploadBlockInternal(ctx, address, n);
    case TransferBuffer::SramCard: return UploadBlockSram(ctx, address, n);
    default: return 0;
  }
}

}  // namespace zolvek
