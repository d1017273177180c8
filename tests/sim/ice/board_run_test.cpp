// Run control on the core, through the wire as the IDE drives it.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "sim/ice/board.h"
#include "tests/sim/ice/board_test_util.h"

namespace sim::ice {
namespace {

using test::Bytes;
using test::Exchange;
using test::Frame;
using test::Payload;

// 0000 MOV A,#1 / 0002 INC A / 0003 MOV 30h,A / 0005 SJMP 0002
const Bytes kLoop = {0x74, 0x01, 0x04, 0xF5, 0x30, 0x80, 0xFB};

// 0000 LCALL 0100h / 0003 INC A / 0004 INC A / 0005 SJMP $
// 0100 MOV 40h,#55h / 0103 RET
const Bytes kMain = {0x12, 0x01, 0x00, 0x04, 0x04, 0x80, 0xFE};
const Bytes kSub = {0x75, 0x40, 0x55, 0x22};

// 0000 INC DPTR / 0001 SJMP 0000: 4 machine cycles a pass.
const Bytes kCount = {0xA3, 0x80, 0xFD};

// A 24-bit pass counter in 30h-32h, 4 machine cycles a pass (and 4 more every 256).
// 0000 INC 30h / MOV A,30h / JNZ 0000 / INC 31h / MOV A,31h / JNZ 0000 / INC 32h / SJMP 0000
const Bytes kCount24 = {0x05, 0x30, 0xE5, 0x30, 0x70, 0xFA, 0x05, 0x31, 0xE5, 0x31, 0x70, 0xF4, 0x05, 0x32, 0x80, 0xF0};

// A main loop around a delay that waits on timer 0 (65536 machine cycles, two
// of the board's polls and more):
// 0000 MOV TMOD,#01h / 0003 LCALL 0020h / 0006 INC 30h / 0008 SJMP 0003
// 0020 MOV TH0,#00h / 0023 MOV TL0,#00h / 0026 SETB TR0 / 0028 JNB TF0,$
// 002B CLR TF0 / 002D CLR TR0 / 002F RET
const Bytes kTimerMain = {0x75, 0x89, 0x01, 0x12, 0x00, 0x20, 0x05, 0x30, 0x80, 0xF9};
const Bytes kTimerDelay = {0x75, 0x8C, 0x00, 0x75, 0x8A, 0x00, 0xD2, 0x8C,
                           0x30, 0x8D, 0xFD, 0xC2, 0x8D, 0xC2, 0x8C, 0x22};
constexpr uint16_t kDelayWait = 0x0028;

uint8_t Acc(Board& b) {
  uint8_t a = 0;
  b.Access([&](Memories&, Core8051& core) { a = core.ACC(); });
  return a;
}

uint8_t Iram(Board& b, uint8_t address) {
  uint8_t v = 0;
  b.Access([&](Memories& m, Core8051&) { v = m.iram[address]; });
  return v;
}

uint16_t Dptr(Board& b) {
  uint16_t v = 0;
  b.Access([&](Memories&, Core8051& core) { v = core.DPTR(); });
  return v;
}

// The program counter as the IDE computes it from the SFR block.
uint16_t HostPc(Board& b) {
  Exchange(b, Frame(icReqSFR));
  EXPECT_EQ(test::BusyStatus(b), stReady);
  const Bytes block = Payload(Exchange(b, Frame(icFetchSFR)));
  EXPECT_EQ(block.size(), kSfrBlockSize);
  const uint16_t raw = static_cast<uint16_t>(block.at(kSfrPchIndex) << 8 | block.at(kSfrPclIndex));
  return raw == 0 ? 0 : static_cast<uint16_t>(raw - 1);
}

void SendBreakpoints(Board& b, Breakpoint b0, Breakpoint b1 = {}) {
  Bytes table;
  for (const Breakpoint& bp : {b0, b1}) {
    table.insert(table.end(), {static_cast<uint8_t>(bp.address >> 8), static_cast<uint8_t>(bp.address),
                               static_cast<uint8_t>(bp.enabled ? 1 : 0), bp.count});
  }
  ASSERT_EQ(Exchange(b, Frame(icTxBrkPnt, 0, 0, table)).at(3), icTxBrkPnt);
}

// Polls as the IDE does; the number of busy answers before ready, or -1.
int PollUntilReady(Board& b, int maxPolls = 50) {
  for (int i = 0; i < maxPolls; ++i) {
    if (test::BusyStatus(b) == stReady) return i;
  }
  return -1;
}

void Start(Board& b, uint8_t command, const Bytes& frame = {}) {
  const Bytes reply = Exchange(b, frame.empty() ? Frame(command) : frame);
  ASSERT_EQ(reply.size(), 5u);
  ASSERT_EQ(reply[3], command);
}

TEST(BoardRun, ResetGivesThePowerOnStateAndHalts) {
  Board board;
  board.LoadCode(0, kLoop);
  board.Access([](Memories& m, Core8051& core) {
    core.WriteDirect(0x81, 0x60);
    core.WriteDirect(0x90, 0x12);
    core.SetPC(0x1234);
    m.iram[0x30] = 0x99;
  });
  Start(board, icRun);
  Start(board, icReset);
  EXPECT_FALSE(board.Running());
  EXPECT_EQ(board.LastHalt(), HaltReason::Reset);
  EXPECT_EQ(test::BusyStatus(board), stReady);
  EXPECT_EQ(HostPc(board), 0);
  EXPECT_EQ(test::ReportedPc(board.ReadSfrBlock()), 1);
  board.Access([](Memories& m, Core8051& core) {
    EXPECT_EQ(core.SP(), 7);
    EXPECT_EQ(core.ReadDirect(0x90), 0xFF);
    EXPECT_EQ(m.iram[0x30], 0x99);  // RAM survives a reset
  });
}

TEST(BoardRun, StepExecutesOneInstructionAndReportsTheNext) {
  Board board;
  board.LoadCode(0, kLoop);
  Start(board, icStep);
  EXPECT_EQ(test::BusyStatus(board), stReady);
  EXPECT_EQ(HostPc(board), 0x0002);
  EXPECT_EQ(Acc(board), 1);
  Start(board, icStep);
  EXPECT_EQ(HostPc(board), 0x0003);
  EXPECT_EQ(Acc(board), 2);
  EXPECT_EQ(board.LastHalt(), HaltReason::Stepped);
}

TEST(BoardRun, BreakpointHaltsOnceItsPassCountIsUsedUp) {
  for (int pass : {0, 1, 2, 5, 254}) {
    SCOPED_TRACE(pass);
    Board board;
    board.LoadCode(0, kLoop);
    SendBreakpoints(board, {0x0003, true, static_cast<uint8_t>(pass + 1)});
    Start(board, icRun);
    ASSERT_GE(PollUntilReady(board), 0);
    EXPECT_EQ(board.LastHalt(), HaltReason::Breakpoint0);
    EXPECT_EQ(HostPc(board), 0x0003);
    // The n-th arrival at 0003 sees A = n + 1; the instruction there has not run.
    EXPECT_EQ(Acc(board), static_cast<uint8_t>(pass + 2));
    EXPECT_EQ(Iram(board, 0x30), pass == 0 ? 0 : pass + 1);
  }
}

TEST(BoardRun, DisabledBreakpointDoesNotStopAndStopDoes) {
  Board board;
  board.LoadCode(0, kLoop);
  SendBreakpoints(board, {0x0003, false, 1}, {0x0002, false, 1});
  Start(board, icRun);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(test::BusyStatus(board), stBusy);
  EXPECT_TRUE(board.Running());
  Start(board, icStop);
  EXPECT_EQ(test::BusyStatus(board), stReady);
  EXPECT_EQ(board.LastHalt(), HaltReason::Stopped);
  // Stop while halted is answered and changes nothing.
  const uint16_t pc = board.Pc();
  Start(board, icStop);
  EXPECT_EQ(board.Pc(), pc);
  EXPECT_EQ(board.LastHalt(), HaltReason::Stopped);
}

TEST(BoardRun, RunStartingOnABreakpointLeavesItAndCountsAfresh) {
  Board board;
  board.LoadCode(0, kLoop);
  SendBreakpoints(board, {0x0003, true, 1});
  Start(board, icRun);
  ASSERT_GE(PollUntilReady(board), 0);
  ASSERT_EQ(Acc(board), 2);

  // As the IDE does: the raw PC (4) is not the breakpoint (3), so it runs.
  Start(board, icRun);
  ASSERT_GE(PollUntilReady(board), 0);
  EXPECT_EQ(HostPc(board), 0x0003);
  EXPECT_EQ(Acc(board), 3);

  // Pass count 1: the second arrival of each run halts it.
  SendBreakpoints(board, {0x0003, true, 2});
  Start(board, icRun);
  ASSERT_GE(PollUntilReady(board), 0);
  EXPECT_EQ(Acc(board), 5);
  Start(board, icRun);
  ASSERT_GE(PollUntilReady(board), 0);
  EXPECT_EQ(Acc(board), 7);
}

TEST(BoardRun, WithBothBreakpointsOnOneAddressTheFirstToRunOutHalts) {
  Board board;
  board.LoadCode(0, kLoop);
  SendBreakpoints(board, {0x0003, true, 3}, {0x0003, true, 1});
  Start(board, icRun);
  ASSERT_GE(PollUntilReady(board), 0);
  EXPECT_EQ(board.LastHalt(), HaltReason::Breakpoint1);
  EXPECT_EQ(Acc(board), 2);

  SendBreakpoints(board, {0x0002, true, 1}, {0x0005, true, 1});
  Start(board, icRun);
  ASSERT_GE(PollUntilReady(board), 0);
  EXPECT_EQ(board.LastHalt(), HaltReason::Breakpoint1);
  EXPECT_EQ(HostPc(board), 0x0005);
}

TEST(BoardRun, StepOverACallAsTheIdeDoesIt) {
  Board board;
  board.LoadCode(0, kMain);
  board.LoadCode(0x0100, kSub);
  ASSERT_EQ(HostPc(board), 0x0000);
  // Both breakpoints on the instruction after the LCALL, then Normal Run.
  SendBreakpoints(board, {0x0003, true, 1}, {0x0003, true, 1});
  Start(board, icRun);
  ASSERT_GE(PollUntilReady(board), 0);
  EXPECT_EQ(HostPc(board), 0x0003);
  EXPECT_EQ(Iram(board, 0x40), 0x55);
  EXPECT_EQ(Acc(board), 0);
}

TEST(BoardRun, RangeRunStopsOnceThePcIsInTheRange) {
  Board board;
  board.LoadCode(0, kMain);
  board.LoadCode(0x0100, kSub);
  // From the call, past the line end 0004, within the procedure up to 0006.
  Start(board, icRunRange, Frame(icRunRange, 0x00, 0x04, {0x00, 0x06}));
  ASSERT_GE(PollUntilReady(board), 0);
  EXPECT_EQ(board.LastHalt(), HaltReason::RangeReached);
  EXPECT_EQ(HostPc(board), 0x0004);
  EXPECT_EQ(Iram(board, 0x40), 0x55);
  EXPECT_EQ(Acc(board), 1);

  // Started inside the range it still executes its first instruction.
  Start(board, icRunRange, Frame(icRunRange, 0x00, 0x04, {0x00, 0x06}));
  ASSERT_GE(PollUntilReady(board), 0);
  EXPECT_EQ(HostPc(board), 0x0005);
  EXPECT_EQ(Acc(board), 2);
}

TEST(BoardRun, RangeRunHonoursBreakpointsAndAnEmptyRangeNeverStops) {
  Board board;
  board.LoadCode(0, kMain);
  board.LoadCode(0x0100, kSub);
  SendBreakpoints(board, {0x0103, true, 1});
  Start(board, icRunRange, Frame(icRunRange, 0x00, 0x04, {0x00, 0x06}));
  ASSERT_GE(PollUntilReady(board), 0);
  EXPECT_EQ(board.LastHalt(), HaltReason::Breakpoint0);
  EXPECT_EQ(HostPc(board), 0x0103);

  Start(board, icClearBrkPnt);
  Start(board, icReset);
  Start(board, icRunRange, Frame(icRunRange, 0x00, 0x06, {0x00, 0x04}));
  EXPECT_EQ(PollUntilReady(board, 5), -1);
  Start(board, icStop);
  EXPECT_EQ(test::BusyStatus(board), stReady);
}

TEST(BoardRun, PassCountRunThroughATimerDelayHalts) {
  Board board;
  board.LoadCode(0, kTimerMain);
  board.LoadCode(0x0020, kTimerDelay);
  SendBreakpoints(board, {0x0006, true, 3});  // pass count 2: the third return from the delay
  Start(board, icRun);
  const int polls = PollUntilReady(board, 40);
  ASSERT_GE(polls, 0) << "the delay never ended";
  EXPECT_GE(polls, 6) << "three delays of 65536 cycles take more than six polls of 30000";
  EXPECT_EQ(board.LastHalt(), HaltReason::Breakpoint0);
  EXPECT_EQ(HostPc(board), 0x0006);
  EXPECT_EQ(Iram(board, 0x30), 2);
}

TEST(BoardRun, RangeRunsOverAndInsideATimerDelayHalt) {
  Board board;
  board.LoadCode(0, kTimerMain);
  board.LoadCode(0x0020, kTimerDelay);
  Start(board, icStep);  // MOV TMOD
  ASSERT_EQ(HostPc(board), 0x0003);

  // Over the call: past the line 0003-0005, within main up to 0009.
  Start(board, icRunRange, Frame(icRunRange, 0x00, 0x06, {0x00, 0x09}));
  ASSERT_GE(PollUntilReady(board, 40), 0);
  EXPECT_EQ(board.LastHalt(), HaltReason::RangeReached);
  EXPECT_EQ(HostPc(board), 0x0006);

  // Stopped in the wait, then the wait's own line run to its end.
  Start(board, icRun);
  for (int i = 0; i < 30 && board.Pc() != kDelayWait; ++i) board.Advance(1);
  ASSERT_EQ(board.Pc(), kDelayWait);
  Start(board, icStop);
  Start(board, icRunRange, Frame(icRunRange, 0x00, 0x2B, {0x00, 0x2F}));
  ASSERT_GE(PollUntilReady(board, 40), 0);
  EXPECT_EQ(board.LastHalt(), HaltReason::RangeReached);
  EXPECT_EQ(HostPc(board), 0x002B);
  board.Access([](Memories&, Core8051& core) { EXPECT_TRUE(core.ReadDirect(sfr::kTCON) & tcon::kTF0); });
}

TEST(BoardRun, StartsAndProgramBlocksWhileRunningChangeNothing) {
  Board board;
  board.LoadCode(0, kLoop);
  Start(board, icRun);  // no poll yet: nothing executed
  Start(board, icStep);
  Start(board, icRunRange, Frame(icRunRange, 0x00, 0x00, {0xFF, 0xFF}));
  EXPECT_EQ(board.Pc(), 0);
  EXPECT_EQ(Acc(board), 0);

  const Bytes block(64, 0x00);
  EXPECT_EQ(Exchange(board, Frame(icTxROM, 0x10, 0x00, block))[3], stBusy);
  EXPECT_EQ(Payload(Exchange(board, Frame(icRxROM, 0x10, 0x00))), Bytes(64, 0xFF));

  EXPECT_EQ(test::BusyStatus(board), stBusy);  // still the plain run, no range
  Start(board, icStop);
  EXPECT_EQ(Exchange(board, Frame(icTxROM, 0x10, 0x00, block))[3], 0x01);
  EXPECT_EQ(Payload(Exchange(board, Frame(icRxROM, 0x10, 0x00))), block);
}

TEST(BoardRun, EachPollRunsAFixedBudgetOfMachineCycles) {
  BoardConfig config;
  config.cyclesPerPoll = 400;
  Board board(config);
  board.LoadCode(0, kCount);
  Start(board, icRun);
  EXPECT_EQ(Dptr(board), 0);
  EXPECT_EQ(test::BusyStatus(board), stBusy);
  EXPECT_EQ(Dptr(board), 100);
  EXPECT_EQ(test::BusyStatus(board), stBusy);
  EXPECT_EQ(Dptr(board), 200);
  EXPECT_EQ(board.Advance(40), 40u);
  EXPECT_EQ(Dptr(board), 210);
  Start(board, icStop);
  EXPECT_EQ(board.Advance(40), 0u);
  EXPECT_EQ(Dptr(board), 210);
}

uint32_t Count24(Board& b) {
  uint32_t v = 0;
  b.Access([&](Memories& m, Core8051&) { v = m.iram[0x30] | m.iram[0x31] << 8 | m.iram[0x32] << 16; });
  return v;
}

TEST(BoardRunRealTime, FreeRunGoesOnAtTheClockRateWhilePolledAndStopHaltsIt) {
  using Steady = std::chrono::steady_clock;
  BoardConfig config;
  config.pacing = Pacing::RealTime;
  Board board(config);
  board.LoadCode(0, kCount24);
  Start(board, icRun);

  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const uint32_t c0 = Count24(board);
  const Steady::time_point t0 = Steady::now();
  for (int i = 0; i < 10; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(test::BusyStatus(board), stBusy);  // answered at once, the target still running
  }
  const uint32_t c1 = Count24(board);
  const double seconds = std::chrono::duration<double>(Steady::now() - t0).count();
  const double cyclesPerSecond = (c1 - c0) * 4.0 / seconds;
  EXPECT_GT(cyclesPerSecond, 0.25 * config.machineCyclesPerSecond);
  EXPECT_LT(cyclesPerSecond, 1.35 * config.machineCyclesPerSecond);

  Start(board, icStop);
  EXPECT_EQ(test::BusyStatus(board), stReady);
  const uint32_t stopped = Count24(board);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(Count24(board), stopped);

  // A breakpoint halts the paced run too.
  SendBreakpoints(board, {0x000C, true, 1});
  Start(board, icRun);
  const Steady::time_point deadline = Steady::now() + std::chrono::seconds(5);
  while (board.Running() && Steady::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(board.LastHalt(), HaltReason::Breakpoint0);
}

TEST(BoardRunRealTime, DestroyingARunningBoardEndsItsThread) {
  BoardConfig config;
  config.pacing = Pacing::RealTime;
  auto board = std::make_unique<Board>(config);
  board->LoadCode(0, kCount);
  Start(*board, icRun);
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  board.reset();  // joins; a hang here fails the test by its time-out
  SUCCEED();
}

}  // namespace
}  // namespace sim::ice
