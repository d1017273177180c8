// Instruction-level run control and the halt poll: what each command sends,
// when the poll runs, and the state each failure leaves behind. No source
// window here, so every step is an instruction step.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/ide/ui/core/debugger_fixture.h"
#include "tests/ide/ui/core/step_program.h"

namespace vx930::testing {
namespace {

using Names = std::vector<std::string>;

class RunControlTest : public DebuggerFixture {
protected:
  void SetUp() override {
    Connect();
    views_.available = false;
    const std::string path = (dir_ / "steps").string();
    const auto bytes = StepProgramOmf();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    ASSERT_TRUE(debugger_->OpenOmfFile(path));
    board_.LoadCode(0, std::vector<uint8_t>(state_.CodeImage->begin(), state_.CodeImage->end()));
  }
};

struct AtBreakCase {
  const char* name;
  BreakPointRec bp0, bp1;
  const char* expected;
};

TEST_F(RunControlTest, NormalRunStepsOffAnEnabledBreakPointAtTheRawProgramCounter) {
  // The raw PC of a target halted at 0x0103 is 0x0104.
  const AtBreakCase cases[] = {
      {"enabled at raw PC", {0x0104, 1, 0}, {0x0200, 1, 0}, "icStep"},
      {"disabled at raw PC", {0x0104, 0, 0}, {0x0200, 1, 0}, "icRun"},
      {"enabled at GetPC only", {0x0103, 1, 0}, {0x0200, 0, 0}, "icRun"},
      {"first entry decides", {0x0104, 0, 0}, {0x0104, 1, 0}, "icRun"},
      {"second entry matches", {0x0200, 1, 0}, {0x0104, 1, 0}, "icStep"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HaltAt(0x0103);
    state_.Stopped = 1;
    state_.BreakPointTable = {c.bp0, c.bp1};
    debugger_->NormalRun1Click();
    EXPECT_EQ(RunCommands(), (Names{"icTxBrkPnt", c.expected}));
    EXPECT_EQ(state_.Stopped, 0);
    EXPECT_TRUE(timer_.enabled);
    EXPECT_EQ(controls_.state, "running");
    debugger_->StopBtnClick();
    PollUntilQuiet();
  }
}

TEST_F(RunControlTest, NormalRunStopsAtABreakPointAndTheViewsRefresh) {
  HaltAt(0x0100);
  views_.available = true;
  debugger_->SFRH1Click();
  debugger_->InternalRAM1Click();
  state_.BreakPointTable[0] = BreakPointRec{0x0108, 1, 0};
  debugger_->NormalRun1Click();
  PollUntilQuiet();
  EXPECT_EQ(state_.GetPC(), 0x0108u);
  EXPECT_EQ(state_.Stopped, 1);
  EXPECT_EQ(controls_.state, "stopped");
  // The halt's refresh read RAM and SFRs back from the board.
  EXPECT_EQ(state_.InRAMImage[0], 5) << "R0 set by MOV R0,#5";
  EXPECT_EQ(state_.SFRImage[39], 0x01) << "ACC set by FUNC";
  EXPECT_EQ(views_.sfrs.at(0)->refreshes, 1);
  EXPECT_EQ(views_.rams.at(0)->reloads, 1);
  EXPECT_EQ(frame_.LastStatus(), "");
}

TEST_F(RunControlTest, ViewsRefreshedAfterAHaltSeeTheTargetHalted) {
  HaltAt(0x0100);
  views_.available = true;
  debugger_->ProcedureList1Click();
  // A disassembly page in the source window: the halt is refreshed at once.
  views_.sources.at(0)->lines = 0;
  std::vector<int> stoppedAtRefresh;
  views_.watches.at(0)->onRefresh = [&] { stoppedAtRefresh.push_back(state_.Stopped); };
  state_.BreakPointTable[0] = BreakPointRec{0x0108, 1, 0};
  debugger_->NormalRun1Click();
  PollUntilQuiet();
  ASSERT_EQ(state_.GetPC(), 0x0108u);
  // The watch window reads nothing from a running target, so it must not
  // be told the target still runs.
  EXPECT_EQ(stoppedAtRefresh, std::vector<int>{1});
  EXPECT_EQ(controls_.state, "stopped");
}

TEST_F(RunControlTest, NormalRunRefusedWhileRunningLeavesThePollOn) {
  HaltAt(0x0117);
  debugger_->FreeRun1Click();
  ASSERT_TRUE(timer_.enabled);
  Sent();
  debugger_->NormalRun1Click();
  EXPECT_EQ(messages_.Texts(), (Names{"Please Stop the ICE First !!"}));
  EXPECT_TRUE(timer_.enabled);
  EXPECT_EQ(Sent(), Names{});
}

TEST_F(RunControlTest, FreeRunRunsPastABreakPointAndRestoresItAfterTheHalt) {
  HaltAt(0x0112);
  state_.BreakPointTable[0] = BreakPointRec{0x0114, 1, 7};
  debugger_->FreeRun1Click();
  // Both breakpoints went out disabled.
  const sim::ice::Breakpoint onBoard = board_.GetBreakpoint(0);
  EXPECT_FALSE(onBoard.enabled);
  PollUntilQuiet(3);
  EXPECT_TRUE(timer_.enabled) << "still looping at 0117";
  debugger_->StopBtnClick();
  PollUntilQuiet();
  EXPECT_EQ(state_.BrkParked, 0);
  EXPECT_EQ(state_.BreakPointTable[0].address, 0x0114u);
  EXPECT_EQ(state_.BreakPointTable[0].enabled, 1);
  EXPECT_EQ(state_.BreakPointTable[0].passCount, 7);
}

TEST_F(RunControlTest, FreeRunThatCannotStartRestoresTheBreakPoints) {
  HaltAt(0x0100);
  state_.BreakPointTable[1] = BreakPointRec{0x0108, 1, 0};
  board_.AddFault(NoReplyTo(0x02));
  debugger_->FreeRun1Click();
  EXPECT_EQ(messages_.Texts(), (Names{"Free RUN failed, Please Check Link!!"}));
  EXPECT_EQ(state_.BrkParked, 0);
  EXPECT_EQ(state_.BreakPointTable[1].enabled, 1);
  EXPECT_EQ(state_.Stopped, 1);
  EXPECT_FALSE(timer_.enabled);
}

TEST_F(RunControlTest, StepOverACallRunsToTheReturnAddressOtherwiseSingleSteps) {
  HaltAt(0x0105);  // LCALL FUNC
  debugger_->StepOver1Click();
  EXPECT_EQ(state_.BreakPointTable[0].address, 0x0108u);
  EXPECT_EQ(state_.BreakPointTable[1].address, 0x0108u);
  EXPECT_EQ(RunCommands(), (Names{"icTxBrkPnt", "icRun"}));
  PollUntilQuiet();
  EXPECT_EQ(state_.GetPC(), 0x0108u);
  EXPECT_EQ(state_.BrkParked, 0);

  debugger_->StepOver1Click();  // INC 30h
  EXPECT_EQ(RunCommands(), (Names{"icTxBrkPnt", "icStep"}));
  PollUntilQuiet();
  EXPECT_EQ(state_.GetPC(), 0x010Au);
}

TEST_F(RunControlTest, StepIntoACallEntersTheFunction) {
  HaltAt(0x0105);
  debugger_->Step1Click();
  PollUntilQuiet();
  EXPECT_EQ(state_.GetPC(), 0x0200u);
  EXPECT_EQ(controls_.state, "stopped");
}

// The board steps when the request arrives; a reply spoiled or late on the
// way back must not make the IDE step again. A request the board never
// carried out is sent again.
TEST_F(RunControlTest, AStepWhoseReplyIsSpoiledIsNotSentAgain) {
  struct Case {
    sim::ice::FaultKind kind;
    std::optional<uint32_t> arg;
    Names sent;
  };
  const Case cases[] = {
      {sim::ice::FaultKind::BadChecksum, std::nullopt, {"icTxBrkPnt", "icStep"}},
      {sim::ice::FaultKind::WrongCode, std::nullopt, {"icTxBrkPnt", "icStep"}},
      {sim::ice::FaultKind::NoReply, std::nullopt, {"icTxBrkPnt", "icStep", "icStep"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(sim::ice::FaultKindName(c.kind)));
    HaltAt(0x0105);
    messages_.Clear();
    board_.ClearFaults();
    sim::ice::FaultRule rule = NoReplyTo(0x13, 1, 1);
    rule.kind = c.kind;
    rule.arg = c.arg;
    board_.AddFault(rule);
    debugger_->Step1Click();
    PollUntilQuiet();
    EXPECT_EQ(RunCommands(), c.sent);
    EXPECT_EQ(state_.GetPC(), 0x0200u) << "one instruction: the call";
    EXPECT_TRUE(messages_.Texts().empty()) << messages_.LastText();
  }
}

// A reply so late that the board cannot answer the check either: the step
// may have been taken, so it is reported as failed rather than sent again.
TEST_F(RunControlTest, AStepWhoseReplyIsVeryLateIsSentOnceAndReportedFailed) {
  HaltAt(0x0105);
  sim::ice::FaultRule rule = NoReplyTo(0x13, 1, 1);
  rule.kind = sim::ice::FaultKind::Late;
  rule.arg = 5000;
  board_.AddFault(rule);
  debugger_->Step1Click();
  EXPECT_EQ(RunCommands(), (Names{"icTxBrkPnt", "icStep"}));
  EXPECT_EQ(messages_.Texts(), (Names{"Step Into failed, Please Check Link!!"}));
  EXPECT_FALSE(timer_.enabled);
}

TEST_F(RunControlTest, StepOverWithoutAProgramAsksForOne) {
  state_.HexDecoder.reset();
  debugger_->StepOver1Click();
  EXPECT_EQ(messages_.Texts(), (Names{"Please Download File First !!"}));
  EXPECT_EQ(Sent(), Names{});
}

TEST_F(RunControlTest, StopWhileHaltedStartsNoPoll) {
  HaltAt(0x0100);
  debugger_->StopBtnClick();
  EXPECT_EQ(RunCommands(), (Names{"icStop"}));
  EXPECT_FALSE(timer_.enabled);
  EXPECT_TRUE(messages_.Texts().empty());
}

TEST_F(RunControlTest, StopThatFailsLeavesThePollOffAndTheTargetRunning) {
  HaltAt(0x0117);
  debugger_->FreeRun1Click();
  board_.AddFault(NoReplyTo(0x04));
  debugger_->StopBtnClick();
  EXPECT_EQ(messages_.Texts(), (Names{"Stop ICE failed, Please Check Link!!"}));
  EXPECT_FALSE(timer_.enabled);
  EXPECT_EQ(state_.Stopped, 0);
}

TEST_F(RunControlTest, ThePollKeepsPollingWhileBusyOrWhenThePollFails) {
  HaltAt(0x0117);
  debugger_->FreeRun1Click();
  for (int tick = 0; tick < 3; ++tick) {
    debugger_->Timer1Timer();
    EXPECT_TRUE(timer_.enabled);
  }
  board_.AddFault(NoReplyTo(0x0C));
  debugger_->Timer1Timer();
  EXPECT_TRUE(timer_.enabled) << "a poll without answer re-arms";
  EXPECT_EQ(frame_.LastStatus(), "Processing Now ...");
  EXPECT_TRUE(messages_.Texts().empty());
  EXPECT_EQ(state_.Stopped, 0);
}

// A pulled cable during a run: the poll goes on (the run can still end once
// the link is back) but says once, within a couple of seconds, that it hears
// nothing; each new outage is reported again.
TEST_F(RunControlTest, APollThatHearsNothingForLongSaysSoOnceAndKeepsPolling) {
  HaltAt(0x0117);
  debugger_->FreeRun1Click();
  board_.AddFault(NoReplyTo(0x0C));
  for (int tick = 1; tick < kFailedPollsBeforeMessage; ++tick) debugger_->Timer1Timer();
  EXPECT_TRUE(messages_.Texts().empty());
  for (int tick = 0; tick < 2 * kFailedPollsBeforeMessage; ++tick) debugger_->Timer1Timer();
  EXPECT_EQ(messages_.Texts(), (Names{"Communication Error, Please Check Link and Try Again !!"}));
  EXPECT_TRUE(timer_.enabled);
  EXPECT_EQ(state_.Stopped, 0);

  board_.ClearFaults();
  debugger_->Timer1Timer();  // answered: busy
  board_.AddFault(NoReplyTo(0x0C));
  for (int tick = 0; tick < kFailedPollsBeforeMessage; ++tick) debugger_->Timer1Timer();
  EXPECT_EQ(messages_.Texts().size(), 2u);
  board_.ClearFaults();
  debugger_->StopBtnClick();
  PollUntilQuiet();
  EXPECT_EQ(state_.Stopped, 1);
}

TEST_F(RunControlTest, APollWhileAlreadyHaltedReArmsWithoutRefreshing) {
  HaltAt(0x0100);
  timer_.enabled = true;
  debugger_->Timer1Timer();
  EXPECT_TRUE(timer_.enabled);
  EXPECT_EQ(RunCommands(), Names{});
  EXPECT_EQ(controls_.state, "none");
}

TEST_F(RunControlTest, AFailedReadAfterTheHaltIsReportedOnceAndTheBreakPointsComeBack) {
  HaltAt(0x0117);
  state_.BreakPointTable[0] = BreakPointRec{0x0200, 1, 0};
  debugger_->FreeRun1Click();
  debugger_->StopBtnClick();
  board_.AddFault(NoReplyTo(0x20));  // every SFR request
  PollUntilQuiet();
  EXPECT_EQ(messages_.Texts(), (Names{"Communication Error, Please Check Link and Try Again !!"}));
  EXPECT_EQ(state_.BrkParked, 0);
  EXPECT_EQ(state_.BreakPointTable[0].enabled, 1);
  EXPECT_EQ(controls_.state, "stopped");
  EXPECT_EQ(state_.Stopped, 1);
}

TEST_F(RunControlTest, FlushWritesDirtyRamBlocksThenBreakPointsThenEditedRegisters) {
  HaltAt(0x0100);
  views_.available = true;
  ASSERT_TRUE(debugger_->SetInRAMByte(0x45, 0xA5));
  ASSERT_EQ(views_.ramCaptions, (Names{"Internal 256 RAM"}));
  ASSERT_TRUE(state_.SetSFRValue(0xF0, 0x11));
  Sent();
  ASSERT_TRUE(debugger_->FlushBeforeRun());
  EXPECT_EQ(Sent(), (Names{"icTxInRAM", "icTxBrkPnt", "icTxSFR"}));
  uint8_t onBoard = 0;
  board_.Access([&](sim::ice::Memories& m, sim::ice::Core8051&) { onBoard = m.iram[0x45]; });
  EXPECT_EQ(onBoard, 0xA5);
  EXPECT_EQ(views_.rams[0]->clears, 1);
  EXPECT_EQ(state_.SFRDirty, 0);
  EXPECT_EQ(state_.PrevSFRImage, state_.SFRImage);
}

TEST_F(RunControlTest, RunWithoutALinkFailsWithItsMessage) {
  state_.IceCmd.reset();
  debugger_->Step1Click();
  debugger_->Reset1Click();
  EXPECT_EQ(messages_.Texts(), (Names{"Communication Error, Please Check Link and Try Again !!",
                                      "Please Set Com Port First!!"}));
  EXPECT_FALSE(timer_.enabled);
}

TEST_F(RunControlTest, ResetShowsTheProgramCounterAndChangesNoRunState) {
  HaltAt(0x0108);
  views_.available = true;
  debugger_->Disassemble1Click();
  FakeSource* source = views_.sources.at(0).get();
  source->SetMode(0);
  state_.OmfLoaded = 0;
  debugger_->Reset1Click();
  EXPECT_EQ(state_.GetPC(), 0u);
  EXPECT_EQ(source->pc, 0u);
  EXPECT_EQ(source->shown.back(), 0u);
  EXPECT_EQ(state_.Stopped, 1);
  EXPECT_FALSE(timer_.enabled);
  // An OMF program shows MAIN instead, with no PC line.
  state_.OmfLoaded = 1;
  debugger_->Reset1Click();
  EXPECT_EQ(source->shown.back(), 0x0100u);
  EXPECT_EQ(source->pcLineClears, 1);
}

TEST_F(RunControlTest, IsPCAtMovxLooksAtThePCAndTheByteBefore) {
  HaltAt(0x0100);
  EXPECT_FALSE(debugger_->IsPCAtMovx());
  (*state_.CodeImage)[0x00FF] = 0xE0;  // an operand byte before the PC counts too
  EXPECT_TRUE(debugger_->IsPCAtMovx());
  state_.HexDecoder.reset();
  (*state_.CodeImage)[0x00FF] = 0x00;
  EXPECT_TRUE(debugger_->IsPCAtMovx()) << "no program loaded";
}

}  // namespace
}  // namespace vx930::testing
