// The debugger controller: the main window's handlers and operations as plain
// C++ over DebuggerState. It reaches the windows through the host services
// and the view interfaces, each view through a pointer that is tested before
// every use, so every command works with any view absent.
//
// Run control is a state machine carried across poll ticks: a command starts
// the target and enables the 30 ms poll; each tick asks the emulator whether
// the target halted; on the halt a source-level step runs its next stage (or
// a halt inside a source line runs on to the next line start) until nothing
// is restarted, and then every view is refreshed. Temporary stops use both
// hardware breakpoints; the user's are parked once and restored once.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "ide/ui/core/debugger_state.h"
#include "ide/ui/core/host_interfaces.h"
#include "ide/ui/core/ice_config.h"
#include "ide/ui/core/link_opener.h"
#include "ide/ui/core/views/view_factory.h"

namespace vx930 {

// The caption of the IDE's messages, and of the main window.
inline constexpr const char* kAppTitle = "VX930_IDE";
inline constexpr const char* kMainCaption = "VX930 IDE";

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

  // The child windows, null while closed.
  SourceView* fmSrcForm = nullptr;
  SfrView* SFR_HForm = nullptr;
  RamView* InRAMView = nullptr;
  RamView* In1kRAMView = nullptr;
  BreakPointView* fmBreakPoint = nullptr;
  WatchView* fmWatchForm = nullptr;
  CommandView* CmdForm = nullptr;
  // A child window is being destroyed: its pointer is cleared.
  void ViewClosed(const ChildWindow* view);

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
  void NormalRun1Click() { NormalRun(); }
  void FreeRun1Click();
  void Step1Click();
  void StepOver1Click();
  void StopBtnClick();
  void Reset1Click();
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

  // Source-level stepping: one stage each; true when it restarted the target.
  bool SourceStepInto(uint32_t pc, bool first) { return SourceStage(pc, first, false); }
  bool SourceStepOver(uint32_t pc, bool first) { return SourceStage(pc, first, true); }
  bool RunToLineStart();

  // Opening a program.
  void Load1Click();
  bool OpenHexFile(const std::string& fileName);
  bool OpenOmfFile(const std::string& fileName);
  void UpdateWatchModules();
  void DownLoad1Click();

  // Breakpoints (each but TakeSourceBreakPoints updates the source marks).
  void DisableBreakPoint(int index);
  void EnableBreakPoint(int index);
  void SetBreakPoint(int index, uint32_t address, uint8_t passCount);
  void TakeSourceBreakPoints();

  // Memory edits.
  bool SetInRAMByte(int index, uint8_t value);
  bool WriteIn1kRAMByte(uint8_t value, int index);
  void RefreshRAMViews(const ChildWindow* sender);

  // The RAM views' block callbacks: reads take up to three tries without a
  // pause, writes one; both fail at once without a link.
  bool InRAMRead(uint8_t* buffer, int blockStart);
  bool InRAMWrite(const uint8_t* buffer, int blockStart);
  void InRAMViewClosed() { InRAMView = nullptr; }
  // R0..R7 live in internal RAM: an open SFR window shows the edit.
  void InRAMEdited();
  bool In1kRAMRead(uint8_t* buffer, int blockStart);
  bool In1kRAMWrite(const uint8_t* buffer, int blockStart);
  void In1kRAMViewClosed() { In1kRAMView = nullptr; }

  // View menu.
  void SFRH1Click();
  void InternalRAM1Click();
  void muInternal1kRAM1Click();
  void BreakPoint1Click();
  void Disassemble1Click();
  void ProcedureList1Click();

  // Configuration file.
  std::string ReadHexCodePath() const;  // the Open dialog's initial directory
  void LoadWindowLayout();
  void SaveWindowLayout();

  void SetStatusText(int panel, const std::string& text);

private:
  bool NormalRun();
  bool StepOnce();
  bool RunTo(uint32_t address);
  bool SourceStart(bool over);
  bool SourceStage(uint32_t pc, bool first, bool over);
  void StartedByStage();
  void UpdateSourceMarks();
  void RefreshWatchAtPC();
  void EnsureSourceView();
  void AttachOmfToSource();
  // Views drop every pointer into the OMF program and decoder.
  void DetachProgramFromViews();
  void CreateInRAMView();
  void Create1kRAMView();
  void CreateSfrView();
  IceCommands* Ice() const { return s_.IceCmd.get(); }

  DebuggerState& s_;
  IceConfig& config_;
  DebuggerHost host_;
  // Polls in a row that got no answer; a pulled cable must not leave the
  // user looking at "Processing Now ..." without a word.
  int failedPolls_ = 0;
};

// Polls in a row without an answer (about 1.5 s at the least) before the
// poll says once that the link is gone; it keeps polling, so a cable put
// back lets the run end normally.
inline constexpr int kFailedPollsBeforeMessage = 50;

// "MESSAGE" in the IDE's message box.
void IdeMessage(const std::string& text);

}  // namespace vx930
