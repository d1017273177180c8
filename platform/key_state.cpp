#include "platform/key_state.h"

namespace platform {

void LatchingKeyState::Press(Key key) { latched_[static_cast<size_t>(key)].store(true); }

bool LatchingKeyState::TakePressed(Key key) { return latched_[static_cast<size_t>(key)].exchange(false); }

void LatchingKeyState::Clear() {
  for (auto& latch : latched_) latch.store(false);
}

}  // namespace platform
