// The simulated emulator board, for in-process tests and for the pty server.
//
// Host interface: HostWrite() hands the board bytes as if they came down the
// serial line (any chunking); HostRead() returns the reply bytes that are on
// the line by now, that is by platform::CurrentClock(), so a late-reply fault
// under a VirtualClock becomes readable once the test's time has passed it.
// A link adapter polls HostRead() until it has what it wants or its own
// time-out ends. Every member is safe to call from any thread.
//
// Pacing:
//  - Manual (the default, deterministic): the target executes only inside a
//    busy check, for `cyclesPerPoll` machine cycles each (30000, about the
//    30 ms an 11.0592 MHz target runs between two of the IDE's polls), and in
//    Advance(). A run that halts within that budget is seen as halted by the
//    first poll; an endless loop answers busy until stopped.
//  - RealTime: a board thread runs the target at `machineCyclesPerSecond`
//    (921600: 11.0592 MHz / 12), in 1 ms slices, paced by the system's steady
//    clock, never by platform::CurrentClock(), since a test's virtual time
//    must not move because the target runs. The lock is released between
//    slices, so the host is answered while a free run goes on.
//
// Board behaviour on the wire (frames, replies, faults) is the Engine's; run
// control conventions (PC in the SFR block, breakpoints, range runs) are the
// Target's. The identity is EngineConfig's: firmware version 0x0210,
// signature 3C 93 0A, lock byte 0xFF.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "sim/ice/core8051.h"
#include "sim/ice/engine.h"
#include "sim/ice/engine_target.h"
#include "sim/ice/faults.h"
#include "sim/ice/frame_log.h"

namespace sim::ice {

enum class Pacing { Manual, RealTime };

struct BoardConfig {
  Pacing pacing = Pacing::Manual;
  uint32_t cyclesPerPoll = 30000;  // Manual only
  uint32_t machineCyclesPerSecond = 921600;  // RealTime only
  EngineConfig engine;  // its cyclesPerPoll is set from the above
  size_t logCapacity = 100000;
};

class Board {
public:
  explicit Board(const BoardConfig& config = {});
  ~Board();
  Board(const Board&) = delete;
  Board& operator=(const Board&) = delete;

  // --- host side ---
  // False (bytes dropped) once the board has hung up.
  bool HostWrite(const uint8_t* data, size_t n);
  bool HostWrite(const std::vector<uint8_t>& bytes) { return HostWrite(bytes.data(), bytes.size()); }
  size_t HostRead(uint8_t* out, size_t max);
  std::vector<uint8_t> HostReadAll();
  // See Engine::MsUntilOutput.
  std::optional<uint32_t> MsUntilOutput() const;
  bool HungUp() const;
  void ClearHangUp();

  // --- target, for tests ---
  // Runs a running target for up to `maxCycles` machine cycles; returns those run.
  uint64_t Advance(uint64_t maxCycles);
  bool Running() const;
  HaltReason LastHalt() const;
  // Runs `fn` under the board's lock with the memories and the core.
  void Access(const std::function<void(Memories&, Core8051&)>& fn);
  void LoadCode(uint16_t address, const std::vector<uint8_t>& bytes);
  uint16_t Pc() const;
  void SetPc(uint16_t pc);
  SfrBlock ReadSfrBlock() const;
  Breakpoint GetBreakpoint(size_t i) const;
  void SetBreakpoint(size_t i, const Breakpoint& bp);
  uint8_t LockBits() const;
  void SetLockBits(uint8_t value);

  // --- faults and log ---
  void AddFault(const FaultRule& rule);
  void ClearFaults();
  FrameLog& Log() { return log_; }

private:
  void RunLoop();

  const BoardConfig config_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool quit_ = false;
  FrameLog log_;
  FaultSet faults_;
  Target target_;
  Engine engine_;
  std::thread thread_;  // last: started once everything else exists
};

}  // namespace sim::ice
