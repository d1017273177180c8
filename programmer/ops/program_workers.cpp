#include "programmer/ops/program_workers.h"

#include <cstring>

#include "programmer/ops/worker_steps.h"

namespace zolvek {

namespace {

constexpr uint16_t kByte0 = 0x100;  // ReceiveByte's value for a reply byte 0

// A programming worker ends fetching the programmer's error address after a
// failed status (a failed fetch ends with 1) and draws after an abort too.
constexpr FinishRule kProgramFinish{program_wait::kFinal, FinishRule::ErrorAddress::FetchOrEnd, true};

}  // namespace

int ProgramFromBuffer(OperationEngine& e, ProgressTarget* dialog, CounterField* dc) {
  LinkState& st = e.State();
  OpsState& ops = e.Ops();
  ProgrammerLink& link = e.Link();
  st.ErrorAddress = 0;
  if (!e.Admissible()) return 1;
  if (e.Open(OP_PROGRAM, true) != 0) return 1;
  const uint32_t pages = StartPages(e, dc);
  bool failed = false, aborted = false;
  uint32_t acknowledged = 0;
  for (uint32_t i = 0; i < pages; ++i) {
    if (AbortOrGoOn(e)) {
      failed = aborted = true;
      break;
    }
    st.ErrorAddress = e.PageAddress(i);
    e.DrawCounter(dc, st.ErrorAddress);
    e.ShowProgress(dialog);
    if (link.ReceiveByte(program_wait::kPage) != kByte0) {
      failed = true;
      break;
    }
    ++acknowledged;
    ++st.ProgressCount;
  }
  const uint16_t r = link.ReceiveByte(program_wait::kPage);
  if (aborted) {
    link.MarkSpoiled();
    return 1;
  }
  if (!(r & 0x100)) return 1;
  if ((r & 0xFF) != 0) {
    failed = true;
    if (e.ReadErrorAddress(st.ErrorAddress) != 0) return 1;
  }
  const DeviceTypeRecord* device = ops.CurrentDevice();
  if (device && device->bufferKind == 0) st.ErrorAddress += (acknowledged & 0x300) << 8;
  if (!failed) st.ErrorAddress = ops.DeviceEnd;
  e.DrawCounter(dc, st.ErrorAddress);
  return failed ? 1 : 0;
}

int ProgramFromBufferPasses(OperationEngine& e, ProgressTarget* dialog, CounterField* dc) {
  LinkState& st = e.State();
  OpsState& ops = e.Ops();
  ProgrammerLink& link = e.Link();
  st.ErrorAddress = 0;
  const uint8_t code = ops.ByteSelect == 2 ? OP_PROGRAM_EVEN : ops.ByteSelect == 4 ? OP_PROGRAM_ODD : OP_PROGRAM;
  if (!e.Admissible()) return 1;
  if (e.Open(code, true) != 0) return 1;
  bool failed = false, aborted = false;
  for (int pass = 1;; ++pass) {
    link.SendByte(0);
    link.ReceiveByte(program_wait::kFinal);
    e.DrawCounter(dc, ops.DeviceStart);
    const uint32_t pages = e.SmallPageCount();
    st.ProgressCount = 0;
    st.ProgressTotal = static_cast<int32_t>(pages);
    e.ShowProgress(dialog);
    for (uint32_t i = 0; i < pages; ++i) {
      if (e.EscDown()) {
        link.SendByte(1);
        link.SendByte(1);
        st.LinkStatus = kStatusAborted;
        failed = aborted = true;
        break;
      }
      link.SendByte(0);
      st.ErrorAddress = e.SmallPageAddress(i);
      e.DrawCounter(dc, st.ErrorAddress);
      e.ShowProgress(dialog);
      if (link.ReceiveByte(program_wait::kPassPage) != kByte0) failed = true;
      // A failure ends this and every later page loop after its first page.
      if (failed) break;
      ++st.ProgressCount;
    }
    if (aborted) break;
    link.SendByte(0);
    const uint8_t status = static_cast<uint8_t>(link.ReceiveByte(program_wait::kPassStatus));
    if (status == 0 || status == 2) {
      link.SendByte(1);
      break;
    }
    if (pass >= 10) {
      if (!failed) link.SendByte(1);
      break;
    }
  }
  st.ProgressCount = st.ProgressTotal;
  e.ShowProgress(dialog);
  return FinishWorker(e, dc, kProgramFinish, failed, aborted);
}

int ProgramFromBufferVerified(OperationEngine& e, ProgressTarget* dialog, CounterField* dc) {
  LinkState& st = e.State();
  OpsState& ops = e.Ops();
  ProgrammerLink& link = e.Link();
  st.ErrorAddress = 0;
  if (!e.Admissible()) return 1;
  if (e.Open(OP_PROGRAM, true) != 0) return 1;
  const uint32_t pages = e.SmallPageCount();

  auto failureExit = [&]() {
    link.ReceiveByte(program_wait::kPage);
    const char* maker = ManufacturerName(ops.SelectedMfr);
    if (maker && std::strcmp(maker, "HYNIX") == 0 && ops.SelectedType[ops.SelectedMfr] == 23) {
      e.ReadErrorAddress(st.ErrorAddress);
    }
    if (st.LinkStatus == kStatusAborted) link.MarkSpoiled();
    return 1;
  };
  // One check pass; true when every page answered 0. `goOn`: a failed page
  // does not end the pass.
  auto checkPass = [&](bool goOn) {
    bool ok = true;
    for (uint32_t j = 0; j < pages; ++j) {
      if (AbortOrGoOn(e)) return false;
      st.ErrorAddress = (j & 0xFF) << 8;
      e.DrawCounter(dc, st.ErrorAddress, "  ");
      if (link.ReceiveByte(program_wait::kPassPage) != kByte0) {
        ok = false;
        if (!goOn) return false;
      }
    }
    return ok;
  };

  bool checked = false;
  for (int cycle = 1; cycle <= 4 && !checked; ++cycle) {
    for (uint32_t i = 0; i < pages; ++i) {
      if (AbortOrGoOn(e)) return failureExit();
      st.ErrorAddress = e.SmallPageAddress(i);
      e.DrawCounter(dc, st.ErrorAddress);
      st.ProgressCount = 0;
      st.ProgressTotal = static_cast<int32_t>(ops.DeviceEnd - ops.DeviceStart + 1);
      e.ShowProgress(dialog);
      if (!(link.ReceiveByte(program_wait::kPassPage) & 0x100)) return failureExit();
    }
    const uint16_t passReply = link.ReceiveByte(program_wait::kPassPage);
    link.SendByte('U');
    if (passReply != 0x1AA) {
      link.MarkSpoiled();
      return 1;
    }
    checked = checkPass(false);
    if (!checked && cycle == 4) return failureExit();
  }
  const bool closingOk = checkPass(true);
  const uint16_t passReply = link.ReceiveByte(program_wait::kPassPage);
  link.SendByte('U');
  if (passReply != 0x1AA || !closingOk) {
    if (passReply != 0x1AA || st.LinkStatus == kStatusAborted) link.MarkSpoiled();
    return 1;
  }
  if (link.ReceiveByte(program_wait::kPage) != kByte0) return 1;
  st.ErrorAddress = ops.DeviceEnd;
  e.DrawCounter(dc, st.ErrorAddress);
  return 0;
}

namespace {

int ProgramStream(OperationEngine& e, ProgressTarget* dialog, CounterField* dc, StreamLink kind) {
  LinkState& st = e.State();
  OpsState& ops = e.Ops();
  ProgrammerLink& link = e.Link();
  st.ErrorAddress = 0;
  if (!e.Admissible()) return 1;
  if (e.Open(OP_PROGRAM_STREAM, kind != StreamLink::Com) != 0) return 1;
  e.DrawCounter(dc, ops.DeviceStart);
  StartAddressProgress(e, dialog);
  const uint32_t mark = ExchangeMask(kind);
  StreamOut out(e, kind);
  bool failed = false, aborted = false;
  for (uint64_t a64 = ops.DeviceStart; a64 <= ops.DeviceEnd; ++a64) {
    const uint32_t a = static_cast<uint32_t>(a64);
    if (!out.Put(a, e.PcByte(a - ops.DeviceStart))) {
      failed = true;
      break;
    }
    st.ErrorAddress = a;
    if ((a & mark) == 0) {
      e.DrawCounter(dc, a);
      e.ShowProgress(dialog);
    }
    if (kind == StreamLink::Com && link.ReceiveByte(program_wait::kStreamByte) != kByte0) failed = true;
    if ((a & mark) == mark) {
      if (AbortOrGoOn(e))
        failed = aborted = true;
      else if (link.ReceiveByte(program_wait::kStreamByte) != kByte0)
        failed = true;
    }
    if (failed) break;
    ++st.ProgressCount;
  }
  st.ProgressCount = st.ProgressTotal;
  e.ShowProgress(dialog);
  return FinishWorker(e, dc, kProgramFinish, failed, aborted);
}

}  // namespace

int ProgramStreamCom(OperationEngine& e, ProgressTarget* dialog, CounterField* dc) {
  return ProgramStream(e, dialog, dc, StreamLink::Com);
}

int ProgramStreamLpt(OperationEngine& e, ProgressTarget* dialog, CounterField* dc) {
  return ProgramStream(e, dialog, dc, StreamLink::Lpt);
}

int ProgramStreamUsb(OperationEngine& e, ProgressTarget* dialog, CounterField* dc) {
  return ProgramStream(e, dialog, dc, StreamLink::Usb);
}

int ProgramBlockOp(OperationEngine& e, uint8_t block) {
  return BlockExchange(e, OP_PROGRAM_STREAM, block, program_wait::kBlock);
}

}  // namespace zolvek
