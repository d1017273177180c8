#include "ide/ui/core/command_host.h"

#include "ide/ui/core/debugger.h"

namespace vx930 {

bool DebuggerCommandHost::TargetRunning() const { return d_.TargetRunning(); }

bool DebuggerCommandHost::SetInRAMByte(int index, uint8_t value) { return d_.SetInRAMByte(index, value); }

bool DebuggerCommandHost::GetInRAMByte(int index, uint8_t& value) const {
  return d_.State().GetInRAMByte(index, value);
}

bool DebuggerCommandHost::SetIn1kRAMByte(int index, uint8_t value) {
  if (!d_.State().SetIn1kRAMByte(index, value)) return false;
  if (d_.In1kRAMView()) d_.In1kRAMView()->RedrawLine(index & ~15);
  return true;
}

bool DebuggerCommandHost::GetIn1kRAMByte(int index, uint8_t& value) const {
  return d_.State().GetIn1kRAMByte(index, value);
}

int DebuggerCommandHost::GetIn1kRAMSize() const { return d_.State().In1kRAMSize; }

bool DebuggerCommandHost::WriteIn1kRAMByte(uint8_t value, int index) { return d_.WriteIn1kRAMByte(value, index); }

void DebuggerCommandHost::RefreshRAMViews() { d_.RefreshRAMViews(self_); }

void DebuggerCommandHost::NormalRun() { d_.NormalRun1Click(); }
void DebuggerCommandHost::Reset() { d_.Reset1Click(); }
void DebuggerCommandHost::StepOver() { d_.StepOver1Click(); }
void DebuggerCommandHost::StepInto() { d_.Step1Click(); }
void DebuggerCommandHost::Stop() { d_.StopBtnClick(); }

void DebuggerCommandHost::Load(const std::optional<std::string>& path) {
  if (path) openDialog_.SetFileName(*path);
  d_.Load1Click();
}

void DebuggerCommandHost::DisableBreakPoint(int index) { d_.DisableBreakPoint(index); }

void DebuggerCommandHost::SetBreakPoint(int index, uint32_t address, uint8_t passCount) {
  d_.SetBreakPoint(index, address, passCount);
}

void DebuggerCommandHost::RefreshBreakPointList() {
  if (d_.fmBreakPoint()) d_.fmBreakPoint()->RefreshList();
}

void DebuggerCommandHost::OpenWindow(CommandWindowKind window) {
  switch (window) {
    case CommandWindowKind::Program: d_.Disassemble1Click(); break;
    case CommandWindowKind::InRAM: d_.InternalRAM1Click(); break;
    case CommandWindowKind::ExRAM: d_.muInternal1kRAM1Click(); break;
    case CommandWindowKind::Sfr: d_.SFRH1Click(); break;
    case CommandWindowKind::BreakPoint: d_.BreakPoint1Click(); break;
    case CommandWindowKind::Command: break;
  }
}

void DebuggerCommandHost::CloseWindow(CommandWindowKind window) {
  ChildWindow* view = nullptr;
  switch (window) {
    case CommandWindowKind::Program: view = d_.fmSrcForm(); break;
    case CommandWindowKind::InRAM: view = d_.InRAMView(); break;
    case CommandWindowKind::ExRAM: view = d_.In1kRAMView(); break;
    case CommandWindowKind::Sfr: view = d_.SFR_HForm(); break;
    case CommandWindowKind::BreakPoint: view = d_.fmBreakPoint(); break;
    case CommandWindowKind::Command: view = self_; break;
  }
  if (view) view->Close();
}

void DebuggerCommandHost::BringCommandWindowForward() {
  if (self_) self_->BringForward();
}

}  // namespace vx930
