#include "ide/ui/core/debugger.h"

#include "ide/image/ide_message.h"

namespace vx930 {

Debugger::Debugger(DebuggerState& state, IceConfig& config, const DebuggerHost& host)
    : s_(state),
      config_(config),
      host_(host),
      views_(state, config, *host.frame, host.views),
      stepper_(state, views_, run_),
      run_(state, views_, stepper_, *host.timer, *host.controls, *host.frame),
      loader_(state, config, views_, run_,
              LoaderHost{*host.timer, *host.controls, *host.frame, *host.openDialog, *host.download}) {}

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
    ShowIdeMessage("Can't Open the Serial Port!!");
  }
  views_.LoadWindowLayout();
  host_.controls->SetStoppedControls();
}

void Debugger::FormClose() {
  // No poll may reach the link or the images while they go.
  host_.timer->Disable();
  if (SourceView* source = views_.fmSrcForm()) source->SetDecoder(nullptr);
  s_.HexDecoder.reset();
  s_.CodeImage.reset();
  // The command set uses the port, so it goes first.
  s_.IceCmd.reset();
  s_.ComPort.reset();
  views_.SaveWindowLayout();
}

void Debugger::FormDestroy() {
  views_.DetachProgram();
  s_.OmfImage = nullptr;
  s_.OmfModules = nullptr;
  s_.OmfPublics = nullptr;
  s_.OmfDecoder.reset();
}

// ------------------------------------------------------------- breakpoints

void Debugger::DisableBreakPoint(int index) {
  if (index < 0 || index >= BreakPointCount) return;
  s_.BreakPointTable[index].enabled = 0;
  views_.UpdateSourceMarks();
}

void Debugger::EnableBreakPoint(int index) {
  if (index < 0 || index >= BreakPointCount) return;
  s_.BreakPointTable[index].enabled = 1;
  views_.UpdateSourceMarks();
}

void Debugger::SetBreakPoint(int index, uint32_t address, uint8_t passCount) {
  if (index < 0 || index >= BreakPointCount) return;
  s_.BreakPointTable[index] = BreakPointRec{address, 1, passCount};
  views_.UpdateSourceMarks();
}

void Debugger::TakeSourceBreakPoints() {
  SourceView* source = views_.fmSrcForm();
  for (int i = 0; i < BreakPointCount; ++i) {
    const int32_t m = source ? source->GetBreakPoint(i) : -1;
    BreakPointRec& bp = s_.BreakPointTable[i];
    if (m == -1) {
      bp.enabled = 0;
    } else {
      bp.address = static_cast<uint32_t>(m);
      bp.enabled = 1;
    }
  }
  if (BreakPointView* list = views_.fmBreakPoint()) list->RefreshList();
}

// ------------------------------------------------------------ memory edits

bool Debugger::SetInRAMByte(int index, uint8_t value) {
  if (index < 0 || index >= kInRAMSize) return false;
  // Internal RAM edits reach the emulator through the view's dirty blocks.
  views_.EnsureInRAMView();
  RamView* view = views_.InRAMView();
  // The whole block goes back at the next run: the target's other bytes of
  // it must be in the image first, or stale ones overwrite them. Without a
  // link nothing goes back, and there is nothing to read.
  if (view && s_.IceCmd && !view->LoadForEdit(index)) return false;
  s_.InRAMImage[index] = value;
  if (view) {
    view->MarkDirty(index);
    view->RedrawLine(index & ~15);
  }
  return true;
}

bool Debugger::WriteIn1kRAMByte(uint8_t value, int index) {
  IceCommands* ice = s_.IceCmd.get();
  if (!ice || index < 0 || index >= s_.In1kRAMSize) return false;
  return ice->Tx1kByte(static_cast<uint16_t>(index), value);
}

void Debugger::RefreshRAMViews(const ChildWindow* sender) {
  SfrView* sfr = views_.SFR_HForm();
  if (sfr && sfr != sender) sfr->RefreshValues();
}

}  // namespace vx930
