#include "platform/ppdev_port_access.h"

#include <fcntl.h>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <fstream>

namespace platform {

PinPlace ParallelPin(int pin) {
  switch (pin) {
    case 1: return {PinPlace::Control, 0x01, true};  // strobe
    case 14: return {PinPlace::Control, 0x02, true};  // auto-feed
    case 16: return {PinPlace::Control, 0x04, false};  // init
    case 17: return {PinPlace::Control, 0x08, true};  // select-in
    case 10: return {PinPlace::Status, 0x40, false};  // ack
    case 11: return {PinPlace::Status, 0x80, true};  // busy
    case 12: return {PinPlace::Status, 0x20, false};  // paper end
    case 13: return {PinPlace::Status, 0x10, false};  // select
    case 15: return {PinPlace::Status, 0x08, false};  // error
    default:
      if (pin >= 2 && pin <= 9) return {PinPlace::Data, static_cast<uint8_t>(1u << (pin - 2)), false};
      return {};
  }
}

bool PinLevel(const PinPlace& place, uint8_t registerValue) {
  const bool bit = (registerValue & place.mask) != 0;
  return place.inverted ? !bit : bit;
}

uint8_t WithPinLevel(const PinPlace& place, uint8_t registerValue, bool high) {
  const bool bit = place.inverted ? !high : high;
  return bit ? static_cast<uint8_t>(registerValue | place.mask) : static_cast<uint8_t>(registerValue & ~place.mask);
}

PpdevPortAccess::PpdevPortAccess(std::string devicePrefix, std::string procRoot)
    : devicePrefix_(std::move(devicePrefix)), procRoot_(std::move(procRoot)) {}

PpdevPortAccess::~PpdevPortAccess() { Close(); }

bool PpdevPortAccess::Open() {
  Close();
  ports_.clear();
  // Port numbers are dense from LPT1: the first missing device ends the list.
  for (int i = 0; i < 8; ++i) {
    Port p;
    p.device = devicePrefix_ + std::to_string(i);
    if (::access(p.device.c_str(), F_OK) != 0) break;
    std::ifstream base(procRoot_ + std::to_string(i) + "/base-addr");
    unsigned long value = 0;
    if (base >> value) p.base = static_cast<uint16_t>(value);
    ports_.push_back(p);
  }
  open_ = !ports_.empty();
  current_ = 1;
  return open_;
}

void PpdevPortAccess::Release() {
  if (fd_ >= 0) {
    ::ioctl(fd_, PPRELEASE);
    ::close(fd_);
  }
  fd_ = -1;
}

void PpdevPortAccess::Close() {
  Release();
  open_ = false;
}

void PpdevPortAccess::SetUp(int) {
  // Nothing to prepare: ppdev needs no set-up beyond claiming the port.
}

void PpdevPortAccess::SelectLpt(uint16_t number) {
  if (!open_ || number < 1 || number > ports_.size()) return;
  Release();
  current_ = number;
  fd_ = ::open(ports_[number - 1].device.c_str(), O_RDWR | O_CLOEXEC);
  if (fd_ < 0) return;
  if (::ioctl(fd_, PPCLAIM) != 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

uint16_t PpdevPortAccess::LptBaseAddress() const {
  if (!open_ || current_ < 1 || current_ > ports_.size()) return 0;
  return ports_[current_ - 1].base;
}

uint8_t PpdevPortAccess::ReadRegister(PinPlace::Register reg) {
  unsigned char v = 0xFF;
  if (fd_ < 0) return v;
  switch (reg) {
    case PinPlace::Data: ::ioctl(fd_, PPRDATA, &v); break;
    case PinPlace::Status: ::ioctl(fd_, PPRSTATUS, &v); break;
    case PinPlace::Control: ::ioctl(fd_, PPRCONTROL, &v); break;
    case PinPlace::None: break;
  }
  return v;
}

void PpdevPortAccess::WriteRegister(PinPlace::Register reg, uint8_t value) {
  if (fd_ < 0) return;
  unsigned char v = value;
  switch (reg) {
    case PinPlace::Data: ::ioctl(fd_, PPWDATA, &v); break;
    case PinPlace::Control: {
      // Bit 5 turns the data lines around; ppdev wants that said apart.
      int reverse = (value & 0x20) ? 1 : 0;
      ::ioctl(fd_, PPDATADIR, &reverse);
      v = static_cast<unsigned char>(value & ~0x20);
      ::ioctl(fd_, PPWCONTROL, &v);
      break;
    }
    case PinPlace::Status:
    case PinPlace::None: break;
  }
}

uint8_t PpdevPortAccess::ReadPort(uint16_t address) {
  const uint16_t base = LptBaseAddress();
  if (fd_ < 0) return 0xFF;
  if (address == base) return ReadRegister(PinPlace::Data);
  if (address == base + 1) return ReadRegister(PinPlace::Status);
  if (address == base + 2) return ReadRegister(PinPlace::Control);
  if (address == base + 0x402) return ecr_;
  return 0xFF;
}

void PpdevPortAccess::WritePort(uint16_t address, uint8_t value) {
  const uint16_t base = LptBaseAddress();
  if (fd_ < 0) return;
  if (address == base) {
    WriteRegister(PinPlace::Data, value);
  } else if (address == base + 2) {
    WriteRegister(PinPlace::Control, value);
  } else if (address == base + 0x402) {
    ecr_ = value;
    if ((value >> 5) == 1) {
      int mode = IEEE1284_MODE_BYTE;
      ::ioctl(fd_, PPSETMODE, &mode);
    }
  }
}

bool PpdevPortAccess::GetPin(int pin) {
  const PinPlace place = ParallelPin(pin);
  if (fd_ < 0 || place.reg == PinPlace::None) return false;
  return PinLevel(place, ReadRegister(place.reg));
}

void PpdevPortAccess::SetPin(int pin, bool high) {
  const PinPlace place = ParallelPin(pin);
  if (place.reg != PinPlace::Data && place.reg != PinPlace::Control) return;
  WriteRegister(place.reg, WithPinLevel(place, ReadRegister(place.reg), high));
}

}  // namespace platform
