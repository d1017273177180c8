// The programmer link's state: the link settings, the flags through which the
// rest of the program knows what the programmer holds, the status of the last
// command and the progress figures. The application owns one; tests make a
// fresh one each. Names are the program's own, so every layer reads alike.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace zolvek {

// LinkKind values; every other value is served by the COM transport.
inline constexpr int32_t kLinkCom = 0;
inline constexpr int32_t kLinkLpt = 1;
inline constexpr int32_t kLinkUsb = 2;

// LinkStatus values.
inline constexpr int32_t kStatusOk = 0;
inline constexpr int32_t kStatusPortClosed = 1;
inline constexpr int32_t kStatusNoPrompt = 2;
inline constexpr int32_t kStatusNotSent = 3;
inline constexpr int32_t kStatusAborted = 5;
inline constexpr int32_t kStatusWrongPack = 6;
inline constexpr int32_t kStatusNoPack = 7;

// How long the link waits. A reply wait w (ReceiveByte's count) allows w + 1
// passes; a pass is one attempt of at most the link's pass time. The times
// are chosen so that a live programmer's slowest answer fits while a dead
// link is found within seconds (the prompt is every command's first
// exchange, so a dead link fails there):
// - COM: a pass of 10 ms. At 9600 baud a byte takes about 1 ms and a
//   USB-serial adapter may hold a byte up to 16 ms, so an echo (wait 6,
//   70 ms) and a register read (wait 15, 160 ms) have several times what
//   they need; a programming page (wait 555) gets 5.5 s. The prompt answer
//   gets 500 ms; a rate search over six rates on a dead line ends in about
//   4 s.
// - LPT: a pass of 10 ms of pin polling; the handshake costs microseconds, so
//   the prompt (wait 1) has 20 ms. A byte is handed over only while the
//   programmer shows ready (pin 15), which it withholds while it programs a
//   streamed byte: 1 s covers the slowest byte algorithm.
// - USB: a pass of 20 ms, beyond the 16 ms that the USB chip may hold a short
//   answer; the same 1 s for the transmit queue to empty, and 2 s for a block
//   of up to 256 bytes to come back whole.
// After an exchange that failed, the next command first waits until the
// line has been quiet for one reply time and purges, so that a late byte is
// never taken for the next prompt's answer. One reply time is the length of
// the wait that failed, at least quietMs and at most quietMaxMs; the whole
// drain of a line that never goes quiet ends after quietLimitMs.
struct LinkTimings {
  uint32_t comPassMs = 10;
  uint32_t comPromptMs = 500;
  uint32_t lptPassMs = 10;
  uint32_t lptSendMs = 1000;
  uint32_t usbPassMs = 20;
  uint32_t usbSendMs = 1000;
  uint32_t usbBlockMs = 2000;
  uint32_t quietMs = 200;
  uint32_t quietMaxMs = 1000;
  uint32_t quietLimitMs = 3000;
};

// The OpCodeOffset of a link kind: 0x00 COM, 0x80 LPT, 0x40 USB.
inline uint8_t OpCodeOffsetFor(int32_t linkKind) {
  return linkKind == kLinkLpt ? 0x80 : linkKind == kLinkUsb ? 0x40 : 0x00;
}

struct LinkState {
  // Link settings.
  int32_t LinkKind = kLinkLpt;
  int32_t ComIndex = 3;
  static constexpr int32_t ComPortCount = 4;
  std::array<int32_t, ComPortCount> ComPresent{1, 1, 1, 1};
  uint8_t BaudIndex = 0;
  int32_t LptNumber = 1;
  int32_t LptCount = 1;
  std::array<uint16_t, 8> LptBaseTable{0x3BC, 0x378, 0x278, 0x368, 0x268, 0x358, 0x258, 0};
  uint16_t LptBase = 0;
  void* UsbHandle = nullptr;
  bool UsbOpen = false;  // UsbHandle holds a device that FT_Open opened
  uint8_t OpCodeOffset = 0x80;

  // USB availability.
  int32_t UsbUnavailable = 0;
  int32_t UsbNotFound = 1;

  // The last command or operation.
  int32_t LinkStatus = kStatusOk;
  uint32_t ErrorAddress = 0;

  // What the programmer holds.
  uint8_t NoMonitor = 0;
  int32_t NoDriver = 1;
  uint32_t LoadedDriverId = 0;  // the catalogue's driverId (all fit a byte)
  std::string LoadedDriverName;  // with the id, what the driver cache knows
  int32_t Offline = 0;

  // Progress display.
  int32_t ProgressCount = 0;
  int32_t ProgressTotal = 0;

  LinkTimings Timings;
  // Called between the passes of a wait; false ends the wait as a time-out.
  // The front end uses it to repaint and to let ESC end a long wait.
  std::function<bool()> BetweenPasses;
};

}  // namespace zolvek
