// Buffer transfers against the simulated programmer on every link: what the
// firmware took (its command log), where the bytes landed, and the refusals.
#include "programmer/link/buffer_transfers.h"

#include <gtest/gtest.h>

#include <numeric>

#include "programmer/link/count_encoding.h"
#include "sim/programmer/faults.h"
#include "tests/programmer/link/sim_link_fixture.h"

namespace zolvek::testing {
namespace {

using Bytes = std::vector<uint8_t>;
using sim::programmer::CommandRecord;

// The nine 'W' records of a range write: registers 8, 9, 23, 12, 13, 25,
// 16, 17, 27 and their values.
Bytes RegisterWrites(const std::vector<CommandRecord>& records, std::size_t from) {
  Bytes out;
  for (std::size_t i = from; i < from + 9 && i < records.size(); ++i) {
    EXPECT_EQ(records[i].letter, 'W');
    out.insert(out.end(), records[i].in.begin(), records[i].in.end());
  }
  return out;
}

Bytes RangeWrites(uint32_t deviceStart, uint32_t address, std::array<uint8_t, 3> count) {
  return {8,  static_cast<uint8_t>(deviceStart),
          9,  static_cast<uint8_t>(deviceStart >> 8),
          23, static_cast<uint8_t>(deviceStart >> 16),
          12, static_cast<uint8_t>(address),
          13, static_cast<uint8_t>(address >> 8),
          25, static_cast<uint8_t>(address >> 16),
          16, count[0],
          17, count[1],
          27, count[2]};
}

class Transfers : public SimLinkFixture, public ::testing::WithParamInterface<int32_t> {
protected:
  void SetUp() override { Start(); }
  void Start(const sim::programmer::EngineConfig& config = {}) {
    Use(GetParam(), config);
    transfers_ = std::make_unique<BufferTransfers>(*commands_);
    ctx_.Kind = TransferBuffer::Internal;
    ctx_.Zone = {0x0000, 0x7FFF, 0x0000};
    ctx_.BufferBytes = 128 * 1024;
  }
  // The Target Zone write that every transfer ends with: 'T' 0x55 and nine 'W'.
  void ExpectRestored(const std::vector<CommandRecord>& r, std::size_t at) {
    ASSERT_GT(r.size(), at + 9);
    EXPECT_EQ(r[at].letter, 'T');
    EXPECT_EQ(r[at].in, Bytes{0x55});
    EXPECT_EQ(RegisterWrites(r, at + 1),
              RangeWrites(ctx_.Zone.DeviceStart, ctx_.Zone.BufferStart,
                          ThreeLevelCountFromLast(ctx_.Zone.DeviceEnd - ctx_.Zone.DeviceStart)));
  }
  void FillInternal() {
    Engine([](sim::programmer::Engine& e) {
      auto& b = e.InternalBuffer();
      for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
    });
  }
  static uint8_t Pattern(uint32_t i) { return static_cast<uint8_t>(i * 7 + (i >> 8)); }

  std::unique_ptr<BufferTransfers> transfers_;
  TransferContext ctx_;
};

TEST_P(Transfers, WindowAndBlockDownloadsPlaceBytesByAddressAndFromZero) {
  FillInternal();
  ctx_.Zone = {0x100, 0x1FFF, 0x300};
  Forget();
  auto& w = transfers_->TransferWindow();
  ASSERT_EQ(transfers_->DownloadWindow(ctx_, 0x8010, 0x20), 0);
  for (uint32_t i = 0; i < 0x20; ++i) ASSERT_EQ(w[0x10 + i], Pattern(0x8010 + i)) << i;
  EXPECT_EQ(w[0x0F], 0);
  EXPECT_EQ(w[0x30], 0);
  auto r = Taken();
  ASSERT_EQ(r.size(), 20u);
  EXPECT_EQ(RegisterWrites(r, 0), RangeWrites(0x100, 0x8010, {0x20, 0x01, 0x01}));
  EXPECT_EQ(r[9].letter, 'D');
  EXPECT_EQ(r[9].in, Bytes(0x20, 0));  // one 0 asks for each byte
  EXPECT_EQ(r[9].summary, "internal 008010 x32");
  ExpectRestored(r, 10);

  w.fill(0xEE);
  ASSERT_EQ(transfers_->DownloadBlock(ctx_, 0x8010, 0x20), 0);
  for (uint32_t i = 0; i < 0x20; ++i) ASSERT_EQ(w[i], Pattern(0x8010 + i)) << i;
  EXPECT_EQ(w[0x20], 0xEE);
  EXPECT_EQ(TakenLetters(), "WWWWWWWWWDTWWWWWWWWW");
  EXPECT_TRUE(shown_.Shown().empty());
}

TEST_P(Transfers, AWindowDownloadWrapsAtTheWindowsEndAndAFullWindowCountIsExact) {
  FillInternal();
  Forget();
  auto& w = transfers_->TransferWindow();
  // 0x300 bytes from 0x7F00: indexes 0x7F00-0x7FFF, then 0-0x1FF.
  ASSERT_EQ(transfers_->DownloadWindow(ctx_, 0x7F00, 0x300), 0);
  EXPECT_EQ(w[0x7FFF], Pattern(0x7FFF));
  EXPECT_EQ(w[0x0000], Pattern(0x8000));
  EXPECT_EQ(w[0x01FF], Pattern(0x81FF));
  auto r = Taken();
  EXPECT_EQ(RegisterWrites(r, 0), RangeWrites(0, 0x7F00, {0x00, 0x03, 0x01}));
  EXPECT_EQ(r[9].in.size(), 0x300u);

  // The whole window from 0x18000: 32768 bytes, count (0, 0x80, 1).
  ASSERT_EQ(transfers_->DownloadBlock(ctx_, 0x18000, TransferWindowSize), 0);
  EXPECT_EQ(w[0], Pattern(0x18000));
  EXPECT_EQ(w[0x7FFF], Pattern(0x1FFFF));
  r = Taken();
  EXPECT_EQ(RegisterWrites(r, 0), RangeWrites(0, 0x18000, {0x00, 0x80, 0x01}));
  EXPECT_EQ(r[9].summary, "internal 018000 x32768");
}

TEST_P(Transfers, UploadsWriteTheProgrammersBufferWithTheirClosingBytes) {
  auto& w = transfers_->TransferWindow();
  std::iota(w.begin(), w.end(), uint8_t{0x40});
  Forget();
  // A single byte of address 0x12345 sends window byte 0x2345, no closing byte.
  ASSERT_EQ(transfers_->UploadByte(ctx_, 0x12345), 0);
  auto r = Taken();
  ASSERT_EQ(r.size(), 20u);
  EXPECT_EQ(RegisterWrites(r, 0), RangeWrites(0, 0x12345, {1, 1, 1}));
  EXPECT_EQ(r[9].letter, 'u');
  EXPECT_EQ(r[9].in, Bytes{w[0x2345]});
  ExpectRestored(r, 10);

  ASSERT_EQ(transfers_->UploadBlock(ctx_, 0x1F0, 0x110), 0);
  r = Taken();
  EXPECT_EQ(RegisterWrites(r, 0), RangeWrites(0, 0x1F0, {0x10, 0x02, 0x01}));
  EXPECT_EQ(r[9].letter, 'U');
  Bytes expected(w.begin(), w.begin() + 0x110);
  expected.push_back(0);
  EXPECT_EQ(r[9].in, expected);
  EXPECT_EQ(r[9].summary, "internal 0001F0 x272");
  ExpectRestored(r, 10);
  Engine([&](sim::programmer::Engine& e) {
    EXPECT_EQ(e.InternalBuffer()[0x12345], w[0x2345]);
    EXPECT_TRUE(std::equal(w.begin(), w.begin() + 0x110, e.InternalBuffer().begin() + 0x1F0));
    EXPECT_EQ(e.InternalBuffer()[0x300], 0xFF);
  });
}

TEST_P(Transfers, SerialNumberUploadsGoByteByByteAndAreBounded) {
  const Bytes serial{0x12, 0x34, 0x56, 0x78};
  ASSERT_EQ(transfers_->UploadSerialInternal(ctx_, 0x1FFFC, serial), 0);
  auto r = Taken();
  EXPECT_EQ(r[9].letter, 'U');
  EXPECT_EQ(r[9].in, (Bytes{0x12, 0x34, 0x56, 0x78, 0}));
  Engine([](sim::programmer::Engine& e) { EXPECT_EQ(e.InternalBuffer()[0x1FFFF], 0x78); });

  // Past the buffer's end, or more than eight bytes: refused, nothing sent.
  EXPECT_EQ(transfers_->UploadSerialInternal(ctx_, 0x1FFFD, serial), 1);
  EXPECT_EQ(transfers_->UploadSerialInternal(ctx_, 0, Bytes(9, 1)), 1);
  EXPECT_EQ(transfers_->UploadSerialInternal(ctx_, 0, Bytes{}), 1);
  EXPECT_EQ(TakenLetters(), "");
  EXPECT_EQ(shown_.Texts(), (std::vector<std::string>(3, "Error!")));
  EXPECT_EQ(shown_.Shown()[0].caption, "Upload serial number error!");
}

TEST_P(Transfers, RefusedRangesSendNothing) {
  struct Case {
    const char* what;
    uint32_t address, n;
    TargetZone zone;
  };
  const Case cases[] = {
      {"n = 0", 0x100, 0, {0, 0xFFF, 0}},
      {"n above the window", 0, TransferWindowSize + 1, {0, 0xFFF, 0}},
      {"past the buffer's end", 0x1FF00, 0x101, {0, 0xFFF, 0}},
      {"address beyond the buffer", 0x20000, 1, {0, 0xFFF, 0}},
      {"address near 2^32", 0xFFFFFF00u, 0x200, {0, 0xFFF, 0}},
      {"inverted Target Zone", 0, 0x10, {0x2000, 0x1FFF, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ctx_.Zone = c.zone;
    shown_.Clear();
    EXPECT_EQ(transfers_->DownloadWindow(ctx_, c.address, c.n), 1);
    EXPECT_EQ(transfers_->DownloadBlock(ctx_, c.address, c.n), 1);
    EXPECT_EQ(transfers_->UploadBlock(ctx_, c.address, c.n), 1);
    EXPECT_EQ(TakenLetters(), "");
    ASSERT_EQ(shown_.Shown().size(), 3u);
    EXPECT_EQ(shown_.Shown()[0].caption, "DOWNLOAD");
    EXPECT_EQ(shown_.Shown()[2].caption, "UPLOAD");
  }
  ctx_.Zone = {0, 0xFFF, 0};
  EXPECT_EQ(transfers_->UploadByte(ctx_, 0x20000), 1);
  EXPECT_EQ(TakenLetters(), "");
}

TEST_P(Transfers, AByteThatDoesNotComeFailsTheDownloadAndKeepsWhatCame) {
  FillInternal();
  std::string error;
  // The 5th reply byte of 'D' is not sent.
  prog_->AddFault(*sim::programmer::ParseFaultSpec("D#5:drop", &error));
  Forget();
  auto& w = transfers_->TransferWindow();
  w.fill(0xEE);
  EXPECT_EQ(transfers_->DownloadBlock(ctx_, 0x40, 0x10), 1);
  // Byte by byte the four that came are kept; a USB block comes whole or not at all.
  for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(w[i], GetParam() == kLinkUsb ? 0xEE : Pattern(0x40 + i));
  EXPECT_EQ(w[4], 0xEE);
  ASSERT_EQ(shown_.Shown().size(), 1u);
  EXPECT_EQ(shown_.Shown()[0].text, "ERROR");
  EXPECT_EQ(shown_.Shown()[0].caption, "DOWNLOAD");
  EXPECT_EQ(shown_.Shown()[0].icon, platform::Icon::Error);
  EXPECT_EQ(transfers_->DownloadBoxOpen(), 0);
  prog_->ClearFaults();
  // The Target Zone is written back after the failure.
  bool restored = false;
  for (const auto& r : Taken()) restored |= r.letter == 'T' && r.in == Bytes{0x55};
  EXPECT_TRUE(restored);
  // And the next transfer gets its own replies.
  EXPECT_EQ(transfers_->DownloadBlock(ctx_, 0x80, 4), 0);
  EXPECT_EQ(w[0], Pattern(0x80));
  EXPECT_EQ(w[3], Pattern(0x83));
}

TEST_P(Transfers, ADeadLinkFailsTheWindowDownloadWithTheBoxOpenFlag) {
  struct Watch final : platform::MessageService {
    BufferTransfers* t = nullptr;
    int32_t seen = -1;
    platform::Answer Show(const platform::Message&) override {
      seen = t->DownloadBoxOpen();
      return platform::Answer::Ok;
    }
    void Beep(bool) override {}
  } watch;
  watch.t = transfers_.get();
  platform::ScopedMessages scoped(watch);
  prog_->PullCable();
  EXPECT_EQ(transfers_->DownloadWindow(ctx_, 0, 0x10), 1);
  EXPECT_EQ(watch.seen, 1);
  EXPECT_EQ(transfers_->DownloadBoxOpen(), 0);
  EXPECT_NE(state_.LinkStatus, kStatusOk);
}

TEST_P(Transfers, PcMemoryHasNothingToTransfer) {
  ctx_.Kind = TransferBuffer::PcMemory;
  EXPECT_EQ(transfers_->UploadBlock(ctx_, 0, 0x10), 0);
  EXPECT_EQ(transfers_->DownloadWindow(ctx_, 0, 0x10), 1);
  EXPECT_EQ(transfers_->DownloadBlock(ctx_, 0, 0x10), 1);
  EXPECT_EQ(transfers_->UploadByte(ctx_, 0), 1);
  EXPECT_EQ(TakenLetters(), "");
  EXPECT_TRUE(shown_.Shown().empty());
}

class SramTransfers : public Transfers {
protected:
  void SetUp() override {
    sim::programmer::EngineConfig config;
    config.sramCardKB = 256;
    Start(config);
    ctx_.Kind = TransferBuffer::SramCard;
    ctx_.BufferBytes = 256 * 1024;
    Engine([](sim::programmer::Engine& e) {
      auto& b = e.SramCard();
      for (std::size_t i = 0; i < b.size(); ++i) b[i] = Pattern(static_cast<uint32_t>(i));
    });
    Forget();
  }
};

TEST_P(SramTransfers, CardDownloadsGoByteByByteOnEveryLink) {
  auto& w = transfers_->TransferWindow();
  ASSERT_EQ(transfers_->DownloadWindow(ctx_, 0x3A010, 0x20), 0);
  for (uint32_t i = 0; i < 0x20; ++i) ASSERT_EQ(w[0x2010 + i], Pattern(0x3A010 + i));
  auto r = Taken();
  ASSERT_EQ(r.size(), 20u);
  EXPECT_EQ(RegisterWrites(r, 0), RangeWrites(0, 0x3A010, {0x20, 1, 1}));
  EXPECT_EQ(r[9].letter, 'g');
  Bytes expected{0, 0xF1, 0x03, 0x10, 0xA0, 0x20, 1, 1};
  expected.insert(expected.end(), 0x20, 0);
  EXPECT_EQ(r[9].in, expected);
  ExpectRestored(r, 10);

  ASSERT_EQ(transfers_->DownloadBlock(ctx_, 0x101, 0x101), 0);
  EXPECT_EQ(w[0], Pattern(0x101));
  EXPECT_EQ(w[0x100], Pattern(0x201));
  r = Taken();
  EXPECT_EQ(Bytes(r[9].in.begin(), r[9].in.begin() + 8), (Bytes{0, 0xF1, 0, 0x01, 0x01, 0x01, 0x02, 0x01}));
  EXPECT_EQ(r[9].summary, "card F1 000101 x257");
}

TEST_P(SramTransfers, CardUploadsCloseABlockButNotASingleByte) {
  auto& w = transfers_->TransferWindow();
  std::iota(w.begin(), w.end(), uint8_t{3});
  ASSERT_EQ(transfers_->UploadByte(ctx_, 0x2ABCD), 0);
  auto r = Taken();
  EXPECT_EQ(r[9].letter, 'g');
  EXPECT_EQ(r[9].in, (Bytes{0, 0xF2, 0x02, 0xCD, 0xAB, 1, 1, 1, w[0x2BCD]}));
  ExpectRestored(r, 10);

  ASSERT_EQ(transfers_->UploadBlock(ctx_, 0x10, 0x11), 0);
  r = Taken();
  Bytes expected{0, 0xF2, 0, 0x10, 0, 0x11, 1, 1};
  expected.insert(expected.end(), w.begin(), w.begin() + 0x11);
  expected.push_back(0);
  EXPECT_EQ(r[9].in, expected);

  const Bytes serial{9, 8, 7};
  ASSERT_EQ(transfers_->UploadSerialSram(ctx_, 0x3FFFD, serial), 0);
  r = Taken();
  EXPECT_EQ(r[9].in, (Bytes{0, 0xF2, 0x03, 0xFD, 0xFF, 3, 1, 1, 9, 8, 7, 0}));
  Engine([&](sim::programmer::Engine& e) {
    EXPECT_EQ(e.SramCard()[0x2ABCD], w[0x2BCD]);
    EXPECT_TRUE(std::equal(w.begin(), w.begin() + 0x11, e.SramCard().begin() + 0x10));
    EXPECT_EQ(e.SramCard()[0x3FFFF], 7);
  });
}

TEST_P(SramTransfers, CardTransfersAreRefusedSilentlyWithoutAMonitorAndBoundedByTheCard) {
  state_.NoMonitor = 1;
  EXPECT_EQ(transfers_->DownloadWindow(ctx_, 0, 0x10), 1);
  EXPECT_EQ(transfers_->DownloadBlock(ctx_, 0, 0x10), 1);
  EXPECT_EQ(transfers_->UploadByte(ctx_, 0), 1);
  EXPECT_EQ(transfers_->UploadBlock(ctx_, 0, 0x10), 1);
  EXPECT_EQ(transfers_->UploadSerialSram(ctx_, 0, Bytes{1}), 1);
  EXPECT_EQ(TakenLetters(), "");
  EXPECT_TRUE(shown_.Shown().empty());

  state_.NoMonitor = 0;
  EXPECT_EQ(transfers_->DownloadBlock(ctx_, 0x3FFF0, 0x11), 1);
  EXPECT_EQ(transfers_->UploadByte(ctx_, 0x40000), 1);
  EXPECT_EQ(TakenLetters(), "");
  ASSERT_EQ(shown_.Shown().size(), 2u);
  EXPECT_EQ(shown_.Shown()[1].text, "Error!");
  EXPECT_EQ(shown_.Shown()[1].caption, "Upload data error!");
}

INSTANTIATE_TEST_SUITE_P(Links, Transfers, ::testing::Values(kLinkCom, kLinkLpt, kLinkUsb), SimLinkName);
INSTANTIATE_TEST_SUITE_P(Links, SramTransfers, ::testing::Values(kLinkCom, kLinkLpt, kLinkUsb), SimLinkName);

}  // namespace
}  // namespace zolvek::testing
