// Configuration, fuse, voltage, verify-level and table transfers against the
// simulated programmer: what its firmware took, and what it holds after.
#include "programmer/link/config_transfers.h"

#include <gtest/gtest.h>

#include "programmer/link/count_encoding.h"
#include "sim/programmer/counts.h"
#include "sim/programmer/faults.h"
#include "tests/programmer/link/sim_link_fixture.h"

namespace zolvek::testing {
namespace {

using Bytes = std::vector<uint8_t>;

DeviceTypeRecord Device(uint32_t driverId, uint32_t family, uint32_t table = 0) {
  DeviceTypeRecord d = *FindDeviceType(0, 0);
  d.driverId = driverId;
  d.family = family;
  d.securityTableSize = table;
  return d;
}

class Config : public SimLinkFixture, public ::testing::WithParamInterface<int32_t> {
protected:
  void SetUp() override {
    Use(GetParam());
    config_ = std::make_unique<ConfigTransfers>(*commands_);
    // A driver, so that the firmware runs operations.
    const Bytes image(64, 0x5A);
    ASSERT_EQ(commands_->LoadDriverHeader(64), kStatusOk);
    ASSERT_EQ(commands_->EchoedDownload(image), EchoResult::Ok);
    Forget();
  }
  std::string Silence(const char* spec) {
    std::string error;
    prog_->AddFault(*sim::programmer::ParseFaultSpec(spec, &error));
    return error;
  }
  std::unique_ptr<ConfigTransfers> config_;
};

TEST_P(Config, BlockDevicesMoveTheirConfigurationAsAThreeByteBlock) {
  Engine([](sim::programmer::Engine& e) {
    e.Registers()[95] = 0x11;
    e.Registers()[96] = 0x22;
    e.Registers()[97] = 0x33;
  });
  std::array<uint8_t, 4> bytes{0, 0, 0, 0x44};
  // driverId 19 of family 5: the block at 0xFD00.
  ASSERT_EQ(config_->GetConfigRegisters(Device(19, 5), 0, bytes), 0);
  EXPECT_EQ(bytes, (std::array<uint8_t, 4>{0x11, 0x22, 0x33, 0x44}));
  auto r = Taken();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].letter, 'X');
  EXPECT_EQ(r[0].in, (Bytes{0, 0x00, 0xFD, 3, 1, 0, 0, 0}));  // each byte answered with 0

  // Another block device: the block at 0xFFF8.
  bytes = {0xA1, 0xA2, 0xA3, 0xA4};
  ASSERT_EQ(config_->SetConfigRegisters(Device(219, 0x13), 0x13, bytes), 0);
  r = Taken();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].letter, 'Y');
  EXPECT_EQ(r[0].in, (Bytes{0, 0xF8, 0xFF, 3, 1, 0xA1, 0xA2, 0xA3}));
  Engine([](sim::programmer::Engine& e) { EXPECT_EQ(e.Registers()[97], 0xA3); });

  // Reading the device's own: pack check, 'P' 'O' and its reply, then the block.
  Engine([](sim::programmer::Engine& e) { e.GetChip().Config() = {0x5C, 0x5D, 0x5E, 0x5F}; });
  ASSERT_EQ(config_->ReadDeviceConfig(Device(4, 2), 2, bytes), 0);
  EXPECT_EQ(bytes, (std::array<uint8_t, 4>{0x5C, 0x5D, 0x5E, 0xA4}));
  EXPECT_EQ(TakenLetters(), "BPX");
}

TEST_P(Config, RegisterDevicesWriteFourForSomeFamiliesAndReadTheirOwnThree) {
  std::array<uint8_t, 4> bytes{0x01, 0x02, 0x03, 0x04};
  ASSERT_EQ(config_->SetConfigRegisters(Device(1, 0x10), 0x10, bytes), 0);
  auto r = Taken();
  ASSERT_EQ(r.size(), 5u);
  EXPECT_EQ(r[0].letter, 'T');
  EXPECT_EQ(r[0].in, Bytes{0x55});
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(r[1 + i].in, (Bytes{static_cast<uint8_t>(95 + i), static_cast<uint8_t>(1 + i)}));

  ASSERT_EQ(config_->SetConfigRegisters(Device(1, 0x00), 0x00, bytes), 0);
  EXPECT_EQ(TakenLetters(), "TWWW");

  Engine([](sim::programmer::Engine& e) { e.GetChip().Config() = {0xC1, 0xC2, 0xC3, 0xC4}; });
  bytes = {};
  ASSERT_EQ(config_->ReadDeviceConfig(Device(1, 0x10), 0x10, bytes), 0);
  EXPECT_EQ(bytes, (std::array<uint8_t, 4>{0xC1, 0xC2, 0xC3, 0x00}));
  r = Taken();
  ASSERT_EQ(r.size(), 4u);
  EXPECT_EQ(r[0].letter, 'P');
  EXPECT_EQ(r[0].in, Bytes{'O'});  // the code goes without the link's offset
  for (int i = 0; i < 3; ++i) EXPECT_EQ(r[1 + i].in, Bytes{static_cast<uint8_t>(95 + i)});

  ASSERT_EQ(config_->ReadDeviceConfig(Device(1, 0x13), 0x13, bytes), 0);
  EXPECT_EQ(bytes[3], 0xC4);
  EXPECT_EQ(TakenLetters(), "PIIII");
  ASSERT_EQ(config_->GetConfigRegisters(Device(1, 0x06), 0x06, bytes), 0);
  EXPECT_EQ(TakenLetters(), "IIII");
}

TEST_P(Config, AConfigurationWriteThatIsNotAnsweredIsAFailure) {
  const std::array<uint8_t, 4> bytes{1, 2, 3, 4};
  // The programmer goes quiet after the 'T' and the first register.
  Silence("*@3:silent");
  EXPECT_EQ(config_->SetConfigRegisters(Device(1, 0x10), 0x10, bytes), 1);
  EXPECT_EQ(state_.LinkStatus, kStatusNoPrompt);
  EXPECT_EQ(TakenLetters(), "TW");  // nothing after the failed prompt
  // And a programmer that never answers: the 'T' fails.
  prog_->ClearFaults();
  Silence("*:silent");
  EXPECT_EQ(config_->SetConfigRegisters(Device(1, 0x10), 0x10, bytes), 1);
  EXPECT_EQ(commands_->SetWholeDeviceRange(0x1000), 1);
  EXPECT_EQ(state_.LinkStatus, kStatusNoPrompt);
}

TEST_P(Config, WholeDeviceRangeWritesItsRegistersInItsOwnOrder) {
  ASSERT_EQ(commands_->SetWholeDeviceRange(0x21000), 0);
  auto r = Taken();
  ASSERT_EQ(r.size(), 10u);
  Bytes regs;
  for (int i = 1; i < 10; ++i) regs.insert(regs.end(), r[i].in.begin(), r[i].in.end());
  EXPECT_EQ(regs, (Bytes{8, 0, 9, 0, 12, 0, 13, 0, 16, 0x00, 17, 0x10, 23, 0, 25, 0, 27, 0x03}));
  Engine([](sim::programmer::Engine& e) {
    const auto& g = e.Registers();
    EXPECT_EQ(sim::programmer::DecodeCount3(g[16], g[17], g[27]), 0x21000u);
  });
}

TEST_P(Config, FusesSerialProgrammingVoltagesAndVerifyLevels) {
  const uint8_t offset = state_.OpCodeOffset;
  ASSERT_EQ(config_->ProgramConfigFuses({0x03, 0, 0, 0}), 0);
  auto r = Taken();
  ASSERT_EQ(r.size(), 3u);
  EXPECT_EQ(r[0].letter, 'B');
  EXPECT_EQ(r[1].in, (Bytes{static_cast<uint8_t>('W' + offset), '1'}));
  EXPECT_EQ(r[2].in, (Bytes{static_cast<uint8_t>('W' + offset), '2'}));
  ASSERT_EQ(config_->ProgramConfigFuses({0x02, 0, 0, 0}), 0);
  EXPECT_EQ(TakenLetters(), "BP");
  ASSERT_EQ(config_->ProgramConfigFuses({0x00, 0, 0, 0}), 0);
  EXPECT_EQ(TakenLetters(), "B");

  Engine([](sim::programmer::Engine& e) {
    for (int i = 0; i < 4; ++i) e.Registers()[95 + i] = static_cast<uint8_t>(0x70 + i);
  });
  EXPECT_EQ(config_->ProgramDeviceConfig(), 0);
  r = Taken();
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[1].in, Bytes{'W'});
  Engine([](sim::programmer::Engine& e) { EXPECT_EQ(e.GetChip().Config()[3], 0x73); });

  uint8_t fuse = 0xAA;
  EXPECT_EQ(config_->EnableSerialProgramming(), 0);
  ASSERT_EQ(config_->ReadSerialFuse(fuse), 0);
  EXPECT_EQ(fuse, 1);
  EXPECT_EQ(config_->DisableSerialProgramming(), 0);
  ASSERT_EQ(config_->ReadSerialFuse(fuse), 0);
  EXPECT_EQ(fuse, 0);
  r = Taken();
  ASSERT_EQ(r.size(), 10u);
  EXPECT_EQ(r[1].in, Bytes{'s'});
  EXPECT_EQ(r[3].in, Bytes{'G'});
  EXPECT_EQ(r[4].in, Bytes{2});
  EXPECT_EQ(r[6].in, Bytes{'D'});

  ASSERT_EQ(config_->WriteVoltages({125, 125, 0x17F, 12}), 0);
  std::array<uint32_t, 4> volts{};
  ASSERT_EQ(config_->ReadVoltages(volts), 0);
  EXPECT_EQ(volts, (std::array<uint32_t, 4>{125, 125, 0x7F, 12}));  // only low bytes travel
  r = Taken();
  ASSERT_EQ(r.size(), 8u);
  EXPECT_EQ(r[2].in, (Bytes{0x5A, 0x7F}));
  EXPECT_EQ(r[7].in, Bytes{0x5B});

  config_->SetVerifyLevels(0x0A, 0x0B, 0x0C);
  r = Taken();
  ASSERT_EQ(r.size(), 3u);
  EXPECT_EQ(r[0].in, (Bytes{0x63, 0x0A}));
  EXPECT_EQ(r[1].in, (Bytes{0x64, 0x0B}));
  EXPECT_EQ(r[2].in, (Bytes{0x65, 0x0C}));
  EXPECT_EQ(state_.LinkStatus, kStatusOk);
}

TEST_P(Config, AnUnansweredOperationFails) {
  Silence("P:silent");
  EXPECT_EQ(config_->ProgramConfigFuses({0x03, 0, 0, 0}), 1);  // the second fuse is not tried
  EXPECT_EQ(TakenLetters(), "BP");
}

TEST(EncrTableHeaderTest, SizesAboveAPageCountEveryByte) {
  struct Case {
    uint32_t size;
    std::array<uint8_t, 5> header;
    uint32_t bytes;
  };
  const Case cases[] = {
      {0, {1, 0x00, 0xFF, 0, 1}, 256},       {0x20, {1, 0x00, 0xFF, 0, 1}, 256},
      {256, {1, 0x00, 0xFF, 0, 1}, 256},     {1024, {1, 0, 0, 0x00, 0x04}, 1024},
      {0x800, {1, 0, 0, 0x00, 0x08}, 0x800}, {0x101, {1, 0, 0, 0x01, 0x02}, 0x101},
      {0x1FF, {1, 0, 0, 0xFF, 0x02}, 0x1FF}, {0x200, {1, 0, 0, 0x00, 0x02}, 0x200},
  };
  for (const Case& c : cases) {
    uint32_t bytes = 0;
    EXPECT_EQ(EncrTableHeader(c.size, bytes), c.header) << c.size;
    EXPECT_EQ(bytes, c.bytes) << c.size;
    if (c.size > 256) {
      EXPECT_EQ(sim::programmer::DecodeCount2(c.header[3], c.header[4]), c.size);
    }
  }
}

TEST_P(Config, TablesMoveWholeAndAShortTableIsRepeatedOnByteLinks) {
  std::array<uint8_t, 2048> encr{};
  for (std::size_t i = 0; i < encr.size(); ++i) encr[i] = static_cast<uint8_t>(i * 3 + 1);
  ASSERT_EQ(config_->WriteEncrTable(Device(1, 0, 4), encr), 0);
  auto r = Taken();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].letter, 'Y');
  ASSERT_EQ(r[0].in.size(), 5u + 256u);
  EXPECT_EQ(Bytes(r[0].in.begin(), r[0].in.begin() + 5), (Bytes{1, 0x00, 0xFF, 0, 1}));
  for (uint32_t i = 0; i < 256; ++i) {
    // COM and LPT repeat the four table bytes 64 times; USB sends the buffer as it stands.
    const uint8_t want = GetParam() == kLinkUsb ? encr[i] : encr[i % 4];
    ASSERT_EQ(r[0].in[5 + i], want) << i;
  }

  // 0x1FF bytes: every one of them goes and comes back.
  ASSERT_EQ(config_->WriteEncrTable(Device(1, 0x10, 0x1FF), encr), 0);
  r = Taken();
  EXPECT_EQ(r[0].summary, "space 1 000000 x511");
  EXPECT_EQ(r[0].in.size(), 5u + 0x1FFu);
  std::array<uint8_t, 2048> back{};
  ASSERT_EQ(config_->ReadEncrTable(Device(1, 0x10, 0x1FF), back), 0);
  r = Taken();
  EXPECT_EQ(r[0].summary, "space 1 000000 x511");
  EXPECT_TRUE(std::equal(encr.begin(), encr.begin() + 0x1FF, back.begin()));
  EXPECT_EQ(back[0x1FF], 0);

  // A table larger than the buffer given is refused before anything is sent.
  EXPECT_EQ(config_->ReadEncrTable(Device(1, 0, 0x900), back), 1);
  EXPECT_EQ(TakenLetters(), "");
}

TEST_P(Config, ATableReadThatStopsFails) {
  std::array<uint8_t, 2048> back{};
  Silence("X#20:drop");
  EXPECT_EQ(config_->ReadEncrTable(Device(1, 0, 0x40), back), 1);
  if (GetParam() == kLinkUsb) {
    ASSERT_EQ(shown_.Shown().size(), 1u);
    EXPECT_EQ(shown_.Shown()[0].text, "ERROR");
    EXPECT_EQ(shown_.Shown()[0].caption, "DOWNLOAD");
  } else {
    EXPECT_TRUE(shown_.Shown().empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Links, Config, ::testing::Values(kLinkCom, kLinkLpt, kLinkUsb), SimLinkName);

}  // namespace
}  // namespace zolvek::testing
