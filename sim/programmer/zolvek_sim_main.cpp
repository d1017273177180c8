// zolvek-sim: the simulated programmer on a pseudo-terminal (the COM link).
//
// Prints the slave's path on one line and serves the programmer there until
// SIGTERM or SIGINT (exit 0) or an error (exit 1).
#include <atomic>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "sim/common/fault_text.h"
#include "sim/common/sim_main.h"
#include "sim/programmer/programmer.h"
#include "sim/programmer/pty_server.h"

namespace {

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
    const std::optional<uint32_t> number = sim::ParseFaultNumber(value);
    const bool numeric = number.has_value();
    const uint32_t n = number.value_or(0);
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

  sim::LogFile log;
  if (!log.Open("zolvek-sim", logPath)) return 1;
  std::atomic<bool>& stop = sim::StopOnSignals();

  sim::programmer::Programmer programmer(config, sim::programmer::Programmer::SteadyTime());
  for (const auto& f : faults) programmer.AddFault(f);
  if (log.IsOpen()) {
    programmer.Log().SetSink(
        [&log](const sim::programmer::CommandRecord& r) { log.Line(sim::programmer::FormatRecord(r)); });
  }
  sim::programmer::PtyServer server(programmer, checkRate);
  const int status = sim::ServeOnPty("zolvek-sim", server, [&] {
    std::string error;
    if (server.Serve(stop, &error)) return 0;
    std::fprintf(stderr, "zolvek-sim: %s\n", error.c_str());
    return 1;
  });
  programmer.Log().SetSink(nullptr);
  return status;
}
