// What the simulator programs' mains share: the stop on SIGTERM or SIGINT,
// the log file the --log option appends to, and the pseudo-terminal's start.
#pragma once

#include <atomic>
#include <cstdio>
#include <string>

namespace sim {

// Installs handlers that set the returned flag on SIGTERM and SIGINT, and
// ignores SIGPIPE (a host that closes its end must not kill the simulator).
std::atomic<bool>& StopOnSignals();

// The file --log appends to, one line a record, flushed after each; closed
// when it goes. No file without a path.
class LogFile {
public:
  LogFile() = default;
  LogFile(const LogFile&) = delete;
  LogFile& operator=(const LogFile&) = delete;
  ~LogFile();

  // Opens `path` for appending; false with "program: path: reason" on stderr.
  bool Open(const char* program, const std::string& path);
  bool IsOpen() const { return file_ != nullptr; }
  void Line(const std::string& text);

private:
  std::FILE* file_ = nullptr;
};

// Opens the server's pseudo-terminal and prints the slave's path on one line,
// then runs serve() and returns its exit status. An open that fails prints
// "program: reason" and returns 1.
template <typename Server, typename Serve>
int ServeOnPty(const char* program, Server& server, Serve serve) {
  std::string error;
  if (!server.Open(&error)) {
    std::fprintf(stderr, "%s: %s\n", program, error.c_str());
    return 1;
  }
  std::printf("%s\n", server.SlavePath().c_str());
  std::fflush(stdout);
  return serve();
}

}  // namespace sim
