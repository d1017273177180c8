// Feeds a LatchingKeyState from the keys pressed in our windows, and keeps the
// user's hands off the windows while a long operation runs on the UI thread.
//
// Installed on the application, it sees every event before its widget does:
//  - an ESC or 'Y' press latches in the key state, busy or not;
//  - while `busy` says so, every key, mouse and wheel event, and every attempt
//    to close a window, is swallowed: the operation's own loop lets Qt repaint,
//    and nothing the user does may start a second command or close the dialog
//    under it. ESC aborts the operation through the latch and, swallowed, does
//    not also close the dialog.
#pragma once

#include <QObject>
#include <functional>

#include "platform/key_state.h"

namespace platform {

class KeyStateFilter : public QObject {
public:
  KeyStateFilter(LatchingKeyState& keys, std::function<bool()> busy, QObject* parent = nullptr);

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  LatchingKeyState& keys_;
  std::function<bool()> busy_;
};

}  // namespace platform
