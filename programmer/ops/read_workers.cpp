#include "programmer/ops/read_workers.h"

#include <algorithm>
#include <array>

namespace zolvek {

namespace {

// The final status of a read: after an abort or without a reply 1; a status
// other than 0 fails (the address stays the one reached); success puts
// DeviceEnd in ErrorAddress. Draws ErrorAddress.
int FinishRead(OperationEngine& e, CounterField* dc, bool failed, bool aborted) {
  LinkState& st = e.State();
  const uint16_t r = e.Link().ReceiveByte(read_wait::kReply);
  if (aborted) {
    e.Link().MarkSpoiled();
    e.DrawCounter(dc, st.ErrorAddress);
    return 1;
  }
  if (!(r & 0x100)) return 1;
  if ((r & 0xFF) != 0) failed = true;
  if (!failed) st.ErrorAddress = e.Ops().DeviceEnd;
  e.DrawCounter(dc, st.ErrorAddress);
  return failed ? 1 : 0;
}

void Store(OperationEngine& e, uint32_t k, uint8_t byte) { e.Ops().PcBuffer[e.BufferIndex(k)] = byte; }

void OpenStream(OperationEngine& e, ProgressTarget* dialog, CounterField* dc) {
  LinkState& st = e.State();
  st.ProgressTotal = static_cast<int32_t>(e.Ops().DeviceEnd - e.Ops().DeviceStart + 1);
  st.ProgressCount = 0;
  e.ShowProgress(dialog);
  e.DrawCounter(dc, e.Ops().DeviceStart);
}

}  // namespace

int ReadToBuffer(OperationEngine& e, ProgressTarget* dialog, CounterField* dc) {
  LinkState& st = e.State();
  ProgrammerLink& link = e.Link();
  if (e.Open(OP_READ, true) != 0) return 1;
  e.DrawCounter(dc, e.Ops().DeviceStart);
  const uint32_t pages = e.PageCount();
  st.ProgressTotal = static_cast<int32_t>(pages);
  st.ProgressCount = 0;
  bool aborted = false;
  for (uint32_t i = 0; i < pages; ++i) {
    if (e.EscDown()) {
      link.SendByte(1);
      st.LinkStatus = kStatusAborted;
      aborted = true;
      break;
    }
    link.SendByte(0);
    st.ErrorAddress = e.PageAddress(i);
    e.DrawCounter(dc, st.ErrorAddress);
    e.ShowProgress(dialog);
    if (!(link.ReceiveByte(read_wait::kReply) & 0x100)) {
      link.SendByte(1);
      link.MarkSpoiled();
      return 1;
    }
    ++st.ProgressCount;
  }
  return FinishRead(e, dc, aborted, aborted);
}

int ReadStreamCom(OperationEngine& e, ProgressTarget* dialog, CounterField* dc) {
  LinkState& st = e.State();
  OpsState& ops = e.Ops();
  ProgrammerLink& link = e.Link();
  if (e.Open(OP_READ_STREAM, false) != 0) return 1;
  OpenStream(e, dialog, dc);
  bool aborted = false;
  uint64_t a64 = ops.DeviceStart;
  for (; a64 <= ops.DeviceEnd; ++a64) {
    const uint32_t a = static_cast<uint32_t>(a64);
    if (e.EscDown()) {
      link.SendByte(1);
      st.LinkStatus = kStatusAborted;
      aborted = true;
      break;
    }
    link.SendByte(0);
    if ((a & 0xFF) == 0) {
      e.DrawCounter(dc, a);
      e.ShowProgress(dialog);
    }
    const uint16_t r = link.ReceiveByte(read_wait::kReply);
    if (!(r & 0x100)) {
      st.ErrorAddress = a;
      link.SendByte(1);
      link.MarkSpoiled();
      return 1;
    }
    Store(e, a - ops.DeviceStart, static_cast<uint8_t>(r));
    ++st.ProgressCount;
  }
  st.ErrorAddress = static_cast<uint32_t>(std::min<uint64_t>(a64, ops.DeviceEnd));
  return FinishRead(e, dc, aborted, aborted);
}

int ReadStreamLpt(OperationEngine& e, ProgressTarget* dialog, CounterField* dc) {
  LinkState& st = e.State();
  OpsState& ops = e.Ops();
  ProgrammerLink& link = e.Link();
  if (e.Open(OP_READ_STREAM, true) != 0) return 1;
  OpenStream(e, dialog, dc);
  bool failed = false, aborted = false;
  uint64_t a64 = ops.DeviceStart;
  for (; a64 <= ops.DeviceEnd; ++a64) {
    const uint32_t a = static_cast<uint32_t>(a64);
    link.SendByte(0);
    const uint16_t r = link.ReceiveByte(read_wait::kReply);
    if (r & 0x100) {
      Store(e, a - ops.DeviceStart, static_cast<uint8_t>(r));
    } else {
      failed = true;
    }
    if ((a & 0xFF) == 0) {
      e.DrawCounter(dc, a);
      e.ShowProgress(dialog);
    }
    if ((a & 0xFF) == 0xFF) {
      if (e.EscDown()) {
        st.LinkStatus = kStatusAborted;
        failed = aborted = true;
      }
      if (failed) {
        link.SendByte(1);
        break;
      }
      link.SendByte(0);
      link.ReceiveByte(read_wait::kReply);
    }
    ++st.ProgressCount;
  }
  st.ErrorAddress = static_cast<uint32_t>(std::min<uint64_t>(a64, ops.DeviceEnd));
  if (failed && !aborted) link.MarkSpoiled();
  return FinishRead(e, dc, failed, aborted);
}

int ReadStreamUsb(OperationEngine& e, ProgressTarget* dialog, CounterField* dc) {
  LinkState& st = e.State();
  OpsState& ops = e.Ops();
  ProgrammerLink& link = e.Link();
  if (e.Open(OP_READ_STREAM, true) != 0) return 1;
  OpenStream(e, dialog, dc);
  bool failed = false, aborted = false;
  std::array<uint8_t, 256> block{};
  std::size_t next = 0;
  uint64_t a64 = ops.DeviceStart;
  for (; a64 <= ops.DeviceEnd; ++a64) {
    const uint32_t a = static_cast<uint32_t>(a64);
    if (a64 == ops.DeviceStart || (a & 0xFF) == 0) {
      const uint64_t left = uint64_t{ops.DeviceEnd} - a + 1;
      const uint64_t toBoundary = 0x100 - (a & 0xFF);
      const std::size_t n = static_cast<std::size_t>(std::min(left, toBoundary));
      if (link.ReadBlock(block.data(), n) != 0) {
        failed = true;
        break;
      }
      next = 0;
    }
    Store(e, a - ops.DeviceStart, block[next++]);
    if ((a & 0xFFFF) == 0) {
      e.DrawCounter(dc, a);
      e.ShowProgress(dialog);
    }
    if ((a & 0xFFFF) == 0xFFFF) {
      if (e.EscDown()) {
        st.LinkStatus = kStatusAborted;
        failed = aborted = true;
        link.SendByte(1);
        break;
      }
      link.SendByte(0);
      link.ReceiveByte(read_wait::kReply);
    }
    ++st.ProgressCount;
  }
  st.ErrorAddress = static_cast<uint32_t>(std::min<uint64_t>(a64, ops.DeviceEnd));
  if (failed && !aborted) link.MarkSpoiled();
  return FinishRead(e, dc, failed, aborted);
}

}  // namespace zolvek
