// The programmer link: the three byte primitives every exchange uses, each
// served by the transport of LinkKind (2 USB, 1 LPT, anything else COM),
// and the pause Delay.
//
// A reply answers its own command: after an exchange that failed (a reply
// that did not come, a byte that could not be sent, a prompt that was not
// answered, or one the caller marks spoiled, such as an operation ended on
// the abort byte) the next SendCommand first waits until the line has been
// quiet for one reply time (see LinkTimings) and purges the input, so that a
// late byte is never read as the answer to the next "AT". Before every "AT"
// whatever input is waiting is dropped as well: the programmer never speaks
// unasked.
#pragma once

#include <cstddef>
#include <cstdint>

#include "programmer/link/com_transport.h"
#include "programmer/link/link_state.h"
#include "programmer/link/lpt_transport.h"
#include "programmer/link/usb_transport.h"

namespace zolvek {

// Pauses at least ms milliseconds on the current clock.
void Delay(uint16_t ms);

class ProgrammerLink {
public:
  explicit ProgrammerLink(LinkState& state, SerialOpener opener = OpenSystemSerial);

  LinkState& State() { return state_; }
  ComTransport& Com() { return com_; }
  LptTransport& Lpt() { return lpt_; }
  UsbTransport& Usb() { return usb_; }
  bool IsUsb() const { return state_.LinkKind == kLinkUsb; }

  // 1 sent / 0 not.
  int SendByte(uint8_t byte);
  // 0x100 | byte, or 0 when none came within waitCount + 1 passes.
  uint16_t ReceiveByte(uint32_t waitCount);
  // "AT", the answer 'O', the code: 0, or the framing status (1 COM port not
  // open, 2 no prompt answer, 3 the code not sent).
  int SendCommand(uint8_t code);
  // USB blocks (0 done / 1 failed); on other links 1 at once.
  int WriteBlock(const uint8_t* buffer, std::size_t n);
  int ReadBlock(uint8_t* buffer, std::size_t n);
  void Delay(uint16_t ms) { zolvek::Delay(ms); }

  // Closes every link, whatever LinkKind is: the COM port, the parallel port
  // (left idle) and the USB device; before a change of link and at exit.
  void CloseAll();

  // The exchange went wrong: the next command waits for quiet and purges.
  void MarkSpoiled() { Spoil(state_.Timings.quietMs); }
  bool Spoiled() const { return quietMs_ != 0; }
  // How long the next command will wait for quiet (0: not spoiled).
  uint32_t QuietMs() const { return quietMs_; }
  // The time ReceiveByte(waitCount) may take on the current link.
  uint32_t WaitMs(uint32_t waitCount) const;

private:
  void Spoil(uint32_t replyMs);
  void Resynchronise();

  LinkState& state_;
  ComTransport com_;
  LptTransport lpt_;
  UsbTransport usb_;
  uint32_t quietMs_ = 0;
};

}  // namespace zolvek
