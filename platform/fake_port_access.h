// An in-process parallel port for tests and simulators: the contract of
// PortAccess over plain memory, with a device at the far end of the cable.
//
// The host side keeps the data, control and extended control registers as
// written; the output pins (1, 14, 16, 17 from the control register, 2-9 from
// the data register) are what those registers drive. The device answers the
// input pins (10, 11, 12, 13, 15) and the data lines while the host has
// turned them to input (control bit 5); with no device attached every input
// reads low, as a cable with nothing on it.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/port_access.h"

namespace platform {

class FakePortAccess final : public PortAccess {
public:
  // What sits at the far end of the cable.
  class Device {
  public:
    virtual ~Device() = default;
    virtual bool InputPin(int pin) = 0;
    // The byte on the data lines while the host reads them as inputs.
    virtual uint8_t DataLines() = 0;
    // The host changed an output pin or the data register.
    virtual void PinChanged(int pin, bool high) = 0;
    virtual void DataWritten(uint8_t value) = 0;
  };

  // One parallel port per base address, numbered from 1.
  explicit FakePortAccess(std::vector<uint16_t> bases = {0x378});

  void Attach(Device* device);

  bool Open() override;
  void Close() override;
  bool IsOpen() const override;
  void SetUp(int value) override;
  uint8_t ReadPort(uint16_t address) override;
  void WritePort(uint16_t address, uint8_t value) override;
  uint16_t CurrentLpt() const override;
  void SelectLpt(uint16_t number) override;
  uint16_t LptCount() const override;
  uint16_t LptBaseAddress() const override;
  bool GetPin(int pin) override;
  void SetPin(int pin, bool high) override;

  // For tests.
  void FailOpen(bool fail);
  int Opens() const;
  int Closes() const;
  std::vector<int> SetUps() const;
  uint8_t Data() const;
  uint8_t Control() const;
  uint8_t Ecr() const;
  bool OutputPin(int pin) const;

private:
  void WriteControl(uint8_t value);
  void WriteData(uint8_t value);

  mutable std::recursive_mutex mutex_;
  std::vector<uint16_t> bases_;
  Device* device_ = nullptr;
  bool open_ = false;
  bool failOpen_ = false;
  int opens_ = 0;
  int closes_ = 0;
  std::vector<int> setUps_;
  uint16_t current_ = 1;
  uint8_t data_ = 0;
  uint8_t control_ = 0x04;  // every output pin high, as a port at rest
  uint8_t ecr_ = 0;
};

}  // namespace platform
