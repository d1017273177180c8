#include "programmer/link/usb_transport.h"

#include <algorithm>
#include <vector>

#include "programmer/link/poll_wait.h"

namespace zolvek {

bool UsbTransport::WaitTxEmpty(uint32_t ms) {
  return PollFor(ms, [&] {
           FtCount rx, tx, events;
           if (api_->FT_GetStatus(state_.UsbHandle, rx.get(), tx.get(), events.get()) != FT_OK) return Poll::Fail;
           return tx.value() == 0 ? Poll::Done : Poll::Wait;
         }) == Poll::Done;
}

Poll UsbTransport::WaitQueued(uint32_t ms, FtCount& rx) {
  return PollFor(ms, [&] {
    if (api_->FT_GetQueueStatus(state_.UsbHandle, rx.get()) != FT_OK) return Poll::Fail;
    return rx.value() > 0 ? Poll::Done : Poll::Wait;
  });
}

int UsbTransport::UsbSend(uint8_t byte) { return UsbWriteBlock(&byte, 1) == 0 ? 1 : 0; }

uint16_t UsbTransport::UsbReceive(uint32_t waitCount) {
  if (!IsOpen()) return 0;
  for (uint64_t pass = 0; pass <= waitCount; ++pass) {
    FtCount rx;
    const Poll queued = WaitQueued(state_.Timings.usbPassMs, rx);
    if (queued == Poll::Fail) return 0;
    if (queued == Poll::Done) {
      uint8_t byte = 0;
      FtCount got;
      if (api_->FT_Read(state_.UsbHandle, &byte, 1, got.get()) != FT_OK || got.value() != 1) return 0;
      return static_cast<uint16_t>(0x100 | byte);
    }
    if (state_.BetweenPasses && !state_.BetweenPasses()) break;
  }
  return 0;
}

int UsbTransport::UsbWriteBlock(const uint8_t* buffer, std::size_t n) {
  if (!IsOpen()) return 1;
  if (n == 0) return 0;
  if (!WaitTxEmpty(state_.Timings.usbSendMs)) return 1;
  FtCount written;
  const FT_STATUS s =
      api_->FT_Write(state_.UsbHandle, const_cast<uint8_t*>(buffer), static_cast<FT_DWORD>(n), written.get());
  return s == FT_OK && written.value() == n ? 0 : 1;
}

int UsbTransport::UsbReadBlock(uint8_t* buffer, std::size_t n) {
  if (!IsOpen()) return 1;
  if (n == 0) return 0;
  const Poll queued = PollFor(state_.Timings.usbBlockMs, [&] {
    FtCount rx, tx, events;
    if (api_->FT_GetStatus(state_.UsbHandle, rx.get(), tx.get(), events.get()) != FT_OK) return Poll::Fail;
    return rx.value() >= n ? Poll::Done : Poll::Wait;
  });
  if (queued != Poll::Done) return 1;
  FtCount got;
  const FT_STATUS s = api_->FT_Read(state_.UsbHandle, buffer, static_cast<FT_DWORD>(n), got.get());
  return s == FT_OK && got.value() == n ? 0 : 1;
}

int UsbTransport::UsbCommand(uint8_t code) {
  if (!UsbSend('A') || !UsbSend('T')) return kStatusNoPrompt;
  if (UsbReceive(1) != (0x100 | 'O')) return kStatusNoPrompt;
  return UsbSend(code) ? kStatusOk : kStatusNotSent;
}

bool UsbTransport::UsbReset() {
  if (!IsOpen()) return false;
  bool ok = api_->FT_ResetDevice(state_.UsbHandle) == FT_OK;
  ok = api_->FT_Purge(state_.UsbHandle, FT_PURGE_RX_TX) == FT_OK && ok;
  ok = api_->FT_SetTimeouts(state_.UsbHandle, kDeviceTimeoutMs, kDeviceTimeoutMs) == FT_OK && ok;
  return ok;
}

void UsbTransport::UsbClose() {
  if (IsOpen()) api_->FT_Close(state_.UsbHandle);
  state_.UsbOpen = false;
  state_.UsbHandle = nullptr;
}

bool UsbTransport::DrainQuiet(uint32_t quietMs, uint32_t limitMs) {
  if (!IsOpen()) return false;
  if (quietMs == 0) {
    FtCount rx;
    if (api_->FT_GetQueueStatus(state_.UsbHandle, rx.get()) == FT_OK && rx.value() == 0) return true;
  }
  const bool quiet = DrainUntilQuiet(limitMs, [&] {
    FtCount rx;
    const Poll queued = WaitQueued(quietMs, rx);
    if (queued != Poll::Done) return queued;
    std::vector<uint8_t> drop(std::min<uint32_t>(rx.value(), 0x10000));
    FtCount got;
    if (api_->FT_Read(state_.UsbHandle, drop.data(), static_cast<FT_DWORD>(drop.size()), got.get()) != FT_OK)
      return Poll::Fail;
    return Poll::Done;
  });
  // Input only: bytes we wrote may still be on their way out.
  api_->FT_Purge(state_.UsbHandle, FT_PURGE_RX);
  return quiet;
}

}  // namespace zolvek
