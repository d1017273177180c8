// The one QApplication of the test program, made on first use.
#pragma once

#include <QApplication>

namespace vx930::testing {

inline QApplication& TestApp() {
  static int argc = 1;
  static char name[] = "test_vx930_link";
  static char* argv[] = {name, nullptr};
  static QApplication app(argc, argv);
  return app;
}

}  // namespace vx930::testing
