#include "ide/link/tx_rom.h"

#include <algorithm>

#include "platform/clock.h"

namespace vx930 {

TTxROM::~TTxROM() {
  Terminate();
  Join();
}

void TTxROM::Start() {
  if (thread_.joinable()) return;
  thread_ = std::thread([this] { Execute(); });
}

void TTxROM::Join() {
  if (thread_.joinable()) thread_.join();
}

bool TTxROM::BlockIsBlank(uint32_t address) const {
  const auto first = image_.begin() + address;
  return std::all_of(first, first + kIceBlockSize, [](uint8_t b) { return b == 0xFF; });
}

void TTxROM::Execute() {
  Address = 0;
  Success = false;
  finished_ = false;
  uint32_t lastGood = 0;
  int good = 0;
  int errors = 0;
  bool sentAny = false;

  while (!stop_) {
    uint32_t address = Address;
    while (address < kEnd && BlockIsBlank(address)) address += kIceBlockSize;
    Address = address;
    if (address >= kEnd) break;

    uint8_t code = 0xFF;
    iceCmd_.TxROMBlock(code, static_cast<uint16_t>(address),
                       CCmdSet::ConstBlock(image_.data() + address, kIceBlockSize));
    sentAny = true;
    if (code == icTxROM) {
      Success = true;
      lastGood = address;
      Address = address + kIceBlockSize;
      if (++good > 3) good = errors = 0;
      if (Address >= kEnd) break;
    } else if (code == stReady) {
      Address = lastGood;
    } else if (code == stBusy) {
      // the same block again at once
    } else {
      ++errors;
      platform::CurrentClock().Sleep(kErrorPauseMs);
      if (errors >= kMaxErrors) {
        Success = false;
        break;
      }
    }
  }

  if (!sentAny && Address >= kEnd) Success = true;
  if (Success && !stop_) FinalStatus();
  finished_ = true;
}

void TTxROM::FinalStatus() {
  bool lastFailed = false;
  for (int poll = 0; poll < kStatusPolls && !stop_; ++poll) {
    if (poll > 0) platform::CurrentClock().Sleep(kStatusPollPauseMs);
    uint8_t status = 0;
    const bool ok = iceCmd_.BusyCheck(status);
    lastFailed = !ok;
    if (ok && status == stReady) break;
  }
  if (lastFailed) Success = false;
}

}  // namespace vx930
