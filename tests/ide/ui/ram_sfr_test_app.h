// The QApplication of the widget tests of the RAM view, the SFR window and
// the about box: made once per process, or the one already made. One made
// here is deleted when the test program has run its tests, before the
// program's statics go: deleted later it would outlive Qt's own (the input
// devices that QTest's key and mouse events register) and crash at exit.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>

namespace vx930::testing {

class WidgetTestAppTearDown final : public ::testing::Environment {
public:
  explicit WidgetTestAppTearDown(QApplication* app) : app_(app) {}
  void TearDown() override {
    delete app_;
    app_ = nullptr;
  }

private:
  QApplication* app_;
};

inline QApplication& WidgetTestApp() {
  if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) return *app;
  static int argc = 1;
  static char name[] = "test_vx930_ui";
  static char* argv[] = {name, nullptr};
  auto* app = new QApplication(argc, argv);
  ::testing::AddGlobalTestEnvironment(new WidgetTestAppTearDown(app));
  return *app;
}

}  // namespace vx930::testing
