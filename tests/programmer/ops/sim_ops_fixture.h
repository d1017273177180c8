// An operation engine wired to the simulated programmer in-process, on
// virtual time, over the link kind a test picks: COM through a serial line
// onto the simulator, LPT through its port-access cable, USB through the fake
// D2XX library. The simulator's command log is the transcript tests assert on.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/fake_key_state.h"
#include "platform/messages.h"
#include "programmer/link/commands.h"
#include "programmer/link/d2xx.h"
#include "programmer/link/progress.h"
#include "programmer/ops/operation_engine.h"
#include "programmer/ops/ops_state.h"
#include "sim/programmer/lpt_port.h"
#include "sim/programmer/programmer.h"
#include "sim/programmer/usb_adapter.h"

namespace zolvek::testing::checks {

using Bytes = std::vector<uint8_t>;

// The COM line: bytes go straight to the simulator; a read moves virtual time
// on to the next reply byte, or to the end of its wait.
class SimSerialLine final : public SerialLine {
public:
  SimSerialLine(sim::programmer::Programmer& p, platform::VirtualClock& clock) : p_(p), clock_(clock) {}
  bool Write(const uint8_t* data, std::size_t n, std::size_t& written) override {
    p_.HostWrite(data, n);
    written = n;
    return true;
  }
  bool Read(uint8_t* data, std::size_t n, uint32_t timeoutMs, std::size_t& received) override {
    received = 0;
    for (uint32_t waited = 0;;) {
      received += p_.HostRead(data + received, n - received);
      if (received >= n || waited >= timeoutMs) return true;
      const auto due = p_.UsUntilOutput();
      uint32_t step = timeoutMs - waited;
      if (due) step = std::min<uint32_t>(step, std::max<uint32_t>(1, static_cast<uint32_t>((*due + 999) / 1000)));
      clock_.Advance(step);
      waited += step;
    }
  }
  void PurgeRx() override { p_.HostReadAll(); }
  void PurgeTx() override {}
  bool Close() override { return true; }
  bool SetBaud(uint32_t) override { return true; }

private:
  sim::programmer::Programmer& p_;
  platform::VirtualClock& clock_;
};

// A counter field that keeps every text drawn.
class RecordingCounter final : public CounterField {
public:
  void DrawText(const std::string& text) override { drawn.push_back(text); }
  std::vector<std::string> drawn;
};

class SimOps : public ::testing::Test {
protected:
  SimOps() : scoped_(clock_), messages_(shown_) {}

  // The simulated programmer holds `chip`, has a driver, and the engine is
  // on a link of `kind` to it.
  void Use(int32_t kind, const sim::programmer::ChipParams& chip = {}) {
    TearDownLink();
    sim::programmer::EngineConfig config;
    config.chip = chip;
    prog_ = std::make_unique<sim::programmer::Programmer>(config);
    LoadDriver();
    state_.LinkKind = kind;
    state_.NoDriver = 0;
    state_.OpCodeOffset = OpCodeOffsetFor(kind);
    link_ = std::make_unique<ProgrammerLink>(state_, [this](int n) -> std::unique_ptr<SerialLine> {
      if (n != 1) return nullptr;
      return std::make_unique<SimSerialLine>(*prog_, clock_);
    });
    switch (kind) {
      case kLinkCom: ASSERT_EQ(link_->Com().ComOpen(1), 1); break;
      case kLinkLpt:
        lpt_ = std::make_unique<sim::programmer::LptPort>(*prog_);
        link_->Lpt().SetPort(lpt_.get());
        ASSERT_TRUE(link_->Lpt().LptOpenLink());
        break;
      case kLinkUsb:
        ::setenv("FTD2XX_LIBRARY", sim::programmer::FakeFtd2xxPath().c_str(), 1);
        ft_ = std::make_unique<sim::programmer::FakeFtd2xx>();
        ASSERT_TRUE(ft_->Loaded()) << ft_->Error();
        ft_->AddProgrammer(*prog_);
        usbLib_.LoadUsbLibrary(state_);
        ASSERT_EQ(state_.UsbUnavailable, 0);
        FindUsbProgrammer(state_, usbLib_.Api());
        ASSERT_EQ(state_.UsbNotFound, 0);
        link_->Usb().SetApi(usbLib_.Api());
        ASSERT_TRUE(link_->Usb().UsbReset());
        state_.LinkKind = kLinkUsb;
        break;
      default: break;
    }
    commands_ = std::make_unique<Commands>(*link_);
    engine_ = std::make_unique<OperationEngine>(*commands_, ops_, progress_, keys_);
    ops_.AllocatePcBuffer();
  }

  ~SimOps() override { TearDownLink(); }

  void TearDownLink() {
    engine_.reset();
    commands_.reset();
    if (link_) link_->CloseAll();
    link_.reset();
    lpt_.reset();
    ft_.reset();
    usbLib_.Free();
    ::unsetenv("FTD2XX_LIBRARY");
  }

  void LoadDriver() {
    prog_->Access([](sim::programmer::Engine& e) {
      (void)e;  // the driver is loaded through the protocol below
    });
    // 'L', two-level count 64, the image; every byte echoed.
    Bytes in{'A', 'T'};
    prog_->HostWrite(in);
    Drain(1);
    Bytes cmd{'L', 64, 1};
    for (int i = 0; i < 64; ++i) cmd.push_back(static_cast<uint8_t>(i * 7 + 3));
    prog_->HostWrite(cmd);
    Drain(64);
    prog_->Log().Clear();
  }
  Bytes Drain(size_t n) {
    Bytes got;
    for (int t = 0; t < 5000 && got.size() < n; ++t) {
      uint8_t buf[256];
      const size_t k = prog_->HostRead(buf, std::min(sizeof buf, n - got.size()));
      got.insert(got.end(), buf, buf + k);
      if (got.size() < n) clock_.Advance(1);
    }
    return got;
  }

  // The Target Zone, in OpsState and in the programmer's registers.
  void Zone(uint32_t start, uint32_t end, uint32_t bufferStart = 0) {
    ops_.DeviceStart = start;
    ops_.DeviceEnd = end;
    ops_.BufferStart = bufferStart;
    ops_.BufferEnd = bufferStart + (end - start);
    commands_->RestoreDeviceRange(TargetZone{start, end, bufferStart});
    prog_->Log().Clear();
  }
  void InProgrammer() {
    ops_.BufferKind.inProgrammer = 1;
    ops_.BufferKind.internal = 1;
  }
  template <class F>
  void Sim(F&& f) {
    prog_->Access([&](sim::programmer::Engine& e) { f(e); });
  }
  std::vector<sim::programmer::CommandRecord> Log() { return prog_->Log().Records(); }
  // The last operate command's host bytes after its letter.
  sim::programmer::CommandRecord LastOperate() {
    auto r = Log();
    for (auto it = r.rbegin(); it != r.rend(); ++it)
      if (it->letter == 'P') return *it;
    return {};
  }
  std::string Letters() { return prog_->Log().Letters(); }

  platform::VirtualClock clock_{1000};
  platform::ScopedClock scoped_;
  platform::RecordingMessages shown_;
  platform::ScopedMessages messages_;
  std::unique_ptr<sim::programmer::Programmer> prog_;
  std::unique_ptr<sim::programmer::LptPort> lpt_;
  std::unique_ptr<sim::programmer::FakeFtd2xx> ft_;
  UsbLibrary usbLib_;
  LinkState state_;
  OpsState ops_;
  Progress progress_{state_};
  platform::FakeKeyState keys_;
  RecordingCounter counter_;
  std::unique_ptr<ProgrammerLink> link_;
  std::unique_ptr<Commands> commands_;
  std::unique_ptr<OperationEngine> engine_;
};

// Runs a test body once per link kind.
class SimOpsEveryLink : public SimOps, public ::testing::WithParamInterface<int32_t> {};

inline std::string LinkName(const ::testing::TestParamInfo<int32_t>& info) {
  return info.param == kLinkCom ? "COM" : info.param == kLinkLpt ? "LPT" : "USB";
}

inline Bytes B(std::initializer_list<int> v) {
  Bytes out;
  for (int x : v) out.push_back(static_cast<uint8_t>(x));
  return out;
}

}  // namespace zolvek::testing::checks
