// The serial (COM) transport to the programmer.
//
// "COMn" is opened through an opener (the system's serial port by default,
// see platform::ComPortDevice; a simulator's or a test's line otherwise).
// The port is opened in raw mode at the rate of BaudIndex; ComSetRate moves
// it to another rate of BaudTable. A receive pass is one read of at most
// the COM pass time; a link that fails (hang-up, pulled adapter) ends the
// receive at once.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/byte_link.h"
#include "programmer/link/link_state.h"

namespace zolvek {

// A serial line whose rate can change while it is open.
class SerialLine : public platform::ByteLink {
public:
  virtual bool SetBaud(uint32_t baud) = 0;
};

// Opens "COMn"; null when it cannot be opened (missing, in use).
using SerialOpener = std::function<std::unique_ptr<SerialLine>(int n)>;
std::unique_ptr<SerialLine> OpenSystemSerial(int n);

// The rate of each BaudIndex.
inline constexpr std::array<uint32_t, 5> BaudTable{115200, 57600, 38400, 19200, 9600};

class ComTransport {
public:
  explicit ComTransport(LinkState& state, SerialOpener opener = OpenSystemSerial);
  ~ComTransport();
  ComTransport(const ComTransport&) = delete;
  ComTransport& operator=(const ComTransport&) = delete;

  // 1 opened / 0 failed or already open (the open port is left as it is).
  int ComOpen(int n);
  void ComClose();
  // 0 done / 1 port not open.
  int ComPurge();
  // 1 when the port is open, 0 when not; an index outside BaudTable keeps the rate.
  int ComSetRate(int index);
  // ComPresent[n - 1] := whether COMn opens, for n = 1 .. ComPortCount.
  void ComProbe();
  int ComSend(uint8_t byte);
  uint16_t ComReceive(uint32_t waitCount);
  int ComCommand(uint8_t code);

  bool IsOpen() const { return line_ != nullptr; }
  // Reads and drops bytes until none has come for quietMs (at most limitMs in
  // all), then purges; false when the line never went quiet or failed.
  bool DrainQuiet(uint32_t quietMs, uint32_t limitMs);

private:
  LinkState& state_;
  SerialOpener opener_;
  std::unique_ptr<SerialLine> line_;  // ComHandle: null while closed
};

}  // namespace zolvek
