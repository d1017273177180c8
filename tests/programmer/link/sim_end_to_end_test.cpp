// The link against the simulated programmer (written apart from this code),
// in process on virtual time: over a serial line, the parallel port layer and
// the fake USB library. Connect, negotiate, check the pack, download monitor
// and driver, and survive injected faults with a bounded failure and the
// program's message.
#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "platform/clock.h"
#include "platform/messages.h"
#include "programmer/link/connection.h"
#include "programmer/link/downloads.h"
#include "sim/programmer/lpt_port.h"
#include "sim/programmer/programmer.h"
#include "sim/programmer/usb_adapter.h"
#include "tests/support/scoped_env.h"
#include "tests/support/scratch_dir.h"

namespace zolvek::testing {
namespace {

namespace zsim = sim::programmer;
using Bytes = std::vector<uint8_t>;

// A serial line onto the simulated programmer.
class SimLine final : public SerialLine {
public:
  SimLine(zsim::Programmer& p, platform::VirtualClock& clock) : p_(p), clock_(clock) {}
  bool Write(const uint8_t* d, std::size_t n, std::size_t& w) override {
    w = 0;
    if (p_.CablePulled()) return false;
    p_.HostWrite(d, n, baud_);
    w = n;
    return true;
  }
  bool Read(uint8_t* d, std::size_t n, uint32_t timeoutMs, std::size_t& r) override {
    r = 0;
    const uint32_t start = clock_.Tick();
    for (;;) {
      if (p_.CablePulled()) return false;
      r = p_.HostRead(d, n, baud_);
      if (r > 0) return true;
      const uint32_t elapsed = clock_.Tick() - start;
      if (elapsed >= timeoutMs) return true;
      const auto us = p_.UsUntilOutput();
      uint32_t step = timeoutMs - elapsed;
      if (us) step = std::min<uint32_t>(step, std::max<uint32_t>(1, static_cast<uint32_t>((*us + 999) / 1000)));
      clock_.Advance(step);
    }
  }
  void PurgeRx() override { p_.HostReadAll(baud_); }
  void PurgeTx() override {}
  bool Close() override { return true; }
  bool SetBaud(uint32_t baud) override {
    baud_ = baud;
    return true;
  }

private:
  zsim::Programmer& p_;
  platform::VirtualClock& clock_;
  uint32_t baud_ = BaudTable[0];
};

class Images final : public DriverImageSource {
public:
  Bytes image;
  std::optional<std::vector<uint8_t>> Find(std::string_view name) const override {
    if (name != "T1") return std::nullopt;
    return image;
  }
};

Bytes Pattern(std::size_t n, uint8_t seed) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(seed + i * 29 + (i >> 8));
  return b;
}

class SimEndToEnd : public ::testing::TestWithParam<int32_t> {
protected:
  SimEndToEnd() : clock_(1000), scoped_(clock_), messages_(shown_) {}

  void SetUp() override {
    state_.LinkKind = GetParam();
    state_.BaudIndex = 0;
    link_ = std::make_unique<ProgrammerLink>(state_, [this](int n) -> std::unique_ptr<SerialLine> {
      if (n != 1) return nullptr;
      return std::make_unique<SimLine>(prog_, clock_);
    });
    commands_ = std::make_unique<Commands>(*link_);
    images_.image = Pattern(1672, 3);
    const Bytes mon = Pattern(700, 5);
    for (const char* name : {"MON08E.BIN", "MON08P.BIN"})
      std::ofstream(dir_ / name, std::ios::binary).write(reinterpret_cast<const char*>(mon.data()), mon.size());
    switch (GetParam()) {
      case kLinkCom: ASSERT_EQ(link_->Com().ComOpen(1), 1); break;
      case kLinkLpt:
        link_->Lpt().SetPort(&lpt_);
        ASSERT_TRUE(link_->Lpt().LptOpenLink());
        break;
      case kLinkUsb: {
        ASSERT_TRUE(fake_.Loaded()) << fake_.Error();
        fake_.AddProgrammer(prog_);
        vx930::testing::ScopedEnv env("FTD2XX_LIBRARY", zsim::FakeFtd2xxPath());
        usbLibrary_.LoadUsbLibrary(state_);
        ASSERT_EQ(state_.UsbUnavailable, 0) << shown_.LastText();
        link_->Usb().SetApi(usbLibrary_.Api());
        FindUsbProgrammer(state_, usbLibrary_.Api());
        ASSERT_EQ(state_.UsbNotFound, 0);
        ASSERT_TRUE(link_->Usb().UsbReset());
        break;
      }
    }
  }
  void TearDown() override { link_->CloseAll(); }

  void Fault(const std::string& spec) {
    std::string error;
    auto rule = zsim::ParseFaultSpec(spec, &error);
    ASSERT_TRUE(rule) << error;
    prog_.AddFault(*rule);
  }
  std::string Monitor() const { return GetParam() == kLinkCom ? "MON08E.BIN" : "MON08P.BIN"; }

  platform::VirtualClock clock_;
  platform::ScopedClock scoped_;
  platform::RecordingMessages shown_;
  platform::ScopedMessages messages_;
  zsim::Programmer prog_;
  zsim::LptPort lpt_{prog_};
  zsim::FakeFtd2xx fake_;
  UsbLibrary usbLibrary_;
  LinkState state_;
  std::unique_ptr<ProgrammerLink> link_;
  std::unique_ptr<Commands> commands_;
  vx930::testing::ScratchDir dir_{"zolvek_sim_e2e"};
  Images images_;
  Progress progress_{state_};
};

TEST_P(SimEndToEnd, ConnectsChecksThePackAndDownloadsMonitorAndDriver) {
  ASSERT_EQ(ConnectProgrammer(*commands_, 0), 0);
  ASSERT_EQ(CheckPack(*commands_), 0);
  EXPECT_EQ(InitProgrammer(*commands_), 0);
  EXPECT_EQ(LoadMonitor(*commands_, dir_.path()), 0);
  EXPECT_EQ(LoadDeviceDriver(*commands_, {"T1", 9}, images_, progress_, nullptr), 0);
  EXPECT_EQ(InitProgrammer(*commands_), 0);
  EXPECT_TRUE(shown_.Shown().empty()) << shown_.LastText();
  prog_.Access([&](zsim::Engine& e) {
    EXPECT_TRUE(e.HasMonitor());
    EXPECT_TRUE(e.HasDriver());
    EXPECT_EQ(e.DriverImage(), images_.image);
  });
}

TEST_P(SimEndToEnd, ABadEchoFailsTheMonitorWithItsMessage) {
  ASSERT_EQ(ConnectProgrammer(*commands_, 0), 0);
  Fault("l#40:badecho");
  EXPECT_EQ(LoadMonitor(*commands_, dir_.path()), 1);
  EXPECT_EQ(state_.NoMonitor, 1);
  EXPECT_EQ(shown_.LastText(), "Load " + Monitor() + " error!");
}

TEST_P(SimEndToEnd, ADroppedEchoFailsTheDriverWithinSeconds) {
  ASSERT_EQ(ConnectProgrammer(*commands_, 0), 0);
  Fault("L#300:drop");
  const uint32_t start = clock_.Tick();
  EXPECT_EQ(LoadDeviceDriver(*commands_, {"T1", 9}, images_, progress_, nullptr), 1);
  EXPECT_LT(clock_.Tick() - start, 10000u);
  EXPECT_EQ(state_.NoDriver, 1);
  EXPECT_EQ(shown_.LastText(), "Load T1.BIN error!");
}

TEST_P(SimEndToEnd, ALatePackReplyIsATimeOutAndNotTheNextAnswer) {
  ASSERT_EQ(ConnectProgrammer(*commands_, 0), 0);
  const uint32_t late = link_->WaitMs(reply_wait::kPack) + 300;
  Fault("B@1:late:" + std::to_string(late));
  EXPECT_EQ(CheckPack(*commands_), 1);
  EXPECT_EQ(state_.LinkStatus, kStatusNoPack);
  EXPECT_EQ(CheckPack(*commands_), 0);
}

TEST_P(SimEndToEnd, SilenceAndAPulledCableFailWithinSeconds) {
  ASSERT_EQ(ConnectProgrammer(*commands_, 0), 0);
  Fault("B@1:silent");
  uint32_t start = clock_.Tick();
  EXPECT_EQ(CheckPack(*commands_), 1);
  EXPECT_EQ(state_.LinkStatus, kStatusNoPack);
  EXPECT_LT(clock_.Tick() - start, 5000u);
  prog_.ClearFaults();
  Fault("*:cable");
  start = clock_.Tick();
  EXPECT_EQ(CheckPack(*commands_), 1);
  EXPECT_EQ(state_.LinkStatus, kStatusNoPrompt);
  EXPECT_EQ(LoadMonitor(*commands_, dir_.path()), 1);
  EXPECT_EQ(shown_.LastText(), "Load " + Monitor() + " command error !");
  EXPECT_LT(clock_.Tick() - start, 10000u);
}

TEST_P(SimEndToEnd, AWrongPackCodeIsReported) {
  Fault("B:pack:2");
  ASSERT_EQ(ConnectProgrammer(*commands_, 0), 0);
  EXPECT_EQ(CheckPack(*commands_), 1);
  EXPECT_EQ(state_.LinkStatus, kStatusWrongPack);
  EXPECT_EQ(state_.ErrorAddress, 0x102u);
}

INSTANTIATE_TEST_SUITE_P(Links, SimEndToEnd, ::testing::Values(kLinkCom, kLinkLpt, kLinkUsb), [](const auto& info) {
  return info.param == kLinkCom ? "COM" : info.param == kLinkLpt ? "LPT" : "USB";
});

}  // namespace
}  // namespace zolvek::testing
