// The breakpoint window and its property dialog offscreen, over the real
// debugger: the list follows the table, the check marks change it at once,
// and the dialog refuses bad input and stays open.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "ide/ui/qt/breakpoint_property.h"
#include "ide/ui/qt/breakpoint_window.h"
#include "tests/ide/ui/core/debugger_fixture.h"
#include "tests/support/test_app.h"

namespace vx930::testing {
namespace {

// Runs open(); when the property dialog shows, act(dialog) works it and
// must close it. Returns whether it showed.
bool WithPropertyDialog(const std::function<void()>& open, const std::function<void(TfmBrkProperty&)>& act) {
  bool shown = false;
  QTimer timer;
  timer.setInterval(5);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    auto* dialog = qobject_cast<TfmBrkProperty*>(QApplication::activeModalWidget());
    if (!dialog || shown) return;
    shown = true;
    act(*dialog);
  });
  timer.start();
  open();
  return shown;
}

class BreakPointWindowTest : public DebuggerFixture {
protected:
  BreakPointWindowTest() {
    TestApp();
    debugger_->Views().Register(views_.CreateSourceView());
    source_ = views_.sources.back().get();
    window_ = std::make_unique<TfmBreakPoint>(std::make_unique<DebuggerBreakPointHost>(*debugger_));
    debugger_->Views().Register(window_.get());
    window_->show();
  }

  QListWidget* List() { return window_->CheckListBox1(); }
  std::vector<std::string> Items() {
    std::vector<std::string> items;
    for (int i = 0; i < List()->count(); ++i)
      items.push_back(List()->item(i)->text().toStdString() +
                      (List()->item(i)->checkState() == Qt::Checked ? "+" : "-"));
    return items;
  }
  void Select(int row) { List()->setCurrentRow(row); }

  FakeSource* source_ = nullptr;
  std::unique_ptr<TfmBreakPoint> window_;
};

TEST_F(BreakPointWindowTest, TheListShowsEachEntrysAddressAndEnabledMark) {
  EXPECT_EQ(window_->windowTitle(), "Break Point");
  EXPECT_EQ(window_->BrkCount(), 2);
  EXPECT_EQ(Items(), (std::vector<std::string>{"0000-", "0000-"}));
  debugger_->SetBreakPoint(1, 0x1234, 5);
  window_->RefreshList();
  EXPECT_EQ(Items(), (std::vector<std::string>{"0000-", "1234+"}));
  // Marks taken from the source window reload the list too.
  source_->marks[0] = 0x00AB;
  debugger_->TakeSourceBreakPoints();
  EXPECT_EQ(Items(), (std::vector<std::string>{"00AB+", "1234+"}));
}

TEST_F(BreakPointWindowTest, UncheckingAnItemDisablesItsBreakPointAtOnce) {
  debugger_->SetBreakPoint(0, 0x0100, 0);
  debugger_->SetBreakPoint(1, 0x0200, 7);
  window_->RefreshList();
  List()->item(1)->setCheckState(Qt::Unchecked);
  EXPECT_EQ(state_.BreakPointTable[1].enabled, 0);
  EXPECT_EQ(state_.BreakPointTable[1].address, 0x0200u);
  EXPECT_EQ(state_.BreakPointTable[1].passCount, 7);
  EXPECT_EQ(state_.BreakPointTable[0].enabled, 1);
  EXPECT_EQ(source_->marks[1], -1);
  EXPECT_EQ(source_->marks[0], 0x0100);

  // The popup's Enable toggles the selected entry the same way.
  Select(1);
  window_->CheckListBox1MouseUp(QPoint(10, 10));
  EXPECT_FALSE(window_->miEnable()->isChecked());
  window_->pmBrkSetting()->hide();
  window_->miEnableClick();
  EXPECT_EQ(state_.BreakPointTable[1].enabled, 1);
  EXPECT_EQ(Items()[1], "0200+");
  EXPECT_TRUE(messages_.Texts().empty());
}

TEST_F(BreakPointWindowTest, WithoutASelectionNeitherMenuNorDialogOpens) {
  List()->clearSelection();
  const QPoint inside = List()->visualItemRect(List()->item(0)).center();
  QTest::mouseRelease(List()->viewport(), Qt::RightButton, {}, inside);
  EXPECT_FALSE(window_->pmBrkSetting()->isVisible());
  const bool shown =
      WithPropertyDialog([&] { QTest::keyClick(List(), Qt::Key_Return); }, [](TfmBrkProperty& d) { d.reject(); });
  EXPECT_FALSE(shown);

  Select(0);
  QTest::mouseRelease(List()->viewport(), Qt::RightButton, {}, inside);
  EXPECT_TRUE(window_->pmBrkSetting()->isVisible());
  window_->pmBrkSetting()->hide();
}

TEST_F(BreakPointWindowTest, ThePropertyDialogRefusesBadInputAndStaysOpen) {
  state_.BreakPointTable[1] = BreakPointRec{0x0ABC, 0, 9};
  window_->RefreshList();
  Select(1);
  std::vector<std::string> captions;
  const bool shown = WithPropertyDialog([&] { QTest::keyClick(List(), Qt::Key_Return); },
                                        [&](TfmBrkProperty& d) {
                                          captions.push_back(d.windowTitle().toStdString());
                                          EXPECT_EQ(d.edAddress()->text(), "0ABC");
                                          EXPECT_EQ(d.edPassCnt()->text(), "9");
                                          d.edAddress()->setText("10000");
                                          d.edPassCnt()->setText("255");
                                          d.btnOk()->click();
                                          EXPECT_TRUE(d.isVisible());
                                          d.edAddress()->setText("FFFF");
                                          d.btnOk()->click();
                                          EXPECT_TRUE(d.isVisible());
                                          EXPECT_EQ(d.edPassCnt()->text(), "255") << "the text stays as typed";
                                          EXPECT_EQ(state_.BreakPointTable[1].address, 0x0ABCu)
                                              << "nothing changes before OK succeeds";
                                          d.edPassCnt()->setText("254");
                                          d.btnOk()->click();
                                        });
  ASSERT_TRUE(shown);
  EXPECT_EQ(captions, std::vector<std::string>{"Break Point 1 Property"});
  EXPECT_EQ(messages_.Texts(), (std::vector<std::string>{"Address input invalid", "Pass count input invalid"}));
  const BreakPointRec& bp = state_.BreakPointTable[1];
  EXPECT_EQ(bp.address, 0xFFFFu);
  EXPECT_EQ(bp.passCount, 254);
  EXPECT_EQ(bp.enabled, 1) << "confirming enables a disabled entry";
  EXPECT_EQ(Items()[1], "FFFF+");
  EXPECT_EQ(source_->marks[1], 0xFFFF);
}

TEST_F(BreakPointWindowTest, EnterMovesThroughTheFieldsAndCancelChangesNothing) {
  Select(0);
  const bool shown = WithPropertyDialog([&] { window_->miPropertyClick(); },
                                        [&](TfmBrkProperty& d) {
                                          d.edAddress()->setFocus();
                                          d.edAddress()->setText("1234");
                                          QTest::keyClick(d.edAddress(), Qt::Key_Return);
                                          EXPECT_TRUE(d.isVisible());
                                          EXPECT_EQ(d.focusWidget(), d.edPassCnt());
                                          QTest::keyClick(d.edPassCnt(), Qt::Key_Return);
                                          EXPECT_TRUE(d.isVisible());
                                          EXPECT_EQ(d.focusWidget(), d.btnOk());
                                          d.btnCancel()->click();
                                        });
  ASSERT_TRUE(shown);
  EXPECT_EQ(state_.BreakPointTable[0].address, 0u);
  EXPECT_EQ(state_.BreakPointTable[0].enabled, 0);
}

TEST_F(BreakPointWindowTest, WhileTheTargetRunsTheTableIsLeftAlone) {
  debugger_->SetBreakPoint(0, 0x0100, 0);
  window_->RefreshList();
  state_.Stopped = 0;
  List()->item(0)->setCheckState(Qt::Unchecked);
  EXPECT_EQ(state_.BreakPointTable[0].enabled, 1);
  EXPECT_EQ(Items()[0], "0100+") << "the check mark is put back";
  Select(0);
  const bool shown = WithPropertyDialog([&] { window_->miPropertyClick(); }, [](TfmBrkProperty& d) { d.reject(); });
  EXPECT_FALSE(shown);
  EXPECT_EQ(messages_.Texts(),
            (std::vector<std::string>{"Please Stop the ICE First !!", "Please Stop the ICE First !!"}));
}

TEST_F(BreakPointWindowTest, ClosingFreesTheWindowAndTheDebuggerForgetsIt) {
  auto* window = new TfmBreakPoint(std::make_unique<DebuggerBreakPointHost>(*debugger_));
  const ChildWindow* id = window;
  QObject::connect(window, &QObject::destroyed, [this, id] { debugger_->ViewClosed(id); });
  debugger_->Views().Register(window);
  QPointer<TfmBreakPoint> alive(window);
  window->show();
  window->Close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(alive.isNull());
  EXPECT_EQ(debugger_->fmBreakPoint(), nullptr);
}

}  // namespace
}  // namespace vx930::testing
