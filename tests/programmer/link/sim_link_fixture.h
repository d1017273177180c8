// The programmer link onto the simulated programmer (sim/programmer), in
// process and on virtual time, on any of the three links: COM through a
// serial line that hands bytes straight to the simulator, LPT through the
// simulator's port-access layer, USB through the fake D2XX library. Tests
// check what the simulated firmware took in its command log.
//
// SimLink is the link alone, for objects that build on it (the operation
// rig of tests/programmer/ops); SimLinkFixture is the same as a test fixture.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/messages.h"
#include "programmer/link/commands.h"
#include "programmer/link/d2xx.h"
#include "programmer/link/link_state.h"
#include "programmer/link/programmer_link.h"
#include "sim/programmer/lpt_port.h"
#include "sim/programmer/programmer.h"
#include "sim/programmer/usb_adapter.h"

namespace zolvek::testing {

// A COM line whose far end is the simulated programmer. A read short of its
// bytes moves virtual time on to the millisecond the next reply byte is due,
// or to the end of its wait, so long waits cost nothing. A pulled cable fails
// the line.
class SimSerialLine final : public SerialLine {
public:
  SimSerialLine(sim::programmer::Programmer& p, platform::VirtualClock& clock) : p_(p), clock_(clock) {}
  bool Write(const uint8_t* data, std::size_t n, std::size_t& written) override {
    written = 0;
    if (p_.CablePulled()) return false;
    p_.HostWrite(data, n);
    written = n;
    return true;
  }
  bool Read(uint8_t* data, std::size_t n, uint32_t timeoutMs, std::size_t& received) override {
    received = 0;
    for (uint32_t waited = 0;;) {
      if (p_.CablePulled()) return false;
      received += p_.HostRead(data + received, n - received);
      if (received == n || waited >= timeoutMs) return true;
      uint32_t step = timeoutMs - waited;
      if (const auto due = p_.UsUntilOutput())
        step = static_cast<uint32_t>(std::min<uint64_t>(step, std::max<uint64_t>(1, (*due + 999) / 1000)));
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

// The link of one kind onto a simulated programmer, with its own virtual
// clock and recorded messages in force while it lives.
class SimLink {
public:
  SimLink() = default;
  SimLink(const SimLink&) = delete;
  SimLink& operator=(const SimLink&) = delete;
  ~SimLink() { CloseLink(); }

  // The link of the kind onto a fresh simulated programmer.
  void Use(int32_t kind, const sim::programmer::EngineConfig& config = {}) {
    CloseLink();
    ft_.reset();
    lpt_.reset();
    prog_ = std::make_unique<sim::programmer::Programmer>(config);
    seen_ = 0;
    state_.LinkKind = kind;
    link_ = std::make_unique<ProgrammerLink>(state_, [this](int n) -> std::unique_ptr<SerialLine> {
      if (n != 1) return nullptr;
      return std::make_unique<SimSerialLine>(*prog_, clock_);
    });
    commands_ = std::make_unique<Commands>(*link_);
    switch (kind) {
      case kLinkCom: ASSERT_EQ(link_->Com().ComOpen(1), 1); break;
      case kLinkLpt:
        lpt_ = std::make_unique<sim::programmer::LptPort>(*prog_);
        link_->Lpt().SetPort(lpt_.get());
        ASSERT_TRUE(link_->Lpt().LptOpenLink());
        break;
      case kLinkUsb:
        ft_ = std::make_unique<sim::programmer::FakeFtd2xx>();
        ASSERT_TRUE(ft_->Loaded()) << ft_->Error();
        ft_->AddProgrammer(*prog_);
        api_.FT_Write = ft_->Write;
        api_.FT_Read = ft_->Read;
        api_.FT_Open = ft_->Open;
        api_.FT_ListDevices = ft_->ListDevices;
        api_.FT_Close = ft_->Close;
        api_.FT_ResetDevice = ft_->ResetDevice;
        api_.FT_Purge = ft_->Purge;
        api_.FT_SetTimeouts = ft_->SetTimeouts;
        api_.FT_GetQueueStatus = ft_->GetQueueStatus;
        api_.FT_GetStatus = ft_->GetStatus;
        link_->Usb().SetApi(&api_);
        FindUsbProgrammer(state_, &api_);
        ASSERT_EQ(state_.UsbNotFound, 0);
        ASSERT_TRUE(link_->Usb().UsbReset());
        break;
      default: break;
    }
    state_.OpCodeOffset = OpCodeOffsetFor(kind);
    state_.NoMonitor = 0;
    state_.NoDriver = 0;
  }

  // The commands the simulated programmer took since the last call.
  std::vector<sim::programmer::CommandRecord> Taken() {
    auto r = prog_->Log().Records();
    std::vector<sim::programmer::CommandRecord> out(r.begin() + static_cast<std::ptrdiff_t>(seen_), r.end());
    seen_ = r.size();
    return out;
  }
  // Letters of the commands taken since the last call.
  std::string TakenLetters() {
    std::string s;
    for (const auto& r : Taken()) s += static_cast<char>(r.letter);
    return s;
  }
  void Forget() { seen_ = prog_->Log().Records().size(); }
  // Letters of every command in the log.
  std::string Letters() { return prog_->Log().Letters(); }
  // The records of one command letter, in order.
  std::vector<sim::programmer::CommandRecord> Records(uint8_t letter) {
    std::vector<sim::programmer::CommandRecord> out;
    for (auto& r : prog_->Log().Records()) {
      if (r.letter == letter) out.push_back(r);
    }
    return out;
  }

  template <class F>
  void Engine(F&& f) {
    prog_->Access([&](sim::programmer::Engine& e) { f(e); });
  }

  platform::VirtualClock clock_{1000};
  platform::ScopedClock scoped_{clock_};
  platform::RecordingMessages shown_;
  platform::ScopedMessages messages_{shown_};
  std::unique_ptr<sim::programmer::Programmer> prog_;
  std::unique_ptr<sim::programmer::LptPort> lpt_;
  std::unique_ptr<sim::programmer::FakeFtd2xx> ft_;
  D2xxApi api_;
  LinkState state_;
  std::unique_ptr<ProgrammerLink> link_;
  std::unique_ptr<Commands> commands_;
  std::size_t seen_ = 0;

private:
  void CloseLink() {
    commands_.reset();
    if (link_) link_->CloseAll();
    link_.reset();
  }
};

class SimLinkFixture : public ::testing::Test, public SimLink {};

inline std::string SimLinkName(const ::testing::TestParamInfo<int32_t>& info) {
  return info.param == kLinkCom ? "COM" : info.param == kLinkLpt ? "LPT" : "USB";
}

}  // namespace zolvek::testing
