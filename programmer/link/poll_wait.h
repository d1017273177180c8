// Time-bounded polling on the current clock, shared by the transports.
#pragma once

#include <cstdint>

#include "platform/clock.h"

namespace zolvek {

enum class Poll { Wait, Done, Fail };

// Calls probe until it gives Done or Fail, or ms have passed; Wait when the
// time ran out. The first probes follow each other at once (a live
// programmer answers within microseconds); after that a millisecond's sleep
// between probes keeps a long wait off the processor and lets virtual time
// run in tests. The bound is the time; the count only picks when to sleep.
template <class Probe>
Poll PollFor(uint32_t ms, Probe&& probe) {
  constexpr int kSpinProbes = 64;
  platform::Clock& clock = platform::CurrentClock();
  const uint32_t start = clock.Tick();
  for (int i = 0;; ++i) {
    const Poll p = probe();
    if (p != Poll::Wait) return p;
    if (clock.Tick() - start >= ms) return Poll::Wait;
    if (i >= kSpinProbes) clock.Sleep(1);
  }
}

}  // namespace zolvek
