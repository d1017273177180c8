// Connection and programmer set-up: the rate search on COM, the pack check
// (also the first step of every operation) and the set-up command.
#pragma once

#include "programmer/link/commands.h"

namespace zolvek {

// The reply the pack command must give.
inline constexpr uint8_t PackCode = 1;

// On COM NegotiateRate(firstRateIndex); on LPT and USB 0 without a word.
int ConnectProgrammer(Commands& commands, int firstRateIndex);
// Finds the rate the programmer listens at (first the expected one, then
// 9600 up to 115200), moves both sides to BaudIndex and confirms there.
// 0 / 1; also 1 when the rate code could not be sent.
int NegotiateRate(Commands& commands, int first);
// 0 pack right; 1 with LinkStatus the framing status, 6 (a wrong reply, its
// byte in ErrorAddress as 0x100 | byte) or 7 (no reply).
int CheckPack(Commands& commands);
// The set-up command (1, 0x1A, 2) and its pause; nothing follows a failed
// prompt. The framing status, which the program does not look at.
int InitProgrammer(Commands& commands);

}  // namespace zolvek
