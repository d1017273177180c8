// The SFR window's cells without widgets: one name button and value box per
// shown SFRTable row, then one pair per register R0..R7 of the current bank;
// where each sits for a window width; what each shows and whether it is
// marked as changed since the last run started.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ide/ui/core/debugger_state.h"

namespace vx930 {

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

}  // namespace vx930
