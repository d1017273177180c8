// The key-state filter on the application, offscreen: what a user's ESC, 'Y',
// clicks and window closes do while an operation runs and while none does.
#include "platform/qt/key_state_filter.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

#include "tests/support/test_app.h"

namespace platform {
namespace {

class KeyStateFilterTest : public ::testing::Test {
protected:
  KeyStateFilterTest() : filter_(keys_, [this] { return busy_; }) {
    app_.installEventFilter(&filter_);
    auto* layout = new QVBoxLayout(&dialog_);
    button_ = new QPushButton("Start", &dialog_);
    layout->addWidget(button_);
    QObject::connect(button_, &QPushButton::clicked, [this] { ++clicks_; });
    dialog_.show();
    dialog_.activateWindow();
    button_->setFocus();
  }
  ~KeyStateFilterTest() override { app_.removeEventFilter(&filter_); }

  QApplication& app_ = vx930::testing::TestApp();  // before any widget
  LatchingKeyState keys_;
  bool busy_ = false;
  KeyStateFilter filter_;
  QDialog dialog_;
  QPushButton* button_ = nullptr;
  int clicks_ = 0;
};

TEST_F(KeyStateFilterTest, WhileBusyEscLatchesOnceAndLeavesTheDialogOpen) {
  busy_ = true;
  QTest::keyClick(button_, Qt::Key_Escape);
  EXPECT_TRUE(dialog_.isVisible());
  EXPECT_TRUE(keys_.TakePressed(Key::Escape));
  EXPECT_FALSE(keys_.TakePressed(Key::Escape)) << "one press, one read";
  EXPECT_FALSE(keys_.TakePressed(Key::Y));
}

TEST_F(KeyStateFilterTest, WhileBusyClicksKeysAndClosingDoNothingButYStillLatches) {
  busy_ = true;
  QTest::mouseClick(button_, Qt::LeftButton);
  QTest::keyClick(button_, Qt::Key_Space);
  QTest::keyClick(button_, Qt::Key_Y);
  EXPECT_FALSE(dialog_.close());
  EXPECT_EQ(clicks_, 0);
  EXPECT_TRUE(dialog_.isVisible());
  EXPECT_TRUE(keys_.TakePressed(Key::Y));
}

TEST_F(KeyStateFilterTest, WhenIdleInputPassesAndEscStillLatches) {
  QTest::mouseClick(button_, Qt::LeftButton);
  EXPECT_EQ(clicks_, 1);
  QTest::keyClick(button_, Qt::Key_Escape);
  EXPECT_FALSE(dialog_.isVisible()) << "ESC closes an idle dialog as usual";
  EXPECT_TRUE(keys_.TakePressed(Key::Escape));
}

}  // namespace
}  // namespace platform
