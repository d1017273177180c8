// The emulator's command set: every request the IDE can make of the board.
//
// Each command builds its frame, sends it by its exchange pattern (how often
// it is sent, how often a reply is awaited, where 10 ms pauses fall) and
// takes a reply only when it arrived whole: the command's full reply length,
// a good checksum and the expected Code. Output buffers are written only on
// success. Every command returns false, having written nothing, while the
// command set has no port.
//
// A reply answers its own request. The board answers in order but may be
// late, and a reply names no request, so the line is kept in step:
//  - Before a request goes out, input already waiting is dropped. Input found
//    there came unasked: the board is behind, and the line is unsettled.
//  - A read that timed out or a reply that failed its check (an exchange that
//    timed out or needs another try) unsettles the line too. Before anything
//    else is sent on an unsettled line, the command set waits until it has
//    been quiet for one reply time (the longest read given up on since it was
//    last settled), dropping what arrives meanwhile, and then purges.
//  - The first reply taken after that must come alone: the line is watched
//    for one more reply time of the exchange, and a byte in it shows that the
//    reply was a late one with the answer to this request behind it. That
//    exchange then fails at once, and the line is unsettled again.
//  - A line that does not go quiet within two reply times fails the exchange
//    without sending: whatever it says cannot be matched to a request.
//
// Read time-outs. A reply of n bytes is awaited 100 ms + 1 ms per byte per
// read, the port's own time-out. A busy check waits kBusyReadMs (20 ms) per
// read instead, so one busy check on a dead link (two passes of two reads,
// 10 ms pause after each) blocks its caller 100 ms, not 440: the IDE polls
// it every 30 ms while the target runs. A live board's 5-byte status reply
// is on the line within 1 ms at 57600 baud, and 20 ms also covers the
// latency timer of a USB serial adapter (16 ms by default); a pass's second
// read still takes a reply that comes up to 40 ms after the request.
//
// Two-phase reads send a request, poll the busy check until the board is
// ready and then fetch. The poll is bounded by time alone: it gives up when
// the board has not been ready for kBusyPollLimitMs, however many busy
// answers a fast line brought meanwhile.
//
// Lists, blocks, breakpoints and the SFR block are checked against what the
// length byte and the caller's buffers can hold; an oversized request is
// refused without sending.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "ide/image/sfr_table.h"
#include "ide/link/break_point.h"
#include "ide/link/com_port.h"
#include "ide/link/ice_frame.h"

namespace vx930 {

inline constexpr std::size_t kSfrBlockSize = static_cast<std::size_t>(SFRCount);

class CCmdSet {
public:
  static constexpr uint32_t kPauseMs = 10;
  static constexpr uint32_t kBusyPollLimitMs = 2000;
  static constexpr uint32_t kBusyReadMs = 20;

  using Block = std::span<uint8_t, kIceBlockSize>;
  using ConstBlock = std::span<const uint8_t, kIceBlockSize>;

  // port may be null: then every command fails at once.
  explicit CCmdSet(COM_Port* port) : port_(port) {}

  // Frame core.
  void SaveHeader(std::span<const uint8_t, 4> header);
  const std::array<uint8_t, 4>& LastHeader() const { return LastHeader_; }
  // The checksum over the bytes received: the last one negates the sum of the others.
  bool CheckSum(const uint8_t* reply, std::size_t received) const;
  // CheckSum, and the Code (byte 3) echoes the Cmd of LastHeader.
  bool CheckReply(const uint8_t* reply, std::size_t received) const;
  // Two passes of request and up to two reads; status is stBusy or stReady.
  bool BusyCheck(uint8_t& status);

  // Run control.
  bool ResetICE();
  bool RunICE();
  bool StepICE();
  bool RunRange(uint16_t a, uint16_t b);
  bool StopICE();

  // Breakpoints: sends entries 0..n-1 of table.
  bool TxBrkPnt(std::span<const BreakPointRec> table, std::size_t n);
  bool ClearBrkPnt();

  // The SFR block, SFRCount bytes in image order.
  bool RxSFR(std::span<uint8_t, kSfrBlockSize> out);
  bool ReqSFR();
  bool FetchSFR(std::span<uint8_t, kSfrBlockSize> out);
  bool TxSFR(std::span<const uint8_t> bytes);

  // Internal RAM, 64-byte blocks starting at s.
  bool RxInRAM(Block out, uint8_t s);
  bool ReqInRAM(uint8_t s);
  bool FetchInRAM(Block out);
  bool TxInRAM(uint16_t address, ConstBlock bytes);

  // The 1 KB on-chip expanded RAM.
  bool Rx1kRAM(Block out, uint16_t address);
  bool Req1kRAM(uint16_t address);
  bool Fetch1kRAM(Block out);
  bool Tx1kRAM(uint16_t address, ConstBlock bytes);
  bool Tx1kByte(uint16_t address, uint8_t value);

  // Scattered reads of n values. Internal addresses are one byte each; 1 KB
  // and external addresses two, high byte first, laid out by the caller.
  bool RxInRAMList(std::span<const uint8_t> addresses, std::span<uint8_t> out, std::size_t n);
  bool Rx1kRAMList(std::span<const uint8_t> addresses, std::span<uint8_t> out, std::size_t n);
  bool RxExRAMList(std::span<const uint8_t> addresses, std::span<uint8_t> out, std::size_t n);
  bool ReqInRAMList(std::span<const uint8_t> addresses, std::size_t n);
  bool Req1kRAMList(std::span<const uint8_t> addresses, std::size_t n);
  bool ReqExRAMList(std::span<const uint8_t> addresses, std::size_t n);
  bool FetchInRAMList(std::span<uint8_t> out, std::size_t n);
  bool Fetch1kRAMList(std::span<uint8_t> out, std::size_t n);
  bool FetchExRAMList(std::span<uint8_t> out, std::size_t n);

  // Program download. TxROMBlock is true when a reply passed its checksum;
  // code is then the board's answer (1 accepted, stBusy, stReady, or another
  // error), and 255 when no reply passed.
  bool EraseChip();
  bool TxROMBlock(uint8_t& code, uint16_t address, ConstBlock bytes);

  // Offered by the board, used by no window.
  bool RxROMBlock(uint16_t address, Block out);
  bool RxExRAM(Block out, uint16_t address);
  bool ReqExRAM(uint16_t address);
  bool FetchExRAM(Block out);
  bool TxExRAM(uint16_t address, ConstBlock bytes);
  bool TxLockBits(uint8_t v);  // 0 read and write protection, 2 read protection
  bool RxLockBits(uint8_t& value);
  bool ReqLockBits();
  bool FetchLockBits(uint8_t& value);
  bool RxSignature(std::span<uint8_t, 3> out);
  bool ReqSignature();
  bool FetchSignature(std::span<uint8_t, 3> out);
  bool RxVersion(uint32_t& version);

private:
  using Reply = std::array<uint8_t, kIceMaxReply>;
  using Check = bool (CCmdSet::*)(const Reply& reply, std::size_t n) const;
  enum class Read { Good, Bad, OutOfTurn };

  // Line discipline (see above).
  bool SendWhole(const IceFrame& frame, uint32_t replyMs);
  bool SendInThree(const IceFrame& frame, uint32_t replyMs);
  bool PrepareToSend(uint32_t replyMs);
  bool Settle();
  // One read of up to n bytes; notes when the line was last heard.
  bool ReadLine(uint8_t* buffer, std::size_t n, uint32_t timeoutMs, std::size_t& received);
  // Reads n bytes into reply (cleared first) and judges them with check.
  Read ReadReply(Reply& reply, std::size_t n, uint32_t timeoutMs, Check check);
  // Up to two reads for one request's reply; an out-of-turn one ends them.
  bool ReadTwice(Reply& reply, std::size_t n, uint32_t timeoutMs, Check check);
  // After a settle: true when nothing follows the reply just taken.
  bool Alone(uint32_t replyMs);
  void Unsettle(uint32_t replyMs);
  // Drops received input whose arrival time is unknown.
  void Discard();

  bool ReplyOk(const Reply& reply, std::size_t n) const { return CheckReply(reply.data(), n); }
  bool SumOk(const Reply& reply, std::size_t n) const { return CheckSum(reply.data(), n); }
  bool StatusOk(const Reply& reply, std::size_t n) const;

  bool Repeated(const IceFrame& frame, Reply& reply, std::size_t n, int tries, bool pause,
                bool purgeOnBadReply = false);
  bool SingleSend(const IceFrame& frame, Reply& reply, std::size_t n);
  bool BlockSend(const IceFrame& frame, Reply& reply, std::size_t n);
  // The busy poll of a two-phase read.
  bool WaitReady();

  // Builds, saves the header of and sends a request whose reply is a bare Code.
  bool Simple(IceCommand cmd, uint8_t p1, uint8_t p2, int tries, bool pause);
  bool SingleShort(IceCommand cmd, uint8_t p1, uint8_t p2, std::span<const uint8_t> payload = {});
  bool BlockShort(IceCommand cmd, uint8_t p1, uint8_t p2, std::span<const uint8_t> payload);
  bool FetchData(IceCommand cmd, uint8_t p2, std::span<uint8_t> out, std::size_t n, bool repeated);
  bool ReqList(IceCommand cmd, std::span<const uint8_t> addresses, std::size_t n, std::size_t bytesPerAddress);

  COM_Port* port_;
  std::array<uint8_t, 4> LastHeader_{};

  bool unsettled_ = false;  // a reply may still be on its way: settle before sending
  bool confirm_ = false;  // settled since: the next reply taken must come alone
  uint32_t settleMs_ = 0;  // the quiet the next settle needs
  std::optional<uint32_t> quietFrom_;  // nothing has arrived since this tick
};

}  // namespace vx930
