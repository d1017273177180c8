#include "ide/ui/core/debugger.h"

#include <fstream>

#include "platform/clock.h"
#include "platform/messages.h"

namespace vx930 {

namespace {

constexpr const char* kStopFirst = "Please Stop the ICE First !!";
constexpr const char* kCommError = "Communication Error, Please Check Link and Try Again !!";

// The front end's retry pattern: up to three tries, 5 ms after each failed
// one. The RAM views' block reads retry without a pause.
template <class Command>
bool Retry3(Command&& command, uint32_t pauseMs = 5) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (command()) return true;
    if (pauseMs > 0) platform::CurrentClock().Sleep(pauseMs);
  }
  return false;
}

}  // namespace

void IdeMessage(const std::string& text) { platform::ShowMessage(text, kAppTitle); }

Debugger::Debugger(DebuggerState& state, IceConfig& config, const DebuggerHost& host)
    : s_(state), config_(config), host_(host) {}

void Debugger::SetStatusText(int panel, const std::string& text) {
  host_.frame->SetStatusText(panel, text);
}

void Debugger::ViewClosed(const ChildWindow* view) {
  if (!view) return;
  if (view == fmSrcForm) fmSrcForm = nullptr;
  if (view == SFR_HForm) SFR_HForm = nullptr;
  if (view == InRAMView) InRAMView = nullptr;
  if (view == In1kRAMView) In1kRAMView = nullptr;
  if (view == fmBreakPoint) fmBreakPoint = nullptr;
  if (view == fmWatchForm) fmWatchForm = nullptr;
  if (view == CmdForm) CmdForm = nullptr;
}

// ---------------------------------------------------------------- start-up

void Debugger::FormPaint(PortDialog& dialog, LinkOpener& opener) {
  if (!s_.FirstPaint) return;
  s_.FirstPaint = 0;
  s_.ComPortNo = config_.ReadComPortSetting();
  for (;;) {
    const std::optional<int> chosen = dialog.ShowModal(s_.ComPortNo);
    if (!chosen) break;
    s_.ComPortNo = *chosen;
    std::unique_ptr<ComPortHandle> port = opener.OpenPort(s_.ComPortNo);
    if (port) {
      s_.ComPort = std::move(port);
      s_.IceCmd = opener.CreateCommands(*s_.ComPort);
      config_.WriteComPortSetting(s_.ComPortNo);
      break;
    }
    IdeMessage("Can't Open the Serial Port!!");
  }
  LoadWindowLayout();
  host_.controls->SetStoppedControls();
}

void Debugger::FormClose() {
  // No poll may reach the link or the images while they go.
  host_.timer->Disable();
  if (fmSrcForm) fmSrcForm->SetDecoder(nullptr);
  s_.HexDecoder.reset();
  s_.CodeImage.reset();
  // The command set uses the port, so it goes first.
  s_.IceCmd.reset();
  s_.ComPort.reset();
  SaveWindowLayout();
}

void Debugger::FormDestroy() {
  DetachProgramFromViews();
  s_.OmfImage = nullptr;
  s_.OmfModules = nullptr;
  s_.OmfPublics = nullptr;
  s_.OmfDecoder.reset();
}

// ------------------------------------------------------------- run control

bool Debugger::WriteBreakPoints() {
  IceCommands* ice = Ice();
  const bool ok = Retry3([&] { return ice && ice->TxBrkPnt(s_.BreakPointTable.data(), BreakPointCount); });
  platform::CurrentClock().Sleep(10);
  return ok;
}

bool Debugger::WriteSFRImage() {
  IceCommands* ice = Ice();
  const bool ok = Retry3([&] { return ice && ice->TxSFR(s_.SFRImage.data(), SFRCount); });
  if (ok) s_.SFRDirty = 0;
  return ok;
}

bool Debugger::ReadSFRImage() {
  IceCommands* ice = Ice();
  std::array<uint8_t, SFRCount> buffer{};
  if (!Retry3([&] { return ice && ice->RxSFR(buffer.data()); })) return false;
  s_.SFRImage = buffer;
  return true;
}

bool Debugger::ReadInRAM() {
  IceCommands* ice = Ice();
  std::array<uint8_t, kInRAMSize> buffer{};
  for (int start = 0; start < kInRAMSize; start += kRamBlockSize) {
    if (!Retry3([&] { return ice && ice->RxInRAM(buffer.data() + start, static_cast<uint8_t>(start)); }))
      return false;
  }
  s_.InRAMImage = buffer;
  return true;
}

bool Debugger::FlushBeforeRun() {
  bool ok = true;
  if (InRAMView) {
    ok = InRAMView->WriteBack();
    if (ok) InRAMView->ClearLoaded();
  }
  if (ok && In1kRAMView) {
    ok = In1kRAMView->WriteBack();
    if (ok) In1kRAMView->ClearLoaded();
  }
  if (ok) ok = WriteBreakPoints();
  if (ok && s_.SFRDirty) ok = WriteSFRImage();
  s_.SnapshotSFR();
  return ok;
}

bool Debugger::NormalRun() {
  // A refused run leaves the poll alone: the target it refers to still runs.
  if (!s_.Stopped) {
    IdeMessage(kStopFirst);
    return false;
  }
  host_.timer->Disable();
  if (!FlushBeforeRun()) {
    IdeMessage(kCommError);
    return false;
  }
  // The breakpoint test compares the emulator's own program counter.
  const uint32_t raw = s_.RawPC();
  bool atBreak = false;
  for (const BreakPointRec& bp : s_.BreakPointTable) {
    if (bp.address == raw) {
      atBreak = bp.enabled != 0;
      break;
    }
  }
  IceCommands* ice = Ice();
  const bool ok = atBreak ? StepOnce() : Retry3([&] { return ice && ice->RunICE(); });
  if (!ok) {
    IdeMessage("Normal RUN failed, Please Check Link!!");
    return false;
  }
  s_.Stopped = 0;
  host_.timer->Enable();
  host_.controls->SetRunningControls();
  return true;
}

// A single step, tried up to three times. A step whose reply was lost or
// garbled on the way back has still been taken: before each resend the
// board's program counter is read. One that moved counts as the step; a
// board that does not answer that read is not sent the step again, since it
// may have taken it. So one click never runs two or three instructions.
bool Debugger::StepOnce() {
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

void Debugger::FreeRun1Click() {
  if (!s_.Stopped) {
    IdeMessage(kStopFirst);
    return;
  }
  if (!s_.BrkParked) s_.ParkBreakPoints();
  s_.DisableAllBreakPoints();
  if (!FlushBeforeRun()) {
    s_.RestoreBreakPoints();
    IdeMessage(kCommError);
    return;
  }
  IceCommands* ice = Ice();
  if (!Retry3([&] { return ice && ice->RunICE(); })) {
    s_.RestoreBreakPoints();
    IdeMessage("Free RUN failed, Please Check Link!!");
    return;
  }
  s_.Stopped = 0;
  host_.timer->Enable();
  host_.controls->SetRunningControls();
}

void Debugger::Step1Click() {
  if (!s_.Stopped) {
    IdeMessage(kStopFirst);
    return;
  }
  if (!FlushBeforeRun()) {
    IdeMessage(kCommError);
    return;
  }
  s_.SrcStepInto = 0;
  s_.SrcStepOver = 0;
  if (fmSrcForm && fmSrcForm->LinesShown() == 1 && SourceStart(false)) return;
  if (!StepOnce()) {
    IdeMessage("Step Into failed, Please Check Link!!");
    return;
  }
  s_.Stopped = 0;
  host_.timer->Enable();
  host_.controls->SetRunningControls();
}

void Debugger::StepOver1Click() {
  if (!s_.HexDecoder) {
    IdeMessage("Please Download File First !!");
    return;
  }
  if (!s_.Stopped) {
    IdeMessage(kStopFirst);
    return;
  }
  const uint32_t pc = s_.GetPC();
  s_.SrcStepInto = 0;
  s_.SrcStepOver = 0;
  if (fmSrcForm && fmSrcForm->LinesShown() == 1) {
    if (!FlushBeforeRun()) {
      IdeMessage(kCommError);
      return;
    }
    if (SourceStart(true)) return;
  }
  int32_t next = 0;
  int32_t other = 0;
  uint8_t call = 0;
  s_.HexDecoder->GetNextPC(static_cast<int32_t>(pc), TargetImages{s_.SFRImage, s_.InRAMImage}, next,
                           call, other);
  if (call) {
    // Run until the call has returned to the instruction after it.
    RunTo(static_cast<uint32_t>(other));
  } else {
    Step1Click();
  }
}

void Debugger::StopBtnClick() {
  if (host_.timer->IsEnabled()) host_.timer->Disable();
  IceCommands* ice = Ice();
  if (!Retry3([&] { return ice && ice->StopICE(); })) {
    IdeMessage("Stop ICE failed, Please Check Link!!");
    return;
  }
  // Only a running target has a halt for the poll to see.
  if (!s_.Stopped) host_.timer->Enable();
}

void Debugger::Reset1Click() {
  IceCommands* ice = Ice();
  if (!ice) {
    IdeMessage("Please Set Com Port First!!");
    return;
  }
  if (!Retry3([&] { return ice->ResetICE(); })) {
    IdeMessage("Reset ICE failed, Please Check Link!!");
    return;
  }
  s_.SnapshotSFR();
  if (ReadSFRImage() && SFR_HForm) SFR_HForm->RefreshValues();
  if (!fmSrcForm) return;
  if (s_.OmfLoaded) {
    const int32_t m = fmSrcForm->GetFunctionAddress("MAIN");
    fmSrcForm->SetPC(0);
    fmSrcForm->ClearPCLine();
    fmSrcForm->ShowAddress(static_cast<uint32_t>(m), true);
  } else {
    const uint32_t pc = s_.GetPC();
    fmSrcForm->SetPC(pc);
    fmSrcForm->ShowAddress(pc, false);
  }
}

void Debugger::Timer1Timer() {
  host_.timer->Disable();
  SetStatusText(0, "Processing Now ...");
  IceCommands* ice = Ice();
  uint8_t status = 0;
  const bool polled = ice && ice->BusyCheck(status);
  if (polled || s_.Stopped != 0)
    failedPolls_ = 0;
  else if (++failedPolls_ == kFailedPollsBeforeMessage)
    IdeMessage(kCommError);
  if (!(polled && status == kStatusReady && s_.Stopped == 0)) {
    host_.timer->Enable();
    return;
  }
  if (fmSrcForm && fmSrcForm->LinesShown() == 1) {
    s_.Stopped = 1;
    if (ReadSFRImage()) {
      bool restarted;
      if (s_.SrcStepInto)
        restarted = SourceStepInto(s_.GetPC(), false);
      else if (s_.SrcStepOver)
        restarted = SourceStepOver(s_.GetPC(), false);
      else
        restarted = RunToLineStart();
      if (restarted) return;
    }
  }
  // The target has halted: the views read it back now, and a view reads
  // nothing from a target it is told still runs.
  s_.Stopped = 1;
  RefreshAfterStop();
}

void Debugger::RefreshAfterStop() {
  SetStatusText(0, "Receiving Data Now...");
  bool ok = ReadInRAM();
  if (ok && InRAMView) InRAMView->ReloadAfterStop();
  if (ok) {
    ok = ReadSFRImage();
    if (ok && SFR_HForm) SFR_HForm->RefreshValues();
  }
  if (ok && In1kRAMView) In1kRAMView->ReloadAfterStop();
  if (s_.BrkParked) s_.RestoreBreakPoints();
  if (fmSrcForm) {
    const uint32_t pc = s_.GetPC();
    fmSrcForm->SetPC(pc);
    fmSrcForm->ShowAddress(pc, false);
  }
  if (fmWatchForm && s_.OmfDecoder) RefreshWatchAtPC();
  if (!ok) IdeMessage(kCommError);
  SetStatusText(0, "");
  host_.controls->SetStoppedControls();
}

bool Debugger::IsMovxOpcode(uint8_t opcode) {
  switch (opcode) {
    case 0xE0: case 0xE2: case 0xE3: case 0xF0: case 0xF2: case 0xF3: return true;
    default: return false;
  }
}

bool Debugger::IsPCAtMovx() const {
  if (!s_.HexDecoder || !s_.CodeImage) return true;
  const uint16_t pc = static_cast<uint16_t>(s_.GetPC());
  const uint16_t before = pc == 0 ? 0 : pc - 1;
  return IsMovxOpcode((*s_.CodeImage)[pc]) || IsMovxOpcode((*s_.CodeImage)[before]);
}

// ------------------------------------------------------ source-level steps

bool Debugger::RunTo(uint32_t address) {
  // Never overwrite parked user breakpoints with temporary ones.
  if (!s_.BrkParked) s_.ParkBreakPoints();
  s_.SetBothBreakPoints(address, address);
  if (NormalRun()) return true;
  // The run failed: the step ends here, with the user's breakpoints back.
  s_.SrcStepInto = 0;
  s_.SrcStepOver = 0;
  if (s_.BrkParked) s_.RestoreBreakPoints();
  host_.controls->SetStoppedControls();
  return false;
}

bool Debugger::SourceStart(bool over) {
  const uint32_t pc = s_.GetPC();
  if (pc == 0 || pc == 1) {
    // At reset: run to the first line of MAIN; that is the whole step.
    RunTo(static_cast<uint32_t>(fmSrcForm->GetFunctionAddress("MAIN")));
    return true;
  }
  const int32_t end = fmSrcForm->LineEnd(pc);
  s_.StepStart = pc;
  s_.StepEnd = static_cast<uint32_t>(end);
  if (end < 1) return false;
  SourceStage(pc, true, over);
  return true;
}

void Debugger::StartedByStage() {
  s_.Stopped = 0;
  host_.timer->Enable();
  host_.controls->SetRunningControls();
}

bool Debugger::SourceStage(uint32_t pc, bool first, bool over) {
  uint8_t& inProgress = over ? s_.SrcStepOver : s_.SrcStepInto;
  if (pc >= s_.StepEnd || pc < s_.StepStart) {
    inProgress = 0;
    return false;
  }
  if (!first && pc == s_.StepStart) {
    // The line jumped back to its own start: one pass is one step.
    inProgress = 0;
    return false;
  }
  const CDecodeHex* decoder = s_.HexDecoder.get();
  if (!decoder) {
    inProgress = 0;
    return false;
  }
  const int32_t at = static_cast<int32_t>(pc);
  const int32_t end = static_cast<int32_t>(s_.StepEnd);
  const int32_t c = decoder->FindNextCall(at, end);
  const int32_t j = decoder->FindNextBranch(at, end);
  bool noSource = false;
  if (j != -1 && c != -1 && c < j) {
    const int32_t target = decoder->GetCallTarget(c);
    noSource = !(fmSrcForm && target >= 0 && fmSrcForm->HasSource(static_cast<uint32_t>(target)));
  }

  enum class Act { RunTo, RangeRun, SingleStep, Nothing } act = Act::Nothing;
  uint32_t runTarget = 0;
  auto runTo = [&](int32_t address) {
    act = Act::RunTo;
    runTarget = static_cast<uint32_t>(address);
  };
  if (c == -1 && j == -1) {
    runTo(end);
  } else if (!over && c == at) {
    act = noSource ? Act::RangeRun : Act::SingleStep;
  } else if (j == at) {
    act = Act::SingleStep;
  } else if (over && c == at) {
    if (noSource)
      act = Act::RangeRun;
    else
      runTo(c + decoder->GetInstLength(c));
  } else if (c != -1 && (c < j || j == -1)) {
    runTo(c);
  } else if (j != -1 && (j < c || c == -1)) {
    runTo(j);
  }

  IceCommands* ice = Ice();
  switch (act) {
    case Act::RunTo:
      if (!RunTo(runTarget)) return false;
      break;
    case Act::RangeRun: {
      const int32_t procEnd = fmSrcForm ? fmSrcForm->ProcedureEnd(pc) : -1;
      StartedByStage();
      if (ice) ice->RunRange(static_cast<uint16_t>(s_.StepEnd), static_cast<uint16_t>(procEnd));
      break;
    }
    case Act::SingleStep:
      if (ice) ice->StepICE();
      StartedByStage();
      break;
    case Act::Nothing:
      s_.Stopped = 0;
      host_.timer->Enable();
      break;
  }
  inProgress = 1;
  return true;
}

bool Debugger::RunToLineStart() {
  if (!fmSrcForm) return false;
  const uint32_t pc = s_.GetPC();
  const int32_t next = fmSrcForm->NextLineStart(pc);
  if (next == -1 || static_cast<uint32_t>(next) == pc) return false;
  return RunTo(static_cast<uint32_t>(next));
}

// --------------------------------------------------------- opening a program

std::string Debugger::ReadHexCodePath() const { return DirectoryPart(config_.ReadHexCodePath()); }

void Debugger::Load1Click() {
  SetStatusText(0, "");
  if (!s_.Stopped) {
    IdeMessage(kStopFirst);
    return;
  }
  const std::optional<std::string> name = host_.openDialog->Execute(ReadHexCodePath());
  if (!name) return;
  const bool ok = ExtensionPart(*name).empty() ? OpenOmfFile(*name) : OpenHexFile(*name);
  UpdateWatchModules();
  UpdateSourceMarks();
  if (ok) DownLoad1Click();
}

void Debugger::DetachProgramFromViews() {
  if (fmSrcForm) {
    fmSrcForm->DetachOmf();
    fmSrcForm->ClearPublics();
    fmSrcForm->SetDecoder(nullptr);
  }
  if (fmWatchForm) fmWatchForm->DetachOmf();
}

void Debugger::EnsureSourceView() {
  if (!fmSrcForm && host_.views) fmSrcForm = host_.views->CreateSourceView();
}

bool Debugger::OpenHexFile(const std::string& fileName) {
  // Read into a new image and decoder; the loaded program stays as it is
  // until the file has been read successfully.
  auto image = std::make_unique<CodeImage>();
  image->fill(0xFF);
  auto decoder = std::make_unique<CDecodeHex>(image.get());
  host_.frame->SetBusyCursor(true);
  const bool ok = decoder->LoadHexFile(fileName);
  host_.frame->SetBusyCursor(false);
  if (!ok) {
    IdeMessage("File Error, Please Check Again!!");
    SetStatusText(0, "");
    return false;
  }

  DetachProgramFromViews();
  s_.OmfLoaded = 0;
  s_.OmfImage = nullptr;
  s_.OmfModules = nullptr;
  s_.OmfPublics = nullptr;
  s_.OmfDecoder.reset();
  s_.HexDecoder = std::move(decoder);
  s_.CodeImage = std::move(image);
  s_.FileName = fileName;
  s_.FileDir = DirectoryPart(fileName);
  config_.WriteHexCodePath(s_.FileName);

  EnsureSourceView();
  if (fmSrcForm) {
    fmSrcForm->SetMode(0);
    fmSrcForm->SetCaption(s_.FileName);
    fmSrcForm->SetDecoder(s_.HexDecoder.get());
    fmSrcForm->ShowListing();
  }
  SetStatusText(0, "Open File Complete");
  host_.frame->SetCaption(std::string(kMainCaption) + "  " + s_.FileName);
  return true;
}

bool Debugger::OpenOmfFile(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  if (!in) {
    IdeMessage("Cannot open file \"" + fileName + "\".");
    return false;
  }
  auto omf = std::make_unique<DecodeOmf>();
  if (!omf->ReadOmf(in)) {
    IdeMessage("OMF File Format Error !!");
    return false;
  }

  DetachProgramFromViews();
  s_.OmfDecoder = std::move(omf);
  s_.OmfModules = s_.OmfDecoder->GetModules();
  s_.OmfPublics = s_.OmfDecoder->GetPublics();
  s_.OmfImage = s_.OmfDecoder->GetImage()->data();
  *s_.CodeImage = *s_.OmfDecoder->GetImage();
  s_.OmfLoaded = 1;
  s_.FileName = fileName;
  s_.FileDir = DirectoryPart(fileName);
  s_.HexDecoder = std::make_unique<CDecodeHex>();
  s_.HexDecoder->SetImage(s_.OmfDecoder->GetImage());

  EnsureSourceView();
  if (fmSrcForm) {
    AttachOmfToSource();
    fmSrcForm->SetMode(1);
    fmSrcForm->SetCaption(s_.FileName);
    fmSrcForm->SetDecoder(s_.HexDecoder.get());
  }
  if (fmWatchForm) RefreshWatchAtPC();
  if (!s_.IceCmd && fmSrcForm) {
    // Without a link no reset follows to show MAIN.
    const int32_t m = fmSrcForm->GetFunctionAddress("MAIN");
    fmSrcForm->SetPC(static_cast<uint32_t>(m));
    fmSrcForm->ShowAddress(static_cast<uint32_t>(m), false);
  }
  host_.frame->SetCaption(std::string(kMainCaption) + "  " + s_.FileName);
  config_.WriteHexCodePath(s_.FileName);
  return true;
}

void Debugger::AttachOmfToSource() {
  fmSrcForm->AttachOmf(s_.OmfModules, s_.FileDir, s_.OmfDecoder ? s_.OmfDecoder->GetImage() : nullptr);
  fmSrcForm->SetPublics(s_.OmfPublics);
}

void Debugger::RefreshWatchAtPC() {
  const OmfProcedure* p = s_.OmfDecoder ? s_.OmfDecoder->FindProcedure(s_.RawPC()) : nullptr;
  fmWatchForm->RefreshWatch(s_.OmfPublics, p ? p->Locals : nullptr);
}

void Debugger::UpdateWatchModules() {
  if (fmWatchForm) fmWatchForm->FillProcList(s_.OmfModules);
}

void Debugger::DownLoad1Click() {
  // The download thread owns the port while its dialog is open.
  host_.timer->Disable();
  SetStatusText(0, "");
  const int result = host_.download->ShowModal();
  SetStatusText(0, "");
  if (result == DownloadDialog::kCancel) return;
  host_.controls->EnableRunCommands();
  IceCommands* ice = Ice();
  if (!Retry3([&] { return ice && ice->ClearBrkPnt(); })) {
    IdeMessage("Communication Error(Clear Break Point Failed), Please Check Link!!");
    return;
  }
  host_.frame->SetBusyCursor(false);
  SetStatusText(0, "Download Complete");
  Reset1Click();
}

// ------------------------------------------------------------- breakpoints

void Debugger::UpdateSourceMarks() {
  if (!fmSrcForm) return;
  for (int i = 0; i < BreakPointCount; ++i) {
    const BreakPointRec& bp = s_.BreakPointTable[i];
    fmSrcForm->SetBreakPointMark(i, bp.enabled ? static_cast<int32_t>(bp.address) : -1);
  }
}

void Debugger::DisableBreakPoint(int index) {
  if (index < 0 || index >= BreakPointCount) return;
  s_.BreakPointTable[index].enabled = 0;
  UpdateSourceMarks();
}

void Debugger::EnableBreakPoint(int index) {
  if (index < 0 || index >= BreakPointCount) return;
  s_.BreakPointTable[index].enabled = 1;
  UpdateSourceMarks();
}

void Debugger::SetBreakPoint(int index, uint32_t address, uint8_t passCount) {
  if (index < 0 || index >= BreakPointCount) return;
  s_.BreakPointTable[index] = BreakPointRec{address, 1, passCount};
  UpdateSourceMarks();
}

void Debugger::TakeSourceBreakPoints() {
  for (int i = 0; i < BreakPointCount; ++i) {
    const int32_t m = fmSrcForm ? fmSrcForm->GetBreakPoint(i) : -1;
    BreakPointRec& bp = s_.BreakPointTable[i];
    if (m == -1) {
      bp.enabled = 0;
    } else {
      bp.address = static_cast<uint32_t>(m);
      bp.enabled = 1;
    }
  }
  if (fmBreakPoint) fmBreakPoint->RefreshList();
}

// ------------------------------------------------------------ memory edits

bool Debugger::SetInRAMByte(int index, uint8_t value) {
  if (index < 0 || index >= kInRAMSize) return false;
  // Internal RAM edits reach the emulator through the view's dirty blocks.
  if (!InRAMView) CreateInRAMView();
  // The whole block goes back at the next run: the target's other bytes of
  // it must be in the image first, or stale ones overwrite them. Without a
  // link nothing goes back, and there is nothing to read.
  if (InRAMView && Ice() && !InRAMView->LoadForEdit(index)) return false;
  s_.InRAMImage[index] = value;
  if (InRAMView) {
    InRAMView->MarkDirty(index);
    InRAMView->RedrawLine(index & ~15);
  }
  return true;
}

bool Debugger::WriteIn1kRAMByte(uint8_t value, int index) {
  IceCommands* ice = Ice();
  if (!ice || index < 0 || index >= s_.In1kRAMSize) return false;
  return ice->Tx1kByte(static_cast<uint16_t>(index), value);
}

void Debugger::RefreshRAMViews(const ChildWindow* sender) {
  if (SFR_HForm && SFR_HForm != sender) SFR_HForm->RefreshValues();
}

// --------------------------------------------------------------- view menu

bool Debugger::InRAMRead(uint8_t* buffer, int blockStart) {
  IceCommands* ice = Ice();
  if (!ice) return false;
  return Retry3([&] { return ice->RxInRAM(buffer, static_cast<uint8_t>(blockStart)); }, 0);
}

bool Debugger::InRAMWrite(const uint8_t* buffer, int blockStart) {
  IceCommands* ice = Ice();
  return ice && ice->TxInRAM(static_cast<uint8_t>(blockStart), buffer);
}

void Debugger::InRAMEdited() {
  if (SFR_HForm) SFR_HForm->RefreshRegisters();
}

bool Debugger::In1kRAMRead(uint8_t* buffer, int blockStart) {
  IceCommands* ice = Ice();
  if (!ice) return false;
  return Retry3([&] { return ice->Rx1kRAM(buffer, static_cast<uint16_t>(blockStart)); }, 0);
}

bool Debugger::In1kRAMWrite(const uint8_t* buffer, int blockStart) {
  IceCommands* ice = Ice();
  return ice && ice->Tx1kRAM(static_cast<uint16_t>(blockStart), buffer);
}

void Debugger::CreateInRAMView() {
  if (!host_.views) return;
  RamViewCallbacks cb;
  cb.read = [this](uint8_t* buffer, int start) { return InRAMRead(buffer, start); };
  cb.write = [this](const uint8_t* buffer, int start) { return InRAMWrite(buffer, start); };
  cb.destroyed = [this] { InRAMViewClosed(); };
  cb.edited = [this] { InRAMEdited(); };
  InRAMView = host_.views->CreateRamView("Internal 256 RAM", std::move(cb));
  if (InRAMView) InRAMView->AttachImage(s_.InRAMImage.data(), kInRAMSize);
}

void Debugger::Create1kRAMView() {
  if (!host_.views) return;
  // The 1 KB view has no edit callback.
  RamViewCallbacks cb;
  cb.read = [this](uint8_t* buffer, int start) { return In1kRAMRead(buffer, start); };
  cb.write = [this](const uint8_t* buffer, int start) { return In1kRAMWrite(buffer, start); };
  cb.destroyed = [this] { In1kRAMViewClosed(); };
  In1kRAMView = host_.views->CreateRamView("Internal 1k RAM_1", std::move(cb));
  if (In1kRAMView) In1kRAMView->AttachImage(s_.In1kRAMImage.data(), s_.In1kRAMSize);
}

void Debugger::CreateSfrView() {
  if (!host_.views) return;
  // The SFR window sizes itself to its parent: build it in a large frame.
  const WindowBounds before = host_.frame->Bounds();
  WindowBounds large = before;
  large.width = 1024;
  large.height = 768;
  host_.frame->SetBounds(large);
  SFR_HForm = host_.views->CreateSfrView();
  WindowBounds after = host_.frame->Bounds();
  if (before.width != 0) after.width = before.width;
  if (before.height != 0) after.height = before.height;
  host_.frame->SetBounds(after);
}

void Debugger::InternalRAM1Click() {
  if (!InRAMView) CreateInRAMView();
  if (InRAMView) InRAMView->BringForward();
}

void Debugger::muInternal1kRAM1Click() {
  if (!In1kRAMView) Create1kRAMView();
  if (In1kRAMView) In1kRAMView->BringForward();
}

void Debugger::SFRH1Click() {
  if (!SFR_HForm) CreateSfrView();
  if (SFR_HForm) SFR_HForm->BringForward();
}

void Debugger::BreakPoint1Click() {
  if (!fmBreakPoint && host_.views) fmBreakPoint = host_.views->CreateBreakPointView();
  if (fmBreakPoint) fmBreakPoint->BringForward();
}

void Debugger::Disassemble1Click() {
  if (!s_.HexDecoder) {
    IdeMessage("Please Load File First !!");
    return;
  }
  if (!fmSrcForm) {
    EnsureSourceView();
    if (fmSrcForm) AttachOmfToSource();
  }
  if (!fmSrcForm) return;
  fmSrcForm->SetCaption(s_.FileName);
  fmSrcForm->BringForward();
}

void Debugger::ProcedureList1Click() {
  if (!fmSrcForm) {
    EnsureSourceView();
    if (fmSrcForm) AttachOmfToSource();
  }
  if (!fmWatchForm && host_.views) {
    fmWatchForm = host_.views->CreateWatchView();
    if (fmWatchForm) {
      fmWatchForm->FillProcList(s_.OmfModules);
      if (s_.OmfDecoder) RefreshWatchAtPC();
      WindowBounds b = fmWatchForm->Bounds();
      b.width = 360;
      fmWatchForm->SetBounds(b);
    }
  }
  if (!fmWatchForm) return;
  fmWatchForm->BringForward();
  fmWatchForm->ShowProcedurePage();
}

// ------------------------------------------------------------------ layout

void Debugger::SaveWindowLayout() {
  config_.WriteWindow(LayoutWindow::Main, WindowRecord{true, host_.frame->Bounds()});
  auto save = [this](LayoutWindow w, const ChildWindow* view) {
    config_.WriteWindow(w, view ? WindowRecord{true, view->Bounds()} : WindowRecord{});
  };
  save(LayoutWindow::Sfr, SFR_HForm);
  save(LayoutWindow::InRam, InRAMView);
  save(LayoutWindow::In1kRam, In1kRAMView);
  save(LayoutWindow::BreakPoint, fmBreakPoint);
  save(LayoutWindow::Watch, fmWatchForm);
  save(LayoutWindow::Command, CmdForm);
}

void Debugger::LoadWindowLayout() {
  WindowRecord r = config_.ReadWindow(LayoutWindow::Main);
  if (r.exists) host_.frame->SetBounds(r.bounds);

  r = config_.ReadWindow(LayoutWindow::Sfr);
  if (r.exists) {
    if (!SFR_HForm) CreateSfrView();
    if (SFR_HForm) SFR_HForm->SetBounds(r.bounds);
  }
  r = config_.ReadWindow(LayoutWindow::InRam);
  if (r.exists) {
    if (!InRAMView) InternalRAM1Click();
    if (InRAMView) InRAMView->SetBounds(r.bounds);
  }
  r = config_.ReadWindow(LayoutWindow::In1kRam);
  if (r.exists) {
    if (!In1kRAMView) muInternal1kRAM1Click();
    if (In1kRAMView) In1kRAMView->SetBounds(r.bounds);
  }
  r = config_.ReadWindow(LayoutWindow::BreakPoint);
  if (r.exists) {
    if (!fmBreakPoint && host_.views) fmBreakPoint = host_.views->CreateBreakPointView();
    if (fmBreakPoint) fmBreakPoint->SetBounds(r.bounds);
  }
  r = config_.ReadWindow(LayoutWindow::Watch);
  if (r.exists) {
    if (!fmWatchForm && host_.views) fmWatchForm = host_.views->CreateWatchView();
    if (fmWatchForm) fmWatchForm->SetBounds(r.bounds);
  }
  r = config_.ReadWindow(LayoutWindow::Command);
  if (r.exists) {
    if (!CmdForm && host_.views) CmdForm = host_.views->CreateCommandView();
    if (CmdForm) CmdForm->SetBounds(r.bounds);
  }
}

}  // namespace vx930
