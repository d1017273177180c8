// The LPT link to the simulated programmer: an in-process port-access layer
// (platform::PortAccess) with the programmer on the other end of the cable.
//
// The programmer's side of the pin handshake:
//  - Pin 15 (error input) is high while the programmer is ready to take a
//    byte: it waits for one and has none in hand. It goes low from the strobe
//    until the firmware has taken the byte (at once, unless the device is busy).
//  - The byte on the data lines is latched when pin 1 (strobe) goes back
//    high after a low pulse.
//  - Pin 13 (select input) is high while a reply byte is due; with the
//    control register's direction bit (0x20) set the data register reads that
//    byte, and pin 14 (auto-feed) going high again after a low pulse takes it.
//  - With the direction bit clear the data register reads back what the host
//    last wrote, as a port in output mode does.
// Registers (base 0x378 for port 1, 0x278 for port 2): data +0, status +1
// (bit 3 pin 15, bit 4 pin 13, bit 7 the inverted busy line, read low), control
// +2 (bit 0 inverted pin 1, bit 1 inverted pin 14, bit 5 direction), extended
// control +0x402 (kept as written). Other addresses read 0xFF. A pulled cable
// reads every input pin low.
// The set-up call is recorded; it changes nothing. Calls before Open() or on
// a port other than one that is selected do nothing and read 0xFF / low.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/port_access.h"
#include "sim/programmer/programmer.h"

namespace sim::programmer {

class LptPort final : public platform::PortAccess {
public:
  // `programmer` is on the cable of port `cablePort` (1-based) of `portCount` ports.
  explicit LptPort(Programmer& programmer, uint16_t portCount = 1, uint16_t cablePort = 1);

  bool Open() override;
  void Close() override;
  bool IsOpen() const override { return open_; }
  void SetUp(int value) override { setUpCalls_.push_back(value); }

  uint8_t ReadPort(uint16_t address) override;
  void WritePort(uint16_t address, uint8_t value) override;

  uint16_t CurrentLpt() const override { return current_; }
  void SelectLpt(uint16_t number) override;
  uint16_t LptCount() const override { return count_; }
  uint16_t LptBaseAddress() const override;

  bool GetPin(int pin) override;
  void SetPin(int pin, bool high) override;

  // For tests.
  const std::vector<int>& SetUpCalls() const { return setUpCalls_; }
  uint8_t Ecr() const { return ecr_; }
  uint8_t Control() const { return control_; }
  uint8_t DataLatch() const { return dataOut_; }
  static uint16_t BaseOf(uint16_t number);

private:
  bool OnCable() const { return open_ && current_ == cablePort_; }
  void SetControl(uint8_t value);

  Programmer& programmer_;
  uint16_t count_;
  uint16_t cablePort_;
  bool open_ = false;
  uint16_t current_ = 1;
  std::vector<int> setUpCalls_;
  uint8_t dataOut_ = 0;
  uint8_t control_ = 0xC4;  // strobe and auto-feed high, outputs
  uint8_t ecr_ = 0x15;
};

}  // namespace sim::programmer
