#include "ide/link/cmd_set.h"

#include <algorithm>

#include "platform/clock.h"

namespace vx930 {

namespace {

constexpr std::size_t kShortReply = kIceFrameOverhead;  // [R0][R1][R2][Code][Chk]

uint8_t Hi(uint16_t a) { return static_cast<uint8_t>(a >> 8); }
uint8_t Lo(uint16_t a) { return static_cast<uint8_t>(a & 0xFF); }

void Pause() { platform::CurrentClock().Sleep(CCmdSet::kPauseMs); }
uint32_t Now() { return platform::CurrentClock().Tick(); }

}  // namespace

// ---- frame core ------------------------------------------------------------

void CCmdSet::SaveHeader(std::span<const uint8_t, 4> header) {
  std::copy(header.begin(), header.end(), LastHeader_.begin());
}

bool CCmdSet::CheckSum(const uint8_t* reply, std::size_t received) const {
  if (!reply || received == 0) return false;
  return FrameChecksum({reply, received - 1}) == reply[received - 1];
}

bool CCmdSet::CheckReply(const uint8_t* reply, std::size_t received) const {
  // Anything shorter than a header and a checksum has no Code to compare.
  return received >= kShortReply && CheckSum(reply, received) && reply[3] == LastHeader_[3];
}

// ---- keeping the line in step -------------------------------------------------

bool CCmdSet::ReadLine(uint8_t* buffer, std::size_t n, uint32_t timeoutMs, std::size_t& received) {
  const uint32_t start = Now();
  uint32_t got = 0;
  const bool ok = port_->ReadPort(buffer, static_cast<uint32_t>(n), got, timeoutMs);
  received = got;
  if (!ok) {
    quietFrom_.reset();
    return false;
  }
  // A read that brought nothing heard silence from its start: bytes that had
  // come before it would have been delivered.
  if (got == 0) {
    if (!quietFrom_) quietFrom_ = start;
  } else {
    quietFrom_ = Now();
  }
  return true;
}

void CCmdSet::Unsettle(uint32_t replyMs) {
  unsettled_ = true;
  settleMs_ = std::max(settleMs_, replyMs);
}

void CCmdSet::Discard() {
  port_->PurgeRx();
  quietFrom_ = Now();  // what was dropped may have come a moment ago
}

bool CCmdSet::Settle() {
  const uint32_t need = settleMs_;
  const uint32_t start = Now();
  uint8_t byte = 0;
  for (;;) {
    const uint32_t quiet = quietFrom_ ? Now() - *quietFrom_ : 0;
    std::size_t got = 0;
    if (!ReadLine(&byte, 1, quiet >= need ? 0 : need - quiet, got)) return false;
    if (got == 0 && quietFrom_ && Now() - *quietFrom_ >= need) break;
    if (got > 0) Discard();  // still arriving: the quiet starts again
    if (Now() - start >= 2 * need) return false;
  }
  port_->PurgeRx();  // nothing has come since the line was last heard
  unsettled_ = false;
  confirm_ = true;
  return true;
}

bool CCmdSet::PrepareToSend(uint32_t replyMs) {
  if (!unsettled_) {
    uint8_t byte = 0;
    std::size_t got = 0;
    if (!ReadLine(&byte, 1, 0, got)) return false;
    if (got > 0) Unsettle(replyMs);  // an answer nobody waited for: the board is behind
  }
  if (unsettled_) return Settle();
  port_->PurgeRx();
  return true;
}

bool CCmdSet::Alone(uint32_t replyMs) {
  if (!confirm_) return true;
  uint8_t byte = 0;
  std::size_t got = 0;
  if (!ReadLine(&byte, 1, replyMs, got)) return false;
  if (got > 0) {
    // Another reply behind the one taken: that one was late, this request's
    // answer follows it. Neither can be trusted.
    Discard();
    Unsettle(replyMs);
    return false;
  }
  confirm_ = false;
  unsettled_ = false;
  settleMs_ = 0;
  return true;
}

CCmdSet::Read CCmdSet::ReadReply(Reply& reply, std::size_t n, uint32_t timeoutMs, Check check) {
  // A cleared buffer and the full length: a short read can never be judged
  // over bytes a previous reply left behind.
  reply.fill(0);
  std::size_t got = 0;
  if (!ReadLine(reply.data(), n, timeoutMs, got) || got != n || !(this->*check)(reply, n)) {
    Unsettle(timeoutMs);
    return Read::Bad;
  }
  return Alone(timeoutMs) ? Read::Good : Read::OutOfTurn;
}

bool CCmdSet::StatusOk(const Reply& reply, std::size_t n) const {
  return CheckSum(reply.data(), n) && (reply[3] == stBusy || reply[3] == stReady);
}

bool CCmdSet::SendWhole(const IceFrame& frame, uint32_t replyMs) {
  if (!PrepareToSend(replyMs)) return false;
  const std::vector<uint8_t> bytes = frame.Bytes();
  uint32_t written = 0;
  if (port_->WritePort(bytes.data(), static_cast<uint32_t>(bytes.size()), written)) return true;
  Unsettle(replyMs);  // a part of the frame may be on its way
  return false;
}

bool CCmdSet::SendInThree(const IceFrame& frame, uint32_t replyMs) {
  if (!PrepareToSend(replyMs)) return false;
  uint32_t written = 0;
  if (port_->WritePort(frame.header.data(), 4, written) &&
      port_->WritePort(frame.payload.data(), static_cast<uint32_t>(frame.payload.size()), written) &&
      port_->WritePort(&frame.chk, 1, written))
    return true;
  Unsettle(replyMs);
  return false;
}

// ---- exchange patterns -----------------------------------------------------

bool CCmdSet::Repeated(const IceFrame& frame, Reply& reply, std::size_t n, int tries, bool pause,
                       bool purgeOnBadReply) {
  const uint32_t replyMs = COM_Port::ReadTimeoutMs(static_cast<uint32_t>(n));
  for (int t = 0; t < tries; ++t) {
    if (SendWhole(frame, replyMs)) {
      const Read r = ReadReply(reply, n, replyMs, &CCmdSet::ReplyOk);
      if (r == Read::Good) return true;
      if (purgeOnBadReply && r == Read::Bad) Discard();
    }
    if (pause) Pause();
  }
  return false;
}

bool CCmdSet::ReadTwice(Reply& reply, std::size_t n, uint32_t timeoutMs, Check check) {
  // The second read catches a reply that came after the first read's time-out.
  for (int r = 0; r < 2; ++r) {
    const Read result = ReadReply(reply, n, timeoutMs, check);
    if (result == Read::Good) return true;
    if (result == Read::OutOfTurn) break;
  }
  return false;
}

bool CCmdSet::SingleSend(const IceFrame& frame, Reply& reply, std::size_t n) {
  const uint32_t replyMs = COM_Port::ReadTimeoutMs(static_cast<uint32_t>(n));
  return SendWhole(frame, replyMs) && ReadTwice(reply, n, replyMs, &CCmdSet::ReplyOk);
}

bool CCmdSet::BlockSend(const IceFrame& frame, Reply& reply, std::size_t n) {
  const uint32_t replyMs = COM_Port::ReadTimeoutMs(static_cast<uint32_t>(n));
  if (SendInThree(frame, replyMs) && ReadTwice(reply, n, replyMs, &CCmdSet::ReplyOk)) return true;
  Pause();
  return false;
}

bool CCmdSet::BusyCheck(uint8_t& status) {
  if (!port_) return false;
  const IceFrame frame = *MakeFrame(0, 0, icBusyCheck);
  Reply reply;
  for (int pass = 0; pass < 2; ++pass) {
    if (SendWhole(frame, kBusyReadMs) && ReadTwice(reply, kShortReply, kBusyReadMs, &CCmdSet::StatusOk)) {
      status = reply[3];
      return true;
    }
    Pause();
  }
  return false;
}

bool CCmdSet::WaitReady() {
  const uint32_t start = Now();
  for (;;) {
    uint8_t status = 0;
    if (!BusyCheck(status)) return false;
    if (status == stReady) return true;
    if (platform::ElapsedSince(start) >= kBusyPollLimitMs) return false;
  }
}

// ---- request shapes --------------------------------------------------------

bool CCmdSet::Simple(IceCommand cmd, uint8_t p1, uint8_t p2, int tries, bool pause) {
  if (!port_) return false;
  const IceFrame frame = *MakeFrame(p1, p2, cmd);
  SaveHeader(frame.header);
  Reply reply;
  return Repeated(frame, reply, kShortReply, tries, pause);
}

bool CCmdSet::SingleShort(IceCommand cmd, uint8_t p1, uint8_t p2, std::span<const uint8_t> payload) {
  if (!port_) return false;
  const auto frame = MakeFrame(p1, p2, cmd, payload);
  if (!frame) return false;
  SaveHeader(frame->header);
  Reply reply;
  return SingleSend(*frame, reply, kShortReply);
}

bool CCmdSet::BlockShort(IceCommand cmd, uint8_t p1, uint8_t p2, std::span<const uint8_t> payload) {
  if (!port_) return false;
  const auto frame = MakeFrame(p1, p2, cmd, payload);
  if (!frame) return false;
  SaveHeader(frame->header);
  Reply reply;
  return BlockSend(*frame, reply, kShortReply);
}

bool CCmdSet::FetchData(IceCommand cmd, uint8_t p2, std::span<uint8_t> out, std::size_t n, bool repeated) {
  if (!port_ || n > kIceMaxPayload || out.size() < n) return false;
  const IceFrame frame = *MakeFrame(0, p2, cmd);
  SaveHeader(frame.header);
  Reply reply;
  const std::size_t length = n + kIceFrameOverhead;
  const bool ok = repeated ? Repeated(frame, reply, length, 2, false) : SingleSend(frame, reply, length);
  if (!ok) return false;
  std::copy_n(reply.begin() + 4, n, out.begin());
  return true;
}

bool CCmdSet::ReqList(IceCommand cmd, std::span<const uint8_t> addresses, std::size_t n, std::size_t bytesPerAddress) {
  // The fetch counts the values in one byte, the request the address bytes.
  if (n > kIceMaxPayload || n * bytesPerAddress > kIceMaxPayload || addresses.size() < n * bytesPerAddress)
    return false;
  return SingleShort(cmd, 0, 0, addresses.first(n * bytesPerAddress));
}

// ---- run control -----------------------------------------------------------

bool CCmdSet::ResetICE() {
  if (!port_) return false;
  const IceFrame frame = *MakeFrame(0, 0, icReset);
  SaveHeader(frame.header);
  Reply reply;
  return Repeated(frame, reply, kShortReply, 3, false, /*purgeOnBadReply=*/true);
}

bool CCmdSet::RunICE() { return Simple(icRun, 0, 0, 2, false); }

bool CCmdSet::StepICE() { return SingleShort(icStep, 0, 0); }

bool CCmdSet::RunRange(uint16_t a, uint16_t b) {
  if (!port_) return false;
  const uint8_t payload[2] = {Hi(b), Lo(b)};
  const IceFrame frame = *MakeFrame(Hi(a), Lo(a), icRunRange, payload);
  SaveHeader(frame.header);
  Reply reply;
  return Repeated(frame, reply, kShortReply, 2, false);
}

bool CCmdSet::StopICE() { return Simple(icStop, 0, 0, 2, false); }

// ---- breakpoints -----------------------------------------------------------

bool CCmdSet::TxBrkPnt(std::span<const BreakPointRec> table, std::size_t n) {
  if (!port_ || n > table.size() || n * 4 > kIceMaxPayload) return false;
  std::vector<uint8_t> payload;
  payload.reserve(n * 4);
  for (std::size_t i = 0; i < n; ++i) {
    const BreakPointRec& bp = table[i];
    payload.push_back(static_cast<uint8_t>(bp.address >> 8));
    payload.push_back(static_cast<uint8_t>(bp.address));
    payload.push_back(bp.enabled ? 1 : 0);
    payload.push_back(static_cast<uint8_t>(bp.passCount + 1));
  }
  const bool ok = BlockShort(icTxBrkPnt, 0, 0, payload);
  if (ok) Pause();  // a failed block send has paused already
  return ok;
}

bool CCmdSet::ClearBrkPnt() { return Simple(icClearBrkPnt, 0, 0, 2, true); }

// ---- SFR block ---------------------------------------------------------------

bool CCmdSet::RxSFR(std::span<uint8_t, kSfrBlockSize> out) { return ReqSFR() && WaitReady() && FetchSFR(out); }

bool CCmdSet::ReqSFR() { return Simple(icReqSFR, 0, 0, 2, false); }

bool CCmdSet::FetchSFR(std::span<uint8_t, kSfrBlockSize> out) {
  return FetchData(icFetchSFR, 0, out, kSfrBlockSize, /*repeated=*/true);
}

bool CCmdSet::TxSFR(std::span<const uint8_t> bytes) { return BlockShort(icTxSFR, 0, 0, bytes); }

// ---- internal RAM ------------------------------------------------------------

bool CCmdSet::RxInRAM(Block out, uint8_t s) { return ReqInRAM(s) && WaitReady() && FetchInRAM(out); }

bool CCmdSet::ReqInRAM(uint8_t s) { return SingleShort(icReqInRAM, 0, s); }

bool CCmdSet::FetchInRAM(Block out) { return FetchData(icFetchInRAM, 0, out, kIceBlockSize, false); }

bool CCmdSet::TxInRAM(uint16_t address, ConstBlock bytes) {
  return BlockShort(icTxInRAM, Hi(address), Lo(address), bytes);
}

// ---- 1 KB RAM ----------------------------------------------------------------

bool CCmdSet::Rx1kRAM(Block out, uint16_t address) { return Req1kRAM(address) && WaitReady() && Fetch1kRAM(out); }

bool CCmdSet::Req1kRAM(uint16_t address) { return SingleShort(icReq1kRAM, Hi(address), Lo(address)); }

bool CCmdSet::Fetch1kRAM(Block out) { return FetchData(icFetch1kRAM, 0, out, kIceBlockSize, false); }

bool CCmdSet::Tx1kRAM(uint16_t address, ConstBlock bytes) {
  return BlockShort(icTx1kRAM, Hi(address), Lo(address), bytes);
}

bool CCmdSet::Tx1kByte(uint16_t address, uint8_t value) {
  const uint8_t payload[1] = {value};
  return BlockShort(icTx1kRAM, Hi(address), Lo(address), payload);
}

// ---- scattered reads ---------------------------------------------------------

bool CCmdSet::ReqInRAMList(std::span<const uint8_t> addresses, std::size_t n) {
  return ReqList(icReqInRAMList, addresses, n, 1);
}

bool CCmdSet::Req1kRAMList(std::span<const uint8_t> addresses, std::size_t n) {
  return ReqList(icReq1kRAMList, addresses, n, 2);
}

bool CCmdSet::ReqExRAMList(std::span<const uint8_t> addresses, std::size_t n) {
  return ReqList(icReqExRAMList, addresses, n, 2);
}

bool CCmdSet::FetchInRAMList(std::span<uint8_t> out, std::size_t n) {
  return n <= kIceMaxPayload && FetchData(icFetchInRAMList, static_cast<uint8_t>(n), out, n, false);
}

bool CCmdSet::Fetch1kRAMList(std::span<uint8_t> out, std::size_t n) {
  return n <= kIceMaxPayload && FetchData(icFetch1kRAMList, static_cast<uint8_t>(n), out, n, false);
}

bool CCmdSet::FetchExRAMList(std::span<uint8_t> out, std::size_t n) {
  return n <= kIceMaxPayload && FetchData(icFetchExRAMList, static_cast<uint8_t>(n), out, n, false);
}

bool CCmdSet::RxInRAMList(std::span<const uint8_t> addresses, std::span<uint8_t> out, std::size_t n) {
  // Checked before anything is sent, so that a fetch that cannot be taken
  // never leaves a request behind on the board.
  if (out.size() < n) return false;
  return ReqInRAMList(addresses, n) && WaitReady() && FetchInRAMList(out, n);
}

bool CCmdSet::Rx1kRAMList(std::span<const uint8_t> addresses, std::span<uint8_t> out, std::size_t n) {
  if (out.size() < n) return false;
  return Req1kRAMList(addresses, n) && WaitReady() && Fetch1kRAMList(out, n);
}

bool CCmdSet::RxExRAMList(std::span<const uint8_t> addresses, std::span<uint8_t> out, std::size_t n) {
  if (out.size() < n) return false;
  return ReqExRAMList(addresses, n) && WaitReady() && FetchExRAMList(out, n);
}

// ---- program download ----------------------------------------------------------

bool CCmdSet::EraseChip() { return Simple(icEraseChip, 0, 0, 2, false); }

bool CCmdSet::TxROMBlock(uint8_t& code, uint16_t address, ConstBlock bytes) {
  code = 0xFF;
  if (!port_) return false;
  // No SaveHeader: the answer is judged by the download, not against the echo.
  const IceFrame frame = *MakeFrame(Hi(address), Lo(address), icTxROM, bytes);
  Reply reply;
  const uint32_t replyMs = COM_Port::ReadTimeoutMs(kShortReply);
  bool answered = false;
  if (SendInThree(frame, replyMs) && ReadReply(reply, kShortReply, replyMs, &CCmdSet::SumOk) == Read::Good) {
    code = reply[3];
    answered = true;
  }
  if (code != icTxROM) Discard();
  return answered;
}

// ---- offered, unused by the windows ---------------------------------------------

bool CCmdSet::RxROMBlock(uint16_t address, Block out) {
  if (!port_) return false;
  const IceFrame frame = *MakeFrame(Hi(address), Lo(address), icRxROM);
  SaveHeader(frame.header);
  Reply reply;
  if (!Repeated(frame, reply, kIceBlockSize + kIceFrameOverhead, 2, true)) return false;
  std::copy_n(reply.begin() + 4, kIceBlockSize, out.begin());
  return true;
}

bool CCmdSet::RxExRAM(Block out, uint16_t address) { return ReqExRAM(address) && WaitReady() && FetchExRAM(out); }

bool CCmdSet::ReqExRAM(uint16_t address) { return SingleShort(icReqExRAM, Hi(address), Lo(address)); }

bool CCmdSet::FetchExRAM(Block out) { return FetchData(icFetchExRAM, 0, out, kIceBlockSize, false); }

bool CCmdSet::TxExRAM(uint16_t address, ConstBlock bytes) {
  return BlockShort(icTxExRAM, Hi(address), Lo(address), bytes);
}

bool CCmdSet::TxLockBits(uint8_t v) { return Simple(icTxLockBits, v, 0, 3, false); }

bool CCmdSet::RxLockBits(uint8_t& value) { return ReqLockBits() && WaitReady() && FetchLockBits(value); }

bool CCmdSet::ReqLockBits() { return SingleShort(icReqLockBits, 0, 0); }

bool CCmdSet::FetchLockBits(uint8_t& value) {
  if (!port_) return false;
  const IceFrame frame = *MakeFrame(0, 0, icFetchLockBits);
  SaveHeader(frame.header);
  Reply reply;
  if (!SingleSend(frame, reply, kShortReply)) return false;
  value = reply[1];
  return true;
}

bool CCmdSet::RxSignature(std::span<uint8_t, 3> out) { return ReqSignature() && WaitReady() && FetchSignature(out); }

bool CCmdSet::ReqSignature() { return SingleShort(icReqSignature, 0, 0); }

bool CCmdSet::FetchSignature(std::span<uint8_t, 3> out) {
  if (!port_) return false;
  const IceFrame frame = *MakeFrame(0, 0, icFetchSignature);
  SaveHeader(frame.header);
  Reply reply;
  // [R0][S1][S2][Code][S3][Chk]
  if (!SingleSend(frame, reply, 6)) return false;
  out[0] = reply[1];
  out[1] = reply[2];
  out[2] = reply[4];
  return true;
}

bool CCmdSet::RxVersion(uint32_t& version) {
  if (!port_) return false;
  const IceFrame frame = *MakeFrame(0, 0, icRxVersion);
  SaveHeader(frame.header);
  Reply reply;
  if (!SingleSend(frame, reply, kShortReply)) return false;
  version = reply[1] * 256u + reply[2];
  return true;
}

}  // namespace vx930
