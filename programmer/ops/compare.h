// The compare: reads the device and lists every address at which it differs
// from the buffer, one line per address. With PcBuffer (and with the SRAM
// card, whose contents the dialog has copied into PcBuffer) the link's read
// stream is compared byte by byte as it arrives; with the internal buffer
// the device is read into the programmer's buffer, copied to PcBuffer and
// compared with the copy the dialog made when it opened (CompareCopy).
// Differences are not failures: a run to its end with final status 0
// returns 0 however many lines it listed.
//
// The range copies between the programmer-held buffer and a PC buffer go
// through the block transfers given to them (the link's DownloadBlock and
// UploadBlock through TransferWindow).
//
// Choices where the program's own rules are silent, and faults mended:
// - The range copies stop at the first failed transfer and return 1 (0 when
//   the whole range was copied); CompareFromBuffer then fails rather than
//   compare stale bytes.
// - A copy never reaches past the PC buffer, the window or the programmer's
//   buffer: a range they do not hold is refused (1, nothing sent), and a last
//   block is not downloaded past the end of the range.
// - A compare whose buffer range PcBuffer (or CompareCopy) does not hold is
//   refused before the operate command (kStatusRefused). The compare ignores
//   ByteSelect: device address DeviceStart + k is compared with buffer
//   address BufferStart + k.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "programmer/link/buffer_transfers.h"
#include "programmer/ops/buffer_services.h"
#include "programmer/ops/operation_engine.h"

namespace zolvek {

// List box 1188 of the compare dialog: each line is added, then the dialog
// repainted.
class DifferenceList {
public:
  virtual ~DifferenceList() = default;
  virtual void AddLine(const std::string& line) = 0;
};

// "%08lX : %02X - (%08lX : %02X)": device address and byte, buffer address
// and byte.
std::string DifferenceLine(uint32_t deviceAddress, uint8_t deviceByte, uint32_t bufferAddress, uint8_t bufferByte);

// The block transfers of the programmer-held buffer, through the window from
// index 0: 0 done / 1 failed.
struct RangeTransfers {
  std::function<int(uint32_t address, uint32_t n)> downloadBlock;
  std::function<int(uint32_t address, uint32_t n)> uploadBlock;
  std::span<uint8_t> window;  // TransferWindow
};

// The link's DownloadBlock and UploadBlock through its TransferWindow.
RangeTransfers RangeTransfersFor(BufferTransfers& transfers, const OpsState& ops);

// TRANSFER_BLOCK: 0x200 on COM and LPT, 0x8000 (the window) on USB.
uint32_t TransferBlockSize(int32_t linkKind);

// Copies the programmer-held buffer from start to end into `target` at the
// same offsets; 0 done, 1 refused or a transfer failed.
int LoadCodeFromProgrammer(OperationEngine& e, ProgressTarget* dialog, const RangeTransfers& transfers,
                           std::vector<uint8_t>& target, uint32_t start, uint32_t end, const std::string& text);
// Copies `source` from start to end into the programmer-held buffer.
int LoadCodeToProgrammer(OperationEngine& e, ProgressTarget* dialog, const RangeTransfers& transfers,
                         const std::vector<uint8_t>& source, uint32_t start, uint32_t end);

// What the compare needs beyond the engine.
struct CompareContext {
  DifferenceList* list = nullptr;
  // The internal buffer's compare: the transfers and the dialog's copy.
  RangeTransfers transfers;
  const std::vector<uint8_t>* compareCopy = nullptr;
};

int CompareStreamCom(OperationEngine& e, ProgressTarget* dialog, CounterField* dc, CompareContext& c);
int CompareStreamLpt(OperationEngine& e, ProgressTarget* dialog, CounterField* dc, CompareContext& c);
int CompareStreamUsb(OperationEngine& e, ProgressTarget* dialog, CounterField* dc, CompareContext& c);
int CompareFromBuffer(OperationEngine& e, ProgressTarget* dialog, CounterField* dc, CompareContext& c);
// The dispatcher: 0 when the compare ran to its end with final status 0.
int CompareDevice(OperationEngine& e, ProgressTarget* dialog, CounterField* dc, CompareContext& c);

}  // namespace zolvek
