// The read workers against the simulated programmer on every link.
#include "programmer/ops/read_workers.h"

#include <gtest/gtest.h>

#include "tests/programmer/ops/sim_rig.h"

namespace zolvek::testing {
namespace {

uint8_t Pattern(uint32_t i) { return static_cast<uint8_t>((i * 53 + 7) ^ (i >> 8)); }

struct Zone {
  uint32_t start, end;
};
const Zone kZones[] = {{0x10, 0x20}, {0x1F0, 0x2F0}, {0x1F0, 0x30F}, {0x0, 0x2FF}, {0x0, 0x1FFF}};

class ReadWorkers : public ::testing::TestWithParam<int32_t> {
protected:
  // An 8 KB device (INTEL 8752) whose chip holds the pattern.
  std::unique_ptr<SimRig> Rig() {
    auto rig = std::make_unique<SimRig>(GetParam());
    rig->LoadDriver();
    rig->ops_.SelectedMfr = 1;
    rig->ops_.SelectedType[1] = 2;
    for (uint32_t a = 0; a < 0x2000; ++a) rig->ChipMemory()[a] = Pattern(a);
    return rig;
  }
  uint8_t Code(uint8_t base) const { return static_cast<uint8_t>(base + OpCodeOffsetFor(GetParam())); }
};

TEST_P(ReadWorkers, ToBufferPacesThePagesAndTheProgrammerHoldsEveryByte) {
  for (const Zone z : kZones) {
    SCOPED_TRACE(::testing::Message() << std::hex << z.start << "-" << z.end);
    auto rig = Rig();
    rig->HoldBufferInProgrammer();
    rig->SetZone(z.start, z.end, 0x80);
    ASSERT_EQ(rig->engine_->ReadDevice(nullptr, &rig->counter_), 0);
    const uint32_t pages = GetParam() == kLinkUsb ? 0 : ((z.end + 1) >> 8) - (z.start >> 8);
    Bytes in{Code('R')}, out;
    for (uint32_t i = 0; i < pages; ++i) {
      in.push_back(0);
      out.push_back(0);
    }
    out.push_back(0);
    const auto op = rig->Operation();
    EXPECT_EQ(Hex(op.in), Hex(in));
    EXPECT_EQ(Hex(op.out), Hex(out));
    for (uint32_t a = z.start; a <= z.end; ++a) ASSERT_EQ(rig->InternalBuffer()[0x80 + a - z.start], Pattern(a));
    EXPECT_EQ(rig->state_.ErrorAddress, z.end);
  }
}

TEST_P(ReadWorkers, StreamStoresEveryByteOfTheRangeWithTheLinksExchanges) {
  for (const Zone z : kZones) {
    SCOPED_TRACE(::testing::Message() << std::hex << z.start << "-" << z.end);
    auto rig = Rig();
    std::fill(rig->ops_.PcBuffer.begin(), rig->ops_.PcBuffer.begin() + 0x3000, 0xA5);
    rig->SetZone(z.start, z.end, 0x40);
    ASSERT_EQ(rig->engine_->ReadDevice(nullptr, &rig->counter_), 0);
    Bytes in{GetParam() == kLinkCom ? uint8_t{'r'} : Code('r')}, out;
    for (uint32_t a = z.start; a <= z.end; ++a) {
      if (GetParam() != kLinkUsb) in.push_back(0);
      out.push_back(Pattern(a));
      if (GetParam() == kLinkLpt && (a & 0xFF) == 0xFF) {
        in.push_back(0);
        out.push_back(0);
      }
    }
    out.push_back(0);
    const auto op = rig->Operation();
    EXPECT_EQ(op.in, in);
    EXPECT_EQ(op.out, out);
    for (uint32_t i = 0; i < 0x3000; ++i) {
      const bool inside = i >= 0x40 && i <= 0x40 + z.end - z.start;
      ASSERT_EQ(rig->ops_.PcBuffer[i], inside ? Pattern(z.start + i - 0x40) : 0xA5) << std::hex << i;
    }
    EXPECT_EQ(rig->state_.ErrorAddress, z.end);
    char last[8];
    std::snprintf(last, sizeof last, "%06X", z.end);
    EXPECT_EQ(rig->counter_.drawn.back(), last);
  }
}

TEST_P(ReadWorkers, StreamByteSelectTwoFillsEverySecondByteAndLeavesTheOthers) {
  auto rig = Rig();
  std::fill(rig->ops_.PcBuffer.begin(), rig->ops_.PcBuffer.begin() + 0x100, 0xA5);
  rig->ops_.ByteSelect = 2;
  rig->SetZone(0, 0x3F, 0x10);
  ASSERT_EQ(rig->engine_->ReadDevice(nullptr, nullptr), 0);
  for (uint32_t i = 0; i < 0x100; ++i) {
    const bool stored = i >= 0x10 && i < 0x10 + 0x80 && (i - 0x10) % 2 == 0;
    ASSERT_EQ(rig->ops_.PcBuffer[i], stored ? Pattern((i - 0x10) / 2) : 0xA5) << i;
  }
}

// The sizes the USB library was asked to read, in order.
std::vector<uint32_t>* g_readSizes = nullptr;
FT_STATUS (*g_realRead)(FT_HANDLE, void*, FT_DWORD, FT_DWORD*) = nullptr;
FT_STATUS RecordingRead(FT_HANDLE h, void* buffer, FT_DWORD count, FT_DWORD* read) {
  if (g_readSizes) g_readSizes->push_back(count);
  return g_realRead(h, buffer, count, read);
}

TEST_P(ReadWorkers, UsbReadsRunsThatEndOnA256ByteBoundary) {
  if (GetParam() != kLinkUsb) GTEST_SKIP();
  const std::vector<std::pair<Zone, std::vector<uint32_t>>> cases = {
      {{0x10, 0x20}, {17}}, {{0, 0x2FF}, {256, 256, 256}}, {{0xF0, 0x210}, {16, 256, 17}}};
  for (const auto& [z, blocks] : cases) {
    auto rig = Rig();
    rig->SetZone(z.start, z.end);
    std::vector<uint32_t> sizes;
    g_realRead = rig->api_.FT_Read;
    g_readSizes = &sizes;
    rig->api_.FT_Read = &RecordingRead;
    const int result = rig->engine_->ReadDevice(nullptr, nullptr);
    g_readSizes = nullptr;
    rig->api_.FT_Read = g_realRead;
    ASSERT_EQ(result, 0);
    std::vector<uint32_t> blockReads;
    for (uint32_t n : sizes) {
      if (n > 1) blockReads.push_back(n);
    }
    EXPECT_EQ(blockReads, blocks) << std::hex << z.start;
  }
}

TEST_P(ReadWorkers, EscIsSeenWhereEachLinkSamplesIt) {
  auto rig = Rig();
  rig->SetZone(0, 0x1FFF);
  rig->keys_.PressAtPoll(platform::Key::Escape, 3);
  const int result = rig->engine_->ReadDevice(nullptr, nullptr);
  const auto op = rig->Operation();
  switch (GetParam()) {
    case kLinkCom:  // the third address: two bytes read, then 1
      EXPECT_EQ(Hex(op.in), Hex({'r', 0, 0, 1}));
      break;
    case kLinkLpt:  // only at addresses with low byte 0xFF: the third such
      EXPECT_EQ(op.in.size(), 1u + 3 * 0x101);
      EXPECT_EQ(op.in.back(), 1);
      break;
    case kLinkUsb:  // no 64 KB boundary in 8 KB: never sampled
      EXPECT_EQ(result, 0);
      EXPECT_EQ(rig->keys_.Polls(platform::Key::Escape), 0u);
      return;
  }
  EXPECT_EQ(result, 1);
  EXPECT_EQ(op.out.back(), 4);
  EXPECT_EQ(rig->state_.LinkStatus, kStatusAborted);
  EXPECT_EQ(rig->ops_.OperationBusy, 1);
}

TEST_P(ReadWorkers, ToBufferEscAndAMissingPageReply) {
  if (GetParam() == kLinkUsb) GTEST_SKIP() << "no pages for 8 KB on USB";
  {
    auto rig = Rig();
    rig->HoldBufferInProgrammer();
    rig->SetZone(0, 0x1FFF);
    rig->keys_.PressAtPoll(platform::Key::Escape, 2);
    EXPECT_EQ(rig->engine_->ReadDevice(nullptr, nullptr), 1);
    EXPECT_EQ(Hex(rig->Operation().in), Hex({Code('R'), 0, 1}));
    EXPECT_EQ(rig->state_.LinkStatus, kStatusAborted);
  }
  {
    auto rig = Rig();
    rig->HoldBufferInProgrammer();
    rig->SetZone(0, 0x1FFF);
    rig->prog_->AddFault(*sim::programmer::ParseFaultSpec("P#3:pagetimeout", nullptr));
    EXPECT_EQ(rig->engine_->ReadDevice(nullptr, nullptr), 1);
    // Two pages answered, the third never: the worker sends 1 (to a
    // programmer already back at its prompt) and reads no final status.
    EXPECT_EQ(Hex(rig->Operation().in), Hex({Code('R'), 0, 0, 0}));
    EXPECT_EQ(rig->state_.ErrorAddress, 0x200u);
  }
}

TEST_P(ReadWorkers, LockedDeviceFailsWithTheAddressReachedAndNoErrorAddressRead) {
  auto rig = Rig();
  rig->prog_->Access([](sim::programmer::Engine& e) { e.GetChip().SetLockByte(0x02); });
  rig->SetZone(0, 0x1FF);
  EXPECT_EQ(rig->engine_->ReadDevice(nullptr, nullptr), 1);
  EXPECT_EQ(rig->Letters(), "BP");
  EXPECT_EQ(rig->state_.ErrorAddress, 0x1FFu);
  EXPECT_EQ(rig->state_.LinkStatus, kStatusOk);
}

INSTANTIATE_TEST_SUITE_P(Links, ReadWorkers, ::testing::Values(kLinkCom, kLinkLpt, kLinkUsb), SimLinkName);

}  // namespace
}  // namespace zolvek::testing
