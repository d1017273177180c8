// A host for the simulated programmer in tests: writes bytes, collects the
// reply on virtual time, and encodes counts the way the host program does.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "sim/programmer/programmer.h"

namespace sim::programmer::test {

using Bytes = std::vector<uint8_t>;

// The host's three-level count of n.
inline Bytes Count3(uint32_t n) {
  const uint8_t l0 = n & 0xFF;
  const uint8_t l1 = static_cast<uint8_t>(((n >> 8) & 0xFF) + (l0 != 0 ? 1 : 0));
  const uint8_t l2 =
      ((n >> 16) & 0xFF) == 0 ? 1 : static_cast<uint8_t>(((n >> 16) & 0xFF) + (((n >> 8) & 0xFF) != 0 ? 1 : 0));
  return {l0, l1, l2};
}

// The host's three-level count from a last offset m (count m + 1).
inline Bytes CountFromLast(uint32_t m) {
  return {static_cast<uint8_t>((m + 1) & 0xFF), static_cast<uint8_t>(((m >> 8) & 0xFF) + 1),
          static_cast<uint8_t>(((m >> 16) & 0xFF) + 1)};
}

// The host's two-level count of n.
inline Bytes Count2(uint32_t n) {
  if (n == 0) return {1, 1};
  const uint8_t lo = n & 0xFF;
  return {lo, static_cast<uint8_t>(((n >> 8) & 0xFF) + (lo != 0 ? 1 : 0))};
}

inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

class SimHost {
public:
  explicit SimHost(const EngineConfig& config = {}) : scoped_(clock_), prog_(config) {}

  Programmer& Prog() { return prog_; }
  platform::VirtualClock& Clock() { return clock_; }
  // The host's line rate, 0 for no rate check.
  void SetBaud(uint32_t baud) { baud_ = baud; }

  void Write(const Bytes& bytes) { prog_.HostWrite(bytes, baud_); }
  // Collects up to n reply bytes, moving virtual time 1 ms at a time for at
  // most timeoutMs.
  Bytes Read(size_t n, uint32_t timeoutMs = 2000) {
    Bytes got;
    for (uint32_t waited = 0;; ++waited) {
      uint8_t buf[4096];
      while (got.size() < n) {
        const size_t k = prog_.HostRead(buf, std::min(sizeof buf, n - got.size()), baud_);
        if (k == 0) break;
        got.insert(got.end(), buf, buf + k);
      }
      if (got.size() >= n || waited >= timeoutMs) return got;
      clock_.Advance(1);
    }
  }
  Bytes Say(const Bytes& bytes, size_t n, uint32_t timeoutMs = 2000) {
    Write(bytes);
    return Read(n, timeoutMs);
  }
  // "AT", the prompt answer, then the letter and its parameters; returns n reply bytes.
  Bytes Command(uint8_t letter, const Bytes& params = {}, size_t n = 0, uint32_t timeoutMs = 2000) {
    const Bytes o = Say({'A', 'T'}, 1);
    EXPECT_EQ(o, Bytes{'O'}) << "no prompt answer before '" << static_cast<char>(letter) << "'";
    Bytes out{letter};
    out.insert(out.end(), params.begin(), params.end());
    return Say(out, n, timeoutMs);
  }
  void SetReg(uint8_t reg, uint8_t value) { Command('W', {reg, value}); }
  // The Target Zone as the host writes it.
  void SetZone(uint32_t start, uint32_t end, uint32_t bufferStart = 0) {
    const Bytes c = CountFromLast(end - start);
    const std::pair<uint8_t, uint8_t> regs[] = {{8, start & 0xFF},
                                                {9, (start >> 8) & 0xFF},
                                                {23, (start >> 16) & 0xFF},
                                                {12, bufferStart & 0xFF},
                                                {13, (bufferStart >> 8) & 0xFF},
                                                {25, (bufferStart >> 16) & 0xFF},
                                                {16, c[0]},
                                                {17, c[1]},
                                                {27, c[2]}};
    for (auto [r, v] : regs) SetReg(r, v);
  }
  // Downloads a driver image of n bytes (echoes checked).
  void LoadDriver(size_t n = 64) {
    Bytes image(n);
    for (size_t i = 0; i < n; ++i) image[i] = static_cast<uint8_t>(i * 7 + 3);
    Command('L', Cat({Count2(static_cast<uint32_t>(n)), image}), n);
  }
  std::string Letters() { return prog_.Log().Letters(); }
  CommandRecord Last() {
    auto r = prog_.Log().Records();
    return r.empty() ? CommandRecord{} : r.back();
  }

private:
  platform::VirtualClock clock_{1000};
  platform::ScopedClock scoped_;
  Programmer prog_;
  uint32_t baud_ = 0;
};

}  // namespace sim::programmer::test
