#include "programmer/ops/check_workers.h"

#include "programmer/catalogue/catalogue.h"
#include "programmer/link/config_transfers.h"
#include "programmer/ops/worker_steps.h"

namespace zolvek {

namespace {

// A check ends with the programmer's error address after a failed status;
// nothing is drawn after an abort.
constexpr FinishRule kBlankFinish{check_wait::kFinal, FinishRule::ErrorAddress::Fetch, false};
constexpr FinishRule kVerifyFinish{check_wait::kFinal, FinishRule::ErrorAddress::FetchOrEnd, false};

// The page workers of blank check and verify. blank: a page without reply
// sets LinkStatus 3, and a failed fetch of the error address does not end it.
int CheckPages(OperationEngine& e, ProgressTarget* dialog, CounterField* dc, uint8_t code, bool blank) {
  LinkState& st = e.State();
  if (e.Open(code, true) != 0) return 1;
  const uint32_t pages = StartPages(e, dc);
  bool failed = false, aborted = false;
  for (uint32_t i = 0; i < pages; ++i) {
    if (AbortOrGoOn(e)) {
      failed = aborted = true;
      break;
    }
    st.ErrorAddress = e.PageAddress(i);
    e.DrawCounter(dc, st.ErrorAddress);
    e.ShowProgress(dialog);
    const uint16_t reply = e.Link().ReceiveByte(check_wait::kPage);
    if (reply == 0) {
      e.Link().SendByte(1);
      if (blank) st.LinkStatus = kStatusNotSent;
      e.Link().MarkSpoiled();
      return 1;
    }
    if ((reply & 0xFF) != 0) {
      failed = true;
      break;
    }
    ++st.ProgressCount;
  }
  return FinishWorker(e, dc, blank ? kBlankFinish : kVerifyFinish, failed, aborted);
}

// A stream worker refuses a zone it cannot stream: nothing is sent.
bool StreamZoneRefused(OperationEngine& e, CounterField* dc) {
  if (e.CheckTargetZone() && e.Ops().BufferKind.IsPcMemory()) return false;
  e.State().LinkStatus = kStatusRefused;
  e.State().ErrorAddress = e.Ops().DeviceStart;
  e.DrawCounter(dc, e.Ops().DeviceStart);
  return true;
}

// The stream verifies: PcBuffer sent over the link for the programmer to
// compare. COM opens with the marker 0xFF; a block without reply sends the
// abort byte and ends at once.
int VerifyStream(OperationEngine& e, ProgressTarget* dialog, CounterField* dc, StreamLink kind) {
  if (StreamZoneRefused(e, dc)) return 1;
  LinkState& st = e.State();
  const OpsState& ops = e.Ops();
  if (e.Open(OP_VERIFY_STREAM, kind != StreamLink::Com) != 0) return 1;
  if (kind == StreamLink::Com) {
    e.Link().SendByte(0xFF);
    e.Link().ReceiveByte(check_wait::kVerifyMarker);
  }
  StartAddressProgress(e, dialog);
  const uint32_t mark = ExchangeMask(kind);
  StreamOut out(e, kind);
  bool failed = false, aborted = false;
  for (uint64_t a = ops.DeviceStart; a <= ops.DeviceEnd; ++a) {
    if (!out.Put(static_cast<uint32_t>(a), e.PcByte(static_cast<uint32_t>(a - ops.DeviceStart)))) {
      failed = true;
      break;
    }
    st.ErrorAddress = static_cast<uint32_t>(a);
    if ((a & mark) == 0) {
      e.DrawCounter(dc, st.ErrorAddress);
      e.ShowProgress(dialog);
    }
    if ((a & mark) == mark) {
      if (AbortOrGoOn(e)) {
        failed = aborted = true;
        break;
      }
      const uint16_t block = e.Link().ReceiveByte(check_wait::kStreamBlock);
      if (block == 0 && kind == StreamLink::Com) {
        e.Link().SendByte(1);
        e.Link().MarkSpoiled();
        return 1;
      }
      if (block != 0x100) {
        failed = true;
        break;
      }
    }
    ++st.ProgressCount;
  }
  return FinishWorker(e, dc, kVerifyFinish, failed, aborted);
}

}  // namespace

int BlankCheckPages(OperationEngine& e, ProgressTarget* dialog, CounterField* dc) {
  return CheckPages(e, dialog, dc, OP_BLANK, true);
}

int VerifyFromBuffer(OperationEngine& e, ProgressTarget* dialog, CounterField* dc) {
  if (e.Ops().ByteSelect != 1) {
    e.State().LinkStatus = kStatusRefused;
    return 1;
  }
  return CheckPages(e, dialog, dc, OP_VERIFY, false);
}

int VerifyStreamCom(OperationEngine& e, ProgressTarget* dialog, CounterField* dc) {
  return VerifyStream(e, dialog, dc, StreamLink::Com);
}

int VerifyStreamLpt(OperationEngine& e, ProgressTarget* dialog, CounterField* dc) {
  return VerifyStream(e, dialog, dc, StreamLink::Lpt);
}

int VerifyStreamUsb(OperationEngine& e, ProgressTarget* dialog, CounterField* dc) {
  return VerifyStream(e, dialog, dc, StreamLink::Usb);
}

namespace {

int RunStream(OperationEngine& e, ProgressTarget* dialog, CounterField* dc) {
  switch (ChooseStreamWorker(e.Ops(), e.LinkKind())) {
    case StreamWorker::FromBuffer: return VerifyFromBuffer(e, dialog, dc);
    case StreamWorker::StreamLpt: return VerifyStreamLpt(e, dialog, dc);
    case StreamWorker::StreamUsb: return VerifyStreamUsb(e, dialog, dc);
    case StreamWorker::StreamCom: break;
  }
  return VerifyStreamCom(e, dialog, dc);
}

FrameSteps Steps(const char* text, bool fix43) {
  FrameSteps s;
  s.statusText = text;
  s.fix43 = fix43;
  return s;
}

FrameSteps BlockSteps(const char* text, FrameSteps::Zone zone) {
  FrameSteps s;
  s.zone = zone;
  s.statusText = text;
  s.fullProgress = false;
  return s;
}

}  // namespace

int BlankCheckBlockOp(OperationEngine& e, uint8_t block) {
  return BlockExchange(e, OP_BLANK_BLOCK, block, check_wait::kBlockOp);
}
int VerifyBlockOp(OperationEngine& e, uint8_t block) {
  return BlockExchange(e, OP_VERIFY_STREAM, block, check_wait::kBlockOp);
}

int BlankCheckDevice(OperationEngine& e, ProgressTarget* dialog, CounterField* dc) {
  return e.RunFrame(Steps("Blank checking now!", true), dialog, [&] { return BlankCheckPages(e, dialog, dc); });
}

int VerifyDevice(OperationEngine& e, ProgressTarget* dialog, CounterField* dc) {
  return e.RunFrame(Steps("Verifying now!", true), dialog, [&] { return RunStream(e, dialog, dc); });
}

int VerifyDeviceFromBuffer(OperationEngine& e, ProgressTarget* dialog, CounterField* dc) {
  return e.RunFrame(Steps("Verifying now!", false), dialog, [&] { return VerifyFromBuffer(e, dialog, dc); });
}

int BlankCheckBlock(OperationEngine& e, ProgressTarget* dialog, uint8_t block) {
  return e.RunFrame(BlockSteps("Blank checking now!", FrameSteps::Zone::Order), dialog,
                    [&] { return BlankCheckBlockOp(e, block); });
}

int VerifyBlock(OperationEngine& e, ProgressTarget* dialog, uint8_t block) {
  return e.RunFrame(BlockSteps("Verifying now!", FrameSteps::Zone::Full), dialog,
                    [&] { return VerifyBlockOp(e, block); });
}

MarginResult MarginVerify(OperationEngine& e, ProgressTarget* dialog, CounterField* dc, uint32_t profile,
                          const std::function<void(MarginStep)>& before) {
  auto step = [&](MarginStep s) {
    if (before) before(s);
  };
  if (profile == 0) {
    step(MarginStep::Single);
    const int r = VerifyDevice(e, dialog, dc);
    return {r, r ? MarginStep::Single : MarginStep::None};
  }
  if (profile >= VerifyVoltageRows) {
    e.State().LinkStatus = kStatusRefused;
    return {1, MarginStep::High};
  }
  const auto& row = VerifyVoltageTable[profile];
  step(MarginStep::High);
  ConfigTransfers(e.Cmd()).SetVerifyLevels(row[0], row[2], row[4]);
  if (VerifyDevice(e, dialog, dc) != 0) return {1, MarginStep::High};
  step(MarginStep::Low);
  ConfigTransfers(e.Cmd()).SetVerifyLevels(row[1], row[3], row[5]);
  if (VerifyDevice(e, dialog, dc) != 0) return {1, MarginStep::Low};
  return {0, MarginStep::None};
}

}  // namespace zolvek
