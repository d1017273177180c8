// The command set against a scripted board on virtual time.
#include "ide/link/cmd_set.h"

#include <array>
#include <functional>
#include <numeric>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/messages.h"
#include "tests/ide/link/fake_wire.h"

namespace vx930 {
namespace {

using testing::Answer;
using testing::BadSum;
using testing::Bytes;
using testing::DataReply;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using testing::FakeWire;
using testing::GoodBoard;
using testing::Hex;
using testing::ShortReply;
using testing::WithChecksum;

Bytes Pattern64() {
  Bytes b(64);
  for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<uint8_t>(i * 3 + 1);
  return b;
}

Bytes Sfr58() {
  Bytes b(58);
  std::iota(b.begin(), b.end(), 0);
  return b;
}

// A request with a payload, written out: header, payload, checksum.
std::string Framed(const std::string& header, const Bytes& payload, const std::string& chk) {
  return header + " " + Hex(payload) + " " + chk;
}

const std::string kBusy = "00 00 00 0C F4";
// A one-byte read: the command set looks whether anything is on the line
// (before a send, while it waits for quiet, after a reply that must come alone).
const std::string kLook = "read 1:0";

std::array<uint8_t, 64> Filled(uint8_t v) {
  std::array<uint8_t, 64> a;
  a.fill(v);
  return a;
}

class CmdSetTest : public ::testing::Test {
protected:
  void SetUp() override {
    port = wire.OpenPort();
    ASSERT_NE(port, nullptr);
    wire.ClearLog();
  }
  // The reads that awaited a reply, without the looks at the line.
  std::vector<std::string> ReplyReads() const {
    std::vector<std::string> out;
    for (const auto& e : wire.Events("read"))
      if (e.rfind("read 1:", 0) != 0) out.push_back(e);
    return out;
  }
  std::vector<std::string> RequestsHex() const {
    std::vector<std::string> out;
    for (const auto& r : wire.Requests()) out.push_back(Hex(r));
    return out;
  }

  FakeWire wire;
  platform::ScopedClock clock{wire};
  std::unique_ptr<COM_Port> port;
  CCmdSet cmd{nullptr};
  void Bind() { cmd = CCmdSet(port.get()); }
};

// ---- every command's request frames ------------------------------------------

struct CommandCase {
  std::string name;
  std::function<bool(CCmdSet&)> run;
  std::vector<std::string> frames;  // what the host sends, in order
  int writes;  // write calls in all
};

std::vector<CommandCase> AllCommands() {
  static const Bytes block = Pattern64();
  static const Bytes sfr = Sfr58();
  static std::array<uint8_t, 64> out64;
  static std::array<uint8_t, 58> outSfr;
  static std::array<uint8_t, 16> outList;
  static std::array<uint8_t, 3> outSig;
  static const std::array<BreakPointRec, 2> bps = {BreakPointRec{0x1234, 1, 0}, BreakPointRec{0x0000, 0, 254}};
  auto cblock = [] { return CCmdSet::ConstBlock(block.data(), 64); };
  return {
      {"ResetICE", [](CCmdSet& c) { return c.ResetICE(); }, {"00 00 00 05 FB"}, 1},
      {"RunICE", [](CCmdSet& c) { return c.RunICE(); }, {"00 00 00 02 FE"}, 1},
      {"StepICE", [](CCmdSet& c) { return c.StepICE(); }, {"00 00 00 13 ED"}, 1},
      {"RunRange", [](CCmdSet& c) { return c.RunRange(0x1234, 0x2000); }, {"02 12 34 14 20 00 84"}, 1},
      {"StopICE", [](CCmdSet& c) { return c.StopICE(); }, {"00 00 00 04 FC"}, 1},
      {"BusyCheck",
       [](CCmdSet& c) {
         uint8_t s;
         return c.BusyCheck(s);
       },
       {kBusy},
       1},
      {"TxBrkPnt",
       [](CCmdSet& c) { return c.TxBrkPnt(bps, BreakPointCount); },
       {"08 00 00 0B 12 34 01 01 00 00 00 FF A6"},
       3},
      {"ClearBrkPnt", [](CCmdSet& c) { return c.ClearBrkPnt(); }, {"00 00 00 10 F0"}, 1},
      {"RxSFR", [](CCmdSet& c) { return c.RxSFR(outSfr); }, {"00 00 00 20 E0", kBusy, "00 00 00 22 DE"}, 3},
      {"TxSFR", [](CCmdSet& c) { return c.TxSFR(sfr); }, {Framed("3A 00 00 21", sfr, "30")}, 3},
      {"RxInRAM", [](CCmdSet& c) { return c.RxInRAM(out64, 0x40); }, {"00 00 40 07 B9", kBusy, "00 00 00 23 DD"}, 3},
      {"TxInRAM", [=](CCmdSet& c) { return c.TxInRAM(0x0080, cblock()); }, {Framed("40 00 80 08", block, "58")}, 3},
      {"Rx1kRAM", [](CCmdSet& c) { return c.Rx1kRAM(out64, 0x0123); }, {"00 01 23 09 D3", kBusy, "00 00 00 24 DC"}, 3},
      {"Tx1kRAM", [=](CCmdSet& c) { return c.Tx1kRAM(0x03C0, cblock()); }, {Framed("40 03 C0 0A", block, "13")}, 3},
      {"Tx1kByte", [](CCmdSet& c) { return c.Tx1kByte(0x0123, 0x5A); }, {"01 01 23 0A 5A 77"}, 3},
      {"RxInRAMList",
       [](CCmdSet& c) {
         const Bytes a{0x30, 0x31, 0x7F};
         return c.RxInRAMList(a, outList, 3);
       },
       {"03 00 00 32 30 31 7F EB", kBusy, "00 00 03 35 C8"},
       3},
      {"Rx1kRAMList",
       [](CCmdSet& c) {
         const Bytes a{0x01, 0x00, 0x03, 0xFF};
         return c.Rx1kRAMList(a, outList, 2);
       },
       {"04 00 00 33 01 00 03 FF C6", kBusy, "00 00 02 36 C8"},
       3},
      {"RxExRAMList",
       [](CCmdSet& c) {
         const Bytes a{0x80, 0x00};
         return c.RxExRAMList(a, outList, 1);
       },
       {"02 00 00 34 80 00 4A", kBusy, "00 00 01 37 C8"},
       3},
      {"EraseChip", [](CCmdSet& c) { return c.EraseChip(); }, {"00 00 00 12 EE"}, 1},
      {"TxROMBlock",
       [=](CCmdSet& c) {
         uint8_t code;
         return c.TxROMBlock(code, 0x1000, cblock()) && code == 1;
       },
       {Framed("40 10 00 01", block, "CF")},
       3},
      {"RxROMBlock", [](CCmdSet& c) { return c.RxROMBlock(0xFFC0, out64); }, {"00 FF C0 11 30"}, 1},
      {"RxExRAM", [](CCmdSet& c) { return c.RxExRAM(out64, 0x8000); }, {"00 80 00 2F 51", kBusy, "00 00 00 31 CF"}, 3},
      {"TxExRAM", [=](CCmdSet& c) { return c.TxExRAM(0x8040, cblock()); }, {Framed("40 80 40 30", block, "F0")}, 3},
      {"TxLockBits", [](CCmdSet& c) { return c.TxLockBits(2); }, {"00 02 00 2A D4"}, 1},
      {"RxLockBits",
       [](CCmdSet& c) {
         uint8_t v;
         return c.RxLockBits(v);
       },
       {"00 00 00 2B D5", kBusy, "00 00 00 2C D4"},
       3},
      {"RxSignature", [](CCmdSet& c) { return c.RxSignature(outSig); }, {"00 00 00 2D D3", kBusy, "00 00 00 2E D2"}, 3},
      {"RxVersion",
       [](CCmdSet& c) {
         uint32_t v;
         return c.RxVersion(v);
       },
       {"00 00 00 38 C8"},
       1},
  };
}

TEST_F(CmdSetTest, EveryCommandSendsItsGoldenFramesAndSucceedsOnAHealthyBoard) {
  Bind();
  wire.SetResponder(GoodBoard);
  for (const CommandCase& c : AllCommands()) {
    SCOPED_TRACE(c.name);
    wire.ClearLog();
    EXPECT_TRUE(c.run(cmd));
    EXPECT_THAT(RequestsHex(), ElementsAreArray(c.frames));
    EXPECT_EQ(static_cast<int>(wire.Events("write").size()), c.writes);
  }
}

TEST_F(CmdSetTest, WithoutAPortEveryCommandFailsAtOnce) {
  CCmdSet none(nullptr);
  for (const CommandCase& c : AllCommands()) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(c.run(none));
  }
  // A port whose open failed behaves the same and writes nothing.
  COM_Port closed(1, [](int) { return nullptr; });
  platform::RecordingMessages messages;
  platform::ScopedMessages scope(messages);
  ASSERT_FALSE(closed.OpenPort());
  CCmdSet onClosed(&closed);
  for (const CommandCase& c : AllCommands()) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(c.run(onClosed));
  }
  EXPECT_EQ(wire.BytesWritten(), 0u);
}

// A board that is silent, garbles every reply, answers busy for ever or has
// hung up makes every command fail, each within its bound.
TEST_F(CmdSetTest, EveryCommandFailsWithinItsBoundOnABrokenBoard) {
  Bind();
  struct Fault {
    const char* name;
    FakeWire::Responder responder;
    bool stuckBusy = false;
    bool hangUp = false;
  };
  const std::vector<Fault> faults = {
      {"silent", [](const Bytes&) { return std::vector<Answer>{}; }},
      {"garbling",
       [](const Bytes& rq) {
         auto a = GoodBoard(rq);
         for (auto& x : a) x.bytes = BadSum(x.bytes);
         return a;
       }},
      {"stuck busy",
       [](const Bytes& rq) {
         // 1 ms: a 5-byte answer's time on the line.
         if (rq[3] == icBusyCheck) return std::vector<Answer>{{ShortReply(stBusy), 1}};
         auto a = GoodBoard(rq);
         if (rq[3] == icTxROM) a = {{ShortReply(0x00)}};  // refuses the block
         return a;
       },
       true},
      {"slow busy",
       [](const Bytes& rq) {
         if (rq[3] == icBusyCheck) return std::vector<Answer>{{ShortReply(stBusy), 40}};
         auto a = GoodBoard(rq);
         if (rq[3] == icTxROM) a = {{ShortReply(0x00)}};
         return a;
       },
       true},
      {"hung up", nullptr, false, true},
  };
  // Two busy-check passes of two reads and their pauses, four times over,
  // plus the busy poll's own limit, is the most any command may take.
  const uint32_t bound = CCmdSet::kBusyPollLimitMs + 2000;
  for (const Fault& f : faults) {
    for (const CommandCase& c : AllCommands()) {
      SCOPED_TRACE(std::string(f.name) + " " + c.name);
      wire.SetResponder(f.responder);
      if (f.hangUp) wire.HangUp();
      const uint32_t start = wire.Tick();
      const bool ok = c.run(cmd);
      const uint32_t took = wire.Tick() - start;
      // A board stuck at busy still carries out what needs no poll.
      const bool twoPhase = c.frames.size() == 3;
      const bool expectOk = f.stuckBusy && !twoPhase && c.name != "TxROMBlock";
      EXPECT_EQ(ok, expectOk);
      EXPECT_LE(took, bound);
    }
  }
}

// ---- data taken from replies ---------------------------------------------------

TEST_F(CmdSetTest, DataRepliesAreTakenFromTheirFixedPlaces) {
  Bind();
  wire.SetResponder(GoodBoard);

  std::array<uint8_t, 3> sig{};
  ASSERT_TRUE(cmd.RxSignature(sig));
  EXPECT_THAT(sig, ElementsAre(0x3C, 0x93, 0x0A));  // bytes 1, 2 and 4; 3 is the echo

  uint32_t version = 0;
  ASSERT_TRUE(cmd.RxVersion(version));
  EXPECT_EQ(version, 0x0210u);

  uint8_t lock = 0;
  ASSERT_TRUE(cmd.RxLockBits(lock));
  EXPECT_EQ(lock, 0x5C);

  // A list of 3 reads an 8-byte reply and copies bytes 4 to 6, nothing more.
  std::array<uint8_t, 5> list;
  list.fill(0x11);
  const Bytes addresses{0x30, 0x31, 0x7F};
  wire.ClearLog();
  ASSERT_TRUE(cmd.RxInRAMList(addresses, list, 3));
  EXPECT_THAT(list, ElementsAre(0xA0, 0xA1, 0xA2, 0x11, 0x11));
  EXPECT_EQ(wire.Events("read").back(), "read 8:8");

  // The SFR fetch reads SFRCount + 5 = 63 bytes and copies 58.
  std::array<uint8_t, 58> sfr{};
  wire.ClearLog();
  ASSERT_TRUE(cmd.RxSFR(sfr));
  EXPECT_EQ(wire.Events("read").back(), "read 63:63");
  EXPECT_EQ(sfr[0], 0xA0);
  EXPECT_EQ(sfr[57], 0xA0 + 57);

  std::array<uint8_t, 64> block{};
  ASSERT_TRUE(cmd.RxROMBlock(0, block));
  EXPECT_EQ(block[63], 0xA0 + 63);
}

// ---- reply checks --------------------------------------------------------------

TEST_F(CmdSetTest, CheckSumAndCheckReply) {
  Bind();
  const uint8_t header[4] = {0, 0, 0, icReset};
  cmd.SaveHeader(header);
  const Bytes good = ShortReply(icReset);
  EXPECT_TRUE(cmd.CheckSum(good.data(), good.size()));
  EXPECT_TRUE(cmd.CheckReply(good.data(), good.size()));

  const Bytes otherCode = ShortReply(icRun);
  EXPECT_TRUE(cmd.CheckSum(otherCode.data(), otherCode.size()));
  EXPECT_FALSE(cmd.CheckReply(otherCode.data(), otherCode.size()));

  const Bytes badSum = BadSum(good);
  EXPECT_FALSE(cmd.CheckSum(badSum.data(), badSum.size()));
  EXPECT_FALSE(cmd.CheckReply(badSum.data(), badSum.size()));

  EXPECT_FALSE(cmd.CheckSum(good.data(), 0));
  EXPECT_FALSE(cmd.CheckReply(good.data(), 0));
  // Too short to hold a Code, even with a consistent checksum.
  const Bytes tiny{0x00, 0x00};
  EXPECT_TRUE(cmd.CheckSum(tiny.data(), tiny.size()));
  EXPECT_FALSE(cmd.CheckReply(tiny.data(), tiny.size()));
}

// Replies that must never pass as data: each leaves the caller's buffer alone.
TEST_F(CmdSetTest, OnlyAWholeReplyWithTheEchoAndAGoodChecksumIsTaken) {
  Bind();
  const Bytes good = DataReply(icFetchInRAM, Bytes(64, 0x77));
  Bytes truncated(good.begin(), good.begin() + 40);
  const struct {
    const char* name;
    Bytes reply;
  } cases[] = {
      // Self-consistent but short: a 5-byte frame with the fetch's Code.
      {"short but consistent", ShortReply(icFetchInRAM)},
      {"truncated", truncated},
      {"bad checksum", BadSum(good)},
      {"other code", DataReply(icFetch1kRAM, Bytes(64, 0x77))},
      {"busy answer", ShortReply(stBusy)},
      {"nothing", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::array<uint8_t, 64> out;
    out.fill(0xEE);
    wire.ClearLog();
    wire.Queue(Answer{c.reply});
    EXPECT_FALSE(cmd.FetchInRAM(out));
    EXPECT_EQ(out, Filled(0xEE));
  }
  // After a good reply filled the buffer once, a reply that stops short is
  // still not judged over what the good one left behind.
  std::array<uint8_t, 64> out{};
  wire.Queue(Answer{good});
  ASSERT_TRUE(cmd.FetchInRAM(out));
  Bytes prefix(good.begin(), good.begin() + 68);
  wire.Queue(Answer{prefix});
  out.fill(0);
  EXPECT_FALSE(cmd.FetchInRAM(out));
  EXPECT_EQ(out, Filled(0));
}

TEST_F(CmdSetTest, BusyCheckTakesOnlyBusyOrReadyWithAGoodChecksum) {
  Bind();
  // A good checksum with status 13 is not taken; the second read brings 12.
  wire.Queue(Answer{[] {
    Bytes b = ShortReply(13);
    const Bytes busy = ShortReply(stBusy);
    b.insert(b.end(), busy.begin(), busy.end());
    return b;
  }()});
  uint8_t status = 0;
  ASSERT_TRUE(cmd.BusyCheck(status));
  EXPECT_EQ(status, stBusy);
  EXPECT_THAT(wire.Events(), ElementsAre(kLook, "purge rx", "write 00 00 00 0C F4", "read 5:5", "read 5:5"));

  wire.ClearLog();
  wire.Queue(ShortReply(stReady));
  ASSERT_TRUE(cmd.BusyCheck(status));
  EXPECT_EQ(status, stReady);

  // A ready answer with a bad checksum is no answer.
  wire.ClearLog();
  wire.Queue(BadSum(ShortReply(stReady)));
  wire.Queue(BadSum(ShortReply(stReady)));
  EXPECT_FALSE(cmd.BusyCheck(status));
}

TEST_F(CmdSetTest, BusyCheckAndProgramBlocksLeaveLastHeaderAlone) {
  Bind();
  wire.SetResponder(GoodBoard);
  ASSERT_TRUE(cmd.StopICE());
  const auto before = cmd.LastHeader();
  EXPECT_EQ(before[3], icStop);
  uint8_t status, code;
  ASSERT_TRUE(cmd.BusyCheck(status));
  const Bytes block(64, 0x12);
  ASSERT_TRUE(cmd.TxROMBlock(code, 0x0040, CCmdSet::ConstBlock(block.data(), 64)));
  EXPECT_EQ(cmd.LastHeader(), before);
  // Two-phase reads leave the fetch's header.
  std::array<uint8_t, 64> out;
  ASSERT_TRUE(cmd.Rx1kRAM(out, 0x0100));
  EXPECT_EQ(cmd.LastHeader()[3], icFetch1kRAM);
}

// ---- exchange patterns, step by step ------------------------------------------

TEST_F(CmdSetTest, RepeatedExchangeTriesAndPauses) {
  Bind();
  // Run: two tries, no pause.
  EXPECT_FALSE(cmd.RunICE());
  // The silent read already showed the line quiet for a reply time, so the
  // second try only looks before it sends.
  EXPECT_THAT(wire.Events(), ElementsAre(kLook, "purge rx", "write 00 00 00 02 FE", "read 5:0", kLook, "purge rx",
                                         "write 00 00 00 02 FE", "read 5:0"));
  EXPECT_EQ(wire.Tick(), 2u * 105u);

  // Clear breakpoints: a 10 ms pause after each failed try.
  wire.ClearLog();
  EXPECT_FALSE(cmd.ClearBrkPnt());
  EXPECT_THAT(wire.Events(), ElementsAre(kLook, "purge rx", "write 00 00 00 10 F0", "read 5:0", "pause 10", kLook,
                                         "purge rx", "write 00 00 00 10 F0", "read 5:0", "pause 10"));

  // Lock bits: three tries; the second succeeds.
  wire.ClearLog();
  wire.QueueSilence();
  wire.Queue(ShortReply(icTxLockBits));
  EXPECT_TRUE(cmd.TxLockBits(0));
  EXPECT_EQ(wire.Requests().size(), 2u);

  // A try whose send failed still counts; nothing is read.
  wire.ClearLog();
  wire.FailWrites(true);
  EXPECT_FALSE(cmd.ResetICE());
  EXPECT_EQ(wire.Events("write").size(), 3u);
  EXPECT_TRUE(ReplyReads().empty());
  wire.FailWrites(false);

  // Code memory read: two tries with a pause after each failure.
  wire.ClearLog();
  std::array<uint8_t, 64> out{};
  EXPECT_FALSE(cmd.RxROMBlock(0x0000, out));
  EXPECT_EQ(wire.Events("pause").size(), 2u);
  EXPECT_EQ(ReplyReads().front(), "read 69:0");
}

TEST_F(CmdSetTest, ResetDiscardsInputBeforeEachSendAndAfterABadReply) {
  Bind();
  wire.Queue(BadSum(ShortReply(icReset)));
  wire.Queue(ShortReply(icReset));
  EXPECT_TRUE(cmd.ResetICE());
  // After the bad reply: purged, then the line must stay quiet for a reply
  // time before the second try; the reply to that one must come alone.
  EXPECT_THAT(wire.Events(), ElementsAre(kLook, "purge rx", "write 00 00 00 05 FB", "read 5:5", "purge rx", kLook,
                                         "purge rx", "write 00 00 00 05 FB", "read 5:5", kLook));
  EXPECT_EQ(wire.Tick(), 2u * 105u);
}

TEST_F(CmdSetTest, SingleSendReadsTwiceAndCatchesALateReply) {
  Bind();
  // The reply comes 150 ms late: after the first read's 105 ms, within the second's.
  wire.Queue(Answer{ShortReply(icStep), 150});
  EXPECT_TRUE(cmd.StepICE());
  EXPECT_THAT(wire.Events(), ElementsAre(kLook, "purge rx", "write 00 00 00 13 ED", "read 5:0", "read 5:5"));

  // That exchange timed out once: before the next, the line must be quiet
  // for a reply time (105 ms from the reply).
  wire.ClearLog();
  const uint32_t start = wire.Tick();
  EXPECT_FALSE(cmd.StepICE());
  EXPECT_THAT(wire.Events(), ElementsAre(kLook, "purge rx", "write 00 00 00 13 ED", "read 5:0", "read 5:0"));
  EXPECT_EQ(wire.Tick() - start, 105u + 2 * 105u);

  // A failed send reads nothing.
  wire.ClearLog();
  wire.FailWrites(true);
  EXPECT_FALSE(cmd.StepICE());
  EXPECT_THAT(wire.Events(), ElementsAre(kLook, "purge rx", "write failed"));
}

TEST_F(CmdSetTest, ALateReplyLeftOnTheLineNeverAnswersTheNextRequest) {
  Bind();
  // The halted answer to an earlier poll arrives after that poll gave up...
  wire.Queue(Answer{ShortReply(stReady), 900});
  uint8_t status = 0;
  EXPECT_FALSE(cmd.BusyCheck(status));
  // ...and is on the line when the next poll asks: it must not be taken for
  // the answer to that poll.
  wire.Sleep(1000);
  wire.Queue(ShortReply(stBusy));
  ASSERT_TRUE(cmd.BusyCheck(status));
  EXPECT_EQ(status, stBusy);
}

TEST_F(CmdSetTest, BlockSendWritesInThreePartsAndPausesAfterAFailure) {
  Bind();
  const Bytes block = Pattern64();
  EXPECT_FALSE(cmd.TxInRAM(0x0000, CCmdSet::ConstBlock(block.data(), 64)));
  EXPECT_THAT(wire.Events(), ElementsAre(kLook, "purge rx", "write 40 00 00 08", "write " + Hex(block), "write D8",
                                         "read 5:0", "read 5:0", "pause 10"));

  // The one-byte 1 KB write: 01 01 23 0A 5A 77, then the 5-byte reply.
  wire.ClearLog();
  wire.Queue(ShortReply(icTx1kRAM));
  EXPECT_TRUE(cmd.Tx1kByte(0x0123, 0x5A));
  EXPECT_THAT(wire.Events(),
              ElementsAre(kLook, "purge rx", "write 01 01 23 0A", "write 5A", "write 77", "read 5:5", kLook));

  // A failed header write skips the rest and the reads, then pauses.
  wire.ClearLog();
  wire.FailWrites(true);
  EXPECT_FALSE(cmd.Tx1kByte(0x0123, 0x5A));
  EXPECT_THAT(wire.Events(), ElementsAre(kLook, "purge rx", "write failed", "pause 10"));
}

TEST_F(CmdSetTest, BreakpointTablePausesAfterSuccessToo) {
  Bind();
  const std::array<BreakPointRec, 2> bps{};
  wire.Queue(ShortReply(icTxBrkPnt));
  EXPECT_TRUE(cmd.TxBrkPnt(bps, 2));
  EXPECT_EQ(wire.Events().back(), "pause 10");
  wire.ClearLog();
  EXPECT_FALSE(cmd.TxBrkPnt(bps, 2));
  EXPECT_EQ(wire.Events("pause").size(), 1u);
  // Pass count 254 travels as 255; an enabled flag of any value as 1.
  wire.ClearLog();
  const std::array<BreakPointRec, 2> odd = {BreakPointRec{0xABCD, 7, 254}, BreakPointRec{0x10000, 0, 0}};
  wire.Queue(ShortReply(icTxBrkPnt));
  EXPECT_TRUE(cmd.TxBrkPnt(odd, 2));
  EXPECT_EQ(Hex(wire.Requests().at(0)), "08 00 00 0B AB CD 01 FF 00 00 00 01 74");
}

// The IDE polls the busy check every 30 ms while the target runs: on a dead
// link each poll may hold the GUI for its own reads only, about 100 ms.
TEST_F(CmdSetTest, BusyCheckMakesTwoPassesOfTwoShortReads) {
  Bind();
  uint8_t status = 0;
  EXPECT_FALSE(cmd.BusyCheck(status));
  EXPECT_THAT(wire.Events(), ElementsAre(kLook, "purge rx", "write " + kBusy, "read 5:0", "read 5:0", "pause 10", kLook,
                                         "purge rx", "write " + kBusy, "read 5:0", "read 5:0", "pause 10"));
  EXPECT_EQ(wire.Tick(), 4 * CCmdSet::kBusyReadMs + 20u);
  EXPECT_LE(wire.Tick(), 100u);
  // Poll after poll, the silence already heard is quiet enough to send again.
  for (int poll = 0; poll < 20; ++poll) {
    wire.Sleep(30);
    const uint32_t start = wire.Tick();
    EXPECT_FALSE(cmd.BusyCheck(status));
    EXPECT_LE(wire.Tick() - start, 100u);
  }
  // A live board's answer fits a short read: 5 bytes take under 1 ms at
  // 57600 baud; one that needs up to twice the read is still taken.
  for (uint32_t delay : {1u, CCmdSet::kBusyReadMs, 2 * CCmdSet::kBusyReadMs}) {
    SCOPED_TRACE(delay);
    wire.Sleep(200);
    wire.ClearLog();
    wire.Queue(Answer{ShortReply(stBusy), delay});
    ASSERT_TRUE(cmd.BusyCheck(status));
    EXPECT_EQ(status, stBusy);
    EXPECT_EQ(wire.Requests().size(), 1u);  // within the first pass
  }
}

TEST_F(CmdSetTest, ProgramBlockHandsBackTheCodeAndPurgesAfterAnyFailure) {
  Bind();
  const Bytes block = Pattern64();
  const CCmdSet::ConstBlock b(block.data(), 64);
  const struct {
    const char* name;
    Bytes reply;
    bool result;
    uint8_t code;
    bool purged;
  } cases[] = {
      {"accepted", ShortReply(1), true, 1, false},
      {"busy", ShortReply(stBusy), true, stBusy, true},
      {"ready", ShortReply(stReady), true, stReady, true},
      {"error code", ShortReply(0x00), true, 0x00, true},
      {"bad checksum", BadSum(ShortReply(1)), false, 0xFF, true},
      {"short", {0x00, 0x00, 0x00}, false, 0xFF, true},
      {"silent", {}, false, 0xFF, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    wire.ClearLog();
    wire.Queue(Answer{c.reply});
    uint8_t code = 0x42;
    EXPECT_EQ(cmd.TxROMBlock(code, 0x1000, b), c.result);
    EXPECT_EQ(code, c.code);
    const auto ev = wire.Events();
    EXPECT_EQ(ev.back() == "purge rx", c.purged);
    EXPECT_EQ(ReplyReads().size(), 1u);  // one read only
  }
}

TEST_F(CmdSetTest, TwoPhaseReadPollsUntilReady) {
  Bind();
  int busyAnswers = 0;
  wire.SetResponder([&](const Bytes& rq) {
    if (rq[3] == icBusyCheck && busyAnswers < 3) {
      ++busyAnswers;
      return std::vector<Answer>{{ShortReply(stBusy)}};
    }
    return GoodBoard(rq);
  });
  std::array<uint8_t, 64> out{};
  ASSERT_TRUE(cmd.RxInRAM(out, 0x80));
  EXPECT_THAT(RequestsHex(), ElementsAre("00 00 80 07 79", kBusy, kBusy, kBusy, kBusy, "00 00 00 23 DD"));
  EXPECT_TRUE(wire.Events("pause").empty());  // busy answers poll again at once
  EXPECT_EQ(out[0], 0xA0);
}

TEST_F(CmdSetTest, TwoPhaseReadFailsWithoutFetchingWhenTheRequestOrAPollFails) {
  Bind();
  std::array<uint8_t, 64> out{};
  // The request is not answered.
  EXPECT_FALSE(cmd.Rx1kRAM(out, 0x0000));
  EXPECT_EQ(wire.Requests().size(), 1u);
  // The poll is not answered.
  wire.ClearLog();
  wire.SetResponder([](const Bytes& rq) { return rq[3] == icBusyCheck ? std::vector<Answer>{} : GoodBoard(rq); });
  EXPECT_FALSE(cmd.Rx1kRAM(out, 0x0000));
  for (const auto& rq : wire.Requests()) EXPECT_NE(rq[3], icFetch1kRAM);
}

// The poll's bound is time: a fast line brings thousands of busy answers
// before a board that needs a little longer (after a reset, or preparing a
// list) is ready, and none of them may end the read.
TEST_F(CmdSetTest, TheBusyPollIsBoundedByTimeNotByItsAnswers) {
  Bind();
  int polls = 0;
  int busyFor = 1500;
  // Each answer takes 1 ms on the line.
  wire.SetResponder([&](const Bytes& rq) {
    if (rq[3] != icBusyCheck) return GoodBoard(rq);
    return std::vector<Answer>{{ShortReply(++polls <= busyFor ? stBusy : stReady), 1}};
  });
  std::array<uint8_t, 58> sfr{};
  ASSERT_TRUE(cmd.RxSFR(sfr));
  EXPECT_EQ(polls, busyFor + 1);
  EXPECT_EQ(wire.Requests().back()[3], icFetchSFR);

  // A board stuck at busy: the read gives up once the limit has passed.
  wire.ClearLog();
  polls = 0;
  busyFor = 1 << 30;
  uint32_t start = wire.Tick();
  EXPECT_FALSE(cmd.RxSFR(sfr));
  uint32_t took = wire.Tick() - start;
  EXPECT_GE(took, CCmdSet::kBusyPollLimitMs);
  EXPECT_LT(took, CCmdSet::kBusyPollLimitMs + 100);
  EXPECT_NE(wire.Requests().back()[3], icFetchSFR);

  // Slow busy answers: the same bound.
  wire.ClearLog();
  wire.SetResponder([](const Bytes& rq) {
    return rq[3] == icBusyCheck ? std::vector<Answer>{{ShortReply(stBusy), 15}} : GoodBoard(rq);
  });
  start = wire.Tick();
  EXPECT_FALSE(cmd.RxSFR(sfr));
  took = wire.Tick() - start;
  EXPECT_GE(took, CCmdSet::kBusyPollLimitMs);
  EXPECT_LT(took, CCmdSet::kBusyPollLimitMs + 100);
}

// ---- counts against the frame and the caller's buffers --------------------------

TEST_F(CmdSetTest, OversizedRequestsAreRefusedWithoutSending) {
  Bind();
  wire.SetResponder(GoodBoard);
  const std::vector<BreakPointRec> bp2(2), bp64(64);
  const Bytes big(256, 0), addr300(300, 0);
  std::array<uint8_t, 16> out16;
  std::vector<uint8_t> out300(300);
  const struct {
    const char* name;
    std::function<bool()> run;
  } cases[] = {
      {"more breakpoints than the table", [&] { return cmd.TxBrkPnt(bp2, 3); }},
      {"breakpoints beyond the length byte", [&] { return cmd.TxBrkPnt(bp64, 64); }},
      {"SFR block beyond the length byte", [&] { return cmd.TxSFR(big); }},
      {"internal list beyond the length byte", [&] { return cmd.RxInRAMList(addr300, out300, 256); }},
      {"internal list longer than the addresses", [&] { return cmd.RxInRAMList(Bytes(3), out16, 4); }},
      {"internal list longer than the output", [&] { return cmd.RxInRAMList(Bytes(20), out16, 17); }},
      {"1 KB list beyond the length byte", [&] { return cmd.Rx1kRAMList(addr300, out300, 128); }},
      {"1 KB list longer than the addresses", [&] { return cmd.Rx1kRAMList(Bytes(5), out16, 3); }},
      {"external list longer than the output", [&] { return cmd.RxExRAMList(Bytes(40), out16, 17); }},
      {"list fetch beyond the length byte", [&] { return cmd.FetchInRAMList(out300, 256); }},
      {"list fetch longer than the output", [&] { return cmd.FetchExRAMList(out16, 17); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(c.run());
  }
  EXPECT_EQ(wire.BytesWritten(), 0u);

  // The largest lists that fit are sent.
  const Bytes addr254(254, 0x20);
  EXPECT_TRUE(cmd.Rx1kRAMList(addr254, out300, 127));
  EXPECT_TRUE(cmd.RxInRAMList(addr300, out300, 255));
  EXPECT_EQ(wire.Requests().back()[2], 255);
}

}  // namespace
}  // namespace vx930
