// vx930-boardsim as a child process, its standard output on a pipe. The
// child is ended when the object goes, so a failed assertion leaves no
// simulator behind.
#pragma once

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

extern char** environ;

namespace vx930::testing {

inline const std::string kBoardSimPath = std::string(VX_BINARY_DIR) + "/sim/ice/vx930-boardsim";

class BoardSimProcess {
public:
  // `path`: another simulator with the same conventions (zolvek-sim).
  explicit BoardSimProcess(std::vector<std::string> args = {}, const std::string& path = kBoardSimPath) {
    int out[2];
    if (::pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    args.insert(args.begin(), path);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (::posix_spawn(&pid_, path.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    stdout_ = out[0];
  }
  ~BoardSimProcess() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      if (WaitExit(2000) < 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
      }
    }
    if (stdout_ >= 0) ::close(stdout_);
  }
  BoardSimProcess(const BoardSimProcess&) = delete;
  BoardSimProcess& operator=(const BoardSimProcess&) = delete;

  pid_t pid() const { return pid_; }

  // The next line the child prints (the first is its pty's path), or ""
  // when none is whole within `ms`.
  std::string ReadLine(int ms = 5000) {
    std::string line;
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (stdout_ >= 0 && Clock::now() < deadline) {
      pollfd p{stdout_, POLLIN, 0};
      if (::poll(&p, 1, 100) <= 0) continue;
      char c;
      if (::read(stdout_, &c, 1) != 1) break;
      if (c == '\n') return line;
      line += c;
    }
    return {};
  }

  // The exit status within `ms` (128 + the signal when one ended it), or -1
  // when the child still runs.
  int WaitExit(int ms) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (pid_ > 0) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      if (Clock::now() >= deadline) break;
      ::usleep(10000);
    }
    return -1;
  }

private:
  using Clock = std::chrono::steady_clock;
  pid_t pid_ = -1;
  int stdout_ = -1;
};

}  // namespace vx930::testing
