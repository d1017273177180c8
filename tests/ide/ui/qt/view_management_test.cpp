// The main window's children offscreen: every view a singleton opened from
// the View menu (created once, then brought forward and restored), what
// closing each one does, tiling, the about box, and the window layout kept
// in the configuration file across a restart.
#include <gtest/gtest.h>

#include <QAction>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTabWidget>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>

#include "ide/link/cmdset_commands.h"
#include "ide/ui/qt/about_box.h"
#include "ide/ui/qt/main_window.h"
#include "ide/ui/qt/ram_window.h"
#include "ide/ui/qt/source_window.h"
#include "ide/ui/qt/watch_window.h"
#include "platform/messages.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/test_app.h"

namespace vx930::testing {
namespace {

namespace fs = std::filesystem;

const std::string kSamples = std::string(VX_FIXTURES_DIR) + "/../../samples/";

// The port dialog answered with Cancel: no link, then the saved layout.
struct CancelPortDialog final : PortDialog {
  std::optional<int> ShowModal(int) override { return std::nullopt; }
};

class ViewTest : public ::testing::Test {
protected:
  ViewTest() {
    TestApp();
    window_ = NewWindow();
  }
  ~ViewTest() override { window_.reset(); }

  // A shown main window after its first paint, with the port dialog
  // cancelled: no link, and the saved layout restored.
  std::unique_ptr<TForm1> NewWindow() {
    auto window = std::make_unique<TForm1>(dir_.string());
    window->show();
    CancelPortDialog dialog;
    SerialLinkOpener opener;
    window->Controller().FormPaint(dialog, opener);
    QCoreApplication::processEvents();
    return window;
  }
  Debugger& D() { return window_->Controller(); }
  void Choose(const char* action) {
    window_->Action(action)->trigger();
    QCoreApplication::processEvents();
  }
  // Lets closed windows that free themselves go.
  static void Settle() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
  }
  int Children() const { return static_cast<int>(window_->MdiArea()->subWindowList().size()); }
  static QMdiSubWindow* Sub(ChildWindow* view) { return dynamic_cast<QMdiSubWindow*>(view); }
  void OpenHex() { ASSERT_TRUE(D().OpenHexFile(kSamples + "BLINK.HEX")); }
  IniFile Ini() const { return IniFile((dir_ / "VX930_ice.cfg").string()); }
  // Without a link a RAM view says its blocks could not be read; nothing else.
  bool OnlyNoLinkMessages() const {
    for (const std::string& text : messages_.Texts())
      if (text != kRamReadFailed) return false;
    return true;
  }

  platform::RecordingMessages messages_;
  platform::ScopedMessages scope_{messages_};
  ScratchDir dir_{"vx930_views"};
  std::unique_ptr<TForm1> window_;
};

// ----------------------------------------------------------- singletons

TEST_F(ViewTest, ChoosingAViewTwiceShowsOneWindowAndRestoresItWhenMinimised) {
  OpenHex();  // the source window, and a program for "Code "
  struct Case {
    const char* action;
    std::function<ChildWindow*()> view;
  };
  const Case cases[] = {
      {"SFRH1", [this] { return D().SFR_HForm(); }},
      {"InternalRAM1", [this] { return D().InRAMView(); }},
      {"muInternal1kRAM1", [this] { return D().In1kRAMView(); }},
      {"BreakPoint1", [this] { return D().fmBreakPoint(); }},
      {"ProcedureList1", [this] { return D().fmWatchForm(); }},
      {"Disassemble1", [this] { return D().fmSrcForm(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.action);
    Choose(c.action);
    ChildWindow* view = c.view();
    ASSERT_NE(view, nullptr);
    const int children = Children();
    QMdiSubWindow* sub = Sub(view);
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(window_->MdiArea()->activeSubWindow(), sub);
    sub->showMinimized();
    ASSERT_TRUE(sub->isMinimized());
    Choose(c.action);
    EXPECT_EQ(c.view(), view) << "the same window";
    EXPECT_EQ(Children(), children) << "no second window";
    EXPECT_FALSE(sub->isMinimized());
    EXPECT_EQ(window_->MdiArea()->activeSubWindow(), sub);
  }
  EXPECT_EQ(Children(), 6);
  EXPECT_EQ(Sub(D().InRAMView())->windowTitle(), "Internal 256 RAM");
  EXPECT_EQ(Sub(D().In1kRAMView())->windowTitle(), "Internal 1k RAM_1");
  EXPECT_EQ(Sub(D().fmSrcForm())->windowTitle().toStdString(), kSamples + "BLINK.HEX");
  EXPECT_TRUE(OnlyNoLinkMessages()) << messages_.LastText();
}

TEST_F(ViewTest, CodeWithoutAProgramSaysSoAndOpensNothing) {
  Choose("Disassemble1");
  EXPECT_EQ(messages_.LastText(), "Please Load File First !!");
  EXPECT_EQ(D().fmSrcForm(), nullptr);
  EXPECT_EQ(Children(), 0);
}

TEST_F(ViewTest, ClosingFreesMostViewsAndMinimisesTheOthers) {
  OpenHex();
  for (const char* action : {"SFRH1", "InternalRAM1", "muInternal1kRAM1", "BreakPoint1", "ProcedureList1"})
    Choose(action);
  ASSERT_EQ(Children(), 6);
  SourceView* source = D().fmSrcForm();
  WatchView* watch = D().fmWatchForm();

  for (ChildWindow* view : {static_cast<ChildWindow*>(D().SFR_HForm()), static_cast<ChildWindow*>(D().InRAMView()),
                            static_cast<ChildWindow*>(D().In1kRAMView()), static_cast<ChildWindow*>(D().fmBreakPoint()),
                            static_cast<ChildWindow*>(D().fmWatchForm()), static_cast<ChildWindow*>(D().fmSrcForm())})
    view->Close();
  Settle();
  EXPECT_EQ(D().SFR_HForm(), nullptr);
  EXPECT_EQ(D().InRAMView(), nullptr) << "no unsent edits: freed";
  EXPECT_EQ(D().In1kRAMView(), nullptr);
  EXPECT_EQ(D().fmBreakPoint(), nullptr);
  EXPECT_EQ(D().fmWatchForm(), watch);
  EXPECT_TRUE(Sub(watch)->isMinimized());
  EXPECT_EQ(D().fmSrcForm(), source);
  EXPECT_TRUE(Sub(source)->isMinimized());
  EXPECT_EQ(Children(), 2);

  // An edit brings the internal RAM view back; with the edit unsent it only
  // minimises.
  ASSERT_TRUE(D().SetInRAMByte(0x30, 0x5A));
  ASSERT_NE(D().InRAMView(), nullptr);
  EXPECT_EQ(Children(), 3);
  RamView* ram = D().InRAMView();
  ram->Close();
  Settle();
  EXPECT_EQ(D().InRAMView(), ram);
  EXPECT_TRUE(Sub(ram)->isMinimized());
}

TEST_F(ViewTest, AnEditThatOpensTheRamViewLeavesTheActiveWindowInFront) {
  Choose("BreakPoint1");
  QMdiSubWindow* active = Sub(D().fmBreakPoint());
  ASSERT_EQ(window_->MdiArea()->activeSubWindow(), active);
  ASSERT_TRUE(D().SetInRAMByte(0x30, 0x5A));
  QCoreApplication::processEvents();
  ASSERT_NE(D().InRAMView(), nullptr);
  EXPECT_TRUE(Sub(D().InRAMView())->isVisible()) << "shown as a child";
  EXPECT_EQ(window_->MdiArea()->activeSubWindow(), active) << "not brought to the front";
  const QList<QMdiSubWindow*> stack = window_->MdiArea()->subWindowList(QMdiArea::StackingOrder);
  EXPECT_EQ(stack.back(), active);
  // The View menu still brings it forward.
  Choose("InternalRAM1");
  EXPECT_EQ(window_->MdiArea()->activeSubWindow(), Sub(D().InRAMView()));
}

TEST_F(ViewTest, TheSfrWindowLeavesTheMainWindowItsSize) {
  window_->resize(600, 400);
  QCoreApplication::processEvents();
  Choose("SFRH1");
  ASSERT_NE(D().SFR_HForm(), nullptr);
  EXPECT_EQ(window_->width(), 600);
  EXPECT_EQ(window_->height(), 400);
}

TEST_F(ViewTest, ProcedureListOfAHexProgramIsEmptyOnTheProcedurePage) {
  OpenHex();
  Choose("ProcedureList1");
  auto* watch = dynamic_cast<TfmWatchForm*>(D().fmWatchForm());
  ASSERT_NE(watch, nullptr);
  EXPECT_EQ(watch->lbProc()->count(), 0);
  EXPECT_EQ(watch->PageControl1()->currentIndex(), 0);
  EXPECT_EQ(watch->width(), 360);
}

// --------------------------------------------------------------- tiling

TEST(TileRectsTest, StripsShareTheAreaExactly) {
  const QRect area(0, 0, 100, 50);
  EXPECT_TRUE(TileRects(area, 0, TileMode::Horizontal).empty());
  EXPECT_EQ(TileRects(area, 1, TileMode::Vertical), (std::vector<QRect>{area}));
  EXPECT_EQ(TileRects(area, 3, TileMode::Horizontal),
            (std::vector<QRect>{QRect(0, 0, 100, 17), QRect(0, 17, 100, 17), QRect(0, 34, 100, 16)}));
  EXPECT_EQ(TileRects(area, 3, TileMode::Vertical),
            (std::vector<QRect>{QRect(0, 0, 34, 50), QRect(34, 0, 33, 50), QRect(67, 0, 33, 50)}));
  EXPECT_EQ(TileRects(QRect(5, 7, 10, 9), 2, TileMode::Horizontal),
            (std::vector<QRect>{QRect(5, 7, 10, 5), QRect(5, 12, 10, 4)}));
}

TEST(CascadeRectsTest, SizesAreKeptAndCutToTheAreaAndCornersStartOverNearTheFarSide) {
  const QRect area(0, 0, 300, 240);
  EXPECT_TRUE(CascadeRects(QRect(), {QSize(10, 10)}, 20).empty());
  const std::vector<QRect> r =
      CascadeRects(area,
                   {QSize(100, 50), QSize(400, 80), QSize(50, 300), QSize(10, 10), QSize(10, 10), QSize(10, 10),
                    QSize(10, 10), QSize(10, 10), QSize(10, 10), QSize(10, 10)},
                   20);
  EXPECT_EQ(r[0], QRect(0, 0, 100, 50));
  EXPECT_EQ(r[1], QRect(20, 20, 280, 80)) << "too wide: cut to the area";
  EXPECT_EQ(r[2], QRect(40, 40, 50, 200)) << "too high: cut to the area";
  EXPECT_EQ(r[8].topLeft(), QPoint(160, 160));
  EXPECT_EQ(r[9].topLeft(), QPoint(0, 0)) << "past two thirds of the height the corners start over";
  for (const QRect& rect : r) EXPECT_TRUE(area.contains(rect)) << rect.x() << "," << rect.y();
}

TEST_F(ViewTest, CascadeKeepsEachViewsSizeAndStacksTheirCorners) {
  window_->resize(1200, 800);
  OpenHex();
  for (const char* action : {"SFRH1", "InternalRAM1", "BreakPoint1"}) Choose(action);
  QCoreApplication::processEvents();
  std::vector<QMdiSubWindow*> stack;
  std::vector<QSize> before;
  for (QMdiSubWindow* w : window_->MdiArea()->subWindowList(QMdiArea::StackingOrder)) {
    stack.push_back(w);
    before.push_back(w->size());
  }
  ASSERT_EQ(stack.size(), 4u);
  Choose("Cascade1");
  for (std::size_t i = 0; i < stack.size(); ++i) {
    EXPECT_EQ(stack[i]->size(), before[i]) << stack[i]->windowTitle().toStdString();
    if (i > 0) {
      EXPECT_GT(stack[i]->geometry().top(), stack[i - 1]->geometry().top());
    }
  }
  EXPECT_GT(Sub(D().SFR_HForm())->height(), 100) << "not shrunk to a title bar";
}

TEST_F(ViewTest, TileHorizontalStacksAndTileVerticalPutsSideBySide) {
  window_->resize(900, 650);
  OpenHex();
  for (const char* action : {"SFRH1", "InternalRAM1", "BreakPoint1", "ProcedureList1"}) Choose(action);
  Sub(D().fmWatchForm())->showMinimized();
  QCoreApplication::processEvents();
  const QRect area = window_->MdiArea()->viewport()->rect();
  const QRect icon = Sub(D().fmWatchForm())->geometry();
  const std::vector<QMdiSubWindow*> tiled = {Sub(D().fmSrcForm()), Sub(D().SFR_HForm()), Sub(D().InRAMView()),
                                             Sub(D().fmBreakPoint())};

  for (int round = 0; round < 2; ++round) {
    Choose("Verital1");
    EXPECT_EQ(window_->CurrentTileMode(), TileMode::Horizontal);
    std::vector<QRect> rows;
    for (QMdiSubWindow* w : tiled) rows.push_back(w->geometry());
    std::sort(rows.begin(), rows.end(), [](const QRect& a, const QRect& b) { return a.top() < b.top(); });
    int y = area.top();
    for (const QRect& r : rows) {
      EXPECT_EQ(r.left(), area.left());
      EXPECT_EQ(r.width(), area.width()) << "the full width";
      EXPECT_EQ(r.top(), y) << "stacked without gaps or overlap";
      y = r.bottom() + 1;
    }
    EXPECT_EQ(y, icon.top()) << "down to the row of minimised windows";
    EXPECT_TRUE(Sub(D().fmWatchForm())->isMinimized());

    Choose("TileVertical1");
    EXPECT_EQ(window_->CurrentTileMode(), TileMode::Vertical);
    std::vector<QRect> columns;
    for (QMdiSubWindow* w : tiled) columns.push_back(w->geometry());
    std::sort(columns.begin(), columns.end(), [](const QRect& a, const QRect& b) { return a.left() < b.left(); });
    int x = area.left();
    for (const QRect& r : columns) {
      EXPECT_EQ(r.top(), area.top());
      EXPECT_EQ(r.bottom(), icon.top() - 1) << "the full height";
      EXPECT_EQ(r.left(), x) << "side by side";
      x = r.right() + 1;
    }
    EXPECT_EQ(x, area.right() + 1);
  }
}

// ------------------------------------------------------------ about box

TEST_F(ViewTest, AboutIsModalAndGoneAfterwards) {
  bool sawIt = false;
  QTimer::singleShot(0, window_.get(), [&] {
    TAboutBox* box = window_->AboutBox();
    sawIt = box && QApplication::activeModalWidget() == box && box->windowTitle() == "About";
    if (box) box->accept();
  });
  Choose("About1");
  EXPECT_TRUE(sawIt);
  EXPECT_EQ(window_->AboutBox(), nullptr);
  EXPECT_TRUE(window_->findChildren<TAboutBox*>().isEmpty());
}

// --------------------------------------------------------------- layout

TEST_F(ViewTest, TheLayoutSurvivesClosingAndRestartingTheIde) {
  // The command window opens only from the layout.
  Ini().WriteBool("WINDOW", "COMMAND_WIN_EXIST", true);
  window_.reset();
  window_ = NewWindow();
  ASSERT_NE(D().CmdForm(), nullptr);
  EXPECT_EQ(D().CmdForm()->Bounds().top, 140);
  EXPECT_EQ(D().CmdForm()->Bounds().width, 500);

  OpenHex();
  for (const char* action : {"SFRH1", "InternalRAM1", "muInternal1kRAM1", "BreakPoint1", "ProcedureList1"})
    Choose(action);
  window_->setGeometry(40, 50, 980, 690);
  const std::pair<ChildWindow*, WindowBounds> placed[] = {
      {D().SFR_HForm(), {10, 20, 470, 260}},     {D().InRAMView(), {30, 300, 460, 270}},
      {D().In1kRAMView(), {60, 320, 480, 250}},  {D().fmBreakPoint(), {90, 15, 300, 160}},
      {D().fmWatchForm(), {120, 400, 370, 210}}, {D().CmdForm(), {200, 40, 480, 280}}};
  for (const auto& [view, bounds] : placed) view->SetBounds(bounds);
  // A minimised window is saved where it comes back to.
  Sub(D().fmWatchForm())->showMinimized();
  QCoreApplication::processEvents();
  const QRect mainBefore = window_->geometry();

  window_->close();
  window_.reset();
  EXPECT_TRUE(Ini().ReadBool("WINDOW", "WATCH_WIN_EXIST", false));

  window_ = NewWindow();
  EXPECT_EQ(window_->geometry(), mainBefore);
  const std::pair<ChildWindow*, WindowBounds> expected[] = {
      {D().SFR_HForm(), {10, 20, 470, 260}},     {D().InRAMView(), {30, 300, 460, 270}},
      {D().In1kRAMView(), {60, 320, 480, 250}},  {D().fmBreakPoint(), {90, 15, 300, 160}},
      {D().fmWatchForm(), {120, 400, 370, 210}}, {D().CmdForm(), {200, 40, 480, 280}}};
  int index = 0;
  for (const auto& [view, bounds] : expected) {
    SCOPED_TRACE(index++);
    ASSERT_NE(view, nullptr);
    const WindowBounds b = view->Bounds();
    EXPECT_EQ(b.top, bounds.top);
    EXPECT_EQ(b.left, bounds.left);
    EXPECT_EQ(b.width, bounds.width);
    EXPECT_EQ(b.height, bounds.height);
    EXPECT_FALSE(Sub(view)->isMinimized());
  }
  EXPECT_EQ(D().fmSrcForm(), nullptr) << "the source window is not part of the layout";
  EXPECT_EQ(Children(), 6);

  // Closing the SFR window and exiting keeps its last bounds in the file.
  D().SFR_HForm()->Close();
  Settle();
  window_->close();
  window_.reset();
  EXPECT_FALSE(Ini().ReadBool("WINDOW", "SFR_WIN_EXIST", true));
  EXPECT_EQ(Ini().ReadInteger("WINDOW", "SFR_WIN_TOP", 0), 10);
  EXPECT_TRUE(OnlyNoLinkMessages()) << messages_.LastText();
}

}  // namespace
}  // namespace vx930::testing
