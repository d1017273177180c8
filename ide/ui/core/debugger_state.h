// The debugger's state: host copies of the halted target (SFR block, internal
// and 1 KB RAM, code image), the two hardware breakpoints and their parked
// copies, the run and step flags, the loaded program and the emulator link.
// One object per program; tests create a fresh one. Nothing here talks to the
// emulator or to a window.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "ide/image/code_image.h"
#include "ide/image/hex_decoder.h"
#include "ide/image/omf_decoder.h"
#include "ide/image/sfr_table.h"
#include "ide/link/break_point.h"
#include "ide/link/ice_commands.h"
#include "ide/link/link_opener.h"

namespace vx930 {

inline constexpr int kInRAMSize = 256;
inline constexpr int kIn1kRAMSize = 1024;

struct DebuggerState {
  // Allocates the code image (all 0xFF); throws std::bad_alloc when it cannot.
  DebuggerState();
  DebuggerState(const DebuggerState&) = delete;
  DebuggerState& operator=(const DebuggerState&) = delete;

  // Host images.
  std::array<uint8_t, SFRCount> SFRImage{};
  std::array<uint8_t, SFRCount> PrevSFRImage{};
  std::array<uint8_t, kInRAMSize> InRAMImage{};
  std::array<uint8_t, kIn1kRAMSize> In1kRAMImage{};
  std::unique_ptr<vx930::CodeImage> CodeImage;

  std::array<BreakPointRec, BreakPointCount> BreakPointTable{};
  std::array<BreakPointRec, BreakPointCount> ParkedBreakPoints{};

  // Flags.
  uint8_t Stopped = 1;
  uint8_t BrkParked = 0;
  uint8_t SFRDirty = 0;
  uint8_t SrcStepInto = 0;
  uint8_t SrcStepOver = 0;
  uint32_t StepStart = 0;
  uint32_t StepEnd = 0;
  std::array<uint8_t, 8> SavedRn{};
  uint8_t OmfLoaded = 0;
  int32_t ComPortNo = 0;
  int32_t In1kRAMSize = kIn1kRAMSize;
  uint8_t FirstPaint = 1;

  // The loaded program.
  std::string FileName;
  std::string FileDir;
  std::unique_ptr<CDecodeHex> HexDecoder;
  std::unique_ptr<DecodeOmf> OmfDecoder;
  // Into OmfDecoder while an OMF program is loaded, else null.
  const uint8_t* OmfImage = nullptr;
  const OmfModule* OmfModules = nullptr;
  const OmfSymbol* OmfPublics = nullptr;

  // The emulator link; both null without one. Every command fails then.
  std::unique_ptr<ComPortHandle> ComPort;
  std::unique_ptr<IceCommands> IceCmd;

  // The one test of the run state: the target runs as far as the IDE knows
  // (from a run command until the poll sees the halt).
  bool TargetRunning() const { return Stopped == 0; }

  // The program counter as the emulator reports it (SFR bytes PCH:PCL).
  uint32_t RawPC() const { return RawPCOf(SFRImage); }
  static uint32_t RawPCOf(const std::array<uint8_t, SFRCount>& sfr) {
    return static_cast<uint32_t>(sfr[kSfrIndexPCH]) * 256 + sfr[kSfrIndexPCL];
  }
  // The program counter the views and stepping use: raw - 1, 0 for raw 0.
  uint32_t GetPC() const;
  uint8_t PSW() const { return SFRImage[kSfrIndexPSW]; }
  // R0..R7 of the current bank live at (PSW & 0x18) + n.
  int RegisterBase() const { return PSW() & 0x18; }

  // PrevSFRImage := SFRImage and SavedRn := R0..R7 of the current bank.
  void SnapshotSFR();
  // index < SFRCount: that SFR byte changed since the snapshot; SFRCount + n:
  // Rn of the current bank did.
  bool IsSFRChanged(int index) const;
  // Every SFRTable row with the address gets the value; SFRDirty := 1. False
  // (and nothing changed) when no row has the address.
  bool SetSFRValue(uint32_t sfrAddress, uint8_t value);
  bool GetSFRValue(uint32_t sfrAddress, uint8_t& value) const;

  // The user's breakpoints into ParkedBreakPoints, BrkParked := 1.
  void ParkBreakPoints();
  // The parked breakpoints back into the table, the parked copies zeroed,
  // BrkParked := 0.
  void RestoreBreakPoints();
  // Entry 0 := a and entry 1 := b, both enabled; pass counts kept.
  void SetBothBreakPoints(uint32_t a, uint32_t b);
  void DisableAllBreakPoints();

  bool GetInRAMByte(int index, uint8_t& value) const;
  bool SetIn1kRAMByte(int index, uint8_t value);
  bool GetIn1kRAMByte(int index, uint8_t& value) const;
  // count bytes of the OMF image from address; false without an OMF program.
  bool GetCodeBytes(uint32_t address, uint8_t* destination, uint32_t count) const;
};

}  // namespace vx930
