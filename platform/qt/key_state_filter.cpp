#include "platform/qt/key_state_filter.h"

#include <QEvent>
#include <QKeyEvent>

namespace platform {

namespace {

bool IsUserInput(QEvent::Type type) {
  switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::Close:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd: return true;
    default: return false;
  }
}

}  // namespace

KeyStateFilter::KeyStateFilter(LatchingKeyState& keys, std::function<bool()> busy, QObject* parent)
    : QObject(parent), keys_(keys), busy_(std::move(busy)) {}

bool KeyStateFilter::eventFilter(QObject* watched, QEvent* event) {
  // A key press reaches the filter once per widget it travels through; the
  // latch makes a repeat of the same press harmless.
  if (event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Escape) keys_.Press(Key::Escape);
    if (key->key() == Qt::Key_Y) keys_.Press(Key::Y);
  }
  if (busy_ && busy_() && IsUserInput(event->type())) {
    event->ignore();
    return true;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace platform
