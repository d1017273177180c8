// Run control: Normal Run, Free Run, Step Into, Step Over, Stop, Reset, the
// flush that writes the IDE's edits into the emulator before every run, the
// 30 ms poll that notices the halt, the refresh of every view after it, and
// the switching of the controls between running and halted.
//
// Run control is a state machine carried across poll ticks: a command starts
// the target and enables the poll; each tick asks the emulator whether the
// target halted; on the halt a source-level step runs its next stage (or a
// halt inside a source line runs on to the next line start) until nothing
// is restarted, and then every view is refreshed. Temporary stops use both
// hardware breakpoints; the user's are parked once and restored once.
//
// Choices where the handlers' description leaves the user stuck:
//  - Stop ends whatever runs: after an acknowledged Stop the next halt ends a
//    source step and starts no run to a line start; the views show where the
//    target stopped. A stage whose halt finds the program counter where the
//    previous stage began has made no progress and ends the step (with the
//    link's message when that stage's command failed).
//  - A target that does not halt within kStopHaltLimitMs of an acknowledged
//    Stop, or a Stop that fails, gives "Stop ICE failed, ..." and then the
//    halted controls, so that Reset and Open can be tried again.
//  - Polls that hear nothing for kDeadLinkMessageMs say once that the link
//    is gone and go on polling.
//  - Normal Run tests the breakpoints at GetPC. On an enabled one it steps
//    off it and, once that step halts somewhere that is no enabled
//    breakpoint, runs on with the breakpoints as set.
//  - A run whose reply was spoiled is sent again only when the busy check
//    and the program counter show that the board did not take it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "ide/ui/core/debugger_state.h"
#include "ide/ui/core/host_interfaces.h"

namespace vx930 {

class SourceStepper;
class ViewRegistry;

// How long polls may hear nothing before the poll says once that the link
// is gone; it keeps polling, so a cable put back lets the run end normally.
inline constexpr uint32_t kDeadLinkMessageMs = 2000;
// How long after an acknowledged Stop the target may still answer busy (or
// nothing) before the IDE gives up on it.
inline constexpr uint32_t kStopHaltLimitMs = 2000;

class RunController {
public:
  RunController(DebuggerState& state, ViewRegistry& views, SourceStepper& stepper, PollTimer& timer,
                RunControls& controls, FrameWindow& frame);
  RunController(const RunController&) = delete;
  RunController& operator=(const RunController&) = delete;

  // The run commands; each needs a halted target.
  bool NormalRun();
  void FreeRun1Click();
  void Step1Click();
  void StepOver1Click();
  void StopBtnClick();
  void Reset1Click();
  // The halt poll.
  void Timer1Timer();

  bool FlushBeforeRun();
  bool WriteBreakPoints();
  bool WriteSFRImage();
  bool ReadSFRImage();
  bool ReadInRAM();
  void RefreshAfterStop();
  // The instruction at the PC may be a MOVX (true without a program).
  bool IsPCAtMovx() const;
  static bool IsMovxOpcode(uint8_t opcode);

  // For the source stages. Runs to the address with both breakpoints on it
  // (the user's parked first); a failed run ends the step.
  bool RunTo(uint32_t address);
  // A run or step starts the target: running state, poll and controls.
  void Started();
  // A stage sent nothing: the poll goes on as if the target ran.
  void PollOn();
  // Ends what runs without reading the target: poll off, halted state and
  // controls, the user's breakpoints back.
  void AbandonRun();

  void SetStatusText(int panel, const std::string& text) { frame_.SetStatusText(panel, text); }

private:
  bool StepOnce();
  bool RunOnce();
  // The first entry with the address decides.
  bool AtEnabledBreakPoint(uint32_t pc) const;
  // After the step off a breakpoint: true when the run went on.
  bool RunOnAfterStep();
  void NoteFailedPoll(bool polled, uint32_t pollStart);
  void RefreshAfterHalt(bool linkFault);
  IceCommands* Ice() const { return s_.IceCmd.get(); }

  DebuggerState& s_;
  ViewRegistry& views_;
  SourceStepper& stepper_;
  PollTimer& timer_;
  RunControls& controls_;
  FrameWindow& frame_;
  // Since when the polls have heard nothing, and whether that was said: a
  // pulled cable must not leave the user looking at "Processing Now ..."
  // without a word.
  std::optional<uint32_t> deadSince_;
  bool deadReported_ = false;
  // Stop was acknowledged at stopTick_; the next halt ends everything.
  bool stopRequested_ = false;
  uint32_t stopTick_ = 0;
  // Normal Run stepped off a breakpoint and runs on after that step.
  bool runAfterStep_ = false;
};

}  // namespace vx930
