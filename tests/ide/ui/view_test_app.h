// The one QApplication of the ide-ui test program, whichever test file asks
// first: an application made by another file is reused.
#pragma once

#include <QApplication>

namespace vx930::testing {

inline QApplication& TestApp() {
  if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) return *app;
  static int argc = 1;
  static char name[] = "test_vx930_ui";
  static char* argv[] = {name, nullptr};
  static QApplication app(argc, argv);
  return app;
}

}  // namespace vx930::testing
