// Opens the emulator link: the serial port by number, then the command set
// over it. The program opens termios ports; tests open fakes or ptys.
#pragma once

#include <memory>

#include "ide/link/ice_commands.h"

namespace vx930 {

// An open serial port; deleting it closes the port.
class ComPortHandle {
public:
  virtual ~ComPortHandle() = default;
};

class LinkOpener {
public:
  virtual ~LinkOpener() = default;
  // The port COM<portNo>, opened; null when it would not open (the port shows
  // its own "Open ComPort Error!!" first).
  virtual std::unique_ptr<ComPortHandle> OpenPort(int portNo) = 0;
  // The command set over an open port; the port outlives it.
  virtual std::unique_ptr<IceCommands> CreateCommands(ComPortHandle& port) = 0;
};

}  // namespace vx930
