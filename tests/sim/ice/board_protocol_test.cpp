// The board's side of the wire: request frames in, exact replies out.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "platform/clock.h"
#include "sim/ice/board.h"
#include "tests/sim/ice/board_test_util.h"

namespace sim::ice {
namespace {

using test::Bytes;
using test::Exchange;
using test::Frame;
using test::Payload;

Bytes Block(uint8_t first) {
  Bytes b(64);
  for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<uint8_t>(first + i * 3);
  return b;
}

// Runs request, busy check and fetch, as a two-phase read does.
Bytes TwoPhase(Board& board, const Bytes& request, const Bytes& fetch) {
  const Bytes ack = Exchange(board, request);
  EXPECT_EQ(ack.size(), 5u);
  EXPECT_EQ(ack.at(3), request[3]);
  EXPECT_EQ(test::BusyStatus(board), stReady);
  return Exchange(board, fetch);
}

TEST(BoardFrames, BuilderMatchesTheLiteralRequestsOfTheCommandSet) {
  const std::pair<Bytes, Bytes> cases[] = {
      {Frame(icReset), {0x00, 0x00, 0x00, 0x05, 0xFB}},
      {Frame(icRun), {0x00, 0x00, 0x00, 0x02, 0xFE}},
      {Frame(icStep), {0x00, 0x00, 0x00, 0x13, 0xED}},
      {Frame(icStop), {0x00, 0x00, 0x00, 0x04, 0xFC}},
      {Frame(icBusyCheck), {0x00, 0x00, 0x00, 0x0C, 0xF4}},
      {Frame(icFetchSFR), {0x00, 0x00, 0x00, 0x22, 0xDE}},
      {Frame(icRxVersion), {0x00, 0x00, 0x00, 0x38, 0xC8}},
      {Frame(icTx1kRAM, 0x01, 0x23, {0x5A}), {0x01, 0x01, 0x23, 0x0A, 0x5A, 0x77}},
      {Frame(icTxBrkPnt, 0, 0, {0x12, 0x34, 0x01, 0x01, 0x00, 0x00, 0x00, 0xFF}),
       {0x08, 0x00, 0x00, 0x0B, 0x12, 0x34, 0x01, 0x01, 0x00, 0x00, 0x00, 0xFF, 0xA6}},
  };
  for (const auto& [built, literal] : cases) EXPECT_EQ(built, literal);
}

struct ReplyCase {
  const char* name;
  Bytes request;
  size_t replyLength;
};

// Every command: the reply has the fixed length the host reads, echoes the
// command in Code, carries its data length in R0 and a checksum that makes
// the frame sum 0.
TEST(BoardFrames, EveryCommandGetsItsReplyLengthEchoAndChecksum) {
  const ReplyCase cases[] = {
      {"TxROM", Frame(icTxROM, 0x12, 0x40, Block(1)), 5},
      {"Run", Frame(icRun), 5},
      {"Stop", Frame(icStop), 5},
      {"Reset", Frame(icReset), 5},
      {"ReqInRAM", Frame(icReqInRAM, 0, 0x40), 5},
      {"TxInRAM", Frame(icTxInRAM, 0, 0x80, Block(2)), 5},
      {"Req1kRAM", Frame(icReq1kRAM, 0x03, 0xC0), 5},
      {"Tx1kRAM block", Frame(icTx1kRAM, 0x01, 0x00, Block(3)), 5},
      {"Tx1kRAM byte", Frame(icTx1kRAM, 0x01, 0x23, {0x5A}), 5},
      {"TxBrkPnt", Frame(icTxBrkPnt, 0, 0, {0x12, 0x34, 1, 1, 0, 0, 0, 0xFF}), 5},
      {"BusyCheck", Frame(icBusyCheck), 5},
      {"ClearBrkPnt", Frame(icClearBrkPnt), 5},
      {"RxROM", Frame(icRxROM, 0x00, 0x40), 69},
      {"EraseChip", Frame(icEraseChip), 5},
      {"Step", Frame(icStep), 5},
      {"RunRange", Frame(icRunRange, 0x00, 0x10, {0x00, 0x20}), 5},
      {"ReqSFR", Frame(icReqSFR), 5},
      {"TxSFR", Frame(icTxSFR, 0, 0, Bytes(58, 0)), 5},
      {"FetchSFR", Frame(icFetchSFR), 63},
      {"FetchInRAM", Frame(icFetchInRAM), 69},
      {"Fetch1kRAM", Frame(icFetch1kRAM), 69},
      {"TxLockBits", Frame(icTxLockBits, 2, 0), 5},
      {"ReqLockBits", Frame(icReqLockBits), 5},
      {"FetchLockBits", Frame(icFetchLockBits), 5},
      {"ReqSignature", Frame(icReqSignature), 5},
      {"FetchSignature", Frame(icFetchSignature), 6},
      {"ReqExRAM", Frame(icReqExRAM, 0x80, 0x00), 5},
      {"TxExRAM", Frame(icTxExRAM, 0x80, 0x00, Block(4)), 5},
      {"FetchExRAM", Frame(icFetchExRAM), 69},
      {"ReqInRAMList", Frame(icReqInRAMList, 0, 0, {0x10, 0x20, 0x30}), 5},
      {"Req1kRAMList", Frame(icReq1kRAMList, 0, 0, {0x01, 0x23, 0x03, 0xFF}), 5},
      {"ReqExRAMList", Frame(icReqExRAMList, 0, 0, {0x80, 0x00}), 5},
      {"FetchInRAMList", Frame(icFetchInRAMList, 0, 3), 8},
      {"Fetch1kRAMList", Frame(icFetch1kRAMList, 0, 2), 7},
      {"FetchExRAMList", Frame(icFetchExRAMList, 0, 16), 21},
      {"RxVersion", Frame(icRxVersion), 5},
  };
  std::set<uint8_t> covered;
  Board board;
  for (const ReplyCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes reply = Exchange(board, c.request);
    ASSERT_EQ(reply.size(), c.replyLength);
    EXPECT_EQ(reply[3], c.request[3] == icBusyCheck ? uint8_t{stReady} : c.request[3]);
    EXPECT_TRUE(test::ReplyChecksumOk(reply));
    EXPECT_EQ(reply[0], c.replyLength - 5);
    covered.insert(c.request[3]);
    if (c.request[3] == icRun) Exchange(board, Frame(icStop));  // keep the target halted
  }
  for (unsigned code = 0; code < 256; ++code) {
    if (IsKnownCommand(static_cast<uint8_t>(code))) {
      EXPECT_TRUE(covered.count(static_cast<uint8_t>(code))) << "no case for " << CommandName(code);
    }
  }
}

TEST(BoardFrames, ResetRequestGetsTheEchoReply) {
  Board board;
  EXPECT_EQ(Exchange(board, {0x00, 0x00, 0x00, 0x05, 0xFB}), (Bytes{0x00, 0x00, 0x00, 0x05, 0xFB}));
}

TEST(BoardFrames, ValueRepliesCarryTheirBytesWhereTheHostTakesThem) {
  Board board;
  const Bytes version = Exchange(board, Frame(icRxVersion));
  EXPECT_EQ(version[1] * 256 + version[2], 0x0210);

  const Bytes sig = TwoPhase(board, Frame(icReqSignature), Frame(icFetchSignature));
  ASSERT_EQ(sig.size(), 6u);
  EXPECT_EQ(sig[3], icFetchSignature);
  EXPECT_EQ((Bytes{sig[1], sig[2], sig[4]}), (Bytes{0x3C, 0x93, 0x0A}));

  EXPECT_EQ(TwoPhase(board, Frame(icReqLockBits), Frame(icFetchLockBits))[1], 0xFF);
  Exchange(board, Frame(icTxLockBits, 0x02, 0));
  EXPECT_EQ(TwoPhase(board, Frame(icReqLockBits), Frame(icFetchLockBits))[1], 0x02);
  EXPECT_EQ(board.LockBits(), 0x02);
  Exchange(board, Frame(icEraseChip));
  EXPECT_EQ(board.LockBits(), 0xFF);
}

TEST(BoardFrames, FrameSplitAnyWayGetsTheSameReply) {
  const Bytes frame = Frame(icTxROM, 0x01, 0x00, Block(7));
  Board whole;
  const Bytes expected = Exchange(whole, frame);
  ASSERT_EQ(expected.size(), 5u);

  // The host's block send: header, payload, checksum.
  Board three;
  three.HostWrite(frame.data(), 4);
  three.HostWrite(frame.data() + 4, 64);
  EXPECT_TRUE(three.HostReadAll().empty());
  three.HostWrite(frame.data() + 68, 1);
  EXPECT_EQ(three.HostReadAll(), expected);

  Board bytewise;
  for (uint8_t b : frame) bytewise.HostWrite(&b, 1);
  EXPECT_EQ(bytewise.HostReadAll(), expected);

  // Two frames in one write give both replies, in order.
  Board joined;
  Bytes two = Frame(icReset);
  const Bytes run = Frame(icRxVersion);
  two.insert(two.end(), run.begin(), run.end());
  const Bytes replies = Exchange(joined, two);
  ASSERT_EQ(replies.size(), 10u);
  EXPECT_EQ(replies[3], icReset);
  EXPECT_EQ(replies[8], icRxVersion);

  for (Board* b : {&three, &bytewise}) {
    Bytes code(64);
    b->Access([&](Memories& m, Core8051&) { std::copy_n(m.code.begin() + 0x100, 64, code.begin()); });
    EXPECT_EQ(code, Block(7));
  }
}

TEST(BoardFrames, RefusedFramesGetNoReplyAndLeaveTheBoardInStep) {
  Bytes badSum = Frame(icReset);
  badSum.back() ^= 0x01;
  const std::pair<const char*, Bytes> refused[] = {
      {"bad checksum", badSum},
      {"unknown code 03", Frame(0x03)},
      {"unknown code 06", Frame(0x06)},
      {"unknown code FF", Frame(0xFF, 1, 2)},
      {"reset with a payload", Frame(icReset, 0, 0, {0x00})},
      {"SFR block one too long", Frame(icTxSFR, 0, 0, Bytes(59, 0))},
      {"program block one short", Frame(icTxROM, 0, 0, Bytes(63, 0))},
      {"breakpoint table not in entries", Frame(icTxBrkPnt, 0, 0, Bytes(6, 0))},
      {"odd 1 KB address list", Frame(icReq1kRAMList, 0, 0, {0x01, 0x02, 0x03})},
      {"empty internal list", Frame(icReqInRAMList)},
  };
  Board board;
  for (const auto& [name, frame] : refused) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(Exchange(board, frame).empty());
    const auto log = board.Log().Entries();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back().direction, Direction::HostToBoard);
    EXPECT_EQ(log.back().bytes, frame);
    EXPECT_NE(log.back().note.find("ignored"), std::string::npos);
    EXPECT_EQ(Exchange(board, Frame(icRxVersion)).size(), 5u);
  }
  EXPECT_EQ(board.GetBreakpoint(0), Breakpoint{});
}

TEST(BoardFrames, AnIncompleteFrameIsDroppedAfterTheByteGap) {
  platform::VirtualClock clock(1000);
  platform::ScopedClock scoped(clock);
  Board board;
  const uint8_t lone = 0x00;

  // Within the gap the next frame's bytes complete the broken one.
  board.HostWrite(&lone, 1);
  clock.Advance(50);
  EXPECT_TRUE(Exchange(board, Frame(icReset)).empty());

  // That left the reset's checksum byte waiting as the start of a frame.
  clock.Advance(1000);
  board.Log().Clear();
  board.HostWrite(&lone, 1);
  clock.Advance(51);
  EXPECT_EQ(Exchange(board, Frame(icReset)).size(), 5u);
  const auto log = board.Log().Entries();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[0].bytes, Bytes{0xFB});
  EXPECT_EQ(log[0].note, "incomplete frame dropped");
  EXPECT_EQ(log[1].bytes, Bytes{0x00});
  EXPECT_EQ(log[1].note, "incomplete frame dropped");
  EXPECT_EQ(log[2].bytes, Frame(icReset));
}

// Noise of every length and value, including frames that claim up to 255
// payload bytes, never upsets the board: after a pause it answers again.
TEST(BoardFrames, RandomNoiseThenAPauseLeavesTheBoardAnswering) {
  platform::VirtualClock clock;
  platform::ScopedClock scoped(clock);
  std::mt19937 rng(930);
  Board board;
  for (int round = 0; round < 300; ++round) {
    Bytes noise(rng() % 300);
    for (auto& b : noise) b = static_cast<uint8_t>(rng());
    if (round % 3 == 0 && noise.size() > 4) noise[3] = static_cast<uint8_t>(rng() % 0x40);  // known codes, mostly
    size_t at = 0;
    while (at < noise.size()) {
      const size_t n = std::min<size_t>(noise.size() - at, 1 + rng() % 40);
      board.HostWrite(noise.data() + at, n);
      at += n;
      clock.Advance(rng() % 3);
    }
    board.HostReadAll();
    clock.Advance(51);
    ASSERT_EQ(Exchange(board, Frame(icRxVersion)), (Bytes{0x00, 0x02, 0x10, 0x38, 0xB6})) << "round " << round;
  }
}

TEST(BoardMemory, BlocksWrittenAreReadBackThroughTheirTwoPhaseReads) {
  struct Case {
    const char* name;
    uint8_t tx, req, fetch;
    uint8_t p1, p2;
  };
  const Case cases[] = {
      {"internal RAM", icTxInRAM, icReqInRAM, icFetchInRAM, 0x00, 0xC0},
      {"1 KB RAM", icTx1kRAM, icReq1kRAM, icFetch1kRAM, 0x03, 0xC0},
      {"external RAM", icTxExRAM, icReqExRAM, icFetchExRAM, 0xFF, 0xC0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Board board;
    const Bytes data = Block(0x11);
    EXPECT_EQ(Exchange(board, Frame(c.tx, c.p1, c.p2, data))[3], c.tx);
    const Bytes reply = TwoPhase(board, Frame(c.req, c.p1, c.p2), Frame(c.fetch));
    ASSERT_EQ(reply.size(), 69u);
    EXPECT_EQ(Payload(reply), data);
  }

  Board board;
  board.HostWrite(Frame(icTxInRAM, 0, 0x40, Block(1)));
  board.HostWrite(Frame(icTx1kRAM, 0x02, 0x00, Block(2)));
  board.HostWrite(Frame(icTxExRAM, 0x12, 0x34, Block(3)));
  board.Access([](Memories& m, Core8051& core) {
    EXPECT_EQ(m.iram[0x40], 1);
    EXPECT_EQ(m.iram[0x7F], static_cast<uint8_t>(1 + 63 * 3));
    EXPECT_EQ(m.ram1k[0x200], 2);
    EXPECT_EQ(m.xram[0x1234], 3);
    EXPECT_EQ(core.ReadDirect(0x40), 1);  // the lower half is also direct RAM
  });
}

TEST(BoardMemory, ProgramBlocksAndCodeReads) {
  Board board;
  const Bytes data = Block(0x80);
  EXPECT_EQ(Exchange(board, Frame(icTxROM, 0xFF, 0xC0, data))[3], 0x01);
  EXPECT_EQ(Payload(Exchange(board, Frame(icRxROM, 0xFF, 0xC0))), data);
  EXPECT_EQ(Payload(Exchange(board, Frame(icRxROM, 0x00, 0x00))), Bytes(64, 0xFF));  // never written

  Exchange(board, Frame(icEraseChip));
  EXPECT_EQ(Payload(Exchange(board, Frame(icRxROM, 0xFF, 0xC0))), Bytes(64, 0xFF));
}

TEST(BoardMemory, TwoPhaseReadGivesTheDataAsAtTheRequest) {
  Board board;
  board.Access([](Memories& m, Core8051&) { m.iram[0x10] = 0xAA; });
  Exchange(board, Frame(icReqInRAM, 0, 0x00));
  board.Access([](Memories& m, Core8051&) { m.iram[0x10] = 0x55; });
  EXPECT_EQ(Payload(Exchange(board, Frame(icFetchInRAM)))[0x10], 0xAA);
}

TEST(BoardMemory, AddressListsGiveTheListedBytesInOrder) {
  Board board;
  board.Access([](Memories& m, Core8051&) {
    m.iram[0x10] = 0x01;
    m.iram[0x80] = 0x02;  // upper RAM, not the SFR at 0x80
    m.iram[0xFF] = 0x03;
    m.ram1k[0x123] = 0x04;
    m.ram1k[0x3FF] = 0x05;
    m.xram[0x8000] = 0x06;
    m.xram[0xFFFF] = 0x07;
  });
  EXPECT_EQ(Payload(TwoPhase(board, Frame(icReqInRAMList, 0, 0, {0xFF, 0x10, 0x80}), Frame(icFetchInRAMList, 0, 3))),
            (Bytes{0x03, 0x01, 0x02}));
  EXPECT_EQ(
      Payload(TwoPhase(board, Frame(icReq1kRAMList, 0, 0, {0x03, 0xFF, 0x01, 0x23}), Frame(icFetch1kRAMList, 0, 2))),
      (Bytes{0x05, 0x04}));
  EXPECT_EQ(
      Payload(TwoPhase(board, Frame(icReqExRAMList, 0, 0, {0xFF, 0xFF, 0x80, 0x00}), Frame(icFetchExRAMList, 0, 2))),
      (Bytes{0x07, 0x06}));
  // The fetch asks for its own count: fewer gives the first ones, more pads with 0.
  EXPECT_EQ(Payload(Exchange(board, Frame(icFetchExRAMList, 0, 1))), Bytes{0x07});
  EXPECT_EQ(Payload(Exchange(board, Frame(icFetchExRAMList, 0, 4))), (Bytes{0x07, 0x06, 0x00, 0x00}));
}

// Where registers lie in the block, from the host's register table.
TEST(BoardSfrBlock, RegistersSitAtTheirImageIndex) {
  const std::pair<size_t, uint8_t> spots[] = {
      {0, 0x80 /*P0*/},     {1, 0x81 /*SP*/},      {4, 0x84 /*DPL1*/},   {6, 0x86 /*DPS*/},
      {14, 0x90 /*P1*/},    {18, 0xA4 /*TP2*/},    {23, 0xC1 /*SBUF1*/}, {32, 0xD0 /*PSW*/},
      {38, 0xDF /*ADC0L*/}, {39, 0xE0 /*ACC*/},    {40, 0xE2 /*ADC0H*/}, {45, 0xE8 /*IE1*/},
      {51, 0xF0 /*B*/},     {53, 0xF3 /*RAMCON*/}, {54, 0xF8 /*IP1*/},   {57, 0xFF /*CPUCTRL*/},
  };
  Board board;
  board.Access([&](Memories&, Core8051& core) {
    for (const auto& [index, address] : spots) core.WriteDirect(address, static_cast<uint8_t>(0x40 + index));
    core.WriteDirect(0xE0, 0x41);  // ACC with even parity leaves PSW's P clear
    core.SetPC(0x1233);
  });
  const Bytes block = Payload(TwoPhase(board, Frame(icReqSFR), Frame(icFetchSFR)));
  ASSERT_EQ(block.size(), 58u);
  for (const auto& [index, address] : spots) {
    if (address == 0xE0) continue;
    EXPECT_EQ(block[index], 0x40 + index) << "index " << index;
  }
  EXPECT_EQ(block[39], 0x41);
  // PC 0x1233 is reported as 0x1234, which the host reads back as 0x1233.
  EXPECT_EQ(block[55], 0x34);
  EXPECT_EQ(block[56], 0x12);

  std::set<uint8_t> addresses;
  for (size_t i = 0; i < kSfrBlockSize; ++i) {
    if (i != kSfrPclIndex && i != kSfrPchIndex) addresses.insert(kSfrBlockAddress[i]);
  }
  EXPECT_EQ(addresses.size(), kSfrBlockSize - 2);
}

TEST(BoardSfrBlock, WrittenBlockSetsRegistersButNeverTheProgramCounter) {
  Board board;
  board.SetPc(0x0123);
  Bytes block(58);
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(0xA0 + i);
  block[39] = 0x03;  // ACC, even parity
  block[32] = 0x18;  // PSW: bank 3
  block[19] = 0x00;  // IE: nothing enabled, so the run below takes no interrupt
  block[15] = 0x00;  // SCON
  block[55] = 0x00;  // PCL and PCH edited: a report, not a register
  block[56] = 0x20;
  EXPECT_EQ(Exchange(board, Frame(icTxSFR, 0, 0, block))[3], icTxSFR);
  board.Access([&](Memories&, Core8051& core) {
    for (size_t i = 0; i < kSfrBlockSize; ++i) {
      if (i == kSfrPclIndex || i == kSfrPchIndex) continue;
      EXPECT_EQ(core.ReadDirect(kSfrBlockAddress[i]), block[i]) << "index " << i;
    }
    EXPECT_EQ(core.PC(), 0x0123);
    EXPECT_TRUE(core.SerialOutput().empty()) << "a written SBUF is a register value, not a byte to send";
  });
  const Bytes back = Payload(TwoPhase(board, Frame(icReqSFR), Frame(icFetchSFR)));
  ASSERT_EQ(back.size(), kSfrBlockSize);
  EXPECT_EQ(back[kSfrPclIndex], 0x24);
  EXPECT_EQ(back[kSfrPchIndex], 0x01);
  for (size_t i = 0; i < kSfrBlockSize; ++i) {
    if (i == kSfrPclIndex || i == kSfrPchIndex) continue;
    EXPECT_EQ(back[i], block[i]) << "index " << i;
  }

  // Read back and written again unchanged: PC stays where it was.
  Exchange(board, Frame(icTxSFR, 0, 0, back));
  EXPECT_EQ(board.Pc(), 0x0123);
}

TEST(BoardSfrBlock, ShortBlockIsAnsweredAndWritesTheRegistersItReaches) {
  SfrBlock resetValues{};
  Board fresh;
  fresh.Access([&](Memories&, Core8051& core) {
    for (size_t i = 0; i < kSfrBlockSize; ++i) resetValues[i] = core.ReadDirect(kSfrBlockAddress[i]);
  });
  for (const size_t n : {size_t{0}, size_t{1}, size_t{20}, size_t{55}, size_t{56}, size_t{57}}) {
    SCOPED_TRACE(n);
    Board board;
    board.SetPc(0x0456);
    Bytes block(n);
    for (size_t i = 0; i < n; ++i) block[i] = static_cast<uint8_t>(0x11 + i);
    const Bytes reply = Exchange(board, Frame(icTxSFR, 0, 0, block));
    ASSERT_EQ(reply.size(), 5u);
    EXPECT_EQ(reply[3], icTxSFR);
    EXPECT_TRUE(test::ReplyChecksumOk(reply));
    board.Access([&](Memories&, Core8051& core) {
      for (size_t i = 0; i < kSfrBlockSize; ++i) {
        if (i == kSfrPclIndex || i == kSfrPchIndex) continue;
        const uint8_t mask = kSfrBlockAddress[i] == sfr::kPSW ? 0xFE : 0xFF;  // P follows ACC
        EXPECT_EQ(core.ReadDirect(kSfrBlockAddress[i]) & mask, (i < n ? block[i] : resetValues[i]) & mask)
            << "index " << i;
      }
      EXPECT_EQ(core.PC(), 0x0456);
    });
  }
}

TEST(BoardBreakpoints, TableAndClear) {
  Board board;
  EXPECT_EQ(Exchange(board, {0x08, 0x00, 0x00, 0x0B, 0x12, 0x34, 0x01, 0x01, 0x00, 0x00, 0x00, 0xFF, 0xA6})[3],
            icTxBrkPnt);
  EXPECT_EQ(board.GetBreakpoint(0), (Breakpoint{0x1234, true, 1}));
  EXPECT_EQ(board.GetBreakpoint(1), (Breakpoint{0x0000, false, 0xFF}));

  Exchange(board, Frame(icTxBrkPnt, 0, 0, {0xAB, 0xCD, 0x01, 0x06}));  // one entry: only the first changes
  EXPECT_EQ(board.GetBreakpoint(0), (Breakpoint{0xABCD, true, 6}));
  EXPECT_EQ(board.GetBreakpoint(1), (Breakpoint{0x0000, false, 0xFF}));

  EXPECT_EQ(Exchange(board, Frame(icClearBrkPnt))[3], icClearBrkPnt);
  EXPECT_EQ(board.GetBreakpoint(0), Breakpoint{});
  EXPECT_EQ(board.GetBreakpoint(1), Breakpoint{});
}

}  // namespace
}  // namespace sim::ice
