#include "programmer/ops/worker_steps.h"

#include <algorithm>

namespace zolvek {

bool AbortOrGoOn(OperationEngine& e) {
  if (e.EscDown()) {
    e.Link().SendByte(1);
    e.State().LinkStatus = kStatusAborted;
    return true;
  }
  e.Link().SendByte(0);
  return false;
}

void StartAddressProgress(OperationEngine& e, ProgressTarget* dialog) {
  LinkState& st = e.State();
  st.ProgressTotal = static_cast<int32_t>(e.Ops().DeviceEnd - e.Ops().DeviceStart + 1);
  st.ProgressCount = 0;
  e.ShowProgress(dialog);
}

uint32_t StartPages(OperationEngine& e, CounterField* dc) {
  LinkState& st = e.State();
  e.DrawCounter(dc, e.Ops().DeviceStart);
  const uint32_t pages = e.PageCount();
  st.ProgressTotal = static_cast<int32_t>(pages);
  st.ProgressCount = 0;
  return pages;
}

bool StreamOut::Put(uint32_t address, uint8_t byte) {
  if (kind_ != StreamLink::Usb) {
    e_.Link().SendByte(byte);
    return true;
  }
  block_[held_++] = byte;
  if ((address & 0xFF) != 0xFF && address != e_.Ops().DeviceEnd) return true;
  const int r = e_.Link().WriteBlock(block_.data(), held_);
  held_ = 0;
  return r == 0;
}

StreamInEnd StreamIn(OperationEngine& e, ProgressTarget* dialog, CounterField* dc, StreamLink kind, uint32_t wait,
                     const std::function<void(uint32_t address, uint8_t byte)>& take) {
  LinkState& st = e.State();
  const OpsState& ops = e.Ops();
  ProgrammerLink& link = e.Link();
  StartAddressProgress(e, dialog);
  e.DrawCounter(dc, ops.DeviceStart);
  const uint32_t mark = ExchangeMask(kind);
  StreamInEnd end;
  std::array<uint8_t, 256> block{};
  std::size_t next = 0;
  uint64_t a64 = ops.DeviceStart;
  for (; a64 <= ops.DeviceEnd; ++a64) {
    const uint32_t a = static_cast<uint32_t>(a64);
    if (kind == StreamLink::Com) {
      if (AbortOrGoOn(e)) {
        end.failed = end.aborted = true;
        break;
      }
      if ((a & mark) == 0) {
        e.DrawCounter(dc, a);
        e.ShowProgress(dialog);
      }
      const uint16_t r = link.ReceiveByte(wait);
      if (!(r & 0x100)) {
        st.ErrorAddress = a;
        link.SendByte(1);
        link.MarkSpoiled();
        end.ended = true;
        return end;
      }
      take(a, static_cast<uint8_t>(r));
      ++st.ProgressCount;
      continue;
    }
    if (kind == StreamLink::Lpt) {
      link.SendByte(0);
      const uint16_t r = link.ReceiveByte(wait);
      if (r & 0x100)
        take(a, static_cast<uint8_t>(r));
      else
        end.failed = true;
    } else {
      if (a64 == ops.DeviceStart || (a & 0xFF) == 0) {
        const uint64_t left = uint64_t{ops.DeviceEnd} - a + 1;
        const std::size_t n = static_cast<std::size_t>(std::min<uint64_t>(0x100 - (a & 0xFF), left));
        if (link.ReadBlock(block.data(), n) != 0) {
          end.failed = true;
          break;
        }
        next = 0;
      }
      take(a, block[next++]);
    }
    if ((a & mark) == 0) {
      e.DrawCounter(dc, a);
      e.ShowProgress(dialog);
    }
    if ((a & mark) == mark) {
      if (e.EscDown()) {
        st.LinkStatus = kStatusAborted;
        end.failed = end.aborted = true;
      }
      // LPT answers a failed byte with the abort byte at the next exchange.
      if (end.failed) {
        link.SendByte(1);
        break;
      }
      link.SendByte(0);
      link.ReceiveByte(wait);
    }
    ++st.ProgressCount;
  }
  end.reached = static_cast<uint32_t>(std::min<uint64_t>(a64, ops.DeviceEnd));
  return end;
}

int BlockExchange(OperationEngine& e, uint8_t code, uint8_t block, uint32_t wait) {
  if (e.Open(code, true) != 0) return 1;
  e.Link().Delay(kParameterPauseMs);
  e.Link().SendByte(block);
  const uint16_t status = e.Link().ReceiveByte(wait);
  if (status == 0) return 1;
  if ((status & 0xFF) != 0) e.ReadErrorAddress(e.State().ErrorAddress);
  return status & 0xFF;
}

int FinishWorker(OperationEngine& e, CounterField* dc, const FinishRule& rule, bool failed, bool aborted) {
  LinkState& st = e.State();
  const uint16_t r = e.Link().ReceiveByte(rule.wait);
  if (aborted) {
    e.Link().MarkSpoiled();
    if (rule.drawOnAbort) e.DrawCounter(dc, st.ErrorAddress);
    return 1;
  }
  if (!(r & 0x100)) return 1;
  if ((r & 0xFF) != 0) {
    failed = true;
    if (rule.errorAddress != FinishRule::ErrorAddress::Keep && e.ReadErrorAddress(st.ErrorAddress) != 0 &&
        rule.errorAddress == FinishRule::ErrorAddress::FetchOrEnd)
      return 1;
  } else if (!failed) {
    st.ErrorAddress = e.Ops().DeviceEnd;
  }
  e.DrawCounter(dc, st.ErrorAddress);
  return failed ? 1 : 0;
}

}  // namespace zolvek
