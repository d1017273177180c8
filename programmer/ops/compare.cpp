#include "programmer/ops/compare.h"

#include <algorithm>
#include <cstdio>

#include "programmer/ops/read_workers.h"

namespace zolvek {

namespace {

constexpr uint32_t kCompareReply = 55;

void AddDifference(CompareContext& c, uint32_t a, uint8_t deviceByte, uint32_t b, uint8_t bufferByte) {
  if (c.list) c.list->AddLine(DifferenceLine(a, deviceByte, b, bufferByte));
}

// The size of the programmer-held buffer in use.
uint64_t HeldSize(const OpsState& ops) {
  return ops.BufferKind.IsInternal() ? uint64_t{kInternalBufferSizeKB} * 1024 : ops.BufferSizeBytes;
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

// The end of a compare stream.
int CompareEnd(OperationEngine& e, CounterField* dc, uint32_t reached, bool failed, bool aborted) {
  LinkState& st = e.State();
  st.ErrorAddress = reached;
  const uint16_t status = e.Link().ReceiveByte(kCompareReply);
  if (aborted) {
    e.Link().MarkSpoiled();
    return 1;
  }
  if (status == 0) return 1;
  if ((status & 0xFF) != 0)
    failed = true;
  else if (!failed)
    st.ErrorAddress = e.Ops().DeviceEnd;
  e.DrawCounter(dc, st.ErrorAddress);
  return failed ? 1 : 0;
}

void StartStream(OperationEngine& e, ProgressTarget* dialog, CounterField* dc) {
  LinkState& st = e.State();
  st.ProgressTotal = static_cast<int32_t>(e.Ops().DeviceEnd - e.Ops().DeviceStart + 1);
  st.ProgressCount = 0;
  e.ShowProgress(dialog);
  e.DrawCounter(dc, e.Ops().DeviceStart);
}

}  // namespace

std::string DifferenceLine(uint32_t deviceAddress, uint8_t deviceByte, uint32_t bufferAddress, uint8_t bufferByte) {
  char line[48];
  std::snprintf(line, sizeof line, "%08lX : %02X - (%08lX : %02X)", static_cast<unsigned long>(deviceAddress),
                deviceByte, static_cast<unsigned long>(bufferAddress), bufferByte);
  return line;
}

TransferContext TransferContextFor(const OpsState& ops) {
  TransferContext ctx;
  ctx.Kind = ops.BufferKind.IsPcMemory()   ? TransferBuffer::PcMemory
             : ops.BufferKind.IsInternal() ? TransferBuffer::Internal
                                           : TransferBuffer::SramCard;
  ctx.Zone = TargetZone{ops.DeviceStart, ops.DeviceEnd, ops.BufferStart};
  ctx.BufferBytes = static_cast<uint32_t>(HeldSize(ops));
  return ctx;
}

RangeTransfers RangeTransfersFor(BufferTransfers& transfers, const OpsState& ops) {
  RangeTransfers t;
  t.window = transfers.TransferWindow();
  t.downloadBlock = [&transfers, &ops](uint32_t address, uint32_t n) {
    return transfers.DownloadBlock(TransferContextFor(ops), address, n);
  };
  t.uploadBlock = [&transfers, &ops](uint32_t address, uint32_t n) {
    return transfers.UploadBlock(TransferContextFor(ops), address, n);
  };
  return t;
}

uint32_t TransferBlockSize(int32_t linkKind) { return linkKind == kLinkUsb ? 0x8000 : 0x200; }

int LoadCodeFromProgrammer(OperationEngine& e, ProgressTarget* dialog, const RangeTransfers& transfers,
                           std::vector<uint8_t>& target, uint32_t start, uint32_t end, const std::string& text) {
  LinkState& st = e.State();
  const uint32_t block = std::min<uint32_t>(TransferBlockSize(e.LinkKind()), transfers.window.size());
  if (start > end || end >= target.size() || end >= HeldSize(e.Ops()) || block == 0 || !transfers.downloadBlock)
    return 1;
  e.Prog().SetStatusText(text);
  st.ProgressCount = 0;
  st.ProgressTotal = static_cast<int32_t>(end - start + 1);
  e.ShowProgress(dialog);
  int result = 0;
  for (uint64_t a = start; a <= end;) {
    // The last block stops at the end of the range and of the held buffer.
    const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(block, HeldSize(e.Ops()) - a));
    if (transfers.downloadBlock(static_cast<uint32_t>(a), n) != 0) {
      result = 1;
      break;
    }
    uint32_t copied = 0;
    for (; copied < n && a + copied <= end; ++copied) target[a + copied] = transfers.window[copied];
    if (copied < block) break;
    st.ProgressCount += static_cast<int32_t>(block);
    a += block;
    e.ShowProgress(dialog);
  }
  st.ProgressCount = st.ProgressTotal;
  e.ShowProgress(dialog);
  e.Prog().ResetProgress();
  return result;
}

int LoadCodeToProgrammer(OperationEngine& e, ProgressTarget* dialog, const RangeTransfers& transfers,
                         const std::vector<uint8_t>& source, uint32_t start, uint32_t end) {
  LinkState& st = e.State();
  const uint32_t block = std::min<uint32_t>(TransferBlockSize(e.LinkKind()), transfers.window.size());
  if (start > end || end >= source.size() || end >= HeldSize(e.Ops()) || block == 0 || !transfers.uploadBlock) return 1;
  e.Prog().SetStatusText("Load Source Code To Programmer now ...");
  st.ProgressCount = 0;
  st.ProgressTotal = static_cast<int32_t>(end - start + 1);
  e.ShowProgress(dialog);
  int result = 0;
  for (uint64_t a = start; a <= end;) {
    uint32_t count = 0;
    for (; count < block && a + count <= end; ++count) transfers.window[count] = source[a + count];
    if (count > 0 && transfers.uploadBlock(static_cast<uint32_t>(a), count) != 0) {
      result = 1;
      break;
    }
    if (count < block) break;
    st.ProgressCount += static_cast<int32_t>(block);
    a += block;
    e.ShowProgress(dialog);
  }
  st.ProgressCount = st.ProgressTotal;
  e.ShowProgress(dialog);
  e.Prog().ResetProgress();
  return result;
}

int CompareStreamCom(OperationEngine& e, ProgressTarget* dialog, CounterField* dc, CompareContext& c) {
  OpsState& ops = e.Ops();
  LinkState& st = e.State();
  if (!BufferHolds(ops, ops.PcBuffer) && Refuse(e)) return 1;
  e.Prog().SetStatusText("Comparing now!");
  if (e.Open(OP_READ_STREAM, false) != 0) return 1;
  StartStream(e, dialog, dc);
  bool failed = false, aborted = false;
  uint64_t a = ops.DeviceStart;
  for (; a <= ops.DeviceEnd; ++a) {
    const uint32_t k = static_cast<uint32_t>(a - ops.DeviceStart);
    if (e.EscDown()) {
      e.Link().SendByte(1);
      st.LinkStatus = kStatusAborted;
      failed = aborted = true;
      break;
    }
    e.Link().SendByte(0);
    if ((a & 0xFF) == 0) {
      e.DrawCounter(dc, static_cast<uint32_t>(a));
      e.ShowProgress(dialog);
    }
    const uint16_t reply = e.Link().ReceiveByte(kCompareReply);
    if (reply == 0) {
      e.Link().SendByte(1);
      e.Link().MarkSpoiled();
      st.ErrorAddress = static_cast<uint32_t>(a);
      return 1;
    }
    const uint32_t b = ops.BufferStart + k;
    if ((reply & 0xFF) != ops.PcBuffer[b]) AddDifference(c, static_cast<uint32_t>(a), reply & 0xFF, b, ops.PcBuffer[b]);
    ++st.ProgressCount;
  }
  return CompareEnd(e, dc, static_cast<uint32_t>(std::min<uint64_t>(a, ops.DeviceEnd)), failed, aborted);
}

int CompareStreamLpt(OperationEngine& e, ProgressTarget* dialog, CounterField* dc, CompareContext& c) {
  OpsState& ops = e.Ops();
  LinkState& st = e.State();
  if (!BufferHolds(ops, ops.PcBuffer) && Refuse(e)) return 1;
  e.Prog().SetStatusText("Comparing now!");
  if (e.Open(OP_READ_STREAM, true) != 0) return 1;
  StartStream(e, dialog, dc);
  bool failed = false, aborted = false;
  uint64_t a = ops.DeviceStart;
  for (; a <= ops.DeviceEnd; ++a) {
    const uint32_t k = static_cast<uint32_t>(a - ops.DeviceStart);
    e.Link().SendByte(0);
    const uint16_t reply = e.Link().ReceiveByte(kCompareReply);
    if (reply == 0) failed = true;
    if ((a & 0xFF) == 0) {
      e.DrawCounter(dc, static_cast<uint32_t>(a));
      e.ShowProgress(dialog);
    }
    const uint32_t b = ops.BufferStart + k;
    if (reply != 0 && (reply & 0xFF) != ops.PcBuffer[b])
      AddDifference(c, static_cast<uint32_t>(a), reply & 0xFF, b, ops.PcBuffer[b]);
    if ((a & 0xFF) == 0xFF) {
      if (e.EscDown()) {
        st.LinkStatus = kStatusAborted;
        failed = aborted = true;
      }
      if (failed) {
        e.Link().SendByte(1);
        break;
      }
      e.Link().SendByte(0);
      e.Link().ReceiveByte(kCompareReply);
    }
    ++st.ProgressCount;
  }
  return CompareEnd(e, dc, static_cast<uint32_t>(std::min<uint64_t>(a, ops.DeviceEnd)), failed, aborted);
}

int CompareStreamUsb(OperationEngine& e, ProgressTarget* dialog, CounterField* dc, CompareContext& c) {
  OpsState& ops = e.Ops();
  LinkState& st = e.State();
  if (!BufferHolds(ops, ops.PcBuffer) && Refuse(e)) return 1;
  e.Prog().SetStatusText("Comparing now!");
  if (e.Open(OP_READ_STREAM, true) != 0) return 1;
  StartStream(e, dialog, dc);
  bool failed = false, aborted = false;
  uint8_t block[256];
  uint32_t have = 0, used = 0;
  uint64_t a = ops.DeviceStart;
  for (; a <= ops.DeviceEnd; ++a) {
    const uint32_t k = static_cast<uint32_t>(a - ops.DeviceStart);
    if (a == ops.DeviceStart || (a & 0xFF) == 0) {
      const uint64_t left = uint64_t{ops.DeviceEnd} - a + 1;
      have = static_cast<uint32_t>(std::min<uint64_t>(256 - (a & 0xFF), left));
      used = 0;
      if (e.Link().ReadBlock(block, have) != 0) {
        failed = true;
        break;
      }
    }
    const uint8_t got = block[used++];
    if ((a & 0xFFFF) == 0) {
      e.DrawCounter(dc, static_cast<uint32_t>(a));
      e.ShowProgress(dialog);
    }
    const uint32_t b = ops.BufferStart + k;
    if (got != ops.PcBuffer[b]) AddDifference(c, static_cast<uint32_t>(a), got, b, ops.PcBuffer[b]);
    if ((a & 0xFFFF) == 0xFFFF) {
      if (e.EscDown()) {
        st.LinkStatus = kStatusAborted;
        failed = aborted = true;
        e.Link().SendByte(1);
        break;
      }
      e.Link().SendByte(0);
      e.Link().ReceiveByte(kCompareReply);
    }
    ++st.ProgressCount;
  }
  return CompareEnd(e, dc, static_cast<uint32_t>(std::min<uint64_t>(a, ops.DeviceEnd)), failed, aborted);
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
  st.ProgressTotal = static_cast<int32_t>(ops.DeviceEnd - ops.DeviceStart + 1);
  st.ProgressCount = 0;
  e.ShowProgress(dialog);
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
