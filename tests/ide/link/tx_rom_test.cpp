// The download worker's block order and its answers, on virtual time.
#include "ide/link/tx_rom.h"

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/ide/link/fake_wire.h"

namespace vx930 {
namespace {

using testing::Answer;
using testing::Bytes;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using testing::FakeWire;
using testing::GoodBoard;
using testing::ShortReply;

class TxROMTest : public ::testing::Test {
protected:
  TxROMTest() {
    image->fill(0xFF);
    // Program blocks are answered by `blockAnswer` (1 by default); the rest as a healthy board.
    wire.SetResponder([this](const Bytes& rq) {
      if (rq[3] == icTxROM) {
        const uint32_t address = rq[1] << 8 | rq[2];
        const int nth = ++sent[address];
        const int code = blockAnswer ? blockAnswer(address, nth) : 1;
        if (code < 0) return std::vector<Answer>{};  // no reply
        return std::vector<Answer>{{ShortReply(static_cast<uint8_t>(code))}};
      }
      if (rq[3] == icBusyCheck && statusAnswer) {
        const int code = statusAnswer(++polls);
        if (code < 0) return std::vector<Answer>{};
        return std::vector<Answer>{{ShortReply(static_cast<uint8_t>(code))}};
      }
      return GoodBoard(rq);
    });
    wire.ClearLog();
  }

  void Code(uint32_t address, size_t n = 64, uint8_t value = 0x00) {
    for (size_t i = 0; i < n; ++i) (*image)[address + i] = value;
  }
  // Addresses of the program blocks sent, in order.
  std::vector<uint32_t> Blocks() const {
    std::vector<uint32_t> out;
    for (const auto& rq : wire.Requests())
      if (rq[3] == icTxROM) out.push_back(rq[1] << 8 | rq[2]);
    return out;
  }
  int BusyChecks() const {
    int n = 0;
    for (const auto& rq : wire.Requests()) n += rq[3] == icBusyCheck;
    return n;
  }
  void Run() { rom.Execute(); }

  FakeWire wire;
  platform::ScopedClock clock{wire};
  std::unique_ptr<COM_Port> port = wire.OpenPort();
  CCmdSet cmd{port.get()};
  std::unique_ptr<CodeImage> image = std::make_unique<CodeImage>();
  std::function<int(uint32_t address, int nth)> blockAnswer;
  std::function<int(int nth)> statusAnswer;
  std::map<uint32_t, int> sent;
  int polls = 0;
  TTxROM rom{cmd, *image};
};

TEST_F(TxROMTest, SendsOnlyBlocksThatHoldCode) {
  Code(0x0000);
  Code(0x1000);
  Run();
  EXPECT_THAT(Blocks(), ElementsAre(0x0000u, 0x1000u));
  EXPECT_TRUE(rom.GetSuccess());
  EXPECT_EQ(rom.GetAddress(), 0x10000u);
  EXPECT_TRUE(rom.IsFinished());
  EXPECT_EQ(BusyChecks(), 1);  // ready at the first final poll
  // A single non-0xFF byte makes its block count.
  wire.ClearLog();
  image->fill(0xFF);
  (*image)[0xFFFF] = 0x00;
  Run();
  EXPECT_THAT(Blocks(), ElementsAre(0xFFC0u));
}

TEST_F(TxROMTest, AFullImageGoesOutBlockByBlockInOrder) {
  image->fill(0x00);
  Run();
  std::vector<uint32_t> expected;
  for (uint32_t a = 0; a < 0x10000; a += 64) expected.push_back(a);
  EXPECT_THAT(Blocks(), ElementsAreArray(expected));
  EXPECT_TRUE(rom.GetSuccess());
  // The payloads are the image's bytes.
  for (const auto& rq : wire.Requests()) {
    if (rq[3] != icTxROM) continue;
    const uint32_t a = rq[1] << 8 | rq[2];
    ASSERT_EQ(rq.size(), 69u);
    ASSERT_TRUE(std::equal(rq.begin() + 4, rq.begin() + 68, image->begin() + a));
  }
}

TEST_F(TxROMTest, BusyAnswerSendsTheSameBlockAgainAtOnce) {
  Code(0x0200);
  blockAnswer = [](uint32_t, int nth) { return nth <= 2 ? stBusy : 1; };
  Run();
  EXPECT_THAT(Blocks(), ElementsAre(0x0200u, 0x0200u, 0x0200u));
  EXPECT_TRUE(wire.Events("pause").empty());
  EXPECT_TRUE(rom.GetSuccess());
}

TEST_F(TxROMTest, ReadyAnswerGoesBackToTheLastAcceptedBlock) {
  Code(0x0000, 192);
  blockAnswer = [](uint32_t a, int nth) { return a == 0x0080 && nth == 1 ? stReady : 1; };
  Run();
  EXPECT_THAT(Blocks(), ElementsAre(0x0000u, 0x0040u, 0x0080u, 0x0040u, 0x0080u));
  EXPECT_TRUE(rom.GetSuccess());
  // Before any block was accepted, back to block 0.
  wire.ClearLog();
  sent.clear();
  blockAnswer = [](uint32_t a, int nth) { return a == 0x0040 && nth == 1 ? stReady : 1; };
  image->fill(0xFF);
  Code(0x0040);
  Run();
  EXPECT_THAT(Blocks(), ElementsAre(0x0040u, 0x0040u));
}

TEST_F(TxROMTest, ThreeErrorsEndTheDownloadUnlessFourAcceptedBlocksClearedTheCount) {
  Code(0x0000, 64 * 12);
  // Two errors, four accepted blocks, then errors again: the count starts over.
  std::vector<int> script = {0, 0, 1, 1, 1, 1, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1};
  size_t step = 0;
  blockAnswer = [&](uint32_t, int) { return step < script.size() ? script[step++] : 1; };
  Run();
  EXPECT_TRUE(rom.GetSuccess());
  EXPECT_EQ(rom.GetAddress(), 0x10000u);
  EXPECT_EQ(wire.Events("pause").size(), 4u);  // 10 ms after each error
  for (const auto& p : wire.Events("pause")) EXPECT_EQ(p, "pause 10");

  // Three errors before the count is next cleared end it.
  wire.ClearLog();
  sent.clear();
  script = {0, 1, 1, 1, -1, 0x55};
  step = 0;
  Run();
  EXPECT_FALSE(rom.GetSuccess());
  EXPECT_EQ(Blocks().size(), 6u);
  EXPECT_EQ(BusyChecks(), 0);  // no final polls after a failure
}

TEST_F(TxROMTest, FinalPollsTolerateBusyButNotSilence) {
  Code(0x0000);
  statusAnswer = [](int) { return stBusy; };
  Run();
  EXPECT_TRUE(rom.GetSuccess());
  EXPECT_EQ(BusyChecks(), 3);
  // 100 ms between polls.
  int hundreds = 0;
  for (const auto& p : wire.Events("pause")) hundreds += p == "pause 100";
  EXPECT_EQ(hundreds, 2);

  // No valid reply to the third poll: the download failed. Each silent poll
  // is a busy check of two passes.
  wire.ClearLog();
  polls = 0;
  statusAnswer = [](int nth) { return nth <= 2 ? stBusy : -1; };
  Run();
  EXPECT_FALSE(rom.GetSuccess());
  // A silent first poll followed by a ready answer is fine.
  wire.ClearLog();
  polls = 0;
  statusAnswer = [](int nth) { return nth <= 2 ? -1 : stReady; };
  Run();
  EXPECT_TRUE(rom.GetSuccess());
}

TEST_F(TxROMTest, AnImageOfNothingButFFSucceedsWithoutSendingABlock) {
  Run();
  EXPECT_TRUE(Blocks().empty());
  EXPECT_TRUE(rom.GetSuccess());
  EXPECT_EQ(rom.GetAddress(), 0x10000u);
  EXPECT_EQ(BusyChecks(), 1);  // the board is still asked whether it is well
}

TEST_F(TxROMTest, AStopRequestEndsAfterTheBlockInHandAndSkipsTheFinalPolls) {
  Code(0x0000, 64 * 4);
  blockAnswer = [&](uint32_t a, int) {
    if (a == 0x0040) rom.Terminate();
    return 1;
  };
  Run();
  EXPECT_THAT(Blocks(), ElementsAre(0x0000u, 0x0040u));
  EXPECT_EQ(BusyChecks(), 0);
  EXPECT_TRUE(rom.IsFinished());
}

TEST_F(TxROMTest, RunsOnItsOwnThreadUntilJoined) {
  image->fill(0x02);
  rom.Start();
  rom.Join();
  EXPECT_TRUE(rom.IsFinished());
  EXPECT_TRUE(rom.GetSuccess());
  EXPECT_EQ(Blocks().size(), 1024u);
}

}  // namespace
}  // namespace vx930
