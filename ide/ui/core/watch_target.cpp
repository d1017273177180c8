#include "ide/ui/core/watch_target.h"

#include "ide/ui/core/debugger.h"

namespace vx930 {

bool DebuggerWatchTarget::TargetRunning() const { return d_.TargetRunning(); }

IceCommands* DebuggerWatchTarget::Ice() const { return d_.State().IceCmd.get(); }

bool DebuggerWatchTarget::IsPCAtMovx() const { return d_.IsPCAtMovx(); }

bool DebuggerWatchTarget::GetCodeBytes(uint32_t address, uint8_t* destination, uint32_t count) const {
  return d_.State().GetCodeBytes(address, destination, count);
}

bool DebuggerWatchTarget::GetSFRValue(uint32_t sfrAddress, uint8_t& value) const {
  return d_.State().GetSFRValue(sfrAddress, value);
}

void DebuggerWatchTarget::ShowProcedure(const std::string& name) {
  if (d_.fmSrcForm()) d_.fmSrcForm()->ShowProcedure(name);
}

}  // namespace vx930
