// A full 64 KB device programmed from PcBuffer, verified against it and read
// back into it, over a pseudo-terminal to the simulated programmer paced at
// the negotiated rate (each byte takes its ten bit times on the wire, each
// cell the chip model's programming or reading time).
//
// The limit is what the protocol itself needs: the bytes the pack check, the
// operate command and the stream must carry, one after the other since each
// waits for its answer, at the negotiated rate; plus the chip's own time for
// every cell. Programming and reading send every byte with its
// acknowledgement; verifying streams the bytes with an exchange after every
// 256. The figure that counts is program and verify together; read is shown
// beside it. Counters: each time, its limit, their ratio, and the bytes
// counted on the line against the bytes the protocol counts.
//
// The floor beside them is this machine's own pseudo-terminal: one byte there
// and back between two threads, which every acknowledged byte pays on top of
// its wire time and no code of ours can take away.
#include <benchmark/benchmark.h>
#include <poll.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

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
#include "programmer/ops/check_workers.h"
#include "programmer/ops/operation_engine.h"
#include "sim/common/pty.h"
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
// The start byte and its marker, the stream, two bytes after every 256, the
// final status.
double VerifyStreamBytes(uint32_t n) { return kPackBytes + kOperateBytes + 2 + n + 2.0 * (n / 256) + 1; }

// Microseconds for one byte there and back over a fresh pty, the echo side
// spinning as the simulator does.
double PtyRoundTripUs() {
  int master = -1;
  std::string slavePath, error;
  if (!sim::OpenRawPty(B115200, &master, &slavePath, &error)) return 0;
  platform::SerialPort host;
  if (!host.Open(slavePath, 115200)) {
    ::close(master);
    return 0;
  }
  std::atomic<bool> stop{false};
  std::thread echo([&] {
    uint8_t b;
    while (!stop) {
      pollfd p{master, POLLIN, 0};
      if (::poll(&p, 1, 0) > 0 && ::read(master, &b, 1) == 1) (void)!::write(master, &b, 1);
    }
  });
  constexpr int kTrips = 20000;
  uint8_t b = 0x55;
  std::size_t n = 0;
  const auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < kTrips; ++i) {
    host.Write(&b, 1, n);
    host.Read(&b, 1, 100, n);
  }
  const auto t1 = std::chrono::steady_clock::now();
  stop = true;
  echo.join();
  host.Close();
  ::close(master);
  return std::chrono::duration<double, std::micro>(t1 - t0).count() / kTrips;
}

void BM_Program64KAndReadBackOverPty(benchmark::State& state) {
  sim::programmer::EngineConfig config;
  const DeviceTypeRecord* device = FindDeviceType(kMfr, kType);
  config.chip.size = device->size;
  config.chip.family = static_cast<uint8_t>(device->family);
  config.chip.driverId = static_cast<uint8_t>(device->driverId);
  config.pace = true;
  sim::programmer::Programmer programmer(config, sim::programmer::Programmer::SteadyTime());
  sim::programmer::PtyServer server(programmer);
  server.SetSpinUs(2000);
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

  double programS = 0, verifyS = 0, readS = 0;
  double programWire = 0, verifyWire = 0, readWire = 0;
  uint64_t runs = 0;
  for (auto _ : state) {
    programmer.Access([](sim::programmer::Engine& e) { e.GetChip().Erase(); });
    std::copy(image.begin(), image.end(), ops.PcBuffer.begin());
    uint64_t before = tx + rx;
    auto t0 = std::chrono::steady_clock::now();
    if (engine.ProgramDevice(nullptr, nullptr) != 0) return finish("program failed");
    auto t1 = std::chrono::steady_clock::now();
    programWire += static_cast<double>(tx + rx - before);
    before = tx + rx;
    if (VerifyDevice(engine, nullptr, nullptr) != 0) return finish("verify failed");
    auto t2 = std::chrono::steady_clock::now();
    verifyWire += static_cast<double>(tx + rx - before);
    std::fill(ops.PcBuffer.begin(), ops.PcBuffer.begin() + kSize, 0);
    before = tx + rx;
    if (engine.ReadDevice(nullptr, nullptr) != 0) return finish("read failed");
    auto t3 = std::chrono::steady_clock::now();
    readWire += static_cast<double>(tx + rx - before);
    if (!std::equal(image.begin(), image.end(), ops.PcBuffer.begin())) return finish("read back differs");
    programS += std::chrono::duration<double>(t1 - t0).count();
    verifyS += std::chrono::duration<double>(t2 - t1).count();
    readS += std::chrono::duration<double>(t3 - t2).count();
    ++runs;
  }
  const double baud = BaudTable[kBaudIndex];
  const double programLimit = ProgramStreamBytes(kSize) * 10.0 / baud + kSize * config.chip.byteProgramUs / 1e6;
  const double verifyLimit = VerifyStreamBytes(kSize) * 10.0 / baud + kSize * config.chip.byteReadUs / 1e6;
  const double readLimit = ReadStreamBytes(kSize) * 10.0 / baud + kSize * config.chip.byteReadUs / 1e6;
  if (runs) {
    const double n = static_cast<double>(runs);
    const double bothS = (programS + verifyS) / n, bothLimit = programLimit + verifyLimit;
    const double floorUs = PtyRoundTripUs();
    auto& c = state.counters;
    c["baud"] = baud;
    c["program_verify_s"] = bothS;
    c["program_verify_limit_s"] = bothLimit;
    c["program_verify_ratio"] = bothS / bothLimit;
    c["program_s"] = programS / n;
    c["program_ratio"] = programS / n / programLimit;
    c["program_wire_bytes"] = programWire / n;
    c["program_protocol_bytes"] = ProgramStreamBytes(kSize);
    c["verify_s"] = verifyS / n;
    c["verify_ratio"] = verifyS / n / verifyLimit;
    c["verify_wire_bytes"] = verifyWire / n;
    c["verify_protocol_bytes"] = VerifyStreamBytes(kSize);
    c["read_s"] = readS / n;
    c["read_ratio"] = readS / n / readLimit;
    c["read_wire_bytes"] = readWire / n;
    c["read_protocol_bytes"] = ReadStreamBytes(kSize);
    c["pty_round_trip_us"] = floorUs;
    std::printf("program+verify: %.3f s, limit %.3f s, ratio %.3f\n", bothS, bothLimit, bothS / bothLimit);
    std::printf("  program: %.3f s, limit %.3f s, ratio %.3f\n", programS / n, programLimit,
                programS / n / programLimit);
    std::printf("  verify:  %.3f s, limit %.3f s, ratio %.3f\n", verifyS / n, verifyLimit, verifyS / n / verifyLimit);
    std::printf("read: %.3f s, limit %.3f s, ratio %.3f\n", readS / n, readLimit, readS / n / readLimit);
    // Every exchange (a byte and its answer) pays one pty round trip that a
    // wire would not: program has one a byte and one every 256, verify one
    // every 256, read one a byte.
    const double programTrips = kSize + kSize / 256.0, verifyTrips = kSize / 256.0, readTrips = kSize;
    const double bothFloorLimit = bothLimit + (programTrips + verifyTrips) * floorUs / 1e6;
    const double readFloorLimit = readLimit + readTrips * floorUs / 1e6;
    c["program_verify_ratio_with_pty"] = bothS / bothFloorLimit;
    c["read_ratio_with_pty"] = readS / n / readFloorLimit;
    std::printf(
        "pty round trip %.1f us; one round trip an exchange added to the limits: program+verify ratio %.3f, read "
        "%.3f\n",
        floorUs, bothS / bothFloorLimit, readS / n / readFloorLimit);
  }
  finish(nullptr);
}

BENCHMARK(BM_Program64KAndReadBackOverPty)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
