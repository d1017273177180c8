// What the watch window needs of the debugger: the run state, the emulator's
// list reads, the host copies it shows from (code image, SFR block), and the
// source window for the procedure list's double-click. The program's
// implementation forwards to the Debugger; tests put in their own.
#pragma once

#include <cstdint>
#include <string>

#include "ide/link/ice_commands.h"

namespace vx930 {

class Debugger;

class WatchTarget {
public:
  virtual ~WatchTarget() = default;

  // The target runs: its memories are not read until it halts.
  virtual bool TargetRunning() const = 0;
  // The emulator's commands; null without a link.
  virtual IceCommands* Ice() const = 0;
  // The instruction at the program counter may be a MOVX.
  virtual bool IsPCAtMovx() const = 0;
  // count bytes of the OMF program's code image from address; false without
  // an OMF program or for a range past the image.
  virtual bool GetCodeBytes(uint32_t address, uint8_t* destination, uint32_t count) const = 0;
  // The host copy of the SFR at that address; false when no SFR has it.
  virtual bool GetSFRValue(uint32_t sfrAddress, uint8_t& value) const = 0;
  // Shows the named procedure's source, when the source window exists.
  virtual void ShowProcedure(const std::string& name) = 0;
};

class DebuggerWatchTarget final : public WatchTarget {
public:
  explicit DebuggerWatchTarget(Debugger& debugger) : d_(debugger) {}

  bool TargetRunning() const override;
  IceCommands* Ice() const override;
  bool IsPCAtMovx() const override;
  bool GetCodeBytes(uint32_t address, uint8_t* destination, uint32_t count) const override;
  bool GetSFRValue(uint32_t sfrAddress, uint8_t& value) const override;
  void ShowProcedure(const std::string& name) override;

private:
  Debugger& d_;
};

}  // namespace vx930
