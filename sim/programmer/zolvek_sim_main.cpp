// zolvek-sim: the simulated programmer on a pseudo-terminal (the COM link).
//
// Prints the slave's path on one line and serves the programmer there until
// SIGTERM or SIGINT (exit 0) or an error (exit 1).
#include <signal.h>

#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "sim/programmer/programmer.h"
#include "sim/programmer/pty_server.h"

namespace {

std::atomic<bool> g_stop{false};

void OnSignal(int) { g_stop.store(true); }

void Usage(FILE* to) {
  std::fputs(
      "usage: zolvek-sim [options]\n"
      "  Serves the simulated programmer on a new pseudo-terminal and prints its path.\n"
      "  The programmer listens at 9600 until the host moves it with 'T'.\n"
      "  --fault SPEC     inject a fault (repeatable); SPEC is SEL:KIND[:ARG]:\n"
      "                     SEL  '*' (every prompt) or a command letter, then @N (the N-th\n"
      "                          only) and #I (its I-th reply byte; #0 is the 'O')\n"
      "                     KIND silent, drop, late:MS, badecho, pack[:V], nopack,\n"
      "                          pagetimeout (#I is the page), key (J@N), cable,\n"
      "                          failat:ADDR, chipid:HEX\n"
      "                   e.g. --fault '*@3:silent' --fault 'L#100:badecho' --fault J@4:key\n"
      "  --pace           bytes take their wire time at the listening rate\n"
      "  --any-rate       take bytes whatever rate the host set\n"
      "  --rate CODE      power-up rate code 0-4 (115200 ... 9600; default 4)\n"
      "  --pack V         the pack code (default 1)\n"
      "  --abandon MS     give a stalled command up after MS ms (default 1000, 0 never)\n"
      "  --size N         device size in bytes (default 0x2000)\n"
      "  --family F       device family (default 1)\n"
      "  --driver-id N    device driver id (default 1)\n"
      "  --id HEX         device ID bytes, e.g. 1E5206FF\n"
      "  --erase-kind K   0 (UV) ... 12 (default 1)\n"
      "  --lock-bits N    number of lock bits (default 3)\n"
      "  --table N        encryption table / data EEPROM bytes (default 0)\n"
      "  --clock-mode     the device has a clock-mode fuse\n"
      "  --passes N       programming passes the device needs (default 1)\n"
      "  --weak-low ADDR  the cell at ADDR fails a verify at the low supply level\n"
      "  --card KB        an SRAM card of KB kilobytes (128 ... 4096)\n"
      "  --card-protect   the card is write-protected\n"
      "  --log FILE       append the decoded command log to FILE\n",
      to);
}

bool Number(const std::string& s, uint32_t* out) {
  std::string_view v = s;
  int base = 10;
  if (v.size() > 2 && v[0] == '0' && (v[1] == 'x' || v[1] == 'X')) {
    v.remove_prefix(2);
    base = 16;
  }
  auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), *out, base);
  return !v.empty() && ec == std::errc() && end == v.data() + v.size();
}

}  // namespace

int main(int argc, char** argv) {
  using sim::programmer::EngineConfig;
  EngineConfig config;
  std::vector<sim::programmer::FaultRule> faults;
  std::string logPath;
  bool checkRate = true;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      Usage(stdout);
      return 0;
    }
    if (arg == "--pace") {
      config.pace = true;
      continue;
    }
    if (arg == "--any-rate") {
      checkRate = false;
      continue;
    }
    if (arg == "--clock-mode") {
      config.chip.hasClockMode = true;
      continue;
    }
    if (arg == "--card-protect") {
      config.sramWriteProtect = true;
      continue;
    }
    if (i + 1 >= argc) {
      Usage(stderr);
      return 2;
    }
    const std::string value = argv[++i];
    uint32_t n = 0;
    const bool numeric = Number(value, &n);
    auto bad = [&] {
      std::fprintf(stderr, "zolvek-sim: %s %s: bad value\n", arg.c_str(), value.c_str());
      return 2;
    };
    if (arg == "--fault") {
      std::string error;
      auto rule = sim::programmer::ParseFaultSpec(value, &error);
      if (!rule) {
        std::fprintf(stderr, "zolvek-sim: --fault %s: %s\n", value.c_str(), error.c_str());
        return 2;
      }
      faults.push_back(*rule);
    } else if (arg == "--log") {
      logPath = value;
    } else if (arg == "--id") {
      std::string error;
      auto rule = sim::programmer::ParseFaultSpec("*:chipid:" + value, &error);
      if (!rule) return bad();
      for (size_t k = 0; k < 4; ++k) config.chip.idBytes[k] = k < rule->bytes.size() ? rule->bytes[k] : 0xFF;
    } else if (!numeric) {
      return bad();
    } else if (arg == "--rate" && n <= 4) {
      config.powerUpRateCode = static_cast<uint8_t>(n);
    } else if (arg == "--pack" && n <= 0xFF) {
      config.packCode = static_cast<uint8_t>(n);
    } else if (arg == "--abandon") {
      config.abandonMs = n;
    } else if (arg == "--size" && n > 0 && n <= 0x1000000) {
      config.chip.size = n;
    } else if (arg == "--family" && n <= 0xFF) {
      config.chip.family = static_cast<uint8_t>(n);
    } else if (arg == "--driver-id" && n <= 0xFF) {
      config.chip.driverId = static_cast<uint8_t>(n);
    } else if (arg == "--erase-kind" && n <= 0xFF) {
      config.chip.eraseKind = static_cast<uint8_t>(n);
    } else if (arg == "--lock-bits" && n <= 8) {
      config.chip.lockBitCount = static_cast<uint8_t>(n);
    } else if (arg == "--table" && n <= 0x10000) {
      config.chip.securityTableSize = n;
    } else if (arg == "--weak-low") {
      config.chip.weakAtLowSupply = n;
    } else if (arg == "--passes" && n >= 1 && n <= 100) {
      config.chip.passesNeeded = n;
    } else if (arg == "--card" && n >= 128 && n <= 4096 && (n & (n - 1)) == 0) {
      config.sramCardKB = n;
    } else {
      return bad();
    }
  }

  FILE* log = nullptr;
  if (!logPath.empty()) {
    log = std::fopen(logPath.c_str(), "a");
    if (!log) {
      std::fprintf(stderr, "zolvek-sim: %s: %s\n", logPath.c_str(), std::strerror(errno));
      return 1;
    }
  }

  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);

  int status = 0;
  {
    const auto origin = std::chrono::steady_clock::now();
    sim::programmer::Programmer programmer(config, [origin] {
      return static_cast<sim::programmer::Micros>(
          std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - origin).count());
    });
    for (const auto& f : faults) programmer.AddFault(f);
    if (log) {
      programmer.Log().SetSink([log](const sim::programmer::CommandRecord& r) {
        std::fprintf(log, "%s\n", sim::programmer::FormatRecord(r).c_str());
        std::fflush(log);
      });
    }
    sim::programmer::PtyServer server(programmer, checkRate);
    std::string error;
    if (!server.Open(&error)) {
      std::fprintf(stderr, "zolvek-sim: %s\n", error.c_str());
      status = 1;
    } else {
      std::printf("%s\n", server.SlavePath().c_str());
      std::fflush(stdout);
      if (!server.Serve(g_stop, &error)) {
        std::fprintf(stderr, "zolvek-sim: %s\n", error.c_str());
        status = 1;
      }
    }
    programmer.Log().SetSink(nullptr);
  }
  if (log) std::fclose(log);
  return status;
}
