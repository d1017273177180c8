// End to end: vx930-boardsim as a child process on a pseudo-terminal, COM1
// pointed at it through the environment, the real serial port and real time.
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ide/image/hex_decoder.h"
#include "ide/link/cmd_set.h"
#include "ide/link/load_progress_form.h"
#include "ide/link/tx_rom.h"
#include "platform/messages.h"
#include "tests/support/board_sim_process.h"
#include "tests/support/scoped_env.h"
#include "tests/support/test_app.h"

namespace vx930 {
namespace {

using Steady = std::chrono::steady_clock;

long MsSince(Steady::time_point t) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - t).count());
}

using testing::BoardSimProcess;
using testing::ScopedEnv;

class BoardSimTest : public ::testing::Test {
protected:
  void Start(std::vector<std::string> args = {}) {
    sim = std::make_unique<BoardSimProcess>(std::move(args));
    const std::string path = sim->ReadLine();
    ASSERT_FALSE(path.empty()) << "vx930-boardsim did not start: " << testing::kBoardSimPath;
    env = std::make_unique<ScopedEnv>("COM1", path);
    port = std::make_unique<COM_Port>(1);
    ASSERT_TRUE(port->OpenPort());
    cmd = std::make_unique<CCmdSet>(port.get());
  }
  // Reads the board's code memory back through the command set.
  bool CodeMemoryEquals(const CodeImage& image) {
    std::array<uint8_t, 64> block;
    for (uint32_t a = 0; a < 0x10000; a += 64) {
      if (!cmd->RxROMBlock(static_cast<uint16_t>(a), block)) {
        ADD_FAILURE() << "no code block at " << a;
        return false;
      }
      if (!std::equal(block.begin(), block.end(), image.begin() + a)) {
        ADD_FAILURE() << "code differs in the block at " << a;
        return false;
      }
    }
    return true;
  }

  platform::RecordingMessages messages;
  platform::ScopedMessages scope{messages};
  std::unique_ptr<BoardSimProcess> sim;
  std::unique_ptr<ScopedEnv> env;
  std::unique_ptr<COM_Port> port;
  std::unique_ptr<CCmdSet> cmd;
};

TEST_F(BoardSimTest, AHexProgramDownloadedOverThePtyIsWhatCodeMemoryHolds) {
  Start();
  auto image = std::make_unique<CodeImage>();
  CDecodeHex decoder(image.get());
  ASSERT_TRUE(decoder.LoadHexFile(VX_FIXTURES_DIR "/sdcc/arith.ihx"));
  ASSERT_TRUE(cmd->EraseChip());
  TTxROM rom(*cmd, *image);
  rom.Start();
  rom.Join();
  ASSERT_TRUE(rom.GetSuccess());
  EXPECT_TRUE(CodeMemoryEquals(*image));
  EXPECT_TRUE(messages.Shown().empty());
}

TEST_F(BoardSimTest, TheDownloadDialogRunsAFullImageToItsEnd) {
  testing::TestApp();
  Start();
  auto image = std::make_unique<CodeImage>();
  std::mt19937 rng(57600);
  std::generate(image->begin(), image->end(), [&] { return static_cast<uint8_t>(rng()); });

  TLoadProgressForm form(cmd.get(), *image);
  EXPECT_EQ(form.exec(), QDialog::Accepted);
  EXPECT_TRUE(messages.Shown().empty());
  EXPECT_TRUE(CodeMemoryEquals(*image));
}

// The poll gives up after its time, whatever the number of busy answers: a
// pty, which has no baud rate, brings thousands of them in that time.
TEST_F(BoardSimTest, ABoardStuckAtBusyFailsTheReadWithinItsBound) {
  Start({"--fault", "0C:busy"});
  std::array<uint8_t, 58> sfr{};
  const auto start = Steady::now();
  EXPECT_FALSE(cmd->RxSFR(sfr));
  const long ms = MsSince(start);
  EXPECT_GE(ms, static_cast<long>(CCmdSet::kBusyPollLimitMs));
  EXPECT_LT(ms, static_cast<long>(CCmdSet::kBusyPollLimitMs) + 1000);
  // Commands without a poll still work.
  EXPECT_TRUE(cmd->ResetICE());
}

// A board that answers busy a little longer than usual (after a reset, or
// while it gathers a list) is waited for: its 1500 busy answers come in far
// less than the poll's time on a fast line. (On a machine so loaded that
// they do not, the read may give up, but never before the poll's time.)
TEST_F(BoardSimTest, ABoardBusyForManyFastAnswersIsWaitedFor) {
  Start({"--fault", "0C:busy:1500"});
  std::array<uint8_t, 58> sfr{};
  const auto start = Steady::now();
  if (cmd->RxSFR(sfr)) {
    EXPECT_EQ(sfr[kSfrIndexSP], 0x07);
  } else {
    EXPECT_GE(MsSince(start), static_cast<long>(CCmdSet::kBusyPollLimitMs));
  }
}

// On real time and the real port: one block answered 300 ms late, the
// replies queued behind it coming one by one, and a block refused after it.
TEST_F(BoardSimTest, ALateBlockReplyThenARefusedBlockNeverPassesAsComplete) {
  testing::TestApp();
  for (const char* refused : {"01@8:failblock:12", "01@9:failblock:12"}) {
    SCOPED_TRACE(refused);
    cmd.reset();
    port.reset();
    env.reset();
    Start({"--fault", "01@6:late:300", "--fault", refused});
    auto image = std::make_unique<CodeImage>();
    image->fill(0xFF);
    std::mt19937 rng(300);
    std::generate_n(image->begin(), 16 * 64, [&] { return static_cast<uint8_t>(rng()); });
    messages.Clear();
    TLoadProgressForm form(cmd.get(), *image);
    if (form.exec() == QDialog::Accepted) {
      EXPECT_TRUE(messages.Shown().empty());
      EXPECT_TRUE(CodeMemoryEquals(*image));
    } else {
      EXPECT_EQ(messages.LastText(), "Download Program Failed !! Please Check Link ");
    }
  }
}

TEST_F(BoardSimTest, ASilentOrGarblingBoardFailsEachCommandWithinItsTries) {
  for (const char* fault : {"*:none", "*:badsum", "*:wrongcode", "*:short"}) {
    SCOPED_TRACE(fault);
    cmd.reset();
    port.reset();
    env.reset();
    Start({"--fault", fault});
    auto start = Steady::now();
    EXPECT_FALSE(cmd->ResetICE());
    EXPECT_LT(MsSince(start), 3 * 105 + 300);
    std::array<uint8_t, 64> block{};
    start = Steady::now();
    EXPECT_FALSE(cmd->RxInRAM(block, 0));
    EXPECT_LT(MsSince(start), 2 * 105 + 300);
    uint8_t status = 0;
    start = Steady::now();
    EXPECT_FALSE(cmd->BusyCheck(status));
    EXPECT_LT(MsSince(start), 4 * CCmdSet::kBusyReadMs + 20 + 300);
  }
}

TEST_F(BoardSimTest, AHangUpFailsTheCommandsAtOnce) {
  Start({"--fault", "05:hangup"});
  EXPECT_FALSE(cmd->ResetICE());  // the frame that hangs up is not answered
  const auto start = Steady::now();
  uint8_t status = 0;
  EXPECT_FALSE(cmd->BusyCheck(status));
  EXPECT_FALSE(cmd->RunICE());
  EXPECT_LT(MsSince(start), 1500);
}

}  // namespace
}  // namespace vx930
