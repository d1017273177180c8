// The link's COM transport on the system's serial port against the zolvek-sim
// process on a pseudo-terminal, in real time: COM1 is the simulator's pty.
// The simulator paces bytes at the rate both sides agreed, so the rate
// negotiation is real. Each fault must end within a bounded real time with
// the program's message, never as a success over a spoiled exchange.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "platform/messages.h"
#include "programmer/catalogue/catalogue.h"
#include "programmer/link/connection.h"
#include "programmer/link/downloads.h"
#include "tests/support/board_sim_process.h"
#include "tests/support/scoped_env.h"
#include "tests/support/scratch_dir.h"

namespace zolvek::testing {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using Millis = std::chrono::milliseconds;

// The placeholder driver images as the build makes them, one file per driver.
class DriverImageFiles final : public DriverImageSource {
public:
  std::optional<Bytes> Find(std::string_view driverName) const override {
    const std::string wanted = DriverResourceName(driverName);
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(ZOLVEK_DRIVER_IMAGE_DIR, ec)) {
      if (!SameResourceName(entry.path().filename().string(), wanted)) continue;
      std::ifstream in(entry.path(), std::ios::binary);
      return Bytes(std::istreambuf_iterator<char>(in), {});
    }
    return std::nullopt;
  }
};

class PtyEndToEnd : public ::testing::Test {
protected:
  PtyEndToEnd() : messages_(shown_) {}

  // Starts zolvek-sim with `faults`, points COM1 at its pty, opens it and
  // connects at 115200; a failed assertion when any step does not happen.
  void Start(const std::vector<std::string>& faults = {}) {
    ASSERT_NO_FATAL_FAILURE(Open(faults));
    const auto start = Now();
    ASSERT_EQ(ConnectProgrammer(*commands_, 0), 0);
    // One probe at 115200 times out, then 9600 answers and both move: about
    // a second.
    EXPECT_LT(Since(start), Millis(3000));
  }
  void Open(const std::vector<std::string>& faults) {
    std::vector<std::string> args{"--pace", "--log", (dir_ / "commands.log").string()};
    for (const auto& f : faults) {
      args.push_back("--fault");
      args.push_back(f);
    }
    sim_ = std::make_unique<vx930::testing::BoardSimProcess>(args, ZOLVEK_SIM_PATH);
    ASSERT_GT(sim_->pid(), 0);
    const std::string pty = sim_->ReadLine();
    ASSERT_FALSE(pty.empty()) << "zolvek-sim printed no pty";
    env_ = std::make_unique<vx930::testing::ScopedEnv>("COM1", pty);
    state_.LinkKind = kLinkCom;
    state_.BaudIndex = 0;
    link_ = std::make_unique<ProgrammerLink>(state_);
    commands_ = std::make_unique<Commands>(*link_);
    ASSERT_EQ(link_->Com().ComOpen(1), 1) << pty;
  }
  void TearDown() override {
    if (link_) link_->CloseAll();
    if (HasFailure()) std::cout << "zolvek-sim's command log:\n" << Log();
  }
  // What the simulator decoded, one command a line.
  std::string Log() const {
    std::ifstream in(dir_ / "commands.log");
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  static std::chrono::steady_clock::time_point Now() { return std::chrono::steady_clock::now(); }
  static Millis Since(std::chrono::steady_clock::time_point t) { return std::chrono::duration_cast<Millis>(Now() - t); }
  int LoadDriver() { return LoadDeviceDriver(*commands_, driver_, images_, progress_, nullptr); }
  int LoadMonitorFile() { return LoadMonitor(*commands_, ZOLVEK_MONITOR_DIR); }
  std::string DriverFailed() const { return "Load " + driver_.driverName + ".BIN error!"; }

  vx930::testing::ScratchDir dir_{"zolvek_link_pty"};
  platform::RecordingMessages shown_;
  platform::ScopedMessages messages_;
  LinkState state_;
  std::unique_ptr<vx930::testing::BoardSimProcess> sim_;
  std::unique_ptr<vx930::testing::ScopedEnv> env_;
  std::unique_ptr<ProgrammerLink> link_;
  std::unique_ptr<Commands> commands_;
  DriverImageFiles images_;
  DriverRef driver_ = DriverOf(*FindDeviceType(0, 0));
  Progress progress_{state_};
};

TEST_F(PtyEndToEnd, ConnectsChecksThePackAndDownloadsMonitorAndDriver) {
  ASSERT_TRUE(images_.Find(driver_.driverName)) << "no placeholder image for " << driver_.driverName;
  ASSERT_NO_FATAL_FAILURE(Start());
  const auto start = Now();
  ASSERT_EQ(CheckPack(*commands_), 0);
  EXPECT_EQ(InitProgrammer(*commands_), 0);
  EXPECT_EQ(LoadMonitorFile(), 0);
  EXPECT_EQ(state_.NoMonitor, 0);
  EXPECT_EQ(LoadDriver(), 0);
  EXPECT_EQ(state_.NoDriver, 0);
  EXPECT_EQ(CheckPack(*commands_), 0);
  EXPECT_TRUE(shown_.Shown().empty()) << shown_.LastText();
  // About 5.6 KB echoed byte by byte: three or four seconds on an idle
  // machine, each byte a round trip through the scheduler; a bound against a
  // hang, with room for a machine busy building.
  EXPECT_LT(Since(start), Millis(30000));
  // The simulator took both images whole, as announced.
  const std::string log = Log();
  const auto monitorBytes = fs::file_size(fs::path(ZOLVEK_MONITOR_DIR) / MonitorFileCom);
  EXPECT_NE(log.find("monitor " + std::to_string(monitorBytes) + " bytes"), std::string::npos) << log;
  EXPECT_NE(log.find("driver " + std::to_string(images_.Find(driver_.driverName)->size()) + " bytes"),
            std::string::npos)
      << log;
  EXPECT_EQ(log.find("abandoned"), std::string::npos) << log;
}

// A programmer that never answers: the rate search tries every rate and
// gives up within seconds.
TEST_F(PtyEndToEnd, ASilentProgrammerFailsTheRateSearchWithinSeconds) {
  ASSERT_NO_FATAL_FAILURE(Open({"*:silent"}));
  const auto start = Now();
  EXPECT_EQ(ConnectProgrammer(*commands_, 0), 1);
  EXPECT_LT(Since(start), Millis(5000));
  EXPECT_EQ(CheckPack(*commands_), 1);
  EXPECT_EQ(state_.LinkStatus, kStatusNoPrompt);
}

TEST_F(PtyEndToEnd, SilenceFailsThePackAndTheNextCommandWithinSeconds) {
  ASSERT_NO_FATAL_FAILURE(Start({"B@1:silent"}));
  auto start = Now();
  EXPECT_EQ(CheckPack(*commands_), 1);
  EXPECT_EQ(state_.LinkStatus, kStatusNoPack);
  EXPECT_LT(Since(start), Millis(2500));
  start = Now();
  EXPECT_EQ(LoadMonitorFile(), 1);
  EXPECT_EQ(state_.NoMonitor, 1);
  EXPECT_EQ(shown_.LastText(), "Load MON08E.BIN command error !");
  EXPECT_LT(Since(start), Millis(2500));
}

TEST_F(PtyEndToEnd, ADroppedEchoFailsTheDriverWithinSeconds) {
  ASSERT_NO_FATAL_FAILURE(Start({"L#300:drop"}));
  const auto start = Now();
  EXPECT_EQ(LoadDriver(), 1);
  EXPECT_EQ(state_.NoDriver, 1);
  EXPECT_EQ(shown_.LastText(), DriverFailed());
  EXPECT_LT(Since(start), Millis(3000));
}

TEST_F(PtyEndToEnd, ABadEchoFailsTheMonitor) {
  ASSERT_NO_FATAL_FAILURE(Start({"l#40:badecho"}));
  const auto start = Now();
  EXPECT_EQ(LoadMonitorFile(), 1);
  EXPECT_EQ(state_.NoMonitor, 1);
  EXPECT_EQ(shown_.LastText(), "Load MON08E.BIN error!");
  EXPECT_LT(Since(start), Millis(3000));
}

// The late answer must be drained, not read as the next pack's reply; the
// second pack is then answered on time.
TEST_F(PtyEndToEnd, ALatePackReplyIsATimeOutAndNotTheNextAnswer) {
  ASSERT_NO_FATAL_FAILURE(Start({"B@1:late:1800"}));
  const auto start = Now();
  EXPECT_EQ(CheckPack(*commands_), 1);
  EXPECT_EQ(state_.LinkStatus, kStatusNoPack);
  EXPECT_EQ(CheckPack(*commands_), 0);
  EXPECT_EQ(state_.LinkStatus, kStatusOk);
  EXPECT_LT(Since(start), Millis(5000));
}

// Later than the drain waits, and a wrong pack code. The late byte meets the
// next prompt (which fails), and the programmer's 'O' to that prompt, late as
// well, costs the one after; no pack ever takes a stale byte for its answer
// (that would be a wrong pack), and the link is back within a few commands.
TEST_F(PtyEndToEnd, AVeryLateWrongReplyIsNeverTakenForALaterAnswer) {
  ASSERT_NO_FATAL_FAILURE(Start({"B@1:pack:2", "B@1:late:2600"}));
  const auto start = Now();
  EXPECT_EQ(CheckPack(*commands_), 1);
  EXPECT_EQ(state_.LinkStatus, kStatusNoPack);
  int tries = 0;
  while (CheckPack(*commands_) != 0 && ++tries < 4) EXPECT_EQ(state_.LinkStatus, kStatusNoPrompt) << "try " << tries;
  EXPECT_LT(tries, 4);
  EXPECT_EQ(LoadMonitorFile(), 0);
  EXPECT_LT(Since(start), Millis(10000));
}

// The cable comes out at the pack's prompt (the two prompts of the rate
// negotiation come first).
TEST_F(PtyEndToEnd, APulledCableFailsEveryCommandWithinSeconds) {
  ASSERT_NO_FATAL_FAILURE(Start({"*@3:cable"}));
  const auto start = Now();
  EXPECT_EQ(CheckPack(*commands_), 1);
  EXPECT_EQ(state_.LinkStatus, kStatusNoPrompt);
  EXPECT_EQ(LoadMonitorFile(), 1);
  EXPECT_EQ(shown_.LastText(), "Load MON08E.BIN command error !");
  EXPECT_EQ(LoadDriver(), 1);
  EXPECT_EQ(state_.NoDriver, 1);
  EXPECT_LT(Since(start), Millis(5000));
}

// The programmer gone for good (its process killed): the port hangs up, so
// every command fails at once instead of waiting out its time.
TEST_F(PtyEndToEnd, TheSimulatorKilledFailsEveryCommandAtOnce) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_EQ(CheckPack(*commands_), 0);
  ::kill(sim_->pid(), SIGKILL);
  EXPECT_EQ(sim_->WaitExit(2000), 128 + SIGKILL);
  const auto start = Now();
  EXPECT_EQ(CheckPack(*commands_), 1);
  EXPECT_NE(state_.LinkStatus, kStatusOk);
  EXPECT_EQ(LoadMonitorFile(), 1);
  EXPECT_EQ(shown_.LastText(), "Load MON08E.BIN command error !");
  EXPECT_EQ(LoadDriver(), 1);
  EXPECT_EQ(state_.NoDriver, 1);
  EXPECT_LT(Since(start), Millis(1500));
}

}  // namespace
}  // namespace zolvek::testing
