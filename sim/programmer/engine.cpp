#include "sim/programmer/engine.h"

#include <algorithm>
#include <utility>

#include "sim/programmer/counts.h"
#include "sim/programmer/hex_text.h"

namespace sim::programmer {

uint32_t RateOfCode(uint8_t code) {
  static constexpr uint32_t kRates[] = {115200, 57600, 38400, 19200, 9600};
  return code < 5 ? kRates[code] : 9600;
}

Engine::Engine(const EngineConfig& config, FaultSet& faults, CommandLog& log)
    : config_(config),
      faults_(faults),
      log_(log),
      chip_(config.chip),
      internal_(kInternalBufferSize, 0xFF),
      sram_(size_t{config.sramCardKB} * 1024, 0xFF),
      mem_(0x10000, 0x00),
      space0_(0x10000, 0xFF),
      space1_(0x10000, 0xFF),
      rateCode_(config.powerUpRateCode <= 4 ? config.powerUpRateCode : 4),
      main_(Main()) {
  for (size_t i = 0; i < 5 && i < config.firmwareVersion.size(); ++i)
    mem_[0x012E + i] = static_cast<uint8_t>(config.firmwareVersion[i]);
  main_.Start();
}

Engine::~Engine() = default;

// ---------------------------------------------------------------------------
// Time and bytes

uint32_t Engine::ByteUs() const { return (10u * 1000000u + ListeningBaud() - 1) / ListeningBaud(); }

bool Engine::InAwaiter::await_ready() const {
  return !e->input_.empty() && (!deadline || e->input_.front().at <= *deadline);
}

void Engine::InAwaiter::await_suspend(std::coroutine_handle<> h) {
  e->waiter_ = h;
  e->waitDeadline_ = deadline;
}

std::optional<uint8_t> Engine::InAwaiter::await_resume() {
  e->waitDeadline_.reset();
  if (!e->input_.empty() && (!deadline || e->input_.front().at <= *deadline)) {
    const Pending p = e->input_.front();
    e->input_.pop_front();
    e->deviceTime_ = std::max(e->deviceTime_, p.at);
    e->lastArrival_ = p.at;
    if (e->inCommand_ && e->cur_.letter != 0) e->cur_.in.push_back(p.byte);
    return p.byte;
  }
  e->deviceTime_ = std::max(e->deviceTime_, *deadline);
  if (throwOnTimeout) throw Abandoned{};
  return std::nullopt;
}

Engine::ByteAwaiter Engine::In() {
  ByteAwaiter a{};
  a.e = this;
  if (config_.abandonMs) a.deadline = deviceTime_ + Micros{config_.abandonMs} * 1000;
  a.throwOnTimeout = true;
  return a;
}

Engine::InAwaiter Engine::InWithin(uint32_t ms) { return InAwaiter{this, deviceTime_ + Micros{ms} * 1000, false}; }

void Engine::Pump(Micros now) {
  if (pumping_) return;
  pumping_ = true;
  while (waiter_) {
    const bool have = !input_.empty() && (!waitDeadline_ || input_.front().at <= *waitDeadline_);
    const bool timedOut =
        waitDeadline_ && (*waitDeadline_ <= now || (!input_.empty() && input_.front().at > *waitDeadline_));
    if (!have && !timedOut) break;
    std::exchange(waiter_, nullptr).resume();
  }
  pumping_ = false;
}

void Engine::Receive(const uint8_t* data, size_t n, Micros now, uint32_t hostBaud) {
  Pump(now);
  for (size_t i = 0; i < n; ++i) {
    if (cablePulled_ || (hostBaud != 0 && hostBaud != ListeningBaud())) {
      ++lostBytes_;
      continue;
    }
    Micros at = now;
    if (config_.pace) {
      at = std::max(now, lastInEnd_) + ByteUs();
      lastInEnd_ = at;
    }
    input_.push_back({data[i], at});
    Pump(now);
  }
}

void Engine::Advance(Micros now) { Pump(now); }

size_t Engine::Transmit(uint8_t* out, size_t max, Micros now, uint32_t hostBaud) {
  Pump(now);
  size_t n = 0;
  while (n < max && !output_.empty() && output_.front().at <= now) {
    if (hostBaud != 0 && hostBaud != ListeningBaud()) {
      ++lostBytes_;
    } else {
      out[n++] = output_.front().byte;
    }
    output_.pop_front();
  }
  return n;
}

size_t Engine::Available(Micros now) const {
  size_t n = 0;
  for (const auto& p : output_) {
    if (p.at > now) break;
    ++n;
  }
  return n;
}

std::optional<uint8_t> Engine::Peek(Micros now) const {
  if (output_.empty() || output_.front().at > now) return std::nullopt;
  return output_.front().byte;
}

std::optional<Micros> Engine::NextOutputAt() const {
  if (output_.empty()) return std::nullopt;
  return output_.front().at;
}

bool Engine::ReadyForInput(Micros now) const {
  return !cablePulled_ && waiter_ && input_.empty() && deviceTime_ <= now;
}

void Engine::PullCable() {
  cablePulled_ = true;
  output_.clear();
  input_.clear();
}

void Engine::Send(uint8_t b) {
  const uint32_t index = replyIndex_++;
  bool drop = false;
  for (const FaultRule& r : cmdFaults_) {
    if (r.byteIndex != index) continue;
    switch (r.kind) {
      case FaultKind::Drop: drop = true; break;
      case FaultKind::Late: deviceTime_ += Micros{r.arg.value_or(0)} * 1000; break;
      case FaultKind::BadEcho: b ^= 0x01; break;
      default: continue;
    }
    if (inCommand_) cur_.faults.push_back(FormatFaultRule(r));
  }
  if (drop || silent_ || cablePulled_) return;
  if (inCommand_ && index > 0) cur_.out.push_back(b);
  if (output_.size() >= kMaxPendingOutput) {
    ++lostBytes_;
    return;
  }
  Micros at = deviceTime_;
  if (config_.pace) {
    at = std::max(at, lastOutEnd_) + ByteUs();
    lastOutEnd_ = at;
    deviceTime_ = at;
  }
  output_.push_back({b, at});
}

void Engine::Note(const std::string& s) {
  if (!inCommand_) return;
  if (!cur_.summary.empty()) cur_.summary += "; ";
  cur_.summary += s;
}

// ---------------------------------------------------------------------------
// Prompt and commands

Task<void> Engine::Main() {
  for (;;) {
    const uint8_t a = *co_await InAwaiter{this, std::nullopt, false};
    if (a != 'A') continue;
    uint8_t t = 'A';
    while (t == 'A') t = *co_await InAwaiter{this, std::nullopt, false};
    if (t != 'T') continue;

    ++prompts_;
    cmdFaults_ = faults_.MatchPrompt();
    for (const FaultRule& r : cmdFaults_) {
      if (r.kind == FaultKind::Cable) PullCable();
      if (r.kind == FaultKind::Silent) silent_ = true;
    }
    if (cablePulled_) continue;

    cur_ = CommandRecord{};
    cur_.startUs = deviceTime_;
    cur_.prompt = prompts_;
    for (const FaultRule& r : cmdFaults_) {
      if (r.kind == FaultKind::Silent) cur_.faults.push_back(FormatFaultRule(r));
    }
    inCommand_ = true;
    replyIndex_ = 0;
    Send('O');
    try {
      const uint8_t letter = co_await In();
      cur_.letter = letter;
      for (const FaultRule& r : faults_.MatchCommand(letter)) {
        if (r.kind == FaultKind::Silent) {
          silent_ = true;
          cur_.faults.push_back(FormatFaultRule(r));
        }
        cmdFaults_.push_back(r);
      }
      co_await Command(letter);
    } catch (const Abandoned&) {
      cur_.abandoned = true;
    }
    inCommand_ = false;
    log_.Append(std::move(cur_));
    cmdFaults_.clear();
  }
}

Task<void> Engine::Command(uint8_t c) {
  switch (c) {
    case 'B': {
      std::optional<uint8_t> value;
      for (const FaultRule& r : cmdFaults_) {
        if (r.kind == FaultKind::NoPack) {
          cur_.faults.push_back(FormatFaultRule(r));
          Note("pack: no answer");
          co_return;
        }
        if (r.kind == FaultKind::Pack) {
          cur_.faults.push_back(FormatFaultRule(r));
          value = static_cast<uint8_t>(r.arg.value_or(2));
        }
      }
      Send(value.value_or(config_.packCode));
      Note("pack " + Hex2(value.value_or(config_.packCode)));
      break;
    }
    case 'D': co_await BufferDownload(); break;
    case 'F': Note("pass"); break;
    case 'G': co_await GetMemory(); break;
    case 'H': co_await Setup(); break;
    case 'I': {
      const uint8_t r = co_await In();
      Send(regs_[r]);
      Note("r" + std::to_string(r) + " -> " + Hex2(regs_[r]));
      break;
    }
    case 'J': {
      bool pressed = keyLatch_;
      for (const FaultRule& r : cmdFaults_) {
        if (r.kind == FaultKind::Key) {
          pressed = true;
          cur_.faults.push_back(FormatFaultRule(r));
        }
      }
      keyLatch_ = false;
      Send(pressed ? 0 : 1);
      Note(pressed ? "start key pressed" : "start key up");
      break;
    }
    case 'L': co_await Download(false); break;
    case 'N': {
      const uint8_t p0 = co_await In();
      const uint8_t p1 = co_await In();
      autoMode_ = p1 != 0;
      Note("auto " + Hex2(p0) + " " + Hex2(p1) + (autoMode_ ? " (start)" : " (end)"));
      break;
    }
    case 'P': co_await Operate(); break;
    case 'Q': Note("quit"); break;
    case 'S': co_await Checksum(); break;
    case 'T': {
      const uint8_t m = co_await In();
      if (m <= 4) {
        rateCode_ = m;
        Note("mode " + Hex2(m) + ": rate " + std::to_string(ListeningBaud()));
      } else {
        Note("mode " + Hex2(m));
      }
      break;
    }
    case 'U': co_await BufferUpload(false); break;
    case 'V': Note("idle"); break;
    case 'W': {
      const uint8_t r = co_await In();
      const uint8_t v = co_await In();
      regs_[r] = v;
      Note("r" + std::to_string(r) + "=" + Hex2(v));
      break;
    }
    case 'X': co_await GetBlock(); break;
    case 'Y': co_await SetBlock(); break;
    case 'g': co_await Sram(); break;
    case 'h': co_await Map(); break;
    case 'i': {
      const uint8_t p0 = co_await In();
      const uint8_t p1 = co_await In();
      Note("sram query " + Hex2(p0) + " " + Hex2(p1));
      break;
    }
    case 'l': co_await Download(true); break;
    case 'u': co_await BufferUpload(true); break;
    case 'v': co_await Fill(); break;
    default: Note("unknown command " + Hex2(c) + ", ignored"); break;
  }
}

Task<void> Engine::Download(bool monitor) {
  if (monitor) {
    const uint8_t p0 = co_await In();
    const uint8_t p1 = co_await In();
    Note("header " + Hex2(p0) + " " + Hex2(p1));
    monitorLoaded_ = false;
  } else {
    driverLoaded_ = false;
  }
  const uint8_t lo = co_await In();
  const uint8_t hi = co_await In();
  const uint32_t n = DecodeCount2(lo, hi);
  std::vector<uint8_t> image;
  image.reserve(n);
  for (uint32_t i = 0; i < n; ++i) {
    const uint8_t b = co_await In();
    image.push_back(b);
    if (!monitor && 0x8000 + i < 0x10000) mem_[0x8000 + i] = b;
    Send(b);
  }
  Note(std::string(monitor ? "monitor " : "driver ") + std::to_string(n) + " bytes (count " + Hex2(lo) + " " +
       Hex2(hi) + ")");
  if (monitor) {
    monitor_ = std::move(image);
    monitorLoaded_ = true;
  } else {
    driver_ = std::move(image);
    driverLoaded_ = true;
  }
}

Task<void> Engine::GetMemory() {
  const uint8_t lo = co_await In();
  const uint8_t hi = co_await In();
  const uint8_t clo = co_await In();
  const uint8_t chi = co_await In();
  const uint32_t address = static_cast<uint32_t>(hi) << 8 | lo;
  const uint32_t n = DecodeCount2(clo, chi);
  Note("memory " + Hex6(address) + " x" + std::to_string(n));
  for (uint32_t i = 0; i < n; ++i) {
    Send(mem_[(address + i) & 0xFFFF]);
    co_await In();
  }
}

Task<void> Engine::Setup() {
  const uint8_t a = co_await In();
  const uint8_t b = co_await In();
  const uint8_t c = co_await In();
  const std::string params = Hex2(a) + " " + Hex2(b) + " " + Hex2(c);
  if (a == 'z' && b == 0 && c == 0xF0) {
    uint8_t code = 15;
    for (uint8_t k = 0; k <= 5; ++k) {
      if (config_.sramCardKB == (128u << k)) code = k;
    }
    Send(code);
    Note("card size query: " + Hex2(code));
  } else if (a == 'C' && b == 0 && c == 0xF0) {
    const uint8_t status =
        static_cast<uint8_t>((sram_.empty() ? 0x03 : 0x00) | (config_.sramWriteProtect && !sram_.empty() ? 0x04 : 0));
    Send(status);
    Note("card status query: " + Hex2(status));
  } else {
    Note("set-up " + params);
  }
}

uint32_t Engine::ZoneStart() const { return regs_[8] | regs_[9] << 8 | regs_[23] << 16; }
uint32_t Engine::ZoneBuffer() const { return regs_[12] | regs_[13] << 8 | regs_[25] << 16; }
uint32_t Engine::ZoneCount() const { return DecodeCount3(regs_[16], regs_[17], regs_[27]); }

Task<void> Engine::BufferDownload() {
  const uint32_t address = ZoneBuffer();
  const uint32_t n = ZoneCount();
  Note("internal " + Hex6(address) + " x" + std::to_string(n));
  for (uint32_t i = 0; i < n; ++i) {
    co_await In();
    Send(BufferAt(internal_, address + i));
  }
}

Task<void> Engine::BufferUpload(bool single) {
  const uint32_t address = ZoneBuffer();
  if (single) {
    const uint8_t b = co_await In();
    BufferAt(internal_, address) = b;
    Note("internal " + Hex6(address) + " := " + Hex2(b));
    co_return;
  }
  const uint32_t n = ZoneCount();
  for (uint32_t i = 0; i < n; ++i) BufferAt(internal_, address + i) = co_await In();
  const uint8_t closing = co_await In();
  Note("internal " + Hex6(address) + " x" + std::to_string(n) + (closing ? ", closing byte " + Hex2(closing) : ""));
}

Task<void> Engine::Checksum() {
  const uint8_t bank = co_await In();
  const uint8_t lo = co_await In();
  const uint8_t mid = co_await In();
  const uint8_t l0 = co_await In();
  const uint8_t l1 = co_await In();
  const uint8_t l2 = co_await In();
  const uint32_t start = (bank ? 0x10000u : 0u) | static_cast<uint32_t>(mid) << 8 | lo;
  const uint32_t n = DecodeCount3(l0, l1, l2);
  uint32_t sum = 0;
  for (uint32_t i = 0; i < n; ++i) sum += BufferAt(internal_, start + i);
  Spend(n);
  Note("checksum " + Hex6(start) + " x" + std::to_string(n) + " = " + Hex2(sum >> 8 & 0xFF) + Hex2(sum & 0xFF));
  Send(static_cast<uint8_t>(sum));
  co_await In();
  Send(static_cast<uint8_t>(sum >> 8));
}

Task<void> Engine::Fill() {
  const uint8_t value = co_await In();
  const uint32_t address = ZoneBuffer();
  const uint32_t n = ZoneCount();
  for (uint32_t i = 0; i < n; ++i) BufferAt(internal_, address + i) = value;
  Spend(n);
  Note("fill " + Hex6(address) + " x" + std::to_string(n) + " with " + Hex2(value));
  Send(0);
}

namespace {

// Space 0 addresses that are the configuration bytes 0-2.
int ConfigIndex(uint32_t address) {
  if (address >= 0xFFF8 && address <= 0xFFFA) return static_cast<int>(address - 0xFFF8);
  if (address >= 0xFD00 && address <= 0xFD02) return static_cast<int>(address - 0xFD00);
  return -1;
}

}  // namespace

Task<Engine::SpaceBlock> Engine::SpaceBlockHeader() {
  SpaceBlock block;
  block.space = co_await In();
  const uint8_t alo = co_await In();
  const uint8_t ahi = co_await In();
  const uint8_t clo = co_await In();
  const uint8_t chi = co_await In();
  block.address = static_cast<uint32_t>(ahi) << 8 | alo;
  block.count = DecodeCount2(clo, chi);
  Note("space " + std::to_string(block.space) + " " + Hex6(block.address) + " x" + std::to_string(block.count));
  co_return block;
}

uint8_t* Engine::SpaceCell(uint8_t space, uint32_t address) {
  if (space == 0) {
    const int k = ConfigIndex(address);
    return k >= 0 ? &regs_[95 + k] : &space0_[address];
  }
  if (space == 1) return &space1_[address];
  return nullptr;
}

Task<void> Engine::GetBlock() {
  const SpaceBlock block = co_await SpaceBlockHeader();
  for (uint32_t i = 0; i < block.count; ++i) {
    const uint8_t* cell = SpaceCell(block.space, (block.address + i) & 0xFFFF);
    Send(cell ? *cell : 0xFF);
    co_await In();
  }
}

Task<void> Engine::SetBlock() {
  const SpaceBlock block = co_await SpaceBlockHeader();
  for (uint32_t i = 0; i < block.count; ++i) {
    const uint8_t b = co_await In();
    if (uint8_t* cell = SpaceCell(block.space, (block.address + i) & 0xFFFF)) *cell = b;
  }
}

Task<void> Engine::Sram() {
  const uint8_t zero = co_await In();
  const uint8_t function = co_await In();
  const uint8_t a16 = co_await In();
  const uint8_t a0 = co_await In();
  const uint8_t a8 = co_await In();
  const uint8_t l0 = co_await In();
  const uint8_t l1 = co_await In();
  const uint8_t l2 = co_await In();
  const uint32_t address = static_cast<uint32_t>(a16) << 16 | static_cast<uint32_t>(a8) << 8 | a0;
  const uint32_t n = DecodeCount3(l0, l1, l2);
  const bool card = !sram_.empty();
  const bool writable = card && !config_.sramWriteProtect;
  std::string what = "card " + Hex2(function) + " " + Hex6(address) + " x" + std::to_string(n);
  if (zero != 0) what += " (first byte " + Hex2(zero) + ")";
  Note(what);
  switch (function) {
    case 0xF1:
      for (uint32_t i = 0; i < n; ++i) {
        co_await In();
        Send(card ? BufferAt(sram_, address + i) : 0xFF);
      }
      break;
    case 0xF2: {
      for (uint32_t i = 0; i < n; ++i) {
        const uint8_t b = co_await In();
        if (writable) BufferAt(sram_, address + i) = b;
      }
      if (n != 1) co_await In();
      if (card && !writable) Note("write protected: nothing written");
      break;
    }
    case 0xF3: {
      uint32_t sum = 0;
      for (uint32_t i = 0; i < n && card; ++i) sum += BufferAt(sram_, address + i);
      Spend(n);
      Send(static_cast<uint8_t>(sum));
      co_await In();
      Send(static_cast<uint8_t>(sum >> 8));
      break;
    }
    case 0xF4: {
      const uint8_t value = co_await In();
      if (writable) {
        for (uint32_t i = 0; i < n; ++i) BufferAt(sram_, address + i) = value;
      }
      Spend(n);
      Send(!card ? 3 : writable ? 0 : 4);
      break;
    }
    default: Note("unknown card function"); break;
  }
}

Task<void> Engine::Map() {
  const uint8_t a = co_await In();
  const uint8_t b = co_await In();
  const uint8_t c = co_await In();
  if (b == 0xE6) mapCard_ = true;
  if (b == 0xF8) mapCard_ = false;
  Note("map " + Hex2(a) + " " + Hex2(b) + " " + Hex2(c) + (mapCard_ ? ": card" : ": internal"));
}

}  // namespace sim::programmer
