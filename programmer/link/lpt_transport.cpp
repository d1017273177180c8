#include "programmer/link/lpt_transport.h"

#include <algorithm>

#include "platform/clock.h"
#include "programmer/link/poll_wait.h"

namespace zolvek {

namespace {
constexpr int kStrobe = 1;
constexpr int kAutoFeed = 14;
constexpr int kSelect = 13;
constexpr int kError = 15;
}  // namespace

bool LptTransport::PinHighWithin(int pin, uint32_t ms) {
  return PollFor(ms, [&] { return port_->GetPin(pin) ? Poll::Done : Poll::Wait; }) == Poll::Done;
}

void LptTransport::LptInit() {
  if (!IsOpen()) return;
  const uint8_t ecr = port_->ReadPort(Address(kEcrOffset));
  port_->WritePort(Address(kEcrOffset), static_cast<uint8_t>((ecr & 0x1F) | 0x20));
  port_->WritePort(Address(kDataOffset), 0xFF);
  port_->SetPin(kStrobe, true);
  port_->SetPin(kAutoFeed, false);
  port_->SetPin(kAutoFeed, true);
}

int LptTransport::LptSend(uint8_t byte) {
  if (!IsOpen()) return 0;
  if (!PinHighWithin(kError, state_.Timings.lptSendMs)) return 0;
  port_->WritePort(Address(kDataOffset), byte);
  port_->SetPin(kStrobe, false);
  port_->SetPin(kStrobe, true);
  return 1;
}

uint8_t LptTransport::TakeByte() {
  port_->SetPin(kAutoFeed, false);
  const uint8_t byte = port_->ReadPort(Address(kDataOffset));
  port_->SetPin(kAutoFeed, true);
  return byte;
}

uint16_t LptTransport::LptReceive(uint32_t waitCount) {
  if (!IsOpen()) return 0;
  port_->WritePort(Address(kControlOffset), kControlInput);
  for (uint64_t pass = 0; pass <= waitCount; ++pass) {
    if (PinHighWithin(kSelect, state_.Timings.lptPassMs)) {
      const uint8_t byte = TakeByte();
      port_->WritePort(Address(kControlOffset), kControlOutput);
      return static_cast<uint16_t>(0x100 | byte);
    }
    if (state_.BetweenPasses && !state_.BetweenPasses()) break;
  }
  port_->WritePort(Address(kControlOffset), kControlOutput);
  return 0;
}

int LptTransport::LptCommand(uint8_t code) {
  if (!LptSend('A') || !LptSend('T')) return kStatusNoPrompt;
  if (LptReceive(1) != (0x100 | 'O')) return kStatusNoPrompt;
  return LptSend(code) ? kStatusOk : kStatusNotSent;
}

bool LptTransport::LptScanPorts() {
  if (!port_) return false;
  if (!port_->IsOpen()) {
    platform::CurrentClock().Sleep(500);
    port_->Open();
  }
  if (!port_->IsOpen()) return false;
  state_.LptCount = port_->LptCount();
  if (state_.LptNumber > state_.LptCount || state_.LptNumber < 1) state_.LptNumber = port_->CurrentLpt();
  const int listed = std::min<int>(state_.LptCount, static_cast<int>(state_.LptBaseTable.size()));
  for (int n = 1; n <= listed; ++n) {
    port_->SelectLpt(static_cast<uint16_t>(n));
    state_.LptBaseTable[n - 1] = port_->LptBaseAddress();
  }
  port_->SelectLpt(static_cast<uint16_t>(state_.LptNumber));
  state_.LptBase = port_->LptBaseAddress();
  if (state_.LptNumber >= 1 && state_.LptNumber <= static_cast<int>(state_.LptBaseTable.size()))
    state_.LptBaseTable[state_.LptNumber - 1] = state_.LptBase;
  port_->Close();
  return true;
}

bool LptTransport::LptOpenLink() {
  if (!port_) return false;
  if (!port_->IsOpen()) port_->Open();
  if (!port_->IsOpen()) return false;
  port_->SetUp(0);
  port_->SelectLpt(static_cast<uint16_t>(state_.LptNumber));
  state_.LptBase = port_->LptBaseAddress();
  LptInit();
  return true;
}

void LptTransport::LptCloseLink() {
  if (!IsOpen()) return;
  port_->WritePort(Address(kDataOffset), 0);
  port_->SetPin(kStrobe, false);
  port_->SetPin(kAutoFeed, false);
  port_->Close();
}

uint16_t LptTransport::TableBase() const {
  if (state_.LptNumber < 1 || state_.LptNumber > static_cast<int>(state_.LptBaseTable.size())) return 0;
  return state_.LptBaseTable[state_.LptNumber - 1];
}

bool LptTransport::DrainQuiet(uint32_t quietMs, uint32_t limitMs) {
  if (!IsOpen()) return false;
  if (quietMs == 0 && !port_->GetPin(kSelect)) return true;  // nothing offered: leave the port alone
  port_->WritePort(Address(kControlOffset), kControlInput);
  const bool quiet = DrainUntilQuiet(limitMs, [&] {
    if (!PinHighWithin(kSelect, quietMs)) return Poll::Wait;
    TakeByte();
    return Poll::Done;
  });
  port_->WritePort(Address(kControlOffset), kControlOutput);
  return quiet;
}

}  // namespace zolvek
