#include "programmer/link/programmer_link.h"

#include <algorithm>

#include "platform/clock.h"

namespace zolvek {

ProgrammerLink::ProgrammerLink(LinkState& state, SerialOpener opener)
    : state_(state), com_(state, std::move(opener)), lpt_(state), usb_(state) {}

uint32_t ProgrammerLink::WaitMs(uint32_t waitCount) const {
  const LinkTimings& t = state_.Timings;
  const uint32_t pass = state_.LinkKind == kLinkUsb   ? t.usbPassMs
                        : state_.LinkKind == kLinkLpt ? t.lptPassMs
                                                      : t.comPassMs;
  const uint64_t ms = (static_cast<uint64_t>(waitCount) + 1) * pass;
  return ms > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(ms);
}

void ProgrammerLink::Spoil(uint32_t replyMs) {
  const LinkTimings& t = state_.Timings;
  const uint32_t quiet = std::min(std::max(replyMs, t.quietMs), std::max(t.quietMaxMs, t.quietMs));
  quietMs_ = std::max(quietMs_, quiet);
}

int ProgrammerLink::SendByte(uint8_t byte) {
  int sent = 0;
  switch (state_.LinkKind) {
    case kLinkUsb: sent = usb_.UsbSend(byte); break;
    case kLinkLpt: sent = lpt_.LptSend(byte); break;
    default: sent = com_.ComSend(byte); break;
  }
  if (!sent) MarkSpoiled();
  return sent;
}

uint16_t ProgrammerLink::ReceiveByte(uint32_t waitCount) {
  uint16_t r = 0;
  switch (state_.LinkKind) {
    case kLinkUsb: r = usb_.UsbReceive(waitCount); break;
    case kLinkLpt: r = lpt_.LptReceive(waitCount); break;
    default: r = com_.ComReceive(waitCount); break;
  }
  if (r == 0) Spoil(WaitMs(waitCount));
  return r;
}

void ProgrammerLink::Resynchronise() {
  const LinkTimings& t = state_.Timings;
  const uint32_t quiet = quietMs_;
  switch (state_.LinkKind) {
    case kLinkUsb: usb_.DrainQuiet(quiet, t.quietLimitMs); break;
    case kLinkLpt: lpt_.DrainQuiet(quiet, t.quietLimitMs); break;
    default: com_.DrainQuiet(quiet, t.quietLimitMs); break;
  }
  quietMs_ = 0;
}

int ProgrammerLink::SendCommand(uint8_t code) {
  Resynchronise();
  int status = kStatusOk;
  switch (state_.LinkKind) {
    case kLinkUsb: status = usb_.UsbCommand(code); break;
    case kLinkLpt: status = lpt_.LptCommand(code); break;
    default: status = com_.ComCommand(code); break;
  }
  if (status != kStatusOk)
    Spoil(state_.LinkKind == kLinkUsb || state_.LinkKind == kLinkLpt ? WaitMs(1) : state_.Timings.comPromptMs);
  return status;
}

void ProgrammerLink::CloseAll() {
  com_.ComClose();
  lpt_.LptCloseLink();
  usb_.UsbClose();
  quietMs_ = 0;
}

int ProgrammerLink::WriteBlock(const uint8_t* buffer, std::size_t n) {
  const int r = IsUsb() ? usb_.UsbWriteBlock(buffer, n) : 1;
  if (r) MarkSpoiled();
  return r;
}

int ProgrammerLink::ReadBlock(uint8_t* buffer, std::size_t n) {
  const int r = IsUsb() ? usb_.UsbReadBlock(buffer, n) : 1;
  if (r) Spoil(state_.Timings.usbBlockMs);
  return r;
}

void Delay(uint16_t ms) {
  platform::Clock& clock = platform::CurrentClock();
  const uint32_t start = clock.Tick();
  for (uint32_t elapsed = 0; elapsed < ms; elapsed = clock.Tick() - start) clock.Sleep(ms - elapsed);
}

}  // namespace zolvek
