// Keys the user pressed in our windows, for code that polls for them during a
// long operation (ESC aborts, 'Y' answers).
//
// The programs feed a LatchingKeyState from an application event filter: a
// press latches until code reads it, so a press between two polls is never
// lost and one press is seen by one read only. Linux gives no key state of
// other applications; keys pressed in our own windows are what we offer.
// The state object is owned by the application and handed to whoever polls;
// there is no global.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace platform {

enum class Key : uint8_t { Escape = 0, Y = 1 };
inline constexpr size_t kKeyCount = 2;

class KeyState {
public:
  virtual ~KeyState() = default;
  // True when `key` was pressed since it was last read; reading clears it.
  virtual bool TakePressed(Key key) = 0;
};

// The real service: Press() from the event filter (any thread), TakePressed()
// from the polling code.
class LatchingKeyState : public KeyState {
public:
  void Press(Key key);
  bool TakePressed(Key key) override;
  // Drops every latched press, e.g. when an operation starts so that a key
  // pressed before it does not abort it.
  void Clear();

private:
  std::atomic<bool> latched_[kKeyCount]{};
};

// A key state that never reports a press: for callers with no user.
class NoKeys final : public KeyState {
public:
  bool TakePressed(Key) override { return false; }
};

}  // namespace platform
