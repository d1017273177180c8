// The debugger: the main window's handlers and operations as plain C++ over
// DebuggerState. It is the root that owns one manager per job and keeps the
// handler names as one-line forwards:
//   RunController  normal run, free run, steps, stop, reset, the halt poll
//   SourceStepper  source-level steps and the run on to a line start
//   ProgramLoader  opening a program and downloading it
//   ViewRegistry   the singleton views, the View menu, the window layout
// Start-up, shutdown, the breakpoint table's edits and the memory edits of
// the other windows stay here.
#pragma once

#include <cstdint>
#include <string>

#include "ide/link/link_opener.h"
#include "ide/ui/core/debugger_state.h"
#include "ide/ui/core/host_interfaces.h"
#include "ide/ui/core/ice_config.h"
#include "ide/ui/core/program_loader.h"
#include "ide/ui/core/run_controller.h"
#include "ide/ui/core/source_stepper.h"
#include "ide/ui/core/view_registry.h"
#include "ide/ui/core/views/view_factory.h"

namespace vx930 {

struct DebuggerHost {
  PollTimer* timer = nullptr;
  RunControls* controls = nullptr;
  FrameWindow* frame = nullptr;
  OpenFileDialog* openDialog = nullptr;
  DownloadDialog* download = nullptr;
  ViewFactory* views = nullptr;
};

class Debugger {
public:
  // Every host service must be set; the views may be absent.
  Debugger(DebuggerState& state, IceConfig& config, const DebuggerHost& host);
  Debugger(const Debugger&) = delete;
  Debugger& operator=(const Debugger&) = delete;

  DebuggerState& State() { return s_; }
  const DebuggerState& State() const { return s_; }
  IceConfig& Config() { return config_; }
  RunController& Run() { return run_; }
  SourceStepper& Stepper() { return stepper_; }
  ProgramLoader& Loader() { return loader_; }
  ViewRegistry& Views() { return views_; }
  const ViewRegistry& Views() const { return views_; }

  // Whether the target runs as far as the IDE knows.
  bool TargetRunning() const { return s_.TargetRunning(); }

  // The child windows, null while closed.
  SourceView* fmSrcForm() const { return views_.fmSrcForm(); }
  SfrView* SFR_HForm() const { return views_.SFR_HForm(); }
  RamView* InRAMView() const { return views_.InRAMView(); }
  RamView* In1kRAMView() const { return views_.In1kRAMView(); }
  BreakPointView* fmBreakPoint() const { return views_.fmBreakPoint(); }
  WatchView* fmWatchForm() const { return views_.fmWatchForm(); }
  CommandView* CmdForm() const { return views_.CmdForm(); }
  // A child window is being destroyed: its pointer is cleared.
  void ViewClosed(const ChildWindow* view) { views_.ViewClosed(view); }

  // Start-up and shutdown.
  // The first paint: the port dialog loop, the saved layout, halted controls.
  // Later calls do nothing.
  void FormPaint(PortDialog& dialog, LinkOpener& opener);
  // Teardown up to the closing of the children, in a fixed order: the poll
  // stops, the decoder, the image and the link go, the layout is saved.
  void FormClose();
  // The OMF program goes; the views drop their pointers into it first.
  void FormDestroy();

  // Run control.
  void NormalRun1Click() { run_.NormalRun(); }
  void FreeRun1Click() { run_.FreeRun1Click(); }
  void Step1Click() { run_.Step1Click(); }
  void StepOver1Click() { run_.StepOver1Click(); }
  void StopBtnClick() { run_.StopBtnClick(); }
  void Reset1Click() { run_.Reset1Click(); }
  void Timer1Timer() { run_.Timer1Timer(); }
  bool FlushBeforeRun() { return run_.FlushBeforeRun(); }
  bool WriteBreakPoints() { return run_.WriteBreakPoints(); }
  bool WriteSFRImage() { return run_.WriteSFRImage(); }
  bool ReadSFRImage() { return run_.ReadSFRImage(); }
  bool ReadInRAM() { return run_.ReadInRAM(); }
  void RefreshAfterStop() { run_.RefreshAfterStop(); }
  bool IsPCAtMovx() const { return run_.IsPCAtMovx(); }
  static bool IsMovxOpcode(uint8_t opcode) { return RunController::IsMovxOpcode(opcode); }

  // Source-level stepping: one stage each; true when it restarted the target.
  bool SourceStepInto(uint32_t pc, bool first) { return stepper_.SourceStepInto(pc, first); }
  bool SourceStepOver(uint32_t pc, bool first) { return stepper_.SourceStepOver(pc, first); }
  bool RunToLineStart() { return stepper_.RunToLineStart(); }

  // Opening a program.
  void Load1Click() { loader_.Load1Click(); }
  bool OpenHexFile(const std::string& fileName) { return loader_.OpenHexFile(fileName); }
  bool OpenOmfFile(const std::string& fileName) { return loader_.OpenOmfFile(fileName); }
  void UpdateWatchModules() { loader_.UpdateWatchModules(); }
  void DownLoad1Click() { loader_.DownLoad1Click(); }
  std::string ReadHexCodePath() const { return loader_.ReadHexCodePath(); }

  // Breakpoints (each but TakeSourceBreakPoints updates the source marks).
  void DisableBreakPoint(int index);
  void EnableBreakPoint(int index);
  void SetBreakPoint(int index, uint32_t address, uint8_t passCount);
  void TakeSourceBreakPoints();

  // Memory edits.
  bool SetInRAMByte(int index, uint8_t value);
  bool WriteIn1kRAMByte(uint8_t value, int index);
  void RefreshRAMViews(const ChildWindow* sender);

  // The RAM views' block callbacks.
  bool InRAMRead(uint8_t* buffer, int blockStart) { return views_.InRAMRead(buffer, blockStart); }
  bool InRAMWrite(const uint8_t* buffer, int blockStart) { return views_.InRAMWrite(buffer, blockStart); }
  void InRAMViewClosed() { views_.InRAMViewClosed(); }
  void InRAMEdited() { views_.InRAMEdited(); }
  bool In1kRAMRead(uint8_t* buffer, int blockStart) { return views_.In1kRAMRead(buffer, blockStart); }
  bool In1kRAMWrite(const uint8_t* buffer, int blockStart) { return views_.In1kRAMWrite(buffer, blockStart); }
  void In1kRAMViewClosed() { views_.In1kRAMViewClosed(); }

  // View menu.
  void SFRH1Click() { views_.SFRH1Click(); }
  void InternalRAM1Click() { views_.InternalRAM1Click(); }
  void muInternal1kRAM1Click() { views_.muInternal1kRAM1Click(); }
  void BreakPoint1Click() { views_.BreakPoint1Click(); }
  void Disassemble1Click() { views_.Disassemble1Click(); }
  void ProcedureList1Click() { views_.ProcedureList1Click(); }

  // Configuration file.
  void LoadWindowLayout() { views_.LoadWindowLayout(); }
  void SaveWindowLayout() { views_.SaveWindowLayout(); }

  void SetStatusText(int panel, const std::string& text) { run_.SetStatusText(panel, text); }

private:
  DebuggerState& s_;
  IceConfig& config_;
  DebuggerHost host_;
  // In this order: each takes the ones before it.
  ViewRegistry views_;
  SourceStepper stepper_;
  RunController run_;
  ProgramLoader loader_;
};

}  // namespace vx930
