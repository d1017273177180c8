// The breakpoint window's logic, without widgets: the text of each entry,
// the property dialog's fields and their checks, and what the window needs
// of the debugger.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "ide/link/break_point.h"

namespace vx930 {

class Debugger;

// The breakpoint table as the window sees and changes it. Every change goes
// through the debugger's operations, which also move the source marks.
class BreakPointHost {
public:
  virtual ~BreakPointHost() = default;
  // The target runs: the table is not changed until it halts (a run that
  // parked the user's breakpoints puts them back at the halt).
  virtual bool TargetRunning() const = 0;
  virtual int Count() const = 0;
  virtual BreakPointRec Entry(int index) const = 0;
  virtual void EnableBreakPoint(int index) = 0;
  virtual void DisableBreakPoint(int index) = 0;
  virtual void SetBreakPoint(int index, uint32_t address, uint8_t passCount) = 0;
};

class DebuggerBreakPointHost final : public BreakPointHost {
public:
  explicit DebuggerBreakPointHost(Debugger& debugger) : d_(debugger) {}
  bool TargetRunning() const override;
  int Count() const override { return BreakPointCount; }
  BreakPointRec Entry(int index) const override;
  void EnableBreakPoint(int index) override;
  void DisableBreakPoint(int index) override;
  void SetBreakPoint(int index, uint32_t address, uint8_t passCount) override;

private:
  Debugger& d_;
};

// A list item: the address in four upper-case hex digits.
std::string BreakPointItemText(const BreakPointRec& entry);
// "Break Point 0 Property".
std::string BreakPointPropertyCaption(int index);

// Text read as a hexadecimal number with "0x" put in front: hex digits only,
// no prefix or sign of its own, up to 32 bits.
std::optional<uint32_t> ParseHexNumber(const std::string& text);
// Text read as a signed decimal 32-bit number: an optional sign, digits.
std::optional<int32_t> ParseDecimalNumber(const std::string& text);

// The property dialog's OK: the address (hex, 0..0xFFFF) is checked first,
// then the pass count (decimal, 0..254).
struct BrkPropertyCheck {
  enum class Result { Ok, BadAddress, BadPassCount } result = Result::Ok;
  uint32_t address = 0;
  uint8_t passCount = 0;
  // The message for a refusal, empty for Ok.
  std::string Message() const;
};
BrkPropertyCheck CheckBrkProperty(const std::string& addressText, const std::string& passCountText);

}  // namespace vx930
