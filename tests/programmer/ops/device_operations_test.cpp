// Erase, lock bits, ID codes, clock mode and the encryption table against the
// simulated programmer on every link, by transcript; the block masks and the
// ID match rule as tables.
#include "programmer/ops/device_operations.h"

#include <gtest/gtest.h>

#include "sim/programmer/faults.h"
#include "tests/programmer/ops/sim_rig.h"

namespace zolvek::testing::checks {
namespace {

sim::programmer::FaultRule Fault(const char* spec) {
  std::string error;
  auto rule = sim::programmer::ParseFaultSpec(spec, &error);
  EXPECT_TRUE(rule.has_value()) << error;
  return rule.value_or(sim::programmer::FaultRule{});
}

class DeviceOps : public SimOpsEveryLink {
protected:
  void SetUp() override {
    UseChip([](sim::programmer::ChipParams&) {});
  }
  template <class F>
  void UseChip(F&& adjust) {
    sim::programmer::ChipParams chip;
    chip.size = 0x2000;
    chip.eraseKind = 2;
    chip.lockBitCount = 6;
    chip.hasClockMode = true;
    const DeviceTypeRecord* device = ops_.CurrentDevice();
    if (device) chip.idBytes = device->idBytes;
    adjust(chip);
    UseWithDriver(GetParam(), chip);
    SetZone(0, 0x1FFF);
  }
  uint8_t Off() const { return OpCodeOffsetFor(GetParam()); }
  uint8_t Code(char c) const { return static_cast<uint8_t>(c + Off()); }
};

TEST_P(DeviceOps, EraseSendsItsCodeAndBlockBytesAfterThePause) {
  Engine([](sim::programmer::Engine& e) { e.GetChip().Program(0x10, 0); });
  EXPECT_EQ(EraseDevice(*engine_, &counter_), 0);
  EXPECT_EQ(Letters(), "BP");
  EXPECT_EQ(LastOperate().in, Bytes{'E'});  // no offset on any link
  EXPECT_EQ(LastOperate().out, Bytes{0});
  Engine([](sim::programmer::Engine& e) { EXPECT_EQ(e.GetChip().Read(0x10), 0xFF); });

  prog_->Log().Clear();
  const uint32_t slept = clock_.Slept();
  EXPECT_EQ(EraseBlock(*engine_, &counter_, BlockByte(0x01, 3)), 0);
  EXPECT_GE(clock_.Slept() - slept, 60u);
  EXPECT_EQ(LastOperate().in, (Bytes{Code('e'), 3}));
  EXPECT_EQ(EraseBlock(*engine_, &counter_, kEraseWholeChip), 0);
  EXPECT_EQ(LastOperate().in, (Bytes{Code('e'), 'A'}));
  // The full erase of the configuration dialogs: pack check, no status text.
  prog_->Log().Clear();
  EXPECT_EQ(EraseDeviceFull(*engine_), 0);
  EXPECT_EQ(Letters(), "BP");
  EXPECT_EQ(LastOperate().in, (Bytes{Code('e'), 'F'}));
}

TEST_P(DeviceOps, LockBitsByCharacterByNumberAndAsAByteAndTheirReadBack) {
  EXPECT_EQ(ProgramLockBit1(*engine_), 0);
  EXPECT_EQ(LastOperate().in, (Bytes{Code('L'), '0'}));
  EXPECT_EQ(ProgramLockBit3(*engine_), 0);
  EXPECT_EQ(LastOperate().in, (Bytes{Code('L'), '2'}));
  EXPECT_EQ(ProgramLockBit(*engine_, &counter_, 4), 0);
  EXPECT_EQ(LastOperate().in, (Bytes{Code('L'), 4}));
  EXPECT_EQ(Letters(), "BPBPBP");

  prog_->Log().Clear();
  const LockBitsReading r = ReadLockBits(*engine_);
  EXPECT_TRUE(r.answered);
  EXPECT_EQ(r.bits, 0x15);  // bits 0, 2 and 4
  EXPECT_EQ(Letters(), "P");  // no pack check
  EXPECT_EQ(LastOperate().in, (Bytes{Code('l'), 0}));

  // A bit number beyond the programmer's is refused unsent.
  prog_->Log().Clear();
  EXPECT_EQ(ProgramLockBit(*engine_, &counter_, 6), 1);
  EXPECT_EQ(LockBitOp(*engine_, 0xFF), 1);
  EXPECT_EQ(Letters(), "");

  // A whole lock byte is for family 0x07; this chip refuses it and its
  // status comes back unchanged.
  EXPECT_EQ(ProgramLockByte(*engine_, 0x5A), 3);
  EXPECT_EQ(Letters(), "P");
  EXPECT_EQ(LastOperate().in, (Bytes{Code('L'), 0x5A}));
}

TEST_P(DeviceOps, ReadLockBitsReportsAProgrammerThatDidNotAnswer) {
  prog_->AddFault(Fault("P#1:drop"));
  prog_->AddFault(Fault("P#2:drop"));
  const LockBitsReading r = ReadLockBits(*engine_);
  EXPECT_FALSE(r.answered);
  EXPECT_EQ(r.bits, 0);
}

TEST_P(DeviceOps, IdCodesAreReadFromTheFourRegistersAndChecked) {
  UseChip([](sim::programmer::ChipParams& c) { c.idBytes = {0x1E, 0x52, 0x06, 0x07}; });
  ops_.IdCodes = {};
  EXPECT_EQ(ReadIdCodes(*engine_), 0);
  EXPECT_EQ(ops_.IdCodes, (std::array<uint8_t, 4>{0x1E, 0x52, 0x06, 0x07}));
  EXPECT_EQ(Letters(), "PIIII");
  const auto log = prog_->Log().Records();
  EXPECT_EQ(log[0].in, Bytes{'S'});
  EXPECT_EQ(log[1].in, Bytes{22});
  EXPECT_EQ(log[2].in, Bytes{31});
  EXPECT_EQ(log[3].in, Bytes{86});
  EXPECT_EQ(log[4].in, Bytes{87});
}

TEST_P(DeviceOps, AnIdRegisterWithoutReplyFailsTheCheck) {
  const DeviceTypeRecord* device = ops_.CurrentDevice();
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(CheckIdCodes(*engine_, &counter_), 0);
  // The third register does not answer: the codes of the earlier read are
  // still there and would match, but the check fails.
  prog_->AddFault(Fault("I@3:drop"));
  EXPECT_EQ(CheckIdCodes(*engine_, &counter_), 1);
  prog_->ClearFaults();
  prog_->AddFault(Fault("*:chipid:00000000"));
  EXPECT_EQ(CheckIdCodes(*engine_, &counter_), 1);
  EXPECT_EQ(ops_.IdCodes[0], 0);
}

TEST_P(DeviceOps, ClockModeIsProgrammedAndVerified) {
  EXPECT_EQ(VerifyClockMode(*engine_), 1);
  EXPECT_EQ(LastOperate().in, Bytes{Code('t')});
  EXPECT_EQ(ProgramClockMode(*engine_), 0x100);
  EXPECT_EQ(LastOperate().in, Bytes{'x'});
  EXPECT_EQ(VerifyClockMode(*engine_), 0);
  EXPECT_EQ(LastOperate().out, (Bytes{0x80, 0}));
  EXPECT_EQ(ops_.OperationBusy, 0);
}

TEST_P(DeviceOps, EncryptionTableOfADeviceWithoutATableGoesAsTheEraseCode) {
  EXPECT_EQ(ProgramDeviceEncr(*engine_), 0);
  EXPECT_EQ(Letters(), "BP");
  EXPECT_EQ(LastOperate().in, Bytes{'E'});
}

TEST_P(DeviceOps, AnInvertedTargetZoneIsRefusedByEveryDispatcher) {
  ops_.DeviceStart = 0x200;
  ops_.DeviceEnd = 0x1FF;
  prog_->Log().Clear();
  EXPECT_EQ(EraseDevice(*engine_, &counter_), 1);
  EXPECT_EQ(EraseBlock(*engine_, &counter_, 0), 1);
  EXPECT_EQ(ProgramLockBit1(*engine_), 1);
  EXPECT_EQ(ProgramLockBit(*engine_, &counter_, 1), 1);
  EXPECT_EQ(VerifyClockMode(*engine_), 1);
  EXPECT_EQ(ProgramClockMode(*engine_), 1);
  EXPECT_EQ(ProgramDeviceEncr(*engine_), 1);
  EXPECT_EQ(Letters(), "BBBBBBB");  // the pack checks only
}

INSTANTIATE_TEST_SUITE_P(Links, DeviceOps, ::testing::Values(kLinkCom, kLinkLpt, kLinkUsb), SimLinkName);

TEST(BlockMask, ByEraseKindAndSize) {
  struct Case {
    uint32_t eraseKind, size;
    uint16_t valid, selected;
  };
  const Case cases[] = {
      {2, 0x2000, 0x1F, 0x1F},      {3, 0x1000, 0x01, 0x01},
      {3, 0x4000, 0x03, 0x03},      {3, 0x8000, 0x07, 0x07},
      {3, 0x10000, 0x1F, 0x1F},     {7, 0x2000, 0x03, 0x03},
      {8, 0x2000, 0xFFF, 0xFFF},    {9, 0x8000, 0xFF, 0xFF},
      {9, 0x10000, 0xFFFF, 0xFFFF}, {10, 0x2000, 0x0F, 0x0F},
      {12, 0x2000, 0x07, 0x07},     {3, 0x20000, 0x1234, 0xFFFF},  // no mask for this size: both unchanged
      {1, 0x2000, 0x1234, 0xFFFF},
  };
  for (const Case& c : cases) {
    OpsState ops;
    ops.ValidBlocks = 0x1234;
    DeviceTypeRecord device{};
    device.eraseKind = c.eraseKind;
    device.size = c.size;
    SetBlockMask(ops, device);
    EXPECT_EQ(ops.ValidBlocks, c.valid) << c.eraseKind << " " << c.size;
    EXPECT_EQ(ops.SelectedBlocks, c.selected) << c.eraseKind << " " << c.size;
  }
  EXPECT_EQ(BlockByte(0x02, 0), 1);
  EXPECT_EQ(BlockByte(0x03, 1), 6);
  EXPECT_EQ(BlockByte(0x03, 4), 7);
  EXPECT_EQ(BlockByte(0x03, 2), 2);
  EXPECT_EQ(BlockByte(0x01, 15), 15);
}

TEST(IdMatch, ThirdCodeRulesByFamilyAndCount) {
  DeviceTypeRecord bx{};
  bx.name = "89C58Bx";
  bx.family = 0x05;
  bx.idByteCount = 3;
  bx.idBytes = {0x15, 0xC2, 0xFE, 0xF8};
  EXPECT_TRUE(IdCodesMatch(bx, {0x15, 0xC2, 0xFE, 0}));
  EXPECT_TRUE(IdCodesMatch(bx, {0x15, 0xC2, 0xF8, 0}));
  EXPECT_FALSE(IdCodesMatch(bx, {0x15, 0xC2, 0xFD, 0}));
  EXPECT_FALSE(IdCodesMatch(bx, {0x15, 0xC3, 0xFE, 0}));
  DeviceTypeRecord other = bx;
  other.name = "89C51";
  EXPECT_TRUE(IdCodesMatch(other, {0x15, 0xC2, 0x00, 0}));
  DeviceTypeRecord f12 = bx;
  f12.name = "X";
  f12.family = 0x12;
  EXPECT_TRUE(IdCodesMatch(f12, {0x15, 0xC2, 0xF8, 0}));
  EXPECT_FALSE(IdCodesMatch(f12, {0x15, 0xC2, 0x00, 0}));
  DeviceTypeRecord two = f12;
  two.family = 0x01;
  two.idByteCount = 2;
  EXPECT_TRUE(IdCodesMatch(two, {0x15, 0xC2, 0x11, 0x22}));
  DeviceTypeRecord four = two;
  four.idByteCount = 4;
  EXPECT_TRUE(IdCodesMatch(four, {0x15, 0xC2, 0xFE, 0xF8}));
  EXPECT_FALSE(IdCodesMatch(four, {0x15, 0xC2, 0xFE, 0xF9}));
}

}  // namespace
}  // namespace zolvek::testing::checks
