// Millisecond time for every wait, pause and time-out in both programs.
//
// Code asks platform::CurrentClock() for time; the programs run on the system's
// monotonic clock and tests install a VirtualClock, on which sleeping advances
// time at once, so long waits run instantly and deterministically.
#pragma once

#include <atomic>
#include <cstdint>

namespace platform {

class Clock {
public:
  virtual ~Clock() = default;
  // Milliseconds since an arbitrary origin; wraps at 2^32 like a tick counter,
  // so callers compare ticks by unsigned difference only.
  virtual uint32_t Tick() = 0;
  virtual void Sleep(uint32_t ms) = 0;
};

// Monotonic clock; Sleep blocks the calling thread.
class SystemClock final : public Clock {
public:
  uint32_t Tick() override;
  void Sleep(uint32_t ms) override;
};

// Test time: Tick() is a counter that Sleep() and Advance() move forward.
// Safe to share between a test and the threads it starts.
class VirtualClock final : public Clock {
public:
  explicit VirtualClock(uint32_t start = 0) : now_(start) {}
  uint32_t Tick() override { return now_.load(); }
  void Sleep(uint32_t ms) override;
  void Advance(uint32_t ms) { now_.fetch_add(ms); }
  // Total milliseconds slept through Sleep(), for asserting on pauses.
  uint64_t Slept() const { return slept_.load(); }

private:
  std::atomic<uint32_t> now_;
  std::atomic<uint64_t> slept_{0};
};

// The clock in force: the system clock unless a test installed another.
Clock& CurrentClock();
// Installs clock (null restores the system clock); returns the previous one.
Clock* SetClock(Clock* clock);

// Milliseconds from `since` to now on the current clock, wrap-safe.
inline uint32_t ElapsedSince(uint32_t since) { return CurrentClock().Tick() - since; }

// Installs a clock for one scope, for tests.
class ScopedClock {
public:
  explicit ScopedClock(Clock& clock) : previous_(SetClock(&clock)) {}
  ~ScopedClock() { SetClock(previous_); }
  ScopedClock(const ScopedClock&) = delete;
  ScopedClock& operator=(const ScopedClock&) = delete;

private:
  Clock* previous_;
};

}  // namespace platform
