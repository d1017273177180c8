// A debugger wired to fakes of the main window and its views, talking
// through the link's real command set to the simulated board in process, on
// virtual time. The board's frame log tells which commands went out.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ide/link/cmdset_commands.h"
#include "ide/link/com_port.h"
#include "ide/ui/core/debugger.h"
#include "platform/clock.h"
#include "platform/messages.h"
#include "sim/ice/board.h"
#include "sim/ice/engine_protocol.h"
#include "tests/ide/ui/core/board_link.h"
#include "tests/ide/ui/core/fakes.h"
#include "tests/support/scratch_dir.h"

namespace vx930::testing {

namespace fs = std::filesystem;

// The board ignores frames with the command from the first-th on (count 0: all).
inline sim::ice::FaultRule NoReplyTo(uint8_t command, uint32_t first = 1, uint32_t count = 0) {
  sim::ice::FaultRule rule;
  rule.kind = sim::ice::FaultKind::NoReply;
  rule.command = command;
  rule.first = first;
  rule.count = count;
  return rule;
}

struct FakeDownload final : DownloadDialog {
  explicit FakeDownload(std::function<int()> f) : run(std::move(f)) {}
  int ShowModal() override { return run(); }
  std::function<int()> run;
};

class DebuggerFixture : public ::testing::Test {
protected:
  DebuggerFixture() : clockScope_(clock_), messageScope_(messages_) {
    config_ = std::make_unique<IceConfig>(dir_.string());
    host_.timer = &timer_;
    host_.controls = &controls_;
    host_.frame = &frame_;
    host_.openDialog = &openDialog_;
    host_.download = &download_;
    host_.views = &views_;
    debugger_ = std::make_unique<Debugger>(state_, *config_, host_);
  }

  // A link to the in-process board, as the port dialog would have opened it.
  void Connect() {
    SerialLinkOpener opener(
        [this](int) -> std::unique_ptr<platform::ByteLink> { return std::make_unique<BoardLink>(board_, clock_); });
    state_.ComPort = opener.OpenPort(1);
    ASSERT_TRUE(state_.ComPort);
    state_.IceCmd = opener.CreateCommands(*state_.ComPort);
    board_.Log().Clear();
  }

  // The command codes the board received since the last call.
  std::vector<std::string> Sent() {
    std::vector<std::string> names;
    for (const auto& e : board_.Log().Entries())
      if (e.direction == sim::ice::Direction::HostToBoard && e.bytes.size() >= 4)
        names.push_back(sim::ice::CommandName(e.bytes[3]));
    board_.Log().Clear();
    return names;
  }
  // Only the commands that move the target or its breakpoints.
  std::vector<std::string> RunCommands() {
    std::vector<std::string> out;
    for (const auto& n : Sent())
      if (n == "icRun" || n == "icStep" || n == "icRunRange" || n == "icStop" || n == "icReset" || n == "icTxBrkPnt")
        out.push_back(n);
    return out;
  }

  // Ticks the poll until it is off (the halt was handled) or the limit.
  int PollUntilQuiet(int maxTicks = 50) {
    int ticks = 0;
    while (timer_.enabled && ticks < maxTicks) {
      debugger_->Timer1Timer();
      ++ticks;
    }
    return ticks;
  }

  // Puts the board's target at pc, halted, and the host's SFR copy with it.
  void HaltAt(uint16_t pc) {
    board_.SetPc(pc);
    ASSERT_TRUE(debugger_->ReadSFRImage());
    board_.Log().Clear();
  }

  platform::VirtualClock clock_;
  platform::ScopedClock clockScope_;
  platform::RecordingMessages messages_;
  platform::ScopedMessages messageScope_;
  sim::ice::Board board_;
  ScratchDir dir_{"vx930_debugger"};
  std::unique_ptr<IceConfig> config_;
  DebuggerState state_;
  FakeTimer timer_;
  FakeControls controls_;
  FakeFrame frame_;
  FakeOpenDialog openDialog_;
  int downloads_ = 0;
  FakeDownload download_{[this] {
    ++downloads_;
    // Stands in for the dialog: the image goes into the board.
    if (!state_.CodeImage) return DownloadDialog::kCancel;
    board_.LoadCode(0, std::vector<uint8_t>(state_.CodeImage->begin(), state_.CodeImage->end()));
    return DownloadDialog::kOk;
  }};
  FakeViews views_;
  DebuggerHost host_;
  std::unique_ptr<Debugger> debugger_;
};

}  // namespace vx930::testing
