// The debugger and the simulated board with a program that waits on a timer:
// runs that count passes or step over the delay end where they should, since
// the board's core counts its timers.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "tests/ide/ui/core/debugger_fixture.h"
#include "tests/ide/ui/core/intel_hex.h"

namespace vx930::testing {
namespace {

// 0000 MOV TMOD,#01h / 0003 LCALL 0020h / 0006 INC 30h / 0008 SJMP 0003
// 0020 MOV TH0,#00h / 0023 MOV TL0,#00h / 0026 SETB TR0 / 0028 JNB TF0,$
// 002B CLR TF0 / 002D CLR TR0 / 002F RET
// Each delay is 65536 machine cycles, more than two of the board's polls.
const std::vector<uint8_t> kMain = {0x75, 0x89, 0x01, 0x12, 0x00, 0x20, 0x05, 0x30, 0x80, 0xF9};
const std::vector<uint8_t> kDelay = {0x75, 0x8C, 0x00, 0x75, 0x8A, 0x00, 0xD2, 0x8C,
                                     0x30, 0x8D, 0xFD, 0xC2, 0x8D, 0xC2, 0x8C, 0x22};

class TimerBoardTest : public DebuggerFixture {
protected:
  void SetUp() override {
    Connect();
    views_.available = false;
    const std::string path = (dir_ / "TIMER.HEX").string();
    std::ofstream(path, std::ios::binary) << HexFile(IntelHex(0x0000, kMain) + IntelHex(0x0020, kDelay));
    ASSERT_TRUE(debugger_->OpenHexFile(path));
    board_.LoadCode(0, kMain);
    board_.LoadCode(0x0020, kDelay);
    HaltAt(0);
  }
};

TEST_F(TimerBoardTest, NormalRunWithAPassCountThroughATimerDelayReachesItsBreakPoint) {
  debugger_->SetBreakPoint(0, 0x0006, 2);  // the third return from the delay
  debugger_->NormalRun1Click();
  const int ticks = PollUntilQuiet(100);
  ASSERT_LT(ticks, 100) << "the target never halted";
  EXPECT_GE(ticks, 6) << "three delays of 65536 cycles take several polls";
  EXPECT_EQ(state_.Stopped, 1);
  EXPECT_EQ(state_.GetPC(), 0x0006u);
  EXPECT_EQ(state_.InRAMImage[0x30], 2);
  EXPECT_EQ(controls_.state, "stopped");
  EXPECT_TRUE(messages_.Texts().empty()) << messages_.LastText();
}

TEST_F(TimerBoardTest, StepOverTheDelayCallHaltsAtTheReturnAddress) {
  debugger_->Step1Click();  // MOV TMOD
  PollUntilQuiet();
  ASSERT_EQ(state_.GetPC(), 0x0003u);
  debugger_->StepOver1Click();
  const int ticks = PollUntilQuiet(100);
  ASSERT_LT(ticks, 100) << "the target never halted";
  EXPECT_EQ(state_.Stopped, 1);
  EXPECT_EQ(state_.GetPC(), 0x0006u);
  EXPECT_EQ(state_.InRAMImage[0x30], 0);
  EXPECT_TRUE(messages_.Texts().empty()) << messages_.LastText();
}

}  // namespace
}  // namespace vx930::testing
