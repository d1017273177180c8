// The SFR window's cells without widgets: one name button and value box per
// shown SFRTable row, then one pair per register R0..R7 of the current bank;
// where each sits for a window width; what each shows and whether it is
// marked as changed since the last run started; and what the window needs
// of the debugger.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ide/ui/core/debugger_state.h"

namespace vx930 {

class ChildWindow;
class Debugger;

// The debugger as the SFR window sees it: the host images it shows, and the
// edits it makes to them.
class SfrHost {
public:
  virtual ~SfrHost() = default;
  // The target runs: nothing is edited until it halts.
  virtual bool TargetRunning() const = 0;
  // The SFR block and internal RAM the cells show.
  virtual const DebuggerState& State() const = 0;
  // The SFR's host copy; the block goes to the target before the next run.
  virtual void SetSFRValue(uint32_t sfrAddress, uint8_t value) = 0;
  // An internal RAM byte (a register of the current bank), written back
  // through the internal RAM view before the next run; false when refused.
  virtual bool SetInRAMByte(int index, uint8_t value) = 0;
  // The other views that show internal RAM redraw it.
  virtual void RefreshRAMViews(const ChildWindow* sender) = 0;
};

class DebuggerSfrHost final : public SfrHost {
public:
  explicit DebuggerSfrHost(Debugger& debugger) : d_(debugger) {}
  bool TargetRunning() const override;
  const DebuggerState& State() const override;
  void SetSFRValue(uint32_t sfrAddress, uint8_t value) override;
  bool SetInRAMByte(int index, uint8_t value) override;
  void RefreshRAMViews(const ChildWindow* sender) override;

private:
  Debugger& d_;
};

struct CellRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

class SfrCells {
public:
  static constexpr int kColumnWidth = 100;
  static constexpr int kRowHeight = 25;
  static constexpr int kRegisterCount = 8;

  SfrCells();

  // The shown SFR rows, then the registers.
  int ShownCount() const { return static_cast<int>(rows_.size()); }
  int CellCount() const { return ShownCount() + kRegisterCount; }
  bool IsRegister(int cell) const { return cell >= ShownCount(); }
  // The SFRTable row of an SFR cell.
  int Row(int cell) const { return rows_[static_cast<std::size_t>(cell)]; }

  // At least one column however narrow the width.
  static int Columns(int width);
  static CellRect ButtonRect(int cell, int columns);
  static CellRect BoxRect(int cell, int columns);
  // The window size that fits every cell in that many columns.
  int FittedWidth(int columns) const;
  int FittedHeight(int columns) const;

  // The button's caption: the row's name, or "R0".."R7".
  std::string Caption(int cell) const;
  // The dialog's label: the caption and ": (Hex)".
  std::string DialogLabel(int cell) const { return Caption(cell) + ": (Hex)"; }
  // A register cell is always writable; an SFR cell when its mask is not 0.
  bool Writable(int cell) const;

  // R0..R7 of the current bank are internal RAM bytes bank * 8 .. bank * 8 + 7.
  static int RegisterAddress(const DebuggerState& s, int k) { return s.RegisterBase() + k; }
  uint8_t Value(int cell, const DebuggerState& s) const;
  // Two blanks, then the value in two upper-case hex digits.
  std::string ValueText(int cell, const DebuggerState& s) const;
  // Changed since the snapshot taken at the last run start.
  bool Changed(int cell, const DebuggerState& s) const;

private:
  std::vector<int> rows_;
};

// Two upper-case hex digits.
std::string HexByte(uint8_t value);

// The "SFR Setting" dialog's input.
inline constexpr const char* kSfrInputInvalid = "Input value invalid";
// The value of text read with "0x" in front: one or more hex digits and
// nothing else (no sign, prefix or blank), 0..255.
std::optional<uint8_t> ParseSfrValue(const std::string& text);

}  // namespace vx930
