// The main window offscreen: the port dialog loop of the first paint, the
// controls, and what closing the window does.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>

#include "ide/link/cmdset_commands.h"
#include "ide/ui/qt/main_window.h"
#include "ide/ui/qt/source_window.h"
#include "platform/messages.h"
#include "sim/ice/engine_protocol.h"
#include "tests/ide/ui/core/board_link.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/test_app.h"

namespace vx930::testing {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

QApplication& App() { return TestApp(); }

// Answers each showing of the port dialog from a script: a port to select
// and OK, or Cancel (0). Records the port selected when it appeared.
class PortScript : public QObject {
public:
  explicit PortScript(std::deque<int> answers) : answers_(std::move(answers)) {
    timer_.setInterval(5);
    connect(&timer_, &QTimer::timeout, this, [this] { Poll(); });
    timer_.start();
  }
  std::vector<int> shownWith;
  std::vector<bool> centredOnScreen;

private:
  void Poll() {
    auto* dialog = qobject_cast<TSelectPort*>(QApplication::activeModalWidget());
    if (!dialog || dialog == last_) return;
    last_ = dialog;
    shownWith.push_back(dialog->SelectedPort());
    centredOnScreen.push_back(dialog->frameGeometry().center() == dialog->screen()->availableGeometry().center());
    const int answer = answers_.empty() ? 0 : answers_.front();
    if (!answers_.empty()) answers_.pop_front();
    QTimer::singleShot(0, dialog, [this, dialog, answer] {
      if (answer == 0) {
        dialog->findChild<QPushButton*>("CancelBtn")->click();
      } else {
        dialog->findChild<QRadioButton*>(QString("COM%1").arg(answer))->setChecked(true);
        dialog->findChild<QPushButton*>("OKBtn")->click();
      }
      last_ = nullptr;
    });
  }
  std::deque<int> answers_;
  QTimer timer_;
  QObject* last_ = nullptr;
};

// Opens a port only for the numbers it is told, onto a simulated board.
class TestOpener final : public LinkOpener {
public:
  TestOpener(sim::ice::Board& board, platform::VirtualClock& clock, std::vector<int> good)
      : board_(board), clock_(clock), good_(std::move(good)) {}
  std::unique_ptr<ComPortHandle> OpenPort(int portNo) override {
    opened.push_back(portNo);
    SerialLinkOpener inner([this](int n) -> std::unique_ptr<platform::ByteLink> {
      if (std::find(good_.begin(), good_.end(), n) == good_.end()) return nullptr;
      return std::make_unique<BoardLink>(board_, clock_);
    });
    return inner.OpenPort(portNo);
  }
  std::unique_ptr<IceCommands> CreateCommands(ComPortHandle& port) override {
    return SerialLinkOpener().CreateCommands(port);
  }
  std::vector<int> opened;

private:
  sim::ice::Board& board_;
  platform::VirtualClock& clock_;
  std::vector<int> good_;
};

class MainWindowTest : public ::testing::Test {
protected:
  MainWindowTest() : messageScope_(messages_) { App(); }

  std::unique_ptr<TForm1> MakeWindow(std::vector<int> goodPorts) {
    auto opener = std::make_unique<TestOpener>(board_, clock_, std::move(goodPorts));
    opener_ = opener.get();
    return std::make_unique<TForm1>(dir_.string(), std::move(opener));
  }
  IniFile Ini() const { return IniFile((dir_ / "VX930_ice.cfg").string()); }

  platform::RecordingMessages messages_;
  platform::ScopedMessages messageScope_;
  platform::VirtualClock clock_;
  sim::ice::Board board_;
  ScratchDir dir_{"vx930_main"};
  TestOpener* opener_ = nullptr;
};

TEST_F(MainWindowTest, AFailedOpenShowsTheDialogAgainAndCancelLeavesNoLink) {
  Ini().WriteInteger("PATH", "COM_PORT", 3);
  auto window = MakeWindow({});
  PortScript script({2, 0});
  window->FormPaint();
  EXPECT_EQ(script.shownWith, (std::vector<int>{3, 2})) << "preselected, then the last choice";
  EXPECT_EQ(script.centredOnScreen, (std::vector<bool>{true, true}));
  EXPECT_EQ(opener_->opened, (std::vector<int>{2}));
  ASSERT_EQ(messages_.Shown().size(), 2u);
  EXPECT_EQ(messages_.Shown()[0].text, "Open ComPort Error!!");
  EXPECT_EQ(messages_.Shown()[0].caption, "") << "the port's own box has no caption";
  EXPECT_EQ(messages_.Shown()[1].text, "Can't Open the Serial Port!!");
  EXPECT_EQ(messages_.Shown()[1].caption, "VX930_IDE");
  EXPECT_FALSE(window->State().ComPort);
  EXPECT_FALSE(window->State().IceCmd);
  EXPECT_EQ(Ini().ReadInteger("PATH", "COM_PORT", 0), 3) << "not written";
  // The halted controls, and Reset says why nothing works.
  EXPECT_TRUE(window->Action("NormRunBtn")->isEnabled());
  EXPECT_FALSE(window->Action("StopBtn")->isEnabled());
  window->Action("ResetBtn")->trigger();
  EXPECT_EQ(messages_.LastText(), "Please Set Com Port First!!");
}

// Halted controls from the start, while the port dialog still asks; and the
// Run menu's Stop is the tool bar's.
TEST_F(MainWindowTest, ControlsStartHaltedAndRunStopStopsTheTarget) {
  auto window = MakeWindow({1});
  for (const char* name : {"LoadBtn", "NormRunBtn", "StepBtn", "ResetBtn", "Load1", "NormalRun1", "Reset1"})
    EXPECT_TRUE(window->Action(name)->isEnabled()) << name;
  for (const char* name : {"StopBtn", "Stop1"}) EXPECT_FALSE(window->Action(name)->isEnabled()) << name;

  PortScript script({1});
  window->FormPaint();
  ASSERT_TRUE(window->State().IceCmd);
  window->Action("FreeRunBtn")->trigger();  // erased code: runs for ever
  ASSERT_EQ(window->State().Stopped, 0);
  ASSERT_TRUE(window->Action("Stop1")->isEnabled());
  board_.Log().Clear();
  window->Action("Stop1")->trigger();
  Names sent;
  for (const auto& e : board_.Log().Entries())
    if (e.direction == sim::ice::Direction::HostToBoard && e.bytes.size() >= 4)
      sent.push_back(sim::ice::CommandName(e.bytes[3]));
  EXPECT_EQ(sent, Names{"icStop"});
  EXPECT_TRUE(window->Timer1()->isActive()) << "the poll sees the halt";
  window->Timer1()->stop();
}

TEST_F(MainWindowTest, OkOnAPortThatOpensMakesTheLinkAndRemembersThePort) {
  auto window = MakeWindow({2});
  PortScript script({2});
  window->FormPaint();
  EXPECT_EQ(script.shownWith, (std::vector<int>{1}));
  EXPECT_TRUE(window->State().ComPort);
  EXPECT_TRUE(window->State().IceCmd);
  EXPECT_EQ(Ini().ReadInteger("PATH", "COM_PORT", 0), 2);
  EXPECT_TRUE(messages_.Texts().empty());
  // A later paint never shows the dialog again.
  PortScript again({0});
  window->FormPaint();
  EXPECT_TRUE(again.shownWith.empty());
  EXPECT_TRUE(window->State().IceCmd);
}

TEST_F(MainWindowTest, TheWindowCarriesTheCaptionMenusAndToolBarHints) {
  auto window = MakeWindow({});
  EXPECT_EQ(window->windowTitle(), "VX930 IDE");
  const std::pair<const char*, const char*> items[] = {{"Load1", "&Open"},
                                                       {"Exit1", "E&xit"},
                                                       {"NormalRun1", "&Normal Run "},
                                                       {"FreeRun1", "Fr&ee Run"},
                                                       {"Step1", "Step &Into"},
                                                       {"StepOver1", "Step &Over"},
                                                       {"Stop1", "&Stop"},
                                                       {"Reset1", "&Reset"},
                                                       {"SFRH1", "&SFR"},
                                                       {"InternalRAM1", "&In_256 RAM"},
                                                       {"muInternal1kRAM1", "In_1K RAM&1"},
                                                       {"Disassemble1", "Code "},
                                                       {"About1", "&About"}};
  for (const auto& [name, text] : items) EXPECT_EQ(window->Action(name)->text().toStdString(), text) << name;
  const std::pair<const char*, const char*> hints[] = {
      {"LoadBtn", "Open"},     {"NormRunBtn", "Normal Run"}, {"FreeRunBtn", "Free Run"}, {"StopBtn", "Stop"},
      {"StepBtn", "StepInto"}, {"StepOverBtn", "StepOver"},  {"ResetBtn", "Reset"}};
  for (const auto& [name, hint] : hints) {
    EXPECT_EQ(window->Action(name)->toolTip().toStdString(), hint) << name;
    EXPECT_FALSE(window->Action(name)->icon().isNull()) << name;
  }
  EXPECT_EQ(window->Timer1()->interval(), 30);
  EXPECT_FALSE(window->Timer1()->isActive());
}

TEST_F(MainWindowTest, ClosingSavesTheLayoutDropsTheLinkAndOnlyMinimisesTheSourceWindow) {
  auto window = MakeWindow({1});
  PortScript script({1});
  window->FormPaint();
  window->show();
  // An OMF-less HEX program so a source window exists.
  const std::string hex = (dir_ / "P.HEX").string();
  std::ofstream(hex) << ":0300000002000FEC\n:00000001FF\n";
  ASSERT_TRUE(window->Controller().OpenHexFile(hex));
  auto* source = dynamic_cast<TfmSrcForm*>(window->Controller().fmSrcForm());
  ASSERT_NE(source, nullptr);
  window->Timer1()->start();
  window->close();
  EXPECT_FALSE(window->Timer1()->isActive());
  EXPECT_FALSE(window->State().IceCmd);
  EXPECT_FALSE(window->State().ComPort);
  EXPECT_FALSE(window->State().HexDecoder);
  EXPECT_TRUE(Ini().ReadBool("WINDOW", "MAIN_WIN_EXIST", false));
  EXPECT_EQ(window->Controller().fmSrcForm(), source) << "the source window lives until the end";
  EXPECT_TRUE(source->isMinimized());
  window.reset();  // destroys the children while the controller still exists
}

}  // namespace
}  // namespace vx930::testing
