// The singleton views: one pointer per child window kind, null while that
// window is closed, and every caller tests it before use, so each command
// works with any view absent. The registry creates the views through the
// frame's factory (the View menu, on demand, or from the saved layout),
// learns when one goes, gives the RAM views their block callbacks and keeps
// the window layout in the configuration file.
#pragma once

#include <cstdint>
#include <string>

#include "ide/ui/core/debugger_state.h"
#include "ide/ui/core/host_interfaces.h"
#include "ide/ui/core/ice_config.h"
#include "ide/ui/core/views/view_factory.h"

namespace vx930 {

class ViewRegistry {
public:
  // factory may be null: then no view is ever made.
  ViewRegistry(DebuggerState& state, IceConfig& config, FrameWindow& frame, ViewFactory* factory);
  ViewRegistry(const ViewRegistry&) = delete;
  ViewRegistry& operator=(const ViewRegistry&) = delete;

  SourceView* fmSrcForm() const { return source_.view; }
  SfrView* SFR_HForm() const { return sfr_.view; }
  RamView* InRAMView() const { return inRam_.view; }
  RamView* In1kRAMView() const { return in1kRam_.view; }
  BreakPointView* fmBreakPoint() const { return breakPoints_.view; }
  WatchView* fmWatchForm() const { return watch_.view; }
  CommandView* CmdForm() const { return command_.view; }

  // A view made elsewhere (a test, or a window built by hand) takes the
  // place of its kind; it reports its end through ViewClosed like any other.
  void Register(SourceView* view) { source_.Set(view); }
  void Register(SfrView* view) { sfr_.Set(view); }
  void Register(BreakPointView* view) { breakPoints_.Set(view); }
  void Register(WatchView* view) { watch_.Set(view); }
  void Register(CommandView* view) { command_.Set(view); }
  // A child window is being destroyed: its pointer is cleared.
  void ViewClosed(const ChildWindow* view);

  // View menu: each opens its view once, then brings it forward.
  void SFRH1Click();
  void InternalRAM1Click();
  void muInternal1kRAM1Click();
  void BreakPoint1Click();
  void Disassemble1Click();
  void ProcedureList1Click();

  // The views that other jobs open without bringing them forward.
  void EnsureSourceView();
  void EnsureInRAMView();
  // The loaded OMF program into the source window, and out of every view.
  void AttachOmfToSource();
  void DetachProgram();
  // The source window's breakpoint marks from the breakpoint table.
  void UpdateSourceMarks();
  // The watch window's globals and the locals of the procedure at the PC.
  void RefreshWatchAtPC();

  // The RAM views' block callbacks: reads take up to three tries without a
  // pause, writes one; both fail at once without a link.
  bool InRAMRead(uint8_t* buffer, int blockStart);
  bool InRAMWrite(const uint8_t* buffer, int blockStart);
  void InRAMViewClosed() { inRam_.Clear(); }
  // R0..R7 live in internal RAM: an open SFR window shows the edit.
  void InRAMEdited();
  bool In1kRAMRead(uint8_t* buffer, int blockStart);
  bool In1kRAMWrite(const uint8_t* buffer, int blockStart);
  void In1kRAMViewClosed() { in1kRam_.Clear(); }

  // Layout in the configuration file: the main window and each child.
  void LoadWindowLayout();
  void SaveWindowLayout();

private:
  void CreateInRAMView();
  void Create1kRAMView();
  void CreateSfrView();
  void CreateBreakPointView();
  void CreateWatchView();
  void CreateCommandView();

  DebuggerState& s_;
  IceConfig& config_;
  FrameWindow& frame_;
  ViewFactory* factory_;
  // One open view of a kind, with its ChildWindow identity taken when it is
  // made or registered: a view reports its end from its destructor, when
  // converting its typed pointer to the virtual base would read a destroyed
  // object.
  template <class View>
  struct Slot {
    View* view = nullptr;
    const ChildWindow* id = nullptr;
    void Set(View* v) {
      view = v;
      id = v;
    }
    void Clear() { Set(nullptr); }
    void ClearIf(const ChildWindow* gone) {
      if (gone == id) Clear();
    }
  };
  Slot<SourceView> source_;
  Slot<SfrView> sfr_;
  Slot<RamView> inRam_;
  Slot<RamView> in1kRam_;
  Slot<BreakPointView> breakPoints_;
  Slot<WatchView> watch_;
  Slot<CommandView> command_;
};

}  // namespace vx930
