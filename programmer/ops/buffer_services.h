// Where the buffer lives (PC memory, the programmer's internal RAM, an SRAM
// card in the programmer), and the two services every part of the program
// uses on whichever buffer is current: filling a range with one byte and the
// byte-sum checksum of a range, with the status panel's checksum display.
//
// Choices where the program's own rules are silent or unsafe:
// - Every index into PcBuffer is bounded by what was allocated, whatever
//   BufferSizeKB says; fills and checksums clamp their end to the last byte
//   of the buffer in use.
// - A fill or checksum whose start lies above its end does nothing (the
//   checksum is 0) and sends nothing; one for the programmer's buffer with an
//   inverted Target Zone is refused (1), since the range restore after it
//   would write a count of nearly 16 M.
// - The SRAM probe takes a size or status reply that does not come as a
//   failed probe (5: PC memory), as it takes a missing version byte.
// - The hourglass cursor is the front end's to show around these calls.
#pragma once

#include <cstdint>
#include <string>

#include "programmer/link/buffer_transfers.h"
#include "programmer/link/commands.h"
#include "programmer/ops/ops_state.h"
#include "programmer/ops/status_panel.h"

namespace zolvek {

// The status text of the buffer kind: "PC Memory", "Internal Buffer", "SRAM Card".
const char* BufferKindText(const BufferKindFlags& kind);
// The Target Zone as the programmer's range commands take it.
TargetZone TargetZoneOf(const OpsState& ops);
// The transfers' view of the state: buffer kind, Target Zone, the size of
// the programmer-held buffer.
TransferContext TransferContextOf(const OpsState& ops);

class BufferServices {
public:
  BufferServices(Commands& commands, OpsState& ops, StatusPanelSink* panel = nullptr)
      : commands_(commands), ops_(ops), panel_(panel) {}

  void SetPanel(StatusPanelSink* panel) { panel_ = panel; }

  // Decides BufferKind and BufferSizeKB for the current device, tells the
  // programmer where its buffer is and shows both on the panel.
  void SelectBufferKind();
  // The firmware version and SRAM card probe; result in the low byte: 0 a
  // card that fits, 3 no card or too small, 5 the probe failed, else the
  // card's status byte.
  uint8_t ProbeSramCard();
  // 0 done; 1 refused (no monitor, an inverted Target Zone) or the command
  // did not go out.
  int FillBufferRange(uint32_t start, uint32_t end, uint8_t value);
  // The byte sum of the range: 32-bit for PC memory, the programmer's 16-bit
  // sum otherwise; 1 when the command did not go out.
  uint32_t BufferChecksum(uint32_t start, uint32_t end);
  // BufferChecksumValue for the Target Zone and the family's extra ranges,
  // shown as "%04hX".
  void ShowBufferChecksum();

private:
  void Panel(PanelField field, const std::string& text) {
    if (panel_) panel_->SetPanelText(field, text);
  }
  // The last byte of the buffer in use.
  uint32_t LastBufferByte() const;
  TargetZone Zone() const { return TargetZoneOf(ops_); }

  Commands& commands_;
  OpsState& ops_;
  StatusPanelSink* panel_;
};

}  // namespace zolvek
