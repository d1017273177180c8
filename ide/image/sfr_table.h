// The emulated microcontroller's special function registers and where each
// one's byte lies in the SFR block the emulator exchanges. The block is
// SFRCount bytes long and its order is fixed by ImageIndex, not by row order;
// the emulator link, the debugger's SFRImage and the SFR window all use it.
#pragma once

#include <array>
#include <cstdint>

namespace vx930 {

struct SFRItem {
  uint32_t SfrAddress;  // direct address, 0x80..0xFF
  const char* SfrName;  // 7 characters, blank-padded (the SFR window's caption)
  uint8_t WritableMask;  // writable bits; 0 marks a read-only register
  int16_t ImageIndex;  // index of the register's byte in the SFR block
  uint8_t Shown;  // 1 if the SFR window shows the row
};

inline constexpr int SFRCount = 58;

inline constexpr std::array<SFRItem, SFRCount> SFRTable{{
    {0xE0, "ACC    ", 0xFF, 39, 1}, {0xF0, "B      ", 0xFF, 51, 1}, {0x80, "P0     ", 0xFF, 0, 1},
    {0x90, "P1     ", 0xFF, 14, 1}, {0xA0, "P2     ", 0xFF, 17, 1}, {0xB0, "P3     ", 0xFF, 20, 1},
    {0x88, "TCON   ", 0xFF, 8, 1},  {0x89, "TMOD   ", 0xFF, 9, 1},  {0x8A, "TL0    ", 0xFF, 10, 1},
    {0x8B, "TL1    ", 0xFF, 11, 1}, {0x8C, "TH0    ", 0xFF, 12, 1}, {0x8D, "TH1    ", 0xFF, 13, 1},
    {0x98, "SCON   ", 0xFF, 15, 1}, {0x99, "SBUF   ", 0xFF, 16, 1}, {0xC8, "T2CON  ", 0xFF, 27, 1},
    {0xCA, "RCAP2L ", 0xFF, 28, 1}, {0xCB, "RCAP2H ", 0xFF, 29, 1}, {0xCC, "TL2    ", 0xFF, 30, 1},
    {0xCD, "TH2    ", 0xFF, 31, 1}, {0xC0, "SCON1  ", 0xFF, 22, 1}, {0xC1, "SBUF1  ", 0xFF, 23, 1},
    {0xA8, "IE     ", 0xFF, 19, 1}, {0xE8, "IE1    ", 0x07, 45, 1}, {0xB8, "IP     ", 0x7F, 21, 1},
    {0xF8, "IP1    ", 0x07, 54, 1}, {0x81, "SP     ", 0xFF, 1, 1},  {0x87, "PCON   ", 0xEF, 7, 1},
    {0xD0, "PSW    ", 0xFC, 32, 1}, {0x82, "DPL    ", 0xFF, 2, 1},  {0x83, "DPH    ", 0xFF, 3, 1},
    {0x86, "DPS    ", 0x01, 6, 1},  {0xF3, "RAMCON ", 0x07, 53, 1}, {0xC2, "MAC0   ", 0xFF, 24, 1},
    {0xC3, "MAC1   ", 0xFF, 25, 1}, {0xC4, "MAC2   ", 0xFF, 26, 1}, {0xA4, "TP2    ", 0xFF, 18, 1},
    {0xFF, "CPUCTRL", 0x03, 57, 1}, {0xF2, "WDCON  ", 0xEE, 52, 1}, {0xDA, "ADC0CN ", 0xFF, 33, 1},
    {0xDB, "AMX0SL ", 0xBF, 34, 1}, {0xDC, "ADC0PGA", 0x3F, 35, 1}, {0xDD, "ADC0CLK", 0x3F, 36, 1},
    {0xDE, "ADC0SR ", 0xFF, 37, 1}, {0xDF, "ADC0L  ", 0x00, 38, 1}, {0xE2, "ADC0H  ", 0x00, 40, 1},
    {0xE3, "ADC0GTL", 0xFF, 41, 1}, {0xE4, "ADC0GTH", 0xFF, 42, 1}, {0xE5, "ADC0LTL", 0xFF, 43, 1},
    {0xE6, "ADC0LTH", 0xFF, 44, 1}, {0xEA, "DACON  ", 0xFF, 46, 1}, {0xEB, "DAC0L  ", 0xFF, 47, 1},
    {0xEC, "DAC0H  ", 0xFF, 48, 1}, {0xED, "DAC1L  ", 0xFF, 49, 1}, {0xEE, "DAC1H  ", 0xFF, 50, 1},
    {0xFC, "PCL    ", 0x00, 55, 1}, {0xFD, "PCH    ", 0x00, 56, 1}, {0x84, "DPL1   ", 0x00, 4, 0},
    {0x85, "DPH1   ", 0x00, 5, 0},
}};

// The first row whose SfrAddress is the address, or -1.
constexpr int FindSFRRow(uint32_t sfrAddress) {
  for (int row = 0; row < SFRCount; ++row)
    if (SFRTable[row].SfrAddress == sfrAddress) return row;
  return -1;
}

// The register's index in the SFR block, or -1 when the table has no such register.
constexpr int SFRImageIndex(uint32_t sfrAddress) {
  const int row = FindSFRRow(sfrAddress);
  return row < 0 ? -1 : SFRTable[row].ImageIndex;
}

// Places in the block the debugger reads by name.
inline constexpr int kSfrIndexSP = SFRImageIndex(0x81);
inline constexpr int kSfrIndexPSW = SFRImageIndex(0xD0);
inline constexpr int kSfrIndexPCL = SFRImageIndex(0xFC);
inline constexpr int kSfrIndexPCH = SFRImageIndex(0xFD);

}  // namespace vx930
