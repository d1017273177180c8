#include "ide/ui/core/run_controller.h"

#include "ide/image/ide_message.h"
#include "ide/ui/core/retry.h"
#include "ide/ui/core/source_stepper.h"
#include "ide/ui/core/view_registry.h"
#include "platform/clock.h"

namespace vx930 {

namespace {

constexpr const char* kStopFirst = "Please Stop the ICE First !!";
constexpr const char* kCommError = "Communication Error, Please Check Link and Try Again !!";
constexpr const char* kStopFailed = "Stop ICE failed, Please Check Link!!";
constexpr const char* kNormalRunFailed = "Normal RUN failed, Please Check Link!!";

}  // namespace

RunController::RunController(DebuggerState& state, ViewRegistry& views, SourceStepper& stepper, PollTimer& timer,
                             RunControls& controls, FrameWindow& frame)
    : s_(state), views_(views), stepper_(stepper), timer_(timer), controls_(controls), frame_(frame) {}

bool RunController::WriteBreakPoints() {
  IceCommands* ice = Ice();
  const bool ok = Retry3([&] { return ice && ice->TxBrkPnt(s_.BreakPointTable.data(), BreakPointCount); });
  platform::CurrentClock().Sleep(10);
  return ok;
}

bool RunController::WriteSFRImage() {
  IceCommands* ice = Ice();
  const bool ok = Retry3([&] { return ice && ice->TxSFR(s_.SFRImage.data(), SFRCount); });
  if (ok) s_.SFRDirty = 0;
  return ok;
}

bool RunController::ReadSFRImage() {
  IceCommands* ice = Ice();
  std::array<uint8_t, SFRCount> buffer{};
  if (!Retry3([&] { return ice && ice->RxSFR(buffer.data()); })) return false;
  s_.SFRImage = buffer;
  return true;
}

bool RunController::ReadInRAM() {
  IceCommands* ice = Ice();
  std::array<uint8_t, kInRAMSize> buffer{};
  for (int start = 0; start < kInRAMSize; start += kRamBlockSize) {
    if (!Retry3([&] { return ice && ice->RxInRAM(buffer.data() + start, static_cast<uint8_t>(start)); })) return false;
  }
  s_.InRAMImage = buffer;
  return true;
}

bool RunController::FlushBeforeRun() {
  bool ok = true;
  if (RamView* view = views_.InRAMView()) {
    ok = view->WriteBack();
    if (ok) view->ClearLoaded();
  }
  RamView* in1k = views_.In1kRAMView();
  if (ok && in1k) {
    ok = in1k->WriteBack();
    if (ok) in1k->ClearLoaded();
  }
  if (ok) ok = WriteBreakPoints();
  if (ok && s_.SFRDirty) ok = WriteSFRImage();
  s_.SnapshotSFR();
  return ok;
}

bool RunController::NormalRun() {
  // A refused run leaves the poll alone: the target it refers to still runs.
  if (s_.TargetRunning()) {
    ShowIdeMessage(kStopFirst);
    return false;
  }
  timer_.Disable();
  if (!FlushBeforeRun()) {
    ShowIdeMessage(kCommError);
    return false;
  }
  // A board that tests its breakpoints before a run's first instruction
  // never leaves the one it stands on: step off it, then run on.
  const bool atBreak = AtEnabledBreakPoint(s_.GetPC());
  const bool ok = atBreak ? StepOnce() : RunOnce();
  if (!ok) {
    ShowIdeMessage(kNormalRunFailed);
    return false;
  }
  runAfterStep_ = atBreak;
  Started();
  return true;
}

// A single step, tried up to three times. A step whose reply was lost or
// garbled on the way back has still been taken: before each resend the
// board's program counter is read. One that moved counts as the step; a
// board that does not answer that read is not sent the step again, since it
// may have taken it. So one click never runs two or three instructions.
bool RunController::StepOnce() {
  IceCommands* ice = Ice();
  if (!ice) return false;
  // The host copy holds the counter of the last halt or reset.
  const uint32_t before = s_.RawPC();
  std::array<uint8_t, SFRCount> sfr{};
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (ice->StepICE()) return true;
    platform::CurrentClock().Sleep(5);
    if (!ice->RxSFR(sfr.data())) return false;
    if (DebuggerState::RawPCOf(sfr) != before) return true;
  }
  return false;
}

bool RunController::AtEnabledBreakPoint(uint32_t pc) const {
  for (const BreakPointRec& bp : s_.BreakPointTable)
    if (bp.address == pc) return bp.enabled != 0;
  return false;
}

// icRun, tried up to three times. A run whose reply was spoiled may have
// been taken: before each resend the busy check tells. A busy target runs;
// a halted one whose program counter moved has run and stopped already. A
// board that answers neither is not sent the run again.
bool RunController::RunOnce() {
  IceCommands* ice = Ice();
  if (!ice) return false;
  const uint32_t before = s_.RawPC();
  std::array<uint8_t, SFRCount> sfr{};
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (ice->RunICE()) return true;
    platform::CurrentClock().Sleep(5);
    uint8_t status = 0;
    if (!ice->BusyCheck(status)) return false;
    if (status == stBusy) return true;
    if (!ice->RxSFR(sfr.data())) return false;
    if (DebuggerState::RawPCOf(sfr) != before) return true;
  }
  return false;
}

bool RunController::RunOnAfterStep() {
  // The refresh reports a failed read.
  if (!ReadSFRImage()) return false;
  // Landed on another breakpoint: the run ends there.
  if (AtEnabledBreakPoint(s_.GetPC())) return false;
  if (!RunOnce()) {
    ShowIdeMessage(kNormalRunFailed);
    return false;
  }
  timer_.Enable();
  return true;
}

void RunController::AbandonRun() {
  timer_.Disable();
  stopRequested_ = false;
  runAfterStep_ = false;
  s_.SrcStepInto = 0;
  s_.SrcStepOver = 0;
  s_.Stopped = 1;
  if (s_.BrkParked) s_.RestoreBreakPoints();
  SetStatusText(0, "");
  controls_.SetStoppedControls();
}

void RunController::FreeRun1Click() {
  if (s_.TargetRunning()) {
    ShowIdeMessage(kStopFirst);
    return;
  }
  if (!s_.BrkParked) s_.ParkBreakPoints();
  s_.DisableAllBreakPoints();
  if (!FlushBeforeRun()) {
    s_.RestoreBreakPoints();
    ShowIdeMessage(kCommError);
    return;
  }
  if (!RunOnce()) {
    s_.RestoreBreakPoints();
    ShowIdeMessage("Free RUN failed, Please Check Link!!");
    return;
  }
  Started();
}

void RunController::Step1Click() {
  if (s_.TargetRunning()) {
    ShowIdeMessage(kStopFirst);
    return;
  }
  if (!FlushBeforeRun()) {
    ShowIdeMessage(kCommError);
    return;
  }
  s_.SrcStepInto = 0;
  s_.SrcStepOver = 0;
  if (stepper_.Applies() && stepper_.Start(false)) return;
  if (!StepOnce()) {
    ShowIdeMessage("Step Into failed, Please Check Link!!");
    return;
  }
  Started();
}

void RunController::StepOver1Click() {
  if (!s_.HexDecoder) {
    ShowIdeMessage("Please Download File First !!");
    return;
  }
  if (s_.TargetRunning()) {
    ShowIdeMessage(kStopFirst);
    return;
  }
  const uint32_t pc = s_.GetPC();
  s_.SrcStepInto = 0;
  s_.SrcStepOver = 0;
  if (stepper_.Applies()) {
    if (!FlushBeforeRun()) {
      ShowIdeMessage(kCommError);
      return;
    }
    if (stepper_.Start(true)) return;
  }
  int32_t next = 0;
  int32_t other = 0;
  uint8_t call = 0;
  s_.HexDecoder->GetNextPC(static_cast<int32_t>(pc), TargetImages{s_.SFRImage, s_.InRAMImage}, next, call, other);
  if (call) {
    // Run until the call has returned to the instruction after it.
    RunTo(static_cast<uint32_t>(other));
  } else {
    Step1Click();
  }
}

void RunController::StopBtnClick() {
  if (timer_.IsEnabled()) timer_.Disable();
  IceCommands* ice = Ice();
  if (!Retry3([&] { return ice && ice->StopICE(); })) {
    ShowIdeMessage(kStopFailed);
    // The user keeps a way out: Reset and Open once the link is back.
    if (s_.TargetRunning()) AbandonRun();
    return;
  }
  // Only a running target has a halt for the poll to see.
  if (s_.TargetRunning()) {
    stopRequested_ = true;
    stopTick_ = platform::CurrentClock().Tick();
    timer_.Enable();
  }
}

void RunController::Reset1Click() {
  IceCommands* ice = Ice();
  if (!ice) {
    ShowIdeMessage("Please Set Com Port First!!");
    return;
  }
  if (!Retry3([&] { return ice->ResetICE(); })) {
    ShowIdeMessage("Reset ICE failed, Please Check Link!!");
    return;
  }
  s_.SnapshotSFR();
  if (ReadSFRImage() && views_.SFR_HForm()) views_.SFR_HForm()->RefreshValues();
  SourceView* source = views_.fmSrcForm();
  if (!source) return;
  if (s_.OmfLoaded) {
    const int32_t m = source->GetFunctionAddress("MAIN");
    source->SetPC(0);
    source->ClearPCLine();
    source->ShowAddress(static_cast<uint32_t>(m), true);
  } else {
    const uint32_t pc = s_.GetPC();
    source->SetPC(pc);
    source->ShowAddress(pc, false);
  }
}

void RunController::NoteFailedPoll(bool polled, uint32_t pollStart) {
  if (polled || !s_.TargetRunning()) {
    deadSince_.reset();
    deadReported_ = false;
    return;
  }
  if (!deadSince_) deadSince_ = pollStart;
  if (!deadReported_ && platform::ElapsedSince(*deadSince_) >= kDeadLinkMessageMs) {
    deadReported_ = true;
    ShowIdeMessage(kCommError);
  }
}

void RunController::Timer1Timer() {
  timer_.Disable();
  SetStatusText(0, "Processing Now ...");
  IceCommands* ice = Ice();
  uint8_t status = 0;
  const uint32_t pollStart = platform::CurrentClock().Tick();
  const bool polled = ice && ice->BusyCheck(status);
  if (!(polled && status == stReady && s_.TargetRunning())) {
    if (stopRequested_ && s_.TargetRunning() && platform::ElapsedSince(stopTick_) >= kStopHaltLimitMs) {
      // Stop was acknowledged, yet the target never halts.
      ShowIdeMessage(kStopFailed);
      AbandonRun();
      return;
    }
    if (!stopRequested_) NoteFailedPoll(polled, pollStart);
    timer_.Enable();
    return;
  }
  NoteFailedPoll(true, pollStart);
  // After Stop nothing starts the target again.
  const bool stopped = stopRequested_;
  stopRequested_ = false;
  if (runAfterStep_) {
    runAfterStep_ = false;
    if (!stopped && RunOnAfterStep()) return;
  }
  if (stopped) {
    s_.SrcStepInto = 0;
    s_.SrcStepOver = 0;
  } else if (stepper_.Applies()) {
    s_.Stopped = 1;
    if (ReadSFRImage()) {
      bool restarted;
      if (s_.SrcStepInto)
        restarted = stepper_.SourceStepInto(s_.GetPC(), false);
      else if (s_.SrcStepOver)
        restarted = stepper_.SourceStepOver(s_.GetPC(), false);
      else
        restarted = stepper_.RunToLineStart();
      if (restarted) return;
    }
  }
  // The target has halted: the views read it back now, and a view reads
  // nothing from a target it is told still runs.
  s_.Stopped = 1;
  RefreshAfterHalt(stepper_.TakeStalledByLink());
}

void RunController::RefreshAfterStop() { RefreshAfterHalt(false); }

void RunController::RefreshAfterHalt(bool linkFault) {
  SetStatusText(0, "Receiving Data Now...");
  bool ok = ReadInRAM();
  if (ok && views_.InRAMView()) views_.InRAMView()->ReloadAfterStop();
  if (ok) {
    ok = ReadSFRImage();
    if (ok && views_.SFR_HForm()) views_.SFR_HForm()->RefreshValues();
  }
  if (ok && views_.In1kRAMView()) views_.In1kRAMView()->ReloadAfterStop();
  if (s_.BrkParked) s_.RestoreBreakPoints();
  if (SourceView* source = views_.fmSrcForm()) {
    const uint32_t pc = s_.GetPC();
    source->SetPC(pc);
    source->ShowAddress(pc, false);
  }
  if (views_.fmWatchForm() && s_.OmfDecoder) views_.RefreshWatchAtPC();
  if (!ok || linkFault) ShowIdeMessage(kCommError);
  SetStatusText(0, "");
  controls_.SetStoppedControls();
}

bool RunController::IsMovxOpcode(uint8_t opcode) {
  switch (opcode) {
    case 0xE0:
    case 0xE2:
    case 0xE3:
    case 0xF0:
    case 0xF2:
    case 0xF3: return true;
    default: return false;
  }
}

bool RunController::IsPCAtMovx() const {
  if (!s_.HexDecoder || !s_.CodeImage) return true;
  const uint16_t pc = static_cast<uint16_t>(s_.GetPC());
  const uint16_t before = pc == 0 ? 0 : pc - 1;
  return IsMovxOpcode((*s_.CodeImage)[pc]) || IsMovxOpcode((*s_.CodeImage)[before]);
}

// ------------------------------------------------------ for the stages

bool RunController::RunTo(uint32_t address) {
  // Never overwrite parked user breakpoints with temporary ones.
  if (!s_.BrkParked) s_.ParkBreakPoints();
  s_.SetBothBreakPoints(address, address);
  if (NormalRun()) return true;
  // The run failed: the step ends here, with the user's breakpoints back.
  s_.SrcStepInto = 0;
  s_.SrcStepOver = 0;
  if (s_.BrkParked) s_.RestoreBreakPoints();
  controls_.SetStoppedControls();
  return false;
}

void RunController::Started() {
  PollOn();
  controls_.SetRunningControls();
}

void RunController::PollOn() {
  s_.Stopped = 0;
  timer_.Enable();
}

}  // namespace vx930
