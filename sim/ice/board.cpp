#include "sim/ice/board.h"

#include <algorithm>
#include <chrono>

#include "platform/clock.h"

namespace sim::ice {

namespace {

EngineConfig EngineConfigFor(const BoardConfig& c) {
  EngineConfig e = c.engine;
  e.cyclesPerPoll = c.pacing == Pacing::Manual ? c.cyclesPerPoll : 0;
  return e;
}

}  // namespace

Board::Board(const BoardConfig& config)
    : config_(config), log_(config.logCapacity), engine_(target_, faults_, log_, EngineConfigFor(config)) {
  if (config_.pacing == Pacing::RealTime) thread_ = std::thread([this] { RunLoop(); });
}

Board::~Board() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void Board::RunLoop() {
  using Steady = std::chrono::steady_clock;
  const double cyclesPerNs = config_.machineCyclesPerSecond / 1e9;
  // A slice never catches up on more than 50 ms, so a stalled process does
  // not make the target race afterwards.
  const double maxOwed = config_.machineCyclesPerSecond / 20.0;
  std::unique_lock lock(mutex_);
  Steady::time_point last = Steady::now();
  double owed = 0;
  while (!quit_) {
    if (!target_.Running()) {
      wake_.wait(lock, [&] { return quit_ || target_.Running(); });
      last = Steady::now();
      owed = 0;
      continue;
    }
    const Steady::time_point now = Steady::now();
    owed = std::min(maxOwed, owed + std::chrono::duration<double, std::nano>(now - last).count() * cyclesPerNs);
    last = now;
    if (owed >= 1) owed -= static_cast<double>(target_.Execute(static_cast<uint64_t>(owed)));
    wake_.wait_for(lock, std::chrono::milliseconds(1), [&] { return quit_; });
  }
}

bool Board::HostWrite(const uint8_t* data, size_t n) {
  bool ok;
  {
    std::lock_guard lock(mutex_);
    if (engine_.HungUp()) return false;
    engine_.Receive(data, n, platform::CurrentClock().Tick());
    ok = !engine_.HungUp();
  }
  wake_.notify_all();  // a run may have started
  return ok;
}

size_t Board::HostRead(uint8_t* out, size_t max) {
  std::lock_guard lock(mutex_);
  return engine_.Transmit(out, max, platform::CurrentClock().Tick());
}

std::vector<uint8_t> Board::HostReadAll() {
  std::vector<uint8_t> out(Engine::kMaxPendingOutput);
  out.resize(HostRead(out.data(), out.size()));
  return out;
}

std::optional<uint32_t> Board::MsUntilOutput() const {
  std::lock_guard lock(mutex_);
  return engine_.MsUntilOutput(platform::CurrentClock().Tick());
}

bool Board::HungUp() const {
  std::lock_guard lock(mutex_);
  return engine_.HungUp();
}

void Board::ClearHangUp() {
  std::lock_guard lock(mutex_);
  engine_.ClearHangUp();
}

uint64_t Board::Advance(uint64_t maxCycles) {
  std::lock_guard lock(mutex_);
  return target_.Execute(maxCycles);
}

bool Board::Running() const {
  std::lock_guard lock(mutex_);
  return target_.Running();
}

HaltReason Board::LastHalt() const {
  std::lock_guard lock(mutex_);
  return target_.LastHalt();
}

void Board::Access(const std::function<void(Memories&, Core8051&)>& fn) {
  std::lock_guard lock(mutex_);
  fn(target_.Mem(), target_.Core());
}

void Board::LoadCode(uint16_t address, const std::vector<uint8_t>& bytes) {
  std::lock_guard lock(mutex_);
  for (size_t i = 0; i < bytes.size(); ++i) target_.Mem().code[static_cast<uint16_t>(address + i)] = bytes[i];
}

uint16_t Board::Pc() const {
  std::lock_guard lock(mutex_);
  return target_.Core().PC();
}

void Board::SetPc(uint16_t pc) {
  std::lock_guard lock(mutex_);
  target_.Core().SetPC(pc);
}

SfrBlock Board::ReadSfrBlock() const {
  std::lock_guard lock(mutex_);
  return target_.ReadSfrBlock();
}

Breakpoint Board::GetBreakpoint(size_t i) const {
  std::lock_guard lock(mutex_);
  return target_.GetBreakpoint(i);
}

void Board::SetBreakpoint(size_t i, const Breakpoint& bp) {
  std::lock_guard lock(mutex_);
  target_.SetBreakpoint(i, bp);
}

uint8_t Board::LockBits() const {
  std::lock_guard lock(mutex_);
  return engine_.LockBits();
}

void Board::SetLockBits(uint8_t value) {
  std::lock_guard lock(mutex_);
  engine_.SetLockBits(value);
}

void Board::AddFault(const FaultRule& rule) {
  std::lock_guard lock(mutex_);
  faults_.Add(rule);
}

void Board::ClearFaults() {
  std::lock_guard lock(mutex_);
  faults_.Clear();
}

}  // namespace sim::ice
