// Parallel-port access on Linux ppdev (/dev/parportN).
//
// "Opening the driver" finds the ports (/dev/parport0 is LPT1 ...); selecting
// a port opens and claims its device. Port addresses are taken relative to
// the selected port's base: +0 data (PPRDATA/PPWDATA), +1 status (PPRSTATUS),
// +2 control (PPRCONTROL/PPWCONTROL, bit 5 the data direction through
// PPDATADIR), +0x402 the extended control register, whose mode field is
// applied with PPSETMODE (byte mode for 001) and otherwise kept as written.
// Base addresses come from /proc/sys/dev/parport/parportN/base-addr.
// Pins are connector levels: the port's inversions (strobe, auto-feed,
// select-in, busy) are undone here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/port_access.h"

namespace platform {

// Where a connector pin lives in the port's registers.
struct PinPlace {
  enum Register { None, Data, Status, Control } reg = None;
  uint8_t mask = 0;
  bool inverted = false;  // register bit 1 means the pin is low
};
PinPlace ParallelPin(int pin);
// The connector level of a pin given the register's value.
bool PinLevel(const PinPlace& place, uint8_t registerValue);
// The register value with the pin set to the level.
uint8_t WithPinLevel(const PinPlace& place, uint8_t registerValue, bool high);

class PpdevPortAccess final : public PortAccess {
public:
  // devicePrefix and procRoot let tests point at other files.
  explicit PpdevPortAccess(std::string devicePrefix = "/dev/parport",
                           std::string procRoot = "/proc/sys/dev/parport/parport");
  ~PpdevPortAccess() override;

  bool Open() override;
  void Close() override;
  bool IsOpen() const override { return open_; }
  void SetUp(int value) override;
  uint8_t ReadPort(uint16_t address) override;
  void WritePort(uint16_t address, uint8_t value) override;
  uint16_t CurrentLpt() const override { return current_; }
  void SelectLpt(uint16_t number) override;
  uint16_t LptCount() const override { return static_cast<uint16_t>(ports_.size()); }
  uint16_t LptBaseAddress() const override;
  bool GetPin(int pin) override;
  void SetPin(int pin, bool high) override;

private:
  struct Port {
    std::string device;
    uint16_t base = 0;
  };
  void Release();
  uint8_t ReadRegister(PinPlace::Register reg);
  void WriteRegister(PinPlace::Register reg, uint8_t value);

  std::string devicePrefix_;
  std::string procRoot_;
  bool open_ = false;
  std::vector<Port> ports_;
  uint16_t current_ = 1;
  int fd_ = -1;  // the claimed device of the selected port
  uint8_t ecr_ = 0;
};

}  // namespace platform
