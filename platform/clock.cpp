#include "platform/clock.h"

#include <chrono>
#include <thread>

namespace platform {

uint32_t SystemClock::Tick() {
  using namespace std::chrono;
  const auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
  return static_cast<uint32_t>(ms);
}

void SystemClock::Sleep(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void VirtualClock::Sleep(uint32_t ms) {
  slept_.fetch_add(ms);
  now_.fetch_add(ms);
  // Let real threads that wait on virtual time make progress.
  std::this_thread::yield();
}

namespace {
SystemClock g_systemClock;
std::atomic<Clock*> g_clock{nullptr};
}  // namespace

Clock& CurrentClock() {
  Clock* c = g_clock.load();
  return c ? *c : g_systemClock;
}

Clock* SetClock(Clock* clock) { return g_clock.exchange(clock); }

}  // namespace platform
