// What the source window needs of the debugger: whether the target runs (the
// breakpoint popup is refused then), and taking the marks the popup changed
// as the breakpoint table.
#pragma once

namespace vx930 {

class Debugger;

class SourceHost {
public:
  virtual ~SourceHost() = default;
  virtual bool TargetRunning() const = 0;
  // The two source marks become breakpoints 0 and 1.
  virtual void TakeSourceBreakPoints() = 0;
};

class DebuggerSourceHost final : public SourceHost {
public:
  explicit DebuggerSourceHost(Debugger& debugger) : d_(debugger) {}
  bool TargetRunning() const override;
  void TakeSourceBreakPoints() override;

private:
  Debugger& d_;
};

}  // namespace vx930
