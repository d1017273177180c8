// Test double of the key state: presses a key at a chosen poll, so a test can
// abort an operation at an exact point, and counts the polls per key.
#pragma once

#include <map>
#include <mutex>

#include "platform/key_state.h"

namespace platform {

class FakeKeyState final : public KeyState {
public:
  // The `n`-th poll of `key` from now on (1 = the next) reports a press.
  void PressAtPoll(Key key, unsigned n);
  // Latches a press now, as the event filter would.
  void Press(Key key);
  bool TakePressed(Key key) override;
  // Polls of `key` so far.
  unsigned Polls(Key key) const;

private:
  struct PerKey {
    bool latched = false;
    unsigned polls = 0;
    unsigned press_at = 0;  // 0: none scheduled
  };
  mutable std::mutex mutex_;
  std::map<Key, PerKey> keys_;
};

}  // namespace platform
