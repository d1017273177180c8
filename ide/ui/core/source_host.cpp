#include "ide/ui/core/source_host.h"

#include "ide/ui/core/debugger.h"

namespace vx930 {

bool DebuggerSourceHost::TargetRunning() const { return d_.TargetRunning(); }

void DebuggerSourceHost::TakeSourceBreakPoints() { d_.TakeSourceBreakPoints(); }

}  // namespace vx930
