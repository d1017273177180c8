#include "platform/fake_port_access.h"

#include "platform/ppdev_port_access.h"

namespace platform {

FakePortAccess::FakePortAccess(std::vector<uint16_t> bases) : bases_(std::move(bases)) {}

void FakePortAccess::Attach(Device* device) {
  std::lock_guard lock(mutex_);
  device_ = device;
}

bool FakePortAccess::Open() {
  std::lock_guard lock(mutex_);
  ++opens_;
  open_ = !failOpen_;
  return open_;
}

void FakePortAccess::Close() {
  std::lock_guard lock(mutex_);
  ++closes_;
  open_ = false;
}

bool FakePortAccess::IsOpen() const {
  std::lock_guard lock(mutex_);
  return open_;
}

void FakePortAccess::SetUp(int value) {
  std::lock_guard lock(mutex_);
  setUps_.push_back(value);
}

uint16_t FakePortAccess::CurrentLpt() const {
  std::lock_guard lock(mutex_);
  return current_;
}

void FakePortAccess::SelectLpt(uint16_t number) {
  std::lock_guard lock(mutex_);
  if (number >= 1 && number <= bases_.size()) current_ = number;
}

uint16_t FakePortAccess::LptCount() const {
  std::lock_guard lock(mutex_);
  return static_cast<uint16_t>(bases_.size());
}

uint16_t FakePortAccess::LptBaseAddress() const {
  std::lock_guard lock(mutex_);
  if (current_ < 1 || current_ > bases_.size()) return 0;
  return bases_[current_ - 1];
}

void FakePortAccess::WriteControl(uint8_t value) {
  const uint8_t old = control_;
  control_ = value;
  if (!device_) return;
  for (int pin : {1, 14, 16, 17}) {
    const PinPlace place = ParallelPin(pin);
    if (PinLevel(place, old) != PinLevel(place, value)) device_->PinChanged(pin, PinLevel(place, value));
  }
}

void FakePortAccess::WriteData(uint8_t value) {
  data_ = value;
  if (device_) device_->DataWritten(value);
}

uint8_t FakePortAccess::ReadPort(uint16_t address) {
  std::lock_guard lock(mutex_);
  const uint16_t base = LptBaseAddress();
  if (address == base) return (control_ & 0x20) ? (device_ ? device_->DataLines() : 0) : data_;
  if (address == base + 1) {
    uint8_t status = 0;
    for (int pin : {10, 11, 12, 13, 15})
      status = WithPinLevel(ParallelPin(pin), status, device_ && device_->InputPin(pin));
    return status;
  }
  if (address == base + 2) return control_;
  if (address == base + 0x402) return ecr_;
  return 0xFF;
}

void FakePortAccess::WritePort(uint16_t address, uint8_t value) {
  std::lock_guard lock(mutex_);
  const uint16_t base = LptBaseAddress();
  if (address == base) {
    WriteData(value);
  } else if (address == base + 2) {
    WriteControl(value);
  } else if (address == base + 0x402) {
    ecr_ = value;
  }
}

bool FakePortAccess::GetPin(int pin) {
  std::lock_guard lock(mutex_);
  if (ParallelPin(pin).reg == PinPlace::Status) return device_ && device_->InputPin(pin);
  return OutputPin(pin);
}

void FakePortAccess::SetPin(int pin, bool high) {
  std::lock_guard lock(mutex_);
  const PinPlace place = ParallelPin(pin);
  if (place.reg == PinPlace::Control) {
    WriteControl(WithPinLevel(place, control_, high));
  } else if (place.reg == PinPlace::Data) {
    WriteData(WithPinLevel(place, data_, high));
  }
}

void FakePortAccess::FailOpen(bool fail) {
  std::lock_guard lock(mutex_);
  failOpen_ = fail;
}
int FakePortAccess::Opens() const {
  std::lock_guard lock(mutex_);
  return opens_;
}
int FakePortAccess::Closes() const {
  std::lock_guard lock(mutex_);
  return closes_;
}
std::vector<int> FakePortAccess::SetUps() const {
  std::lock_guard lock(mutex_);
  return setUps_;
}
uint8_t FakePortAccess::Data() const {
  std::lock_guard lock(mutex_);
  return data_;
}
uint8_t FakePortAccess::Control() const {
  std::lock_guard lock(mutex_);
  return control_;
}
uint8_t FakePortAccess::Ecr() const {
  std::lock_guard lock(mutex_);
  return ecr_;
}
bool FakePortAccess::OutputPin(int pin) const {
  std::lock_guard lock(mutex_);
  const PinPlace place = ParallelPin(pin);
  if (place.reg == PinPlace::Control) return PinLevel(place, control_);
  if (place.reg == PinPlace::Data) return PinLevel(place, data_);
  return false;
}

}  // namespace platform
