#include "sim/programmer/programmer.h"

#include <chrono>
#include <memory>

#include "platform/clock.h"

namespace sim::programmer {

namespace {

// The 32-bit millisecond tick, unwrapped into microseconds.
Programmer::TimeSource ClockTime() {
  struct State {
    bool started = false;
    uint32_t last = 0;
    uint64_t total = 0;
    std::mutex m;
  };
  auto s = std::make_shared<State>();
  return [s]() -> Micros {
    std::lock_guard lock(s->m);
    const uint32_t now = platform::CurrentClock().Tick();
    if (!s->started) {
      s->started = true;
      s->last = now;
    }
    s->total += now - s->last;
    s->last = now;
    return s->total * 1000;
  };
}

}  // namespace

Programmer::TimeSource Programmer::SteadyTime() {
  const auto origin = std::chrono::steady_clock::now();
  return [origin] {
    return static_cast<Micros>(
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - origin).count());
  };
}

Programmer::Programmer(const EngineConfig& config, TimeSource time)
    : time_(time ? std::move(time) : ClockTime()), engine_(config, faults_, log_) {}

void Programmer::HostWrite(const uint8_t* data, size_t n, uint32_t hostBaud) {
  std::lock_guard lock(mutex_);
  engine_.Receive(data, n, time_(), hostBaud);
}

size_t Programmer::HostRead(uint8_t* out, size_t max, uint32_t hostBaud) {
  std::lock_guard lock(mutex_);
  return engine_.Transmit(out, max, time_(), hostBaud);
}

std::vector<uint8_t> Programmer::HostReadAll(uint32_t hostBaud) {
  std::lock_guard lock(mutex_);
  const Micros now = time_();
  std::vector<uint8_t> out(engine_.Available(now));
  out.resize(engine_.Transmit(out.data(), out.size(), now, hostBaud));
  return out;
}

size_t Programmer::Available() {
  std::lock_guard lock(mutex_);
  const Micros now = time_();
  engine_.Advance(now);
  return engine_.Available(now);
}

std::optional<uint8_t> Programmer::Peek() {
  std::lock_guard lock(mutex_);
  const Micros now = time_();
  engine_.Advance(now);
  return engine_.Peek(now);
}

bool Programmer::ReadyForInput() {
  std::lock_guard lock(mutex_);
  const Micros now = time_();
  engine_.Advance(now);
  return engine_.ReadyForInput(now);
}

std::optional<Micros> Programmer::UsUntilOutput() {
  std::lock_guard lock(mutex_);
  const Micros now = time_();
  engine_.Advance(now);
  const auto at = engine_.NextOutputAt();
  if (!at) return std::nullopt;
  return *at > now ? *at - now : 0;
}

void Programmer::Advance() {
  std::lock_guard lock(mutex_);
  engine_.Advance(time_());
}

void Programmer::AddFault(const FaultRule& rule) {
  std::lock_guard lock(mutex_);
  faults_.Add(rule);
}

void Programmer::ClearFaults() {
  std::lock_guard lock(mutex_);
  faults_.Clear();
  engine_.ClearSilence();
}

void Programmer::PullCable() {
  std::lock_guard lock(mutex_);
  engine_.PullCable();
}

void Programmer::PlugCable() {
  std::lock_guard lock(mutex_);
  engine_.PlugCable();
}

bool Programmer::CablePulled() {
  std::lock_guard lock(mutex_);
  return engine_.CablePulled();
}

void Programmer::PressStartKey() {
  std::lock_guard lock(mutex_);
  engine_.PressStartKey();
}

uint32_t Programmer::ListeningBaud() {
  std::lock_guard lock(mutex_);
  return engine_.ListeningBaud();
}

void Programmer::Access(const std::function<void(Engine&)>& fn) {
  std::lock_guard lock(mutex_);
  fn(engine_);
}

}  // namespace sim::programmer
