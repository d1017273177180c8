// The emulator board and the serial line between it and the host, as the
// reply fuzz target sees them. Written from the frame tables alone, apart
// from the simulated board in sim/ice, so that it can serve as the fuzz
// target's oracle: a second, plain reading of what the board holds.
//
// The line: the host's writes reach the board at once; every reply byte is on
// the line from a due time on, a reply taking its time at 57600 baud (10 bits
// a byte); replies leave in order, each after the one before and the board's
// turn to the next request. A read takes the bytes due by its end, a purge
// drops what has arrived by now, and time is the current platform clock,
// which reads and writes advance (a VirtualClock in the fuzz target).
//
// The board: every host frame is checked (length byte, known command, a
// payload length the command takes, checksum); a bad one aborts, since the
// host must never send one. A script of bytes decides, frame by frame, how
// the board behaves: answers in time, late (40 to 1060 ms), not at all
// (the frame is lost), with a spoiled checksum, a wrong Code, too short, or
// after a stray byte; how many busy answers a run or a two-phase request
// gives before ready; and how a program block is answered (accepted, 12, 14,
// an error). Line faults are kept apart, as on a link that works: after one,
// the next comes only once every reply is out and kFaultGapMs have passed.
// Each reply byte is tagged with the number of the frame it answers, so the
// fuzz target can tell which request a reply the host took belonged to.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <optional>
#include <utility>
#include <vector>

#include "platform/byte_link.h"
#include "platform/clock.h"

namespace fuzz {

// Command codes, as on the wire.
enum : uint8_t {
  kTxROM = 0x01,
  kRun = 0x02,
  kStop = 0x04,
  kReset = 0x05,
  kReqInRAM = 0x07,
  kTxInRAM = 0x08,
  kReq1kRAM = 0x09,
  kTx1kRAM = 0x0A,
  kTxBrkPnt = 0x0B,
  kBusyCheck = 0x0C,
  kClearBrkPnt = 0x10,
  kRxROM = 0x11,
  kEraseChip = 0x12,
  kStep = 0x13,
  kRunRange = 0x14,
  kReqSFR = 0x20,
  kTxSFR = 0x21,
  kFetchSFR = 0x22,
  kFetchInRAM = 0x23,
  kFetch1kRAM = 0x24,
  kTxLockBits = 0x2A,
  kReqLockBits = 0x2B,
  kFetchLockBits = 0x2C,
  kReqSignature = 0x2D,
  kFetchSignature = 0x2E,
  kReqExRAM = 0x2F,
  kTxExRAM = 0x30,
  kFetchExRAM = 0x31,
  kReqInRAMList = 0x32,
  kReq1kRAMList = 0x33,
  kReqExRAMList = 0x34,
  kFetchInRAMList = 0x35,
  kFetch1kRAMList = 0x36,
  kFetchExRAMList = 0x37,
  kRxVersion = 0x38,
};

inline uint8_t Negated(const uint8_t* p, size_t n) {
  unsigned sum = 0;
  for (size_t i = 0; i < n; ++i) sum += p[i];
  return static_cast<uint8_t>(0x100 - (sum & 0xFF));
}

// What the board holds.
struct BoardMemory {
  std::array<uint8_t, 0x10000> code{};
  std::array<uint8_t, 0x10000> xram{};
  std::array<uint8_t, 256> iram{};
  std::array<uint8_t, 1024> ram1k{};
  std::array<uint8_t, 58> sfr{};
  std::array<uint8_t, 8> breakpoints{};
  uint8_t lock = 0xFF;
};

inline constexpr uint16_t kVersion = 0x0210;
inline constexpr std::array<uint8_t, 3> kSignature = {0x3C, 0x93, 0x0A};

class PlainLine final : public platform::ByteLink {
public:
  static constexpr uint32_t kFaultGapMs = 3000;
  static constexpr uint32_t kTurnaroundMs = 1;

  PlainLine(const uint8_t* script, size_t size) : script_(script), size_(size) {}

  BoardMemory& Memory() { return mem_; }
  // Frames the board has received so far (numbered from 1).
  uint32_t Frames() const { return frames_; }
  uint8_t CommandOf(uint32_t frame) const { return commands_.at(frame - 1); }
  // Whether the board carried the frame out (it was not lost).
  bool Done(uint32_t frame) const { return done_.at(frame - 1); }
  // The frame whose reply the host's last reply read took whole; 0 when that
  // read mixed bytes of two replies or took none.
  uint32_t LastReplyFrame() const { return lastReplyFrame_; }
  // The status the board gave to a busy check; 0 for other frames.
  uint8_t StatusOf(uint32_t frame) const {
    for (const auto& [f, status] : statuses_)
      if (f == frame) return status;
    return 0;
  }

  bool Write(const uint8_t* data, size_t n, size_t& written) override {
    Pass(n);
    for (size_t i = 0; i < n; ++i) {
      partial_.push_back(data[i]);
      if (partial_.size() >= 4 && partial_.size() == size_t{partial_[0]} + 5) {
        Handle(partial_);
        partial_.clear();
      }
    }
    written = n;
    return true;
  }

  bool Read(uint8_t* out, size_t n, uint32_t timeoutMs, size_t& received) override {
    platform::Clock& clock = platform::CurrentClock();
    const uint32_t deadline = clock.Tick() + timeoutMs;
    received = 0;
    uint32_t last = clock.Tick();
    uint32_t frame = 0;
    bool mixed = false;
    while (received < n && !rx_.empty() && Before(rx_.front().due, deadline)) {
      out[received++] = rx_.front().value;
      if (received == 1) frame = rx_.front().frame;
      mixed |= rx_.front().frame != frame;
      if (Before(last, rx_.front().due)) last = rx_.front().due;
      rx_.pop_front();
    }
    const uint32_t end = received == n ? last : deadline;
    const uint32_t now = clock.Tick();
    if (Before(now, end)) clock.Sleep(end - now);
    if (n > 1) lastReplyFrame_ = received == n && !mixed ? frame : 0;
    return true;
  }

  void PurgeRx() override {
    const uint32_t now = platform::CurrentClock().Tick();
    while (!rx_.empty() && Before(rx_.front().due, now)) rx_.pop_front();
  }
  void PurgeTx() override {}
  bool Close() override { return true; }

private:
  struct RxByte {
    uint8_t value;
    uint32_t due;
    uint32_t frame;
  };

  static bool Before(uint32_t a, uint32_t b) { return static_cast<int32_t>(b - a) >= 0; }

  uint8_t Next() { return pos_ < size_ ? script_[pos_++] : 0; }

  // Host bytes take their line time too.
  void Pass(size_t n) {
    const uint64_t before = bits_ * 1000 / 57600;
    bits_ += uint64_t{n} * 10;
    const uint64_t after = bits_ * 1000 / 57600;
    if (after > before) platform::CurrentClock().Sleep(static_cast<uint32_t>(after - before));
  }

  static bool LengthOk(uint8_t cmd, size_t len) {
    switch (cmd) {
      case kTxROM:
      case kTxInRAM:
      case kTxExRAM: return len == 64;
      case kTx1kRAM: return len == 64 || len == 1;
      case kTxBrkPnt: return len > 0 && len % 4 == 0;
      case kRunRange: return len == 2;
      case kTxSFR: return len == 58;
      case kReqInRAMList: return len > 0;
      case kReq1kRAMList:
      case kReqExRAMList: return len > 0 && len % 2 == 0;
      case kRun:
      case kStop:
      case kReset:
      case kReqInRAM:
      case kReq1kRAM:
      case kBusyCheck:
      case kClearBrkPnt:
      case kRxROM:
      case kEraseChip:
      case kStep:
      case kReqSFR:
      case kFetchSFR:
      case kFetchInRAM:
      case kFetch1kRAM:
      case kTxLockBits:
      case kReqLockBits:
      case kFetchLockBits:
      case kReqSignature:
      case kFetchSignature:
      case kReqExRAM:
      case kFetchExRAM:
      case kFetchInRAMList:
      case kFetch1kRAMList:
      case kFetchExRAMList:
      case kRxVersion: return len == 0;
      default: return false;
    }
  }

  static std::vector<uint8_t> Reply(uint8_t code, uint8_t r1, uint8_t r2, const uint8_t* data = nullptr, size_t n = 0) {
    std::vector<uint8_t> r;
    r.reserve(n + 5);
    r.push_back(static_cast<uint8_t>(n));
    r.push_back(r1);
    r.push_back(r2);
    r.push_back(code);
    for (size_t i = 0; i < n; ++i) r.push_back(data[i]);  // GCC 12 misjudges a range insert here
    r.push_back(Negated(r.data(), r.size()));
    return r;
  }

  std::vector<uint8_t> Answer(const std::vector<uint8_t>& f, uint8_t how) {
    const uint8_t len = f[0], p1 = f[1], p2 = f[2], cmd = f[3];
    const uint8_t* pay = f.data() + 4;
    const uint16_t a = static_cast<uint16_t>(p1 << 8 | p2);
    const uint8_t polls = how >> 4;
    // R1 and R2 of an ordinary reply are the board's own: the host may not read them.
    const uint8_t r1 = 0xA5, r2 = 0x00;
    auto capture = [&](auto& mem, uint32_t mask) {
      for (size_t i = 0; i < 64; ++i) captured_[i] = mem[(a + i) & mask];
      busy_ = polls & 3;
    };
    auto list = [&](auto& mem, uint32_t mask, size_t step) {
      listed_.clear();
      for (size_t i = 0; i + step <= len; i += step)
        listed_.push_back(mem[(step == 1 ? pay[i] : pay[i] << 8 | pay[i + 1]) & mask]);
      busy_ = polls & 3;
    };
    switch (cmd) {
      case kTxROM: {
        static constexpr uint8_t kCodes[16] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 12, 14, 0, 0x55};
        const uint8_t code = kCodes[polls];
        if (code == 1)
          for (size_t i = 0; i < 64; ++i) mem_.code[(a + i) & 0xFFFF] = pay[i];
        return Reply(code, r1, r2);
      }
      case kRun:
      case kRunRange: busy_ = polls; break;
      case kStop:
      case kReset:
      case kStep: busy_ = 0; break;
      case kBusyCheck: {
        const uint8_t status = busy_ > 0 ? 12 : 14;
        if (busy_ > 0) --busy_;
        statuses_.push_back({frames_, status});
        return Reply(status, r1, r2);
      }
      case kTxBrkPnt: std::copy_n(pay, std::min<size_t>(len, 8), mem_.breakpoints.begin()); break;
      case kClearBrkPnt: mem_.breakpoints.fill(0); break;
      case kEraseChip: mem_.code.fill(0xFF); break;
      case kRxROM: {
        std::array<uint8_t, 64> block;
        for (size_t i = 0; i < 64; ++i) block[i] = mem_.code[(a + i) & 0xFFFF];
        return Reply(cmd, r1, r2, block.data(), 64);
      }
      case kReqInRAM: capture(mem_.iram, 0xFF); break;
      case kReq1kRAM: capture(mem_.ram1k, 0x3FF); break;
      case kReqExRAM: capture(mem_.xram, 0xFFFF); break;
      case kFetchInRAM:
      case kFetch1kRAM:
      case kFetchExRAM: return Reply(cmd, r1, r2, captured_.data(), 64);
      case kTxInRAM:
        for (size_t i = 0; i < 64; ++i) mem_.iram[(a + i) & 0xFF] = pay[i];
        break;
      case kTx1kRAM:
        for (size_t i = 0; i < len; ++i) mem_.ram1k[(a + i) & 0x3FF] = pay[i];
        break;
      case kTxExRAM:
        for (size_t i = 0; i < 64; ++i) mem_.xram[(a + i) & 0xFFFF] = pay[i];
        break;
      case kReqSFR:
        capturedSfr_ = mem_.sfr;
        busy_ = polls & 3;
        break;
      case kFetchSFR: return Reply(cmd, r1, r2, capturedSfr_.data(), 58);
      case kTxSFR: std::copy_n(pay, 58, mem_.sfr.begin()); break;
      case kTxLockBits: mem_.lock = p1; break;
      case kReqLockBits:
        lockCaptured_ = mem_.lock;
        busy_ = polls & 3;
        break;
      case kFetchLockBits: return Reply(cmd, lockCaptured_, r2);
      case kReqSignature: busy_ = polls & 3; break;
      case kFetchSignature: return Reply(cmd, kSignature[0], kSignature[1], &kSignature[2], 1);
      case kRxVersion: return Reply(cmd, kVersion >> 8, kVersion & 0xFF);
      case kReqInRAMList: list(mem_.iram, 0xFF, 1); break;
      case kReq1kRAMList: list(mem_.ram1k, 0x3FF, 2); break;
      case kReqExRAMList: list(mem_.xram, 0xFFFF, 2); break;
      case kFetchInRAMList:
      case kFetch1kRAMList:
      case kFetchExRAMList: {
        std::vector<uint8_t> data(p2, 0);
        std::copy_n(listed_.begin(), std::min(listed_.size(), data.size()), data.begin());
        return Reply(cmd, r1, r2, data.data(), data.size());
      }
      default: break;
    }
    return Reply(cmd, r1, r2);
  }

  void Handle(const std::vector<uint8_t>& f) {
    // The host's frame: whole, known, of a length its command takes, summed to 0.
    if (!LengthOk(f[3], f[0]) || Negated(f.data(), f.size() - 1) != f.back()) std::abort();
    ++frames_;
    commands_.push_back(f[3]);
    const uint32_t now = platform::CurrentClock().Tick();
    const uint8_t how = Next();
    // Line faults only on a link that has recovered from the last one.
    const bool backlog = !rx_.empty() && !Before(rx_.back().due, now);
    const bool mayFail = !backlog && (!lastFault_ || now - *lastFault_ >= kFaultGapMs);
    const uint8_t fault = mayFail ? how & 0x0F : 0;
    if (fault >= 10) lastFault_ = now;
    if (fault == 10) {  // lost on its way: not carried out, not answered
      done_.push_back(false);
      return;
    }
    done_.push_back(true);
    std::vector<uint8_t> reply = Answer(f, how);
    uint32_t late = 0;
    switch (fault) {
      case 11: late = 40 + 4u * Next(); break;
      case 12: reply.back() = static_cast<uint8_t>(reply.back() + 1); break;
      case 13:
        reply[3] = static_cast<uint8_t>(reply[3] + 0x40);
        reply.back() = Negated(reply.data(), reply.size() - 1);
        break;
      case 14: reply.resize(1 + Next() % (reply.size() - 1)); break;
      case 15: reply.insert(reply.begin(), Next()); break;
      default: break;
    }
    // Out in order: after the reply before it and the board's turn to this one.
    uint32_t start = now;
    if (!rx_.empty() && Before(now, rx_.back().due + kTurnaroundMs)) start = rx_.back().due + kTurnaroundMs;
    start += late;
    for (size_t i = 0; i < reply.size(); ++i)
      rx_.push_back({reply[i], start + static_cast<uint32_t>((i + 1) * 10000 / 57600), frames_});
  }

  const uint8_t* script_;
  size_t size_;
  size_t pos_ = 0;
  uint64_t bits_ = 0;
  std::vector<uint8_t> partial_;
  std::deque<RxByte> rx_;
  BoardMemory mem_;
  uint32_t frames_ = 0;
  std::vector<uint8_t> commands_;
  std::vector<bool> done_;
  std::vector<std::pair<uint32_t, uint8_t>> statuses_;
  uint32_t lastReplyFrame_ = 0;
  std::optional<uint32_t> lastFault_;
  int busy_ = 0;
  std::array<uint8_t, 64> captured_{};
  std::array<uint8_t, 58> capturedSfr_{};
  uint8_t lockCaptured_ = 0;
  std::vector<uint8_t> listed_;
};

}  // namespace fuzz
