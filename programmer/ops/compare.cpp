#include "programmer/ops/compare.h"

#include <algorithm>
#include <cstdio>
#include <functional>

#include "programmer/ops/read_workers.h"
#include "programmer/ops/worker_steps.h"

namespace zolvek {

namespace {

constexpr uint32_t kCompareReply = 55;

void AddDifference(CompareContext& c, uint32_t a, uint8_t deviceByte, uint32_t b, uint8_t bufferByte) {
  if (c.list) c.list->AddLine(DifferenceLine(a, deviceByte, b, bufferByte));
}

// The compare's buffer range lies inside `buffer`.
bool BufferHolds(const OpsState& ops, const std::vector<uint8_t>& buffer) {
  return ops.DeviceEnd >= ops.DeviceStart &&
         uint64_t{ops.BufferStart} + (ops.DeviceEnd - ops.DeviceStart) < buffer.size();
}

bool Refuse(OperationEngine& e) {
  e.State().LinkStatus = kStatusRefused;
  e.State().ErrorAddress = e.Ops().DeviceStart;
  return true;
}

// A compare ends keeping the address reached; nothing is drawn after an abort.
constexpr FinishRule kCompareFinish{kCompareReply, FinishRule::ErrorAddress::Keep, false};

// The stream compares: each byte from the device against PcBuffer.
int CompareStream(OperationEngine& e, ProgressTarget* dialog, CounterField* dc, CompareContext& c, StreamLink kind) {
  OpsState& ops = e.Ops();
  if (!BufferHolds(ops, ops.PcBuffer) && Refuse(e)) return 1;
  e.Prog().SetStatusText("Comparing now!");
  if (e.Open(OP_READ_STREAM, kind != StreamLink::Com) != 0) return 1;
  const StreamInEnd end = StreamIn(e, dialog, dc, kind, kCompareReply, [&](uint32_t a, uint8_t byte) {
    const uint32_t b = ops.BufferStart + (a - ops.DeviceStart);
    if (byte != ops.PcBuffer[b]) AddDifference(c, a, byte, b, ops.PcBuffer[b]);
  });
  if (end.ended) return 1;
  e.State().ErrorAddress = end.reached;
  return FinishWorker(e, dc, kCompareFinish, end.failed, end.aborted);
}

// A range moved in blocks: the status text, the progress from 0 over
// start..end, move(a) for each block (the count moved, -1 on failure) until
// one comes short, then the full progress and its reset. 0 or 1.
int MoveBlocks(OperationEngine& e, ProgressTarget* dialog, const std::string& text, uint32_t start, uint32_t end,
               uint32_t block, const std::function<int64_t(uint64_t a)>& move) {
  LinkState& st = e.State();
  e.Prog().SetStatusText(text);
  st.ProgressCount = 0;
  st.ProgressTotal = static_cast<int32_t>(end - start + 1);
  e.ShowProgress(dialog);
  int result = 0;
  for (uint64_t a = start; a <= end;) {
    const int64_t moved = move(a);
    if (moved < 0) {
      result = 1;
      break;
    }
    if (moved < block) break;
    st.ProgressCount += static_cast<int32_t>(block);
    a += block;
    e.ShowProgress(dialog);
  }
  st.ProgressCount = st.ProgressTotal;
  e.ShowProgress(dialog);
  e.Prog().ResetProgress();
  return result;
}

}  // namespace

std::string DifferenceLine(uint32_t deviceAddress, uint8_t deviceByte, uint32_t bufferAddress, uint8_t bufferByte) {
  char line[48];
  std::snprintf(line, sizeof line, "%08lX : %02X - (%08lX : %02X)", static_cast<unsigned long>(deviceAddress),
                deviceByte, static_cast<unsigned long>(bufferAddress), bufferByte);
  return line;
}

RangeTransfers RangeTransfersFor(BufferTransfers& transfers, const OpsState& ops) {
  RangeTransfers t;
  t.window = transfers.TransferWindow();
  t.downloadBlock = [&transfers, &ops](uint32_t address, uint32_t n) {
    return transfers.DownloadBlock(TransferContextOf(ops), address, n);
  };
  t.uploadBlock = [&transfers, &ops](uint32_t address, uint32_t n) {
    return transfers.UploadBlock(TransferContextOf(ops), address, n);
  };
  return t;
}

uint32_t TransferBlockSize(int32_t linkKind) { return linkKind == kLinkUsb ? 0x8000 : 0x200; }

int LoadCodeFromProgrammer(OperationEngine& e, ProgressTarget* dialog, const RangeTransfers& transfers,
                           std::vector<uint8_t>& target, uint32_t start, uint32_t end, const std::string& text) {
  const uint32_t block = std::min<uint32_t>(TransferBlockSize(e.LinkKind()), transfers.window.size());
  if (start > end || end >= target.size() || end >= e.Ops().HeldBufferBytes() || block == 0 || !transfers.downloadBlock)
    return 1;
  return MoveBlocks(e, dialog, text, start, end, block, [&](uint64_t a) -> int64_t {
    // The last block stops at the end of the range and of the held buffer.
    const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(block, e.Ops().HeldBufferBytes() - a));
    if (transfers.downloadBlock(static_cast<uint32_t>(a), n) != 0) return -1;
    uint32_t copied = 0;
    for (; copied < n && a + copied <= end; ++copied) target[a + copied] = transfers.window[copied];
    return copied;
  });
}

int LoadCodeToProgrammer(OperationEngine& e, ProgressTarget* dialog, const RangeTransfers& transfers,
                         const std::vector<uint8_t>& source, uint32_t start, uint32_t end) {
  const uint32_t block = std::min<uint32_t>(TransferBlockSize(e.LinkKind()), transfers.window.size());
  if (start > end || end >= source.size() || end >= e.Ops().HeldBufferBytes() || block == 0 || !transfers.uploadBlock)
    return 1;
  return MoveBlocks(e, dialog, "Load Source Code To Programmer now ...", start, end, block, [&](uint64_t a) -> int64_t {
    uint32_t count = 0;
    for (; count < block && a + count <= end; ++count) transfers.window[count] = source[a + count];
    if (count > 0 && transfers.uploadBlock(static_cast<uint32_t>(a), count) != 0) return -1;
    return count;
  });
}

int CompareStreamCom(OperationEngine& e, ProgressTarget* dialog, CounterField* dc, CompareContext& c) {
  return CompareStream(e, dialog, dc, c, StreamLink::Com);
}

int CompareStreamLpt(OperationEngine& e, ProgressTarget* dialog, CounterField* dc, CompareContext& c) {
  return CompareStream(e, dialog, dc, c, StreamLink::Lpt);
}

int CompareStreamUsb(OperationEngine& e, ProgressTarget* dialog, CounterField* dc, CompareContext& c) {
  return CompareStream(e, dialog, dc, c, StreamLink::Usb);
}

int CompareFromBuffer(OperationEngine& e, ProgressTarget* dialog, CounterField* dc, CompareContext& c) {
  OpsState& ops = e.Ops();
  LinkState& st = e.State();
  if ((!c.compareCopy || !BufferHolds(ops, ops.PcBuffer) || !BufferHolds(ops, *c.compareCopy)) && Refuse(e)) return 1;
  e.Prog().SetStatusText("Reading now!");
  const int read = ReadToBuffer(e, dialog, dc);
  if (read != 0 || st.LinkStatus == kStatusAborted) return read;
  const uint32_t bufferEnd = ops.BufferStart + (ops.DeviceEnd - ops.DeviceStart);
  if (LoadCodeFromProgrammer(e, dialog, c.transfers, ops.PcBuffer, ops.BufferStart, bufferEnd,
                             "Load compare code from programmer now ...") != 0)
    return 1;
  const std::vector<uint8_t>& copy = *c.compareCopy;
  e.Prog().SetStatusText("Comparing now!");
  StartAddressProgress(e, dialog);
  for (uint64_t a = ops.DeviceStart; a <= ops.DeviceEnd; ++a) {
    const uint32_t b = ops.BufferStart + static_cast<uint32_t>(a - ops.DeviceStart);
    if (ops.PcBuffer[b] != copy[b]) AddDifference(c, static_cast<uint32_t>(a), ops.PcBuffer[b], b, copy[b]);
    if ((st.ProgressCount & 0xFF) == 0) e.ShowProgress(dialog);
    ++st.ProgressCount;
  }
  st.ProgressCount = st.ProgressTotal;
  e.ShowProgress(dialog);
  return 0;
}

int CompareDevice(OperationEngine& e, ProgressTarget* dialog, CounterField* dc, CompareContext& c) {
  FrameSteps s;
  s.resetAfter = true;
  s.zone = FrameSteps::Zone::Order;
  return e.RunFrame(s, dialog, [&] {
    const OpsState& ops = e.Ops();
    if (ops.BufferKind.IsInternal()) return CompareFromBuffer(e, dialog, dc, c);
    if (ops.BufferKind.IsSramCard()) return CompareStreamCom(e, dialog, dc, c);
    if (e.LinkKind() == kLinkLpt) return CompareStreamLpt(e, dialog, dc, c);
    if (e.LinkKind() == kLinkUsb) return CompareStreamUsb(e, dialog, dc, c);
    return CompareStreamCom(e, dialog, dc, c);
  });
}

}  // namespace zolvek
