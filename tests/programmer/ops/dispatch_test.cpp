// The program and read dispatchers on the simulated programmer: what the
// frame refuses before anything is sent, what it shows, and whole ranges
// of large devices end to end on every link.
#include <gtest/gtest.h>

#include "programmer/ops/operation_engine.h"
#include "programmer/ops/program_workers.h"
#include "programmer/ops/read_workers.h"
#include "tests/programmer/ops/sim_rig.h"

namespace zolvek::testing {
namespace {

struct Device {
  uint32_t mfr, type;
};
constexpr Device k8752{1, 2};
constexpr Device k64K{2, 26};  // 87C51RD+: 64 KB
constexpr Device k128K{30, 1};  // STK6012-5V: 128 KB
constexpr Device kDriver43{27, 0};  // PT8936

std::unique_ptr<SimRig> MakeRig(int32_t kind, Device d) {
  const DeviceTypeRecord* r = FindDeviceType(d.mfr, d.type);
  sim::programmer::EngineConfig c;
  c.chip.size = r->size;
  c.chip.family = static_cast<uint8_t>(r->family);
  c.chip.driverId = static_cast<uint8_t>(r->driverId);
  c.chip.byteProgramUs = 1;
  c.chip.byteReadUs = 1;
  auto rig = std::make_unique<SimRig>(kind, c);
  rig->LoadDriver();
  rig->ops_.SelectedMfr = d.mfr;
  rig->ops_.SelectedType[d.mfr] = d.type;
  rig->ops_.CurFamily = static_cast<uint32_t>(r->family);
  rig->ops_.CurDriverId = r->driverId;
  return rig;
}

uint8_t Pattern(uint32_t i) { return static_cast<uint8_t>((i * 29 + 5) ^ (i >> 8) ^ (i >> 16)); }

class StatusRecorder final : public StatusSink {
public:
  void SetStatusText(int part, const std::string& text) override {
    if (part == 0) texts.push_back(text);
  }
  void SetMainProgress(int percent) override { last = percent; }
  std::vector<std::string> texts;
  int last = -1;
};

class Dispatch : public ::testing::TestWithParam<int32_t> {};

TEST_P(Dispatch, NothingFollowsThePackCheckWithoutADriverOrWithAnUnsoundZone) {
  struct Case {
    const char* what;
    std::function<void(SimRig&)> spoil;
    int32_t status;
  };
  const Case cases[] = {
      {"no driver", [](SimRig& r) { r.state_.NoDriver = 1; }, kStatusOk},
      {"inverted zone",
       [](SimRig& r) {
         r.ops_.DeviceStart = 0x200;
         r.ops_.DeviceEnd = 0x1FF;
       },
       kStatusRefused},
      {"odd bytes past the PcBuffer's end",
       [](SimRig& r) {
         r.ops_.ByteSelect = 4;
         r.ops_.BufferStart = static_cast<uint32_t>(r.ops_.PcBuffer.size()) - 0x40;
         r.ops_.DeviceEnd = 0x20;
       },
       kStatusRefused},
      {"range past the PcBuffer's end",
       [](SimRig& r) { r.ops_.BufferStart = static_cast<uint32_t>(r.ops_.PcBuffer.size()) - 0x20; }, kStatusRefused},
      {"range past the programmer's internal buffer",
       [](SimRig& r) {
         r.HoldBufferInProgrammer();
         r.ops_.BufferStart = 0x1FF01;
       },
       kStatusRefused},
      {"a ByteSelect of 3", [](SimRig& r) { r.ops_.ByteSelect = 3; }, kStatusRefused},
  };
  for (const Case& c : cases) {
    for (int op = 0; op < 2; ++op) {
      SCOPED_TRACE(std::string(c.what) + (op == 0 ? " program" : " read"));
      auto rig = MakeRig(GetParam(), k8752);
      rig->SetZone(0, 0xFF);
      c.spoil(*rig);
      const int result =
          op == 0 ? rig->engine_->ProgramDevice(nullptr, nullptr) : rig->engine_->ReadDevice(nullptr, nullptr);
      EXPECT_EQ(result, 1);
      EXPECT_EQ(rig->Letters(), "B");
      EXPECT_EQ(rig->state_.LinkStatus, c.status);
      EXPECT_EQ(rig->ops_.OperationBusy, 0);
      EXPECT_EQ(rig->shown_.Shown().size(), c.status == kStatusRefused ? 1u : 0u);
    }
  }
}

TEST_P(Dispatch, WorkersRunWithoutTheFrameRefuseAnUnheldRangeToo) {
  auto rig = MakeRig(GetParam(), k8752);
  rig->SetZone(0, 0xFF);
  rig->ops_.BufferStart = static_cast<uint32_t>(rig->ops_.PcBuffer.size()) - 0x80;
  using Worker = int (*)(OperationEngine&, ProgressTarget*, CounterField*);
  for (Worker w :
       {&ProgramStreamCom, &ProgramStreamLpt, &ProgramStreamUsb, &ReadStreamCom, &ReadStreamLpt, &ReadStreamUsb}) {
    rig->state_.LinkStatus = kStatusOk;
    EXPECT_EQ(w(*rig->engine_, nullptr, nullptr), 1);
    EXPECT_EQ(rig->state_.LinkStatus, kStatusRefused);
  }
  EXPECT_EQ(rig->Letters(), "");
}

TEST_P(Dispatch, OddBytesUpToTheLastBufferByteAreAccepted) {
  auto rig = MakeRig(GetParam(), k8752);
  rig->SetZone(0, 0x1F);
  rig->ops_.ByteSelect = 4;
  rig->ops_.BufferStart = static_cast<uint32_t>(rig->ops_.PcBuffer.size()) - 0x40;  // last index: size - 1
  rig->ops_.PcBuffer.back() = 0x5A;
  ASSERT_EQ(rig->engine_->ProgramDevice(nullptr, nullptr), 0);
  EXPECT_EQ(rig->ChipMemory()[0x1F], 0x5A);
}

TEST_P(Dispatch, BlockProgrammingRefusesAnInvertedZoneToo) {
  auto rig = MakeRig(GetParam(), k8752);
  rig->ops_.DeviceStart = 1;
  rig->ops_.DeviceEnd = 0;
  EXPECT_EQ(rig->engine_->ProgramBlock(nullptr, 0), 1);
  EXPECT_EQ(rig->Letters(), "B");
}

TEST_P(Dispatch, ShowsItsTextAndCompletesTheProgress) {
  auto rig = MakeRig(GetParam(), k8752);
  StatusRecorder status;
  rig->progress_.SetSinks(&status, nullptr);
  rig->SetZone(0, 0x3FF);
  ASSERT_EQ(rig->engine_->ProgramDevice(nullptr, nullptr), 0);
  ASSERT_EQ(rig->engine_->ReadDevice(nullptr, nullptr), 0);
  EXPECT_EQ(status.texts, (std::vector<std::string>{"", "Programming now!", "", "Reading now!"}));
  EXPECT_EQ(status.last, 100);
}

TEST_P(Dispatch, Driver43DevicesEndWithFFFFWhateverTheResult) {
  auto rig = MakeRig(GetParam(), kDriver43);
  rig->SetZone(0, 0xFF);
  EXPECT_EQ(rig->engine_->ProgramDevice(nullptr, nullptr), 0);
  EXPECT_EQ(rig->state_.ErrorAddress, 0xFFFFu);
  rig->prog_->Access([](sim::programmer::Engine& e) { e.GetChip().SetLockByte(0x02); });
  EXPECT_EQ(rig->engine_->ReadDevice(nullptr, nullptr), 1);
  EXPECT_EQ(rig->state_.ErrorAddress, 0xFFFFu);
}

// A 64 KB device whose Target Zone ends at 0xFC00, through every worker of
// the link: each byte of the range is programmed and read back.
TEST_P(Dispatch, DeviceEndOffAPageBoundaryIsDoneWholeByEveryWorker) {
  for (bool held : {false, true}) {
    SCOPED_TRACE(held ? "programmer-held buffer" : "PcBuffer");
    auto rig = MakeRig(GetParam(), k64K);
    if (held) {
      rig->HoldBufferInProgrammer();
      for (uint32_t i = 0; i <= 0xFC00; ++i) rig->InternalBuffer()[i] = Pattern(i);
    } else {
      for (uint32_t i = 0; i <= 0xFC00; ++i) rig->ops_.PcBuffer[i] = Pattern(i);
    }
    rig->SetZone(0, 0xFC00);
    ASSERT_EQ(rig->engine_->ProgramDevice(nullptr, nullptr), 0);
    for (uint32_t a = 0; a < 0x10000; ++a) ASSERT_EQ(rig->ChipMemory()[a], a <= 0xFC00 ? Pattern(a) : 0xFF) << a;
    if (held) {
      std::fill(rig->InternalBuffer().begin(), rig->InternalBuffer().end(), 0);
    } else {
      std::fill(rig->ops_.PcBuffer.begin(), rig->ops_.PcBuffer.end(), 0);
    }
    ASSERT_EQ(rig->engine_->ReadDevice(nullptr, nullptr), 0);
    for (uint32_t i = 0; i <= 0xFC01; ++i) {
      const uint8_t got = held ? rig->InternalBuffer()[i] : rig->ops_.PcBuffer[i];
      ASSERT_EQ(got, i <= 0xFC00 ? Pattern(i) : 0) << i;
    }
    EXPECT_EQ(rig->state_.ErrorAddress, 0xFC00u);
  }
}

TEST_P(Dispatch, UsbStreamsOf128KExchangeAfterEach64K) {
  if (GetParam() != kLinkUsb) GTEST_SKIP();
  auto rig = MakeRig(GetParam(), k128K);
  for (uint32_t i = 0; i < 0x20000; ++i) rig->ops_.PcBuffer[i] = Pattern(i);
  rig->SetZone(0, 0x1FFFF);
  const uint32_t writes = rig->ft_->Calls("FT_Write");
  ASSERT_EQ(rig->engine_->ProgramDevice(nullptr, nullptr), 0);
  // 512 blocks and two exchange bytes; the pack check ("AT", 'B') and the
  // operate command ("AT", 'P', the code) are seven more.
  EXPECT_EQ(rig->ft_->Calls("FT_Write") - writes, 512u + 2 + 7);
  const auto op = rig->Operation();
  EXPECT_EQ(op.in.size(), 1u + 0x20000 + 2);
  EXPECT_EQ(op.in[1 + 0x10000], 0);
  EXPECT_EQ(Hex(op.out), Hex({0, 0, 0}));
  for (uint32_t a = 0; a < 0x20000; ++a) ASSERT_EQ(rig->ChipMemory()[a], Pattern(a));
}

// Bytes past the last page handshake are the programmer's to do before its
// final status: a failure there fails the operation with its address.
TEST_P(Dispatch, AFailureAfterTheLastPageFailsTheOperation) {
  for (bool held : {true, false}) {
    SCOPED_TRACE(held ? "programmer-held buffer" : "PcBuffer");
    auto rig = MakeRig(GetParam(), k8752);
    if (held) rig->HoldBufferInProgrammer();
    std::fill(rig->InternalBuffer().begin(), rig->InternalBuffer().end(), 0);
    std::fill(rig->ops_.PcBuffer.begin(), rig->ops_.PcBuffer.end(), 0);
    rig->prog_->AddFault(*sim::programmer::ParseFaultSpec("*:failat:0x2E0", nullptr));
    rig->SetZone(0x1F0, 0x2F0);  // one page handshake, for 0x1F0-0x1FF
    EXPECT_EQ(rig->engine_->ProgramDevice(nullptr, nullptr), 1);
    EXPECT_EQ(rig->state_.ErrorAddress, 0x2E0u);
    EXPECT_EQ(FormatOperationError(rig->state_.LinkStatus, rig->state_.ErrorAddress),
              "Error at 0002E0 !                   ");
  }
}

// On USB the streams sample ESC at every 64 KB mark only.
TEST_P(Dispatch, UsbStreamsSeeEscAtThe64KMark) {
  if (GetParam() != kLinkUsb) GTEST_SKIP();
  for (int op = 0; op < 2; ++op) {
    auto rig = MakeRig(GetParam(), k128K);
    rig->SetZone(0, 0x1FFFF);
    rig->keys_.Press(platform::Key::Escape);
    EXPECT_EQ(op == 0 ? rig->engine_->ProgramDevice(nullptr, nullptr) : rig->engine_->ReadDevice(nullptr, nullptr), 1);
    const auto rec = rig->Operation();
    EXPECT_EQ(rec.in.size(), op == 0 ? 1u + 0x10000 + 1 : 2u);
    EXPECT_EQ(rec.in.back(), 1);
    EXPECT_EQ(rec.out.back(), 4);
    EXPECT_EQ(rig->state_.LinkStatus, kStatusAborted);
    EXPECT_EQ(rig->ops_.OperationBusy, 1);
  }
}

INSTANTIATE_TEST_SUITE_P(Links, Dispatch, ::testing::Values(kLinkCom, kLinkLpt, kLinkUsb), SimLinkName);

}  // namespace
}  // namespace zolvek::testing
