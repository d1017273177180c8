#include "ide/link/ice_frame.h"

namespace vx930 {

uint8_t FrameChecksum(std::span<const uint8_t> bytes) {
  unsigned sum = 0;
  for (uint8_t b : bytes) sum += b;
  return static_cast<uint8_t>(0x100 - (sum & 0xFF));
}

std::vector<uint8_t> IceFrame::Bytes() const {
  std::vector<uint8_t> bytes(header.begin(), header.end());
  bytes.insert(bytes.end(), payload.begin(), payload.end());
  bytes.push_back(chk);
  return bytes;
}

std::optional<IceFrame> MakeFrame(uint8_t p1, uint8_t p2, IceCommand cmd, std::span<const uint8_t> payload) {
  if (payload.size() > kIceMaxPayload) return std::nullopt;
  IceFrame f;
  f.header = {static_cast<uint8_t>(payload.size()), p1, p2, cmd};
  f.payload.assign(payload.begin(), payload.end());
  const uint8_t h = FrameChecksum(f.header);
  const uint8_t p = FrameChecksum(f.payload);
  f.chk = static_cast<uint8_t>(h + p);  // negated sums add up
  return f;
}

}  // namespace vx930
