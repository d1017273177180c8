// The command window: the debugger only places it and closes it; the window
// calls the debugger, never the other way round.
#pragma once

#include "ide/ui/core/views/child_window.h"

namespace vx930 {

class CommandView : public virtual ChildWindow {};

}  // namespace vx930
