#include "sim/ice/engine.h"

#include <algorithm>
#include <string>
#include <utility>

namespace sim::ice {

namespace {

// [R0][R1][R2][Code][data][Chk], R0 being the data length.
std::vector<uint8_t> MakeReply(uint8_t code, uint8_t r1, uint8_t r2, const uint8_t* data, size_t n) {
  std::vector<uint8_t> reply;
  reply.reserve(n + 5);
  reply.push_back(static_cast<uint8_t>(n));
  reply.push_back(r1);
  reply.push_back(r2);
  reply.push_back(code);
  reply.insert(reply.end(), data, data + n);
  reply.push_back(FrameChecksum(reply.data(), reply.size()));
  return reply;
}

std::vector<uint8_t> MakeReply(uint8_t code, uint8_t r1 = 0, uint8_t r2 = 0) {
  return MakeReply(code, r1, r2, nullptr, 0);
}

bool Due(uint32_t due, uint32_t now) { return static_cast<int32_t>(now - due) >= 0; }

}  // namespace

Engine::Engine(Target& target, FaultSet& faults, FrameLog& log, const EngineConfig& config)
    : target_(target), faults_(faults), log_(log), config_(config), lockBits_(config.lockBits) {}

void Engine::Receive(const uint8_t* data, size_t n, uint32_t now) {
  if (n == 0) return;
  if (hungUp_) return;
  if (frameSize_ > 0 && now - lastByte_ > config_.frameGapMs) {
    LogRequest(lastByte_, "incomplete frame dropped");
    frameSize_ = 0;
  }
  lastByte_ = now;
  for (size_t i = 0; i < n && !hungUp_; ++i) {
    frame_[frameSize_++] = data[i];
    if (frameSize_ >= kHeaderSize && frameSize_ == size_t{frame_[0]} + kHeaderSize + 1) {
      Process(now);
      frameSize_ = 0;
    }
  }
}

void Engine::LogRequest(uint32_t now, std::string note, std::vector<FaultKind> faults) {
  FrameLogEntry e;
  e.time = now;
  e.direction = Direction::HostToBoard;
  e.bytes.assign(frame_.begin(), frame_.begin() + static_cast<std::ptrdiff_t>(frameSize_));
  e.faults = std::move(faults);
  e.note = std::move(note);
  log_.Append(std::move(e));
}

void Engine::Process(uint32_t now) {
  const uint8_t code = frame_[3];
  if (!ChecksumOk(frame_.data(), frameSize_)) return LogRequest(now, "bad checksum, ignored");
  if (!IsKnownCommand(code)) return LogRequest(now, "unknown command, ignored");
  if (!AcceptsLength(code, frame_[0])) return LogRequest(now, "bad length, ignored");

  Effects fx;
  for (const FaultRule& r : faults_.Match(code)) {
    fx.kinds.push_back(r.kind);
    switch (r.kind) {
      case FaultKind::NoReply: fx.noReply = true; break;
      case FaultKind::HangUp: fx.hangUp = true; break;
      case FaultKind::Late: fx.late = r; break;
      case FaultKind::BadChecksum: fx.badChecksum = r; break;
      case FaultKind::WrongCode: fx.wrongCode = r; break;
      case FaultKind::ShortReply: fx.shortReply = r; break;
      case FaultKind::StrayByte: fx.stray = r; break;
      case FaultKind::Busy: fx.busy = r; break;
      case FaultKind::FailBlock: fx.failBlock = r; break;
    }
  }
  LogRequest(now, "", fx.kinds);
  if (fx.hangUp) {
    hungUp_ = true;
    output_.clear();
    return;
  }
  if (fx.noReply) return;
  Queue(Execute(fx), fx, now);
}

std::vector<uint8_t> Engine::Execute(const Effects& fx) {
  const uint8_t len = frame_[0];
  const uint8_t p1 = frame_[1];
  const uint8_t p2 = frame_[2];
  const uint8_t code = frame_[3];
  const uint8_t* payload = frame_.data() + kHeaderSize;
  const uint16_t address = static_cast<uint16_t>(p1 << 8 | p2);
  Memories& m = target_.Mem();

  switch (code) {
    case icTxROM:
      if (fx.failBlock) return MakeReply(static_cast<uint8_t>(fx.failBlock->arg.value_or(0)), p1, p2);
      if (target_.Running()) return MakeReply(stBusy, p1, p2);
      for (size_t i = 0; i < kBlockSize; ++i) m.code[static_cast<uint16_t>(address + i)] = payload[i];
      break;
    case icRun: target_.Run(); break;
    case icStop: target_.Stop(); break;
    case icReset: target_.Reset(); break;
    case icStep: target_.Step(); break;
    case icRunRange: target_.RunRange(address, static_cast<uint16_t>(payload[0] << 8 | payload[1])); break;
    case icBusyCheck: {
      // A forced busy answer spoils the reply only: the target runs its slice as ever.
      if (config_.cyclesPerPoll > 0) target_.Execute(config_.cyclesPerPoll);
      if (fx.busy) return MakeReply(stBusy);
      return MakeReply(target_.Running() ? stBusy : stReady);
    }
    case icTxBrkPnt:
      for (size_t k = 0; k < len / 4u && k < kBreakpointCount; ++k) {
        const uint8_t* e = payload + 4 * k;
        target_.SetBreakpoint(k, Breakpoint{static_cast<uint16_t>(e[0] << 8 | e[1]), e[2] != 0, e[3]});
      }
      break;
    case icClearBrkPnt: target_.ClearBreakpoints(); break;
    case icEraseChip:
      m.code.fill(0xFF);
      lockBits_ = 0xFF;
      break;
    case icRxROM: {
      std::array<uint8_t, kBlockSize> data;
      for (size_t i = 0; i < kBlockSize; ++i) data[i] = m.code[static_cast<uint16_t>(address + i)];
      return MakeReply(code, p1, p2, data.data(), data.size());
    }
    case icReqInRAM:
      for (size_t i = 0; i < kBlockSize; ++i) inRamData_[i] = m.iram[(address + i) & 0xFF];
      break;
    case icTxInRAM:
      for (size_t i = 0; i < kBlockSize; ++i) m.iram[(address + i) & 0xFF] = payload[i];
      break;
    case icFetchInRAM: return MakeReply(code, p1, p2, inRamData_.data(), inRamData_.size());
    case icReq1kRAM:
      for (size_t i = 0; i < kBlockSize; ++i) ram1kData_[i] = m.ram1k[(address + i) & 0x3FF];
      break;
    case icTx1kRAM:
      for (size_t i = 0; i < len; ++i) m.ram1k[(address + i) & 0x3FF] = payload[i];
      break;
    case icFetch1kRAM: return MakeReply(code, p1, p2, ram1kData_.data(), ram1kData_.size());
    case icReqExRAM:
      for (size_t i = 0; i < kBlockSize; ++i) exRamData_[i] = m.xram[static_cast<uint16_t>(address + i)];
      break;
    case icTxExRAM:
      for (size_t i = 0; i < kBlockSize; ++i) m.xram[static_cast<uint16_t>(address + i)] = payload[i];
      break;
    case icFetchExRAM: return MakeReply(code, p1, p2, exRamData_.data(), exRamData_.size());
    case icReqSFR: sfrData_ = target_.ReadSfrBlock(); break;
    case icTxSFR: target_.WriteSfrBlock(payload, len); break;
    case icFetchSFR: return MakeReply(code, p1, p2, sfrData_.data(), sfrData_.size());
    case icTxLockBits: lockBits_ = p1; break;
    case icReqLockBits: lockData_ = lockBits_; break;
    case icFetchLockBits: return MakeReply(code, lockData_, p2);
    case icReqSignature: break;
    case icFetchSignature: return MakeReply(code, config_.signature[0], config_.signature[1], &config_.signature[2], 1);
    case icRxVersion:
      return MakeReply(code, static_cast<uint8_t>(config_.version >> 8), static_cast<uint8_t>(config_.version & 0xFF));
    case icReqInRAMList:
      inRamList_.clear();
      for (size_t i = 0; i < len; ++i) inRamList_.push_back(m.iram[payload[i]]);
      break;
    case icReq1kRAMList:
      ram1kList_.clear();
      for (size_t i = 0; i + 1 < len; i += 2) ram1kList_.push_back(m.ram1k[(payload[i] << 8 | payload[i + 1]) & 0x3FF]);
      break;
    case icReqExRAMList:
      exRamList_.clear();
      for (size_t i = 0; i + 1 < len; i += 2)
        exRamList_.push_back(m.xram[static_cast<uint16_t>(payload[i] << 8 | payload[i + 1])]);
      break;
    case icFetchInRAMList:
    case icFetch1kRAMList:
    case icFetchExRAMList: {
      const std::vector<uint8_t>& list = code == icFetchInRAMList   ? inRamList_
                                         : code == icFetch1kRAMList ? ram1kList_
                                                                    : exRamList_;
      std::vector<uint8_t> data(p2, 0);
      std::copy_n(list.begin(), std::min(list.size(), data.size()), data.begin());
      return MakeReply(code, p1, p2, data.data(), data.size());
    }
    default: break;
  }
  return MakeReply(code, p1, p2);
}

void Engine::Queue(std::vector<uint8_t> reply, const Effects& fx, uint32_t now) {
  std::vector<FaultKind> kinds;
  if (fx.wrongCode) {
    reply[3] = fx.wrongCode->arg ? static_cast<uint8_t>(*fx.wrongCode->arg) : static_cast<uint8_t>(reply[3] + 1);
    reply.back() = FrameChecksum(reply.data(), reply.size() - 1);
    kinds.push_back(FaultKind::WrongCode);
  }
  if (fx.badChecksum) {
    reply.back() = static_cast<uint8_t>(reply.back() + 1);
    kinds.push_back(FaultKind::BadChecksum);
  }
  if (fx.shortReply) {
    const size_t keep = fx.shortReply->arg ? *fx.shortReply->arg : reply.size() - 1;
    if (keep < reply.size()) reply.resize(keep);
    kinds.push_back(FaultKind::ShortReply);
  }
  uint32_t due = now;
  if (fx.late) {
    due = now + fx.late->arg.value_or(0);
    kinds.push_back(FaultKind::Late);
  }
  // Behind a reply the board still holds back, this one waits its turn.
  if (!output_.empty() && !Due(output_.back().due, now)) {
    const Chunk& before = output_.back();
    const uint32_t next = before.due + LineMs(before.bytes.size()) + config_.turnaroundMs;
    if (static_cast<int32_t>(next - due) > 0) due = next;
  }
  if (fx.busy) kinds.push_back(FaultKind::Busy);
  if (fx.failBlock) kinds.push_back(FaultKind::FailBlock);

  const size_t total = reply.size() + (fx.stray ? 1 : 0);
  if (PendingBytes() + total > kMaxPendingOutput) {
    log_.Append(FrameLogEntry{due, Direction::BoardToHost, reply, kinds, "output overrun, not sent"});
    return;
  }
  if (fx.stray) {
    const uint8_t stray = static_cast<uint8_t>(fx.stray->arg.value_or(0xFF));
    output_.push_back(Chunk{due, {stray}});
    log_.Append(FrameLogEntry{due, Direction::BoardToHost, {stray}, {FaultKind::StrayByte}, ""});
  }
  if (!reply.empty()) {
    log_.Append(FrameLogEntry{due, Direction::BoardToHost, reply, kinds, ""});
    output_.push_back(Chunk{due, std::move(reply)});
  }
}

size_t Engine::Transmit(uint8_t* out, size_t max, uint32_t now) {
  size_t n = 0;
  while (n < max && !output_.empty() && Due(output_.front().due, now)) {
    Chunk& c = output_.front();
    const size_t take = std::min(max - n, c.bytes.size() - c.sent);
    std::copy_n(c.bytes.begin() + static_cast<std::ptrdiff_t>(c.sent), take, out + n);
    c.sent += take;
    n += take;
    if (c.sent == c.bytes.size()) output_.pop_front();
  }
  return n;
}

std::optional<uint32_t> Engine::MsUntilOutput(uint32_t now) const {
  if (output_.empty()) return std::nullopt;
  const uint32_t due = output_.front().due;
  return Due(due, now) ? 0 : due - now;
}

uint32_t Engine::LineMs(size_t bytes) const {
  if (config_.baud == 0) return 0;
  const uint64_t bits = uint64_t{bytes} * 10 * 1000;  // start, 8 data, stop
  return static_cast<uint32_t>((bits + config_.baud - 1) / config_.baud);
}

size_t Engine::PendingBytes() const {
  size_t n = 0;
  for (const Chunk& c : output_) n += c.bytes.size() - c.sent;
  return n;
}

}  // namespace sim::ice
