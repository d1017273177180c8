#include "programmer/ops/read_workers.h"

#include "programmer/ops/worker_steps.h"

namespace zolvek {

namespace {

// A read ends keeping the address reached, drawn after an abort too.
constexpr FinishRule kReadFinish{read_wait::kReply, FinishRule::ErrorAddress::Keep, true};

int ReadStream(OperationEngine& e, ProgressTarget* dialog, CounterField* dc, StreamLink kind) {
  if (!e.Admissible()) return 1;
  if (e.Open(OP_READ_STREAM, kind != StreamLink::Com) != 0) return 1;
  const uint32_t start = e.Ops().DeviceStart;
  const StreamInEnd end =
      StreamIn(e, dialog, dc, kind, read_wait::kReply, [&](uint32_t a, uint8_t byte) { e.PcByte(a - start) = byte; });
  if (end.ended) return 1;
  e.State().ErrorAddress = end.reached;
  if (end.failed && !end.aborted) e.Link().MarkSpoiled();
  return FinishWorker(e, dc, kReadFinish, end.failed, end.aborted);
}

}  // namespace

int ReadToBuffer(OperationEngine& e, ProgressTarget* dialog, CounterField* dc) {
  LinkState& st = e.State();
  ProgrammerLink& link = e.Link();
  if (!e.Admissible()) return 1;
  if (e.Open(OP_READ, true) != 0) return 1;
  const uint32_t pages = StartPages(e, dc);
  bool aborted = false;
  for (uint32_t i = 0; i < pages; ++i) {
    if (AbortOrGoOn(e)) {
      aborted = true;
      break;
    }
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
  return FinishWorker(e, dc, kReadFinish, aborted, aborted);
}

int ReadStreamCom(OperationEngine& e, ProgressTarget* dialog, CounterField* dc) {
  return ReadStream(e, dialog, dc, StreamLink::Com);
}

int ReadStreamLpt(OperationEngine& e, ProgressTarget* dialog, CounterField* dc) {
  return ReadStream(e, dialog, dc, StreamLink::Lpt);
}

int ReadStreamUsb(OperationEngine& e, ProgressTarget* dialog, CounterField* dc) {
  return ReadStream(e, dialog, dc, StreamLink::Usb);
}

}  // namespace zolvek
