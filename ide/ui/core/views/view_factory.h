// Creates the MDI child windows on the debugger's behalf. Each call makes a
// new window owned by the frame and returns a pointer the debugger keeps
// until the window reports its destruction (Debugger::ViewClosed, or a RAM
// view's destroyed callback). A null result means the window kind is not
// available; the debugger then carries on without it.
#pragma once

#include <string>

#include "ide/ui/core/views/breakpoint_view.h"
#include "ide/ui/core/views/command_view.h"
#include "ide/ui/core/views/ram_view.h"
#include "ide/ui/core/views/sfr_view.h"
#include "ide/ui/core/views/source_view.h"
#include "ide/ui/core/views/watch_view.h"

namespace vx930 {

class ViewFactory {
public:
  virtual ~ViewFactory() = default;
  virtual SourceView* CreateSourceView() = 0;
  virtual SfrView* CreateSfrView() = 0;
  // The view is shown but not brought forward; AttachImage follows.
  virtual RamView* CreateRamView(const std::string& caption, RamViewCallbacks callbacks) = 0;
  virtual BreakPointView* CreateBreakPointView() = 0;
  virtual WatchView* CreateWatchView() = 0;
  virtual CommandView* CreateCommandView() = 0;
};

}  // namespace vx930
