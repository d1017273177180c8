// A serial port on termios, as a ByteLink.
//
// Opened for exclusive use in raw mode: 8 data bits, 1 stop bit, no parity,
// CLOCAL and CREAD, no hardware or software flow control, no translation,
// echo or signals, so every byte value crosses both ways unchanged. Reads end
// on a total time-out (poll() on the monotonic clock); writes loop over short
// writes and give up when the device takes nothing for kWriteStallMs.
#pragma once

#include <string>

#include "platform/byte_link.h"

namespace platform {

// The device behind "COMn": the environment variable COMn when it is set and
// not empty, otherwise /dev/ttyS(n-1). n must be at least 1.
std::string ComPortDevice(int n);

class SerialPort final : public ByteLink {
public:
  static constexpr uint32_t kDefaultBaud = 57600;
  static constexpr uint32_t kWriteStallMs = 1000;

  SerialPort() = default;
  ~SerialPort() override;
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  // Opens and configures the device; false (with Error() saying why) when it
  // is missing, not a terminal, in use, or refuses the line settings.
  // An open port is closed first.
  bool Open(const std::string& device, uint32_t baud = kDefaultBaud);
  bool IsOpen() const { return fd_ >= 0; }
  // Changes the line rate of the open port once what was written has left
  // at the old one; false (the port keeps its rate) when the rate is not
  // supported or the device refuses it.
  bool SetBaud(uint32_t baud);
  const std::string& Error() const { return error_; }

  bool Write(const uint8_t* data, std::size_t n, std::size_t& written) override;
  bool Read(uint8_t* data, std::size_t n, uint32_t timeoutMs, std::size_t& received) override;
  void PurgeRx() override;
  void PurgeTx() override;
  // Puts back the read time-out settings the device had before Open and
  // gives up the exclusive hold, so that others may open the device again.
  bool Close() override;

private:
  bool Fail(const std::string& what);

  int fd_ = -1;
  bool exclusive_ = false;  // TIOCEXCL set by us, to be cleared at close
  unsigned char oldVmin_ = 0;
  unsigned char oldVtime_ = 0;
  std::string error_;
};

}  // namespace platform
