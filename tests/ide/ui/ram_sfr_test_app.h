// The QApplication of the widget tests of the RAM view, the SFR window and
// the about box: made once per process, or the one already made. It is never
// destroyed: at exit it would outlive Qt's own statics (the input devices that
// QTest's key and mouse events register), and still reachable it is no leak.
#pragma once

#include <QApplication>

namespace vx930::testing {

inline QApplication& WidgetTestApp() {
  if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) return *app;
  static int argc = 1;
  static char name[] = "test_vx930_ui";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

}  // namespace vx930::testing
