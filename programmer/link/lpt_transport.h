// The parallel (LPT) transport: the programmer driven pin by pin through the
// port-access layer.
//
// A byte goes out when the programmer shows ready on pin 15: the data
// register takes it and pin 1 pulses low. A byte comes in when the
// programmer raises pin 13: with the data lines turned to input, pin 14 goes
// low, the data register is read, pin 14 goes high again. A receive pass
// is at most the LPT pass time of polling pin 13. With no port open every
// primitive fails at once.
#pragma once

#include <cstdint>

#include "platform/port_access.h"
#include "programmer/link/link_state.h"

namespace zolvek {

class LptTransport {
public:
  static constexpr uint16_t kDataOffset = 0;
  static constexpr uint16_t kControlOffset = 2;
  static constexpr uint16_t kEcrOffset = 0x402;
  static constexpr uint8_t kControlInput = 0xE4;  // data lines in
  static constexpr uint8_t kControlOutput = 0xC4;  // data lines out

  explicit LptTransport(LinkState& state) : state_(state) {}

  // The port-access layer in use (not owned); null: no parallel port.
  void SetPort(platform::PortAccess* port) { port_ = port; }
  platform::PortAccess* Port() const { return port_; }
  bool IsOpen() const { return port_ && port_->IsOpen(); }

  void LptInit();
  int LptSend(uint8_t byte);
  uint16_t LptReceive(uint32_t waitCount);
  // 0 sent; 2 'A' or 'T' not sent or no 'O'; 3 the code not sent.
  int LptCommand(uint8_t code);

  // Start-up's survey: LptCount from the layer, LptNumber brought into 1 ..
  // LptCount, the base of every port into LptBaseTable (the first eight;
  // later ports are not listed), LptBase of LptNumber. Opens and closes the
  // driver; false when it does not open.
  bool LptScanPorts();
  // Opens the LPT link: the driver (when not open), its set-up call with 0,
  // port LptNumber selected, LptBase from it, LptInit. False when the driver
  // does not open.
  bool LptOpenLink();
  // Leaves the port idle (data 0, pins 1 and 14 low) and closes the driver.
  void LptCloseLink();
  // LptBaseTable[LptNumber - 1], or 0 when LptNumber is outside the table.
  uint16_t TableBase() const;

  // Takes and drops bytes the programmer still offers until it has offered
  // none for quietMs (at most limitMs in all); false when it never stopped.
  bool DrainQuiet(uint32_t quietMs, uint32_t limitMs);

private:
  uint16_t Address(uint16_t offset) const { return static_cast<uint16_t>(state_.LptBase + offset); }
  uint8_t TakeByte();
  // Whether the pin goes high within ms (polled on the current clock).
  bool PinHighWithin(int pin, uint32_t ms);

  LinkState& state_;
  platform::PortAccess* port_ = nullptr;
};

}  // namespace zolvek
