// The debugger state's accessors and the breakpoint and memory operations of
// the controller that touch the views.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "tests/ide/ui/core/debugger_fixture.h"

namespace vx930::testing {
namespace {

TEST(DebuggerStateTest, ProgramCounterIsTheRawValueLessOneAndZeroStaysZero) {
  DebuggerState s;
  EXPECT_EQ(s.GetPC(), 0u);
  s.SFRImage[56] = 0x12;
  s.SFRImage[55] = 0x34;
  EXPECT_EQ(s.RawPC(), 0x1234u);
  EXPECT_EQ(s.GetPC(), 0x1233u);
  EXPECT_EQ(s.Stopped, 1);
  EXPECT_EQ((*s.CodeImage)[0x1234], 0xFF);
}

TEST(DebuggerStateTest, SfrValuesGoByAddressThroughTheTable) {
  DebuggerState s;
  EXPECT_FALSE(s.SetSFRValue(0x84 + 0x100, 1)) << "no such register";
  EXPECT_EQ(s.SFRDirty, 0);
  EXPECT_TRUE(s.SetSFRValue(0xD0, 0x18));
  EXPECT_EQ(s.SFRDirty, 1);
  uint8_t v = 0;
  ASSERT_TRUE(s.GetSFRValue(0xD0, v));
  EXPECT_EQ(v, 0x18);
  EXPECT_EQ(s.SFRImage[32], 0x18);
  EXPECT_FALSE(s.GetSFRValue(0x7F, v));
}

TEST(DebuggerStateTest, ChangedMarksCompareRegistersOfTheCurrentBank) {
  DebuggerState s;
  s.SFRImage[32] = 0x10;  // bank 2
  s.InRAMImage[0x13] = 7;
  s.SnapshotSFR();
  EXPECT_FALSE(s.IsSFRChanged(SFRCount + 3));
  s.InRAMImage[0x13] = 8;
  EXPECT_TRUE(s.IsSFRChanged(SFRCount + 3));
  EXPECT_FALSE(s.IsSFRChanged(SFRCount + 2));
  s.SFRImage[56] = 1;
  EXPECT_TRUE(s.IsSFRChanged(56));
  EXPECT_FALSE(s.IsSFRChanged(55));
}

TEST(DebuggerStateTest, ParkingKeepsPassCountsAndRestoringZeroesTheParkedCopies) {
  DebuggerState s;
  s.BreakPointTable[0] = BreakPointRec{0x0100, 1, 5};
  s.BreakPointTable[1] = BreakPointRec{0x0200, 0, 9};
  s.ParkBreakPoints();
  s.SetBothBreakPoints(0x0300, 0x0301);
  EXPECT_EQ(s.BreakPointTable[0].passCount, 5);
  EXPECT_EQ(s.BreakPointTable[1].enabled, 1);
  s.RestoreBreakPoints();
  EXPECT_EQ(s.BrkParked, 0);
  EXPECT_EQ(s.BreakPointTable[0].address, 0x0100u);
  EXPECT_EQ(s.BreakPointTable[1].enabled, 0);
  EXPECT_EQ(s.BreakPointTable[1].passCount, 9);
  for (const BreakPointRec& p : s.ParkedBreakPoints) {
    EXPECT_EQ(p.address, 0u);
    EXPECT_EQ(p.enabled, 0);
    EXPECT_EQ(p.passCount, 0);
  }
}

TEST(DebuggerStateTest, ByteAccessorsRefuseIndicesOutsideTheirImage) {
  DebuggerState s;
  uint8_t v = 0;
  EXPECT_FALSE(s.GetInRAMByte(256, v));
  EXPECT_FALSE(s.GetInRAMByte(-1, v));
  EXPECT_FALSE(s.SetIn1kRAMByte(1024, 1));
  EXPECT_FALSE(s.GetIn1kRAMByte(1024, v));
  EXPECT_TRUE(s.SetIn1kRAMByte(1023, 0x77));
  ASSERT_TRUE(s.GetIn1kRAMByte(1023, v));
  EXPECT_EQ(v, 0x77);
  uint8_t code[2];
  EXPECT_FALSE(s.GetCodeBytes(0, code, 2)) << "no OMF program";
}

class ControllerStateTest : public DebuggerFixture {};

TEST_F(ControllerStateTest, TakingSourceMarksEnablesOrDisablesWithoutTouchingPassCounts) {
  debugger_->Disassemble1Click();  // refused: nothing loaded
  EXPECT_EQ(messages_.LastText(), "Please Load File First !!");
  views_.available = true;
  FakeSource* source = static_cast<FakeSource*>(views_.CreateSourceView());
  debugger_->Views().Register(source);
  debugger_->BreakPoint1Click();
  state_.BreakPointTable[0] = BreakPointRec{0x0100, 0, 4};
  state_.BreakPointTable[1] = BreakPointRec{0x0200, 1, 6};
  source->marks[0] = 0x0100;  // same address, entry disabled
  source->marks[1] = -1;
  debugger_->TakeSourceBreakPoints();
  EXPECT_EQ(state_.BreakPointTable[0].enabled, 1);
  EXPECT_EQ(state_.BreakPointTable[0].passCount, 4);
  EXPECT_EQ(state_.BreakPointTable[1].enabled, 0);
  EXPECT_EQ(state_.BreakPointTable[1].address, 0x0200u);
  EXPECT_EQ(state_.BreakPointTable[1].passCount, 6);
  EXPECT_EQ(views_.breakpoints.at(0)->refreshes, 1);
}

TEST_F(ControllerStateTest, BreakPointChangesMoveTheSourceMarks) {
  views_.available = true;
  FakeSource* source = static_cast<FakeSource*>(views_.CreateSourceView());
  debugger_->Views().Register(source);
  debugger_->SetBreakPoint(1, 0x1234, 0);
  EXPECT_EQ(source->marks[1], 0x1234);
  debugger_->DisableBreakPoint(1);
  EXPECT_EQ(source->marks[1], -1);
  debugger_->EnableBreakPoint(1);
  EXPECT_EQ(source->marks[1], 0x1234);
  debugger_->SetBreakPoint(2, 0x10, 0);  // no such entry
  EXPECT_EQ(state_.BreakPointTable[0].address, 0u);
}

TEST_F(ControllerStateTest, AnInternalRamEditOpensItsViewAndMarksTheBlock) {
  views_.available = true;
  EXPECT_FALSE(debugger_->SetInRAMByte(256, 1));
  EXPECT_FALSE(debugger_->SetInRAMByte(-1, 1));
  EXPECT_TRUE(views_.rams.empty());
  ASSERT_TRUE(debugger_->SetInRAMByte(0x30, 0x42));
  ASSERT_EQ(views_.rams.size(), 1u);
  FakeRam* view = views_.rams[0].get();
  EXPECT_EQ(view->forwards, 0) << "shown, not brought to the front";
  EXPECT_EQ(view->dirtyMask, 1u);
  EXPECT_EQ(view->redrawn, (std::vector<int>{0x30}));
  EXPECT_EQ(state_.InRAMImage[0x30], 0x42);
  // Closed without unsent edits, the next edit makes a new one.
  view->callbacks.destroyed();
  EXPECT_EQ(debugger_->InRAMView(), nullptr);
  ASSERT_TRUE(debugger_->SetInRAMByte(0x81, 1));
  EXPECT_EQ(views_.rams.size(), 2u);
}

TEST_F(ControllerStateTest, RefreshingTheRamViewsSkipsTheSender) {
  views_.available = true;
  debugger_->SFRH1Click();
  FakeSfr* sfr = views_.sfrs.at(0).get();
  debugger_->RefreshRAMViews(nullptr);
  debugger_->RefreshRAMViews(sfr);
  EXPECT_EQ(sfr->refreshes, 1);
}

TEST_F(ControllerStateTest, OpeningTheSfrWindowPutsTheFrameSizeBack) {
  views_.available = true;
  frame_.bounds = WindowBounds{10, 20, 600, 400};
  debugger_->SFRH1Click();
  debugger_->SFRH1Click();
  EXPECT_EQ(views_.sfrs.size(), 1u);
  EXPECT_EQ(views_.sfrs[0]->forwards, 2);
  EXPECT_EQ(frame_.bounds.width, 600);
  EXPECT_EQ(frame_.bounds.height, 400);
}

TEST_F(ControllerStateTest, ClosedViewsAreForgotten) {
  views_.available = true;
  debugger_->SFRH1Click();
  debugger_->BreakPoint1Click();
  debugger_->ViewClosed(debugger_->SFR_HForm());
  EXPECT_EQ(debugger_->SFR_HForm(), nullptr);
  EXPECT_NE(debugger_->fmBreakPoint(), nullptr);
  // Everything still works with the views gone.
  debugger_->RefreshRAMViews(nullptr);
  debugger_->Reset1Click();
}

TEST_F(ControllerStateTest, RamViewBlockReadsTakeThreeTriesAndWritesOne) {
  std::array<uint8_t, kRamBlockSize> block{};
  // Without a link every block callback fails at once.
  EXPECT_FALSE(debugger_->InRAMRead(block.data(), 0x40));
  EXPECT_FALSE(debugger_->InRAMWrite(block.data(), 0x40));
  EXPECT_FALSE(debugger_->In1kRAMRead(block.data(), 0x40));
  EXPECT_FALSE(debugger_->In1kRAMWrite(block.data(), 0x40));
  Connect();
  struct Case {
    const char* name;
    uint8_t command;
    uint32_t lost;
    bool ok;
    int tries;
    std::function<bool()> call;
  };
  const Case cases[] = {
      {"icReqInRAM", 0x07, 2, true, 3, [&] { return debugger_->InRAMRead(block.data(), 0x40); }},
      {"icReqInRAM", 0x07, 3, false, 3, [&] { return debugger_->InRAMRead(block.data(), 0x40); }},
      {"icReq1kRAM", 0x09, 2, true, 3, [&] { return debugger_->In1kRAMRead(block.data(), 0x3C0); }},
      {"icReq1kRAM", 0x09, 3, false, 3, [&] { return debugger_->In1kRAMRead(block.data(), 0x3C0); }},
      {"icTxInRAM", 0x08, 1, false, 1, [&] { return debugger_->InRAMWrite(block.data(), 0x40); }},
      {"icTx1kRAM", 0x0A, 1, false, 1, [&] { return debugger_->In1kRAMWrite(block.data(), 0x3C0); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " lost " + std::to_string(c.lost));
    board_.ClearFaults();
    board_.AddFault(NoReplyTo(c.command, 1, c.lost));
    Sent();
    EXPECT_EQ(c.call(), c.ok);
    const std::vector<std::string> sent = Sent();
    EXPECT_EQ(std::count(sent.begin(), sent.end(), c.name), c.tries);
  }
}

TEST_F(ControllerStateTest, OnlyTheInternalRamViewTellsTheSfrWindowOfAnEdit) {
  views_.available = true;
  debugger_->InternalRAM1Click();
  debugger_->muInternal1kRAM1Click();
  ASSERT_EQ(views_.rams.size(), 2u);
  EXPECT_FALSE(views_.rams[1]->callbacks.edited) << "the 1 KB view has no edit callback";
  views_.rams[0]->callbacks.edited();  // no SFR window: nothing to do
  debugger_->SFRH1Click();
  views_.rams[0]->callbacks.edited();
  EXPECT_EQ(views_.sfrs.at(0)->registerRefreshes, 1);
  views_.rams[1]->callbacks.destroyed();
  EXPECT_EQ(debugger_->In1kRAMView(), nullptr);
  EXPECT_NE(debugger_->InRAMView(), nullptr);
}

TEST_F(ControllerStateTest, TheOneByteOneKRamWriteNeedsALink) {
  EXPECT_FALSE(debugger_->WriteIn1kRAMByte(0x5A, 0x0123));
  Connect();
  EXPECT_TRUE(debugger_->WriteIn1kRAMByte(0x5A, 0x0123));
  EXPECT_FALSE(debugger_->WriteIn1kRAMByte(0x5A, 1024));
  uint8_t onBoard = 0;
  board_.Access([&](sim::ice::Memories& m, sim::ice::Core8051&) { onBoard = m.ram1k[0x0123]; });
  EXPECT_EQ(onBoard, 0x5A);
}

}  // namespace
}  // namespace vx930::testing
