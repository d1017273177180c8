#include "programmer/ops/operation_engine.h"

#include <cstdio>
#include <iterator>

#include "platform/messages.h"
#include "programmer/link/connection.h"
#include "programmer/ops/program_workers.h"
#include "programmer/ops/read_workers.h"

namespace zolvek {

namespace {

constexpr OperationCodeEntry kCodes[] = {
    {'P', true, "program from the programmer-held buffer, page by page"},
    {'Y', true, "program the even bytes from the programmer-held buffer"},
    {'y', true, "program the odd bytes from the programmer-held buffer"},
    {'p', true, "program a byte stream from PcBuffer; program one block"},
    {'R', true, "read the device into the programmer-held buffer"},
    {'r', true, "read the device as a byte stream"},
    {'B', true, "blank check, page by page"},
    {'b', true, "blank check one block"},
    {'V', true, "verify against the programmer-held buffer"},
    {'v', true, "verify a byte stream from PcBuffer; verify one block"},
    {'E', false, "chip erase; encryption table of a device that cannot be erased"},
    {'e', true, "erase one block, the whole chip ('A') or fully ('F')"},
    {'N', false, "program the encryption table or EEPROM data"},
    {'n', false, "read the encryption table or EEPROM data into the programmer"},
    {'L', true, "program a lock bit or a lock byte"},
    {'l', true, "read the lock bits"},
    {'S', false, "read the ID codes into registers 22, 31, 86, 87"},
    {'x', false, "program the clock mode"},
    {'t', true, "verify the clock mode"},
    {'O', false, "read the configuration bytes into registers"},
    {'W', false, "program the configuration bytes"},
    {'W', true, "program configuration fuse 1 or 2"},
    {'G', false, "read the serial-programming fuse into register 2"},
    {'s', false, "enable serial programming"},
    {'D', false, "disable serial programming"},
};

// The drivers that program the programmer-held buffer in passes, even or
// odd bytes as ByteSelect says.
bool ProgramsInPasses(const OpsState& ops) {
  return ops.CurDriverId == 36 || ops.CurDriverId == 63 || ops.CurDriverId == 68;
}

std::string Hex6(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%06lX", static_cast<unsigned long>(value));
  return text;
}

}  // namespace

const OperationCodeEntry* OperationCodeTable(std::size_t& count) {
  count = std::size(kCodes);
  return kCodes;
}

std::string FormatOperationError(int32_t status, uint32_t errorAddress) {
  switch (status) {
    case kStatusOk: return "Error at " + Hex6(errorAddress) + " !                   ";
    case kStatusAborted: return "USER Terminated                    ";
    case kStatusWrongPack: return "PACK Error !                       ";
    case kStatusNoPack: return "Time out !                       ";
    default: return "Error !                           ";
  }
}

ProgramWorker ChooseProgramWorker(const OpsState& ops, int32_t linkKind) {
  if (ops.BufferKind.IsPcMemory()) {
    if (linkKind == kLinkLpt) return ProgramWorker::StreamLpt;
    if (linkKind == kLinkUsb) return ProgramWorker::StreamUsb;
    return ProgramWorker::StreamCom;
  }
  if (ProgramsInPasses(ops)) return ProgramWorker::FromBufferPasses;
  if (ops.CurFamily == 0x08 || ops.CurFamily == 0x26) return ProgramWorker::FromBufferVerified;
  return ProgramWorker::FromBuffer;
}

StreamWorker ChooseStreamWorker(const OpsState& ops, int32_t linkKind) {
  if (!ops.BufferKind.IsPcMemory()) return StreamWorker::FromBuffer;
  if (linkKind == kLinkLpt) return StreamWorker::StreamLpt;
  if (linkKind == kLinkUsb) return StreamWorker::StreamUsb;
  return StreamWorker::StreamCom;
}

int OperationEngine::RunFrame(const FrameSteps& steps, ProgressTarget* dialog, const std::function<int()>& worker) {
  LinkState& state = State();
  if (CheckPack(commands_) != 0) return 1;
  if (steps.checkDriver && state.NoDriver == 1) return 1;
  const bool inverted = ops_.DeviceEnd < ops_.DeviceStart;
  if ((steps.zone == FrameSteps::Zone::Order && inverted) ||
      (steps.zone == FrameSteps::Zone::Full && !CheckTargetZone())) {
    state.LinkStatus = kStatusRefused;
    platform::ShowMessage(inverted ? "The Target Zone ends before it starts; nothing was done."
                                   : "The Target Zone does not fit the buffer in use; nothing was done.");
    return 1;
  }
  if (steps.resetProgress) progress_.ResetProgress();
  if (!steps.statusText.empty()) progress_.SetStatusText(steps.statusText);
  state.LinkStatus = kStatusOk;
  ops_.OperationBusy = 1;
  escSeen_ = false;
  const int result = worker();
  if (steps.fullProgress) {
    state.ProgressCount = state.ProgressTotal;
    progress_.ShowProgress(dialog);
  }
  if (steps.fix43) {
    const DeviceTypeRecord* device = ops_.CurrentDevice();
    if (device && device->driverId == 0x43) state.ErrorAddress = 0xFFFF;
  }
  if (steps.resetAfter) progress_.ResetProgress();
  if (state.LinkStatus != kStatusAborted) ops_.OperationBusy = 0;
  return result;
}

int OperationEngine::Open(uint8_t code, bool offset) {
  LinkState& state = State();
  state.LinkStatus = commands_.Link().SendCommand(CMD_OPERATE);
  if (state.LinkStatus != kStatusOk) return 1;
  if (!commands_.Link().SendByte(OperationByte(code, offset, state.OpCodeOffset))) {
    state.LinkStatus = kStatusNotSent;
    commands_.Link().MarkSpoiled();
    return 1;
  }
  return 0;
}

bool OperationEngine::EscDown() {
  if (!escSeen_) escSeen_ = keys_.TakePressed(platform::Key::Escape);
  return escSeen_;
}

int OperationEngine::ProgramDevice(ProgressTarget* dialog, CounterField* dc) {
  FrameSteps steps;
  steps.statusText = "Programming now!";
  steps.fix43 = true;
  return RunFrame(steps, dialog, [&] {
    switch (ChooseProgramWorker(ops_, LinkKind())) {
      case ProgramWorker::FromBuffer: return ProgramFromBuffer(*this, dialog, dc);
      case ProgramWorker::FromBufferPasses: return ProgramFromBufferPasses(*this, dialog, dc);
      case ProgramWorker::FromBufferVerified: return ProgramFromBufferVerified(*this, dialog, dc);
      case ProgramWorker::StreamCom: return ProgramStreamCom(*this, dialog, dc);
      case ProgramWorker::StreamLpt: return ProgramStreamLpt(*this, dialog, dc);
      case ProgramWorker::StreamUsb: return ProgramStreamUsb(*this, dialog, dc);
    }
    return 1;
  });
}

int OperationEngine::ReadDevice(ProgressTarget* dialog, CounterField* dc) {
  FrameSteps steps;
  steps.statusText = "Reading now!";
  steps.fix43 = true;
  return RunFrame(steps, dialog, [&] {
    switch (ChooseStreamWorker(ops_, LinkKind())) {
      case StreamWorker::FromBuffer: return ReadToBuffer(*this, dialog, dc);
      case StreamWorker::StreamCom: return ReadStreamCom(*this, dialog, dc);
      case StreamWorker::StreamLpt: return ReadStreamLpt(*this, dialog, dc);
      case StreamWorker::StreamUsb: return ReadStreamUsb(*this, dialog, dc);
    }
    return 1;
  });
}

int OperationEngine::ProgramBlock(ProgressTarget* dialog, uint8_t block) {
  FrameSteps steps;
  steps.statusText = "Programming now!";
  steps.fullProgress = false;
  steps.zone = FrameSteps::Zone::Order;  // a block names its own addresses
  return RunFrame(steps, dialog, [&] { return ProgramBlockOp(*this, block); });
}

void OperationEngine::DrawCounter(CounterField* dc, uint32_t address, const char* suffix) {
  if (dc) dc->DrawText(Hex6(address) + suffix);
}

uint32_t OperationEngine::PageCount() const {
  const uint64_t start = ops_.DeviceStart, end = ops_.DeviceEnd;
  if (LinkKind() == kLinkUsb) {
    uint64_t pages = ((end + 1) >> 16) - (start >> 16);
    const DeviceTypeRecord* device = ops_.CurrentDevice();
    if (device && device->size <= 0x10000 && pages == 1) pages = 0;
    return static_cast<uint32_t>(pages);
  }
  return SmallPageCount();
}

uint32_t OperationEngine::PageAddress(uint32_t i) const {
  if (LinkKind() == kLinkUsb) return ops_.DeviceStart + ((i & 0xFF) << 16);
  return SmallPageAddress(i);
}

uint32_t OperationEngine::SmallPageCount() const {
  const uint64_t start = ops_.DeviceStart, end = ops_.DeviceEnd;
  return static_cast<uint32_t>(((end + 1) >> 8) - (start >> 8));
}

uint32_t OperationEngine::SmallPageAddress(uint32_t i) const { return ops_.DeviceStart + ((i & 0xFFF) << 8); }

uint64_t OperationEngine::BufferIndex(uint32_t k) const {
  const uint64_t step = ops_.ByteSelect == 1 ? 1 : 2;
  const uint64_t offset = ops_.ByteSelect == 4 ? 1 : 0;
  return uint64_t{ops_.BufferStart} + offset + uint64_t{k} * step;
}

bool OperationEngine::Admissible() {
  if (CheckTargetZone()) return true;
  State().LinkStatus = kStatusRefused;
  return false;
}

bool OperationEngine::CheckTargetZone() const {
  if (ops_.DeviceEnd < ops_.DeviceStart) return false;
  if (ops_.ByteSelect != 1 && ops_.ByteSelect != 2 && ops_.ByteSelect != 4) return false;
  const uint32_t last = ops_.DeviceEnd - ops_.DeviceStart;
  if (ops_.BufferKind.IsPcMemory()) return BufferIndex(last) < ops_.PcBuffer.size();
  // The programmer's own buffer: only the pass programmer selects even or
  // odd bytes of it.
  const uint64_t index = ProgramsInPasses(ops_) ? BufferIndex(last) : uint64_t{ops_.BufferStart} + last;
  return index < ops_.HeldBufferBytes();
}

}  // namespace zolvek
