#include "platform/fake_key_state.h"

namespace platform {

void FakeKeyState::PressAtPoll(Key key, unsigned n) {
  std::lock_guard lock(mutex_);
  PerKey& k = keys_[key];
  k.press_at = n == 0 ? 0 : k.polls + n;
}

void FakeKeyState::Press(Key key) {
  std::lock_guard lock(mutex_);
  keys_[key].latched = true;
}

bool FakeKeyState::TakePressed(Key key) {
  std::lock_guard lock(mutex_);
  PerKey& k = keys_[key];
  ++k.polls;
  if (k.press_at != 0 && k.polls == k.press_at) {
    k.press_at = 0;
    k.latched = true;
  }
  bool pressed = k.latched;
  k.latched = false;
  return pressed;
}

unsigned FakeKeyState::Polls(Key key) const {
  std::lock_guard lock(mutex_);
  auto it = keys_.find(key);
  return it == keys_.end() ? 0 : it->second.polls;
}

}  // namespace platform
