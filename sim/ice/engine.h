// The board's byte engine: assembles request frames from the host's bytes in
// any chunking, carries each command out on the Target and queues the reply a
// board gives, applying the fault rules in force. Single-threaded and driven
// by explicit times, so it is deterministic; Board adds the lock and the clock.
//
// What the board does with what it receives:
//  - A frame is complete when Len + 5 bytes have arrived. Bytes that stop
//    coming for more than `frameGapMs` in the middle of a frame are dropped,
//    which is how the board finds the start of the next frame after noise.
//  - A frame with a bad checksum, an unknown command or a payload length its
//    command does not take is ignored: no reply, only a log entry.
//  - Replies: R0 is the number of data bytes between Code and Chk; R1 and R2
//    echo the request's P1 and P2 except where they carry values (lock byte;
//    version high, low; signature bytes 1, 2); Code echoes the command.
//  - Two-phase reads: a request captures the data at once and is answered
//    with its echo; the fetch answers with the last data captured for that
//    kind (zeros before any request; the signature, being fixed, always).
//    List fetches give P2 values, the captured ones first, 0 beyond the list.
//  - The busy check answers 12 while the target runs and 14 once it has
//    halted. With `cyclesPerPoll` > 0 each busy check first runs a running
//    target for that many machine cycles (the deterministic mode).
//  - A program block is refused with Code 12 while the target runs (code
//    memory is not written under a running target); otherwise it is written
//    and answered 1. The erase fills code memory with 0xFF and the lock byte
//    with 0xFF (unprotected). Memory writes while the target runs land between
//    two instructions.
//  - Replies queue in order; a late reply holds back the ones behind it, as on
//    a serial line. A board answers one request at a time, so a reply queued
//    behind one still held back follows it as the board gets to it: once the
//    one before is on the line (its bytes at `baud`, 10 bits each) and the
//    board has turned to the next request (`turnaroundMs`). Replies behind
//    none go out at once. At most kMaxPendingOutput bytes wait; a reply that
//    does not fit is dropped (logged as an overrun).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "sim/ice/engine_protocol.h"
#include "sim/ice/engine_target.h"
#include "sim/ice/faults.h"
#include "sim/ice/frame_log.h"

namespace sim::ice {

struct EngineConfig {
  uint32_t frameGapMs = 50;
  uint32_t cyclesPerPoll = 0;
  uint16_t version = 0x0210;  // firmware 2.10
  std::array<uint8_t, 3> signature = {0x3C, 0x93, 0x0A};  // maker, part, revision
  uint8_t lockBits = 0xFF;  // unprotected
  uint32_t baud = 57600;  // paces replies queued behind a late one
  uint32_t turnaroundMs = 1;  // from one reply sent to the next request's reply
};

class Engine {
public:
  static constexpr size_t kMaxPendingOutput = 65536;

  Engine(Target& target, FaultSet& faults, FrameLog& log, const EngineConfig& config);

  // Bytes from the host, all arriving at `now` (ms).
  void Receive(const uint8_t* data, size_t n, uint32_t now);
  // Up to `max` reply bytes that are on the line by `now`; returns the count.
  size_t Transmit(uint8_t* out, size_t max, uint32_t now);
  // 0 when bytes can be read now, the ms until a late reply is due, or empty
  // when nothing is queued.
  std::optional<uint32_t> MsUntilOutput(uint32_t now) const;

  // After a HangUp fault: input is ignored and nothing more is sent.
  bool HungUp() const { return hungUp_; }
  void ClearHangUp() { hungUp_ = false; }

  uint8_t LockBits() const { return lockBits_; }
  void SetLockBits(uint8_t v) { lockBits_ = v; }

private:
  struct Chunk {
    uint32_t due;
    std::vector<uint8_t> bytes;
    size_t sent = 0;
  };
  struct Effects {
    std::optional<FaultRule> late, badChecksum, wrongCode, shortReply, stray, busy, failBlock;
    bool noReply = false;
    bool hangUp = false;
    std::vector<FaultKind> kinds;
  };

  void Process(uint32_t now);
  void LogRequest(uint32_t now, std::string note, std::vector<FaultKind> faults = {});
  std::vector<uint8_t> Execute(const Effects& fx);
  void Queue(std::vector<uint8_t> reply, const Effects& fx, uint32_t now);
  size_t PendingBytes() const;
  // Time `bytes` take on the line at the configured rate, rounded up.
  uint32_t LineMs(size_t bytes) const;

  Target& target_;
  FaultSet& faults_;
  FrameLog& log_;
  EngineConfig config_;

  std::array<uint8_t, kMaxFrameSize> frame_{};
  size_t frameSize_ = 0;
  uint32_t lastByte_ = 0;
  bool hungUp_ = false;
  uint8_t lockBits_;

  std::deque<Chunk> output_;

  // Data captured by the two-phase requests, kept for their fetches.
  SfrBlock sfrData_{};
  std::array<uint8_t, kBlockSize> inRamData_{};
  std::array<uint8_t, kBlockSize> ram1kData_{};
  std::array<uint8_t, kBlockSize> exRamData_{};
  uint8_t lockData_ = 0;
  std::vector<uint8_t> inRamList_, ram1kList_, exRamList_;
};

}  // namespace sim::ice
