// The IDE's main window against vx930-boardsim over a pseudo-terminal, on
// real time: the board runs as a child process, COM1 names its pty, and the
// port dialog of the first paint is answered with COM1.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "ide/ui/qt/main_window.h"
#include "platform/messages.h"
#include "tests/support/board_sim_process.h"
#include "tests/support/scoped_env.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/test_app.h"

namespace vx930::testing {

namespace fs = std::filesystem;

inline const std::string kSamples = std::string(VX_FIXTURES_DIR) + "/../../samples/";

// Clicks OK on the port dialog (COM1) as soon as it shows.
inline void AnswerPortDialogWithCom1() {
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

class PtyIdeTest : public ::testing::Test {
protected:
  void SetUp() override {
    TestApp();
    if (!fs::exists(kBoardSimPath)) GTEST_SKIP() << "vx930-boardsim is not built";
    ASSERT_FALSE(simPath_.empty());
    com1_ = std::make_unique<ScopedEnv>("COM1", simPath_);
    window_ = std::make_unique<TForm1>(dir_.string());
    window_->resize(1100, 720);
    window_->show();
    AnswerPortDialogWithCom1();
    window_->FormPaint();
    ASSERT_TRUE(window_->State().IceCmd) << "the pty did not open";
  }
  void TearDown() override { window_.reset(); }

  Debugger& D() { return window_->Controller(); }
  DebuggerState& S() { return window_->State(); }

  // Lets the event loop run (the poll, the download dialog) until pred holds.
  bool Until(const std::function<bool()>& pred, int ms = 20000) {
    QElapsedTimer t;
    t.start();
    while (!pred()) {
      if (t.elapsed() > ms) return false;
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
  }
  bool Halted() {
    return Until([this] { return S().Stopped == 1 && !window_->Timer1()->isActive(); });
  }
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
  BoardSimProcess sim_;
  std::string simPath_ = sim_.ReadLine();
  std::unique_ptr<ScopedEnv> com1_;
  ScratchDir dir_{"vx930_e2e"};
  std::unique_ptr<TForm1> window_;
};

}  // namespace vx930::testing
