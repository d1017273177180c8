// vx930-boardsim: the simulated emulator board on a pseudo-terminal.
//
// Prints the slave's path on one line and serves the board there until
// SIGTERM or SIGINT (exit 0), a hang-up fault (exit 0) or an error (exit 1).
#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "sim/common/sim_main.h"
#include "sim/ice/board.h"
#include "sim/ice/faults.h"
#include "sim/ice/frame_log.h"
#include "sim/ice/pty_server.h"

namespace {

void Usage(FILE* to) {
  std::fputs(
      "usage: vx930-boardsim [--fault SEL:KIND[:ARG]]... [--log FILE]\n"
      "  Serves the simulated emulator board on a new pseudo-terminal and prints\n"
      "  its path. The target runs at 921600 machine cycles per second.\n"
      "  --fault  SEL is a command code in hex (05, 0x0C) or * for any frame,\n"
      "           with @N for the N-th such frame only. KIND and ARG:\n"
      "             none         no reply (the frame is ignored)\n"
      "             late:MS      reply MS milliseconds late; replies to later\n"
      "                          requests follow it one by one\n"
      "             badsum       reply with a bad checksum\n"
      "             wrongcode[:C] reply with Code C (default: the echo + 1)\n"
      "             short[:N]    send only the first N reply bytes (default: all but one)\n"
      "             stray[:B]    send byte B (default 0xFF) before the reply\n"
      "             busy[:N]     busy checks answer 12 (N times; default for ever)\n"
      "             failblock[:C] program blocks fail with Code C (default 0)\n"
      "             hangup       close the pseudo-terminal and exit\n"
      "           e.g. --fault 05@1:badsum --fault 0C:busy:3 --fault '*@9:late:300'\n"
      "  --log    append the frame log to FILE, one frame a line\n",
      to);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<sim::ice::FaultRule> faults;
  std::string logPath;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      Usage(stdout);
      return 0;
    }
    if ((arg == "--fault" || arg == "--log") && i + 1 < argc) {
      const std::string value = argv[++i];
      if (arg == "--log") {
        logPath = value;
        continue;
      }
      std::string error;
      auto rule = sim::ice::ParseFaultSpec(value, &error);
      if (!rule) {
        std::fprintf(stderr, "vx930-boardsim: --fault %s: %s\n", value.c_str(), error.c_str());
        return 2;
      }
      faults.push_back(*rule);
      continue;
    }
    Usage(stderr);
    return 2;
  }

  sim::LogFile log;
  if (!log.Open("vx930-boardsim", logPath)) return 1;
  std::atomic<bool>& stop = sim::StopOnSignals();

  sim::ice::BoardConfig config;
  config.pacing = sim::ice::Pacing::RealTime;
  config.logCapacity = 1024;
  sim::ice::Board board(config);
  for (const auto& f : faults) board.AddFault(f);
  if (log.IsOpen())
    board.Log().SetSink([&log](const sim::ice::FrameLogEntry& e) { log.Line(sim::ice::FormatLogEntry(e)); });

  sim::ice::PtyServer server(board);
  const int status = sim::ServeOnPty("vx930-boardsim", server, [&] {
    std::string error;
    switch (server.Serve(stop, &error)) {
      case sim::ice::PtyServer::End::Stopped: break;
      case sim::ice::PtyServer::End::HungUp: std::fprintf(stderr, "vx930-boardsim: hung up (fault)\n"); break;
      case sim::ice::PtyServer::End::Failed: std::fprintf(stderr, "vx930-boardsim: %s\n", error.c_str()); return 1;
    }
    return 0;
  });
  board.Log().SetSink(nullptr);
  return status;
}
