// Frame building and exchanges for the board tests.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/ice/board.h"
#include "sim/ice/engine_protocol.h"

namespace sim::ice::test {

using Bytes = std::vector<uint8_t>;

// [Len][P1][P2][Cmd][payload][Chk], Len taken from the payload.
inline Bytes Frame(uint8_t cmd, uint8_t p1 = 0, uint8_t p2 = 0, const Bytes& payload = {}) {
  Bytes f;
  f.reserve(payload.size() + 5);
  f.push_back(static_cast<uint8_t>(payload.size()));
  f.push_back(p1);
  f.push_back(p2);
  f.push_back(cmd);
  // Byte by byte: GCC 12 misreports a range insert after an initializer list as out of bounds.
  for (uint8_t b : payload) f.push_back(b);
  f.push_back(FrameChecksum(f.data(), f.size()));
  return f;
}

// Sends a frame in one write and returns every reply byte that is due now.
inline Bytes Exchange(Board& board, const Bytes& frame) {
  board.HostWrite(frame);
  return board.HostReadAll();
}

inline Bytes Payload(const Bytes& reply) {
  if (reply.size() < 5) return {};
  return Bytes(reply.begin() + 4, reply.end() - 1);
}

inline bool ReplyChecksumOk(const Bytes& reply) { return ChecksumOk(reply.data(), reply.size()); }

// Polls the busy check once and returns the status Code (0 when no reply).
inline uint8_t BusyStatus(Board& board) {
  const Bytes r = Exchange(board, Frame(icBusyCheck));
  return r.size() == 5 ? r[3] : 0;
}

inline uint16_t ReportedPc(const SfrBlock& block) {
  return static_cast<uint16_t>(block[kSfrPchIndex] << 8 | block[kSfrPclIndex]);
}

}  // namespace sim::ice::test
