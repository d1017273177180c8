// The SFR window as the debugger drives it.
#pragma once

#include "ide/ui/core/views/child_window.h"

namespace vx930 {

class SfrView : public virtual ChildWindow {
public:
  // Redraws every SFR value with its changed mark, then the registers.
  virtual void RefreshValues() = 0;
  // Redraws R0..R7 of the current bank.
  virtual void RefreshRegisters() = 0;
};

}  // namespace vx930
