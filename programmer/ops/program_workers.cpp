#include "programmer/ops/program_workers.h"

#include <array>
#include <cstring>

namespace zolvek {

namespace {

constexpr uint16_t kByte0 = 0x100;  // ReceiveByte's value for a reply byte 0

// The final status of a programming worker after its data phase: no reply
// fails; a status other than 0 fails and fetches the programmer's error
// address; success puts DeviceEnd in ErrorAddress. Draws ErrorAddress.
int FinishProgram(OperationEngine& e, CounterField* dc, uint32_t wait, bool failed, bool aborted) {
  LinkState& st = e.State();
  const uint16_t r = e.Link().ReceiveByte(wait);
  if (aborted) {
    e.Link().MarkSpoiled();
    e.DrawCounter(dc, st.ErrorAddress);
    return 1;
  }
  if (!(r & 0x100)) return 1;
  if ((r & 0xFF) != 0) {
    failed = true;
    if (e.ReadErrorAddress(st.ErrorAddress) != 0) return 1;
  } else if (!failed) {
    st.ErrorAddress = e.Ops().DeviceEnd;
  }
  e.DrawCounter(dc, st.ErrorAddress);
  return failed ? 1 : 0;
}

uint8_t BufferByte(OperationEngine& e, uint32_t k) { return e.Ops().PcBuffer[e.BufferIndex(k)]; }

}  // namespace

int ProgramFromBuffer(OperationEngine& e, ProgressTarget* dialog, CounterField* dc) {
  LinkState& st = e.State();
  OpsState& ops = e.Ops();
  ProgrammerLink& link = e.Link();
  st.ErrorAddress = 0;
  if (e.Open(OP_PROGRAM, true) != 0) return 1;
  e.DrawCounter(dc, ops.DeviceStart);
  const uint32_t pages = e.PageCount();
  st.ProgressTotal = static_cast<int32_t>(pages);
  st.ProgressCount = 0;
  bool failed = false, aborted = false;
  uint32_t acknowledged = 0;
  for (uint32_t i = 0; i < pages; ++i) {
    if (e.EscDown()) {
      link.SendByte(1);
      st.LinkStatus = kStatusAborted;
      failed = aborted = true;
      break;
    }
    link.SendByte(0);
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
  return FinishProgram(e, dc, program_wait::kFinal, failed, aborted);
}

int ProgramFromBufferVerified(OperationEngine& e, ProgressTarget* dialog, CounterField* dc) {
  LinkState& st = e.State();
  OpsState& ops = e.Ops();
  ProgrammerLink& link = e.Link();
  st.ErrorAddress = 0;
  if (e.Open(OP_PROGRAM, true) != 0) return 1;
  const uint32_t pages = e.SmallPageCount();

  auto failureExit = [&]() {
    link.ReceiveByte(program_wait::kPage);
    const DeviceTypeRecord* device = ops.CurrentDevice();
    if (device && device->family == 0x26 && std::strcmp(device->name, "HMS99C52") == 0) {
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
      if (e.EscDown()) {
        link.SendByte(1);
        st.LinkStatus = kStatusAborted;
        return false;
      }
      link.SendByte(0);
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
      if (e.EscDown()) {
        link.SendByte(1);
        st.LinkStatus = kStatusAborted;
        return failureExit();
      }
      link.SendByte(0);
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

enum class StreamLink { Com, Lpt, Usb };

int ProgramStream(OperationEngine& e, ProgressTarget* dialog, CounterField* dc, StreamLink kind) {
  LinkState& st = e.State();
  OpsState& ops = e.Ops();
  ProgrammerLink& link = e.Link();
  st.ErrorAddress = 0;
  if (e.Open(OP_PROGRAM_STREAM, kind != StreamLink::Com) != 0) return 1;
  e.DrawCounter(dc, ops.DeviceStart);
  st.ProgressTotal = static_cast<int32_t>(ops.DeviceEnd - ops.DeviceStart + 1);
  st.ProgressCount = 0;
  e.ShowProgress(dialog);
  const uint32_t mark = kind == StreamLink::Usb ? 0xFFFF : 0xFF;
  bool failed = false, aborted = false;
  std::array<uint8_t, 256> block{};
  std::size_t held = 0;
  for (uint64_t a64 = ops.DeviceStart; a64 <= ops.DeviceEnd; ++a64) {
    const uint32_t a = static_cast<uint32_t>(a64);
    const uint8_t byte = BufferByte(e, a - ops.DeviceStart);
    if (kind == StreamLink::Usb) {
      block[held++] = byte;
      if ((a & 0xFF) == 0xFF || a == ops.DeviceEnd) {
        const int r = link.WriteBlock(block.data(), held);
        held = 0;
        if (r != 0) {
          failed = true;
          break;
        }
      }
    } else {
      link.SendByte(byte);
    }
    st.ErrorAddress = a;
    if ((a & mark) == 0) {
      e.DrawCounter(dc, a);
      e.ShowProgress(dialog);
    }
    if (kind == StreamLink::Com && link.ReceiveByte(program_wait::kStreamByte) != kByte0) failed = true;
    if ((a & mark) == mark) {
      if (e.EscDown()) {
        link.SendByte(1);
        st.LinkStatus = kStatusAborted;
        failed = aborted = true;
      } else {
        link.SendByte(0);
        if (link.ReceiveByte(program_wait::kStreamByte) != kByte0) failed = true;
      }
    }
    if (failed) break;
    ++st.ProgressCount;
  }
  st.ProgressCount = st.ProgressTotal;
  e.ShowProgress(dialog);
  return FinishProgram(e, dc, program_wait::kFinal, failed, aborted);
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
  LinkState& st = e.State();
  if (e.Open(OP_PROGRAM_STREAM, true) != 0) return 1;
  e.Link().Delay(program_wait::kBlockNumberPauseMs);
  e.Link().SendByte(block);
  const uint16_t r = e.Link().ReceiveByte(program_wait::kBlock);
  if (!(r & 0x100)) return 1;
  const uint8_t status = static_cast<uint8_t>(r);
  if (status != 0) e.ReadErrorAddress(st.ErrorAddress);
  return status;
}

}  // namespace zolvek
