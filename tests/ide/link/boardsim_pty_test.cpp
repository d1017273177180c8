// End to end: vx930-boardsim as a child process on a pseudo-terminal, COM1
// pointed at it through the environment, the real serial port and real time.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ide/image/hex_decoder.h"
#include "ide/link/cmd_set.h"
#include "ide/link/load_progress_form.h"
#include "ide/link/tx_rom.h"
#include "platform/messages.h"
#include "tests/ide/link/test_app.h"

extern char** environ;

namespace vx930 {
namespace {

using Steady = std::chrono::steady_clock;

const char* const kBoardSim = VX_BINARY_DIR "/sim/ice/vx930-boardsim";

long MsSince(Steady::time_point t) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - t).count());
}

// The simulator as a child process; stopped by its pid when the test ends.
class BoardSim {
public:
  explicit BoardSim(std::vector<std::string> args = {}) {
    int out[2];
    if (::pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    args.insert(args.begin(), kBoardSim);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, kBoardSim, &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    stdout_ = out[0];
    path_ = ReadLine();
  }
  ~BoardSim() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
    if (stdout_ >= 0) ::close(stdout_);
  }
  // The pty the simulator serves, or "" when it did not start.
  const std::string& path() const { return path_; }

private:
  std::string ReadLine() {
    std::string line;
    const auto start = Steady::now();
    while (MsSince(start) < 5000) {
      pollfd p{stdout_, POLLIN, 0};
      if (::poll(&p, 1, 100) <= 0) continue;
      char c;
      if (::read(stdout_, &c, 1) != 1) break;
      if (c == '\n') return line;
      line += c;
    }
    return {};
  }

  pid_t pid_ = -1;
  int stdout_ = -1;
  std::string path_;
};

class ScopedEnv {
public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_)
      ::setenv(name_, old_->c_str(), 1);
    else
      ::unsetenv(name_);
  }

private:
  const char* name_;
  std::optional<std::string> old_;
};

class BoardSimTest : public ::testing::Test {
protected:
  void Start(std::vector<std::string> args = {}) {
    sim = std::make_unique<BoardSim>(std::move(args));
    ASSERT_FALSE(sim->path().empty()) << "vx930-boardsim did not start: " << kBoardSim;
    env = std::make_unique<ScopedEnv>("COM1", sim->path());
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
  std::unique_ptr<BoardSim> sim;
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

// The poll gives up after its time or its count of busy answers, whichever
// comes first; on a pty, which has no baud rate, that is the count.
TEST_F(BoardSimTest, ABoardStuckAtBusyFailsTheReadWithinItsBound) {
  Start({"--fault", "0C:busy"});
  std::array<uint8_t, 58> sfr{};
  const auto start = Steady::now();
  EXPECT_FALSE(cmd->RxSFR(sfr));
  const long ms = MsSince(start);
  EXPECT_LT(ms, static_cast<long>(CCmdSet::kBusyPollLimitMs) + 1000);
  // Commands without a poll still work.
  EXPECT_TRUE(cmd->ResetICE());
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
    EXPECT_LT(MsSince(start), 4 * 105 + 20 + 300);
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
