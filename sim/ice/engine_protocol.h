// The emulator board's wire vocabulary: the protocol's codes, the frame
// checksum, which payload lengths each command accepts, and the order of the
// 58-byte SFR block.
//
// A request is [Len][P1][P2][Cmd][Len payload bytes][Chk]; every reply is
// [R0][R1][R2][Code][data][Chk]. Chk makes the byte sum of its frame 0 mod 256.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "ide/link/ice_protocol.h"

namespace sim::ice {

// The codes are the IDE's own (one header for both ends of the wire).
using IceCommand = vx930::IceCommand;
using IceStatus = vx930::IceStatus;
using enum vx930::IceCommand;
using enum vx930::IceStatus;

inline constexpr size_t kHeaderSize = 4;
inline constexpr size_t kMaxFrameSize = kHeaderSize + 255 + 1;
inline constexpr size_t kBlockSize = 64;

// The two's complement of the byte sum of `n` bytes.
uint8_t FrameChecksum(const uint8_t* bytes, size_t n);
// True when the `n` bytes (checksum included) add up to 0 mod 256.
bool ChecksumOk(const uint8_t* bytes, size_t n);

bool IsKnownCommand(uint8_t code);
// Whether a request with this code may carry `len` payload bytes. The board
// ignores a frame whose length its command does not take.
bool AcceptsLength(uint8_t code, uint8_t len);
// "icReset" and so on; "?" for a code the board does not know.
const char* CommandName(uint8_t code);

// The SFR block: one byte per register in this order. Indices 55 and 56 hold
// the program counter (see Target), the others the SFR at kSfrBlockAddress[i].
inline constexpr size_t kSfrBlockSize = 58;
inline constexpr size_t kSfrPclIndex = 55;
inline constexpr size_t kSfrPchIndex = 56;
using SfrBlock = std::array<uint8_t, kSfrBlockSize>;

inline constexpr std::array<uint8_t, kSfrBlockSize> kSfrBlockAddress = {
    0x80,  //  0 P0
    0x81,  //  1 SP
    0x82,  //  2 DPL
    0x83,  //  3 DPH
    0x84,  //  4 DPL1
    0x85,  //  5 DPH1
    0x86,  //  6 DPS
    0x87,  //  7 PCON
    0x88,  //  8 TCON
    0x89,  //  9 TMOD
    0x8A,  // 10 TL0
    0x8B,  // 11 TL1
    0x8C,  // 12 TH0
    0x8D,  // 13 TH1
    0x90,  // 14 P1
    0x98,  // 15 SCON
    0x99,  // 16 SBUF
    0xA0,  // 17 P2
    0xA4,  // 18 TP2
    0xA8,  // 19 IE
    0xB0,  // 20 P3
    0xB8,  // 21 IP
    0xC0,  // 22 SCON1
    0xC1,  // 23 SBUF1
    0xC2,  // 24 MAC0
    0xC3,  // 25 MAC1
    0xC4,  // 26 MAC2
    0xC8,  // 27 T2CON
    0xCA,  // 28 RCAP2L
    0xCB,  // 29 RCAP2H
    0xCC,  // 30 TL2
    0xCD,  // 31 TH2
    0xD0,  // 32 PSW
    0xDA,  // 33 ADC0CN
    0xDB,  // 34 AMX0SL
    0xDC,  // 35 ADC0PGA
    0xDD,  // 36 ADC0CLK
    0xDE,  // 37 ADC0SR
    0xDF,  // 38 ADC0L
    0xE0,  // 39 ACC
    0xE2,  // 40 ADC0H
    0xE3,  // 41 ADC0GTL
    0xE4,  // 42 ADC0GTH
    0xE5,  // 43 ADC0LTL
    0xE6,  // 44 ADC0LTH
    0xE8,  // 45 IE1
    0xEA,  // 46 DACON
    0xEB,  // 47 DAC0L
    0xEC,  // 48 DAC0H
    0xED,  // 49 DAC1L
    0xEE,  // 50 DAC1H
    0xF0,  // 51 B
    0xF2,  // 52 WDCON
    0xF3,  // 53 RAMCON
    0xF8,  // 54 IP1
    0xFC,  // 55 PCL (program counter, not the SFR)
    0xFD,  // 56 PCH (program counter, not the SFR)
    0xFF,  // 57 CPUCTRL
};

}  // namespace sim::ice
