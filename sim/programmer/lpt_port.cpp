#include "sim/programmer/lpt_port.h"

namespace sim::programmer {

namespace {

constexpr uint8_t kStrobeBit = 0x01;  // inverted pin 1
constexpr uint8_t kAutoFeedBit = 0x02;  // inverted pin 14
constexpr uint8_t kDirectionBit = 0x20;

}  // namespace

LptPort::LptPort(Programmer& programmer, uint16_t portCount, uint16_t cablePort)
    : programmer_(programmer), count_(portCount), cablePort_(cablePort) {}

bool LptPort::Open() {
  open_ = true;
  return true;
}

void LptPort::Close() { open_ = false; }

uint16_t LptPort::BaseOf(uint16_t number) {
  static constexpr uint16_t kBases[] = {0x378, 0x278, 0x3BC, 0x368, 0x268, 0x358, 0x258};
  return number >= 1 && number <= 7 ? kBases[number - 1] : 0;
}

void LptPort::SelectLpt(uint16_t number) {
  if (number >= 1 && number <= count_) current_ = number;
}

uint16_t LptPort::LptBaseAddress() const { return open_ ? BaseOf(current_) : 0; }

bool LptPort::GetPin(int pin) {
  if (!OnCable() || programmer_.CablePulled()) return false;
  switch (pin) {
    case 15: return programmer_.ReadyForInput();
    case 13: return programmer_.Available() > 0;
    case 1: return (control_ & kStrobeBit) == 0;
    case 14: return (control_ & kAutoFeedBit) == 0;
    default: return false;
  }
}

void LptPort::SetControl(uint8_t value) {
  const bool strobeWasLow = (control_ & kStrobeBit) != 0;
  const bool feedWasLow = (control_ & kAutoFeedBit) != 0;
  control_ = value;
  if (!OnCable()) return;
  const bool strobeHigh = (control_ & kStrobeBit) == 0;
  const bool feedHigh = (control_ & kAutoFeedBit) == 0;
  if (strobeWasLow && strobeHigh) programmer_.HostWrite(&dataOut_, 1);
  if (feedWasLow && feedHigh) {
    uint8_t b;
    programmer_.HostRead(&b, 1);
  }
}

void LptPort::SetPin(int pin, bool high) {
  if (!open_) return;
  if (pin == 1) SetControl(static_cast<uint8_t>(high ? control_ & ~kStrobeBit : control_ | kStrobeBit));
  if (pin == 14) SetControl(static_cast<uint8_t>(high ? control_ & ~kAutoFeedBit : control_ | kAutoFeedBit));
}

uint8_t LptPort::ReadPort(uint16_t address) {
  const uint16_t base = LptBaseAddress();
  if (!open_ || base == 0) return 0xFF;
  if (address == base) {
    if (!(control_ & kDirectionBit)) return dataOut_;
    if (!OnCable() || programmer_.CablePulled()) return 0xFF;
    return programmer_.Peek().value_or(0xFF);
  }
  if (address == base + 1) {
    uint8_t status = 0x07;
    if (GetPin(15)) status |= 0x08;
    if (GetPin(13)) status |= 0x10;
    return status;
  }
  if (address == base + 2) return control_;
  if (address == base + 0x402) return ecr_;
  return 0xFF;
}

void LptPort::WritePort(uint16_t address, uint8_t value) {
  const uint16_t base = LptBaseAddress();
  if (!open_ || base == 0) return;
  if (address == base) dataOut_ = value;
  if (address == base + 2) SetControl(value);
  if (address == base + 0x402) ecr_ = value;
}

}  // namespace sim::programmer
