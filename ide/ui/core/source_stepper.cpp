#include "ide/ui/core/source_stepper.h"

#include "ide/ui/core/run_controller.h"
#include "ide/ui/core/view_registry.h"

namespace vx930 {

StageDecision DecideStage(const StageFacts& f) {
  if (f.pc >= f.stepEnd || f.pc < f.stepStart) return {StageAct::EndStep};
  // The line jumped back to its own start: one pass is one step.
  if (!f.first && f.pc == f.stepStart) return {StageAct::EndStep};
  // A lost command, or an instruction that waits on itself: repeating the
  // stage would go on for ever.
  if (!f.first && f.previousStagePc && f.pc == *f.previousStagePc) return {StageAct::NoProgress};

  const int32_t at = static_cast<int32_t>(f.pc);
  const int32_t c = f.call;
  const int32_t j = f.branch;
  const bool noSource = j != -1 && c != -1 && c < j && !f.callTargetHasSource;
  auto runTo = [](int32_t address) { return StageDecision{StageAct::RunTo, static_cast<uint32_t>(address)}; };

  if (c == -1 && j == -1) return runTo(static_cast<int32_t>(f.stepEnd));
  if (!f.over && c == at) return {noSource ? StageAct::RangeRun : StageAct::SingleStep};
  if (j == at) return {StageAct::SingleStep};
  // Step Over runs a call with source to the instruction after it.
  if (f.over && c == at) return noSource ? StageDecision{StageAct::RangeRun} : runTo(c + f.callLength);
  if (c != -1 && (c < j || j == -1)) return runTo(c);
  if (j != -1 && (j < c || c == -1)) return runTo(j);
  return {StageAct::Nothing};
}

SourceStepper::SourceStepper(DebuggerState& state, ViewRegistry& views, RunController& run)
    : s_(state), views_(views), run_(run) {}

bool SourceStepper::Applies() const { return views_.fmSrcForm() && views_.fmSrcForm()->LinesShown() == 1; }

bool SourceStepper::TakeStalledByLink() {
  const bool stalled = stalledByLink_;
  stalledByLink_ = false;
  return stalled;
}

bool SourceStepper::Start(bool over) {
  SourceView* source = views_.fmSrcForm();
  const uint32_t pc = s_.GetPC();
  if (pc == 0 || pc == 1) {
    // At reset: run to the first line of MAIN; that is the whole step.
    run_.RunTo(static_cast<uint32_t>(source->GetFunctionAddress("MAIN")));
    return true;
  }
  const int32_t end = source->LineEnd(pc);
  s_.StepStart = pc;
  s_.StepEnd = static_cast<uint32_t>(end);
  if (end < 1) return false;
  Stage(pc, true, over);
  return true;
}

bool SourceStepper::Stage(uint32_t pc, bool first, bool over) {
  uint8_t& inProgress = over ? s_.SrcStepOver : s_.SrcStepInto;
  const CDecodeHex* decoder = s_.HexDecoder.get();
  SourceView* source = views_.fmSrcForm();

  StageFacts facts;
  facts.pc = pc;
  facts.first = first;
  facts.over = over;
  facts.stepStart = s_.StepStart;
  facts.stepEnd = s_.StepEnd;
  if (!first) facts.previousStagePc = stagePc_;
  if (decoder && pc < s_.StepEnd) {
    const int32_t at = static_cast<int32_t>(pc);
    const int32_t end = static_cast<int32_t>(s_.StepEnd);
    facts.call = decoder->FindNextCall(at, end);
    facts.branch = decoder->FindNextBranch(at, end);
    // A return leaves the line for an address only the target knows: run to
    // the line end past it and the target never comes back there, the step
    // runs free. It is stepped like a branch instead, and ends in the caller.
    const int32_t ret = decoder->FindNextReturn(at, end);
    if (ret != -1 && (facts.branch == -1 || ret < facts.branch)) facts.branch = ret;
    if (facts.call != -1) {
      facts.callLength = decoder->GetInstLength(facts.call);
      if (facts.branch != -1 && facts.call < facts.branch) {
        const int32_t target = decoder->GetCallTarget(facts.call);
        facts.callTargetHasSource = source && target >= 0 && source->HasSource(static_cast<uint32_t>(target));
      }
    }
  }
  const StageDecision decision = decoder ? DecideStage(facts) : StageDecision{StageAct::EndStep};

  IceCommands* ice = s_.IceCmd.get();
  switch (decision.act) {
    case StageAct::EndStep: inProgress = 0; return false;
    case StageAct::NoProgress:
      stalledByLink_ = stageSendFailed_;
      inProgress = 0;
      return false;
    case StageAct::RunTo:
      stagePc_ = pc;
      stageSendFailed_ = false;
      if (!run_.RunTo(decision.address)) return false;
      break;
    case StageAct::RangeRun: {
      stagePc_ = pc;
      const int32_t procEnd = source ? source->ProcedureEnd(pc) : -1;
      run_.Started();
      stageSendFailed_ = !(ice && ice->RunRange(static_cast<uint16_t>(s_.StepEnd), static_cast<uint16_t>(procEnd)));
      break;
    }
    case StageAct::SingleStep:
      stagePc_ = pc;
      stageSendFailed_ = !(ice && ice->StepICE());
      run_.Started();
      break;
    case StageAct::Nothing:
      stagePc_ = pc;
      stageSendFailed_ = false;
      run_.PollOn();
      break;
  }
  inProgress = 1;
  return true;
}

bool SourceStepper::RunToLineStart() {
  SourceView* source = views_.fmSrcForm();
  if (!source) return false;
  const uint32_t pc = s_.GetPC();
  const int32_t next = source->NextLineStart(pc);
  if (next == -1 || static_cast<uint32_t>(next) == pc) return false;
  return run_.RunTo(static_cast<uint32_t>(next));
}

}  // namespace vx930
