// The operations behind the operate command 'P': the chip model driven page
// by page, by stream or by block, as the host paces them.
#include <algorithm>

#include "sim/programmer/engine.h"
#include "sim/programmer/hex_text.h"

namespace sim::programmer {

namespace {

constexpr Micros kBlockParameterGapUs = 50'000;

const char* LinkName(int link) { return link == 0 ? "COM" : link == 1 ? "USB" : "LPT"; }

}  // namespace

void Engine::SetStopAddress(uint32_t address) {
  regs_[10] = static_cast<uint8_t>(address);
  regs_[11] = static_cast<uint8_t>(address >> 8);
  regs_[24] = static_cast<uint8_t>(address >> 16);
}

void Engine::FinalStatus(uint8_t status, std::optional<uint32_t> address) {
  if (address) SetStopAddress(*address);
  Send(status);
  Note("status " + Hex2(status) + (address ? " at " + Hex6(*address) : ""));
}

uint8_t Engine::VerifyRead(uint32_t address) const {
  const ChipParams& p = chip_.Params();
  if (p.weakAtLowSupply && *p.weakAtLowSupply == address && regs_[99] < p.lowSupplyBelow) return 0xFF;
  return chip_.Read(address);
}

bool Engine::PageTimesOut(uint32_t page) {
  for (const FaultRule& r : cmdFaults_) {
    if (r.kind == FaultKind::PageTimeout && r.byteIndex == page) {
      cur_.faults.push_back(FormatFaultRule(r));
      Note("page " + std::to_string(page) + " never answers: operation given up");
      return true;
    }
  }
  return false;
}

int Engine::BlockOfByte(uint8_t b) const {
  const uint8_t family = chip_.Params().family;
  if (family == 0x02) return b - 1;
  if (family == 0x03) {
    if (b == 6) return 1;
    if (b == 7) return 4;
    if (b == 1 || b == 4) return -1;
  }
  return b;
}

Task<void> Engine::Operate() {
  const uint8_t code = co_await In();
  const Micros codeAt = lastArrival_;
  const Link link = code >= 0xC0 ? Link::Lpt : code >= 0x80 ? Link::Usb : Link::Com;
  const uint8_t base = static_cast<uint8_t>(code >= 0xC0 ? code - 0x80 : code >= 0x80 ? code - 0x40 : code);
  const int linkIndex = static_cast<int>(link);
  std::string opName = "'" + std::string(1, static_cast<char>(base)) + "'";
  if (link != Link::Com) opName += std::string("+") + LinkName(linkIndex);
  Note("op " + opName);
  if (!driverLoaded_) {
    Send(kStatusNoDriver);
    Note("no driver: status " + Hex2(kStatusNoDriver));
    co_return;
  }
  chip_.SetFailAddress(std::nullopt);
  for (const FaultRule& r : faults_.ChipRules()) {
    if (r.kind == FaultKind::FailAt) chip_.SetFailAddress(r.arg);
  }
  const ChipParams& p = chip_.Params();
  // The table's place in space 1: a table of up to 256 bytes at 0xFF00, a longer one at 0.
  std::vector<uint8_t>& table = chip_.Table();
  const uint32_t tableBase = table.size() <= 256 ? 0xFF00 : 0;
  auto programTable = [&] {
    for (size_t i = 0; i < table.size(); ++i) table[i] = space1_[(tableBase + i) & 0xFFFF];
    Spend(Micros{p.fuseProgramMs} * 1000);
  };

  switch (base) {
    case 'P':
      if (p.driverId == 36 || p.driverId == 63 || p.driverId == 68) {
        co_await ProgramPasses('P');
      } else if (p.family == 0x08 || p.family == 0x26) {
        co_await ProgramVerified();
      } else {
        co_await ProgramPages(link);
      }
      break;
    case 'Y':
    case 'y': co_await ProgramPasses(base); break;
    case 'R': co_await ReadPages(link); break;
    case 'B': co_await CheckPages(link, true); break;
    case 'V': co_await CheckPages(link, false); break;
    case 'r': co_await ReadStream(link); break;
    case 'p':
    case 'v': {
      // Peek at the next byte's timing: a block number comes after a pause.
      const uint8_t first = co_await In();
      const bool late = lastArrival_ - codeAt >= kBlockParameterGapUs;
      if (late) {
        co_await BlockOp(static_cast<char>(base), first);
      } else if (base == 'v' && link == Link::Com) {
        if (first != 0xFF) Note("verify marker " + Hex2(first) + " is not FF");
        co_await VerifyStream(link, true);
      } else {
        // The stream's first byte: put back for the stream to take.
        input_.push_front({first, lastArrival_});
        if (!cur_.in.empty()) cur_.in.pop_back();
        if (base == 'p') {
          co_await ProgramStream(link);
        } else {
          co_await VerifyStream(link, false);
        }
      }
      break;
    }
    case 'b': co_await BlockOp('b', co_await In()); break;
    case 'e': co_await EraseOp(co_await In()); break;
    case 'L': co_await LockOp(co_await In()); break;
    case 'l': {
      const uint8_t param = co_await In();
      Note("lock bits " + Hex2(chip_.LockBits()) + (param ? " (parameter " + Hex2(param) + ")" : ""));
      Send(chip_.LockBits());
      Send(0);
      break;
    }
    case 't':
      Send(chip_.ClockMode() ? 0x80 : 0x00);
      Send(0);
      Note(chip_.ClockMode() ? "clock mode set" : "clock mode not set");
      break;
    case 'W':
      if (link == Link::Com) {
        const auto fuse = co_await InWithin(20);
        if (fuse && (*fuse == '1' || *fuse == '2')) {
          Spend(Micros{p.fuseProgramMs} * 1000);
          Note(std::string("fuse ") + static_cast<char>(*fuse));
          Send(kStatusOk);
        } else {
          if (fuse) input_.push_front({*fuse, lastArrival_});
          for (int i = 0; i < 4; ++i) chip_.Config()[i] = regs_[95 + i];
          Spend(Micros{p.fuseProgramMs} * 1000);
          Note("configuration " + Hex2(regs_[95]) + " " + Hex2(regs_[96]) + " " + Hex2(regs_[97]) + " " +
               Hex2(regs_[98]));
          Send(kStatusOk);
        }
      } else {
        const uint8_t fuse = co_await In();
        Spend(Micros{p.fuseProgramMs} * 1000);
        const bool ok = fuse == '1' || fuse == '2';
        Note("fuse " + Hex2(fuse));
        Send(ok ? kStatusOk : kStatusBadParameter);
      }
      break;
    // Codes sent without the link offset.
    case 'E':
      if (p.eraseKind == 0) {
        if (p.securityTableSize == 0) {
          Send(kStatusNotErasable);
          Note("not erasable");
          break;
        }
        programTable();
        Note("table programmed");
        Send(kStatusOk);
        break;
      }
      chip_.Erase();
      Spend(Micros{p.chipEraseMs} * 1000);
      Note("chip erased");
      Send(kStatusOk);
      break;
    case 'N':
      programTable();
      Note("table programmed, " + std::to_string(table.size()) + " bytes");
      Send(table.empty() ? kStatusBadParameter : kStatusOk);
      break;
    case 'n':
      for (size_t i = 0; i < table.size(); ++i) space1_[(tableBase + i) & 0xFFFF] = table[i];
      Note("table read");
      Send(kStatusOk);
      break;
    case 'S': {
      const auto id = chip_.Id();
      auto shown = id;
      for (const FaultRule& r : faults_.ChipRules()) {
        if (r.kind != FaultKind::ChipId) continue;
        for (size_t i = 0; i < 4; ++i) shown[i] = i < r.bytes.size() ? r.bytes[i] : id[i];
        cur_.faults.push_back(FormatFaultRule(r));
      }
      regs_[22] = shown[0];
      regs_[31] = shown[1];
      regs_[86] = shown[2];
      regs_[87] = shown[3];
      Note("id " + Hex2(shown[0]) + " " + Hex2(shown[1]) + " " + Hex2(shown[2]) + " " + Hex2(shown[3]));
      Send(kStatusOk);
      break;
    }
    case 'x':
      Spend(Micros{p.fuseProgramMs} * 1000);
      if (p.hasClockMode) chip_.SetClockMode(true);
      Note(p.hasClockMode ? "clock mode programmed" : "no clock mode");
      Send(p.hasClockMode ? kStatusOk : kStatusBadParameter);
      break;
    case 'O':
      for (int i = 0; i < 4; ++i) regs_[95 + i] = chip_.Config()[i];
      Note("configuration read");
      Send(kStatusOk);
      break;
    case 'G':
      regs_[2] = chip_.SerialFuse();
      Note("serial fuse " + Hex2(chip_.SerialFuse()));
      Send(kStatusOk);
      break;
    case 's':
    case 'D':
      chip_.SetSerialFuse(base == 's' ? 1 : 0);
      Spend(Micros{p.fuseProgramMs} * 1000);
      Note(base == 's' ? "serial programming enabled" : "serial programming disabled");
      Send(kStatusOk);
      break;
    default: Note("unknown operation " + Hex2(code) + ", ignored"); break;
  }
}

// ---------------------------------------------------------------------------
// Programmer-held buffer, page by page

Engine::Plan Engine::ZonePlan(bool usb) const {
  Plan plan;
  plan.start = ZoneStart();
  plan.end = plan.start + ZoneCount() - 1;
  plan.shift = usb ? 16 : 8;
  plan.pages = ((plan.end + 1) >> plan.shift) - (plan.start >> plan.shift);
  if (usb && chip_.Size() <= 0x10000 && plan.pages == 1) plan.pages = 0;
  return plan;
}

Task<bool> Engine::RunPages(const Plan& plan, const std::string& what, const PageWork& work) {
  Note(what + Hex6(plan.start) + "-" + Hex6(plan.end) + ", " + std::to_string(plan.pages) + " pages");
  uint32_t a = plan.start;
  uint8_t status = kStatusOk;
  for (uint32_t i = 0; i < plan.pages; ++i) {
    if (co_await In() != 0) {
      FinalStatus(kStatusAborted, a);
      co_return false;
    }
    if (PageTimesOut(i + 1)) co_return false;
    if (!work(a, plan.PageEnd(i), &status)) {
      Send(status);
      FinalStatus(status, a);
      co_return false;
    }
    Send(kStatusOk);
  }
  if (!work(a, plan.end, &status)) {
    FinalStatus(status, a);
    co_return false;
  }
  co_return true;
}

Task<void> Engine::ProgramPages(Link link) {
  const Plan plan = ZonePlan(link == Link::Usb);
  const uint32_t bufferStart = ZoneBuffer();
  auto& buffer = OpBuffer();
  auto programTo = [&](uint32_t& a, uint32_t last, uint8_t* status) -> bool {
    for (; a <= last; ++a) {
      Spend(chip_.Params().byteProgramUs);
      if (!chip_.Contains(a) || chip_.WriteLocked()) {
        *status = chip_.WriteLocked() ? kStatusLocked : kStatusBadParameter;
        return false;
      }
      if (!chip_.Program(a, BufferAt(buffer, bufferStart + (a - plan.start)))) {
        *status = kStatusFailed;
        return false;
      }
    }
    return true;
  };
  if (co_await RunPages(plan, "program ", programTo)) FinalStatus(kStatusOk, plan.end);
}

Task<void> Engine::ProgramPasses(uint8_t which) {
  const Plan plan = ZonePlan(false);
  const uint32_t start = plan.start, end = plan.end;
  const uint32_t bufferStart = ZoneBuffer();
  auto& buffer = OpBuffer();
  const uint32_t step = which == 'P' ? 1 : 2;
  const uint32_t offset = which == 'y' ? 1 : 0;
  Note(std::string("program in passes (") + static_cast<char>(which) + ") " + Hex6(start) + "-" + Hex6(end));
  auto programRange = [&](uint32_t from, uint32_t last, uint32_t* failAt) -> bool {
    for (uint32_t a = from; a <= last; ++a) {
      Spend(chip_.Params().byteProgramUs);
      if (!chip_.Program(a, BufferAt(buffer, bufferStart + offset + (a - start) * step))) {
        *failAt = a;
        return false;
      }
    }
    return true;
  };
  bool pageFailed = false;
  uint32_t failAt = start;
  for (uint32_t pass = 1; pass <= 10; ++pass) {
    const uint8_t begin = co_await In();
    if (begin != 0) co_return FinalStatus(kStatusAborted, start);
    Send(0);
    ++passCount_;
    uint32_t a = start;
    const uint32_t pagesThisPass = pageFailed ? std::min<uint32_t>(plan.pages, 1) : plan.pages;
    for (uint32_t i = 0; i < pagesThisPass; ++i) {
      const uint8_t hs = co_await In();
      if (hs != 0) {
        co_await In();  // the host sends its 1 twice
        co_return FinalStatus(kStatusAborted, a);
      }
      const uint32_t last = plan.PageEnd(i);
      if (!pageFailed && !programRange(a, last, &failAt)) {
        pageFailed = true;
        Send(kStatusFailed);
        break;
      }
      a = last + 1;
      Send(pageFailed ? kStatusFailed : kStatusOk);
    }
    if (!pageFailed && !programRange(a, end, &failAt)) pageFailed = true;
    co_await In();  // end of pass
    const uint8_t passStatus = pageFailed ? 2 : pass >= chip_.Params().passesNeeded ? 0 : 1;
    Send(passStatus);
    Note("pass " + std::to_string(pass) + ": " + Hex2(passStatus));
    if (passStatus == 0 || passStatus == 2) {
      co_await In();  // the host's 1
      if (passStatus == 0) co_return FinalStatus(kStatusOk, end);
      co_return FinalStatus(kStatusFailed, failAt);
    }
  }
  co_await In();  // the host's 1 after the tenth pass
  FinalStatus(kStatusFailed, start);
}

Task<void> Engine::ProgramVerified() {
  const Plan plan = ZonePlan(false);
  const uint32_t bufferStart = ZoneBuffer();
  auto& buffer = OpBuffer();
  Note("program with check passes " + Hex6(plan.start) + "-" + Hex6(plan.end));
  auto expected = [&](uint32_t a) { return BufferAt(buffer, bufferStart + (a - plan.start)); };
  auto firstMismatch = [&](uint32_t from, uint32_t last) -> std::optional<uint32_t> {
    for (uint32_t a = from; a <= last; ++a) {
      Spend(chip_.Params().byteReadUs);
      if (VerifyRead(a) != expected(a)) return a;
    }
    return std::nullopt;
  };
  std::optional<uint32_t> failAt;
  bool checked = false;
  for (int cycle = 1; cycle <= 4 && !checked; ++cycle) {
    uint32_t a = plan.start;
    for (uint32_t i = 0; i < plan.pages; ++i) {
      if (co_await In() != 0) co_return FinalStatus(kStatusAborted, a);
      for (; a <= plan.PageEnd(i); ++a) {
        Spend(chip_.Params().byteProgramUs);
        chip_.Program(a, expected(a));
      }
      Send(0);
    }
    for (; a <= plan.end; ++a) chip_.Program(a, expected(a));
    Send(0xAA);
    co_await In();  // 'U'
    bool failed = false;
    a = plan.start;
    for (uint32_t j = 0; j < plan.pages; ++j) {
      if (co_await In() != 0) {
        failed = true;
        break;
      }
      failAt = firstMismatch(a, plan.PageEnd(j));
      a = plan.PageEnd(j) + 1;
      if (failAt) {
        Send(kStatusFailed);
        failed = true;
        break;
      }
      Send(0);
    }
    Note("cycle " + std::to_string(cycle) + (failed ? ": check failed" : ": checked"));
    if (!failed) {
      checked = true;
    } else if (cycle == 4) {
      co_return FinalStatus(kStatusFailed, failAt.value_or(plan.start));
    }
  }
  // Closing check pass: every page answered, failures included.
  bool anyFail = false;
  uint32_t a = plan.start;
  for (uint32_t j = 0; j < plan.pages; ++j) {
    if (co_await In() != 0) {
      anyFail = true;
      break;
    }
    const auto bad = firstMismatch(a, plan.PageEnd(j));
    a = plan.PageEnd(j) + 1;
    if (bad && !failAt) failAt = bad;
    anyFail = anyFail || bad.has_value();
    Send(bad ? kStatusFailed : 0);
  }
  const auto tailBad = a <= plan.end ? firstMismatch(a, plan.end) : std::nullopt;
  Send(0xAA);
  co_await In();  // 'U'
  if (anyFail) {
    SetStopAddress(failAt.value_or(plan.start));
    Note("closing check failed");
    co_return;  // the host reads no final status then
  }
  if (tailBad) co_return FinalStatus(kStatusFailed, *tailBad);
  FinalStatus(kStatusOk, plan.end);
}

Task<void> Engine::ReadPages(Link link) {
  const Plan plan = ZonePlan(link == Link::Usb);
  const uint32_t bufferStart = ZoneBuffer();
  auto& buffer = OpBuffer();
  auto readTo = [&](uint32_t& a, uint32_t last, uint8_t*) {
    for (; a <= last; ++a) {
      Spend(chip_.Params().byteReadUs);
      BufferAt(buffer, bufferStart + (a - plan.start)) = chip_.Read(a);
    }
    return true;
  };
  if (co_await RunPages(plan, "read ", readTo)) FinalStatus(chip_.ReadLocked() ? kStatusLocked : kStatusOk, plan.end);
}

Task<void> Engine::CheckPages(Link link, bool blank) {
  const Plan plan = ZonePlan(link == Link::Usb);
  const uint32_t bufferStart = ZoneBuffer();
  auto& buffer = OpBuffer();
  std::string what = blank ? "blank check " : "verify ";
  if (!blank) what += "(levels " + Hex2(regs_[99]) + " " + Hex2(regs_[100]) + " " + Hex2(regs_[101]) + ") ";
  auto checkTo = [&](uint32_t& a, uint32_t last, uint8_t* status) -> bool {
    for (; a <= last; ++a) {
      Spend(chip_.Params().byteReadUs);
      if (chip_.ReadLocked()) {
        *status = kStatusLocked;
        return false;
      }
      const uint8_t want = blank ? 0xFF : BufferAt(buffer, bufferStart + (a - plan.start));
      if (!chip_.Contains(a) || (blank ? chip_.Read(a) : VerifyRead(a)) != want) {
        *status = kStatusFailed;
        return false;
      }
    }
    return true;
  };
  if (co_await RunPages(plan, what, checkTo)) FinalStatus(kStatusOk, plan.end);
}

// ---------------------------------------------------------------------------
// Streams from and to the PC's buffer

Task<void> Engine::ProgramStream(Link link) {
  const uint32_t start = ZoneStart();
  const uint32_t end = start + ZoneCount() - 1;
  const uint32_t boundaryMask = link == Link::Usb ? 0xFFFF : 0xFF;
  Note("program stream " + Hex6(start) + "-" + Hex6(end));
  std::optional<uint32_t> failAt;
  uint8_t status = kStatusOk;
  for (uint32_t a = start; a <= end; ++a) {
    const uint8_t b = co_await In();
    bool failedNow = false;
    if (!failAt) {
      Spend(chip_.Params().byteProgramUs);
      if (!chip_.Contains(a) || chip_.WriteLocked()) {
        status = chip_.WriteLocked() ? kStatusLocked : kStatusBadParameter;
        failAt = a;
        failedNow = true;
      } else if (!chip_.Program(a, b)) {
        status = kStatusFailed;
        failAt = a;
        failedNow = true;
      }
    }
    if (link == Link::Com) Send(failedNow ? status : kStatusOk);
    if ((a & boundaryMask) == boundaryMask) {
      if (co_await In() != 0) co_return FinalStatus(kStatusAborted, a);
      Send(failAt ? status : kStatusOk);
      if (failAt) co_return FinalStatus(status, *failAt);
    } else if (link == Link::Com && failAt) {
      co_return FinalStatus(status, *failAt);
    }
  }
  if (failAt) co_return FinalStatus(status, *failAt);
  FinalStatus(kStatusOk, end);
}

Task<void> Engine::ReadStream(Link link) {
  const uint32_t start = ZoneStart();
  const uint32_t end = start + ZoneCount() - 1;
  Note("read stream " + Hex6(start) + "-" + Hex6(end));
  for (uint32_t a = start; a <= end; ++a) {
    if (link != Link::Usb) {
      if (co_await In() != 0) co_return FinalStatus(kStatusAborted, a);
    }
    Spend(chip_.Params().byteReadUs);
    Send(chip_.Read(a));
    const uint32_t mask = link == Link::Usb ? 0xFFFF : 0xFF;
    if (link != Link::Com && (a & mask) == mask) {
      if (co_await In() != 0) co_return FinalStatus(kStatusAborted, a);
      Send(0);
    }
  }
  FinalStatus(chip_.ReadLocked() ? kStatusLocked : kStatusOk, end);
}

Task<void> Engine::VerifyStream(Link link, bool comMarker) {
  const uint32_t start = ZoneStart();
  const uint32_t end = start + ZoneCount() - 1;
  const uint32_t boundaryMask = link == Link::Usb ? 0xFFFF : 0xFF;
  Note("verify stream (levels " + Hex2(regs_[99]) + " " + Hex2(regs_[100]) + " " + Hex2(regs_[101]) + ") " +
       Hex6(start) + "-" + Hex6(end));
  if (comMarker) Send(0);
  std::optional<uint32_t> failAt;
  uint8_t status = kStatusOk;
  for (uint32_t a = start; a <= end; ++a) {
    const uint8_t b = co_await In();
    Spend(chip_.Params().byteReadUs);
    if (!failAt) {
      if (chip_.ReadLocked()) {
        status = kStatusLocked;
        failAt = a;
      } else if (!chip_.Contains(a) || VerifyRead(a) != b) {
        status = kStatusFailed;
        failAt = a;
      }
    }
    if ((a & boundaryMask) == boundaryMask) {
      if (co_await In() != 0) co_return FinalStatus(kStatusAborted, a);
      Send(failAt ? status : kStatusOk);
      if (failAt) co_return FinalStatus(status, *failAt);
    }
  }
  if (failAt) co_return FinalStatus(status, *failAt);
  FinalStatus(kStatusOk, end);
}

// ---------------------------------------------------------------------------
// One block, erase, lock bits

Task<void> Engine::BlockOp(char op, uint8_t blockByte) {
  const int block = BlockOfByte(blockByte);
  uint32_t first = 0, last = 0;
  Note(std::string(op == 'p' ? "program" : op == 'b' ? "blank check" : "verify") + " block " + Hex2(blockByte));
  if (!chip_.BlockRange(block, &first, &last)) co_return FinalStatus(kStatusBadParameter);
  const uint32_t start = ZoneStart();
  const uint32_t bufferStart = ZoneBuffer();
  auto& buffer = OpBuffer();
  for (uint32_t a = first; a <= last; ++a) {
    const uint8_t want = op == 'b' ? 0xFF : BufferAt(buffer, bufferStart + (a - start));
    if (op == 'p') {
      Spend(chip_.Params().byteProgramUs);
      if (chip_.WriteLocked()) co_return FinalStatus(kStatusLocked, a);
      if (!chip_.Program(a, want)) co_return FinalStatus(kStatusFailed, a);
    } else {
      Spend(chip_.Params().byteReadUs);
      if (chip_.ReadLocked()) co_return FinalStatus(kStatusLocked, a);
      if ((op == 'b' ? chip_.Read(a) : VerifyRead(a)) != want) co_return FinalStatus(kStatusFailed, a);
    }
  }
  FinalStatus(kStatusOk, last);
}

Task<void> Engine::EraseOp(uint8_t param) {
  const ChipParams& p = chip_.Params();
  if (param == 'A' || param == 'F') {
    const bool ok = chip_.Erase();
    Spend(Micros{p.chipEraseMs} * 1000);
    Note(param == 'A' ? "erase whole chip" : "full erase");
    Send(ok ? kStatusOk : kStatusNotErasable);
    co_return;
  }
  const bool ok = chip_.EraseBlock(BlockOfByte(param));
  Spend(Micros{p.blockEraseMs} * 1000);
  Note("erase block " + Hex2(param));
  Send(ok ? kStatusOk : p.eraseKind == 0 ? kStatusNotErasable : kStatusBadParameter);
}

Task<void> Engine::LockOp(uint8_t param) {
  const ChipParams& p = chip_.Params();
  Spend(Micros{p.fuseProgramMs} * 1000);
  if (p.family == 0x07) {
    chip_.SetLockByte(param);
    Note("lock byte " + Hex2(param));
    Send(kStatusOk);
    co_return;
  }
  int bit = -1;
  if (param >= '0' && param <= '2') bit = param - '0';
  if (param <= 5) bit = param;
  const bool ok = bit >= 0 && chip_.ProgramLockBit(bit);
  Note("lock bit " + std::to_string(bit));
  Send(ok ? kStatusOk : kStatusBadParameter);
}

}  // namespace sim::programmer
