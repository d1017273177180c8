// The simulated programmer's byte engine: one byte-in/byte-out core that the
// pty, USB and LPT adapters and the tests all drive.
//
// The firmware is written as a coroutine that reads a byte, acts and sends a
// byte, on a virtual clock of its own (microseconds). A byte the host hands
// over at time t is taken when the firmware gets to it (not before t); the
// firmware spends device time on what it does (a page takes the chip's time),
// and every reply byte is stamped with the device time at which it goes on
// the line. Transmit(now) gives only the bytes due by `now`, so a slow page,
// a late reply and everything queued behind it come out as a device's would:
// one after the other, as the device gets to them, never in one burst.
//
// Conventions where the host's side of the protocol leaves the programmer's
// open (chosen once, here):
//  - Prompt: the firmware waits for 'A' then 'T' and answers 'O'; any other
//    byte while it waits for a prompt is ignored. The byte after 'O' is the
//    command letter; an unknown letter is logged and ignored (no reply).
//  - A command waiting more than `abandonMs` for its next host byte is given
//    up and the firmware is back at its prompt (0: never give up). Tolerant of
//    a host that paused, deaf to one that went away.
//  - Rates: the firmware listens at the rate of `powerUpRateCode` (9600 by
//    default) until a 'T' with a rate code 0-4 moves it; the code's byte is
//    the last one taken at the old rate. On a serial adapter that reports the
//    host's rate, bytes either way at another rate are lost (a UART sees
//    framing errors; we lose them, which the host sees as silence).
//  - Pacing (`pace`): a serial byte takes 10 bit times at the listening rate
//    on the wire in each direction.
//  - 'T' codes other than 0-4 (6 before an operation dialog, 0x55 before
//    register writes) change nothing. 'V' (idle), 'F' (pass), 'N' (auto mode)
//    and 'Q' (quit) answer nothing and only change what the log shows; 'Q'
//    keeps rate, images and buffers (the programmer stays powered).
//  - 'H': (1, 0x1A, 2) is the set-up, no reply; ('z', 0, 0xF0) answers the SRAM
//    card's size code (0-5 for 128 KB to 4 MB, 15 without a card); ('C', 0,
//    0xF0) answers the card status: bits 0-1 are 0 with a card in (3 without),
//    bit 2 is write protect. Other triples answer nothing.
//  - Programmer memory ('G' reads it; addresses wrap at 64 KB): the firmware
//    version text `firmwareVersion` at 0x012E, the driver image from 0x8000
//    (so its version text is at 0x8009), zero elsewhere. 'G' takes address lo,
//    hi and a two-level count (lo, hi): (5, 1) is 5 bytes. Each byte is sent,
//    then the host's answer byte is awaited.
//  - Downloads: 'l' takes two bytes (0, 0xF0; logged, not checked), 'L' none,
//    then a two-level count and the image, each byte echoed as it is taken.
//    A driver image is echoed whole but kept only up to address 0xFFFF. A
//    download given up halfway leaves no driver (or no monitor).
//  - Registers: a file of 256 bytes, 'W' writes and 'I' reads any of them.
//    The Target Zone is registers 8/9/23 (device start), 12/13/25 (buffer
//    address) and 16/17/27 (three-level count). Operations write the address
//    they stopped at into 10/11/24; 'S' (operation) writes the ID into 22, 31,
//    86, 87; 'G' (operation) the serial fuse into 2; 'O' (operation) the
//    configuration bytes into 95-98; 'W' (operation) programs 95-98.
//  - Buffers: 'D', 'U', 'u', 'S' (checksum) and 'v' (fill) work on the 128 KB
//    internal buffer; 'g' on the SRAM card; the operations on whichever 'h'
//    mapped last (the internal buffer at power-up). Buffer addresses wrap at
//    the buffer's size. A write-protected card takes no writes; 'g' 0xF4
//    answers 0 (done), 3 (no card) or 4 (write protected); without a card 'g'
//    reads 0xFF. 'S' takes bit 16 of the start from its first byte (1: 0x10000
//    and above).
//  - 'X'/'Y' spaces: space 0 is a 64 KB scratch whose bytes 0xFFF8-0xFFFA and
//    0xFD00-0xFD02 are the device's configuration bytes 0-2; space 1 is the
//    table buffer (encryption table / data EEPROM): a table of up to 256 bytes
//    lives at 0xFF00, a longer one at 0. Counts are two-level. 'X' sends each
//    byte, then awaits the host's answer byte.
//  - 'J' answers 0 when the start key was pressed since the last poll, else 1.
//  - Link kind of an operation: taken from its code's offset (0x00-0x7F COM,
//    0x80-0xBF USB, 0xC0-0xFF LPT), never from the adapter the bytes came by.
//  - 'p' and (on LPT, USB) 'v': a parameter byte that arrives 50 ms or more
//    after the code is a block number (the host pauses 60 ms first); one that
//    comes sooner starts the data stream. On COM, 'v' followed by 0xFF is the
//    stream, answered with one byte 0. A bare 'W' (program configuration)
//    followed within 20 ms by '1' or '2' is the fuse form on COM.
//  - An unknown operation code (and the page handshake taken as one, which
//    a programmer-held-buffer verify of even/odd bytes sends) gets no reply;
//    the firmware is back at its prompt. Without a driver every operation
//    answers kStatusNoDriver once and goes back to the prompt.
//  - Page operations: each page handshake byte 0 is followed by that page's
//    work and its reply (0 ok); 1 (or anything else) aborts: the final status
//    kStatusAborted follows at once. A failed page is answered with its
//    status and the final status follows at once, with the address in
//    10/11/24. Addresses past the last page boundary are done after the last
//    handshake, before the final status.
//  - Streams: the handshake after every 256 addresses (64 KB on USB) answers
//    0, or the failure status when a byte failed since the last one; the final
//    status follows a failed handshake at once. The USB read stream sends its
//    bytes unasked up to each 64 KB boundary.
//  - Variants of 'P' by device: driver ids 36, 63, 68 program in passes
//    (each pass opened by a 0 and answered, pages, then a pass status: 0 all
//    bytes hold, 1 another pass wanted, 2 a page failed; the host's 1 after 0
//    or 2 brings the final status); families 0x08 and 0x26 program in cycles
//    closed by a check pass (0xAA after each pass, 'U' from the host, at most
//    four cycles, then a closing check pass; no final status when that pass
//    failed, since the host reads none then).
//  - Block operations: block byte b is block b, except family 0x02 (b - 1) and
//    family 0x03 (6 is block 1, 7 is block 4); 'A' is the whole chip, 'F' a
//    full erase (configuration included).
//  - Lock bits: '0'-'2' are bits 0-2, 0-5 bit n; family 0x07 takes the whole
//    lock byte. 'l' answers the lock byte (bit n set: lock bit n programmed),
//    then 0.
//  - Clock mode: 'x' answers 0 after setting it; 't' answers 0x80 (set) or 0
//    and then 0.
//  - Verify levels (registers 99-101) are logged with each verify; the first
//    one is the supply level the chip model's low-supply weakness looks at.
#pragma once

#include <array>
#include <coroutine>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "sim/programmer/chip.h"
#include "sim/programmer/command_log.h"
#include "sim/programmer/faults.h"
#include "sim/programmer/task.h"

namespace sim::programmer {

using Micros = uint64_t;

// The host-side rates, by rate code 0-4.
uint32_t RateOfCode(uint8_t code);

struct EngineConfig {
  ChipParams chip;
  uint8_t packCode = 1;
  uint8_t powerUpRateCode = 4;  // 9600
  std::string firmwareVersion = "1.01 ";
  uint32_t sramCardKB = 0;  // 0: no card; else 128, 256, ... 4096
  bool sramWriteProtect = false;
  bool pace = false;
  uint32_t abandonMs = 1000;
};

class Engine {
public:
  static constexpr uint32_t kInternalBufferSize = 128 * 1024;
  static constexpr size_t kMaxPendingOutput = 1 << 20;

  Engine(const EngineConfig& config, FaultSet& faults, CommandLog& log);
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // Host bytes, all handed over at `now`. hostBaud is the host's line rate
  // (0: not a serial line, no rate to match).
  void Receive(const uint8_t* data, size_t n, Micros now, uint32_t hostBaud = 0);
  // Up to `max` reply bytes due by `now`; returns the count.
  size_t Transmit(uint8_t* out, size_t max, Micros now, uint32_t hostBaud = 0);
  size_t Available(Micros now) const;
  std::optional<uint8_t> Peek(Micros now) const;
  // When the next reply byte is due; empty when none is queued.
  std::optional<Micros> NextOutputAt() const;
  // Runs what is due by `now` (a command given up, a timed wait ended).
  void Advance(Micros now);
  // The firmware is waiting for a host byte and has none in hand (the LPT
  // "ready" line).
  bool ReadyForInput(Micros now) const;
  void DiscardOutput() { output_.clear(); }

  bool CablePulled() const { return cablePulled_; }
  void PullCable();
  void PlugCable() { cablePulled_ = false; }
  bool Silent() const { return silent_; }
  void ClearSilence() { silent_ = false; }
  void PressStartKey() { keyLatch_ = true; }

  uint32_t ListeningBaud() const { return RateOfCode(rateCode_); }
  uint8_t RateCode() const { return rateCode_; }
  uint64_t LostBytes() const { return lostBytes_; }

  // State, for tests and zolvek-sim.
  Chip& GetChip() { return chip_; }
  std::array<uint8_t, 256>& Registers() { return regs_; }
  std::vector<uint8_t>& InternalBuffer() { return internal_; }
  std::vector<uint8_t>& SramCard() { return sram_; }
  std::vector<uint8_t>& Memory() { return mem_; }
  const std::vector<uint8_t>& MonitorImage() const { return monitor_; }
  const std::vector<uint8_t>& DriverImage() const { return driver_; }
  bool HasMonitor() const { return monitorLoaded_; }
  bool HasDriver() const { return driverLoaded_; }
  bool BufferOnCard() const { return mapCard_; }
  bool AutoMode() const { return autoMode_; }
  uint32_t Passes() const { return passCount_; }

private:
  friend struct InAwaiter;
  struct Abandoned {};
  struct Pending {
    uint8_t byte;
    Micros at;
  };
  enum class Link { Com, Usb, Lpt };

  struct InAwaiter {
    Engine* e;
    std::optional<Micros> deadline;
    bool throwOnTimeout;
    bool await_ready() const;
    void await_suspend(std::coroutine_handle<> h);
    std::optional<uint8_t> await_resume();
  };
  struct ByteAwaiter : InAwaiter {
    uint8_t await_resume() { return *InAwaiter::await_resume(); }
  };

  // Firmware primitives.
  ByteAwaiter In();  // the next host byte; gives the command up on time-out
  InAwaiter InWithin(uint32_t ms);  // the next host byte if it comes within ms
  void Send(uint8_t b);
  void Spend(Micros us) { deviceTime_ += us; }
  void Note(const std::string& s);
  uint32_t ByteUs() const;
  void Pump(Micros now);

  // Firmware.
  Task<void> Main();
  Task<void> Command(uint8_t letter);
  Task<void> Download(bool monitor);
  Task<void> GetMemory();
  Task<void> Setup();
  Task<void> BufferDownload();
  Task<void> BufferUpload(bool single);
  Task<void> Checksum();
  Task<void> Fill();
  Task<void> GetBlock();
  Task<void> SetBlock();
  // The head of a space block command: space, address, count (noted).
  struct SpaceBlock {
    uint8_t space = 0;
    uint32_t address = 0, count = 0;
  };
  Task<SpaceBlock> SpaceBlockHeader();
  // The byte at a 16-bit address of space 0 (configuration bytes over the
  // code) or 1; null for any other space.
  uint8_t* SpaceCell(uint8_t space, uint32_t address);
  Task<void> Sram();
  Task<void> Map();
  Task<void> Operate();

  // Operations (engine_ops.cpp).
  // The pages of the Target Zone's range: 256 addresses each (64 KB on USB,
  // none when a USB device fits in one); the addresses past the last page
  // boundary come after the last page.
  struct Plan {
    uint32_t start = 0, end = 0, pages = 0, shift = 8;
    // Last address of page i (0-based).
    uint32_t PageEnd(uint32_t i) const { return (((start >> shift) + i + 1) << shift) - 1; }
  };
  Plan ZonePlan(bool usb) const;
  // Does a page's work from `a` up to `last`, moving `a`; false with `status`
  // set where it failed.
  using PageWork = std::function<bool(uint32_t& a, uint32_t last, uint8_t* status)>;
  // Notes `what` and the range, then runs `work` page by page behind the
  // host's handshakes (0 goes on, anything else aborts), answering each page
  // 0 or the status it failed with, then the rest past the last page. True
  // when all of it went well and the final status is the caller's; false when
  // the operation has ended (its final status sent, or given up).
  Task<bool> RunPages(const Plan& plan, const std::string& what, const PageWork& work);
  Task<void> ProgramPages(Link link);
  Task<void> ProgramPasses(uint8_t which);
  Task<void> ProgramVerified();
  Task<void> ReadPages(Link link);
  Task<void> CheckPages(Link link, bool blank);
  Task<void> ProgramStream(Link link);
  Task<void> ReadStream(Link link);
  Task<void> VerifyStream(Link link, bool comMarker);
  Task<void> BlockOp(char op, uint8_t block);
  Task<void> EraseOp(uint8_t param);
  Task<void> LockOp(uint8_t param);
  void FinalStatus(uint8_t status, std::optional<uint32_t> address = std::nullopt);
  // What a verify reads at the supply level in force.
  uint8_t VerifyRead(uint32_t address) const;
  void SetStopAddress(uint32_t address);

  // Target Zone, from the registers.
  uint32_t ZoneStart() const;
  uint32_t ZoneBuffer() const;
  uint32_t ZoneCount() const;
  std::vector<uint8_t>& OpBuffer() { return mapCard_ && !sram_.empty() ? sram_ : internal_; }
  uint8_t& BufferAt(std::vector<uint8_t>& buffer, uint32_t address) { return buffer[address % buffer.size()]; }
  bool PageTimesOut(uint32_t page);
  int BlockOfByte(uint8_t b) const;

  EngineConfig config_;
  FaultSet& faults_;
  CommandLog& log_;
  Chip chip_;

  std::array<uint8_t, 256> regs_{};
  std::vector<uint8_t> internal_;
  std::vector<uint8_t> sram_;
  std::vector<uint8_t> mem_;
  std::vector<uint8_t> space0_, space1_;
  std::vector<uint8_t> monitor_, driver_;
  bool monitorLoaded_ = false, driverLoaded_ = false;
  bool mapCard_ = false;
  bool autoMode_ = false;
  bool keyLatch_ = false;
  uint8_t rateCode_;
  uint32_t passCount_ = 0;

  std::deque<Pending> input_;
  std::deque<Pending> output_;
  Micros deviceTime_ = 0;
  Micros lastInEnd_ = 0, lastOutEnd_ = 0;
  Micros lastArrival_ = 0;
  std::coroutine_handle<> waiter_;
  std::optional<Micros> waitDeadline_;
  bool pumping_ = false;

  bool silent_ = false;
  bool cablePulled_ = false;
  uint64_t lostBytes_ = 0;
  uint32_t prompts_ = 0;

  bool inCommand_ = false;
  CommandRecord cur_;
  std::vector<FaultRule> cmdFaults_;
  uint32_t replyIndex_ = 0;

  Task<void> main_;  // last: started once everything else exists
};

}  // namespace sim::programmer
