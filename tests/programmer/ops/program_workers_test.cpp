// The programming workers against the simulated programmer on every link:
// the exact bytes each sends and receives, what lands in the chip, the
// counter, and ESC.
#include "programmer/ops/program_workers.h"

#include <gtest/gtest.h>

#include "tests/programmer/ops/sim_rig.h"

namespace zolvek::testing {
namespace {

using sim::programmer::ChipParams;
using sim::programmer::EngineConfig;

struct DeviceChoice {
  uint32_t mfr, type;
};
constexpr DeviceChoice k8752{1, 2};  // 8 KB, family 0, plain page programming
constexpr DeviceChoice kPassDevice{12, 0};  // driver 36: programming passes
constexpr DeviceChoice kCheckedDevice{21, 23};  // family 0x26: cycles closed by a check pass

// The simulated chip that matches a catalogue device.
EngineConfig ConfigFor(DeviceChoice d, uint32_t passesNeeded = 1) {
  const DeviceTypeRecord* r = FindDeviceType(d.mfr, d.type);
  EngineConfig c;
  c.chip.name = r->name;
  c.chip.size = r->size;
  c.chip.family = static_cast<uint8_t>(r->family);
  c.chip.driverId = static_cast<uint8_t>(r->driverId);
  c.chip.passesNeeded = passesNeeded;
  return c;
}

void Select(SimRig& rig, DeviceChoice d) {
  rig.ops_.SelectedMfr = d.mfr;
  rig.ops_.SelectedType[d.mfr] = d.type;
  const DeviceTypeRecord* r = FindDeviceType(d.mfr, d.type);
  rig.ops_.CurFamily = static_cast<uint32_t>(r->family);
  rig.ops_.CurDriverId = r->driverId;
}

uint8_t Pattern(uint32_t i) { return static_cast<uint8_t>((i * 37 + 11) ^ (i >> 8)); }

class ProgramWorkers : public ::testing::TestWithParam<int32_t> {
protected:
  std::unique_ptr<SimRig> Rig(DeviceChoice d = k8752, uint32_t passesNeeded = 1) {
    auto rig = std::make_unique<SimRig>(GetParam(), ConfigFor(d, passesNeeded));
    rig->LoadDriver();
    Select(*rig, d);
    return rig;
  }
  uint8_t Code(uint8_t base) const { return static_cast<uint8_t>(base + OpCodeOffsetFor(GetParam())); }
};

struct Zone {
  uint32_t start, end;
};
// Ranges on and off 256-byte boundaries, the last one a whole device.
const Zone kZones[] = {{0x10, 0x20}, {0x1F0, 0x2F0}, {0x1F0, 0x30F}, {0x0, 0x1FFF}};

TEST_P(ProgramWorkers, FromBufferPacesEveryPageAndProgramsEveryByteOfTheRange) {
  for (const Zone z : kZones) {
    SCOPED_TRACE(::testing::Message() << std::hex << z.start << "-" << z.end);
    auto rig = Rig();
    rig->HoldBufferInProgrammer();
    for (uint32_t i = 0; i < 0x2000; ++i) rig->InternalBuffer()[0x100 + i] = Pattern(i);
    rig->SetZone(z.start, z.end, 0x100);
    ASSERT_EQ(rig->engine_->ProgramDevice(nullptr, &rig->counter_), 0);

    const bool usb = GetParam() == kLinkUsb;
    const uint32_t pages = usb ? 0 : ((z.end + 1) >> 8) - (z.start >> 8);
    Bytes in{Code('P')}, out;
    std::vector<std::string> draws{rig->counter_.drawn.front()};
    for (uint32_t i = 0; i < pages; ++i) {
      in.push_back(0);
      out.push_back(0);
    }
    out.push_back(0);  // final status
    const auto op = rig->Operation();
    EXPECT_EQ(Hex(op.in), Hex(in));
    EXPECT_EQ(Hex(op.out), Hex(out));
    EXPECT_EQ(rig->Letters(), "BP");
    for (uint32_t a = 0; a < 0x2000; ++a) {
      const bool inside = a >= z.start && a <= z.end;
      ASSERT_EQ(rig->ChipMemory()[a], inside ? Pattern(a - z.start) : 0xFF) << std::hex << a;
    }
    EXPECT_EQ(rig->state_.ErrorAddress, z.end);
    EXPECT_EQ(rig->state_.LinkStatus, kStatusOk);
    EXPECT_EQ(rig->ops_.OperationBusy, 0);
    EXPECT_EQ(rig->counter_.drawn.size(), pages + 2);
    char last[8];
    std::snprintf(last, sizeof last, "%06X", z.end);
    EXPECT_EQ(rig->counter_.drawn.back(), last);
  }
}

TEST_P(ProgramWorkers, FromBufferDrawsEachPageAddress) {
  if (GetParam() == kLinkUsb) GTEST_SKIP() << "a device of 64 KB or less has no pages on USB";
  auto rig = Rig();
  rig->HoldBufferInProgrammer();
  rig->SetZone(0x1F0, 0x30F);
  ASSERT_EQ(rig->engine_->ProgramDevice(nullptr, &rig->counter_), 0);
  EXPECT_EQ(rig->counter_.drawn, (std::vector<std::string>{"0001F0", "0001F0", "0002F0", "00030F"}));
}

TEST_P(ProgramWorkers, FromBufferFailureReadsTheProgrammersErrorAddress) {
  auto rig = Rig();
  rig->HoldBufferInProgrammer();
  for (uint32_t i = 0; i < 0x2000; ++i) rig->InternalBuffer()[i] = 0x00;
  rig->prog_->AddFault(*sim::programmer::ParseFaultSpec("*:failat:0x345", nullptr));
  rig->SetZone(0, 0x1FFF);
  EXPECT_EQ(rig->engine_->ProgramDevice(nullptr, &rig->counter_), 1);
  EXPECT_EQ(rig->state_.ErrorAddress, 0x345u);
  EXPECT_EQ(rig->state_.LinkStatus, kStatusOk);
  EXPECT_EQ(rig->Letters(), "BPIII");
  EXPECT_EQ(FormatOperationError(rig->state_.LinkStatus, rig->state_.ErrorAddress),
            "Error at 000345 !                   ");
}

TEST_P(ProgramWorkers, FromBufferEscSendsOneAtTheNextPageAndReadsTheFinalStatus) {
  if (GetParam() == kLinkUsb) GTEST_SKIP() << "no page handshakes on USB for this device";
  auto rig = Rig();
  rig->HoldBufferInProgrammer();
  rig->SetZone(0, 0x1FFF);
  rig->keys_.PressAtPoll(platform::Key::Escape, 3);
  EXPECT_EQ(rig->engine_->ProgramDevice(nullptr, &rig->counter_), 1);
  const auto op = rig->Operation();
  EXPECT_EQ(Hex(op.in), Hex({Code('P'), 0, 0, 1}));
  EXPECT_EQ(Hex(op.out), Hex({0, 0, 4}));  // two pages, then the aborted status
  EXPECT_EQ(rig->state_.LinkStatus, kStatusAborted);
  EXPECT_EQ(rig->ops_.OperationBusy, 1);  // the filter meets the queued ESC
  EXPECT_EQ(FormatOperationError(rig->state_.LinkStatus, 0), "USER Terminated                    ");
}

// The stream's exact exchange for a range: byte, its acknowledgement on COM,
// and the exchange after every 256 addresses (64 KB on USB).
void StreamTranscript(int32_t kind, Zone z, const std::function<uint8_t(uint32_t)>& byteOf, Bytes& in, Bytes& out) {
  const uint32_t mark = kind == kLinkUsb ? 0xFFFF : 0xFF;
  for (uint32_t a = z.start; a <= z.end; ++a) {
    in.push_back(byteOf(a));
    if (kind == kLinkCom) out.push_back(0);
    if ((a & mark) == mark) {
      in.push_back(0);
      out.push_back(0);
    }
  }
  out.push_back(0);
}

TEST_P(ProgramWorkers, StreamSendsEveryByteOfTheRangeWithItsExchanges) {
  for (const Zone z : kZones) {
    SCOPED_TRACE(::testing::Message() << std::hex << z.start << "-" << z.end);
    auto rig = Rig();
    for (uint32_t i = 0; i < 0x3000; ++i) rig->ops_.PcBuffer[i] = Pattern(i);
    rig->SetZone(z.start, z.end, 0x40);
    ASSERT_EQ(rig->engine_->ProgramDevice(nullptr, &rig->counter_), 0);
    Bytes in{GetParam() == kLinkCom ? uint8_t{'p'} : Code('p')}, out;
    StreamTranscript(
        GetParam(), z, [&](uint32_t a) { return Pattern(0x40 + a - z.start); }, in, out);
    const auto op = rig->Operation();
    EXPECT_EQ(op.in, in);
    EXPECT_EQ(op.out, out);
    for (uint32_t a = 0; a < 0x2000; ++a) {
      const bool inside = a >= z.start && a <= z.end;
      ASSERT_EQ(rig->ChipMemory()[a], inside ? Pattern(0x40 + a - z.start) : 0xFF) << std::hex << a;
    }
    EXPECT_EQ(rig->state_.ErrorAddress, z.end);
  }
}

TEST_P(ProgramWorkers, StreamByteSelectTakesEvenOrOddBufferBytes) {
  for (uint32_t select : {2u, 4u}) {
    auto rig = Rig();
    for (uint32_t i = 0; i < 0x100; ++i) rig->ops_.PcBuffer[i] = static_cast<uint8_t>(i);
    rig->ops_.ByteSelect = select;
    rig->SetZone(0, 0x1F);
    ASSERT_EQ(rig->engine_->ProgramDevice(nullptr, nullptr), 0);
    for (uint32_t a = 0; a < 0x20; ++a) EXPECT_EQ(rig->ChipMemory()[a], a * 2 + (select == 4 ? 1 : 0));
  }
}

TEST_P(ProgramWorkers, StreamFailureStopsAndReadsTheErrorAddress) {
  auto rig = Rig();
  for (uint32_t i = 0; i < 0x2000; ++i) rig->ops_.PcBuffer[i] = 0;
  rig->prog_->AddFault(*sim::programmer::ParseFaultSpec("*:failat:0x123", nullptr));
  rig->SetZone(0, 0x1FFF);
  EXPECT_EQ(rig->engine_->ProgramDevice(nullptr, nullptr), 1);
  EXPECT_EQ(rig->state_.ErrorAddress, 0x123u);
  EXPECT_EQ(rig->Letters(), "BPIII");
  const auto op = rig->Operation();
  // COM stops at the failed byte's acknowledgement; LPT at the next exchange.
  if (GetParam() == kLinkCom) {
    EXPECT_EQ(op.in.size(), 1u + 0x124 + 1);  // with the exchange after 0xFF
  } else if (GetParam() == kLinkLpt) {
    EXPECT_EQ(op.in.size(), 1u + 0x200 + 2);
  }
}

TEST_P(ProgramWorkers, StreamEscIsSeenAtTheNextExchangePoint) {
  auto rig = Rig();
  const bool usb = GetParam() == kLinkUsb;
  // 64 KB marks only on USB: an 8 KB device has none, so ESC changes nothing.
  rig->SetZone(0, 0x1FFF);
  rig->keys_.Press(platform::Key::Escape);
  const int result = rig->engine_->ProgramDevice(nullptr, nullptr);
  const auto op = rig->Operation();
  if (usb) {
    EXPECT_EQ(result, 0);
    return;
  }
  EXPECT_EQ(result, 1);
  EXPECT_EQ(rig->state_.LinkStatus, kStatusAborted);
  ASSERT_GE(op.in.size(), 2u);
  EXPECT_EQ(op.in.back(), 1);  // after address 0xFF
  EXPECT_EQ(op.in.size(), 1u + 0x100 + 1);
  EXPECT_EQ(op.out.back(), 4);
  EXPECT_EQ(rig->keys_.Polls(platform::Key::Escape), 1u);
}

TEST_P(ProgramWorkers, PassesRepeatUntilThePassStatusSaysDone) {
  auto rig = Rig(kPassDevice, 3);
  rig->HoldBufferInProgrammer();
  for (uint32_t i = 0; i < 0x2000; ++i) rig->InternalBuffer()[i] = Pattern(i);
  rig->SetZone(0x1F0, 0x30F);
  ASSERT_EQ(rig->engine_->ProgramDevice(nullptr, &rig->counter_), 0);
  // Three passes: 0 and its answer, two pages, 0 and the pass status; then 1.
  Bytes in{Code('P')}, out;
  for (int pass = 1; pass <= 3; ++pass) {
    in.insert(in.end(), {0, 0, 0, 0});
    out.insert(out.end(), {0, 0, 0, static_cast<uint8_t>(pass == 3 ? 0 : 1)});
  }
  in.push_back(1);
  out.push_back(0);
  const auto op = rig->Operation();
  EXPECT_EQ(Hex(op.in), Hex(in));
  EXPECT_EQ(Hex(op.out), Hex(out));
  for (uint32_t a = 0x1F0; a <= 0x30F; ++a) ASSERT_EQ(rig->ChipMemory()[a], Pattern(a - 0x1F0));
  EXPECT_EQ(rig->state_.ErrorAddress, 0x30Fu);
}

TEST_P(ProgramWorkers, PassesStopAfterTenAndEscSendsOneTwice) {
  {
    auto rig = Rig(kPassDevice, 50);
    rig->HoldBufferInProgrammer();
    rig->SetZone(0, 0xFF);
    EXPECT_EQ(rig->engine_->ProgramDevice(nullptr, nullptr), 1);
    const auto op = rig->Operation();
    Bytes in{Code('P')};
    for (int pass = 1; pass <= 10; ++pass) in.insert(in.end(), {0, 0, 0});
    in.push_back(1);
    EXPECT_EQ(Hex(op.in), Hex(in));
    EXPECT_EQ(rig->Letters(), "BPIII");
  }
  {
    auto rig = Rig(kPassDevice, 3);
    rig->HoldBufferInProgrammer();
    rig->SetZone(0, 0x3FF);
    rig->keys_.PressAtPoll(platform::Key::Escape, 2);
    EXPECT_EQ(rig->engine_->ProgramDevice(nullptr, nullptr), 1);
    EXPECT_EQ(Hex(rig->Operation().in), Hex({Code('P'), 0, 0, 1, 1}));
    EXPECT_EQ(rig->state_.LinkStatus, kStatusAborted);
  }
}

TEST_P(ProgramWorkers, CheckedCyclesProgramThenCheckThenCloseWithACheckPass) {
  auto rig = Rig(kCheckedDevice);
  rig->HoldBufferInProgrammer();
  for (uint32_t i = 0; i < 0x2000; ++i) rig->InternalBuffer()[i] = Pattern(i);
  rig->SetZone(0x1F0, 0x30F);
  ASSERT_EQ(rig->engine_->ProgramDevice(nullptr, &rig->counter_), 0);
  // Program pass (2 pages), 0xAA / 'U', check pass, closing check pass, 0xAA / 'U', final.
  const Bytes in{Code('P'), 0, 0, 'U', 0, 0, 0, 0, 'U'};
  const Bytes out{0, 0, 0xAA, 0, 0, 0, 0, 0xAA, 0};
  const auto op = rig->Operation();
  EXPECT_EQ(Hex(op.in), Hex(in));
  EXPECT_EQ(Hex(op.out), Hex(out));
  for (uint32_t a = 0x1F0; a <= 0x30F; ++a) ASSERT_EQ(rig->ChipMemory()[a], Pattern(a - 0x1F0));
  EXPECT_EQ(rig->counter_.drawn,
            (std::vector<std::string>{"0001F0", "0002F0", "000000  ", "000100  ", "000000  ", "000100  ", "00030F"}));
}

TEST_P(ProgramWorkers, CheckedFailsAfterFourCyclesAndReadsTheErrorAddressOfItsDevice) {
  auto rig = Rig(kCheckedDevice);
  rig->HoldBufferInProgrammer();
  for (uint32_t i = 0; i < 0x2000; ++i) rig->InternalBuffer()[i] = 0;
  rig->prog_->AddFault(*sim::programmer::ParseFaultSpec("*:failat:0x120", nullptr));
  rig->SetZone(0, 0x1FF);
  EXPECT_EQ(rig->engine_->ProgramDevice(nullptr, nullptr), 1);
  Bytes in{Code('P')}, out;
  for (int cycle = 1; cycle <= 4; ++cycle) {
    in.insert(in.end(), {0, 0, 'U', 0, 0});
    out.insert(out.end(), {0, 0, 0xAA, 0, 1});
  }
  out.push_back(1);  // the one byte read on the way out
  const auto op = rig->Operation();
  EXPECT_EQ(Hex(op.in), Hex(in));
  EXPECT_EQ(Hex(op.out), Hex(out));
  EXPECT_EQ(rig->Letters(), "BPIII");
  EXPECT_EQ(rig->state_.ErrorAddress, 0x120u);
}

TEST_P(ProgramWorkers, CheckedEscInACheckPassStopsAtTheNextProgramPage) {
  auto rig = Rig(kCheckedDevice);
  rig->HoldBufferInProgrammer();
  rig->SetZone(0, 0x1FF);
  rig->keys_.PressAtPoll(platform::Key::Escape, 3);  // first page of the check pass
  EXPECT_EQ(rig->engine_->ProgramDevice(nullptr, nullptr), 1);
  const auto op = rig->Operation();
  EXPECT_EQ(Hex(op.in), Hex({Code('P'), 0, 0, 'U', 1, 1}));
  EXPECT_EQ(Hex(op.out), Hex({0, 0, 0xAA, 4}));
  EXPECT_EQ(rig->state_.LinkStatus, kStatusAborted);
}

TEST_P(ProgramWorkers, BlockSendsItsNumberAfterAPauseAndReturnsTheStatus) {
  EngineConfig config = ConfigFor(k8752);
  config.chip.eraseKind = 2;
  auto rig = std::make_unique<SimRig>(GetParam(), config);
  rig->LoadDriver();
  Select(*rig, k8752);
  rig->SetZone(0, 0x1FFF);
  const uint32_t before = rig->clock_.Tick();
  const int status = rig->engine_->ProgramBlock(nullptr, 0);
  EXPECT_GE(rig->clock_.Tick() - before, 60u);
  const auto op = rig->Operation();
  ASSERT_EQ(op.in.size(), 2u);
  EXPECT_EQ(op.in[0], Code('p'));
  EXPECT_EQ(op.in[1], 0);
  ASSERT_EQ(op.out.size(), 1u);
  EXPECT_EQ(status, op.out[0]);
  EXPECT_EQ(rig->Letters(), status == 0 ? "BP" : "BPIII");
}

INSTANTIATE_TEST_SUITE_P(Links, ProgramWorkers, ::testing::Values(kLinkCom, kLinkLpt, kLinkUsb), SimLinkName);

}  // namespace
}  // namespace zolvek::testing
