// Serves the simulated programmer on a pseudo-terminal: the COM link.
//
// Each chunk the host writes goes to the programmer with the rate the host
// set on its side of the line (the slave's settings, which the master
// reports), and each reply byte is written out only if the host still listens
// at the programmer's rate; so a host at another rate hears nothing and is
// not heard, as on a serial line. `checkRate` false passes every byte (for a
// quick script that does not set a rate). The pty starts at 9600, the
// programmer's power-up rate. While no host has the slave open the server
// checks again every 50 ms; replies due then are dropped. A pulled-cable
// fault keeps the pty but lets nothing through.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/programmer/programmer.h"

namespace sim::programmer {

class PtyServer {
public:
  explicit PtyServer(Programmer& programmer, bool checkRate = true);
  ~PtyServer();
  PtyServer(const PtyServer&) = delete;
  PtyServer& operator=(const PtyServer&) = delete;

  bool Open(std::string* error);
  const std::string& SlavePath() const { return slavePath_; }

  // Serves until `stop` becomes true (true) or a system call fails (false).
  bool Serve(const std::atomic<bool>& stop, std::string* error);

  // Waits shorter than `us` are spun, not slept, and so is the wait for the
  // host's next byte until `us` after the last byte either way: a sleeping
  // thread wakes tens of microseconds late, half a byte time at 115200 on
  // every exchange. Costs a core while traffic flows, so 0 (the default)
  // never spins. Set before Serve.
  void SetSpinUs(Micros us) { spinUs_ = us; }

private:
  void Close();

  Programmer& programmer_;
  bool checkRate_;
  int master_ = -1;
  std::string slavePath_;
  std::vector<uint8_t> out_;
  size_t outSent_ = 0;
  Micros spinUs_ = 0;
};

}  // namespace sim::programmer
