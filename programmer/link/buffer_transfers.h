// Moving bytes between the programmer-held buffer (its internal RAM or the
// SRAM card) and TransferWindow, the 32 KB array through which the editor,
// the loaders and compare see that buffer; and the serial-number uploads.
//
// Every transfer sets the range registers, runs one command ('D', 'U', 'u' or
// 'g'), moves the bytes and writes the Target Zone back, since the
// operations rely on those registers. Results: 0 done, 1 failed.
//
// The window operations put byte i of a transfer at window index
// (address + i) mod TransferWindowSize; the block operations from index 0.
//
// Choices where the program's own rules are silent or unsafe:
// - Refused before anything is sent (result 1, the transfer's error box):
//   n = 0; n above TransferWindowSize; a range that runs past the end of the
//   programmer's buffer (BufferBytes: 128 KB internal, the card's size); an
//   inverted Target Zone (end below start), whose restore would write a
//   count of nearly 16 M. A serial-number upload of 0 or more than 8 bytes,
//   or beyond the buffer, is refused with its own box.
// - PC memory: UploadBlock gives 0 and sends nothing, the others give 1.
// - An upload whose data send failed sends no closing byte (the programmer
//   would take it for data); the line is left to resynchronise.
// - The error boxes have no owner here: the front end shows them over the
//   window in front.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "programmer/link/commands.h"

namespace zolvek {

inline constexpr uint32_t TransferWindowSize = 0x8000;
using TransferWindowBytes = std::array<uint8_t, TransferWindowSize>;

// Where the buffer is, as the transfers see it.
enum class TransferBuffer { PcMemory, Internal, SramCard };

// What a transfer needs to know of the program's state, taken afresh for
// each call (the ops layer builds it from its state).
struct TransferContext {
  TransferBuffer Kind = TransferBuffer::PcMemory;
  TargetZone Zone;
  uint32_t BufferBytes = 128 * 1024;  // what the programmer's buffer holds
};

class BufferTransfers {
public:
  explicit BufferTransfers(Commands& commands) : commands_(commands) {}

  TransferWindowBytes& TransferWindow() { return window_; }
  const TransferWindowBytes& TransferWindow() const { return window_; }
  // 1 while the "DOWNLOAD" box of a failed window download is open.
  int32_t DownloadBoxOpen() const { return downloadBoxOpen_; }

  // Dispatchers by buffer kind.
  int DownloadWindow(const TransferContext& ctx, uint32_t address, uint32_t n);
  int DownloadBlock(const TransferContext& ctx, uint32_t address, uint32_t n);
  int UploadByte(const TransferContext& ctx, uint32_t address);
  int UploadBlock(const TransferContext& ctx, uint32_t address, uint32_t n);

  // Internal buffer.
  int DownloadWindowInternal(const TransferContext& ctx, uint32_t address, uint32_t n);
  int DownloadBlockInternal(const TransferContext& ctx, uint32_t address, uint32_t n);
  int UploadByteInternal(const TransferContext& ctx, uint32_t address);
  int UploadBlockInternal(const TransferContext& ctx, uint32_t address, uint32_t n);
  int UploadSerialInternal(const TransferContext& ctx, uint32_t address, std::span<const uint8_t> bytes);

  // SRAM card (refused while NoMonitor is set).
  int DownloadWindowSram(const TransferContext& ctx, uint32_t address, uint32_t n);
  int DownloadBlockSram(const TransferContext& ctx, uint32_t address, uint32_t n);
  int UploadByteSram(const TransferContext& ctx, uint32_t address);
  int UploadBlockSram(const TransferContext& ctx, uint32_t address, uint32_t n);
  int UploadSerialSram(const TransferContext& ctx, uint32_t address, std::span<const uint8_t> bytes);

  static constexpr std::size_t kMaxSerialBytes = 8;

private:
  enum class Box { Download, DownloadWindow, Upload, UploadData, UploadSerial };
  bool RangeSound(const TransferContext& ctx, uint32_t address, uint32_t n, uint32_t most) const;
  void Fail(Box box);
  int Download(const TransferContext& ctx, uint32_t address, uint32_t n, bool window, bool sram);
  // The card (sram) is refused while NoMonitor is set; its bytes go one by
  // one, the internal buffer's in USB blocks when usbBlocks.
  int Upload(const TransferContext& ctx, uint32_t address, std::span<const uint8_t> bytes, bool sram, bool usbBlocks,
             Box box);
  int UploadOne(const TransferContext& ctx, uint32_t address, bool sram);

  Commands& commands_;
  TransferWindowBytes window_{};
  int32_t downloadBoxOpen_ = 0;
};

}  // namespace zolvek
