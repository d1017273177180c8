// The front end's retry pattern: a command tried up to three times, with a
// pause after each failed try (none for the RAM views' block reads).
#pragma once

#include <cstdint>

#include "platform/clock.h"

namespace vx930 {

template <class Command>
bool Retry3(Command&& command, uint32_t pauseMs = 5) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (command()) return true;
    if (pauseMs > 0) platform::CurrentClock().Sleep(pauseMs);
  }
  return false;
}

}  // namespace vx930
