// The target side of the board: the memories, the 8051 core and the run
// control the emulator commands drive (reset, run, range run, step, stop, two
// hardware breakpoints with pass counts). Not thread-safe; Board locks it.
//
// Conventions (chosen so that the host's view of the target is right):
//  - Program counter in the SFR block: PCH:PCL hold PC + 1 (mod 0x10000), as a
//    board whose halt comes after the next opcode fetch reports it. The host
//    subtracts one (0 staying 0) and sees the address of the next instruction
//    to execute. Writing the block never moves PC: the PC bytes are reports,
//    not registers, so a block written back (or edited there) leaves PC
//    where it was.
//  - Writing the block stores each register as the debugger sets it: SBUF
//    sends nothing, IE and IP hold off no interrupt (Core8051::SetSfr). A
//    block shorter than 58 bytes writes the registers it reaches.
//  - Every run, and every range run, executes its first instruction without
//    testing any stop condition; before each later instruction it tests the
//    range, then both breakpoints. So a run that starts on a breakpoint leaves
//    it, and a halt at a breakpoint leaves the instruction there unexecuted.
//  - A breakpoint's count is the value the host sends, its pass count plus one:
//    the target halts at the count-th arrival at the address (0 counts as 256).
//    Both counters are reloaded at the start of every run and when an entry is
//    set. Each enabled entry counts its own arrivals; with both on the same
//    address the first to run out halts the target.
//  - A range run (a, b) halts before executing an instruction whose address
//    lies in [a, b] (a > b: never), and at enabled breakpoints as a run does.
//    The host sends the end of the source line and the last address of the
//    procedure, so the target runs through calls and stops once it is past
//    the line and still in the procedure.
//  - A step is one Core8051::Step: when an interrupt is taken after the
//    instruction, the step ends at its vector, and a run's stop conditions
//    are tested there too, so a breakpoint on a vector halts the target
//    before the routine's first instruction.
//  - Run, range run and step while the target runs change nothing.
//  - Reset puts the core in its power-on state and halts the target.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "sim/ice/core8051.h"
#include "sim/ice/engine_protocol.h"

namespace sim::ice {

struct Breakpoint {
  uint16_t address = 0;
  bool enabled = false;
  uint8_t count = 0;  // as sent: pass count + 1
  bool operator==(const Breakpoint&) const = default;
};

inline constexpr size_t kBreakpointCount = 2;

enum class HaltReason {
  PowerOn,
  Reset,
  Stopped,
  Stepped,
  Breakpoint0,
  Breakpoint1,
  RangeReached,
};

class Target {
public:
  Target();  // code memory erased (0xFF), RAMs 0, core reset, halted

  Memories& Mem() { return *mem_; }
  const Memories& Mem() const { return *mem_; }
  Core8051& Core() { return core_; }
  const Core8051& Core() const { return core_; }

  void Reset();
  // Return false (and change nothing) while the target runs.
  bool Run();
  bool RunRange(uint16_t first, uint16_t last);
  bool Step();
  void Stop();

  bool Running() const { return mode_ != Mode::Halted; }
  HaltReason LastHalt() const { return lastHalt_; }

  // Runs the target while it runs, for about `budget` machine cycles (the last
  // instruction may go past it); returns the cycles executed.
  uint64_t Execute(uint64_t budget);

  Breakpoint GetBreakpoint(size_t i) const { return breakpoints_.at(i); }
  void SetBreakpoint(size_t i, const Breakpoint& bp);
  void ClearBreakpoints();

  SfrBlock ReadSfrBlock() const;
  // Writes the first min(n, 58) bytes of a block, never PC.
  void WriteSfrBlock(const uint8_t* bytes, size_t n);

private:
  enum class Mode { Halted, Running, RangeRunning };

  void Start(Mode mode);
  void Halt(HaltReason reason);
  bool StopBeforeNext();
  static int Reload(uint8_t count) { return count == 0 ? 256 : count; }

  std::unique_ptr<Memories> mem_;  // before core_, which keeps a reference
  Core8051 core_;
  std::array<Breakpoint, kBreakpointCount> breakpoints_{};
  std::array<int, kBreakpointCount> remaining_{};
  Mode mode_ = Mode::Halted;
  bool firstInstruction_ = false;
  uint16_t rangeFirst_ = 0;
  uint16_t rangeLast_ = 0;
  HaltReason lastHalt_ = HaltReason::PowerOn;
};

}  // namespace sim::ice
