// The USB transport over the D2XX entry points.
//
// Every status and every count the library gives is checked: a call that
// fails (the cable pulled, the device gone) fails the primitive at once, and
// a read or write that moved fewer bytes than asked is a failure, never a
// short success. With no device open (UsbOpen) every primitive fails without
// calling the library.
#pragma once

#include <cstddef>
#include <cstdint>

#include "programmer/link/d2xx.h"
#include "programmer/link/link_state.h"
#include "programmer/link/poll_wait.h"

namespace zolvek {

class UsbTransport {
public:
  static constexpr std::size_t kBlockSize = 256;  // the longest block the programmer takes at once
  static constexpr uint32_t kDeviceTimeoutMs = 5000;

  explicit UsbTransport(LinkState& state) : state_(state) {}

  void SetApi(const D2xxApi* api) { api_ = api; }
  const D2xxApi* Api() const { return api_; }
  bool IsOpen() const { return api_ && state_.UsbOpen; }

  int UsbSend(uint8_t byte);
  uint16_t UsbReceive(uint32_t waitCount);
  // 0 done / 1 failed (time-out, library failure, short transfer).
  int UsbWriteBlock(const uint8_t* buffer, std::size_t n);
  int UsbReadBlock(uint8_t* buffer, std::size_t n);
  int UsbCommand(uint8_t code);
  // Resets the device, purges both directions and sets its time-outs; false
  // when any call failed.
  bool UsbReset();
  // FT_Close of the open device, once; nothing when none is open.
  void UsbClose();

  // Drops what the device still sends until it has sent nothing for quietMs
  // (at most limitMs in all), then purges; false when it never went quiet.
  bool DrainQuiet(uint32_t quietMs, uint32_t limitMs);

private:
  bool WaitTxEmpty(uint32_t ms);
  // Polls the receive queue: Done with rx its count once a byte is there,
  // Fail when the library fails, Wait when ms passed first.
  Poll WaitQueued(uint32_t ms, FtCount& rx);

  LinkState& state_;
  const D2xxApi* api_ = nullptr;
};

}  // namespace zolvek
