// Applying a selected device: ranges, option words, command enables, family
// defaults, the programmer writes (transcripts against the simulated
// programmer) and the memory-mapping notices.
#include "programmer/ops/device_selection.h"

#include <gtest/gtest.h>

#include <map>

#include "tests/programmer/ops/sim_rig.h"

namespace zolvek::testing {
namespace {

struct RecordingPanel final : StatusPanelSink {
  void SetPanelText(PanelField field, const std::string& text) override {
    fields[field] = text;
    order.push_back(field);
  }
  std::map<PanelField, std::string> fields;
  std::vector<PanelField> order;
};

// The first device matching the test.
std::pair<uint32_t, uint32_t> Find(const std::function<bool(const DeviceTypeRecord&)>& want) {
  for (uint32_t m = 0; m < ManufacturerCount; ++m)
    for (uint32_t t = 0; t < TypeCount(m); ++t)
      if (want(*FindDeviceType(m, t))) return {m, t};
  ADD_FAILURE() << "no such device in the catalogue";
  return {0, 0};
}

class Selection : public ::testing::TestWithParam<int32_t> {
protected:
  Selection()
      : rig_(GetParam()),
        services_(*rig_.commands_, rig_.ops_, &panel_),
        selection_(*rig_.commands_, rig_.ops_, services_, &panel_) {
    rig_.state_.NoMonitor = 0;
    rig_.LoadDriver();
  }
  void Apply(std::pair<uint32_t, uint32_t> device) {
    rig_.ops_.SelectedMfr = device.first;
    rig_.ops_.SelectedType[device.first] = device.second;
    selection_.ApplySelectedDevice();
  }
  SimRig rig_;
  RecordingPanel panel_;
  BufferServices services_;
  DeviceSelection selection_;
};

TEST_P(Selection, A4KDeviceWithATableResetsTheRangesAndWritesTheProgrammer) {
  OpsState& ops = rig_.ops_;
  ops.ByteSelect = 4;
  ops.LockSelection = 1;
  ops.ConfigBytes[3] = 0x42;
  ops.EncrBuffer[5] = 0;
  const auto dev = Find([](const DeviceTypeRecord& d) {
    return d.size == 0x1000 && d.family == 0 && d.securityTableSize == 0x40 && d.configKind == 0;
  });
  Apply(dev);
  EXPECT_EQ(ops.DeviceStart, 0u);
  EXPECT_EQ(ops.DeviceEnd, 0xFFFu);
  EXPECT_EQ(ops.BufferStart, 0u);
  EXPECT_EQ(ops.BufferEnd, 0xFFFu);
  EXPECT_EQ(ops.FileStart, 0u);
  EXPECT_EQ(ops.FileEnd, 0xFFFFu);
  EXPECT_EQ(ops.ByteSelect, 1u);
  EXPECT_EQ(ops.LockSelection, 7u);
  EXPECT_EQ(ops.AutoSteps, 0xFFFFu);
  EXPECT_EQ(ops.ConfigBytes, (std::array<uint8_t, 4>{0xFF, 0xFF, 0xFF, 0x42}));
  EXPECT_EQ(ops.EncrBuffer[5], 0xFF);
  EXPECT_TRUE(ops.Enables.encryption);
  EXPECT_FALSE(ops.Enables.config);
  EXPECT_FALSE(ops.Enables.eepromButton);
  EXPECT_EQ(ops.EncrTitle, "Encryption");
  EXPECT_EQ(ops.EditorRanges.Start(EditorRangeDialog::Fill), 0u);
  EXPECT_EQ(ops.EditorRanges.End(EditorRangeDialog::Print), 0xFFFu);
  EXPECT_EQ(rig_.state_.OpCodeOffset, OpCodeOffsetFor(GetParam()));
  // The table at once, then: range, table, voltages, range.
  EXPECT_EQ(rig_.Letters(), "YTWWWWWWWWWYWWWWTWWWWWWWWW");
  const auto y = rig_.Records('Y');
  ASSERT_EQ(y.size(), 2u);
  EXPECT_EQ(Bytes(y[0].in.begin(), y[0].in.begin() + 5), (Bytes{1, 0x00, 0xFF, 0, 1}));
  EXPECT_EQ(y[0].in.size(), 5u + 256u);
  EXPECT_EQ(rig_.Records('T')[0].in, Bytes{0x55});
  const auto w = rig_.Records('W');
  EXPECT_EQ(w[6].in, (Bytes{16, 0x00}));  // count of 0x1000 from its last offset
  EXPECT_EQ(w[7].in, (Bytes{17, 0x10}));
  EXPECT_EQ(w[8].in, (Bytes{27, 0x01}));
  EXPECT_EQ(w[9].in[0], 0x58);  // the voltages
}

TEST_P(Selection, FileEndsByDeviceSize) {
  struct Case {
    uint32_t size, family, fileEnd;
  };
  const Case cases[] = {{0x1000, 0x00, 0xFFFF}, {0x21000, 0x2E, 0x2FFFF}, {0x20000, 0x3C, 0x1FFFF}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    Apply(Find([&](const DeviceTypeRecord& d) { return d.size == c.size && d.family == c.family; }));
    EXPECT_EQ(rig_.ops_.FileEnd, c.fileEnd);
    EXPECT_EQ(rig_.ops_.DeviceEnd, c.size - 1);
  }
}

TEST_P(Selection, FamilyDefaultsAndCommandEnables) {
  OpsState& ops = rig_.ops_;
  // A 2 KB device of family 0x24 sits at the top of the 64 KB space.
  Apply(Find([](const DeviceTypeRecord& d) { return d.family == 0x24 && d.size == 0x800; }));
  EXPECT_EQ(ops.DeviceStart, 0xF800u);
  EXPECT_EQ(ops.BufferStart, 0xF800u);
  EXPECT_EQ(ops.DeviceEnd, 0xFFFFu);
  EXPECT_EQ(ops.BufferEnd, 0xFFFFu);
  EXPECT_EQ(ops.ConfigBytes[0], 0x00);
  EXPECT_EQ(ops.EditorRanges.Start(EditorRangeDialog::Move), 0xF800u);
  // Its Target Zone went to the programmer.
  const auto w = rig_.Records('W');
  ASSERT_GE(w.size(), 9u);
  EXPECT_EQ(w.back().in, (Bytes{27, 0x01}));
  rig_.prog_->Access([](sim::programmer::Engine& e) {
    EXPECT_EQ(e.Registers()[9], 0xF8);
    EXPECT_EQ(e.Registers()[17], 0x08);
  });

  // Families 0x0B and 0x3C cannot be read or compared; family 0 can again.
  Apply(Find([](const DeviceTypeRecord& d) { return d.family == 0x0B; }));
  EXPECT_FALSE(ops.Enables.read);
  EXPECT_FALSE(ops.Enables.compare);
  Apply(Find([](const DeviceTypeRecord& d) { return d.family == 0x3C; }));
  EXPECT_FALSE(ops.Enables.read);
  EXPECT_FALSE(ops.Enables.mapping);
  Apply(Find([](const DeviceTypeRecord& d) { return d.family == 0x00; }));
  EXPECT_TRUE(ops.Enables.read);
  EXPECT_TRUE(ops.Enables.compare);
  EXPECT_TRUE(ops.Enables.mapping);

  // Family 0x10 with a data EEPROM: the EEPROM button in place of the encryption one.
  Apply(Find([](const DeviceTypeRecord& d) { return d.family == 0x10 && d.securityTableSize != 0; }));
  EXPECT_TRUE(ops.Enables.eepromButton);
  EXPECT_FALSE(ops.Enables.encryption);
  EXPECT_FALSE(ops.Enables.mapping);
  EXPECT_EQ(ops.EncrTitle, "EEPROM");
  EXPECT_EQ(ops.ConfigBytes[1], 0xFC);
  // Its 2 KB table went whole, counted (0x00, 0x08).
  const auto y = rig_.Records('Y');
  ASSERT_FALSE(y.empty());
  EXPECT_EQ(Bytes(y.back().in.begin(), y.back().in.begin() + 5), (Bytes{1, 0, 0, 0x00, 0x08}));
  EXPECT_EQ(y.back().in.size(), 5u + 0x800u);
}

TEST_P(Selection, BufferFillsOfAFamilyWaitForTheProgrammer) {
  OpsState& ops = rig_.ops_;
  const auto dev = Find([](const DeviceTypeRecord& d) { return d.family == 0x16; });
  ops.PcBuffer[0x10000] = 0x12;
  Apply(dev);
  EXPECT_EQ(ops.PcBuffer[0x10000], 0x12);  // ProgrammerReady 0: untouched
  EXPECT_EQ(ops.FileEnd, 0x11FFFu);
  ops.ProgrammerReady = 1;
  Apply(dev);
  EXPECT_EQ(ops.PcBuffer[0xFFFF], 0x00);
  EXPECT_EQ(ops.PcBuffer[0x10000], 0xFF);
  EXPECT_EQ(ops.PcBuffer[0x11FFF], 0xFF);
  EXPECT_EQ(ops.PcBuffer[0x12000], 0x00);
}

TEST_P(Selection, AcceptingASelectionFillsThePanelAndSwitchesSerialNumberingOff) {
  OpsState& ops = rig_.ops_;
  ops.SerialNumberSettings.enable = 1;
  const auto dev = Find([](const DeviceTypeRecord& d) { return d.family == 0x21 && d.size == 0x4000; });
  int loads = 0;
  selection_.AcceptDeviceSelection(dev.first, dev.second, [&] { ++loads; });
  EXPECT_EQ(loads, 1);
  EXPECT_EQ(ops.SerialNumberSettings.enable, 0u);
  EXPECT_EQ(ops.SelectedMfr, dev.first);
  EXPECT_EQ(panel_.fields[PanelField::Mfr], ManufacturerName(dev.first));
  EXPECT_EQ(panel_.fields[PanelField::Type], FindDeviceType(dev.first, dev.second)->name);
  EXPECT_EQ(panel_.fields[PanelField::DeviceEnd], "00003FFF");
  EXPECT_EQ(panel_.fields[PanelField::BufferStart], "00000000");
  EXPECT_EQ(panel_.fields[PanelField::RangeCaption], "Target Zone (Byte Wide)");
  EXPECT_EQ(panel_.fields[PanelField::BlockLabel], "LDROM : ");
  EXPECT_EQ(panel_.fields[PanelField::BlockRange], "010000-010FFF");
  ASSERT_EQ(rig_.shown_.Shown().size(), 1u);
  EXPECT_EQ(rig_.shown_.Shown()[0].text,
            "APROM memory buffer at 0x00000 ~ 0x03FFF\n\nLDROM memory buffer at 0x10000 ~ 0x10FFF");
  EXPECT_EQ(rig_.shown_.Shown()[0].caption, "Memory mapping message");
  EXPECT_EQ(rig_.shown_.Shown()[0].icon, platform::Icon::Information);
  EXPECT_FALSE(panel_.fields[PanelField::BufferChecksum].empty());
  // Again with the same device: serial numbering goes off again.
  ops.SerialNumberSettings.enable = 1;
  selection_.AcceptDeviceSelection(dev.first, dev.second, {});
  EXPECT_EQ(ops.SerialNumberSettings.enable, 0u);
}

TEST(MemoryMappingTest, NoticesAndBlockLinesByFamily) {
  OpsState ops;
  auto select = [&](const std::function<bool(const DeviceTypeRecord&)>& want) {
    const auto dev = Find(want);
    ops.SelectedMfr = dev.first;
    ops.SelectedType[dev.first] = dev.second;
    ops.DeviceEnd = FindDeviceType(dev.first, dev.second)->size - 1;
  };
  select([](const DeviceTypeRecord& d) { return d.family == 0x2E && d.size > 0x20000; });
  MemoryMapping m = MemoryMappingFor(ops);
  EXPECT_TRUE(m.blockLineFirst);
  EXPECT_EQ(m.blockRange, "020000-020FFF");
  ASSERT_EQ(m.boxes.size(), 1u);
  EXPECT_EQ(m.boxes[0].text,
            "APROM0 memory buffer at 0x00000 ~ 0x0FFFF\n\nAPROM1 memory buffer at 0x10000 ~ 0x1FFFF\n\nLDROM memory "
            "buffer at 0x20000 ~ 0x20FFF");

  select([](const DeviceTypeRecord& d) { return d.family == 0x3C; });
  m = MemoryMappingFor(ops);
  EXPECT_TRUE(m.blockLabel.empty());
  ASSERT_EQ(m.boxes.size(), 1u);
  EXPECT_EQ(m.boxes[0].caption, FindDeviceType(ops.SelectedMfr, ops.SelectedType[ops.SelectedMfr])->name);

  select([](const DeviceTypeRecord& d) { return d.family == 0x00; });
  m = MemoryMappingFor(ops);
  EXPECT_TRUE(m.boxes.empty());
  EXPECT_TRUE(m.blockLabel.empty());
  EXPECT_TRUE(m.blockRange.empty());

  // The panel's block line: after the boxes, and cleared when there is none.
  RecordingPanel panel;
  panel.fields[PanelField::BlockLabel] = "old";
  ShowMemoryMapping(ops, &panel);
  EXPECT_EQ(panel.fields[PanelField::BlockLabel], "");
}

INSTANTIATE_TEST_SUITE_P(Links, Selection, ::testing::Values(kLinkCom, kLinkLpt, kLinkUsb), SimLinkName);

}  // namespace
}  // namespace zolvek::testing
