// The SFR window and its dialog offscreen, over a debugger with fake views:
// the cells, the white-on-blue marks, the dialog's input rule, and where an
// edit goes.
#include "ide/ui/qt/sfr_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QPushButton>
#include <QTest>

#include "ide/ui/qt/sfr_edit_dialog.h"
#include "tests/ide/ui/core/debugger_fixture.h"
#include "tests/ide/ui/qt/sfr_dialog_script.h"
#include "tests/support/test_app.h"

namespace vx930::testing {
namespace {

class SfrWindowTest : public DebuggerFixture {
protected:
  SfrWindowTest() {
    area_.resize(1024, 768);
    area_.show();
    form_ = new TSFR_HForm(std::make_unique<DebuggerSfrHost>(*debugger_));
    area_.addSubWindow(form_);
    form_->show();
    debugger_->Views().Register(form_.data());
    id_ = form_.data();
  }
  ~SfrWindowTest() override {
    // The identity taken while the window lived: it may be gone by now.
    debugger_->ViewClosed(id_);
    delete form_.data();
  }
  // Edits a cell through the dialog with the text typed and OK.
  void Edit(int cell, const QString& text) {
    WhenDialogShows([text](TfmSFRSetting& d) {
      d.edSFRValue()->setText(text);
      d.btnOk()->click();
    });
    form_->CellClick(cell);
  }
  QString Box(int cell) const { return form_->ValueBox(cell)->text(); }

  QApplication& app_ = TestApp();
  QMdiArea area_;
  QPointer<TSFR_HForm> form_;
  const ChildWindow* id_ = nullptr;
};

TEST_F(SfrWindowTest, BuildsACellForEveryShownRegisterAndEachOfROToR7) {
  EXPECT_EQ(form_->windowTitle(), "SFR");
  EXPECT_EQ(form_->Cells().CellCount(), 64);
  EXPECT_EQ(form_->NameButton(0)->text(), "ACC    ");
  EXPECT_EQ(form_->NameButton(56)->text(), "R0");
  EXPECT_EQ(form_->NameButton(63)->text(), "R7");
  EXPECT_EQ(Box(0), "  00");
  // Created at 459 wide: four columns, and the client sized to fit them.
  EXPECT_EQ(form_->ColumnCount(), 4);
  EXPECT_EQ(form_->widget()->size(), QSize(430, 455));
  EXPECT_EQ(form_->NameButton(5)->geometry(), QRect(110, 45, 55, 20));
  EXPECT_EQ(form_->ValueBox(5)->geometry(), QRect(175, 45, 55, 20));
}

TEST_F(SfrWindowTest, ResizingLaysTheCellsOutAgain) {
  const QSize frame = form_->size() - form_->widget()->size();
  for (const int clientWidth : {150, 80}) {
    form_->resize(clientWidth + frame.width(), 300);
    EXPECT_EQ(form_->ColumnCount(), 1) << clientWidth;
    EXPECT_EQ(form_->NameButton(1)->geometry(), QRect(10, 45, 55, 20));
    EXPECT_EQ(form_->ValueBox(63)->geometry(), QRect(75, 63 * 25 + 20, 55, 20));
  }
  form_->resize(700 + frame.width(), 300);
  EXPECT_EQ(form_->ColumnCount(), 7);
  EXPECT_EQ(form_->size(), QSize(700 + frame.width(), 300));  // the window keeps its size
}

TEST_F(SfrWindowTest, RefreshMarksOnlyChangedValuesWhiteOnBlue) {
  state_.SFRImage[kSfrIndexPSW] = 0x18;
  state_.InRAMImage[0x1D] = 0x44;
  state_.SnapshotSFR();
  state_.SFRImage[kSfrIndexPCH] = 0x12;
  state_.InRAMImage[0x1D] = 0x45;  // R5 of bank 3
  state_.InRAMImage[0x1E] = 0x46;
  state_.SavedRn[6] = 0x46;
  form_->RefreshValues();
  std::vector<int> marked;
  for (int i = 0; i < 64; ++i)
    if (form_->IsMarked(i)) marked.push_back(i);
  EXPECT_EQ(marked, (std::vector<int>{55, 61}));
  const QPalette p = form_->ValueBox(55)->palette();
  EXPECT_EQ(p.color(QPalette::Window), QColor(0, 0, 255));
  EXPECT_EQ(p.color(QPalette::WindowText), QColor(255, 255, 255));
  EXPECT_EQ(Box(55), "  12");
  EXPECT_EQ(Box(61), "  45");
  EXPECT_EQ(Box(62), "  46");

  // The next run's snapshot takes the marks away.
  state_.SnapshotSFR();
  form_->RefreshValues();
  EXPECT_FALSE(form_->IsMarked(55));
  EXPECT_FALSE(form_->IsMarked(61));
}

TEST_F(SfrWindowTest, RefreshRegistersFollowsTheBankInPsw) {
  for (int k = 0; k < 8; ++k) state_.InRAMImage[0x18 + k] = static_cast<uint8_t>(0xC0 + k);
  state_.SFRImage[kSfrIndexPSW] = 0x18;
  form_->RefreshRegisters();
  EXPECT_EQ(Box(56), "  C0");
  EXPECT_EQ(Box(63), "  C7");
  EXPECT_EQ(Box(27), "  00");  // the SFR boxes are RefreshValues'
}

TEST_F(SfrWindowTest, DialogRefusesTextThatIsNotAByteAndStaysOpen) {
  TfmSFRSetting dialog(form_);
  EXPECT_EQ(dialog.windowTitle(), "SFR Setting");
  EXPECT_EQ(dialog.lbSFRName()->text(), "SFR Name");
  EXPECT_EQ(dialog.lbReadOnly()->text(), "(ReadOnly)");
  dialog.Prepare("TMOD   : (Hex)", "21", true);
  dialog.show();
  for (const char* bad : {"100", "", "G1", "0x10"}) {
    messages_.Clear();
    dialog.edSFRValue()->setText(bad);
    dialog.btnOk()->click();
    EXPECT_EQ(messages_.Texts(), (std::vector<std::string>{kSfrInputInvalid})) << bad;
    EXPECT_TRUE(dialog.isVisible()) << bad;
    EXPECT_EQ(dialog.edSFRValue()->text(), bad);
  }
  dialog.edSFRValue()->setText("fF");
  QTest::keyClick(dialog.edSFRValue(), Qt::Key_Return);  // Enter is OK
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.Value(), 255);
}

TEST_F(SfrWindowTest, EditingAnSfrMarksTheBlockForSending) {
  Edit(0, "5a");
  EXPECT_EQ(state_.SFRImage[39], 0x5A);
  EXPECT_EQ(state_.SFRDirty, 1);
  EXPECT_EQ(Box(0), "  5A");
  ASSERT_TRUE(form_->SettingDialog());
  EXPECT_EQ(form_->SettingDialog()->lbSFRName()->text(), "ACC    : (Hex)");
  // The same dialog serves the next edit, set up for that register.
  TfmSFRSetting* first = form_->SettingDialog();
  state_.SFRImage[SFRTable[7].ImageIndex] = 0x21;
  QString shown;
  WhenDialogShows([&](TfmSFRSetting& d) {
    shown = d.edSFRValue()->text();
    d.btnCancel()->click();
  });
  form_->CellClick(7);
  EXPECT_EQ(form_->SettingDialog(), first);
  EXPECT_EQ(shown, "21");
  EXPECT_EQ(state_.SFRImage[SFRTable[7].ImageIndex], 0x21);
}

TEST_F(SfrWindowTest, EditingPswShowsTheRegistersOfTheNewBank) {
  for (int k = 0; k < 8; ++k) {
    state_.InRAMImage[k] = static_cast<uint8_t>(0x10 + k);
    state_.InRAMImage[0x08 + k] = static_cast<uint8_t>(0x80 + k);
  }
  form_->RefreshValues();
  EXPECT_EQ(Box(58), "  12");
  Edit(27, "08");  // PSW: bank 1
  EXPECT_EQ(state_.SFRImage[kSfrIndexPSW], 0x08);
  for (int k = 0; k < 8; ++k) EXPECT_EQ(Box(56 + k), QString("  8%1").arg(k)) << k;
  // The dialog of a register and its box agree.
  QString shown;
  WhenDialogShows([&](TfmSFRSetting& d) {
    shown = d.edSFRValue()->text();
    d.btnCancel()->click();
  });
  form_->CellClick(58);
  EXPECT_EQ(shown, "82");
}

TEST_F(SfrWindowTest, ReadOnlyRegistersOpenButChangeNothing) {
  for (const int row : {43, 44, 54, 55}) {  // ADC0L, ADC0H, PCL, PCH
    SCOPED_TRACE(row);
    bool editEnabled = true;
    bool readOnlyShown = false;
    WhenDialogShows([&](TfmSFRSetting& d) {
      editEnabled = d.edSFRValue()->isEnabled();
      readOnlyShown = d.lbReadOnly()->isVisible();
      d.btnOk()->click();
    });
    form_->CellClick(row);
    EXPECT_FALSE(editEnabled);
    EXPECT_TRUE(readOnlyShown);
    EXPECT_EQ(state_.SFRDirty, 0);
    EXPECT_EQ(state_.SFRImage[SFRTable[row].ImageIndex], 0);
  }
  // A writable register hides the note again.
  bool readOnlyShown = true;
  WhenDialogShows([&](TfmSFRSetting& d) {
    readOnlyShown = d.lbReadOnly()->isVisible();
    d.btnCancel()->click();
  });
  form_->CellClick(1);
  EXPECT_FALSE(readOnlyShown);
}

TEST_F(SfrWindowTest, EditingR2InBankOneWritesInternalRamByteTenThroughItsView) {
  state_.SFRImage[kSfrIndexPSW] = 0x08;
  Edit(58, "3C");
  EXPECT_EQ(state_.InRAMImage[0x0A], 0x3C);
  EXPECT_EQ(Box(58), "  3C");
  EXPECT_EQ(state_.SFRDirty, 0);
  // The internal RAM view was opened for it and will send the block.
  ASSERT_EQ(views_.rams.size(), 1u);
  EXPECT_EQ(views_.ramCaptions.front(), "Internal 256 RAM");
  EXPECT_EQ(views_.rams[0]->dirtyMask, 1u);
  EXPECT_EQ(views_.rams[0]->redrawn, (std::vector<int>{0}));
}

TEST_F(SfrWindowTest, CancelChangesNothing) {
  WhenDialogShows([](TfmSFRSetting& d) {
    d.edSFRValue()->setText("77");
    d.btnCancel()->click();
  });
  form_->CellClick(0);
  EXPECT_EQ(state_.SFRImage[39], 0);
  EXPECT_EQ(state_.SFRDirty, 0);
  EXPECT_EQ(Box(0), "  00");
}

TEST_F(SfrWindowTest, NoEditIsTakenWhileTheTargetRuns) {
  state_.Stopped = 0;
  form_->CellClick(0);
  form_->CellClick(58);
  EXPECT_EQ(messages_.Texts(),
            (std::vector<std::string>{"Please Stop the ICE First !!", "Please Stop the ICE First !!"}));
  EXPECT_EQ(form_->SettingDialog(), nullptr);
  EXPECT_EQ(state_.SFRDirty, 0);
  EXPECT_TRUE(views_.rams.empty());
}

TEST_F(SfrWindowTest, ClosingFreesTheWindowAndItsDialog) {
  Edit(1, "01");
  QPointer<TfmSFRSetting> dialog = form_->SettingDialog();
  ASSERT_TRUE(dialog);
  bool destroyed = false;
  QObject::connect(form_, &QObject::destroyed, [&] { destroyed = true; });
  form_->Close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(destroyed);
  EXPECT_FALSE(form_);
  EXPECT_FALSE(dialog);
}

}  // namespace
}  // namespace vx930::testing
