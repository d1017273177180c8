#include "sim/ice/engine_target.h"

#include <algorithm>

namespace sim::ice {

Target::Target() : mem_(std::make_unique<Memories>()), core_(*mem_) {
  mem_->code.fill(0xFF);
  core_.Reset();
}

void Target::Reset() {
  core_.Reset();
  Halt(HaltReason::Reset);
}

void Target::Start(Mode mode) {
  for (size_t i = 0; i < kBreakpointCount; ++i) remaining_[i] = Reload(breakpoints_[i].count);
  firstInstruction_ = true;
  mode_ = mode;
}

bool Target::Run() {
  if (Running()) return false;
  Start(Mode::Running);
  return true;
}

bool Target::RunRange(uint16_t first, uint16_t last) {
  if (Running()) return false;
  rangeFirst_ = first;
  rangeLast_ = last;
  Start(Mode::RangeRunning);
  return true;
}

bool Target::Step() {
  if (Running()) return false;
  core_.Step();
  lastHalt_ = HaltReason::Stepped;
  return true;
}

void Target::Stop() {
  if (Running()) Halt(HaltReason::Stopped);
}

void Target::Halt(HaltReason reason) {
  mode_ = Mode::Halted;
  lastHalt_ = reason;
}

bool Target::StopBeforeNext() {
  const uint16_t pc = core_.PC();
  if (mode_ == Mode::RangeRunning && pc >= rangeFirst_ && pc <= rangeLast_) {
    Halt(HaltReason::RangeReached);
    return true;
  }
  bool halted = false;
  for (size_t i = 0; i < kBreakpointCount; ++i) {
    const Breakpoint& bp = breakpoints_[i];
    if (!bp.enabled || bp.address != pc) continue;
    if (remaining_[i] > 0 && --remaining_[i] == 0 && !halted) {
      Halt(i == 0 ? HaltReason::Breakpoint0 : HaltReason::Breakpoint1);
      halted = true;
    }
  }
  return halted;
}

uint64_t Target::Execute(uint64_t budget) {
  uint64_t used = 0;
  while (Running() && used < budget) {
    if (!firstInstruction_ && StopBeforeNext()) break;
    firstInstruction_ = false;
    used += static_cast<uint64_t>(core_.Step());
  }
  return used;
}

void Target::SetBreakpoint(size_t i, const Breakpoint& bp) {
  breakpoints_.at(i) = bp;
  remaining_[i] = Reload(bp.count);
}

void Target::ClearBreakpoints() {
  for (size_t i = 0; i < kBreakpointCount; ++i) SetBreakpoint(i, Breakpoint{});
}

SfrBlock Target::ReadSfrBlock() const {
  SfrBlock block{};
  const uint16_t reported = static_cast<uint16_t>(core_.PC() + 1);
  for (size_t i = 0; i < kSfrBlockSize; ++i) {
    if (i == kSfrPclIndex) {
      block[i] = static_cast<uint8_t>(reported & 0xFF);
    } else if (i == kSfrPchIndex) {
      block[i] = static_cast<uint8_t>(reported >> 8);
    } else {
      block[i] = core_.ReadDirect(kSfrBlockAddress[i]);
    }
  }
  return block;
}

void Target::WriteSfrBlock(const uint8_t* bytes, size_t n) {
  n = std::min(n, kSfrBlockSize);
  for (size_t i = 0; i < n; ++i) {
    if (i == kSfrPclIndex || i == kSfrPchIndex) continue;
    core_.SetSfr(kSfrBlockAddress[i], bytes[i]);
  }
}

}  // namespace sim::ice
