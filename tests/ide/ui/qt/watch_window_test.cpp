// The watch window offscreen: its grids and procedure list, the popup's
// settings, the double-click; and end to end over the real command set to
// the simulated board: a C variable changing as the program is stepped, and
// the lists dropped at once when the OMF program goes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QListWidget>
#include <QTabWidget>
#include <QTableWidget>
#include <fstream>

#include "ide/ui/qt/watch_window.h"
#include "tests/ide/ui/core/debugger_fixture.h"
#include "tests/ide/ui/core/step_program.h"
#include "tests/ide/ui/core/watch_fakes.h"
#include "tests/support/test_app.h"

namespace vx930::testing {
namespace {

using Grid = std::vector<std::vector<std::string>>;

Grid Cells(const QTableWidget* grid) {
  Grid cells;
  for (int r = 0; r < grid->rowCount(); ++r) {
    std::vector<std::string> row;
    for (int c = 0; c < grid->columnCount(); ++c) {
      const QTableWidgetItem* item = grid->item(r, c);
      row.push_back(item ? item->text().toStdString() : "");
    }
    cells.push_back(row);
  }
  return cells;
}

std::vector<std::string> Procedures(const QListWidget* list) {
  std::vector<std::string> names;
  for (int i = 0; i < list->count(); ++i) names.push_back(list->item(i)->text().toStdString());
  return names;
}

const Grid kEmptyGrid{{"", "", ""}};

class WatchWindowTest : public ::testing::Test {
protected:
  WatchWindowTest() : messageScope_(messages_) {
    TestApp();
    auto target = std::make_unique<FakeWatchTarget>();
    target_ = target.get();
    target_->ice = &ice_;
    window_ = std::make_unique<TfmWatchForm>(std::move(target));
    window_->show();
  }

  platform::RecordingMessages messages_;
  platform::ScopedMessages messageScope_;
  ListReadIce ice_;
  FakeWatchTarget* target_ = nullptr;
  std::unique_ptr<TfmWatchForm> window_;
};

TEST_F(WatchWindowTest, PagesGridsAndTheirHeaders) {
  QTabWidget* pages = window_->PageControl1();
  EXPECT_EQ(window_->windowTitle(), "Watch");
  ASSERT_EQ(pages->count(), 3);
  EXPECT_EQ(pages->tabText(0), "Procedure");
  EXPECT_EQ(pages->tabText(1), "Local Variable");
  EXPECT_EQ(pages->tabText(2), "Global Variables");
  EXPECT_EQ(pages->tabPosition(), QTabWidget::South);
  for (QTableWidget* grid : {window_->sgLocalVar(), window_->sgGblVar()}) {
    ASSERT_EQ(grid->columnCount(), 3);
    EXPECT_EQ(grid->horizontalHeaderItem(0)->text(), "Name");
    EXPECT_EQ(grid->horizontalHeaderItem(1)->text(), "Value");
    EXPECT_EQ(grid->horizontalHeaderItem(2)->text(), "Type");
    EXPECT_EQ(Cells(grid), kEmptyGrid);
  }
  EXPECT_EQ(window_->sgLocalVar()->columnWidth(1), 112);
  for (QTableWidget* grid : {window_->sgLocalVar(), window_->sgGblVar()}) EXPECT_EQ(grid->rowHeight(0), 15);
  EXPECT_EQ(window_->sgGblVar()->columnWidth(0), 40);
}

TEST_F(WatchWindowTest, RefreshFillsBothGridsAndTheBaseRedrawsWithoutReading) {
  ice_.iram[0x30] = 0x12;
  ice_.iram[0x31] = 0x34;
  ice_.iram[0x40] = 0x41;
  SymbolList globals;
  globals.Add(MemorySpace::DATA, 0x40, OmfTypeIndex::tiChar, "letter")
      .Add(MemorySpace::DATA, 0x30, OmfTypeIndex::tiInt, "Count");
  window_->RefreshWatch(globals.Head(), nullptr);
  EXPECT_EQ(Cells(window_->sgGblVar()), (Grid{{"Count", "0x1234", "D:30H"}, {"letter", "0x41 'A'", "D:40H"}}));
  EXPECT_EQ(Cells(window_->sgLocalVar()), kEmptyGrid) << "a procedure without locals leaves one empty row";

  const std::size_t reads = ice_.reads.size();
  window_->Decimal1Click();
  EXPECT_EQ(Cells(window_->sgGblVar()), (Grid{{"Count", "4660", "D:30H"}, {"letter", "65 'A'", "D:40H"}}));
  window_->Hex1Click();
  window_->N64K1Click();
  window_->N1K1Click();
  EXPECT_EQ(Cells(window_->sgGblVar())[0][1], "0x1234");
  EXPECT_EQ(ice_.reads.size(), reads);
}

TEST_F(WatchWindowTest, ProcedureListDoubleClickAndDetach) {
  OmfModule module;
  OmfProcedure main, delay;
  main.Name = "MAIN";
  delay.Name = "DELAY";
  module.Procs = &main;
  main.Next = &delay;
  window_->FillProcList(&module);
  EXPECT_EQ(Procedures(window_->lbProc()), (std::vector<std::string>{"DELAY", "MAIN"}));

  window_->lbProc()->clearSelection();
  window_->lbProcDblClick();
  EXPECT_TRUE(target_->shownProcedures.empty()) << "no item selected: nothing happens";
  window_->lbProc()->item(1)->setSelected(true);
  window_->lbProcDblClick();
  EXPECT_EQ(target_->shownProcedures, std::vector<std::string>{"MAIN"});

  SymbolList globals;
  globals.Add(MemorySpace::DATA, 0x30, OmfTypeIndex::tiUChar, "g");
  window_->RefreshWatch(globals.Head(), globals.Head());
  window_->DetachOmf();
  EXPECT_EQ(window_->lbProc()->count(), 0);
  EXPECT_EQ(Cells(window_->sgGblVar()), kEmptyGrid);
  EXPECT_EQ(Cells(window_->sgLocalVar()), kEmptyGrid);
  // A later redraw has nothing left to point into.
  window_->Decimal1Click();
  EXPECT_EQ(Cells(window_->sgGblVar()), kEmptyGrid);
}

TEST_F(WatchWindowTest, ClosingOnlyMinimises) {
  window_->close();
  EXPECT_TRUE(window_->isMinimized());
  window_->ShowProcedurePage();
  EXPECT_EQ(window_->PageControl1()->currentIndex(), 0);
}

// ------------------------------------------------------------ end to end

class WatchEndToEndTest : public DebuggerFixture {
protected:
  WatchEndToEndTest() {
    TestApp();
    window_ = std::make_unique<TfmWatchForm>(std::make_unique<DebuggerWatchTarget>(*debugger_));
    debugger_->Views().Register(window_.get());
  }
  ~WatchEndToEndTest() override { debugger_->ViewClosed(debugger_->fmWatchForm()); }

  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return path;
  }
  void Open(const std::string& path) {
    openDialog_.answers.push_back(path);
    debugger_->Load1Click();
  }
  void Step() {
    debugger_->Step1Click();
    PollUntilQuiet();
    ASSERT_EQ(state_.Stopped, 1);
  }
  std::string Counter() {
    const Grid g = Cells(window_->sgGblVar());
    return g.at(0).at(0) == "counter" ? g[0][1] : "no counter row";
  }

  std::unique_ptr<TfmWatchForm> window_;
};

TEST_F(WatchEndToEndTest, AVariableChangesAsTheProgramIsStepped) {
  Connect();
  board_.Access([](sim::ice::Memories& m, sim::ice::Core8051&) { m.iram[0x30] = 0x55; });
  Open(Write("steps", StepProgramOmf()));
  ASSERT_EQ(state_.OmfLoaded, 1);
  EXPECT_EQ(Procedures(window_->lbProc()), (std::vector<std::string>{"FUNC", "MAIN"}));
  EXPECT_EQ(Cells(window_->sgGblVar()), (Grid{{"counter", "0x55", "D:30H"}}));

  Step();  // from the reset address to MAIN's first line
  EXPECT_EQ(state_.GetPC(), 0x0100u);
  EXPECT_EQ(Counter(), "0x55");
  Step();  // MOV 30h,#0
  EXPECT_EQ(state_.GetPC(), 0x0103u);
  EXPECT_EQ(Counter(), "0x00");
  Step();  // into FUNC, whose local shows
  EXPECT_EQ(state_.GetPC(), 0x0200u);
  EXPECT_EQ(Cells(window_->sgLocalVar()), (Grid{{"local", "0x00", "D:31H"}}));
  // Out of FUNC and over line 12 (INC 30h).
  for (int steps = 0; steps < 5 && state_.GetPC() != 0x010A; ++steps) Step();
  EXPECT_EQ(state_.GetPC(), 0x010Au);
  EXPECT_EQ(Counter(), "0x01");
  EXPECT_EQ(Cells(window_->sgLocalVar()), kEmptyGrid);
  EXPECT_TRUE(messages_.Texts().empty());
}

TEST_F(WatchEndToEndTest, ARefreshWhileTheTargetRunsReadsNothing) {
  Connect();
  Open(Write("steps", StepProgramOmf()));
  debugger_->FreeRun1Click();
  ASSERT_EQ(state_.Stopped, 0);
  Sent();
  debugger_->fmWatchForm()->RefreshWatch(state_.OmfPublics, nullptr);
  EXPECT_TRUE(Sent().empty()) << "a running target is not read";
  EXPECT_EQ(Counter(), kWatchRunningText);
  debugger_->StopBtnClick();
  PollUntilQuiet();
  EXPECT_EQ(state_.Stopped, 1);
  EXPECT_EQ(Counter().rfind("0x", 0), 0u) << "the halt reads it again";
}

TEST_F(WatchEndToEndTest, TheListsGoAtOnceWhenAHexProgramReplacesTheOmfOne) {
  Open(Write("steps", StepProgramOmf()));
  ASSERT_EQ(window_->lbProc()->count(), 2);
  ASSERT_EQ(Cells(window_->sgGblVar()).at(0).at(0), "counter");
  const std::string hex = Write("tiny.hex", {':',  '0', '1', '0', '0', '0', '0', '0', '0', '0', '0', 'F', 'F',
                                             '\n', ':', '0', '0', '0', '0', '0', '0', '0', '1', 'F', 'F', '\n'});
  ASSERT_TRUE(debugger_->OpenHexFile(hex));
  EXPECT_EQ(state_.OmfDecoder, nullptr);
  EXPECT_EQ(window_->lbProc()->count(), 0);
  EXPECT_EQ(Cells(window_->sgGblVar()), kEmptyGrid);
  window_->Decimal1Click();  // redraws from nothing freed
  EXPECT_EQ(Cells(window_->sgGblVar()), kEmptyGrid);
}

}  // namespace
}  // namespace vx930::testing
