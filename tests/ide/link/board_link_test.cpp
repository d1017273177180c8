// The command set and the download against the simulated board, in process,
// on virtual time: what the commands do to the board, and how they live
// through the board's injected faults.
#include <QDialog>
#include <algorithm>
#include <array>
#include <chrono>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ide/image/hex_decoder.h"
#include "ide/link/cmd_set.h"
#include "ide/link/load_progress_form.h"
#include "ide/link/tx_rom.h"
#include "platform/clock.h"
#include "platform/messages.h"
#include "sim/ice/board.h"
#include "tests/ide/link/board_link.h"
#include "tests/support/test_app.h"

namespace vx930 {
namespace {

using sim::ice::FaultKind;
using sim::ice::FaultRule;
using ::testing::ElementsAre;

class BoardLinkTest : public ::testing::Test {
protected:
  int Requests(uint8_t code) {
    int n = 0;
    for (const auto& e : board.Log().Entries())
      n += e.direction == sim::ice::Direction::HostToBoard && e.bytes.size() > 3 && e.bytes[3] == code;
    return n;
  }
  bool Download(const CodeImage& image) {
    if (!cmd.EraseChip()) return false;
    TTxROM rom(cmd, image);
    rom.Execute();
    return rom.GetSuccess();
  }
  CodeImage BoardCode() {
    CodeImage code;
    board.Access([&](sim::ice::Memories& m, sim::ice::Core8051&) { code = m.code; });
    return code;
  }

  platform::VirtualClock clock;
  platform::ScopedClock useClock{clock};
  sim::ice::Board board;
  COM_Port port{1, testing::BoardLink::Opener(board)};
  CCmdSet cmd{&port};
  void SetUp() override { ASSERT_TRUE(port.OpenPort()); }
};

TEST_F(BoardLinkTest, DownloadOfAHexProgramLeavesExactlyTheImageInCodeMemory) {
  auto image = std::make_unique<CodeImage>();
  CDecodeHex decoder(image.get());
  ASSERT_TRUE(decoder.LoadHexFile(VX_FIXTURES_DIR "/sdcc/control.ihx"));
  // Whatever code memory held before must not survive where the image is blank.
  board.Access([](sim::ice::Memories& m, sim::ice::Core8051&) { m.code.fill(0x5A); });

  ASSERT_TRUE(Download(*image));
  EXPECT_TRUE(BoardCode() == *image);
  // Read back through the command set as well.
  std::array<uint8_t, 64> block;
  for (uint32_t a = 0; a < 0x10000; a += 64) {
    ASSERT_TRUE(cmd.RxROMBlock(static_cast<uint16_t>(a), block)) << a;
    ASSERT_TRUE(std::equal(block.begin(), block.end(), image->begin() + a)) << a;
  }
}

TEST_F(BoardLinkTest, AFullRandomImageSurvivesBlockFailuresOnTheWay) {
  auto image = std::make_unique<CodeImage>();
  std::mt19937 rng(930);
  std::generate(image->begin(), image->end(), [&] { return static_cast<uint8_t>(rng()); });
  // A lost block reply, a refused block, a ready answer that rewinds.
  board.AddFault({FaultKind::NoReply, icTxROM, 5, 1, {}});
  board.AddFault({FaultKind::FailBlock, icTxROM, 100, 1, 0x00});
  board.AddFault({FaultKind::FailBlock, icTxROM, 300, 1, stReady});
  ASSERT_TRUE(Download(*image));
  EXPECT_TRUE(BoardCode() == *image);
  EXPECT_GT(Requests(icTxROM), 1024);
}

TEST_F(BoardLinkTest, MemoryWritesReadBackThroughEveryRead) {
  std::array<uint8_t, 64> data, back;
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(0x40 + i * 5);

  ASSERT_TRUE(cmd.TxInRAM(0x0080, data));
  ASSERT_TRUE(cmd.RxInRAM(back, 0x80));
  EXPECT_EQ(back, data);

  ASSERT_TRUE(cmd.Tx1kRAM(0x03C0, data));
  ASSERT_TRUE(cmd.Rx1kRAM(back, 0x03C0));
  EXPECT_EQ(back, data);
  ASSERT_TRUE(cmd.Tx1kByte(0x03C1, 0xA5));
  ASSERT_TRUE(cmd.Rx1kRAM(back, 0x03C0));
  EXPECT_EQ(back[1], 0xA5);

  ASSERT_TRUE(cmd.TxExRAM(0x8040, data));
  ASSERT_TRUE(cmd.RxExRAM(back, 0x8040));
  EXPECT_EQ(back, data);

  // Scattered reads give the listed bytes in list order.
  std::array<uint8_t, 3> list{};
  ASSERT_TRUE(cmd.RxInRAMList(std::vector<uint8_t>{0x82, 0x80, 0xBF}, list, 3));
  EXPECT_THAT(list, ElementsAre(data[2], data[0], data[63]));
  ASSERT_TRUE(cmd.Rx1kRAMList(std::vector<uint8_t>{0x03, 0xC1, 0x03, 0xC0}, list, 2));
  EXPECT_EQ(list[0], 0xA5);
  EXPECT_EQ(list[1], data[0]);
  ASSERT_TRUE(cmd.RxExRAMList(std::vector<uint8_t>{0x80, 0x7F, 0x80, 0x40}, list, 2));
  EXPECT_EQ(list[1], data[0]);
}

TEST_F(BoardLinkTest, SfrBlockAndBreakpointsReachTheBoard) {
  std::array<uint8_t, 58> sfr{};
  ASSERT_TRUE(cmd.ResetICE());
  ASSERT_TRUE(cmd.RxSFR(sfr));
  EXPECT_EQ(sfr[kSfrIndexSP], 0x07);  // power-on stack pointer
  sfr[SFRImageIndex(0xE0)] = 0x3C;  // ACC
  ASSERT_TRUE(cmd.TxSFR(sfr));
  std::array<uint8_t, 58> again{};
  ASSERT_TRUE(cmd.RxSFR(again));
  EXPECT_EQ(again, sfr);

  const std::array<BreakPointRec, 2> bps = {BreakPointRec{0x1234, 1, 0}, BreakPointRec{0x0040, 0, 254}};
  ASSERT_TRUE(cmd.TxBrkPnt(bps, BreakPointCount));
  EXPECT_EQ(board.GetBreakpoint(0), (sim::ice::Breakpoint{0x1234, true, 1}));
  EXPECT_EQ(board.GetBreakpoint(1), (sim::ice::Breakpoint{0x0040, false, 255}));
  ASSERT_TRUE(cmd.ClearBrkPnt());
  EXPECT_FALSE(board.GetBreakpoint(0).enabled);
}

TEST_F(BoardLinkTest, RunStepAndStopDriveTheTarget) {
  // 0000: SJMP 0000 (an endless loop)
  board.LoadCode(0x0000, {0x80, 0xFE});
  ASSERT_TRUE(cmd.ResetICE());
  ASSERT_TRUE(cmd.RunICE());
  uint8_t status = 0;
  ASSERT_TRUE(cmd.BusyCheck(status));
  EXPECT_EQ(status, stBusy);
  ASSERT_TRUE(cmd.StopICE());
  ASSERT_TRUE(cmd.BusyCheck(status));
  EXPECT_EQ(status, stReady);

  // 0100: NOP; NOP
  board.LoadCode(0x0100, {0x00, 0x00});
  board.SetPc(0x0100);
  ASSERT_TRUE(cmd.StepICE());
  ASSERT_TRUE(cmd.BusyCheck(status));
  EXPECT_EQ(status, stReady);
  EXPECT_EQ(board.Pc(), 0x0101);
  ASSERT_TRUE(cmd.RunRange(0x0102, 0x01FF));
}

TEST_F(BoardLinkTest, IdentityAndLockBits) {
  uint32_t version = 0;
  ASSERT_TRUE(cmd.RxVersion(version));
  EXPECT_EQ(version, 0x0210u);
  std::array<uint8_t, 3> sig{};
  ASSERT_TRUE(cmd.RxSignature(sig));
  EXPECT_THAT(sig, ElementsAre(0x3C, 0x93, 0x0A));
  uint8_t lock = 0;
  ASSERT_TRUE(cmd.RxLockBits(lock));
  EXPECT_EQ(lock, 0xFF);
  ASSERT_TRUE(cmd.TxLockBits(2));
  ASSERT_TRUE(cmd.RxLockBits(lock));
  EXPECT_EQ(lock, board.LockBits());
  EXPECT_NE(lock, 0xFF);
}

// Injected faults: what recovers within a command's own tries, and what
// fails it within its bound.
TEST_F(BoardLinkTest, FaultsRecoverOrFailWithinTheirBounds) {
  std::array<uint8_t, 64> block{};
  std::array<uint8_t, 58> sfr{};
  const struct {
    const char* name;
    FaultRule rule;
    std::function<bool()> run;
    bool ok;
  } cases[] = {
      {"reset: bad checksum once, the second try passes",
       {FaultKind::BadChecksum, icReset, 1, 1, {}},
       [&] { return cmd.ResetICE(); },
       true},
      {"step: reply 150 ms late, caught by the second read",
       {FaultKind::Late, icStep, 1, 1, 150},
       [&] { return cmd.StepICE(); },
       true},
      {"step: reply 400 ms late, too late for both reads",
       {FaultKind::Late, icStep, 1, 1, 400},
       [&] { return cmd.StepICE(); },
       false},
      {"stop: a stray byte before the reply, the second try is clean",
       {FaultKind::StrayByte, icStop, 1, 1, {}},
       [&] { return cmd.StopICE(); },
       true},
      {"run: wrong code every time", {FaultKind::WrongCode, icRun, 1, 0, {}}, [&] { return cmd.RunICE(); }, false},
      {"fetch: short reply",
       {FaultKind::ShortReply, icFetchInRAM, 1, 0, {}},
       [&] { return cmd.RxInRAM(block, 0); },
       false},
      {"busy for ever", {FaultKind::Busy, std::nullopt, 1, 0, {}}, [&] { return cmd.RxSFR(sfr); }, false},
      {"silent", {FaultKind::NoReply, std::nullopt, 1, 0, {}}, [&] { return cmd.Rx1kRAM(block, 0); }, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    board.ClearFaults();
    board.AddFault(c.rule);
    block.fill(0xEE);
    const uint32_t start = clock.Tick();
    EXPECT_EQ(c.run(), c.ok);
    EXPECT_LE(clock.Tick() - start, CCmdSet::kBusyPollLimitMs + 1000);
    if (!c.ok) {
      EXPECT_EQ(block[0], 0xEE);  // nothing taken from a failed read
    }
    // Let late bytes of this case drain before the next.
    clock.Advance(1000);
    board.HostReadAll();
  }
}

TEST_F(BoardLinkTest, AHungUpBoardFailsEveryCommandAtOnce) {
  board.AddFault({FaultKind::HangUp, std::nullopt, 1, 0, {}});
  EXPECT_FALSE(cmd.ResetICE());
  const uint32_t start = clock.Tick();
  std::array<uint8_t, 58> sfr{};
  EXPECT_FALSE(cmd.RxSFR(sfr));
  EXPECT_FALSE(cmd.RunICE());
  uint8_t status;
  EXPECT_FALSE(cmd.BusyCheck(status));
  EXPECT_LE(clock.Tick() - start, 200u);
}

// ---- a reply answers its own request ---------------------------------------------

// One board on its own link, for tables of fault cases.
struct Rig {
  Rig() { EXPECT_TRUE(port.OpenPort()); }
  CodeImage Code() {
    CodeImage code;
    board.Access([&](sim::ice::Memories& m, sim::ice::Core8051&) { code = m.code; });
    return code;
  }

  sim::ice::Board board;
  COM_Port port{1, testing::BoardLink::Opener(board)};
  CCmdSet cmd{&port};
};

// The reply to the n-th frame of a command comes late; one of the frames just
// after it meets another fault: refused (Code 12), not answered at all, or
// answered with a spoiled checksum.
struct LateCase {
  std::string name;
  FaultRule late, then;
};

std::vector<LateCase> LateCases(uint8_t command, uint32_t n, FaultRule refused) {
  std::vector<LateCase> cases;
  const struct {
    const char* name;
    FaultRule rule;
  } thens[] = {
      {"refused", refused},
      {"dropped", {FaultKind::NoReply, command, 0, 1, {}}},
      {"bad checksum", {FaultKind::BadChecksum, command, 0, 1, {}}},
  };
  for (uint32_t delay : {150u, 300u, 600u})
    for (const auto& t : thens)
      for (uint32_t after = 1; after <= 4; ++after) {
        FaultRule then = t.rule;
        then.command = command;
        then.first = n + after;
        cases.push_back({std::to_string(delay) + " ms late, then frame +" + std::to_string(after) + " " + t.name,
                         {FaultKind::Late, command, n, 1, delay},
                         then});
      }
  return cases;
}

template <typename F>
bool WaitFor(F done) {
  for (int i = 0; i < 20000 && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return done();
}

// Seen on a board: one program block answered 300 ms late and the block after
// it refused. The late reply and the replies to the block's retries, taken as
// the answers to the next blocks, let the download report success over a
// block that was never written.
TEST_F(BoardLinkTest, ADownloadStoresEveryBlockOrFailsWithItsMessage) {
  testing::TestApp();
  auto image = std::make_unique<CodeImage>();
  image->fill(0xFF);
  std::mt19937 rng(1102);
  std::generate_n(image->begin(), 24 * 64, [&] { return static_cast<uint8_t>(rng()); });

  int stored = 0, failed = 0;
  for (const LateCase& c : LateCases(icTxROM, 6, {FaultKind::FailBlock, icTxROM, 0, 1, stBusy})) {
    SCOPED_TRACE(c.name);
    Rig rig;
    rig.board.AddFault(c.late);
    rig.board.AddFault(c.then);
    platform::RecordingMessages messages;
    platform::ScopedMessages useMessages(messages);
    std::optional<int> result;
    {
      TLoadProgressForm form(&rig.cmd, *image);
      QObject::connect(&form, &QDialog::finished, [&](int r) { result = r; });
      ASSERT_TRUE(form.TxROMThread());
      ASSERT_TRUE(WaitFor([&] { return form.TxROMThread()->IsFinished(); }));
      form.Timer1Timer();
      if (!result) form.Timer1Timer();
    }
    ASSERT_TRUE(result);
    // A reply 150 ms late and one more fault are within the download's own
    // retries; later ones may cost it its three errors.
    if (*c.late.arg <= 150) {
      EXPECT_EQ(*result, QDialog::Accepted);
    }
    if (*result == QDialog::Accepted) {
      ++stored;
      EXPECT_TRUE(messages.Shown().empty());
      const CodeImage code = rig.Code();
      for (uint32_t a = 0; a < 0x10000; a += 64)
        EXPECT_TRUE(std::equal(image->begin() + a, image->begin() + a + 64, code.begin() + a))
            << "block " << a << " differs after a download reported complete";
      // Read back through the command set, on a line that has settled.
      rig.board.ClearFaults();
      std::array<uint8_t, 64> block;
      for (uint32_t a = 0; a < 24 * 64; a += 64) {
        ASSERT_TRUE(rig.cmd.RxROMBlock(static_cast<uint16_t>(a), block)) << a;
        EXPECT_TRUE(std::equal(block.begin(), block.end(), image->begin() + a)) << a;
      }
    } else {
      ++failed;
      ASSERT_EQ(messages.Shown().size(), 1u);
      EXPECT_EQ(messages.Shown()[0].text, "Download Program Failed !! Please Check Link ");
    }
  }
  EXPECT_GT(stored, 0);
  EXPECT_GT(failed, 0);
}

// The same for reads: a read that reports success holds the block asked for,
// never the one before it. A failed read is tried again, as the IDE does.
TEST_F(BoardLinkTest, ABlockReadNeverReturnsAnotherBlocksData) {
  auto image = std::make_unique<CodeImage>();
  std::mt19937 rng(1103);
  std::generate(image->begin(), image->end(), [&] { return static_cast<uint8_t>(rng()); });
  const struct {
    const char* name;
    uint8_t command;  // the reply that comes late
    std::function<bool(CCmdSet&, uint16_t, CCmdSet::Block)> read;
    uint32_t framesPerRead;
  } reads[] = {
      {"code memory", icRxROM, [](CCmdSet& c, uint16_t a, CCmdSet::Block out) { return c.RxROMBlock(a, out); }, 1},
      {"external RAM", icFetchExRAM, [](CCmdSet& c, uint16_t a, CCmdSet::Block out) { return c.RxExRAM(out, a); }, 1},
      {"1 KB RAM", icFetch1kRAM,
       [](CCmdSet& c, uint16_t a, CCmdSet::Block out) { return c.Rx1kRAM(out, static_cast<uint16_t>(a & 0x3FF)); }, 1},
  };
  int good = 0, bad = 0;
  for (const auto& r : reads) {
    for (int tries : {1, 3}) {
      for (const LateCase& c : LateCases(r.command, 4, {FaultKind::WrongCode, r.command, 0, 1, stBusy})) {
        SCOPED_TRACE(std::string(r.name) + ": " + c.name + ", tries " + std::to_string(tries));
        Rig rig;
        rig.board.Access([&](sim::ice::Memories& m, sim::ice::Core8051&) {
          m.code = *image;
          std::copy(image->begin(), image->end(), m.xram.begin());
          std::copy_n(image->begin(), m.ram1k.size(), m.ram1k.begin());
        });
        rig.board.AddFault(c.late);
        rig.board.AddFault(c.then);
        for (uint32_t a = 0; a < 16 * 64; a += 64) {
          std::array<uint8_t, 64> block;
          bool ok = false;
          for (int attempt = 0; attempt < tries && !ok; ++attempt) {
            block.fill(0xEE);
            ok = r.read(rig.cmd, static_cast<uint16_t>(a), block);
          }
          ++(ok ? good : bad);
          if (ok) {
            EXPECT_TRUE(std::equal(block.begin(), block.end(), image->begin() + a))
                << "the read of " << a << " passed with another block's data";
          }
        }
      }
    }
  }
  EXPECT_GT(good, 10 * bad);
}

}  // namespace
}  // namespace vx930
