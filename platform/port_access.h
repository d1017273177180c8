// Parallel-port access: the few operations the programmer's LPT link needs.
//
// The programs use the ppdev implementation (platform/ppdev_port_access.h);
// tests and the simulated programmer put an in-process implementation behind
// the same contract. Pins are DB-25 connector numbers; levels are logical
// (what the connector shows), whatever inversion the port's registers apply.
#pragma once

#include <cstdint>

namespace platform {

class PortAccess {
public:
  virtual ~PortAccess() = default;

  // Opens / closes the port driver; IsOpen is true between the two.
  virtual bool Open() = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  // The one set-up call made after opening, before the first port access.
  virtual void SetUp(int value) = 0;

  // A byte of an I/O port, by address (base + 0 data, + 2 control,
  // + 0x402 extended control). Reads of an unknown address give 0xFF.
  virtual uint8_t ReadPort(uint16_t address) = 0;
  virtual void WritePort(uint16_t address, uint8_t value) = 0;

  // Parallel ports, numbered from 1.
  virtual uint16_t CurrentLpt() const = 0;
  virtual void SelectLpt(uint16_t number) = 0;
  virtual uint16_t LptCount() const = 0;
  // Base I/O address of the selected port (0 when none is selected).
  virtual uint16_t LptBaseAddress() const = 0;

  // Level of a connector pin of the selected port: true high.
  virtual bool GetPin(int pin) = 0;
  virtual void SetPin(int pin, bool high) = 0;
};

}  // namespace platform
