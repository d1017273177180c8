// Time-bounded polling and draining on the current clock, shared by the
// transports.
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

// Drops what a line still offers until it has been quiet, at most limitMs in
// all. take() waits one quiet time for input and drops what came: Done when
// it dropped something, Wait when nothing came, Fail when the line failed.
// True when the line went quiet.
template <class Take>
bool DrainUntilQuiet(uint32_t limitMs, Take&& take) {
  const uint32_t start = platform::CurrentClock().Tick();
  while (platform::ElapsedSince(start) < limitMs) {
    const Poll p = take();
    if (p != Poll::Done) return p == Poll::Wait;
  }
  return false;
}

}  // namespace zolvek
