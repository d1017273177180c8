// The emulator's frames: checksum and requests (the codes are in ice_protocol.h).
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

#include "ide/link/ice_protocol.h"

namespace vx930 {

inline constexpr std::size_t kIceBlockSize = 64;  // RAM, code and external blocks
inline constexpr std::size_t kIceMaxPayload = 255;  // what the length byte can count
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
std::optional<IceFrame> MakeFrame(uint8_t p1, uint8_t p2, IceCommand cmd, std::span<const uint8_t> payload = {});

}  // namespace vx930
