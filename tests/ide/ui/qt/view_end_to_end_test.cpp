// The views in the main window against the simulated board over a pty: a
// breakpoint from the source window's gutter, a byte typed into the RAM
// view and an SFR edited in its dialog reaching the board before the next
// run, the watch window following a C variable of the OMF sample while it
// is stepped, and a command window restored from the layout.
#include <Qsci/qsciscintilla.h>
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QTest>

#include "ide/ui/qt/command_window.h"
#include "ide/ui/qt/ram_window.h"
#include "ide/ui/qt/ram_window_editor.h"
#include "ide/ui/qt/sfr_edit_dialog.h"
#include "ide/ui/qt/sfr_window.h"
#include "ide/ui/qt/source_window.h"
#include "ide/ui/qt/watch_window.h"
#include "tests/ide/ui/qt/view_pty_fixture.h"

namespace vx930::testing {
namespace {

class ViewEndToEndTest : public PtyIdeTest {
protected:
  // Presses the left button in the source window's glyph margin at a line.
  void ClickGutter(TfmSrcForm* source, int line) {
    QsciScintilla* e = source->Editor();
    e->SendScintilla(QsciScintillaBase::SCI_SETFIRSTVISIBLELINE, static_cast<unsigned long>(std::max(line - 5, 0)));
    QCoreApplication::processEvents();
    const long pos = e->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, static_cast<unsigned long>(line - 1));
    const int y = static_cast<int>(e->SendScintilla(QsciScintillaBase::SCI_POINTYFROMPOSITION, 0UL, pos));
    const int height = static_cast<int>(e->SendScintilla(QsciScintillaBase::SCI_TEXTHEIGHT, 0UL));
    QTest::mouseClick(e->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(6, y + height / 2));
    QCoreApplication::processEvents();
  }
  void Choose(const char* action) {
    window_->Action(action)->trigger();
    QCoreApplication::processEvents();
  }
  // The value column of a watch grid's row, by the variable's name.
  static std::string WatchValue(QTableWidget* grid, const std::string& name) {
    for (int row = 0; row < grid->rowCount(); ++row)
      if (grid->item(row, 0) && grid->item(row, 0)->text().toStdString() == name)
        return grid->item(row, 1) ? grid->item(row, 1)->text().toStdString() : "";
    return "no row " + name;
  }
};

TEST_F(ViewEndToEndTest, ABreakPointFromTheGutterStopsANormalRun) {
  Open("BLINK");
  auto* source = dynamic_cast<TfmSrcForm*>(D().fmSrcForm());
  ASSERT_NE(source, nullptr);
  ASSERT_EQ(source->LinesShown(), 1);
  source->BringForward();
  source->setGeometry(0, 0, 700, 480);
  QCoreApplication::processEvents();

  const int line = 40;  // ticks++;, after counter++
  ASSERT_EQ(source->Model().LineToAddress(line), 0x00AE);
  ClickGutter(source, line);
  ASSERT_TRUE(source->BreakPointMenu()->isVisible());
  source->BreakPointMenu()->actions().at(0)->trigger();
  source->BreakPointMenu()->hide();
  ASSERT_EQ(S().BreakPointTable[0].address, 0x00AEu);
  ASSERT_EQ(S().BreakPointTable[0].enabled, 1);

  D().NormalRun1Click();
  ASSERT_TRUE(Halted());
  EXPECT_EQ(S().GetPC(), 0x00AEu);
  EXPECT_EQ(source->PCLine(), line);
  EXPECT_NE(source->Editor()->markersAtLine(line - 1) & (1u << TfmSrcForm::kGlyph0Marker), 0u);
  EXPECT_EQ(S().InRAMImage[0x08], 1) << "counter";
  D().NormalRun1Click();  // once round the loop
  ASSERT_TRUE(Halted());
  EXPECT_EQ(S().GetPC(), 0x00AEu);
  EXPECT_EQ(S().InRAMImage[0x08], 2);
  EXPECT_TRUE(messages_.Texts().empty()) << messages_.LastText();
}

TEST_F(ViewEndToEndTest, ARamViewOpenedAtAHaltShowsTheBoardsBytes) {
  Open("BLINK");
  auto* source = dynamic_cast<TfmSrcForm*>(D().fmSrcForm());
  ASSERT_NE(source, nullptr);
  source->BringForward();
  source->setGeometry(0, 0, 700, 480);
  QCoreApplication::processEvents();
  ClickGutter(source, 38);  // show(counter);, after the start-up code set pattern
  ASSERT_TRUE(source->BreakPointMenu()->isVisible());
  source->BreakPointMenu()->actions().at(0)->trigger();
  source->BreakPointMenu()->hide();
  D().NormalRun1Click();
  ASSERT_TRUE(Halted());
  ASSERT_EQ(S().GetPC(), 0x00A6u);
  EXPECT_EQ(S().InRAMImage[0x09], 0x01) << "pattern";

  Choose("InternalRAM1");
  auto* ram = dynamic_cast<TfmRAM*>(D().InRAMView());
  ASSERT_NE(ram, nullptr);
  EXPECT_EQ(ram->Dump().LineText(0).substr(0, 4 + 3 * 10), "0000 00 00 00 00 00 00 00 00 00 01");
  EXPECT_TRUE(messages_.Texts().empty()) << messages_.LastText();
}

TEST_F(ViewEndToEndTest, ARamByteAndAnSfrEditedInTheirViewsReachTheBoardBeforeTheNextRun) {
  Open("BLINK.HEX");  // the listing: a step is one instruction, the LJMP at 0
  Choose("InternalRAM1");
  auto* ram = dynamic_cast<TfmRAM*>(D().InRAMView());
  ASSERT_NE(ram, nullptr);
  RamDumpEditor* dump = ram->Editor();
  const QPoint at = dump->CellOrigin(7, 5) + QPoint(0, dump->LineHeight() / 2);  // byte 0x70
  QTest::mouseClick(dump->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  QTest::keyClicks(dump, "A5");
  ASSERT_EQ(S().InRAMImage[0x70], 0xA5);

  Choose("SFRH1");
  auto* sfr = dynamic_cast<TSFR_HForm*>(D().SFR_HForm());
  ASSERT_NE(sfr, nullptr);
  QTimer::singleShot(0, [] {
    auto* dialog = qobject_cast<TfmSFRSetting*>(QApplication::activeModalWidget());
    if (!dialog) return;
    dialog->edSFRValue()->setText("5A");
    dialog->btnOk()->click();
  });
  sfr->CellClick(1);  // B
  ASSERT_EQ(S().SFRImage[51], 0x5A);
  ASSERT_EQ(S().SFRDirty, 1);

  D().Step1Click();
  ASSERT_TRUE(Halted());
  EXPECT_NE(S().GetPC(), 0u);
  // The halt reads both back from the board.
  EXPECT_EQ(S().InRAMImage[0x70], 0xA5);
  EXPECT_EQ(S().SFRImage[51], 0x5A);
  EXPECT_EQ(S().SFRDirty, 0);
  EXPECT_FALSE(ram->Dump().AnyDirty());
  EXPECT_EQ(ram->Dump().LineText(7).substr(5, 2), "A5");
  EXPECT_EQ(sfr->ValueBox(1)->text().toStdString(), "  5A");
  EXPECT_TRUE(messages_.Texts().empty()) << messages_.LastText();
}

TEST_F(ViewEndToEndTest, TheWatchWindowFollowsACVariableOfTheOmfSampleAsItIsStepped) {
  Open("BLINK");
  Choose("ProcedureList1");
  auto* watch = dynamic_cast<TfmWatchForm*>(D().fmWatchForm());
  ASSERT_NE(watch, nullptr);
  ASSERT_EQ(watch->lbProc()->count(), 4);

  D().Step1Click();  // from reset to MAIN's first line
  ASSERT_TRUE(Halted());
  ASSERT_EQ(S().GetPC(), 0x00A3u);
  EXPECT_EQ(WatchValue(watch->sgGblVar(), "COUNTER"), "0x00");
  D().StepOver1Click();  // counter = 0;
  ASSERT_TRUE(Halted());
  D().StepOver1Click();  // show(counter);
  ASSERT_TRUE(Halted());
  ASSERT_EQ(S().GetPC(), 0x00ACu);
  EXPECT_EQ(WatchValue(watch->sgGblVar(), "COUNTER"), "0x00");
  D().StepOver1Click();  // counter++;
  ASSERT_TRUE(Halted());
  ASSERT_EQ(S().GetPC(), 0x00AEu);
  EXPECT_EQ(WatchValue(watch->sgGblVar(), "COUNTER"), "0x01");
  // Line by line round the loop and over counter++ again.
  for (int steps = 0; steps < 8; ++steps) {
    D().StepOver1Click();
    ASSERT_TRUE(Halted());
    if (S().GetPC() == 0x00AE) break;
  }
  ASSERT_EQ(S().GetPC(), 0x00AEu);
  EXPECT_EQ(WatchValue(watch->sgGblVar(), "COUNTER"), "0x02");
  EXPECT_TRUE(messages_.Texts().empty()) << messages_.LastText();
}

TEST_F(ViewEndToEndTest, ACommandWindowFromTheLayoutRunsItsLinesOnTheBoard) {
  // A restart with the command window recorded as open.
  window_.reset();
  IniFile((dir_ / "VX930_ice.cfg").string()).WriteBool("WINDOW", "COMMAND_WIN_EXIST", true);
  window_ = std::make_unique<TForm1>(dir_.string());
  window_->resize(1100, 720);
  window_->show();
  AnswerPortDialogWithCom1();
  window_->FormPaint();
  ASSERT_TRUE(S().IceCmd);
  auto* command = dynamic_cast<TCmdForm*>(D().CmdForm());
  ASSERT_NE(command, nullptr);
  Open("BLINK.HEX");

  auto type = [&](const std::string& line) {
    command->BringForward();
    QPlainTextEdit* memo = command->Memo1();
    memo->moveCursor(QTextCursor::End);
    QTest::keyClicks(memo, QString::fromStdString(line));
    QTest::keyClick(memo, Qt::Key_Return);
    QCoreApplication::processEvents();
  };
  type("MWRITE X:10H 0A5H");  // sent at once
  S().In1kRAMImage[0x10] = 0;  // forget the host copy: the view must read the board
  type("WINOPEN EXRAM");
  ASSERT_NE(D().In1kRAMView(), nullptr);
  EXPECT_EQ(S().In1kRAMImage[0x10], 0xA5);

  type("SETBP 008BH 0");
  type("GO");
  ASSERT_TRUE(Halted());
  EXPECT_EQ(S().GetPC(), 0x008Bu);
  EXPECT_EQ(command->Memo1()->toPlainText().indexOf("Invalid Command Input"), -1)
      << command->Memo1()->toPlainText().toStdString();
  EXPECT_TRUE(messages_.Texts().empty()) << messages_.LastText();
}

}  // namespace
}  // namespace vx930::testing
