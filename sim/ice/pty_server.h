// Serves a Board on a pseudo-terminal, so a program that opens serial ports
// (the IDE, tools/boardsim-ping) can talk to the simulated emulator.
//
// The slave side is set raw (cfmakeraw) once at open, so every byte 0x00-0xFF
// passes unchanged. The server keeps no slave descriptor of its own: while no
// host has the slave open the master reports a hang-up, and the server checks
// again every 50 ms instead of spinning; replies due while no host listens are
// dropped. A host may close and reopen the slave any number of times. Waits
// are real time (poll), bounded by 50 ms, so a stop request is seen quickly.
// Replies are written as each falls due, so those queued behind a late one
// reach the host one after another, never in one burst.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/ice/board.h"

namespace sim::ice {

class PtyServer {
public:
  explicit PtyServer(Board& board);
  ~PtyServer();
  PtyServer(const PtyServer&) = delete;
  PtyServer& operator=(const PtyServer&) = delete;

  // Creates the pseudo-terminal; false with a reason when it cannot.
  bool Open(std::string* error);
  // The slave's path, e.g. "/dev/pts/3", once open.
  const std::string& SlavePath() const { return slavePath_; }

  enum class End {
    Stopped,  // `stop` became true
    HungUp,  // a HangUp fault: the pseudo-terminal is closed
    Failed,  // a system call failed; see `error`
  };
  End Serve(const std::atomic<bool>& stop, std::string* error);

private:
  void Close();

  Board& board_;
  int master_ = -1;
  std::string slavePath_;
  std::vector<uint8_t> out_;  // reply bytes taken from the board, not yet written
  size_t outSent_ = 0;
};

}  // namespace sim::ice
