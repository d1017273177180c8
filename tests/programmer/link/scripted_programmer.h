// A scripted programmer at the far end of a link, on virtual time.
//
// The script is a list of steps: bytes the host must send next, bytes the
// programmer then answers (on time or late), a change of its line rate, a
// pulled cable. Bytes the host sends that the script does not expect are
// recorded as errors, so a test that ends with Errors() empty and Finished()
// has checked every byte the host sent. The same script drives the COM line,
// the parallel port (through platform::FakePortAccess) and the USB library
// (through a fake D2XX table), so a test can run one exchange on each link.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/fake_port_access.h"
#include "programmer/link/com_transport.h"
#include "programmer/link/d2xx.h"
#include "tests/support/hex_bytes.h"

namespace zolvek::testing {

using Bytes = std::vector<uint8_t>;
using vx930::testing::Hex;

class ScriptedProgrammer {
public:
  explicit ScriptedProgrammer(platform::VirtualClock& clock) : clock_(clock) {}

  // --- Script ---
  ScriptedProgrammer& Expect(const Bytes& bytes);
  ScriptedProgrammer& Reply(const Bytes& bytes, uint32_t delayMs = 0);
  // "AT" answered with 'O', then the letter and its parameters.
  ScriptedProgrammer& Command(uint8_t letter, const Bytes& params = {});
  // "AT" answered with something else (or nothing: answer < 0).
  ScriptedProgrammer& BadPrompt(int answer);
  // Each byte echoed as it comes.
  ScriptedProgrammer& Echo(const Bytes& bytes);
  // From here the programmer listens and speaks at this rate (COM).
  ScriptedProgrammer& Rate(uint32_t baud);
  // From here the cable is pulled: COM reads and writes fail, the LPT pins
  // read low, the USB library fails every call.
  ScriptedProgrammer& PullCable();
  // From here the programmer takes no byte (COM writes fail, LPT pin 15
  // stays low, the USB transmit queue never empties); it still answers.
  ScriptedProgrammer& StopTaking();

  // --- Host side (the adapters) ---
  void HostWrites(uint8_t byte, uint32_t hostBaud = 0);
  // Bytes due by now.
  std::size_t Due();
  uint8_t Take();
  uint8_t Peek() const;
  // Milliseconds until the next byte in flight is due, or -1.
  int64_t NextDueIn();
  // Drops the bytes already arrived (those in flight still come).
  void PurgeArrived();
  bool Pulled() const { return pulled_; }
  bool Refusing() {
    RunSteps();
    return refusing_;
  }

  // --- Checks ---
  const Bytes& Heard() const { return heard_; }
  const std::vector<std::string>& Errors() const { return errors_; }
  bool Finished();
  int Purges() const { return purges_; }
  void CountPurge() { ++purges_; }

  platform::VirtualClock& Clock() { return clock_; }

private:
  struct Step {
    enum Kind { ExpectByte, ReplyBytes, SetRate, Pull, Refuse } kind;
    uint8_t byte = 0;
    Bytes bytes;
    uint32_t delay = 0;
    uint32_t baud = 0;
  };
  struct InFlight {
    uint8_t value;
    uint32_t due;
  };
  void RunSteps();

  platform::VirtualClock& clock_;
  std::deque<Step> script_;
  std::deque<InFlight> rx_;  // toward the host
  Bytes heard_;
  std::vector<std::string> errors_;
  uint32_t baud_ = 0;  // 0: any rate
  bool pulled_ = false;
  bool refusing_ = false;
  int purges_ = 0;
};

// The COM line onto a scripted programmer; the opener hands out one line
// for port `port` and refuses the others.
class ScriptedLine final : public SerialLine {
public:
  explicit ScriptedLine(ScriptedProgrammer& p) : p_(p) {}
  bool Write(const uint8_t* data, std::size_t n, std::size_t& written) override;
  bool Read(uint8_t* data, std::size_t n, uint32_t timeoutMs, std::size_t& received) override;
  void PurgeRx() override;
  void PurgeTx() override {}
  bool Close() override { return true; }
  bool SetBaud(uint32_t baud) override;

private:
  ScriptedProgrammer& p_;
  uint32_t baud_ = BaudTable[0];
};
SerialOpener ScriptedOpener(ScriptedProgrammer& p, int port = 1);

// The programmer's end of the parallel cable.
class ScriptedLptDevice final : public platform::FakePortAccess::Device {
public:
  explicit ScriptedLptDevice(ScriptedProgrammer& p) : p_(p) {}
  bool InputPin(int pin) override;
  uint8_t DataLines() override;
  void PinChanged(int pin, bool high) override;
  void DataWritten(uint8_t value) override { latch_ = value; }
  // Pin 15 low: the programmer withholds ready.
  void HoldBusy(bool busy) { busy_ = busy; }

private:
  ScriptedProgrammer& p_;
  uint8_t latch_ = 0;
  bool strobeLow_ = false;
  bool ackLow_ = false;
  bool busy_ = false;
};

// A D2XX library in the process: attached devices by description, the
// programmer behind the one that matches. Only one may exist at a time.
class FakeD2xx {
public:
  static constexpr FT_STATUS kIoError = 4;

  explicit FakeD2xx(ScriptedProgrammer* p, std::vector<std::string> descriptions = {kProgrammerDescription});
  ~FakeD2xx();
  const D2xxApi& Api() const { return api_; }

  void FailList(int index) { failList_ = index; }
  void FailOpen(int index) { failOpen_ = index; }
  void FailCount(bool fail) { failCount_ = fail; }
  // FT_Write takes fewer bytes than asked.
  void ShortWrites(bool s) { shortWrites_ = s; }
  int Opens() const { return opens_; }
  std::vector<int> Closed() const { return closed_; }
  int Resets() const { return resets_; }
  std::vector<uint32_t> Purges() const { return purgeMasks_; }
  int Calls() const { return calls_; }

private:
  static FakeD2xx* current_;
  static FT_STATUS Write(FT_HANDLE, void*, FT_DWORD, FT_DWORD*);
  static FT_STATUS Read(FT_HANDLE, void*, FT_DWORD, FT_DWORD*);
  static FT_STATUS Open(int, FT_HANDLE*);
  static FT_STATUS ListDevices(void*, void*, FT_DWORD);
  static FT_STATUS Close(FT_HANDLE);
  static FT_STATUS ResetDevice(FT_HANDLE);
  static FT_STATUS Purge(FT_HANDLE, uint32_t);
  static FT_STATUS SetTimeouts(FT_HANDLE, uint32_t, uint32_t);
  static FT_STATUS GetQueueStatus(FT_HANDLE, FT_DWORD*);
  static FT_STATUS GetStatus(FT_HANDLE, FT_DWORD*, FT_DWORD*, FT_DWORD*);
  bool Programmer(FT_HANDLE h) const;

  ScriptedProgrammer* p_;
  std::vector<std::string> descriptions_;
  D2xxApi api_;
  std::vector<int> handles_;  // handle value - 1 = device index
  int failList_ = -1;
  int failOpen_ = -1;
  bool failCount_ = false;
  bool shortWrites_ = false;
  int opens_ = 0;
  std::vector<int> closed_;
  int resets_ = 0;
  std::vector<uint32_t> purgeMasks_;
  int calls_ = 0;
};

}  // namespace zolvek::testing
