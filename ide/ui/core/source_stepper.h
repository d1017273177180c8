// Source-level stepping: for an OMF program whose source lines are on
// screen, Step Into and Step Over go by source line. A step is composed of
// stages, one per halt: each stage runs to the next call or branch of the
// line (with both hardware breakpoints as temporary stops), single-steps
// into a call or across a branch, or range-runs through a call without
// source, until the program counter leaves the line. A halt inside a line
// with no step in progress runs on to the next line start.
//
// A return in the line (RET, RETI, JMP @A+DPTR) counts as a branch of it: it
// is run to and single-stepped, so a step from a function's last line ends
// in its caller instead of running to a line end the target never reaches.
//
// The stage decision is a pure function of what the stage knows (DecideStage);
// the stepper gathers those facts and carries the decision out.
#pragma once

#include <cstdint>
#include <optional>

#include "ide/ui/core/debugger_state.h"

namespace vx930 {

class RunController;
class ViewRegistry;

enum class StageAct {
  EndStep,  // outside the line, or back at its start: the step is done
  NoProgress,  // halted where the previous stage began: the step ends there
  RunTo,  // run to address with both breakpoints on it
  RangeRun,  // run until past the line end, still in the procedure
  SingleStep,
  Nothing,  // nothing sent; the poll goes on
};

struct StageFacts {
  uint32_t pc = 0;
  bool first = false;  // the stage that starts the step
  bool over = false;  // Step Over (else Step Into)
  uint32_t stepStart = 0;
  uint32_t stepEnd = 0;  // exclusive
  // Where the previous stage of this step began; none for the first.
  std::optional<uint32_t> previousStagePc;
  int32_t call = -1;  // first call in [pc, stepEnd), -1: none
  int32_t branch = -1;  // first jump or branch in [pc, stepEnd), -1: none
  bool callTargetHasSource = true;
  int32_t callLength = 0;  // of the instruction at call
};

struct StageDecision {
  StageAct act = StageAct::Nothing;
  uint32_t address = 0;  // RunTo only
  bool operator==(const StageDecision&) const = default;
};

StageDecision DecideStage(const StageFacts& facts);

class SourceStepper {
public:
  SourceStepper(DebuggerState& state, ViewRegistry& views, RunController& run);
  SourceStepper(const SourceStepper&) = delete;
  SourceStepper& operator=(const SourceStepper&) = delete;

  // The source window shows OMF source lines: steps go by line.
  bool Applies() const;
  // Begins a step at the PC; false when the line has no end, and the
  // instruction step should run instead.
  bool Start(bool over);
  // One stage each; true when it restarted the target.
  bool SourceStepInto(uint32_t pc, bool first) { return Stage(pc, first, false); }
  bool SourceStepOver(uint32_t pc, bool first) { return Stage(pc, first, true); }
  bool RunToLineStart();
  // The step ended without progress after a stage whose command failed;
  // reading clears it.
  bool TakeStalledByLink();

private:
  bool Stage(uint32_t pc, bool first, bool over);

  DebuggerState& s_;
  ViewRegistry& views_;
  RunController& run_;
  // Where the last stage began, and whether its command failed.
  uint32_t stagePc_ = 0;
  bool stageSendFailed_ = false;
  bool stalledByLink_ = false;
};

}  // namespace vx930
