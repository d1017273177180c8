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

// The board reports the program counter plus one. Normal Run tests the
// breakpoints where the target stands; on an enabled one it steps off it and,
// unless that step lands on another, runs on with the breakpoints as set.
TEST_F(RunControlTest, NormalRunTestsTheBreakPointsWhereTheTargetStands) {
  struct Case {
    const char* name;
    uint16_t start;
    BreakPointRec bp0, bp1;
    Names sent;
    uint32_t haltedAt;  // 0: runs until stopped
  };
  const Case cases[] = {
      {"on an enabled breakpoint", 0x0103, {0x0103, 1, 0}, {0x0200, 1, 0}, {"icTxBrkPnt", "icStep", "icRun"}, 0x0200},
      {"on a disabled one", 0x0103, {0x0103, 0, 0}, {0x0200, 1, 0}, {"icTxBrkPnt", "icRun"}, 0x0200},
      {"one byte before one", 0x0108, {0x0109, 1, 0}, {0x010F, 1, 0}, {"icTxBrkPnt", "icRun"}, 0x010F},
      {"the step lands on one", 0x0100, {0x0100, 1, 0}, {0x0103, 1, 0}, {"icTxBrkPnt", "icStep"}, 0x0103},
      {"first entry decides", 0x0103, {0x0103, 0, 0}, {0x0103, 1, 0}, {"icTxBrkPnt", "icRun"}, 0},
      {"second entry matches", 0x0103, {0x0200, 1, 0}, {0x0103, 1, 0}, {"icTxBrkPnt", "icStep", "icRun"}, 0x0200},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HaltAt(c.start);
    state_.Stopped = 1;
    state_.BreakPointTable = {c.bp0, c.bp1};
    debugger_->NormalRun1Click();
    EXPECT_EQ(state_.Stopped, 0);
    EXPECT_TRUE(timer_.enabled);
    EXPECT_EQ(controls_.state, "running");
    PollUntilQuiet();
    EXPECT_EQ(RunCommands(), c.sent);
    if (c.haltedAt == 0) {
      EXPECT_TRUE(timer_.enabled);
      debugger_->StopBtnClick();
      PollUntilQuiet();
    } else {
      EXPECT_EQ(state_.GetPC(), c.haltedAt);
    }
    EXPECT_EQ(controls_.state, "stopped");
    EXPECT_EQ(state_.BreakPointTable[0].address, c.bp0.address) << "the breakpoints stay as set";
    EXPECT_EQ(state_.BreakPointTable[1].enabled, c.bp1.enabled);
    EXPECT_TRUE(messages_.Texts().empty()) << messages_.LastText();
  }
}

// After a halt on a procedure's last byte the watch window shows that
// procedure's locals, not those of whatever follows it.
TEST_F(RunControlTest, TheWatchWindowShowsTheLocalsOfTheProcedureTheTargetStandsIn) {
  views_.available = true;
  debugger_->ProcedureList1Click();
  views_.sources.at(0)->lines = 0;
  FakeWatch* watch = views_.watches.at(0).get();
  HaltAt(0x0200);  // MOV A,#1, then the RET at FUNC's last byte 0202
  debugger_->Step1Click();
  PollUntilQuiet();
  ASSERT_EQ(state_.GetPC(), 0x0202u);
  ASSERT_NE(watch->locals, nullptr);
  EXPECT_EQ(watch->locals->Name, "local");
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

// A Stop the board refuses, or one it acknowledges while the target goes on
// answering busy: the user is told and gets the halted controls back, so
// that Reset and Open can be tried once the link is back.
TEST_F(RunControlTest, AStopThatDoesNotHaltTheTargetSaysSoAndLeavesTheHaltedControls) {
  sim::ice::FaultRule busy;
  busy.kind = sim::ice::FaultKind::Busy;
  busy.command = 0x0C;
  const struct {
    const char* name;
    sim::ice::FaultRule fault;
  } cases[] = {{"stop refused", NoReplyTo(0x04)}, {"busy after the stop", busy}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    board_.ClearFaults();
    messages_.Clear();
    HaltAt(0x0117);
    state_.BreakPointTable[0] = BreakPointRec{0x0200, 1, 4};
    debugger_->FreeRun1Click();
    board_.AddFault(c.fault);
    debugger_->StopBtnClick();
    const uint32_t start = clock_.Tick();
    for (int tick = 0; tick < 500 && timer_.enabled; ++tick) {
      clock_.Advance(30);
      debugger_->Timer1Timer();
    }
    EXPECT_LE(clock_.Tick() - start, 2500u);
    EXPECT_EQ(messages_.Texts(), (Names{"Stop ICE failed, Please Check Link!!"}));
    EXPECT_FALSE(timer_.enabled);
    EXPECT_EQ(state_.Stopped, 1);
    EXPECT_EQ(controls_.state, "stopped");
    EXPECT_EQ(frame_.LastStatus(), "");
    EXPECT_EQ(state_.BrkParked, 0);
    EXPECT_EQ(state_.BreakPointTable[0].enabled, 1);
    EXPECT_EQ(state_.BreakPointTable[0].passCount, 4);

    // Once the link is back, Reset works and halts the target.
    board_.ClearFaults();
    messages_.Clear();
    Sent();
    debugger_->Reset1Click();
    EXPECT_EQ(RunCommands(), Names{"icReset"});
    EXPECT_TRUE(messages_.Texts().empty()) << messages_.LastText();
    EXPECT_FALSE(board_.Running());
  }
}

// The board carries out a run whose reply is spoiled on the way back. The
// busy check, and the program counter of a target already halted, tell
// whether it was taken; only a run that was not is sent again.
TEST_F(RunControlTest, ARunWhoseReplyIsSpoiledIsNotSentAgain) {
  struct Case {
    const char* name;
    sim::ice::FaultKind kind;
    uint16_t start;
    Names sent;
    uint32_t haltedAt;  // 0: runs until stopped
  };
  const Case cases[] = {
      {"bad checksum, still running", sim::ice::FaultKind::BadChecksum, 0x0117, {"icTxBrkPnt", "icRun", "icRun"}, 0},
      {"wrong code, still running", sim::ice::FaultKind::WrongCode, 0x0117, {"icTxBrkPnt", "icRun", "icRun"}, 0},
      {"bad checksum, halted at the breakpoint already",
       sim::ice::FaultKind::BadChecksum,
       0x0100,
       {"icTxBrkPnt", "icRun", "icRun"},
       0x0108},
      {"never carried out", sim::ice::FaultKind::NoReply, 0x0117, {"icTxBrkPnt", "icRun", "icRun", "icRun"}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    board_.ClearFaults();
    messages_.Clear();
    HaltAt(c.start);
    state_.BreakPointTable[0] = BreakPointRec{0x0108, 1, 0};
    // Both of the link's tries of the first run are spoiled.
    sim::ice::FaultRule rule = NoReplyTo(0x02, 1, 2);
    rule.kind = c.kind;
    board_.AddFault(rule);
    debugger_->NormalRun1Click();
    EXPECT_TRUE(messages_.Texts().empty()) << messages_.LastText();
    EXPECT_EQ(controls_.state, "running");
    PollUntilQuiet();
    EXPECT_EQ(RunCommands(), c.sent);
    if (c.haltedAt == 0) {
      EXPECT_TRUE(timer_.enabled);
      debugger_->StopBtnClick();
      PollUntilQuiet();
    } else {
      EXPECT_EQ(state_.GetPC(), c.haltedAt);
    }
    EXPECT_EQ(state_.Stopped, 1);
  }
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
// the link is back) but says once, about two seconds after the link went
// quiet, that it hears nothing; each new outage is reported again.
TEST_F(RunControlTest, APollThatHearsNothingForLongSaysSoOnceAndKeepsPolling) {
  HaltAt(0x0117);
  debugger_->FreeRun1Click();
  // Ticks of the 30 ms timer until the message shows; the time it took.
  auto deadFor = [&] {
    const uint32_t start = clock_.Tick();
    const std::size_t before = messages_.Texts().size();
    while (messages_.Texts().size() == before && clock_.Tick() - start < 30000) {
      clock_.Advance(30);
      debugger_->Timer1Timer();
    }
    return clock_.Tick() - start;
  };
  board_.AddFault(NoReplyTo(0x0C));
  const uint32_t said = deadFor();
  EXPECT_GE(said, kDeadLinkMessageMs);
  EXPECT_LE(said, kDeadLinkMessageMs + 600) << "one poll's time at the most after the bound";
  for (int tick = 0; tick < 100; ++tick) {
    clock_.Advance(30);
    debugger_->Timer1Timer();
  }
  EXPECT_EQ(messages_.Texts(), (Names{"Communication Error, Please Check Link and Try Again !!"}));
  EXPECT_TRUE(timer_.enabled);
  EXPECT_EQ(state_.Stopped, 0);

  board_.ClearFaults();
  debugger_->Timer1Timer();  // answered: busy
  board_.AddFault(NoReplyTo(0x0C));
  EXPECT_LE(deadFor(), kDeadLinkMessageMs + 600);
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
  EXPECT_EQ(messages_.Texts(),
            (Names{"Communication Error, Please Check Link and Try Again !!", "Please Set Com Port First!!"}));
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
