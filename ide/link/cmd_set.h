// The emulator's command set: every request the IDE can make of the board.
//
// Each command builds its frame, sends it by its exchange pattern (how often
// it is sent, how often a reply is awaited, where 10 ms pauses fall) and
// takes a reply only when it arrived whole: the command's full reply length,
// a good checksum and the expected Code. Output buffers are written only on
// success. Every command returns false, having written nothing, while the
// command set has no port.
//
// Two-phase reads send a request, poll the busy check until the board is
// ready and then fetch; the poll gives up after kBusyPollLimitMs or
// kBusyPollMaxAnswers busy answers, so a board stuck at busy fails the read.
//
// Lists, blocks, breakpoints and the SFR block are checked against what the
// length byte and the caller's buffers can hold; an oversized request is
// refused without sending.
//
// Before every request goes out, input still waiting on the port is dropped:
// the board never speaks unasked, so it can only be a late answer to an
// earlier request.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
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
  // About what kBusyPollLimitMs of polls at 57600 baud come to.
  static constexpr int kBusyPollMaxAnswers = 1200;

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

  bool SendWhole(const IceFrame& frame);
  bool SendInThree(const IceFrame& frame);
  // Reads exactly n bytes into reply (cleared first); false on a short read.
  bool ReadFull(Reply& reply, std::size_t n);
  bool ReadReply(Reply& reply, std::size_t n);

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
  bool ReqList(IceCommand cmd, std::span<const uint8_t> addresses, std::size_t n,
               std::size_t bytesPerAddress);

  COM_Port* port_;
  std::array<uint8_t, 4> LastHeader_{};
};

}  // namespace vx930
