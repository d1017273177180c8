// The operation engine: what every device operation shares.
//
// A dispatcher (ProgramDevice, ReadDevice, ...) checks the programmer, resets
// the progress display, names the operation in the status bar, marks the
// program busy, runs the worker that fits the buffer kind, the link and the
// device, completes the progress bar and returns 0 for success or 1 for
// failure. The workers are free functions over an OperationEngine (see
// program_workers.h, read_workers.h); the engine gives them the link, the
// state, the progress display, the counter field and the ESC key.
//
// Everything runs on the caller's thread: an operation holds it until it
// ends, and the only user input it sees is ESC, polled from the key state.
//
// Choices where the program's own rules are silent:
// - Every operation first checks the Target Zone: an end below its start, a
//   ByteSelect other than 1, 2 or 4, or a range that the buffer in use does
//   not hold, is refused after the pack check and before anything else is
//   sent, with a message and LinkStatus kStatusRefused (CheckTargetZone).
// - ESC once seen stays down for the rest of the operation (EscDown), so a
//   worker whose protocol goes on after one abort point (a failed check
//   pass starts another cycle) stops at the next one.
// - After an operation that ended on the abort byte or a missing reply the
//   link is marked spoiled, so the next command waits for quiet first.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/key_state.h"
#include "programmer/link/commands.h"
#include "programmer/link/progress.h"
#include "programmer/ops/ops_state.h"

namespace zolvek {

// LinkStatus of an operation refused before anything was sent (a Target
// Zone or buffer range that cannot be done); drawn as "Error !".
inline constexpr int32_t kStatusRefused = 9;

// The pause between an operation code and its parameter byte (a block, a
// lock bit), for the programmer to get ready for it.
inline constexpr uint16_t kParameterPauseMs = 60;

// The counter field of an operation dialog: workers draw addresses in it.
class CounterField {
public:
  virtual ~CounterField() = default;
  // Draws text at position (0, 0) over what was there.
  virtual void DrawText(const std::string& text) = 0;
};

// OperationCode: the byte sent right after CMD_OPERATE. Codes marked
// offset are sent as code + OpCodeOffset (modulo 256).
enum OperationCode : uint8_t {
  OP_PROGRAM = 'P',
  OP_PROGRAM_EVEN = 'Y',
  OP_PROGRAM_ODD = 'y',
  OP_PROGRAM_STREAM = 'p',
  OP_READ = 'R',
  OP_READ_STREAM = 'r',
  OP_BLANK = 'B',
  OP_BLANK_BLOCK = 'b',
  OP_VERIFY = 'V',
  OP_VERIFY_STREAM = 'v',
  OP_ERASE = 'E',
  OP_ERASE_BLOCK = 'e',
  OP_PROGRAM_ENCR = 'N',
  OP_READ_ENCR = 'n',
  OP_LOCK = 'L',
  OP_READ_LOCK = 'l',
  OP_READ_ID = 'S',
  OP_CLOCK_MODE = 'x',
  OP_VERIFY_CLOCK_MODE = 't',
  OP_READ_CONFIG = 'O',
  OP_WRITE_CONFIG = 'W',  // as it stands; + OpCodeOffset for fuse 1 or 2
  OP_READ_SERIAL_FUSE = 'G',
  OP_ENABLE_SERIAL = 's',
  OP_DISABLE_SERIAL = 'D',
};

struct OperationCodeEntry {
  uint8_t code;
  bool offset;  // sent as code + OpCodeOffset
  const char* operation;
};

// The table of codes; 'W' appears twice (as it stands, and with the offset
// for a fuse).
const OperationCodeEntry* OperationCodeTable(std::size_t& count);

// The byte that names an operation on the wire.
inline uint8_t OperationByte(uint8_t code, bool offset, uint8_t opCodeOffset) {
  return static_cast<uint8_t>(offset ? code + opCodeOffset : code);
}

// The failure line for a LinkStatus value (trailing blanks included: each
// is drawn over the previous line of the same field).
std::string FormatOperationError(int32_t status, uint32_t errorAddress);

// Which worker programs, reads or verifies, by buffer and link.
enum class ProgramWorker { FromBuffer, FromBufferPasses, FromBufferVerified, StreamCom, StreamLpt, StreamUsb };
enum class StreamWorker { FromBuffer, StreamCom, StreamLpt, StreamUsb };
ProgramWorker ChooseProgramWorker(const OpsState& ops, int32_t linkKind);
// Read and verify: the programmer-buffer worker, else the link's stream.
StreamWorker ChooseStreamWorker(const OpsState& ops, int32_t linkKind);

// How much of the dispatcher frame an operation runs.
struct FrameSteps {
  bool checkDriver = true;  // return 1 when NoDriver is 1
  bool resetProgress = true;  // ResetProgress before the worker
  std::string statusText;  // empty: none shown
  bool fullProgress = true;  // ProgressCount := ProgressTotal and shown after
  bool fix43 = false;  // driverId 0x43: ErrorAddress := 0xFFFF after
  bool resetAfter = false;  // ResetProgress once more at the end
  // Refuse an unsound Target Zone: Full checks order and buffer bounds,
  // Order only the order (operations that name a block, not the range).
  enum class Zone { None, Order, Full } zone = Zone::Full;
};

class OperationEngine {
public:
  OperationEngine(Commands& commands, OpsState& ops, Progress& progress, platform::KeyState& keys)
      : commands_(commands), ops_(ops), progress_(progress), keys_(keys) {}

  Commands& Cmd() { return commands_; }
  ProgrammerLink& Link() { return commands_.Link(); }
  LinkState& State() { return commands_.State(); }
  OpsState& Ops() { return ops_; }
  Progress& Prog() { return progress_; }
  platform::KeyState& Keys() { return keys_; }

  // --- The dispatcher frame ---
  // Pack check, driver test, progress reset, status text, LinkStatus 0 and
  // busy, the worker, full progress, the 0x43 fix, busy cleared unless the
  // run was aborted. Returns the worker's result (1 when the frame stopped
  // before it).
  int RunFrame(const FrameSteps& steps, ProgressTarget* dialog, const std::function<int()>& worker);

  // --- Dispatchers of program and read ---
  int ProgramDevice(ProgressTarget* dialog, CounterField* dc);
  int ReadDevice(ProgressTarget* dialog, CounterField* dc);
  // One block; the programmer's status byte (0 success), 1 when the frame
  // stopped first.
  int ProgramBlock(ProgressTarget* dialog, uint8_t block);

  // --- Shared by the workers ---
  // The operate command and the code (with the offset when asked). 0, or 1
  // with LinkStatus the framing status.
  int Open(uint8_t code, bool offset);
  // Whether ESC is down: a press latched since the last poll. Once seen it
  // stays down until the next operation starts, as a held key would, so
  // that every later abort point of the same operation sees it too.
  bool EscDown();
  // Draws "%06lX" (suffix appended) in the counter field, when there is one.
  void DrawCounter(CounterField* dc, uint32_t address, const char* suffix = "");
  void ShowProgress(ProgressTarget* dialog) { progress_.ShowProgress(dialog); }
  int ReadErrorAddress(uint32_t& address) { return commands_.ReadErrorAddress(address); }
  uint8_t OpCodeOffset() const { return commands_.State().OpCodeOffset; }
  int32_t LinkKind() const { return commands_.State().LinkKind; }

  // Pages of the programmer-buffer workers: 64 KB on USB (0 for a device of
  // at most 64 KB that fits one), 256 bytes otherwise.
  uint32_t PageCount() const;
  uint32_t PageAddress(uint32_t i) const;
  // 256-byte pages whatever the link.
  uint32_t SmallPageCount() const;
  uint32_t SmallPageAddress(uint32_t i) const;

  // The Target Zone is sound: start <= end, and for PcBuffer every byte the
  // selected bytes of the range touch lies inside the buffer. False: a
  // refusal, nothing sent.
  bool CheckTargetZone() const;
  // CheckTargetZone for a worker run without the frame: false sets
  // LinkStatus kStatusRefused; nothing is sent.
  bool Admissible();
  // The PcBuffer index of device address DeviceStart + k under ByteSelect
  // (1 every byte, 2 even, 4 odd bytes).
  uint64_t BufferIndex(uint32_t k) const;
  // The PcBuffer byte at BufferIndex(k); the Target Zone has been checked.
  uint8_t& PcByte(uint32_t k) { return ops_.PcBuffer[BufferIndex(k)]; }

private:
  Commands& commands_;
  OpsState& ops_;
  Progress& progress_;
  platform::KeyState& keys_;
  bool escSeen_ = false;
};

}  // namespace zolvek
