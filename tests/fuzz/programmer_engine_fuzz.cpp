// Fuzzes the simulated programmer's byte engine with whatever a host might
// send: the input is the host's side of the line, in chunks with time passing
// between them. Whatever the bytes, the engine must not read or write out of
// bounds, must keep its output bounded and must answer a prompt again once
// the line has been quiet long enough for any command to be given up.
//
// Input: byte 0 sets pacing (bit 0) and the power-up rate (bits 1-3); then
// chunks of [time step in ms][length n][n bytes].
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "sim/programmer/engine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace sim::programmer;
  if (size == 0) return 0;
  EngineConfig config;
  config.pace = (data[0] & 1) != 0;
  config.powerUpRateCode = static_cast<uint8_t>((data[0] >> 1) % 5);
  config.chip.size = 0x1000;
  config.sramCardKB = 128;
  FaultSet faults;
  CommandLog log(64);
  Engine engine(config, faults, log);
  Micros now = 0;
  uint8_t out[4096];
  size_t i = 1;
  while (i + 2 <= size) {
    now += Micros{data[i]} * 1000;
    const size_t n = std::min<size_t>(data[i + 1], size - i - 2);
    engine.Receive(data + i + 2, n, now);
    while (engine.Transmit(out, sizeof out, now) == sizeof out) {}
    i += 2 + n;
  }
  // Quiet for long enough: whatever command was under way is given up, and a
  // device still busy with its operations gets the time they take.
  now += 1'000'000'000'000ull;
  engine.Advance(now);
  while (engine.Transmit(out, sizeof out, now) > 0) {}
  const uint8_t prompt[] = {'A', 'T'};
  engine.Receive(prompt, sizeof prompt, now);
  now += 1'000'000;  // a paced line takes its time
  if (engine.Transmit(out, 1, now) != 1 || out[0] != 'O') std::abort();
  return 0;
}
