// The operation engine on a simulated programmer in the process, on virtual
// time, over COM, LPT or USB: the link's transports talk to sim/programmer
// (a serial line onto it, its port-access fake, the fake D2XX library), and
// its command log gives every exchange's bytes for transcript tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/fake_key_state.h"
#include "platform/messages.h"
#include "programmer/link/commands.h"
#include "programmer/link/d2xx.h"
#include "programmer/link/programmer_link.h"
#include "programmer/link/progress.h"
#include "programmer/ops/operation_engine.h"
#include "sim/programmer/lpt_port.h"
#include "sim/programmer/programmer.h"
#include "sim/programmer/usb_adapter.h"

namespace zolvek::testing {

using Bytes = std::vector<uint8_t>;

// A serial line onto the simulated programmer. A read that finds nothing
// moves virtual time to the next reply byte, or by the whole time-out.
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
    uint32_t waited = 0;
    for (;;) {
      received += p_.HostRead(data + received, n - received);
      if (received == n || waited >= timeoutMs) return true;
      const auto due = p_.UsUntilOutput();
      uint32_t step = timeoutMs - waited;
      if (due && *due / 1000 + 1 < step) step = static_cast<uint32_t>(*due / 1000 + 1);
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

// Draws of the counter field, in order.
class RecordingCounter final : public CounterField {
public:
  void DrawText(const std::string& text) override { draws.push_back(text); }
  std::vector<std::string> draws;
};

class SimRig {
public:
  explicit SimRig(int32_t kind, const sim::programmer::EngineConfig& config = {})
      : prog_(config), lpt_(prog_), engine_(commands_, ops_, progress_, keys_) {
    state_.LinkKind = kind;
    state_.OpCodeOffset = OpCodeOffsetFor(kind);
    switch (kind) {
      case kLinkCom: EXPECT_EQ(link_.Com().ComOpen(1), 1); break;
      case kLinkLpt:
        link_.Lpt().SetPort(&lpt_);
        EXPECT_TRUE(link_.Lpt().LptOpenLink());
        break;
      case kLinkUsb: {
        EXPECT_TRUE(ftd_.Loaded()) << ftd_.Error();
        ftd_.AddProgrammer(prog_);
        api_.FT_Write = reinterpret_cast<decltype(api_.FT_Write)>(ftd_.Write);
        api_.FT_Read = reinterpret_cast<decltype(api_.FT_Read)>(ftd_.Read);
        api_.FT_Open = reinterpret_cast<decltype(api_.FT_Open)>(ftd_.Open);
        api_.FT_ListDevices = reinterpret_cast<decltype(api_.FT_ListDevices)>(ftd_.ListDevices);
        api_.FT_Close = reinterpret_cast<decltype(api_.FT_Close)>(ftd_.Close);
        api_.FT_ResetDevice = reinterpret_cast<decltype(api_.FT_ResetDevice)>(ftd_.ResetDevice);
        api_.FT_Purge = reinterpret_cast<decltype(api_.FT_Purge)>(ftd_.Purge);
        api_.FT_SetTimeouts = reinterpret_cast<decltype(api_.FT_SetTimeouts)>(ftd_.SetTimeouts);
        api_.FT_GetQueueStatus = reinterpret_cast<decltype(api_.FT_GetQueueStatus)>(ftd_.GetQueueStatus);
        api_.FT_GetStatus = reinterpret_cast<decltype(api_.FT_GetStatus)>(ftd_.GetStatus);
        link_.Usb().SetApi(&api_);
        FindUsbProgrammer(state_, &api_);
        EXPECT_EQ(state_.UsbNotFound, 0);
        EXPECT_TRUE(link_.Usb().UsbReset());
        break;
      }
      default: break;
    }
    ops_.AllocatePcBuffer();
  }
  ~SimRig() { link_.CloseAll(); }

  // Downloads a small driver so that operations run, and clears the log.
  void LoadDriver() {
    Bytes image(64);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 7 + 3);
    ASSERT_EQ(commands_.LoadDriverHeader(static_cast<uint32_t>(image.size())), 0);
    ASSERT_EQ(commands_.EchoedDownload(image), EchoResult::Ok);
    state_.NoDriver = 0;
    prog_.Log().Clear();
  }
  // The Target Zone on both sides: the front end's and the programmer's
  // registers (as the dialogs leave them before an operation).
  void SetZone(uint32_t start, uint32_t end, uint32_t bufferStart = 0) {
    ops_.DeviceStart = start;
    ops_.DeviceEnd = end;
    ops_.BufferStart = bufferStart;
    ops_.BufferEnd = bufferStart + (end - start);
    ASSERT_EQ(commands_.RestoreDeviceRange(TargetZone{start, end, bufferStart}), 0);
    prog_.Log().Clear();
  }
  // The programmer's buffer in use ('h' maps internal RAM at power-up).
  void HoldBufferInProgrammer() { ops_.BufferKind = {1, 1}; }

  // The records of one command letter, in order.
  std::vector<sim::programmer::CommandRecord> Records(uint8_t letter) {
    std::vector<sim::programmer::CommandRecord> out;
    for (auto& r : prog_.Log().Records()) {
      if (r.letter == letter) out.push_back(r);
    }
    return out;
  }
  sim::programmer::CommandRecord Operation() {
    auto ops = Records('P');
    EXPECT_EQ(ops.size(), 1u) << "operations: " << ops.size();
    return ops.empty() ? sim::programmer::CommandRecord{} : ops.back();
  }
  std::string Letters() { return prog_.Log().Letters(); }
  std::vector<uint8_t>& ChipMemory() {
    std::vector<uint8_t>* m = nullptr;
    prog_.Access([&](sim::programmer::Engine& e) { m = &e.GetChip().Memory(); });
    return *m;
  }
  std::vector<uint8_t>& InternalBuffer() {
    std::vector<uint8_t>* m = nullptr;
    prog_.Access([&](sim::programmer::Engine& e) { m = &e.InternalBuffer(); });
    return *m;
  }

  platform::VirtualClock clock_{1000};
  platform::ScopedClock scoped_{clock_};
  platform::RecordingMessages shown_;
  platform::ScopedMessages messages_{shown_};
  sim::programmer::Programmer prog_;
  sim::programmer::LptPort lpt_;
  sim::programmer::FakeFtd2xx ftd_;
  D2xxApi api_;
  LinkState state_;
  ProgrammerLink link_{state_, [this](int n) -> std::unique_ptr<SerialLine> {
                         if (n != 1) return nullptr;
                         return std::make_unique<SimSerialLine>(prog_, clock_);
                       }};
  Commands commands_{link_};
  OpsState ops_;
  Progress progress_{state_};
  platform::FakeKeyState keys_;
  OperationEngine engine_;
  RecordingCounter counter_;
};

inline std::string LinkName(const ::testing::TestParamInfo<int32_t>& info) {
  return info.param == kLinkCom ? "COM" : info.param == kLinkLpt ? "LPT" : "USB";
}

inline std::string Hex(const Bytes& bytes) {
  std::string s;
  char b[4];
  for (uint8_t v : bytes) {
    std::snprintf(b, sizeof b, "%02X ", v);
    s += b;
  }
  return s;
}

}  // namespace zolvek::testing
