// The command window's host: the commands it runs, carried out by the
// debugger in the program (DebuggerCommandHost).
#pragma once

#include "ide/ui/core/command_interpreter.h"

namespace vx930 {

class ChildWindow;
class Debugger;
class OpenFileDialog;

// What the command window needs: the commands, and to say which window they
// are typed into (CLOSE of the command window, bringing it forward).
class CommandWindowHost : public CommandHost {
public:
  // Called once by the window as it is made, before the first command.
  virtual void SetWindow(ChildWindow& self) = 0;
};

class DebuggerCommandHost final : public CommandWindowHost {
public:
  // openDialog is the main window's Open dialog, whose file name LOAD presets.
  DebuggerCommandHost(Debugger& debugger, OpenFileDialog& openDialog) : d_(debugger), openDialog_(openDialog) {}

  void SetWindow(ChildWindow& self) override { self_ = &self; }

  bool TargetRunning() const override;
  bool SetInRAMByte(int index, uint8_t value) override;
  bool GetInRAMByte(int index, uint8_t& value) const override;
  // Also redraws the byte's line in an open 1 KB view.
  bool SetIn1kRAMByte(int index, uint8_t value) override;
  bool GetIn1kRAMByte(int index, uint8_t& value) const override;
  int GetIn1kRAMSize() const override;
  bool WriteIn1kRAMByte(uint8_t value, int index) override;
  void RefreshRAMViews() override;
  void NormalRun() override;
  void Reset() override;
  void StepOver() override;
  void StepInto() override;
  void Stop() override;
  void Load(const std::optional<std::string>& path) override;
  void DisableBreakPoint(int index) override;
  void SetBreakPoint(int index, uint32_t address, uint8_t passCount) override;
  void RefreshBreakPointList() override;
  void OpenWindow(CommandWindowKind window) override;
  void CloseWindow(CommandWindowKind window) override;
  void BringCommandWindowForward() override;

private:
  Debugger& d_;
  OpenFileDialog& openDialog_;
  ChildWindow* self_ = nullptr;
};

}  // namespace vx930
