// A full 64 KB download to the simulated board over a pseudo-terminal: erase,
// 1024 program blocks, the final status poll, through the real serial port.
//
// Counters: bytes on the wire (both directions) per payload byte, the time
// the same bytes need on a real 57600 baud line (10 bits a byte, the protocol
// being request then reply), and the measured time against that limit. A pty
// has no baud rate, so the measured time shows the host's own overhead.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <thread>

#include "ide/link/cmd_set.h"
#include "ide/link/com_port.h"
#include "ide/link/tx_rom.h"
#include "platform/serial_port.h"
#include "sim/ice/board.h"
#include "sim/ice/pty_server.h"

namespace {

using namespace vx930;

// Counts what crosses the link in each direction.
class CountingLink final : public platform::ByteLink {
public:
  CountingLink(std::unique_ptr<platform::ByteLink> inner, std::atomic<uint64_t>& tx, std::atomic<uint64_t>& rx)
      : inner_(std::move(inner)), tx_(tx), rx_(rx) {}
  bool Write(const uint8_t* d, size_t n, size_t& w) override {
    const bool ok = inner_->Write(d, n, w);
    tx_ += w;
    return ok;
  }
  bool Read(uint8_t* d, size_t n, uint32_t t, size_t& r) override {
    const bool ok = inner_->Read(d, n, t, r);
    rx_ += r;
    return ok;
  }
  void PurgeRx() override { inner_->PurgeRx(); }
  void PurgeTx() override { inner_->PurgeTx(); }
  bool Close() override { return inner_->Close(); }

private:
  std::unique_ptr<platform::ByteLink> inner_;
  std::atomic<uint64_t>& tx_;
  std::atomic<uint64_t>& rx_;
};

void BM_FullDownloadOverPty(benchmark::State& state) {
  sim::ice::BoardConfig config;
  config.pacing = sim::ice::Pacing::RealTime;
  config.logCapacity = 16;
  sim::ice::Board board(config);
  sim::ice::PtyServer server(board);
  std::string error;
  if (!server.Open(&error)) {
    state.SkipWithError(("pty: " + error).c_str());
    return;
  }
  std::atomic<bool> stop{false};
  std::thread serving([&] { server.Serve(stop, &error); });

  std::atomic<uint64_t> tx{0}, rx{0};
  const std::string device = server.SlavePath();
  COM_Port port(1, [&](int) -> std::unique_ptr<platform::ByteLink> {
    auto serial = std::make_unique<platform::SerialPort>();
    if (!serial->Open(device, COM_Port::kBaud)) return nullptr;
    return std::make_unique<CountingLink>(std::move(serial), tx, rx);
  });
  if (!port.OpenPort()) {
    stop = true;
    serving.join();
    state.SkipWithError("cannot open the pty");
    return;
  }
  CCmdSet cmd(&port);

  auto image = std::make_unique<CodeImage>();
  std::mt19937 rng(64);
  std::generate(image->begin(), image->end(), [&] { return static_cast<uint8_t>(rng() % 0xFF); });

  uint64_t downloads = 0;
  double seconds = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    if (!cmd.EraseChip()) {
      state.SkipWithError("erase failed");
      break;
    }
    TTxROM rom(cmd, *image);
    rom.Execute();
    if (!rom.GetSuccess()) {
      state.SkipWithError("download failed");
      break;
    }
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ++downloads;
  }
  bool same = false;
  board.Access([&](sim::ice::Memories& m, sim::ice::Core8051&) { same = m.code == *image; });
  if (downloads && !same) state.SkipWithError("code memory differs from the image");

  if (downloads) {
    const double wireBytes = static_cast<double>(tx + rx) / static_cast<double>(downloads);
    const double limitSeconds = wireBytes * 10.0 / 57600.0;
    state.counters["wire_bytes"] = wireBytes;
    state.counters["wire_bytes_per_payload_byte"] = wireBytes / 65536.0;
    state.counters["host_to_board_per_payload_byte"] =
        static_cast<double>(tx) / static_cast<double>(downloads) / 65536.0;
    state.counters["wire_limit_s_at_57600"] = limitSeconds;
    // Measured time of one download as a fraction of the wire's limit.
    state.counters["of_wire_limit"] = seconds / static_cast<double>(downloads) / limitSeconds;
  }
  state.SetBytesProcessed(static_cast<int64_t>(downloads) * 65536);

  stop = true;
  serving.join();
}

BENCHMARK(BM_FullDownloadOverPty)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
