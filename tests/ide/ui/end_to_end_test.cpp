// The IDE against the simulated board over a pseudo-terminal, with the
// sample programs: the port dialog, open and download through the link's
// dialog, reset, runs, breakpoints, stop, and steps at instruction and at
// source level, on real time. Set VX_SCREENSHOT to a PNG path to keep a
// picture of the window at the end.
#include <Qsci/qsciscintilla.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <filesystem>
#include <thread>

#include "ide/ui/main_window.h"
#include "ide/ui/source_window.h"
#include "platform/messages.h"
#include "tests/ide/ui/view_test_app.h"

extern char** environ;

namespace vx930::testing {
namespace {

namespace fs = std::filesystem;

const std::string kSamples = std::string(VX_FIXTURES_DIR) + "/../../samples/";
const std::string kBoardSim = std::string(VX_BINARY_DIR) + "/sim/ice/vx930-boardsim";

QApplication& App() { return TestApp(); }

// vx930-boardsim as a child process; its pty's path.
class BoardSim {
public:
  BoardSim() {
    int out[2];
    if (pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    char* argv[] = {const_cast<char*>(kBoardSim.c_str()), nullptr};
    if (posix_spawn(&pid_, kBoardSim.c_str(), &actions, nullptr, argv, environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    char c;
    while (pid_ > 0 && read(out[0], &c, 1) == 1 && c != '\n') path_ += c;
    close(out[0]);
  }
  ~BoardSim() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  const std::string& Path() const { return path_; }

private:
  pid_t pid_ = -1;
  std::string path_;
};

// Clicks OK on the port dialog (COM1) as soon as it shows.
void AnswerPortDialogWithCom1() {
  auto* poll = new QTimer(QCoreApplication::instance());
  QObject::connect(poll, &QTimer::timeout, poll, [poll] {
    if (auto* d = qobject_cast<TSelectPort*>(QApplication::activeModalWidget())) {
      d->findChild<QRadioButton*>("COM1")->setChecked(true);
      d->findChild<QPushButton*>("OKBtn")->click();
      poll->deleteLater();
    }
  });
  poll->start(10);
}

class EndToEndTest : public ::testing::Test {
protected:
  void SetUp() override {
    App();
    if (!fs::exists(kBoardSim)) GTEST_SKIP() << "vx930-boardsim is not built";
    ASSERT_FALSE(sim_.Path().empty());
    setenv("COM1", sim_.Path().c_str(), 1);
    dir_ = fs::temp_directory_path() / ("vx930_e2e_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    window_ = std::make_unique<TForm1>(dir_.string());
    window_->resize(1100, 720);
    window_->show();
    AnswerPortDialogWithCom1();
    window_->FormPaint();
    ASSERT_TRUE(window_->State().IceCmd) << "the pty did not open";
  }
  void TearDown() override {
    window_.reset();
    fs::remove_all(dir_);
  }

  Debugger& D() { return window_->Controller(); }
  DebuggerState& S() { return window_->State(); }

  // Lets the event loop run (the poll, the download dialog) until pred holds.
  bool Until(const std::function<bool()>& pred, int ms = 5000) {
    QElapsedTimer t;
    t.start();
    while (!pred()) {
      if (t.elapsed() > ms) return false;
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
  }
  bool Halted() { return Until([this] { return S().Stopped == 1 && !window_->Timer1()->isActive(); }); }
  void Open(const std::string& name) {
    const std::string path = kSamples + name;
    const bool ok = ExtensionPart(path).empty() ? D().OpenOmfFile(path) : D().OpenHexFile(path);
    ASSERT_TRUE(ok) << path;
    D().DownLoad1Click();  // the modal download dialog, then clear and reset
    ASSERT_EQ(window_->StatusText(0).toStdString(), "Download Complete") << messages_.LastText();
    ASSERT_EQ(S().GetPC(), 0u);
  }

  platform::RecordingMessages messages_;
  platform::ScopedMessages scope_{messages_};
  BoardSim sim_;
  fs::path dir_;
  std::unique_ptr<TForm1> window_;
};

TEST_F(EndToEndTest, HexProgramRunsToBreakPointsStepsAndStops) {
  Open("BLINK.HEX");
  auto* source = dynamic_cast<TfmSrcForm*>(D().fmSrcForm);
  ASSERT_NE(source, nullptr);
  EXPECT_EQ(source->LinesShown(), 0);

  // Normal run to show(), twice: the second time counter is 1.
  D().SetBreakPoint(0, 0x008B, 0);
  D().NormalRun1Click();
  ASSERT_TRUE(Halted());
  EXPECT_EQ(S().GetPC(), 0x008Bu);
  D().NormalRun1Click();
  ASSERT_TRUE(Halted());
  EXPECT_EQ(S().GetPC(), 0x008Bu);
  EXPECT_EQ(S().InRAMImage[0x08], 1) << "counter in internal RAM";
  EXPECT_EQ(S().SFRImage[2], 1) << "DPL holds the argument";
  EXPECT_GT(source->PCLine(), 0);

  // Step into one instruction; then over the call to show() in main.
  D().Step1Click();
  ASSERT_TRUE(Halted());
  EXPECT_EQ(S().GetPC(), 0x008Du);
  D().SetBreakPoint(0, 0x00A9, 0);
  D().NormalRun1Click();
  ASSERT_TRUE(Halted());
  ASSERT_EQ(S().GetPC(), 0x00A9u);
  D().DisableBreakPoint(0);
  D().StepOver1Click();
  ASSERT_TRUE(Halted());
  EXPECT_EQ(S().GetPC(), 0x00ACu);
  D().Step1Click();  // into show() this time? No: INC counter at 0x00AC.
  ASSERT_TRUE(Halted());
  EXPECT_EQ(S().GetPC(), 0x00AEu);

  // Free run, a while of polling, stop.
  D().FreeRun1Click();
  EXPECT_TRUE(window_->Action("StopBtn")->isEnabled());
  EXPECT_FALSE(Until([this] { return S().Stopped == 1; }, 300)) << "still running";
  D().StopBtnClick();
  ASSERT_TRUE(Halted());
  EXPECT_TRUE(window_->Action("NormRunBtn")->isEnabled());
  EXPECT_GT(S().InRAMImage[0x08], 2) << "the counter went on";
  EXPECT_TRUE(messages_.Texts().empty()) << messages_.LastText();
}

TEST_F(EndToEndTest, OmfProgramStepsBySourceLine) {
  Open("BLINK");
  auto* source = dynamic_cast<TfmSrcForm*>(D().fmSrcForm);
  ASSERT_NE(source, nullptr);
  ASSERT_EQ(source->LinesShown(), 1);
  EXPECT_NE(source->Editor()->text().indexOf("void main(void)"), -1);

  const int32_t mainAt = D().fmSrcForm->GetFunctionAddress("MAIN");
  ASSERT_EQ(mainAt, 0x00A3);
  D().Step1Click();  // at reset: runs to MAIN
  ASSERT_TRUE(Halted());
  EXPECT_EQ(S().GetPC(), 0x00A3u);
  EXPECT_EQ(source->PCLine(), 36);

  D().StepOver1Click();  // counter = 0;
  ASSERT_TRUE(Halted());
  EXPECT_EQ(S().GetPC(), 0x00A6u);
  EXPECT_EQ(source->PCLine(), 38);

  D().StepOver1Click();  // show(counter); runs over the call
  ASSERT_TRUE(Halted());
  EXPECT_EQ(S().GetPC(), 0x00ACu);
  EXPECT_EQ(source->PCLine(), 39);

  // Back round the loop to show(counter), then into it.
  D().SetBreakPoint(1, 0x00A6, 0);
  D().NormalRun1Click();
  ASSERT_TRUE(Halted());
  EXPECT_EQ(S().GetPC(), 0x00A6u);
  D().DisableBreakPoint(1);
  D().Step1Click();
  ASSERT_TRUE(Halted());
  EXPECT_EQ(S().GetPC(), 0x008Bu) << "the first line of show()";
  EXPECT_EQ(S().BrkParked, 0);
  EXPECT_EQ(S().BreakPointTable[1].address, 0x00A6u);
  EXPECT_EQ(S().BreakPointTable[1].enabled, 0);
  EXPECT_TRUE(messages_.Texts().empty()) << messages_.LastText();

  if (const char* shot = std::getenv("VX_SCREENSHOT")) {
    source->BringForward();
    source->setGeometry(0, 0, 760, 560);
    QCoreApplication::processEvents();
    window_->grab().save(shot);
  }
}

}  // namespace
}  // namespace vx930::testing
