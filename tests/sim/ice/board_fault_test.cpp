// Fault injection: each kind's effect on the wire and its trace in the log.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/clock.h"
#include "sim/ice/board.h"
#include "tests/sim/ice/board_test_util.h"

namespace sim::ice {
namespace {

using test::Bytes;
using test::Exchange;
using test::Frame;

FaultRule Rule(FaultKind kind, std::optional<uint8_t> command = std::nullopt, uint32_t first = 1, uint32_t count = 0,
               std::optional<uint32_t> arg = std::nullopt) {
  return FaultRule{kind, command, first, count, arg};
}

std::vector<FrameLogEntry> Replies(Board& b) {
  std::vector<FrameLogEntry> out;
  for (auto& e : b.Log().Entries()) {
    if (e.direction == Direction::BoardToHost) out.push_back(e);
  }
  return out;
}

bool Has(const std::vector<FaultKind>& kinds, FaultKind k) {
  return std::find(kinds.begin(), kinds.end(), k) != kinds.end();
}

TEST(BoardFaultSpec, ParsesSelectorKindAndArgument) {
  struct Case {
    const char* spec;
    FaultKind kind;
    std::optional<uint8_t> command;
    uint32_t first, count;
    std::optional<uint32_t> arg;
  };
  const Case cases[] = {
      {"05:badsum", FaultKind::BadChecksum, 0x05, 1, 0, std::nullopt},
      {"0x0C:busy", FaultKind::Busy, 0x0C, 1, 0, std::nullopt},
      {"0c:busy:3", FaultKind::Busy, 0x0C, 1, 3, 3},
      {"*@7:late:300", FaultKind::Late, std::nullopt, 7, 1, 300},
      {"01@5:failblock:0x0E", FaultKind::FailBlock, 0x01, 5, 1, 14},
      {"*:none", FaultKind::NoReply, std::nullopt, 1, 0, std::nullopt},
      {"22:short:10", FaultKind::ShortReply, 0x22, 1, 0, 10},
      {"02:wrongcode:0x03", FaultKind::WrongCode, 0x02, 1, 0, 3},
      {"*@2:stray", FaultKind::StrayByte, std::nullopt, 2, 1, std::nullopt},
      {"*@10:hangup", FaultKind::HangUp, std::nullopt, 10, 1, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.spec);
    std::string error;
    auto rule = ParseFaultSpec(c.spec, &error);
    ASSERT_TRUE(rule) << error;
    EXPECT_EQ(rule->kind, c.kind);
    EXPECT_EQ(rule->command, c.command);
    EXPECT_EQ(rule->first, c.first);
    EXPECT_EQ(rule->count, c.count);
    EXPECT_EQ(rule->arg, c.arg);
  }
  for (const char* bad : {"", "05", "05:", "05:bogus", "zz:none", "0x100:none", "03:none", "*@0:none", "*@x:none",
                          "05:late", "05:stray:256", "05:late:", "05:late:1ms"}) {
    std::string error;
    EXPECT_FALSE(ParseFaultSpec(bad, &error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
}

TEST(BoardFaults, NoReplyIgnoresTheChosenFrameOnly) {
  Board board;
  board.AddFault(Rule(FaultKind::NoReply, icReset, 2, 1));
  EXPECT_EQ(Exchange(board, Frame(icReset)).size(), 5u);
  board.SetPc(0x1234);
  EXPECT_TRUE(Exchange(board, Frame(icReset)).empty());
  EXPECT_EQ(board.Pc(), 0x1234);  // not carried out either
  EXPECT_EQ(Exchange(board, Frame(icRxVersion)).size(), 5u);  // other codes do not count
  EXPECT_EQ(Exchange(board, Frame(icReset)).size(), 5u);
  EXPECT_EQ(board.Pc(), 0);

  const auto log = board.Log().Entries();
  ASSERT_EQ(log.size(), 7u);
  EXPECT_TRUE(Has(log[2].faults, FaultKind::NoReply));
  EXPECT_EQ(log[3].direction, Direction::HostToBoard);  // no reply entry in between
}

TEST(BoardFaults, NthFrameCountsEveryWellFormedRequest) {
  Board board;
  board.AddFault(Rule(FaultKind::NoReply, std::nullopt, 3, 1));
  Bytes garbled = Frame(icRun);
  garbled.back() ^= 0xFF;
  EXPECT_EQ(Exchange(board, Frame(icReset)).size(), 5u);
  EXPECT_TRUE(Exchange(board, garbled).empty());  // refused frames are not counted
  EXPECT_EQ(Exchange(board, Frame(icBusyCheck)).size(), 5u);
  EXPECT_TRUE(Exchange(board, Frame(icRxVersion)).empty());
  EXPECT_EQ(Exchange(board, Frame(icRxVersion)).size(), 5u);
}

TEST(BoardFaults, LateReplyIsReadableOnlyOnceTheClockPassedIt) {
  platform::VirtualClock clock(5000);
  platform::ScopedClock scoped(clock);
  Board board;
  board.AddFault(Rule(FaultKind::Late, icRun, 1, 1, 200));
  board.HostWrite(Frame(icRun));
  EXPECT_EQ(board.MsUntilOutput(), 200u);
  EXPECT_TRUE(board.HostReadAll().empty());
  clock.Advance(199);
  EXPECT_TRUE(board.HostReadAll().empty());
  EXPECT_EQ(board.MsUntilOutput(), 1u);
  clock.Advance(1);
  const Bytes run = board.HostReadAll();
  ASSERT_EQ(run.size(), 5u);
  EXPECT_EQ(run[3], icRun);
  EXPECT_FALSE(board.MsUntilOutput());

  const auto replies = Replies(board);
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].time, 5200u);
  EXPECT_TRUE(Has(replies[0].faults, FaultKind::Late));
  EXPECT_EQ(board.Log().Entries().at(0).time, 5000u);
}

// A board that is late with one answer gets to the requests sent meanwhile
// afterwards, one at a time: their replies trickle out behind the late one,
// each after the one before is on the line (5 bytes at 57600 baud: 1 ms) and
// the board turned to the next request (1 ms). A host that purges at the
// moment the late reply arrives still meets the others afterwards.
TEST(BoardFaults, RepliesQueuedBehindALateOneFollowOneByOne) {
  platform::VirtualClock clock(1000);
  platform::ScopedClock scoped(clock);
  Board board;
  board.AddFault(Rule(FaultKind::Late, icRun, 1, 1, 300));
  board.HostWrite(Frame(icRun));
  clock.Advance(100);
  board.HostWrite(Frame(icStop));
  clock.Advance(100);
  board.HostWrite(Frame(icRxVersion));
  clock.Advance(100);
  EXPECT_EQ(board.HostReadAll(), (Bytes{0x00, 0x00, 0x00, icRun, 0xFE}));
  EXPECT_EQ(board.MsUntilOutput(), 2u);
  clock.Advance(1);
  EXPECT_TRUE(board.HostReadAll().empty());
  clock.Advance(1);
  EXPECT_EQ(board.HostReadAll(), (Bytes{0x00, 0x00, 0x00, icStop, 0xFC}));
  clock.Advance(2);
  EXPECT_EQ(board.HostReadAll().at(3), icRxVersion);
  EXPECT_FALSE(board.MsUntilOutput());

  // With nothing held back, replies go out at once again.
  EXPECT_EQ(Exchange(board, Frame(icReset)).size(), 5u);
  // A 69-byte reply takes 12 ms on the line before the next can follow.
  board.AddFault(Rule(FaultKind::Late, icRxROM, 1, 1, 50));
  board.HostWrite(Frame(icRxROM));
  board.HostWrite(Frame(icReset));
  clock.Advance(50);
  EXPECT_EQ(board.HostReadAll().size(), 69u);
  EXPECT_EQ(board.MsUntilOutput(), 13u);

  const auto replies = Replies(board);
  ASSERT_GE(replies.size(), 3u);
  EXPECT_EQ(replies[0].time, 1300u);
  EXPECT_EQ(replies[1].time, 1302u);
  EXPECT_EQ(replies[2].time, 1304u);
}

TEST(BoardFaults, RepliesSpoiledAsAsked) {
  struct Case {
    const char* name;
    FaultRule rule;
    Bytes expected;  // the reply to icRxVersion, firmware 0x0210
  };
  const Case cases[] = {
      {"bad checksum", Rule(FaultKind::BadChecksum, icRxVersion), {0x00, 0x02, 0x10, 0x38, 0xB7}},
      {"wrong code", Rule(FaultKind::WrongCode, icRxVersion), {0x00, 0x02, 0x10, 0x39, 0xB5}},
      {"wrong code given", Rule(FaultKind::WrongCode, icRxVersion, 1, 0, 0x0C), {0x00, 0x02, 0x10, 0x0C, 0xE2}},
      {"short", Rule(FaultKind::ShortReply, icRxVersion), {0x00, 0x02, 0x10, 0x38}},
      {"short to 2", Rule(FaultKind::ShortReply, icRxVersion, 1, 0, 2), {0x00, 0x02}},
      {"stray byte", Rule(FaultKind::StrayByte, icRxVersion), {0xFF, 0x00, 0x02, 0x10, 0x38, 0xB6}},
      {"stray byte given", Rule(FaultKind::StrayByte, icRxVersion, 1, 0, 0x55), {0x55, 0x00, 0x02, 0x10, 0x38, 0xB6}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Board board;
    board.AddFault(c.rule);
    EXPECT_EQ(Exchange(board, Frame(icRxVersion)), c.expected);
    const auto replies = Replies(board);
    ASSERT_FALSE(replies.empty());
    EXPECT_TRUE(Has(replies.front().faults, c.rule.kind));
    // Other commands are untouched.
    EXPECT_EQ(Exchange(board, Frame(icReset)), (Bytes{0x00, 0x00, 0x00, 0x05, 0xFB}));
  }
}

TEST(BoardFaults, BusyForAFewPollsOrForEver) {
  Board board;
  board.AddFault(Rule(FaultKind::Busy, std::nullopt, 1, 3));
  Exchange(board, Frame(icReqSFR));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(test::BusyStatus(board), stBusy);
  EXPECT_EQ(test::BusyStatus(board), stReady);
  EXPECT_EQ(Exchange(board, Frame(icFetchSFR)).size(), 63u);

  board.AddFault(Rule(FaultKind::Busy));
  for (int i = 0; i < 20; ++i) EXPECT_EQ(test::BusyStatus(board), stBusy);
  EXPECT_TRUE(Has(board.Log().Entries().back().faults, FaultKind::Busy));
  board.ClearFaults();
  EXPECT_EQ(test::BusyStatus(board), stReady);
}

TEST(BoardFaults, ForcedBusyAnswersStillRunTheTargetsSlice) {
  Board board;  // manual pacing: the target runs only inside busy checks
  // 0000 NOP / 0001 NOP / 0002 SJMP $, with a breakpoint at 0002
  board.LoadCode(0, {0x00, 0x00, 0x80, 0xFE});
  board.SetBreakpoint(0, Breakpoint{0x0002, true, 1});
  board.AddFault(Rule(FaultKind::Busy, std::nullopt, 1, 1));
  ASSERT_EQ(Exchange(board, Frame(icRun)).size(), 5u);
  EXPECT_EQ(test::BusyStatus(board), stBusy);
  EXPECT_FALSE(board.Running()) << "the spoiled poll still ran the target to its breakpoint";
  EXPECT_EQ(board.LastHalt(), HaltReason::Breakpoint0);
  EXPECT_EQ(test::BusyStatus(board), stReady);
}

TEST(BoardFaults, FailedProgramBlockIsNotWritten) {
  Board board;
  board.AddFault(Rule(FaultKind::FailBlock, std::nullopt, 2, 1, stReady));
  board.AddFault(Rule(FaultKind::FailBlock, std::nullopt, 3, 1));
  const Bytes block(64, 0x12);
  EXPECT_EQ(Exchange(board, Frame(icTxROM, 0x00, 0x00, block))[3], 0x01);
  EXPECT_EQ(Exchange(board, Frame(icRxVersion)).size(), 5u);  // only blocks count
  const Bytes ready = Exchange(board, Frame(icTxROM, 0x00, 0x40, block));
  EXPECT_EQ(ready[3], stReady);
  EXPECT_TRUE(test::ReplyChecksumOk(ready));
  EXPECT_EQ(Exchange(board, Frame(icTxROM, 0x00, 0x80, block))[3], 0x00);
  EXPECT_EQ(Exchange(board, Frame(icTxROM, 0x00, 0xC0, block))[3], 0x01);
  board.Access([](Memories& m, Core8051&) {
    EXPECT_EQ(m.code[0x00], 0x12);
    EXPECT_EQ(m.code[0x40], 0xFF);
    EXPECT_EQ(m.code[0x80], 0xFF);
    EXPECT_EQ(m.code[0xC0], 0x12);
  });
}

TEST(BoardFaults, HangUpSilencesTheBoardForGood) {
  Board board;
  board.AddFault(Rule(FaultKind::Late, icRun, 1, 0, 1000));
  board.AddFault(Rule(FaultKind::HangUp, icReset));
  board.HostWrite(Frame(icRun));
  EXPECT_FALSE(board.HostWrite(Frame(icReset)));
  EXPECT_TRUE(board.HungUp());
  EXPECT_FALSE(board.MsUntilOutput());  // what was queued is lost with the line
  EXPECT_FALSE(board.HostWrite(Frame(icRxVersion)));
  EXPECT_TRUE(board.HostReadAll().empty());
  EXPECT_TRUE(Has(board.Log().Entries().back().faults, FaultKind::HangUp));

  board.ClearFaults();
  board.ClearHangUp();
  EXPECT_EQ(Exchange(board, Frame(icRxVersion)).size(), 5u);
}

TEST(BoardFaults, RulesCombineOnOneFrame) {
  platform::VirtualClock clock;
  platform::ScopedClock scoped(clock);
  Board board;
  board.AddFault(Rule(FaultKind::Late, icReset, 1, 0, 50));
  board.AddFault(Rule(FaultKind::BadChecksum, icReset));
  board.HostWrite(Frame(icReset));
  clock.Advance(50);
  const Bytes reply = board.HostReadAll();
  ASSERT_EQ(reply.size(), 5u);
  EXPECT_FALSE(test::ReplyChecksumOk(reply));
  const auto replies = Replies(board);
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_TRUE(Has(replies[0].faults, FaultKind::Late));
  EXPECT_TRUE(Has(replies[0].faults, FaultKind::BadChecksum));
}

}  // namespace
}  // namespace sim::ice
