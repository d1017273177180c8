// The QApplication of a widget test program: one per program,
// reused when another file made it first. One made here is deleted when the
// tests end, before the exit handlers run, so that Qt's input devices (made
// by simulated key and mouse events) go while their registry still exists.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>

namespace vx930::testing {

inline QApplication& TestApp() {
  static int argc = 1;
  static char name[] = "vx930_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* ours = nullptr;
  if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) return *app;
  struct DeleteAtEnd final : ::testing::Environment {
    void TearDown() override {
      delete ours;
      ours = nullptr;
    }
  };
  ours = new QApplication(argc, argv);
  ::testing::AddGlobalTestEnvironment(new DeleteAtEnd);
  return *ours;
}

}  // namespace vx930::testing
