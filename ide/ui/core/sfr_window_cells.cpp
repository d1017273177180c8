#include "ide/ui/core/sfr_window_cells.h"

#include <algorithm>

#include "ide/ui/core/debugger.h"

namespace vx930 {

std::string HexByte(uint8_t value) {
  static constexpr char digits[] = "0123456789ABCDEF";
  return {digits[value >> 4], digits[value & 0xF]};
}

SfrCells::SfrCells() {
  for (int row = 0; row < SFRCount; ++row)
    if (SFRTable[row].Shown) rows_.push_back(row);
}

int SfrCells::Columns(int width) { return std::max(width / kColumnWidth, 1); }

CellRect SfrCells::ButtonRect(int cell, int columns) {
  return CellRect{(cell % columns) * kColumnWidth + 10, (cell / columns) * kRowHeight + 20, 55, 20};
}

CellRect SfrCells::BoxRect(int cell, int columns) {
  return CellRect{(cell % columns) * kColumnWidth + 75, (cell / columns) * kRowHeight + 20, 55, 20};
}

int SfrCells::FittedWidth(int columns) const {
  const int lastColumn = std::min(columns, CellCount()) - 1;
  return BoxRect(lastColumn, columns).left + 55;
}

int SfrCells::FittedHeight(int columns) const { return BoxRect(CellCount() - 1, columns).top + 60; }

std::string SfrCells::Caption(int cell) const {
  if (IsRegister(cell)) return "R" + std::to_string(cell - ShownCount());
  return SFRTable[Row(cell)].SfrName;
}

bool SfrCells::Writable(int cell) const { return IsRegister(cell) || SFRTable[Row(cell)].WritableMask != 0; }

uint8_t SfrCells::Value(int cell, const DebuggerState& s) const {
  if (IsRegister(cell)) return s.InRAMImage[RegisterAddress(s, cell - ShownCount())];
  return s.SFRImage[SFRTable[Row(cell)].ImageIndex];
}

std::string SfrCells::ValueText(int cell, const DebuggerState& s) const { return "  " + HexByte(Value(cell, s)); }

bool SfrCells::Changed(int cell, const DebuggerState& s) const {
  if (IsRegister(cell)) return s.IsSFRChanged(SFRCount + cell - ShownCount());
  return s.IsSFRChanged(SFRTable[Row(cell)].ImageIndex);
}

std::optional<uint8_t> ParseSfrValue(const std::string& text) {
  if (text.empty()) return std::nullopt;
  int value = 0;
  for (const char ch : text) {
    int digit;
    if (ch >= '0' && ch <= '9')
      digit = ch - '0';
    else if (ch >= 'a' && ch <= 'f')
      digit = ch - 'a' + 10;
    else if (ch >= 'A' && ch <= 'F')
      digit = ch - 'A' + 10;
    else
      return std::nullopt;
    value = value * 16 + digit;
    // Leading zeros are fine; anything that reaches 256 is too large for good.
    if (value > 0xFF) return std::nullopt;
  }
  return static_cast<uint8_t>(value);
}

bool DebuggerSfrHost::TargetRunning() const { return d_.TargetRunning(); }

const DebuggerState& DebuggerSfrHost::State() const { return d_.State(); }

void DebuggerSfrHost::SetSFRValue(uint32_t sfrAddress, uint8_t value) { d_.State().SetSFRValue(sfrAddress, value); }

bool DebuggerSfrHost::SetInRAMByte(int index, uint8_t value) { return d_.SetInRAMByte(index, value); }

void DebuggerSfrHost::RefreshRAMViews(const ChildWindow* sender) { d_.RefreshRAMViews(sender); }

}  // namespace vx930
