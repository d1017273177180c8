// The RAM view and the SFR window as the debugger drives them, over the
// link's real command set to the simulated board: what the user types reaches
// the board before the next run, and what the run changed shows after it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include "ide/ui/qt/ram_window.h"
#include "ide/ui/qt/ram_window_editor.h"
#include "ide/ui/qt/sfr_window.h"
#include "tests/ide/ui/core/debugger_fixture.h"
#include "tests/ide/ui/qt/sfr_dialog_script.h"
#include "tests/support/test_app.h"

namespace vx930::testing {
namespace {

// Makes the real RAM views and SFR window in an MDI area; no other window.
class WidgetViews final : public ViewFactory {
public:
  WidgetViews(QMdiArea& area, Debugger*& debugger) : area_(area), debugger_(debugger) {}
  ~WidgetViews() override {
    for (const QPointer<QMdiSubWindow>& w : windows_) delete w.data();
  }

  SourceView* CreateSourceView() override { return nullptr; }
  SfrView* CreateSfrView() override {
    auto* window = new TSFR_HForm(std::make_unique<DebuggerSfrHost>(*debugger_));
    const ChildWindow* id = window;
    QObject::connect(window, &QObject::destroyed, [this, id] { debugger_->ViewClosed(id); });
    Add(window);
    return window;
  }
  RamView* CreateRamView(const std::string& caption, RamViewCallbacks callbacks) override {
    auto* window = new TfmRAM(caption, std::move(callbacks), [this] { return debugger_->State().Stopped != 0; });
    Add(window);
    return window;
  }
  BreakPointView* CreateBreakPointView() override { return nullptr; }
  WatchView* CreateWatchView() override { return nullptr; }
  CommandView* CreateCommandView() override { return nullptr; }

private:
  void Add(QMdiSubWindow* window) {
    area_.addSubWindow(window);
    window->show();
    windows_.emplace_back(window);
  }
  QMdiArea& area_;
  Debugger*& debugger_;
  std::vector<QPointer<QMdiSubWindow>> windows_;
};

class RamSfrBoardTest : public DebuggerFixture {
protected:
  RamSfrBoardTest() {
    area_.resize(1024, 768);
    area_.show();
    host_.views = &widgets_;
    debugger_ = std::make_unique<Debugger>(state_, *config_, host_);
    debuggerPtr_ = debugger_.get();
  }
  void SetUp() override {
    Connect();
    // MOV 20H,#5AH; SJMP $
    board_.LoadCode(0, {0x75, 0x20, 0x5A, 0x80, 0xFE});
    HaltAt(0);
  }

  uint8_t BoardIram(int address) {
    uint8_t value = 0;
    board_.Access(
        [&](sim::ice::Memories& m, sim::ice::Core8051&) { value = m.iram[static_cast<std::size_t>(address)]; });
    return value;
  }
  uint8_t BoardSfr(int address) {
    uint8_t value = 0;
    board_.Access(
        [&](sim::ice::Memories& m, sim::ice::Core8051&) { value = m.sfr[static_cast<std::size_t>(address - 0x80)]; });
    return value;
  }
  TfmRAM* InRamWindow() { return dynamic_cast<TfmRAM*>(debugger_->InRAMView()); }
  void Type(TfmRAM* view, int line, int column, const char* keys) {
    RamDumpEditor* editor = view->Editor();
    const QPoint at = editor->CellOrigin(line, column) + QPoint(0, editor->LineHeight() / 2);
    QTest::mouseClick(editor->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::keyClicks(editor, keys);
  }
  // The target runs a while, is stopped, and the halt is handled.
  void RunAndStop() {
    debugger_->NormalRun1Click();
    ASSERT_EQ(state_.Stopped, 0);
    debugger_->Timer1Timer();  // the board runs the target inside the busy check
    debugger_->StopBtnClick();
    PollUntilQuiet();
    ASSERT_EQ(state_.Stopped, 1);
  }
  // Index of the first command named `name` in `sent`, or -1.
  static int IndexOf(const std::vector<std::string>& sent, const std::string& name) {
    const auto it = std::find(sent.begin(), sent.end(), name);
    return it == sent.end() ? -1 : static_cast<int>(it - sent.begin());
  }

  QApplication& app_ = TestApp();
  QMdiArea area_;
  Debugger* debuggerPtr_ = nullptr;
  // Last, so its windows go while the debugger their callbacks reach is alive.
  WidgetViews widgets_{area_, debuggerPtr_};
};

TEST_F(RamSfrBoardTest, AByteTypedIntoTheRamViewReachesTheBoardBeforeTheNextRun) {
  board_.Access([](sim::ice::Memories& m, sim::ice::Core8051&) { m.iram[0x11] = 0x77; });
  debugger_->InternalRAM1Click();
  TfmRAM* view = InRamWindow();
  ASSERT_TRUE(view);
  EXPECT_EQ(view->windowTitle(), "Internal 256 RAM");
  EXPECT_EQ(view->Dump().LineText(1).substr(5, 6), "00 77 ");  // read from the board on opening
  Sent();

  Type(view, 1, 5, "a5");
  EXPECT_EQ(state_.InRAMImage[0x10], 0xA5);
  EXPECT_EQ(BoardIram(0x10), 0x00);  // not sent until the run
  EXPECT_TRUE(Sent().empty());

  debugger_->NormalRun1Click();
  const std::vector<std::string> sent = Sent();
  ASSERT_GE(IndexOf(sent, "icTxInRAM"), 0);
  EXPECT_LT(IndexOf(sent, "icTxInRAM"), IndexOf(sent, "icRun"));
  EXPECT_EQ(BoardIram(0x10), 0xA5);
  EXPECT_EQ(BoardIram(0x11), 0x77);
  EXPECT_FALSE(view->Dump().AnyDirty());

  // While it runs: no edit, nothing read.
  messages_.Clear();
  Type(view, 2, 5, "1");
  EXPECT_EQ(messages_.LastText(), "Please Stop the ICE First !!");
  EXPECT_EQ(state_.InRAMImage[0x20], 0x00);
  QTest::keyClick(view->Editor(), Qt::Key_Down);
  EXPECT_EQ(IndexOf(Sent(), "icReqInRAM"), -1);

  debugger_->Timer1Timer();
  debugger_->StopBtnClick();
  PollUntilQuiet();
  // The halt shows what the program wrote, in red, and the edit as sent.
  EXPECT_EQ(state_.InRAMImage[0x20], 0x5A);
  EXPECT_EQ(view->Dump().LineText(2).substr(5, 2), "5A");
  EXPECT_TRUE(view->Dump().IsRed(0x20));
  EXPECT_EQ(view->Dump().LineText(1).substr(5, 2), "A5");
  EXPECT_FALSE(view->Dump().IsRed(0x10));
}

TEST_F(RamSfrBoardTest, AnSfrEditedInItsDialogIsSentBeforeTheNextRun) {
  debugger_->SFRH1Click();
  auto* sfr = dynamic_cast<TSFR_HForm*>(debugger_->SFR_HForm());
  ASSERT_TRUE(sfr);
  EXPECT_EQ(sfr->ValueBox(27)->text(), "  00");
  WhenDialogShows([](TfmSFRSetting& d) {
    d.edSFRValue()->setText("5A");
    d.btnOk()->click();
  });
  sfr->CellClick(0);  // ACC
  EXPECT_EQ(state_.SFRDirty, 1);
  EXPECT_EQ(BoardSfr(0xE0), 0x00);
  Sent();

  debugger_->NormalRun1Click();
  const std::vector<std::string> sent = Sent();
  ASSERT_GE(IndexOf(sent, "icTxSFR"), 0);
  EXPECT_LT(IndexOf(sent, "icTxSFR"), IndexOf(sent, "icRun"));
  EXPECT_EQ(state_.SFRDirty, 0);
  EXPECT_EQ(BoardSfr(0xE0), 0x5A);

  debugger_->Timer1Timer();
  debugger_->StopBtnClick();
  PollUntilQuiet();
  // After the halt ACC is read back unchanged; the program counter moved.
  EXPECT_EQ(sfr->ValueBox(0)->text(), "  5A");
  EXPECT_FALSE(sfr->IsMarked(0));
  EXPECT_TRUE(sfr->IsMarked(54));  // PCL
}

TEST_F(RamSfrBoardTest, ARegisterEditedInTheSfrWindowGoesOutThroughTheRamView) {
  debugger_->SFRH1Click();
  auto* sfr = dynamic_cast<TSFR_HForm*>(debugger_->SFR_HForm());
  ASSERT_TRUE(sfr);
  ASSERT_EQ(debugger_->InRAMView(), nullptr);
  WhenDialogShows([](TfmSFRSetting& d) {
    d.edSFRValue()->setText("3c");
    d.btnOk()->click();
  });
  sfr->CellClick(58);  // R2 of bank 0
  TfmRAM* view = InRamWindow();
  ASSERT_TRUE(view);  // opened for the edit
  EXPECT_EQ(view->Dump().LineText(0).substr(11, 2), "3C");
  EXPECT_TRUE(view->Dump().IsDirty(0));
  EXPECT_EQ(state_.SFRDirty, 0);
  Sent();

  RunAndStop();
  EXPECT_EQ(BoardIram(0x02), 0x3C);
  EXPECT_EQ(sfr->ValueBox(58)->text(), "  3C");

  // Typing over R7 in the RAM view updates the SFR window's register box.
  Type(view, 0, 5 + 3 * 7, "99");
  EXPECT_EQ(sfr->ValueBox(63)->text(), "  99");
  EXPECT_TRUE(sfr->IsMarked(63));
}

}  // namespace
}  // namespace vx930::testing
