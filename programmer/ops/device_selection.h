// Putting the whole program into the state the selected device needs:
// address ranges, option words, the commands the device supports, per-family
// defaults, the programmer's range, table, voltage and configuration
// registers, and the link's operation-code offset; the memory-mapping notice
// that tells where a device's extra blocks lie in the buffer. The selection
// dialog itself is the front end's; AcceptDeviceSelection is what its OK
// does, in its order.
//
// What the front end shows comes back as data: OpsState::Enables (menu items
// and tool-bar buttons), OpsState::EditorRanges (the editor dialogs' range
// defaults), the status panel fields through StatusPanelSink, and
// MemoryMapping (the notice boxes and the panel's block line).
//
// Choices where the program's own rules are silent:
// - With no valid current device (indexes out of the catalogue)
//   ApplySelectedDevice changes nothing.
// - The programmer writes of the selection report their own failures and
//   the selection goes on regardless.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/messages.h"
#include "programmer/link/config_transfers.h"
#include "programmer/ops/buffer_services.h"
#include "programmer/ops/ops_state.h"
#include "programmer/ops/status_panel.h"

namespace zolvek {

inline constexpr uint32_t kMysonManufacturer = 12;
inline constexpr const char* kMemoryMappingCaption = "Memory mapping message";
inline constexpr const char* kByteWideCaption = "Target Zone (Byte Wide)";

// The family's memory-mapping notice: the boxes to show in order and the
// status panel's block line (both parts empty: cleared). For family 0x2E the
// block line is written before the boxes, for the others after.
struct MemoryMapping {
  std::vector<platform::Message> boxes;
  std::string blockLabel;
  std::string blockRange;
  bool blockLineFirst = false;
};
MemoryMapping MemoryMappingFor(const OpsState& ops);
// Shows MemoryMappingFor(ops): the boxes through platform::Messages() and
// the block line on the panel, in their order.
void ShowMemoryMapping(const OpsState& ops, StatusPanelSink* panel);

class DeviceSelection {
public:
  DeviceSelection(Commands& commands, OpsState& ops, BufferServices& services, StatusPanelSink* panel = nullptr)
      : commands_(commands), config_(commands), ops_(ops), services_(services), panel_(panel) {}

  void ApplySelectedDevice();
  // BufferStart and BufferEnd into the editor dialogs' range defaults.
  void SyncBufferRanges();
  // The selection dialog's OK: serial numbering off, the selection stored,
  // the panel's device lines, loadDriver (the driver download, its result
  // not used), SelectBufferKind, ApplySelectedDevice, ShowBufferChecksum,
  // the panel's range fields and caption, ShowMemoryMapping.
  void AcceptDeviceSelection(uint32_t mfr, uint32_t type, const std::function<void()>& loadDriver);

private:
  void Panel(PanelField field, const std::string& text) {
    if (panel_) panel_->SetPanelText(field, text);
  }

  Commands& commands_;
  ConfigTransfers config_;
  OpsState& ops_;
  BufferServices& services_;
  StatusPanelSink* panel_;
};

}  // namespace zolvek
