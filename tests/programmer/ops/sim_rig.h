// The operation engine on the simulated programmer in the process, on
// virtual time, over COM, LPT or USB: the link's own simulator set-up
// (tests/programmer/link/sim_link_fixture.h) with the operations' state, the
// progress, a key-state double and the engine on top. The simulator's command
// log gives every exchange's bytes for transcript tests.
//
// SimRig is an object, for tests that make several; SimOps is the same as a
// test fixture, and SimOpsEveryLink runs a test body once per link kind.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/fake_key_state.h"
#include "programmer/link/progress.h"
#include "programmer/ops/operation_engine.h"
#include "programmer/ops/ops_state.h"
#include "tests/programmer/link/sim_link_fixture.h"
#include "tests/support/hex_bytes.h"

namespace zolvek::testing {

using Bytes = std::vector<uint8_t>;
using vx930::testing::Hex;

// Draws of the counter field, in order.
class RecordingCounter final : public CounterField {
public:
  void DrawText(const std::string& text) override { drawn.push_back(text); }
  std::vector<std::string> drawn;
};

class SimRig : public SimLink {
public:
  SimRig() = default;
  explicit SimRig(int32_t kind, const sim::programmer::EngineConfig& config = {}) { Use(kind, config); }

  // The engine on a link of the kind onto a fresh simulated programmer,
  // which has no driver yet. The operations' state is kept.
  void Use(int32_t kind, const sim::programmer::EngineConfig& config = {}) {
    engine_.reset();
    SimLink::Use(kind, config);
    if (::testing::Test::HasFatalFailure()) return;
    state_.NoDriver = 1;
    engine_ = std::make_unique<OperationEngine>(*commands_, ops_, progress_, keys_);
    ops_.AllocatePcBuffer();
  }
  // The same with the simulated programmer holding `chip` and a driver.
  void UseWithDriver(int32_t kind, const sim::programmer::ChipParams& chip = {}) {
    sim::programmer::EngineConfig config;
    config.chip = chip;
    Use(kind, config);
    if (::testing::Test::HasFatalFailure()) return;
    LoadDriver();
  }

  // Downloads a small driver so that operations run, and clears the log.
  void LoadDriver() {
    Bytes image(64);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 7 + 3);
    ASSERT_EQ(commands_->LoadDriverHeader(static_cast<uint32_t>(image.size())), 0);
    ASSERT_EQ(commands_->EchoedDownload(image), EchoResult::Ok);
    state_.NoDriver = 0;
    prog_->Log().Clear();
  }
  // The Target Zone on both sides: the front end's and the programmer's
  // registers (as the dialogs leave them before an operation).
  void SetZone(uint32_t start, uint32_t end, uint32_t bufferStart = 0) {
    ops_.DeviceStart = start;
    ops_.DeviceEnd = end;
    ops_.BufferStart = bufferStart;
    ops_.BufferEnd = bufferStart + (end - start);
    ASSERT_EQ(commands_->RestoreDeviceRange(TargetZone{start, end, bufferStart}), 0);
    prog_->Log().Clear();
  }
  // The programmer's buffer in use ('h' maps internal RAM at power-up).
  void HoldBufferInProgrammer() { ops_.BufferKind = {1, 1}; }

  // The one operate command in the log.
  sim::programmer::CommandRecord Operation() {
    auto ops = Records('P');
    EXPECT_EQ(ops.size(), 1u) << "operations: " << ops.size();
    return ops.empty() ? sim::programmer::CommandRecord{} : ops.back();
  }
  // The last operate command in the log, of however many.
  sim::programmer::CommandRecord LastOperate() {
    auto ops = Records('P');
    return ops.empty() ? sim::programmer::CommandRecord{} : ops.back();
  }
  std::vector<uint8_t>& ChipMemory() {
    std::vector<uint8_t>* m = nullptr;
    Engine([&](sim::programmer::Engine& e) { m = &e.GetChip().Memory(); });
    return *m;
  }
  std::vector<uint8_t>& InternalBuffer() {
    std::vector<uint8_t>* m = nullptr;
    Engine([&](sim::programmer::Engine& e) { m = &e.InternalBuffer(); });
    return *m;
  }

  OpsState ops_;
  Progress progress_{state_};
  platform::FakeKeyState keys_;
  std::unique_ptr<OperationEngine> engine_;
  RecordingCounter counter_;
};

class SimOps : public ::testing::Test, public SimRig {};

class SimOpsEveryLink : public SimOps, public ::testing::WithParamInterface<int32_t> {};

}  // namespace zolvek::testing
