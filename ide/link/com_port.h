// The IDE's serial port to the emulator board.
//
// Opened by number (1 to 5 name COM1 to COM5, see platform::ComPortDevice)
// with the emulator's fixed line settings; every read ends at the latest
// 100 ms plus 1 ms per requested byte after it began. The port knows nothing
// of frames: the command set writes requests and reads replies through it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/byte_link.h"

namespace vx930 {

class COM_Port {
public:
  // Gives the link behind a port number, or null when it cannot be opened.
  using LinkSource = std::function<std::unique_ptr<platform::ByteLink>(int portNo)>;

  static constexpr int kFirstPortNo = 1;
  static constexpr int kLastPortNo = 5;
  static constexpr uint32_t kBaud = 57600;
  static constexpr uint32_t kReadTimeoutConstantMs = 100;
  static constexpr uint32_t kReadTimeoutPerByteMs = 1;

  // The serial port COMn. Opens nothing yet.
  explicit COM_Port(int portNo);
  // A port whose link comes from source (a simulator or a test's fake).
  COM_Port(int portNo, LinkSource source);
  // Closes the port if it is open.
  ~COM_Port();
  COM_Port(const COM_Port&) = delete;
  COM_Port& operator=(const COM_Port&) = delete;

  // Opens the link, closing an open one first. A number outside 1..5 is
  // false without a message; a device that cannot be opened shows
  // "Open ComPort Error!!" (a box without caption) and is false.
  bool OpenPort();

  // One read of up to count bytes, bounded by the read time-out. True
  // whenever the link works, also when fewer bytes (or none) arrived.
  bool ReadPort(uint8_t* buffer, uint32_t count, uint32_t& received);
  // The same with a time-out of the caller's (0: only what has arrived).
  bool ReadPort(uint8_t* buffer, uint32_t count, uint32_t& received, uint32_t timeoutMs);
  // Writes count bytes; true when the link took them all.
  bool WritePort(const uint8_t* buffer, uint32_t count, uint32_t& written);
  // Discards every received byte not yet read.
  void PurgeRx();

  bool IsOpen() const { return hCom != nullptr; }
  // The link failed and was closed; the next read or write opens it again.
  bool IsLost() const { return lost_; }
  int GetPortNo() const { return PortNo; }
  static uint32_t ReadTimeoutMs(uint32_t count) { return kReadTimeoutConstantMs + kReadTimeoutPerByteMs * count; }

private:
  void ClosePort();
  // After a failed link: closed quietly, to be opened again.
  void DropLink();
  // Opens a lost link again; true when the port is open.
  bool Reconnect();

  int PortNo;
  std::unique_ptr<platform::ByteLink> hCom;  // null while closed
  LinkSource source_;
  bool lost_ = false;
};

}  // namespace vx930
