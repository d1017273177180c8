// A duplex byte stream to a device: a serial port in the programs, an
// in-process simulator or a scripted fake in tests. Every call is bounded in
// time; none of them translates, drops or adds a byte.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

class ByteLink {
public:
  virtual ~ByteLink() = default;

  // Hands over all n bytes, continuing after short writes and interrupted
  // calls. written gets the number handed over; false when the link failed
  // (or made no progress for a bounded while) before all were written.
  virtual bool Write(const uint8_t* data, std::size_t n, std::size_t& written) = 0;

  // Reads up to n bytes. Returns once n bytes have arrived or, at the latest,
  // when timeoutMs have passed in all; received gets the number delivered.
  // A read that ends on the time-out with fewer bytes (or none) succeeds;
  // false means the link itself failed (hang-up, I/O error).
  virtual bool Read(uint8_t* data, std::size_t n, uint32_t timeoutMs, std::size_t& received) = 0;

  // Discard received bytes not yet read / bytes written but not yet sent.
  virtual void PurgeRx() = 0;
  virtual void PurgeTx() = 0;

  // Releases the device; false when the system refused to close it (the link
  // counts as closed either way). Further calls fail.
  virtual bool Close() = 0;
};

}  // namespace platform
