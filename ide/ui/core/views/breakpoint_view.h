// The breakpoint list window as the debugger drives it.
#pragma once

#include "ide/ui/core/views/child_window.h"

namespace vx930 {

class BreakPointView : public virtual ChildWindow {
public:
  // Reloads the list from the breakpoint table.
  virtual void RefreshList() = 0;
};

}  // namespace vx930
