// A pseudo-terminal for a simulator to serve a device on, as a serial port
// program sees it: the slave set raw (every byte 0x00-0xFF passes unchanged)
// at the given rate, the master non-blocking. The simulator keeps no slave
// descriptor, so the master reports a hang-up while no host has it open.
#pragma once

#include <termios.h>

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

// Opens a new pseudo-terminal; false with a reason when it cannot. master
// gets the master descriptor (the caller closes it), slavePath its slave.
bool OpenRawPty(speed_t speed, int* master, std::string* slavePath, std::string* error);

// Writes out[sent..] to the master as far as it takes it without waiting,
// moving `sent`; false when no host holds the slave (what is left is then
// for nobody: `sent` goes to the end).
bool WritePending(int master, const std::vector<uint8_t>& out, size_t& sent);

// "what: reason" for the system call that just failed (errno).
std::string SysError(const char* what);

// The line rate a host set on the slave, in bits per second (0 when unknown).
// On Linux the master reports the slave's settings.
uint32_t PtyHostRate(int master);

}  // namespace sim
