// Buffer kinds, the SRAM card probe, fills and checksums, against the
// simulated programmer where the programmer holds the buffer.
#include "programmer/ops/buffer_services.h"

#include <gtest/gtest.h>

#include <map>

#include "tests/programmer/ops/sim_rig.h"

namespace zolvek::testing {
namespace {

struct RecordingPanel final : StatusPanelSink {
  void SetPanelText(PanelField field, const std::string& text) override { fields[field] = text; }
  std::map<PanelField, std::string> fields;
};

// Manufacturer and type of a device with the given buffer kind.
std::pair<uint32_t, uint32_t> FindDevice(uint32_t bufferKind, uint32_t minSize = 0) {
  for (uint32_t m = 0; m < ManufacturerCount; ++m)
    for (uint32_t t = 0; t < TypeCount(m); ++t) {
      const auto* d = FindDeviceType(m, t);
      if (d->bufferKind == bufferKind && d->size >= minSize) return {m, t};
    }
  ADD_FAILURE() << "no such device";
  return {0, 0};
}

class Services : public ::testing::TestWithParam<int32_t> {
protected:
  void Make(const sim::programmer::EngineConfig& config = {}) {
    services_.reset();
    rig_.reset();  // its clock and message scopes end before the next one's begin
    rig_ = std::make_unique<SimRig>(GetParam(), config);
    services_ = std::make_unique<BufferServices>(*rig_->commands_, rig_->ops_, &panel_);
    rig_->state_.NoMonitor = 0;
  }
  void Select(std::pair<uint32_t, uint32_t> device) {
    rig_->ops_.SelectedMfr = device.first;
    rig_->ops_.SelectedType[device.first] = device.second;
  }
  std::unique_ptr<SimRig> rig_;
  RecordingPanel panel_;
  std::unique_ptr<BufferServices> services_;
};

TEST_P(Services, ALargeDeviceOffComUsesPcMemoryWithoutAsking) {
  Make();
  Select(FindDevice(0));
  services_->SelectBufferKind();
  if (GetParam() == kLinkCom) {
    // A simulated programmer of firmware "1.01 " without a card: size code 15.
    EXPECT_EQ(rig_->Letters(), "iGHh");
    auto h = rig_->Records('h');
    EXPECT_EQ(h[0].in, (Bytes{0x58, 0xF8, 0x15}));
    EXPECT_EQ(rig_->Records('G')[0].in, (Bytes{0x2E, 0x01, 0x05, 0x01, 0, 0, 0, 0, 0}));
    EXPECT_EQ(rig_->Records('H')[0].in, (Bytes{'z', 0x00, 0xF0}));
  } else {
    EXPECT_EQ(rig_->Letters(), "");
  }
  EXPECT_TRUE(rig_->ops_.BufferKind.IsPcMemory());
  EXPECT_EQ(rig_->ops_.BufferSizeBytes, 1024u * 1024);
  EXPECT_EQ(panel_.fields[PanelField::BufferStatus], "PC Memory");
  EXPECT_EQ(panel_.fields[PanelField::BufferSize], "1024K");
  EXPECT_TRUE(rig_->shown_.Shown().empty());

  Select(FindDevice(1));
  services_->SelectBufferKind();
  EXPECT_TRUE(rig_->ops_.BufferKind.IsInternal());
  EXPECT_EQ(panel_.fields[PanelField::BufferStatus], "Internal Buffer");
  EXPECT_EQ(panel_.fields[PanelField::BufferSize], "128K");
}

TEST_P(Services, FillsAreBoundedAndAnEmptyRangeDoesNothing) {
  Make();
  OpsState& ops = rig_->ops_;
  ASSERT_EQ(ops.PcBuffer.size(), 1024u * 1024);
  EXPECT_EQ(services_->FillBufferRange(0xFFFF0, 0x7FFFFFFF, 0xA5), 0);  // up to the buffer's last byte
  EXPECT_EQ(ops.PcBuffer[0xFFFEF], 0x00);
  EXPECT_EQ(ops.PcBuffer[0xFFFF0], 0xA5);
  EXPECT_EQ(ops.PcBuffer.back(), 0xA5);
  // BufferSizeKB says more than was allocated: still bounded by the allocation.
  ops.BufferSizeKB = 4096;
  ops.BufferSizeBytes = 4096 * 1024;
  EXPECT_EQ(services_->FillBufferRange(0x3FFFF0, 0x3FFFFF, 0x11), 0);
  EXPECT_EQ(ops.PcBuffer.size(), 1024u * 1024);
  EXPECT_EQ(ops.PcBuffer.back(), 0x11);
  EXPECT_EQ(services_->BufferChecksum(0xFFFFF, 0x3FFFFF), 0x11u);
  EXPECT_EQ(services_->FillBufferRange(0x20, 0x10, 0x77), 0);  // start above end
  EXPECT_EQ(ops.PcBuffer[0x10], 0);
  EXPECT_EQ(ops.PcBuffer[0x20], 0);
  rig_->state_.NoMonitor = 1;
  EXPECT_EQ(services_->FillBufferRange(0, 0x10, 0x77), 1);
  EXPECT_EQ(ops.PcBuffer[0], 0);
  EXPECT_EQ(rig_->Letters(), "");
}

TEST_P(Services, PcMemoryChecksumIsA32BitSum) {
  Make();
  OpsState& ops = rig_->ops_;
  services_->FillBufferRange(0, 0xFFF, 0xFF);
  EXPECT_EQ(services_->BufferChecksum(0, 0xFFF), 0xFF000u);
  EXPECT_EQ(services_->BufferChecksum(0x10, 0x0F), 0u);
  // A family 0x11 device with BufferEnd 0xFFFF adds 0x10001-0x10FFF.
  for (uint32_t m = 0; m < ManufacturerCount; ++m)
    for (uint32_t t = 0; t < TypeCount(m); ++t)
      if (FindDeviceType(m, t)->family == 0x11 && ops.SelectedMfr == 0) {
        ops.SelectedMfr = m;
        ops.SelectedType[m] = t;
      }
  ASSERT_EQ(ops.CurrentDevice()->family, 0x11u);
  ops.BufferStart = 0;
  ops.BufferEnd = 0xFFFF;
  ops.PcBuffer[0x10000] = 0x80;
  ops.PcBuffer[0x10001] = 0x01;
  ops.PcBuffer[0x10FFF] = 0x02;
  services_->ShowBufferChecksum();
  EXPECT_EQ(ops.BufferChecksumValue, 0xFF000u + 3);
  EXPECT_EQ(panel_.fields[PanelField::BufferChecksum], "F003");
}

TEST_P(Services, InternalBufferFillAndChecksumRunOnTheProgrammer) {
  Make();
  rig_->LoadDriver();
  rig_->SetZone(0x100, 0x1FF, 0x100);
  rig_->HoldBufferInProgrammer();
  OpsState& ops = rig_->ops_;
  ops.BufferSizeKB = 128;
  ops.BufferSizeBytes = 128 * 1024;
  rig_->prog_->Log().Clear();
  EXPECT_EQ(services_->FillBufferRange(0x1F0, 0x2F0, 0x3C), 0);
  EXPECT_EQ(rig_->Letters(), "WWWWWWWWWvTWWWWWWWWW");
  EXPECT_EQ(rig_->Records('v')[0].summary, "fill 0001F0 x257 with 3C");
  EXPECT_EQ(rig_->InternalBuffer()[0x1EF], 0xFF);
  EXPECT_EQ(rig_->InternalBuffer()[0x1F0], 0x3C);
  EXPECT_EQ(rig_->InternalBuffer()[0x2F0], 0x3C);
  EXPECT_EQ(rig_->InternalBuffer()[0x2F1], 0xFF);
  rig_->prog_->Log().Clear();
  EXPECT_EQ(services_->BufferChecksum(0x1F0, 0x2F1), (257u * 0x3C + 0xFF) & 0xFFFF);
  auto s = rig_->Records('S');
  ASSERT_EQ(s.size(), 1u);
  EXPECT_EQ(s[0].in, (Bytes{0, 0xF0, 0x01, 0x02, 0x02, 0x01, 0}));
  // Above 0x10000: the first byte says so; the end is clamped to the buffer.
  rig_->prog_->Log().Clear();
  services_->BufferChecksum(0x1FFF0, 0x2FFFF);
  EXPECT_EQ(rig_->Records('S')[0].in, (Bytes{1, 0xF0, 0xFF, 0x10, 0x01, 0x01, 0}));
  // An empty range and an inverted Target Zone send nothing.
  rig_->prog_->Log().Clear();
  EXPECT_EQ(services_->FillBufferRange(0x300, 0x200, 0), 0);
  ops.DeviceEnd = 0x10;
  EXPECT_EQ(services_->FillBufferRange(0x0, 0x200, 0), 1);
  EXPECT_EQ(rig_->Letters(), "");
}

TEST_P(Services, SramCardFillAndChecksum) {
  sim::programmer::EngineConfig config;
  config.sramCardKB = 512;
  Make(config);
  rig_->LoadDriver();
  rig_->SetZone(0, 0xFFF);
  OpsState& ops = rig_->ops_;
  ops.BufferKind = {1, 0};
  ops.BufferSizeKB = 512;
  ops.BufferSizeBytes = 512 * 1024;
  rig_->prog_->Log().Clear();
  EXPECT_EQ(services_->FillBufferRange(0x10010, 0x10020, 0x01), 0);
  auto g = rig_->Records('g');
  ASSERT_EQ(g.size(), 1u);
  EXPECT_EQ(g[0].in, (Bytes{0, 0xF4, 0x01, 0x10, 0x00, 0x11, 0x01, 0x01, 0x01}));
  EXPECT_EQ(services_->BufferChecksum(0x10000, 0x1FFFF), (0xFFFFu * 0xFF - 0x11 * 0xFE + 0xFF) & 0xFFFF);
  g = rig_->Records('g');
  ASSERT_EQ(g.size(), 2u);
  EXPECT_EQ(g[1].in, (Bytes{0, 0xF3, 0x01, 0x00, 0x00, 0x00, 0x00, 0x01, 0}));
}

TEST_P(Services, TheCardProbeOnCom) {
  if (GetParam() != kLinkCom) GTEST_SKIP() << "the card is probed on COM only";
  struct Case {
    const char* what;
    uint32_t cardKB;
    bool protect;
    std::string firmware;
    bool card;
    uint32_t kb;
    std::vector<std::string> messages;
  };
  const Case cases[] = {
      {"a card that fits", 2048, false, "1.01 ", true, 2048, {}},
      {"a card too small", 128, false, "1.01 ", false, 1024, {"SRAM card memory size not enough !"}},
      {"no card", 0, false, "1.01 ", false, 1024, {}},
      {"other firmware, card", 512, false, "1.10 ", true, 512, {}},
      {"other firmware, write protected",
       512,
       true,
       "1.10 ",
       true,
       1024,
       {"SRAM card is in write protect mode \n Please change to Write Protect Disable mode"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim::programmer::EngineConfig config;
    config.sramCardKB = c.cardKB;
    config.sramWriteProtect = c.protect;
    config.firmwareVersion = c.firmware;
    Make(config);
    // A 0x21000-byte device with bufferKind 0.
    Select(FindDevice(0, 0x21000));
    services_->SelectBufferKind();
    EXPECT_EQ(rig_->ops_.BufferKind.IsSramCard(), c.card);
    EXPECT_EQ(rig_->ops_.BufferSizeKB, c.kb);
    EXPECT_EQ(rig_->shown_.Texts(), c.messages);
    const auto h = rig_->Records('h');
    ASSERT_EQ(h.size(), 1u);
    EXPECT_EQ(h[0].in[1], c.card ? 0xE6 : 0xF8);
  }
}

INSTANTIATE_TEST_SUITE_P(Links, Services, ::testing::Values(kLinkCom, kLinkLpt, kLinkUsb), SimLinkName);

}  // namespace
}  // namespace zolvek::testing
