// The compare against the simulated programmer on every link (difference
// lines, transcripts, ESC), the internal-buffer compare through the range
// copies, and the range copies' block splitting, bounds and failures.
#include "programmer/ops/compare.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/programmer/ops/sim_rig.h"

namespace zolvek::testing::checks {
namespace {

using platform::Key;

class Lines final : public DifferenceList {
public:
  void AddLine(const std::string& line) override { lines.push_back(line); }
  std::vector<std::string> lines;
};

uint8_t ChipByte(uint32_t a) { return static_cast<uint8_t>(a * 3 + 7); }

class Compare : public SimOpsEveryLink {
protected:
  void SetUp() override { UseSize(0x2000); }
  void UseSize(uint32_t size) {
    sim::programmer::ChipParams chip;
    chip.size = size;
    UseWithDriver(GetParam(), chip);
    Engine([&](sim::programmer::Engine& e) {
      for (uint32_t a = 0; a < size; ++a) e.GetChip().Program(a, ChipByte(a));
    });
    context_.list = &lines_;
  }
  uint8_t Off() const { return OpCodeOffsetFor(GetParam()); }
  // The buffer holds the device's bytes of start..end from bufferStart on.
  void Mirror(uint32_t start, uint32_t end, uint32_t bufferStart) {
    for (uint32_t a = start; a <= end; ++a) ops_.PcBuffer[bufferStart + a - start] = ChipByte(a);
  }
  // The test's block transfers onto the simulator's internal buffer.
  RangeTransfers SimTransfers() {
    RangeTransfers t;
    t.window = window_;
    t.downloadBlock = [this](uint32_t address, uint32_t n) {
      const TargetZone zone{ops_.DeviceStart, ops_.DeviceEnd, ops_.BufferStart};
      commands_->SetTransferRange(zone, address, n);
      int r = commands_->Download();
      if (r == 0) r = commands_->ReadAnswered(window_.data(), n, 100);
      commands_->RestoreDeviceRange(zone);
      ++downloads_;
      return r != 0 ? 1 : 0;
    };
    return t;
  }

  Lines lines_;
  CompareContext context_;
  std::vector<uint8_t> window_ = std::vector<uint8_t>(0x8000);
  int downloads_ = 0;
};

TEST_P(Compare, StreamListsEachDifferenceAndEndsAtDeviceEnd) {
  Mirror(0x1F0, 0x2F0, 0x1000);
  ops_.PcBuffer[0x1000 + 5] ^= 0xFF;  // device 0x1F5
  ops_.PcBuffer[0x1000 + 0x100] = 0;  // device 0x2F0, the last
  SetZone(0x1F0, 0x2F0, 0x1000);
  EXPECT_EQ(CompareDevice(*engine_, nullptr, &counter_, context_), 0);
  char first[64], last[64];
  std::snprintf(first, sizeof first, "000001F5 : %02X - (00001005 : %02X)", ChipByte(0x1F5), ChipByte(0x1F5) ^ 0xFF);
  std::snprintf(last, sizeof last, "000002F0 : %02X - (00001100 : 00)", ChipByte(0x2F0));
  EXPECT_EQ(lines_.lines, (std::vector<std::string>{first, last}));
  EXPECT_EQ(state_.ErrorAddress, 0x2F0u);
  EXPECT_EQ(counter_.drawn.back(), "0002F0");
  Bytes in;
  if (GetParam() == kLinkCom) {
    in = Bytes(1 + 0x101, 0);
    in[0] = 'r';
  } else if (GetParam() == kLinkLpt) {
    in = Bytes(1 + 0x101 + 1, 0);  // the exchange after 0x1FF
    in[0] = 'r' + 0x80;
  } else {
    in = {'r' + 0x40};  // blocks come unasked, no 64 KB boundary crossed
  }
  EXPECT_EQ(LastOperate().in, in);
  EXPECT_EQ(Letters(), "BP");
}

TEST_P(Compare, EqualSmallRangeOffPageBoundariesListsNothing) {
  Mirror(0x10, 0x20, 0x110);
  SetZone(0x10, 0x20, 0x110);
  EXPECT_EQ(CompareDevice(*engine_, nullptr, &counter_, context_), 0);
  EXPECT_TRUE(lines_.lines.empty());
  EXPECT_EQ(state_.ErrorAddress, 0x20u);
}

TEST_P(Compare, EscEndsTheCompareAndKeepsTheLinesListed) {
  UseSize(0x20000);
  Mirror(0, 0x1FFFF, 0);
  ops_.PcBuffer[0] ^= 1;
  SetZone(0, 0x1FFFF, 0);
  keys_.PressAtPoll(Key::Escape, GetParam() == kLinkCom ? 3 : 1);
  EXPECT_EQ(CompareDevice(*engine_, nullptr, &counter_, context_), 1);
  EXPECT_EQ(state_.LinkStatus, kStatusAborted);
  ASSERT_EQ(lines_.lines.size(), 1u);
  EXPECT_EQ(lines_.lines[0].substr(0, 8), "00000000");
  const Bytes in = LastOperate().in;
  // COM: two bytes asked for, then the abort; LPT: 256 asked, then the
  // abort at the exchange; USB: the abort at the first 64 KB boundary.
  if (GetParam() == kLinkCom) {
    EXPECT_EQ(in, (Bytes{'r', 0, 0, 1}));
  }
  if (GetParam() == kLinkLpt) {
    Bytes want(1 + 256 + 1, 0);
    want[0] = 'r' + 0x80;
    want.back() = 1;
    EXPECT_EQ(in, want);
  }
  if (GetParam() == kLinkUsb) {
    EXPECT_EQ(in, (Bytes{'r' + 0x40, 1}));
  }
}

TEST_P(Compare, InternalBufferReadsCopiesAndComparesWithTheDialogsCopy) {
  HoldBufferInProgrammer();
  SetZone(0x1F0, 0x2F0, 0x1F0);
  std::vector<uint8_t> copy(ops_.PcBuffer.size(), 0);
  for (uint32_t a = 0x1F0; a <= 0x2F0; ++a) copy[a] = ChipByte(a);
  copy[0x200] = 0x5A;
  context_.compareCopy = &copy;
  context_.transfers = SimTransfers();
  EXPECT_EQ(CompareDevice(*engine_, nullptr, &counter_, context_), 0);
  char line[64];
  std::snprintf(line, sizeof line, "00000200 : %02X - (00000200 : 5A)", ChipByte(0x200));
  EXPECT_EQ(lines_.lines, std::vector<std::string>{line});
  EXPECT_EQ(downloads_, 1);

  // The same through the link's own block transfers.
  lines_.lines.clear();
  std::fill(ops_.PcBuffer.begin(), ops_.PcBuffer.end(), 0);
  BufferTransfers link(*commands_);
  context_.transfers = RangeTransfersFor(link, ops_);
  prog_->Log().Clear();
  EXPECT_EQ(CompareDevice(*engine_, nullptr, &counter_, context_), 0);
  EXPECT_EQ(lines_.lines, std::vector<std::string>{line});
  const std::string letters = Letters();
  EXPECT_EQ(std::count(letters.begin(), letters.end(), 'D'), 1) << letters;
  for (uint32_t a = 0x1F0; a <= 0x2F0; ++a) ASSERT_EQ(ops_.PcBuffer[a], ChipByte(a)) << a;
  EXPECT_EQ(ops_.PcBuffer[0x2F1], 0);  // nothing past the range
}

TEST_P(Compare, AFailedRangeCopyFailsTheCompare) {
  HoldBufferInProgrammer();
  SetZone(0, 0x5FF, 0);
  std::vector<uint8_t> copy(ops_.PcBuffer.size(), 0);
  context_.compareCopy = &copy;
  context_.transfers = SimTransfers();
  auto real = context_.transfers.downloadBlock;
  // COM and LPT copy 0x600 bytes in three blocks, USB in one.
  const int failOn = GetParam() == kLinkUsb ? 1 : 2;
  int calls = 0;
  context_.transfers.downloadBlock = [&](uint32_t a, uint32_t n) { return ++calls < failOn ? real(a, n) : 1; };
  EXPECT_EQ(CompareDevice(*engine_, nullptr, &counter_, context_), 1);
  EXPECT_EQ(calls, failOn);  // stops at the first failure
  EXPECT_TRUE(lines_.lines.empty());
}

INSTANTIATE_TEST_SUITE_P(Links, Compare, ::testing::Values(kLinkCom, kLinkLpt, kLinkUsb), SimLinkName);

TEST(DifferenceLine, EightAndTwoUpperCaseDigits) {
  EXPECT_EQ(DifferenceLine(0x1234, 0x5A, 0x1234, 0xA5), "00001234 : 5A - (00001234 : A5)");
  EXPECT_EQ(DifferenceLine(0, 0xff, 0x100, 0x0b), "00000000 : FF - (00000100 : 0B)");
}

class RangeCopies : public SimOps {
protected:
  void SetUp() override {
    UseWithDriver(kLinkCom);
    HoldBufferInProgrammer();
    t_.window = window_;
    t_.uploadBlock = [this](uint32_t a, uint32_t n) {
      calls_.emplace_back(a, n);
      firsts_.push_back(window_[0]);
      return static_cast<int>(calls_.size()) == failAt_ ? 1 : 0;
    };
    t_.downloadBlock = t_.uploadBlock;
  }
  RangeTransfers t_;
  std::vector<uint8_t> window_ = std::vector<uint8_t>(0x8000);
  std::vector<std::pair<uint32_t, uint32_t>> calls_;
  std::vector<uint8_t> firsts_;
  int failAt_ = 0;
};

TEST_F(RangeCopies, UploadsSplitIntoTransferBlocksAndStopAtTheFirstFailure) {
  std::vector<uint8_t> source(0x1000);
  for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<uint8_t>(i);
  EXPECT_EQ(LoadCodeToProgrammer(*engine_, nullptr, t_, source, 0x10, 0x420), 0);
  using Calls = std::vector<std::pair<uint32_t, uint32_t>>;
  EXPECT_EQ(calls_, (Calls{{0x10, 0x200}, {0x210, 0x200}, {0x410, 0x11}}));
  EXPECT_EQ(firsts_, (std::vector<uint8_t>{0x10, 0x10, 0x10}));
  calls_.clear();
  failAt_ = 2;
  EXPECT_EQ(LoadCodeToProgrammer(*engine_, nullptr, t_, source, 0x10, 0x420), 1);
  EXPECT_EQ(calls_.size(), 2u);
  // Ranges the buffers do not hold, or inverted, are refused unsent.
  calls_.clear();
  EXPECT_EQ(LoadCodeToProgrammer(*engine_, nullptr, t_, source, 0x10, 0x1000), 1);
  EXPECT_EQ(LoadCodeToProgrammer(*engine_, nullptr, t_, source, 0x20, 0x10), 1);
  std::vector<uint8_t> target(0x1000);
  EXPECT_EQ(LoadCodeFromProgrammer(*engine_, nullptr, t_, target, 0, 0x1000, "x"), 1);
  EXPECT_TRUE(calls_.empty());
}

TEST_F(RangeCopies, DownloadsStopAtTheEndOfTheRangeAndOfTheHeldBuffer) {
  std::vector<uint8_t> target(0x20000, 0xEE);
  // A range that ends on a block boundary takes no download past its end.
  EXPECT_EQ(LoadCodeFromProgrammer(*engine_, nullptr, t_, target, 0x200, 0x5FF, "x"), 0);
  using Calls = std::vector<std::pair<uint32_t, uint32_t>>;
  EXPECT_EQ(calls_, (Calls{{0x200, 0x200}, {0x400, 0x200}}));
  EXPECT_EQ(target[0x1FF], 0xEE);
  EXPECT_EQ(target[0x600], 0xEE);
  // The last block of the internal buffer is not asked for past its end.
  calls_.clear();
  EXPECT_EQ(LoadCodeFromProgrammer(*engine_, nullptr, t_, target, 0x1FF00, 0x1FFFF, "x"), 0);
  EXPECT_EQ(calls_, (Calls{{0x1FF00, 0x100}}));
}

}  // namespace
}  // namespace zolvek::testing::checks

namespace zolvek::testing::checks {
namespace {

TEST_P(Compare, AnInvertedZoneOrABufferTooSmallIsRefused) {
  SetZone(0x100, 0x200, 0);
  ops_.DeviceEnd = 0xFF;
  EXPECT_EQ(CompareDevice(*engine_, nullptr, &counter_, context_), 1);
  EXPECT_EQ(Letters(), "B");
  prog_->Log().Clear();
  ops_.DeviceEnd = 0x200;
  ops_.BufferStart = static_cast<uint32_t>(ops_.PcBuffer.size()) - 0x10;
  EXPECT_EQ(CompareStreamCom(*engine_, nullptr, &counter_, context_), 1);
  EXPECT_EQ(CompareStreamLpt(*engine_, nullptr, &counter_, context_), 1);
  EXPECT_EQ(CompareStreamUsb(*engine_, nullptr, &counter_, context_), 1);
  EXPECT_EQ(state_.LinkStatus, kStatusRefused);
  EXPECT_EQ(Letters(), "");
}

}  // namespace
}  // namespace zolvek::testing::checks
