// A full 64 KB device programmed from PcBuffer and read back into it, over a
// pseudo-terminal to the simulated programmer paced at the negotiated rate
// (each byte takes its ten bit times on the wire, each cell the chip
// model's programming or reading time).
//
// The limit is what the protocol itself needs: the bytes the pack check, the
// operate command and the stream must carry (every byte and its
// acknowledgement, the exchange after every 256 addresses, the final
// status), one after the other since each waits for its answer, at the
// negotiated rate; plus the chip's own time for every cell. Counters: both
// times, their ratio, and the bytes counted on the line against the bytes
// the protocol counts.
#include <benchmark/benchmark.h>
#include <sys/prctl.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <random>
#include <string>
#include <thread>

#include "platform/key_state.h"
#include "platform/serial_port.h"
#include "programmer/link/commands.h"
#include "programmer/link/connection.h"
#include "programmer/link/progress.h"
#include "programmer/ops/operation_engine.h"
#include "sim/programmer/programmer.h"
#include "sim/programmer/pty_server.h"

namespace {

using namespace zolvek;

class CountingSerial final : public SerialLine {
public:
  CountingSerial(std::atomic<uint64_t>& tx, std::atomic<uint64_t>& rx) : tx_(tx), rx_(rx) {}
  bool Open(const std::string& path, uint32_t baud) { return port_.Open(path, baud); }
  bool Write(const uint8_t* d, std::size_t n, std::size_t& w) override {
    const bool ok = port_.Write(d, n, w);
    tx_ += w;
    return ok;
  }
  bool Read(uint8_t* d, std::size_t n, uint32_t t, std::size_t& r) override {
    const bool ok = port_.Read(d, n, t, r);
    rx_ += r;
    return ok;
  }
  void PurgeRx() override { port_.PurgeRx(); }
  void PurgeTx() override { port_.PurgeTx(); }
  bool Close() override { return port_.Close(); }
  bool SetBaud(uint32_t baud) override { return port_.SetBaud(baud); }

private:
  platform::SerialPort port_;
  std::atomic<uint64_t>& tx_;
  std::atomic<uint64_t>& rx_;
};

constexpr uint32_t kMfr = 2, kType = 26;  // a 64 KB device
constexpr uint32_t kSize = 0x10000;
constexpr int kBaudIndex = 0;  // 115200

// Bytes on the line, both ways, counted from the protocol.
constexpr double kPackBytes = 5;  // "AT", 'O', 'B', the pack reply
constexpr double kOperateBytes = 5;  // "AT", 'O', 'P', the operation code
double ProgramStreamBytes(uint32_t n) { return kPackBytes + kOperateBytes + 2.0 * n + 2.0 * (n / 256) + 1; }
double ReadStreamBytes(uint32_t n) { return kPackBytes + kOperateBytes + 2.0 * n + 1; }

void BM_Program64KAndReadBackOverPty(benchmark::State& state) {
  sim::programmer::EngineConfig config;
  const DeviceTypeRecord* device = FindDeviceType(kMfr, kType);
  config.chip.size = device->size;
  config.chip.family = static_cast<uint8_t>(device->family);
  config.chip.driverId = static_cast<uint8_t>(device->driverId);
  config.pace = true;
  const auto origin = std::chrono::steady_clock::now();
  sim::programmer::Programmer programmer(config, [origin] {
    return static_cast<sim::programmer::Micros>(
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - origin).count());
  });
  sim::programmer::PtyServer server(programmer);
  std::string error;
  if (!server.Open(&error)) {
    state.SkipWithError(("pty: " + error).c_str());
    return;
  }
  std::atomic<bool> stop{false};
  std::thread serving([&] {
    // The simulator stands for a device on a wire: its timed waits should end
    // when due, not up to the default 50 us slack later.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    server.Serve(stop, &error);
  });

  std::atomic<uint64_t> tx{0}, rx{0};
  LinkState link_state;
  link_state.LinkKind = kLinkCom;
  link_state.OpCodeOffset = OpCodeOffsetFor(kLinkCom);
  link_state.BaudIndex = kBaudIndex;
  const std::string path = server.SlavePath();
  ProgrammerLink link(link_state, [&](int) -> std::unique_ptr<SerialLine> {
    auto line = std::make_unique<CountingSerial>(tx, rx);
    if (!line->Open(path, BaudTable[kBaudIndex])) return nullptr;
    return line;
  });
  Commands commands(link);
  auto finish = [&](const char* why) {
    if (why) state.SkipWithError(why);
    link.CloseAll();
    stop = true;
    serving.join();
  };
  if (link.Com().ComOpen(1) != 1) return finish("cannot open the pty");
  if (NegotiateRate(commands, 4) != 0) return finish("no rate agreed");
  std::vector<uint8_t> driver(64, 0x5A);
  if (commands.LoadDriverHeader(static_cast<uint32_t>(driver.size())) != 0 ||
      commands.EchoedDownload(driver) != EchoResult::Ok)
    return finish("driver download failed");
  link_state.NoDriver = 0;

  OpsState ops;
  ops.SelectedMfr = kMfr;
  ops.SelectedType[kMfr] = kType;
  ops.CurFamily = static_cast<uint32_t>(device->family);
  ops.CurDriverId = device->driverId;
  ops.AllocatePcBuffer();
  std::mt19937 rng(64);
  for (uint32_t i = 0; i < kSize; ++i) ops.PcBuffer[i] = static_cast<uint8_t>(rng() % 0xFF);
  const std::vector<uint8_t> image(ops.PcBuffer.begin(), ops.PcBuffer.begin() + kSize);
  ops.DeviceStart = 0;
  ops.DeviceEnd = kSize - 1;
  if (commands.RestoreDeviceRange(TargetZone{0, kSize - 1, 0}) != 0) return finish("range not set");
  Progress progress(link_state);
  platform::LatchingKeyState keys;
  OperationEngine engine(commands, ops, progress, keys);

  double programS = 0, readS = 0;
  double programWire = 0, readWire = 0;
  uint64_t runs = 0;
  for (auto _ : state) {
    programmer.Access([](sim::programmer::Engine& e) { e.GetChip().Erase(); });
    std::fill(ops.PcBuffer.begin(), ops.PcBuffer.begin() + kSize, 0);
    std::copy(image.begin(), image.end(), ops.PcBuffer.begin());
    uint64_t before = tx + rx;
    auto t0 = std::chrono::steady_clock::now();
    if (engine.ProgramDevice(nullptr, nullptr) != 0) return finish("program failed");
    auto t1 = std::chrono::steady_clock::now();
    programWire += static_cast<double>(tx + rx - before);
    std::fill(ops.PcBuffer.begin(), ops.PcBuffer.begin() + kSize, 0);
    before = tx + rx;
    if (engine.ReadDevice(nullptr, nullptr) != 0) return finish("read failed");
    auto t2 = std::chrono::steady_clock::now();
    readWire += static_cast<double>(tx + rx - before);
    if (!std::equal(image.begin(), image.end(), ops.PcBuffer.begin())) return finish("read back differs");
    programS += std::chrono::duration<double>(t1 - t0).count();
    readS += std::chrono::duration<double>(t2 - t1).count();
    ++runs;
  }
  const double baud = BaudTable[kBaudIndex];
  const double programLimit = ProgramStreamBytes(kSize) * 10.0 / baud + kSize * config.chip.byteProgramUs / 1e6;
  const double readLimit = ReadStreamBytes(kSize) * 10.0 / baud + kSize * config.chip.byteReadUs / 1e6;
  if (runs) {
    const double n = static_cast<double>(runs);
    state.counters["baud"] = baud;
    state.counters["program_s"] = programS / n;
    state.counters["program_limit_s"] = programLimit;
    state.counters["program_ratio"] = programS / n / programLimit;
    state.counters["program_wire_bytes"] = programWire / n;
    state.counters["program_protocol_bytes"] = ProgramStreamBytes(kSize);
    state.counters["read_s"] = readS / n;
    state.counters["read_limit_s"] = readLimit;
    state.counters["read_ratio"] = readS / n / readLimit;
    state.counters["read_wire_bytes"] = readWire / n;
    state.counters["read_protocol_bytes"] = ReadStreamBytes(kSize);
    std::printf("program: %.3f s, limit %.3f s, ratio %.3f; read: %.3f s, limit %.3f s, ratio %.3f\n", programS / n,
                programLimit, programS / n / programLimit, readS / n, readLimit, readS / n / readLimit);
  }
  finish(nullptr);
}

BENCHMARK(BM_Program64KAndReadBackOverPty)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
