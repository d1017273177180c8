#include "ide/ui/core/debugger_state.h"

#include <algorithm>
#include <cstring>

namespace vx930 {

DebuggerState::DebuggerState() : CodeImage(std::make_unique<vx930::CodeImage>()) { CodeImage->fill(0xFF); }

uint32_t DebuggerState::GetPC() const {
  const uint32_t raw = RawPC();
  return raw == 0 ? 0 : raw - 1;
}

void DebuggerState::SnapshotSFR() {
  PrevSFRImage = SFRImage;
  const int base = RegisterBase();
  for (int n = 0; n < 8; ++n) SavedRn[n] = InRAMImage[base + n];
}

bool DebuggerState::IsSFRChanged(int index) const {
  if (index >= 0 && index < SFRCount) return SFRImage[index] != PrevSFRImage[index];
  const int n = index - SFRCount;
  if (n >= 0 && n < 8) return InRAMImage[RegisterBase() + n] != SavedRn[n];
  return false;
}

bool DebuggerState::SetSFRValue(uint32_t sfrAddress, uint8_t value) {
  bool found = false;
  for (const SFRItem& row : SFRTable) {
    if (row.SfrAddress != sfrAddress) continue;
    SFRImage[row.ImageIndex] = value;
    SFRDirty = 1;
    found = true;
  }
  return found;
}

bool DebuggerState::GetSFRValue(uint32_t sfrAddress, uint8_t& value) const {
  const int index = SFRImageIndex(sfrAddress);
  if (index < 0) return false;
  value = SFRImage[index];
  return true;
}

void DebuggerState::ParkBreakPoints() {
  BrkParked = 1;
  ParkedBreakPoints = BreakPointTable;
}

void DebuggerState::RestoreBreakPoints() {
  BrkParked = 0;
  BreakPointTable = ParkedBreakPoints;
  ParkedBreakPoints = {};
}

void DebuggerState::SetBothBreakPoints(uint32_t a, uint32_t b) {
  BreakPointTable[0].address = a;
  BreakPointTable[0].enabled = 1;
  BreakPointTable[1].address = b;
  BreakPointTable[1].enabled = 1;
}

void DebuggerState::DisableAllBreakPoints() {
  for (BreakPointRec& bp : BreakPointTable) bp.enabled = 0;
}

bool DebuggerState::GetInRAMByte(int index, uint8_t& value) const {
  if (index < 0 || index >= kInRAMSize) return false;
  value = InRAMImage[index];
  return true;
}

bool DebuggerState::SetIn1kRAMByte(int index, uint8_t value) {
  if (index < 0 || index >= In1kRAMSize) return false;
  In1kRAMImage[index] = value;
  return true;
}

bool DebuggerState::GetIn1kRAMByte(int index, uint8_t& value) const {
  if (index < 0 || index >= In1kRAMSize) return false;
  value = In1kRAMImage[index];
  return true;
}

bool DebuggerState::GetCodeBytes(uint32_t address, uint8_t* destination, uint32_t count) const {
  if (!OmfImage) return false;
  // The caller keeps the range inside the image; never read past it anyway.
  if (address >= kCodeSize || count > kCodeSize - address) return false;
  std::memcpy(destination, OmfImage + address, count);
  return true;
}

}  // namespace vx930
