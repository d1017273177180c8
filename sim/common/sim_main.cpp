#include "sim/common/sim_main.h"

#include <signal.h>

#include <cerrno>
#include <cstring>

namespace sim {

namespace {

std::atomic<bool> g_stop{false};

void OnSignal(int) { g_stop.store(true); }

}  // namespace

std::atomic<bool>& StopOnSignals() {
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);
  return g_stop;
}

LogFile::~LogFile() {
  if (file_) std::fclose(file_);
}

bool LogFile::Open(const char* program, const std::string& path) {
  if (path.empty()) return true;
  file_ = std::fopen(path.c_str(), "a");
  if (file_) return true;
  std::fprintf(stderr, "%s: %s: %s\n", program, path.c_str(), std::strerror(errno));
  return false;
}

void LogFile::Line(const std::string& text) {
  if (!file_) return;
  std::fprintf(file_, "%s\n", text.c_str());
  std::fflush(file_);
}

}  // namespace sim
