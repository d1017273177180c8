#include "programmer/ops/device_selection.h"

#include <cstdio>

namespace zolvek {

namespace {

platform::Message Notice(const std::string& text) {
  return {text, kMemoryMappingCaption, platform::Buttons::Ok, platform::Icon::Information};
}

platform::Message ConverterBox(const DeviceTypeRecord& device) {
  return {ConverterText(device.converterMask), device.name, platform::Buttons::Ok, platform::Icon::Information};
}

std::string Hex8(uint32_t v) {
  char b[12];
  std::snprintf(b, sizeof b, "%08X", v);
  return b;
}

}  // namespace

MemoryMapping MemoryMappingFor(const OpsState& ops) {
  MemoryMapping m;
  const DeviceTypeRecord* device = ops.CurrentDevice();
  if (!device) return m;
  auto block = [&](const char* label, const char* range) {
    m.blockLabel = label;
    m.blockRange = range;
  };
  switch (device->family) {
    case 0x09:
    case 0x1B:
      m.boxes.push_back(Notice("Memory Block1 at 0x0F000 ~ 0x0FFFE"));
      block("Block1 : ", "00F000-00FFFE");
      break;
    case 0x0A:
      if (device->eraseKind == 7) {
        m.boxes.push_back(Notice("Memory Block1 at 0x0E000 ~ 0x0FFFF"));
        block("Block1 : ", "00E000-00FFFF");
      } else if (device->eraseKind == 6) {
        m.boxes.push_back(Notice("Memory Block1 at 0x10000 ~ 0x11FFF"));
        block("Block1 : ", "010000-011FFF");
      }
      m.boxes.push_back(ConverterBox(*device));
      break;
    case 0x16:
      m.boxes.push_back(
          Notice("APROM memory buffer at 0x00000 ~ 0x0BFFF\n\nLDROM memory buffer at 0x10000 ~ 0x10FFE "));
      block("LDROM : ", "010000-010FFE");
      break;
    case 0x17:
      m.boxes.push_back(Notice("Memory Block 0 at 0x00000 ~ 0x0FFFF\nMemory Block1 at 0x10000 ~ 0x11FFF"));
      block("Block1 : ", "010000-011FFF");
      break;
    case 0x21:
    case 0x2D: {
      char text[128];
      std::snprintf(text, sizeof text,
                    "APROM memory buffer at 0x00000 ~ 0x%05X\n\nLDROM memory buffer at 0x10000 ~ 0x10FFF",
                    ops.DeviceEnd);
      m.boxes.push_back(Notice(text));
      block("LDROM : ", "010000-010FFF");
      break;
    }
    case 0x23:
      m.boxes.push_back(Notice("ID buffer at address 0F50H,0F60H,0F70H,0F80H\n\n0F90H,0FA0H,0FB0H,0FC0H,0FD0H,0FE0H "));
      break;
    case 0x2E:
      m.blockLineFirst = true;
      if (device->size <= 0x20000) {
        m.boxes.push_back(
            Notice("APROM memory buffer at 0x00000 ~ 0x0FFFF\n\nLDROM memory buffer at 0x10000 ~ 0x10FFF "));
        block("LDROM : ", "010000-010FFF");
      } else {
        m.boxes.push_back(
            Notice("APROM0 memory buffer at 0x00000 ~ 0x0FFFF\n\nAPROM1 memory buffer at 0x10000 ~ "
                   "0x1FFFF\n\nLDROM memory buffer at 0x20000 ~ 0x20FFF"));
        block("LDROM : ", "020000-020FFF");
      }
      break;
    case 0x3C: m.boxes.push_back(ConverterBox(*device)); break;
    default: break;
  }
  return m;
}

void ShowMemoryMapping(const OpsState& ops, StatusPanelSink* panel) {
  const MemoryMapping m = MemoryMappingFor(ops);
  auto line = [&] {
    if (!panel) return;
    panel->SetPanelText(PanelField::BlockLabel, m.blockLabel);
    panel->SetPanelText(PanelField::BlockRange, m.blockRange);
  };
  if (m.blockLineFirst) line();
  for (const auto& box : m.boxes) platform::Messages().Show(box);
  if (!m.blockLineFirst) line();
}

void DeviceSelection::SyncBufferRanges() {
  ops_.EditorRanges.start.fill(ops_.BufferStart);
  ops_.EditorRanges.end.fill(ops_.BufferEnd);
}

void DeviceSelection::ApplySelectedDevice() {
  const DeviceTypeRecord* device = ops_.CurrentDevice();
  if (!device) return;
  const uint32_t type = ops_.SelectedType[ops_.SelectedMfr];

  // 1-3.
  ops_.DeviceStart = ops_.BufferStart = 0;
  ops_.DeviceEnd = ops_.BufferEnd = device->size - 1;
  ops_.CurVerifyProfile = device->verifyVoltageProfile;
  ops_.CurDriverId = device->driverId;
  ops_.CurFamily = device->family;
  ops_.BufferSizeBytes = ops_.BufferSizeKB * 1024;
  ops_.ConfigBytes[0] = ops_.ConfigBytes[1] = ops_.ConfigBytes[2] = 0xFF;
  ops_.EncrBuffer.fill(0xFF);

  // 4.
  if (ops_.SelectedMfr == kMysonManufacturer) {
    ops_.VoltageSettings[0] = 125;
    ops_.VoltageSettings[1] = 125;
    ops_.VoltageSettings[2] = 127;
    if (type == 0) ops_.VoltageSettings[3] = 1;
    if (type == 1) ops_.VoltageSettings[3] = 12;
  }

  // 5.
  CommandEnables& e = ops_.Enables;
  e.mapping = true;
  e.erase = device->eraseKind != 0;
  e.read = e.compare = device->family != 0x0B && device->family != 0x3C;
  e.lock = device->lockKind != 0;
  if (device->securityTableSize != 0) {
    ops_.EncrTitle = "Encryption";
    e.encryption = true;
    config_.WriteEncrTable(*device, ops_.EncrBuffer);
  } else {
    e.encryption = false;
  }
  e.eepromButton = false;
  if (device->configKind != 0) {
    e.config = true;
    config_.SetConfigRegisters(*device, ops_.CurFamily, ops_.ConfigBytes);
  } else {
    e.config = false;
  }

  // 6-8.
  ops_.BufferEnd = ops_.DeviceEnd;
  ops_.FileStart = 0;
  ops_.BufferSizeBytes = ops_.BufferSizeKB * 1024;
  if (device->size <= 0x10000) {
    ops_.FileEnd = 0xFFFF;
  } else {
    ops_.FileEnd = 0x4FFFF;
    for (uint32_t end : {0x1FFFFu, 0x2FFFFu, 0x3FFFFu, 0x4FFFFu}) {
      if (end >= device->size - 1) {
        ops_.FileEnd = end;
        break;
      }
    }
  }
  ops_.ByteSelect = 1;
  ops_.LockSelection = 7;
  ops_.ProgramOptions = 3;
  ops_.AutoSteps = 0xFFFF;
  ops_.SelectedBlocks = 0xFFFF;

  // 9.
  const bool ready = ops_.ProgrammerReady == 1;
  auto topOf64K = [&] {
    ops_.DeviceEnd = ops_.BufferEnd = 0xFFFF;
    ops_.ConfigBytes[0] = 0x00;
    ops_.DeviceStart = ops_.BufferStart = 0x10000 - device->size;
  };
  switch (device->family) {
    case 0x02:
    case 0x03:
    case 0x0D:
    case 0x18:
      ops_.ConfigBytes[0] = 0x00;
      ops_.ConfigBytes[1] = 0xFC;
      break;
    case 0x11:
    case 0x12:
      ops_.ConfigBytes[0] = 0x00;
      ops_.ConfigBytes[1] = 0xFF;
      break;
    case 0x04:
      if (type == 1) ops_.ConfigBytes[0] = 0xF0;
      if (type == 2) ops_.ConfigBytes[0] = 0xF8;
      break;
    case 0x06:
    case 0x10:
    case 0x1D:
      ops_.ConfigBytes[1] = 0xFC;
      e.mapping = false;
      if (device->securityTableSize != 0) {
        ops_.EncrTitle = "EEPROM";
        e.encryption = false;
        e.eepromButton = true;
      }
      break;
    case 0x09:
      e.mapping = false;
      ops_.ConfigBytes[0] = 0x00;
      break;
    case 0x0A:
      e.mapping = false;
      ops_.ConfigBytes[0] = 0x00;
      ops_.FileEnd = 0x11FFF;
      break;
    case 0x13:
      ops_.ConfigBytes[0] = 0xFF;
      ops_.ConfigBytes[1] = 0x00;
      ops_.ConfigBytes[2] = 0xFC;
      break;
    case 0x16:
    case 0x21:
    case 0x2D:
      ops_.FileEnd = 0x11FFF;
      if (ready) services_.FillBufferRange(0x10000, 0x11FFF, 0xFF);
      break;
    case 0x17:
      e.mapping = false;
      ops_.FileEnd = 0x11FFF;
      ops_.ClockModeFlag = 1;
      break;
    case 0x1A:
      ops_.ConfigBytes[0] = 0x00;
      ops_.FileEnd = ops_.BufferEnd;
      e.mapping = false;
      break;
    case 0x23:
      if (ready) services_.FillBufferRange(0xF50, 0xFEF, 0x00);
      e.mapping = false;
      topOf64K();
      break;
    case 0x24:
    case 0x25: topOf64K(); break;
    case 0x26: ops_.LockSelection = 0; break;
    case 0x3C: e.mapping = false; break;
    default: break;
  }

  // 10.
  if (ops_.CurDriverId == 0x37 || ops_.CurDriverId == 0x51) ops_.AutoSteps = 0xFF7F;
  if (ops_.CurDriverId == 0x4C) e.mapping = false;

  // 11.
  const TargetZone zone = TargetZoneOf(ops_);
  commands_.RestoreDeviceRange(zone);
  config_.WriteEncrTable(*device, ops_.EncrBuffer);
  config_.WriteVoltages(ops_.VoltageSettings);
  if (device->configKind != 0) config_.SetConfigRegisters(*device, ops_.CurFamily, ops_.ConfigBytes);
  commands_.RestoreDeviceRange(zone);

  // 12-13.
  SyncBufferRanges();
  commands_.State().OpCodeOffset = OpCodeOffsetFor(commands_.State().LinkKind);
}

void DeviceSelection::AcceptDeviceSelection(uint32_t mfr, uint32_t type, const std::function<void()>& loadDriver) {
  if (!IsValidType(mfr, type)) return;
  ops_.SerialNumberSettings.enable = 0;
  ops_.SelectedMfr = mfr;
  ops_.SelectedType[mfr] = type;
  const DeviceTypeRecord* device = ops_.CurrentDevice();
  Panel(PanelField::Mfr, ManufacturerName(mfr));
  Panel(PanelField::Type, device->name);
  Panel(PanelField::Adaptor, device->adaptorText);
  if (loadDriver) loadDriver();
  services_.SelectBufferKind();
  ApplySelectedDevice();
  services_.ShowBufferChecksum();
  Panel(PanelField::DeviceStart, Hex8(ops_.DeviceStart));
  Panel(PanelField::DeviceEnd, Hex8(ops_.DeviceEnd));
  Panel(PanelField::BufferStart, Hex8(ops_.BufferStart));
  Panel(PanelField::BufferEnd, Hex8(ops_.BufferEnd));
  Panel(PanelField::RangeCaption, kByteWideCaption);
  ShowMemoryMapping(ops_, panel_);
}

}  // namespace zolvek
