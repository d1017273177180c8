// Blank check and verify against the simulated programmer on every link:
// the exact bytes after the operate command, the counter, the result.
#include "programmer/ops/check_workers.h"

#include <gtest/gtest.h>

#include "tests/programmer/ops/sim_rig.h"

namespace zolvek::testing::checks {
namespace {

using platform::Key;

class CheckWorkers : public SimOpsEveryLink {
protected:
  void SetUp() override {
    sim::programmer::ChipParams chip;
    chip.size = 0x2000;
    chip.lowSupplyBelow = 0x50;
    UseWithDriver(GetParam(), chip);
  }
  uint8_t Off() const { return OpCodeOffsetFor(GetParam()); }
  // The chip and PcBuffer hold the same pattern from 0 to the chip's end.
  void Pattern(uint32_t size = 0x2000) {
    Engine([&](sim::programmer::Engine& e) {
      for (uint32_t a = 0; a < size; ++a) e.GetChip().Program(a, static_cast<uint8_t>(a * 5 + 1));
    });
    for (uint32_t a = 0; a < size; ++a) ops_.PcBuffer[a] = static_cast<uint8_t>(a * 5 + 1);
  }
  // The host bytes of a verify stream from `start` to `end` that passes:
  // code, the bytes, the handshake 0 after each 256 (64 KB on USB).
  Bytes StreamIn(uint32_t start, uint32_t end, uint32_t bufferStart = 0) {
    Bytes in;
    if (GetParam() == kLinkCom)
      in = {'v', 0xFF};
    else
      in = {static_cast<uint8_t>('v' + Off())};
    const uint32_t mask = GetParam() == kLinkUsb ? 0xFFFF : 0xFF;
    for (uint32_t a = start; a <= end; ++a) {
      in.push_back(ops_.PcBuffer[bufferStart + a - start]);
      if ((a & mask) == mask) in.push_back(0);
    }
    return in;
  }
};

TEST_P(CheckWorkers, BlankCheckOfABlankRangeOffPageBoundariesEndsAtDeviceEnd) {
  struct Case {
    uint32_t start, end;
  };
  for (const Case c : {Case{0x10, 0x20}, Case{0x1F0, 0x2F0}, Case{0x100, 0x3FF}}) {
    SCOPED_TRACE(c.start);
    SetZone(c.start, c.end);
    counter_.drawn.clear();
    EXPECT_EQ(BlankCheckDevice(*engine_, nullptr, &counter_), 0);
    const auto op = LastOperate();
    // On USB a device of 8 KB is done without page handshakes.
    Bytes in{static_cast<uint8_t>('B' + Off())};
    Bytes out;
    const uint32_t pages = GetParam() == kLinkUsb ? 0 : ((c.end + 1) >> 8) - (c.start >> 8);
    for (uint32_t i = 0; i < pages; ++i) {
      in.push_back(0);
      out.push_back(0);
    }
    out.push_back(0);
    EXPECT_EQ(op.in, in);
    EXPECT_EQ(op.out, out);
    EXPECT_EQ(Letters(), "BP");
    EXPECT_EQ(state_.ErrorAddress, c.end);
    ASSERT_FALSE(counter_.drawn.empty());
    EXPECT_EQ(counter_.drawn.front(), (std::vector<std::string>{"000010", "0001F0", "000100"}[c.start == 0x10    ? 0
                                                                                              : c.start == 0x1F0 ? 1
                                                                                                                 : 2]));
    char end[8];
    std::snprintf(end, sizeof end, "%06X", c.end);
    EXPECT_EQ(counter_.drawn.back(), end);
    EXPECT_EQ(ops_.OperationBusy, 0);
  }
}

TEST_P(CheckWorkers, BlankCheckFindingAByteInPageThreeShowsTheProgrammersAddress) {
  Engine([](sim::programmer::Engine& e) { e.GetChip().Program(0x234, 0x12); });
  SetZone(0, 0x3FF);
  EXPECT_EQ(BlankCheckDevice(*engine_, nullptr, &counter_), 1);
  EXPECT_EQ(state_.LinkStatus, kStatusOk);
  EXPECT_EQ(state_.ErrorAddress, 0x234u);
  EXPECT_EQ(counter_.drawn.back(), "000234");
  EXPECT_EQ(FormatOperationError(state_.LinkStatus, state_.ErrorAddress), "Error at 000234 !                   ");
  // Pages 0 and 1 pass, page 2 answers a failure; then registers 10, 11, 24.
  if (GetParam() == kLinkUsb) {
    EXPECT_EQ(LastOperate().in, Bytes{'B' + 0x40});
  } else {
    EXPECT_EQ(LastOperate().in, (Bytes{static_cast<uint8_t>('B' + Off()), 0, 0, 0}));
  }
  EXPECT_EQ(Letters(), "BPIII");
  const auto log = prog_->Log().Records();
  EXPECT_EQ(log[2].in, Bytes{10});
  EXPECT_EQ(log[3].in, Bytes{11});
  EXPECT_EQ(log[4].in, Bytes{24});
}

TEST_P(CheckWorkers, VerifyStreamSendsEveryByteOfRangesOffPageBoundaries) {
  Pattern();
  struct Case {
    uint32_t start, end, bufferStart;
  };
  for (const Case c : {Case{0x10, 0x20, 0x10}, Case{0x1F0, 0x2F0, 0x1F0}, Case{0x1F0, 0x2F0, 0x1000}}) {
    SCOPED_TRACE(c.start);
    if (c.bufferStart != c.start)
      for (uint32_t a = c.start; a <= c.end; ++a) ops_.PcBuffer[c.bufferStart + a - c.start] = ops_.PcBuffer[a];
    SetZone(c.start, c.end, c.bufferStart);
    EXPECT_EQ(VerifyDevice(*engine_, nullptr, &counter_), 0);
    EXPECT_EQ(LastOperate().in, StreamIn(c.start, c.end, c.bufferStart));
    EXPECT_EQ(state_.ErrorAddress, c.end);
    EXPECT_EQ(state_.ProgressCount, state_.ProgressTotal);
  }
}

TEST_P(CheckWorkers, VerifyStreamMismatchReadsTheErrorAddress) {
  Pattern();
  ops_.PcBuffer[0x250] ^= 0xFF;
  SetZone(0x1F0, 0x2F0, 0x1F0);
  EXPECT_EQ(VerifyDevice(*engine_, nullptr, &counter_), 1);
  EXPECT_EQ(state_.ErrorAddress, 0x250u);
  EXPECT_EQ(Letters(), "BPIII");
  // COM and LPT stop at the handshake after 0x2FF... which the range never
  // reaches: every byte goes out and the final status carries the failure.
  EXPECT_EQ(LastOperate().in, StreamIn(0x1F0, 0x2F0, 0x1F0));
}

TEST_P(CheckWorkers, VerifyFromTheProgrammersBufferWithPagesAndAMismatch) {
  HoldBufferInProgrammer();
  Pattern();
  Engine([](sim::programmer::Engine& e) {
    for (uint32_t a = 0; a < 0x2000; ++a) e.InternalBuffer()[a] = static_cast<uint8_t>(a * 5 + 1);
  });
  SetZone(0x1F0, 0x2F0, 0x1F0);
  EXPECT_EQ(VerifyDevice(*engine_, nullptr, &counter_), 0);
  EXPECT_EQ(state_.ErrorAddress, 0x2F0u);
  Engine([](sim::programmer::Engine& e) { e.InternalBuffer()[0x2E0] = 0; });
  EXPECT_EQ(VerifyDevice(*engine_, nullptr, &counter_), 1);
  EXPECT_EQ(state_.ErrorAddress, 0x2E0u);
  if (GetParam() != kLinkUsb) {
    EXPECT_EQ(LastOperate().in, (Bytes{static_cast<uint8_t>('V' + Off()), 0}));
  }
}

TEST_P(CheckWorkers, VerifyFromBufferOfEvenOrOddBytesIsRefusedBeforeAnythingIsSent) {
  HoldBufferInProgrammer();
  SetZone(0, 0xFF);
  for (uint32_t select : {2u, 4u}) {
    ops_.ByteSelect = select;
    EXPECT_EQ(VerifyFromBuffer(*engine_, nullptr, &counter_), 1);
    EXPECT_EQ(Letters(), "");
    EXPECT_EQ(FormatOperationError(state_.LinkStatus, state_.ErrorAddress), "Error !                           ");
  }
}

TEST_P(CheckWorkers, EscDuringABlankCheckSendsTheAbortByteAtTheNextPage) {
  sim::programmer::ChipParams chip;
  chip.size = 0x20000;
  UseWithDriver(GetParam(), chip);
  SetZone(0, 0x1FFFF);
  keys_.PressAtPoll(Key::Escape, 2);
  EXPECT_EQ(BlankCheckDevice(*engine_, nullptr, &counter_), 1);
  EXPECT_EQ(state_.LinkStatus, kStatusAborted);
  EXPECT_EQ(FormatOperationError(state_.LinkStatus, 0), "USER Terminated                    ");
  EXPECT_EQ(ops_.OperationBusy, 1);  // the queued ESC is the hook's to swallow
  EXPECT_EQ(LastOperate().in, (Bytes{static_cast<uint8_t>('B' + Off()), 0, 1}));
}

TEST_P(CheckWorkers, EscDuringAVerifyStreamIsSeenAtTheNextBoundary) {
  sim::programmer::ChipParams chip;
  chip.size = 0x20000;
  UseWithDriver(GetParam(), chip);
  Pattern(0x20000);
  SetZone(0, 0x1FFFF);
  keys_.PressAtPoll(Key::Escape, 1);
  EXPECT_EQ(VerifyDevice(*engine_, nullptr, &counter_), 1);
  EXPECT_EQ(state_.LinkStatus, kStatusAborted);
  Bytes in = StreamIn(0, GetParam() == kLinkUsb ? 0xFFFF : 0xFF);
  in.back() = 1;  // the handshake byte is the abort
  EXPECT_EQ(LastOperate().in, in);
  EXPECT_EQ(keys_.Polls(Key::Escape), 1u);
}

TEST_P(CheckWorkers, BlockChecksPauseBeforeTheBlockNumber) {
  sim::programmer::ChipParams chip;
  chip.size = 0x2000;
  chip.eraseKind = 2;
  UseWithDriver(GetParam(), chip);
  SetZone(0, 0x1FFF);
  const uint32_t slept = clock_.Slept();
  EXPECT_EQ(BlankCheckBlock(*engine_, nullptr, 1), 0);
  EXPECT_GE(clock_.Slept() - slept, 60u);
  EXPECT_EQ(LastOperate().in, (Bytes{static_cast<uint8_t>('b' + Off()), 1}));
  Engine([](sim::programmer::Engine& e) { e.GetChip().Program(0x5, 0); });
  EXPECT_NE(BlankCheckBlockOp(*engine_, 0), 0);
  EXPECT_EQ(state_.ErrorAddress, 5u);
  EXPECT_EQ(Letters(), "BPPIII");
}

TEST_P(CheckWorkers, MarginVerifyRunsBothSupplyLevelsAndStopsAtTheLowOne) {
  Pattern();
  Engine([](sim::programmer::Engine&) {});
  SetZone(0x10, 0x20, 0x10);
  std::vector<MarginStep> steps;
  auto r = MarginVerify(*engine_, nullptr, &counter_, 1, [&](MarginStep s) { steps.push_back(s); });
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(steps, (std::vector<MarginStep>{MarginStep::High, MarginStep::Low}));
  // Levels of row 1: 7D 00 00, then 44 00 00.
  const auto log = prog_->Log().Records();
  ASSERT_EQ(log.size(), 10u);
  EXPECT_EQ(log[0].in, (Bytes{99, 0x7D}));
  EXPECT_EQ(log[1].in, (Bytes{100, 0}));
  EXPECT_EQ(log[2].in, (Bytes{101, 0}));
  EXPECT_EQ(Letters(), "WWWBPWWWBP");
  EXPECT_EQ(log[5].in, (Bytes{99, 0x44}));

  // A cell that holds only at the higher supply fails the second verify.
  sim::programmer::ChipParams chip;
  chip.size = 0x2000;
  chip.lowSupplyBelow = 0x50;
  chip.weakAtLowSupply = 0x18;
  UseWithDriver(GetParam(), chip);
  Pattern();
  SetZone(0x10, 0x20, 0x10);
  steps.clear();
  r = MarginVerify(*engine_, nullptr, &counter_, 1, [&](MarginStep s) { steps.push_back(s); });
  EXPECT_EQ(r.result, 1);
  EXPECT_EQ(r.failed, MarginStep::Low);
  EXPECT_EQ(state_.ErrorAddress, 0x18u);
  EXPECT_EQ(MarginVerify(*engine_, nullptr, &counter_, 9).result, 1);
}

INSTANTIATE_TEST_SUITE_P(Links, CheckWorkers, ::testing::Values(kLinkCom, kLinkLpt, kLinkUsb), SimLinkName);

}  // namespace
}  // namespace zolvek::testing::checks

namespace zolvek::testing::checks {
namespace {

// A device end of 0xFC00: the last byte lies past the last page boundary and
// is checked after the last handshake; a wrong byte there fails the run.
class DeviceEndOffPage : public SimOpsEveryLink {
protected:
  void SetUp() override {
    sim::programmer::ChipParams chip;
    chip.size = 0x10000;
    UseWithDriver(GetParam(), chip);
  }
};

TEST_P(DeviceEndOffPage, TheLastByteIsCheckedByEveryChecker) {
  SetZone(0, 0xFC00);
  EXPECT_EQ(BlankCheckDevice(*engine_, nullptr, &counter_), 0);
  const uint32_t pages = GetParam() == kLinkUsb ? 0 : 0xFC;
  EXPECT_EQ(LastOperate().in.size(), 1 + pages);
  Engine([](sim::programmer::Engine& e) { e.GetChip().Program(0xFC00, 0x00); });
  EXPECT_EQ(BlankCheckDevice(*engine_, nullptr, &counter_), 1);
  EXPECT_EQ(state_.ErrorAddress, 0xFC00u);

  // Verify against PcBuffer, then against the programmer's buffer, with the
  // buffer's last byte wrong.
  for (uint32_t a = 0; a < 0xFC00; ++a) ops_.PcBuffer[a] = 0xFF;
  ops_.PcBuffer[0xFC00] = 0x01;
  EXPECT_EQ(VerifyDevice(*engine_, nullptr, &counter_), 1);
  EXPECT_EQ(state_.ErrorAddress, 0xFC00u);
  ops_.PcBuffer[0xFC00] = 0x00;
  EXPECT_EQ(VerifyDevice(*engine_, nullptr, &counter_), 0);
  HoldBufferInProgrammer();
  Engine([](sim::programmer::Engine& e) {
    for (uint32_t a = 0; a <= 0xFC00; ++a) e.InternalBuffer()[a] = 0xFF;
  });
  EXPECT_EQ(VerifyDevice(*engine_, nullptr, &counter_), 1);
  EXPECT_EQ(state_.ErrorAddress, 0xFC00u);
}

TEST_P(DeviceEndOffPage, AnInvertedTargetZoneIsRefusedBeforeTheOperateCommand) {
  SetZone(0x100, 0x200);
  ops_.DeviceEnd = 0xFF;
  EXPECT_EQ(BlankCheckDevice(*engine_, nullptr, &counter_), 1);
  EXPECT_EQ(VerifyDevice(*engine_, nullptr, &counter_), 1);
  EXPECT_EQ(BlankCheckBlock(*engine_, nullptr, 0), 1);
  EXPECT_EQ(Letters(), "BBB");
  // The workers called alone refuse it too.
  prog_->Log().Clear();
  EXPECT_EQ(VerifyStreamCom(*engine_, nullptr, &counter_), 1);
  EXPECT_EQ(VerifyStreamLpt(*engine_, nullptr, &counter_), 1);
  EXPECT_EQ(VerifyStreamUsb(*engine_, nullptr, &counter_), 1);
  EXPECT_EQ(Letters(), "");
}

INSTANTIATE_TEST_SUITE_P(Links, DeviceEndOffPage, ::testing::Values(kLinkCom, kLinkLpt, kLinkUsb), SimLinkName);

}  // namespace
}  // namespace zolvek::testing::checks
