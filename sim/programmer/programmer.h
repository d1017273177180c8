// The simulated programmer as adapters and tests hold it: the byte engine
// behind a lock, on a clock.
//
// Time is platform::CurrentClock() (so a test's VirtualClock drives it)
// unless a time source is given (zolvek-sim uses SteadyTime(), in
// microseconds, for pacing finer than a millisecond). Every member is safe to
// call from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "sim/programmer/command_log.h"
#include "sim/programmer/engine.h"
#include "sim/programmer/faults.h"

namespace sim::programmer {

class Programmer {
public:
  using TimeSource = std::function<Micros()>;

  explicit Programmer(const EngineConfig& config = {}, TimeSource time = {});
  // Microseconds of the steady clock since this call, for a programmer that
  // serves a real host (zolvek-sim, the benchmarks).
  static TimeSource SteadyTime();

  // --- host side ---
  // hostBaud: the host's line rate on a serial adapter, 0 elsewhere.
  void HostWrite(const uint8_t* data, size_t n, uint32_t hostBaud = 0);
  void HostWrite(const std::vector<uint8_t>& bytes, uint32_t hostBaud = 0) {
    HostWrite(bytes.data(), bytes.size(), hostBaud);
  }
  size_t HostRead(uint8_t* out, size_t max, uint32_t hostBaud = 0);
  std::vector<uint8_t> HostReadAll(uint32_t hostBaud = 0);
  size_t Available();
  std::optional<uint8_t> Peek();
  bool ReadyForInput();
  // Microseconds until the next reply byte is due (0: now); empty when none.
  std::optional<Micros> UsUntilOutput();
  void Advance();

  // --- control, for tests and zolvek-sim ---
  void AddFault(const FaultRule& rule);
  void ClearFaults();
  void PullCable();
  void PlugCable();
  bool CablePulled();
  void PressStartKey();
  uint32_t ListeningBaud();
  Micros Now() const { return time_(); }
  // Runs fn under the lock with the engine (its chip, registers, buffers).
  void Access(const std::function<void(Engine&)>& fn);
  CommandLog& Log() { return log_; }

private:
  TimeSource time_;
  mutable std::mutex mutex_;
  FaultSet faults_;
  CommandLog log_;
  Engine engine_;
};

}  // namespace sim::programmer
