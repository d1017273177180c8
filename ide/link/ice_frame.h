// The emulator's frames: command codes, busy status, checksum and requests.
//
// A request is [Len][P1][P2][Cmd][Len payload bytes][Chk]; a reply is
// [R0][R1][R2][Code][data][Chk] of a length fixed per command. Chk makes the
// byte sum of the whole frame zero. Addresses travel high byte first.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace vx930 {

enum IceCommand : uint8_t {
  icTxROM = 0x01,
  icRun = 0x02,
  icStop = 0x04,
  icReset = 0x05,
  icReqInRAM = 0x07,
  icTxInRAM = 0x08,
  icReq1kRAM = 0x09,
  icTx1kRAM = 0x0A,
  icTxBrkPnt = 0x0B,
  icBusyCheck = 0x0C,
  icClearBrkPnt = 0x10,
  icRxROM = 0x11,
  icEraseChip = 0x12,
  icStep = 0x13,
  icRunRange = 0x14,
  icReqSFR = 0x20,
  icTxSFR = 0x21,
  icFetchSFR = 0x22,
  icFetchInRAM = 0x23,
  icFetch1kRAM = 0x24,
  icTxLockBits = 0x2A,
  icReqLockBits = 0x2B,
  icFetchLockBits = 0x2C,
  icReqSignature = 0x2D,
  icFetchSignature = 0x2E,
  icReqExRAM = 0x2F,
  icTxExRAM = 0x30,
  icFetchExRAM = 0x31,
  icReqInRAMList = 0x32,
  icReq1kRAMList = 0x33,
  icReqExRAMList = 0x34,
  icFetchInRAMList = 0x35,
  icFetch1kRAMList = 0x36,
  icFetchExRAMList = 0x37,
  icRxVersion = 0x38,
};

// The Code of a busy-check reply (and two of the answers to a program block).
enum IceStatus : uint8_t {
  stBusy = 12,   // target running, or the data asked for not ready yet
  stReady = 14,  // target halted, or the data asked for can be fetched
};

inline constexpr std::size_t kIceBlockSize = 64;     // RAM, code and external blocks
inline constexpr std::size_t kIceMaxPayload = 255;   // what the length byte can count
inline constexpr std::size_t kIceFrameOverhead = 5;  // header and checksum
inline constexpr std::size_t kIceMaxReply = kIceMaxPayload + kIceFrameOverhead;

// The value that makes the byte sum of bytes and itself zero modulo 256.
uint8_t FrameChecksum(std::span<const uint8_t> bytes);

// One request to the emulator.
struct IceFrame {
  std::array<uint8_t, 4> header{};  // Len, P1, P2, Cmd
  std::vector<uint8_t> payload;
  uint8_t chk = 0;

  std::vector<uint8_t> Bytes() const;  // the whole frame as it goes on the wire
  std::size_t Size() const { return header.size() + payload.size() + 1; }
};

// Builds a request with Len = payload size; nothing when the payload is
// longer than the length byte can count.
std::optional<IceFrame> MakeFrame(uint8_t p1, uint8_t p2, IceCommand cmd,
                                  std::span<const uint8_t> payload = {});

}  // namespace vx930
