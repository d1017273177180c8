// Source-level stepping: the stages of Step Into and Step Over, the run on to
// the next line start after a halt inside a line, and how the user's
// breakpoints survive all of it.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "tests/ide/ui/core/debugger_fixture.h"
#include "tests/ide/ui/core/step_program.h"

namespace vx930::testing {
namespace {

using Names = std::vector<std::string>;

class SourceStepTest : public DebuggerFixture {
protected:
  void SetUp() override {
    Connect();
    LoadProgram(kStepMain);
    // A user breakpoint that no step here reaches: it must come back unchanged.
    state_.BreakPointTable[0] = BreakPointRec{0x0400, 1, 3};
    state_.BreakPointTable[1] = BreakPointRec{0x0401, 0, 0};
    userBreakPoints_ = state_.BreakPointTable;
  }

  void LoadProgram(const std::vector<uint8_t>& main, bool tail = false) {
    const std::string path = (dir_ / "steps").string();
    const auto bytes = StepProgramOmf(main, tail);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    ASSERT_TRUE(debugger_->OpenOmfFile(path));
    source_ = views_.sources.at(0).get();
    ASSERT_EQ(source_->LinesShown(), 1);
    board_.LoadCode(0, std::vector<uint8_t>(state_.CodeImage->begin(), state_.CodeImage->end()));
  }

  void ExpectHaltedAt(uint32_t pc, bool refreshed = true) {
    EXPECT_EQ(state_.GetPC(), pc);
    EXPECT_EQ(board_.Pc(), pc);
    EXPECT_EQ(state_.Stopped, 1);
    EXPECT_FALSE(timer_.enabled);
    EXPECT_EQ(controls_.state, "stopped");
    EXPECT_EQ(state_.SrcStepInto, 0);
    EXPECT_EQ(state_.SrcStepOver, 0);
    if (refreshed) {
      EXPECT_EQ(source_->pc, pc);
    }
  }
  void ExpectUserBreakPointsBack() {
    EXPECT_EQ(state_.BrkParked, 0);
    for (int i = 0; i < BreakPointCount; ++i) {
      EXPECT_EQ(state_.BreakPointTable[i].address, userBreakPoints_[i].address) << i;
      EXPECT_EQ(state_.BreakPointTable[i].enabled, userBreakPoints_[i].enabled) << i;
      EXPECT_EQ(state_.BreakPointTable[i].passCount, userBreakPoints_[i].passCount) << i;
    }
  }

  FakeSource* source_ = nullptr;
  std::array<BreakPointRec, BreakPointCount> userBreakPoints_{};
};

TEST_F(SourceStepTest, StepIntoAtTheResetAddressRunsToTheFirstLineOfMain) {
  debugger_->Reset1Click();
  ASSERT_EQ(state_.GetPC(), 0u);
  Sent();
  debugger_->Step1Click();
  EXPECT_EQ(state_.BreakPointTable[0].address, 0x0100u);
  EXPECT_EQ(state_.BreakPointTable[1].address, 0x0100u);
  EXPECT_EQ(controls_.state, "running");
  PollUntilQuiet();
  ExpectHaltedAt(0x0100);
  ExpectUserBreakPointsBack();
  EXPECT_TRUE(messages_.Texts().empty());
}

TEST_F(SourceStepTest, StepIntoRunsToTheCallThenStepsIntoTheCalledFunction) {
  HaltAt(0x0103);
  debugger_->Step1Click();
  // First stage: both hardware breakpoints at the call, then a run.
  EXPECT_EQ(state_.BreakPointTable[0].address, 0x0105u);
  EXPECT_EQ(state_.BreakPointTable[1].address, 0x0105u);
  EXPECT_EQ(state_.SrcStepInto, 1);
  PollUntilQuiet();
  EXPECT_EQ(RunCommands(), (Names{"icTxBrkPnt", "icTxBrkPnt", "icRun", "icStep"}));
  ExpectHaltedAt(0x0200);
  ExpectUserBreakPointsBack();
}

// FUNC's last line is its RET: the step follows it back to the caller. Run
// to the line end instead, the target would never come back there.
TEST_F(SourceStepTest, StepFromAFunctionsLastLineEndsInItsCaller) {
  LoadProgram(kStepMain, true);
  ASSERT_EQ(source_->LineEnd(0x0202), 0x0203);
  for (bool over : {false, true}) {
    SCOPED_TRACE(over ? "step over" : "step into");
    HaltAt(0x0103);
    debugger_->Step1Click();
    PollUntilQuiet();
    ExpectHaltedAt(0x0200);
    debugger_->Step1Click();
    PollUntilQuiet();
    ExpectHaltedAt(0x0202);
    board_.Log().Clear();
    over ? debugger_->StepOver1Click() : debugger_->Step1Click();
    PollUntilQuiet();
    ASSERT_EQ(state_.Stopped, 1) << "the step runs free";
    // The RET is single-stepped: nothing runs.
    const Names sent = RunCommands();
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "icRun"), 0);
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "icStep"), 1);
    ExpectHaltedAt(0x0108);
    ExpectUserBreakPointsBack();
    EXPECT_TRUE(messages_.Texts().empty());
  }
}

TEST_F(SourceStepTest, StepOverRunsToTheCallThenToTheInstructionAfterIt) {
  HaltAt(0x0103);
  debugger_->StepOver1Click();
  PollUntilQuiet();
  EXPECT_EQ(RunCommands(), (Names{"icTxBrkPnt", "icTxBrkPnt", "icRun", "icTxBrkPnt", "icRun"}));
  ExpectHaltedAt(0x0108);
  EXPECT_EQ(board_.ReadSfrBlock()[39], 0x01) << "FUNC ran (ACC = 1)";
  ExpectUserBreakPointsBack();
}

TEST_F(SourceStepTest, UserBreakPointInsideTheSteppedOverCallDoesNotStopTheStep) {
  state_.BreakPointTable[0] = BreakPointRec{0x0200, 1, 0};
  userBreakPoints_ = state_.BreakPointTable;
  HaltAt(0x0103);
  debugger_->StepOver1Click();
  PollUntilQuiet();
  ExpectHaltedAt(0x0108);
  ExpectUserBreakPointsBack();
}

TEST_F(SourceStepTest, CallWithoutSourceBeforeABranchIsOneRangeRunToTheLineEnd) {
  for (bool over : {false, true}) {
    SCOPED_TRACE(over ? "step over" : "step into");
    HaltAt(0x010A);
    over ? debugger_->StepOver1Click() : debugger_->Step1Click();
    EXPECT_EQ(controls_.state, "running");
    EXPECT_TRUE(timer_.enabled);
    std::vector<uint8_t> range;
    for (const auto& e : board_.Log().Entries())
      if (e.direction == sim::ice::Direction::HostToBoard && e.bytes.size() >= 6 && e.bytes[3] == 0x14) range = e.bytes;
    // 02 aH aL 14 bH bL Chk: the line end and the procedure's last address.
    ASSERT_EQ(range.size(), 7u);
    EXPECT_EQ(range[1] * 256 + range[2], 0x010F);
    EXPECT_EQ(range[4] * 256 + range[5], 0x011C);
    PollUntilQuiet();
    ExpectHaltedAt(0x010F);
    ExpectUserBreakPointsBack();
  }
}

TEST_F(SourceStepTest, LoopBackToTheLineStartEndsTheStepAfterOnePass) {
  board_.Access([](sim::ice::Memories& m, sim::ice::Core8051&) { m.iram[0x32] = 3; });
  HaltAt(0x0112);
  debugger_->Step1Click();
  PollUntilQuiet();
  EXPECT_EQ(RunCommands(), (Names{"icTxBrkPnt", "icTxBrkPnt", "icRun", "icStep"}));
  ExpectHaltedAt(0x0112);
  uint8_t counter = 0;
  board_.Access([&](sim::ice::Memories& m, sim::ice::Core8051&) { counter = m.iram[0x32]; });
  EXPECT_EQ(counter, 2) << "one pass of the loop";
}

// Stop ends whatever runs: the views show where the target stopped, even
// inside a line, and the user's breakpoints, parked by the free run, come back.
TEST_F(SourceStepTest, StopInsideALineHaltsThereWithoutRunningOnToTheNextLineStart) {
  HaltAt(0x0117);
  debugger_->FreeRun1Click();
  EXPECT_EQ(state_.BrkParked, 1);
  debugger_->Timer1Timer();  // still running the endless loop
  ASSERT_TRUE(timer_.enabled);
  debugger_->StopBtnClick();
  // Wherever the stop landed, make it the middle of line 16.
  board_.SetPc(0x0119);
  Sent();
  PollUntilQuiet();
  EXPECT_EQ(RunCommands(), Names{});
  ExpectHaltedAt(0x0119);
  ExpectUserBreakPointsBack();
}

// A line that loops on itself for ever (0114 JNB 00h,$): a run to the next
// line start would never end, so Stop must halt it where it is.
TEST_F(SourceStepTest, StopHaltsALoopInsideOneLine) {
  LoadProgram(StepMainWaitingOnABit());
  HaltAt(0x0112);
  debugger_->FreeRun1Click();
  debugger_->Timer1Timer();
  ASSERT_TRUE(timer_.enabled);
  debugger_->StopBtnClick();
  Sent();
  PollUntilQuiet();
  EXPECT_EQ(RunCommands(), Names{});
  ExpectHaltedAt(0x0114);
  ExpectUserBreakPointsBack();
}

// Stop during a source step ends the step: no later stage starts.
TEST_F(SourceStepTest, StopEndsASourceStep) {
  for (bool over : {false, true}) {
    SCOPED_TRACE(over ? "step over" : "step into");
    HaltAt(0x0103);
    over ? debugger_->StepOver1Click() : debugger_->Step1Click();
    ASSERT_EQ(state_.BrkParked, 1);
    debugger_->StopBtnClick();
    // The stop landed on the call, where the next stage would go on.
    board_.SetPc(0x0105);
    Sent();
    PollUntilQuiet();
    EXPECT_EQ(RunCommands(), Names{});
    ExpectHaltedAt(0x0105);
    ExpectUserBreakPointsBack();
  }
}

// A halt inside a line that Stop did not cause (a user breakpoint) is still
// carried on to the next line start.
TEST_F(SourceStepTest, HaltAtABreakPointInsideALineRunsOnToTheNextLineStart) {
  state_.BreakPointTable[1] = BreakPointRec{0x0119, 1, 0};
  userBreakPoints_ = state_.BreakPointTable;
  HaltAt(0x0117);
  debugger_->NormalRun1Click();
  PollUntilQuiet();
  EXPECT_EQ(RunCommands(), (Names{"icTxBrkPnt", "icRun", "icTxBrkPnt", "icRun"}));
  ExpectHaltedAt(0x011B);
  ExpectUserBreakPointsBack();
}

// A stage whose halt finds the target where that stage began has made no
// progress: the step ends there instead of repeating it on every poll.
TEST_F(SourceStepTest, AStageThatMakesNoProgressEndsTheStep) {
  struct Case {
    const char* name;
    bool waitsOnABit;
    uint16_t start;
    bool stepRepliesLost;
    uint32_t endsAt;
    Names messages;
  };
  const Case cases[] = {
      {"every step lost", false, 0x0103, true, 0x0105, {"Communication Error, Please Check Link and Try Again !!"}},
      {"an instruction that waits on a bit", true, 0x0112, false, 0x0114, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.waitsOnABit) LoadProgram(StepMainWaitingOnABit());
    board_.ClearFaults();
    messages_.Clear();
    HaltAt(c.start);
    if (c.stepRepliesLost) board_.AddFault(NoReplyTo(0x13));
    debugger_->Step1Click();
    PollUntilQuiet();
    int steps = 0;
    for (const auto& n : RunCommands()) steps += n == "icStep";
    EXPECT_EQ(steps, 1);
    EXPECT_EQ(messages_.Texts(), c.messages);
    ExpectHaltedAt(c.endsAt);
    ExpectUserBreakPointsBack();
  }
}

TEST_F(SourceStepTest, HaltOnALineBoundaryRefreshesAtOnce) {
  HaltAt(0x0117);
  debugger_->FreeRun1Click();
  debugger_->StopBtnClick();
  board_.SetPc(0x0117);
  Sent();
  PollUntilQuiet();
  EXPECT_EQ(RunCommands(), Names{});
  ExpectHaltedAt(0x0117);
  ExpectUserBreakPointsBack();
}

TEST_F(SourceStepTest, FailedRunInTheFirstStageEndsTheStepAndRestoresTheBreakPoints) {
  HaltAt(0x0103);
  board_.AddFault(NoReplyTo(0x02));
  debugger_->Step1Click();
  EXPECT_EQ(messages_.Texts(), (Names{"Normal RUN failed, Please Check Link!!"}));
  ExpectHaltedAt(0x0103, false);
  ExpectUserBreakPointsBack();
}

TEST_F(SourceStepTest, FailedRunInALaterStageEndsTheStepWithoutReportingSuccess) {
  HaltAt(0x0103);
  // The second run (to the instruction after the call) gets no answer.
  board_.AddFault(NoReplyTo(0x02, 2));
  debugger_->StepOver1Click();
  PollUntilQuiet();
  EXPECT_EQ(messages_.Texts(), (Names{"Normal RUN failed, Please Check Link!!"}));
  ExpectHaltedAt(0x0105);
  ExpectUserBreakPointsBack();
}

TEST_F(SourceStepTest, StepOverWhileRunningIsRefusedAndSendsNothing) {
  HaltAt(0x0103);
  state_.Stopped = 0;
  timer_.enabled = true;
  debugger_->StepOver1Click();
  EXPECT_EQ(messages_.Texts(), (Names{"Please Stop the ICE First !!"}));
  EXPECT_EQ(Sent(), Names{});
  EXPECT_TRUE(timer_.enabled) << "the running target's poll goes on";
  ExpectUserBreakPointsBack();
}

TEST_F(SourceStepTest, StepOverWritesEditedRegistersBeforeItsFirstStage) {
  HaltAt(0x0100);
  ASSERT_TRUE(state_.SetSFRValue(0xF0, 0x5A));  // B
  debugger_->StepOver1Click();
  const Names sent = Sent();
  const auto sfr = std::find(sent.begin(), sent.end(), "icTxSFR");
  const auto run = std::find(sent.begin(), sent.end(), "icRun");
  ASSERT_NE(sfr, sent.end());
  EXPECT_LT(sfr, run);
  EXPECT_EQ(state_.SFRDirty, 0);
  PollUntilQuiet();
  EXPECT_EQ(board_.ReadSfrBlock()[51], 0x5A);
}

}  // namespace
}  // namespace vx930::testing
