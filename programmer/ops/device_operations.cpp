#include "programmer/ops/device_operations.h"

#include <cstring>

#include "programmer/link/connection.h"

namespace zolvek {

namespace {

// The code, then (when withParam) the 60 ms pause and the parameter byte,
// then the status: its byte, or 1 without a reply or when not sent.
int Exchange(OperationEngine& e, uint8_t code, bool offset, bool withParam, uint8_t param, uint32_t wait) {
  if (e.Open(code, offset) != 0) return 1;
  if (withParam) {
    e.Link().Delay(kParameterPauseMs);
    if (!e.Link().SendByte(param)) {
      e.State().LinkStatus = kStatusNotSent;
      e.Link().MarkSpoiled();
      return 1;
    }
  }
  const uint16_t status = e.Link().ReceiveByte(wait);
  if (status == 0) return 1;
  return status & 0xFF;
}

FrameSteps Short(const char* text, bool checkDriver) {
  FrameSteps s;
  s.checkDriver = checkDriver;
  s.statusText = text;
  s.fullProgress = false;
  s.zone = FrameSteps::Zone::Order;
  return s;
}

}  // namespace

void SetBlockMask(OpsState& ops, const DeviceTypeRecord& device) {
  uint16_t valid = 0;
  switch (device.eraseKind) {
    case 2: valid = 0x1F; break;
    case 3:
      valid = device.size == 0x1000 || device.size == 0x2000 ? 0x01
              : device.size == 0x4000                        ? 0x03
              : device.size == 0x8000                        ? 0x07
              : device.size == 0x10000                       ? 0x1F
                                                             : 0;
      break;
    case 4:
    case 5:
    case 6:
    case 7:
    case 11: valid = 0x03; break;
    case 8: valid = 0xFFF; break;
    case 9:
      valid = device.size == 0x2000    ? 0x03
              : device.size == 0x4000  ? 0x0F
              : device.size == 0x8000  ? 0xFF
              : device.size == 0x10000 ? 0xFFFF
                                       : 0;
      break;
    case 10: valid = 0x0F; break;
    case 12: valid = 0x07; break;
    default: break;
  }
  if (valid == 0) return;
  ops.ValidBlocks = valid;
  ops.SelectedBlocks &= valid;
}

uint8_t BlockByte(uint32_t family, uint32_t block) {
  if (family == 0x02) return static_cast<uint8_t>(block + 1);
  if (family == 0x03 && block == 1) return 6;
  if (family == 0x03 && block == 4) return 7;
  return static_cast<uint8_t>(block);
}

int EraseDeviceOp(OperationEngine& e) { return Exchange(e, OP_ERASE, false, false, 0, device_wait::kErase); }

int EraseDevice(OperationEngine& e, CounterField*) {
  return e.RunFrame(Short("Erasing now!", true), nullptr, [&] { return EraseDeviceOp(e); });
}

int EraseBlockOp(OperationEngine& e, uint8_t blockByte) {
  return Exchange(e, OP_ERASE_BLOCK, true, true, blockByte, device_wait::kErase);
}

int EraseBlock(OperationEngine& e, CounterField*, uint8_t blockByte) {
  return e.RunFrame(Short("Erasing now!", true), nullptr, [&] { return EraseBlockOp(e, blockByte); });
}

int EraseDeviceFull(OperationEngine& e) {
  if (CheckPack(e.Cmd()) != 0) return 1;
  if (e.State().NoDriver == 1) return 1;
  return Exchange(e, OP_ERASE_BLOCK, true, true, 'F', device_wait::kEraseFull);
}

int LockBit1Op(OperationEngine& e) { return Exchange(e, OP_LOCK, true, true, '0', device_wait::kLockFixed); }
int LockBit2Op(OperationEngine& e) { return Exchange(e, OP_LOCK, true, true, '1', device_wait::kLockFixed); }
int LockBit3Op(OperationEngine& e) { return Exchange(e, OP_LOCK, true, true, '2', device_wait::kLockFixed); }

int ProgramLockBit1(OperationEngine& e) {
  return e.RunFrame(Short("Programming lockbit(s) now!", false), nullptr, [&] { return LockBit1Op(e); });
}
int ProgramLockBit2(OperationEngine& e) {
  return e.RunFrame(Short("Programming lockbit(s) now!", false), nullptr, [&] { return LockBit2Op(e); });
}
int ProgramLockBit3(OperationEngine& e) {
  return e.RunFrame(Short("Programming lockbit(s) now!", false), nullptr, [&] { return LockBit3Op(e); });
}

int LockBitOp(OperationEngine& e, uint8_t n) {
  if (n > kHighestLockBit) {
    e.State().LinkStatus = kStatusRefused;
    return 1;
  }
  return Exchange(e, OP_LOCK, true, true, n, device_wait::kLockNumbered);
}

int ProgramLockBit(OperationEngine& e, CounterField*, uint8_t n) {
  if (n > kHighestLockBit) {
    e.State().LinkStatus = kStatusRefused;
    return 1;
  }
  return e.RunFrame(Short("Programming lockbit(s) now!", true), nullptr, [&] { return LockBitOp(e, n); });
}

int ProgramLockByte(OperationEngine& e, uint8_t value) {
  return Exchange(e, OP_LOCK, true, true, value, device_wait::kLockByte);
}

LockBitsReading ReadLockBits(OperationEngine& e) {
  LockBitsReading reading;
  if (e.Open(OP_READ_LOCK, true) != 0) return reading;
  if (!e.Link().SendByte(0)) {
    e.State().LinkStatus = kStatusNotSent;
    e.Link().MarkSpoiled();
    return reading;
  }
  const uint16_t bits = e.Link().ReceiveByte(device_wait::kLockRead);
  const uint16_t second = e.Link().ReceiveByte(device_wait::kLockReadSecond);
  reading.bits = bits & 0xFF;
  (void)second;
  reading.answered = bits != 0;
  return reading;
}

int ReadIdCodes(OperationEngine& e) {
  LinkState& st = e.State();
  st.LinkStatus = kStatusOk;
  if (e.Open(OP_READ_ID, false) != 0) return 1;
  if (e.Link().ReceiveByte(device_wait::kIdRead) == 0) return 1;
  for (size_t i = 0; i < 4; ++i) {
    uint16_t reply = 0;
    const int framed = e.Cmd().GetRegister(reg::kIdCodes[i], reply);
    if (framed != 0) {
      st.LinkStatus = framed;
      return 1;
    }
    if (reply == 0) return 1;
    e.Ops().IdCodes[i] = reply & 0xFF;
  }
  return 0;
}

bool IdCodesMatch(const DeviceTypeRecord& device, const std::array<uint8_t, 4>& codes) {
  const auto& want = device.idBytes;
  if (codes[0] != want[0] || codes[1] != want[1]) return false;
  if (device.idByteCount < 3) return true;
  const uint32_t family = static_cast<uint32_t>(device.family);
  if (family == 0x05) {
    if (device.name && std::strcmp(device.name, "89C58Bx") == 0 && codes[2] != want[2] && codes[2] != want[3])
      return false;
  } else if (family == 0x12) {
    if (codes[2] != want[2] && codes[2] != want[3]) return false;
  } else if (codes[2] != want[2]) {
    return false;
  }
  if (device.idByteCount == 4 && codes[3] != want[3]) return false;
  return true;
}

int CompareIdCodes(OperationEngine& e) {
  if (ReadIdCodes(e) != 0) return 1;
  const DeviceTypeRecord* device = e.Ops().CurrentDevice();
  if (!device) return 1;
  return IdCodesMatch(*device, e.Ops().IdCodes) ? 0 : 1;
}

int CheckIdCodes(OperationEngine& e, CounterField*) {
  FrameSteps s;
  s.checkDriver = false;
  s.resetProgress = false;
  s.fullProgress = false;
  s.zone = FrameSteps::Zone::Order;
  return e.RunFrame(s, nullptr, [&] { return CompareIdCodes(e); });
}

uint16_t ProgramClockMode(OperationEngine& e) {
  FrameSteps s = Short("Programming clock mode now!", true);
  s.resetProgress = false;
  uint16_t reply = 1;
  e.RunFrame(s, nullptr, [&] {
    if (e.Open(OP_CLOCK_MODE, false) != 0) return 1;
    e.Prog().ResetProgress();
    reply = e.Link().ReceiveByte(device_wait::kClockMode);
    return reply == 0x100 ? 0 : 1;
  });
  return reply;
}

int VerifyClockMode(OperationEngine& e) {
  FrameSteps s = Short("Verifying clock mode now!", true);
  s.resetProgress = false;
  return e.RunFrame(s, nullptr, [&] {
    if (e.Open(OP_VERIFY_CLOCK_MODE, true) != 0) return 1;
    const uint16_t first = e.Link().ReceiveByte(device_wait::kClockMode);
    e.Link().ReceiveByte(device_wait::kClockMode);
    e.Prog().ResetProgress();
    return first != 0 && (first & 0xFF) == 0x80 ? 0 : 1;
  });
}

int ProgramEncrOp(OperationEngine& e) {
  const DeviceTypeRecord* device = e.Ops().CurrentDevice();
  const bool table = device && device->securityTableSize != 0 && device->eraseKind != 0;
  return Exchange(e, table ? OP_PROGRAM_ENCR : OP_ERASE, false, false, 0, device_wait::kEncr);
}

int ProgramDeviceEncr(OperationEngine& e) {
  FrameSteps s;
  s.checkDriver = false;
  s.resetProgress = false;
  s.fullProgress = false;
  s.zone = FrameSteps::Zone::Order;
  return e.RunFrame(s, nullptr, [&] { return ProgramEncrOp(e); });
}

}  // namespace zolvek
