#include "ide/image/register_names.h"

namespace vx930 {
namespace {

constexpr std::array<NameRow, 29> kDirNames{{
    {0x80, "P0 "},   {0x81, "SP "},   {0x82, "DPL "}, {0x83, "DPH "},   {0x87, "PCON "},   {0x88, "TCON "},
    {0x89, "TMOD "}, {0x8A, "TL0 "},  {0x8B, "TL1 "}, {0x8C, "TH0 "},   {0x8D, "TH1 "},    {0x90, "P1 "},
    {0x98, "SCON "}, {0x99, "SBUF "}, {0xA0, "P2 "},  {0xA1, "ADD "},   {0xA2, "PWM1 "},   {0xA3, "PWM2 "},
    {0xA8, "IE "},   {0xB0, "P3 "},   {0xB8, "IP "},  {0xC8, "T2CON "}, {0xCA, "RCAP2L "}, {0xCB, "RCAP2H "},
    {0xCC, "TL2 "},  {0xCD, "TH2 "},  {0xD0, "PSW "}, {0xE0, "ACC "},   {0xF0, "B "},
}};

constexpr std::array<NameRow, 96> kBitNames{{
    {0x80, "P0.0 "},
    {0x81, "P0.1 "},
    {0x82, "P0.2 "},
    {0x83, "P0.3 "},
    {0x84, "P0.4 "},
    {0x85, "P0.5 "},
    {0x86, "P0.6 "},
    {0x87, "P0.7 "},
    {0x88, "IT0(TCON.0) "},
    {0x89, "IE0(TCON.1) "},
    {0x8A, "IT1(TCON.2) "},
    {0x8B, "IE1(TCON.3) "},
    {0x8C, "TR0(TCON.4) "},
    {0x8D, "TF0(TCON.5) "},
    {0x8E, "TR1(TCON.6) "},
    {0x8F, "TF1(TCON.7) "},
    {0x90, "P1.0 "},
    {0x91, "P1.1 "},
    {0x92, "P1.2 "},
    {0x93, "P1.3 "},
    {0x94, "P1.4 "},
    {0x95, "P1.5 "},
    {0x96, "P1.6 "},
    {0x97, "P1.7 "},
    {0x98, "RI(SCON.0) "},
    {0x99, "TI(SCON.1) "},
    {0x9A, "RB8(SCON.2) "},
    {0x9B, "TB8(SCON.3) "},
    {0x9C, "REN(SCON.4) "},
    {0x9D, "SM2(SCON.5) "},
    {0x9E, "SM1(SCON.6) "},
    {0x9F, "SM0(SCON.7) "},
    {0xA0, "P2.0 "},
    {0xA1, "P2.1 "},
    {0xA2, "P2.2 "},
    {0xA3, "P2.3 "},
    {0xA4, "P2.4 "},
    {0xA5, "P2.5 "},
    {0xA6, "P2.6 "},
    {0xA7, "P2.7 "},
    {0xA8, "EX0(IE.0) "},
    {0xA9, "ET0(IE.1) "},
    {0xAA, "EX1(IE.2) "},
    {0xAB, "ET1(IE.3) "},
    {0xAC, "ES(IE.4) "},
    {0xAD, "IE.5 "},
    {0xAE, "IE.6 "},
    {0xAF, "IE.7 "},
    {0xB0, "P3.0 "},
    {0xB1, "P3.1 "},
    {0xB2, "P3.2 "},
    {0xB3, "P3.3 "},
    {0xB4, "P3.4 "},
    {0xB5, "P3.5 "},
    {0xB6, "P3.6 "},
    {0xB7, "P3.7 "},
    {0xB8, "PX0(IP.0) "},
    {0xB9, "PT0(IP.1) "},
    {0xBA, "PX1(IP.2) "},
    {0xBB, "PT1(IP.3) "},
    {0xBC, "PS(IP.4) "},
    {0xBD, "IP.5 "},
    {0xBE, "IP.6 "},
    {0xBF, "IP.7 "},
    {0xC8, "CP/RL2(T2CON.0) "},
    {0xC9, "C/T2(T2CON.1) "},
    {0xCA, "TR2(T2CON.2) "},
    {0xCB, "EXEN2(T2CON.3) "},
    {0xCC, "TCLK(T2CON.4) "},
    {0xCD, "RCLK(T2CON.5) "},
    {0xCE, "EXF2(T2CON.6) "},
    {0xCF, "TF2(T2CON.7) "},
    {0xD0, "P(PSW.0) "},
    {0xD1, "PSW.1 "},
    {0xD2, "OV(PSW.2) "},
    {0xD3, "RS0(PSW.3) "},
    {0xD4, "RS1(PSW.4) "},
    {0xD5, "F0(PSW.5) "},
    {0xD6, "AC(PSW.6) "},
    {0xD7, "CY(PSW.7) "},
    {0xE0, "ACC.0 "},
    {0xE1, "ACC.1 "},
    {0xE2, "ACC.2 "},
    {0xE3, "ACC.3 "},
    {0xE4, "ACC.4 "},
    {0xE5, "ACC.5 "},
    {0xE6, "ACC.6 "},
    {0xE7, "ACC.7 "},
    {0xF0, "B.0 "},
    {0xF1, "B.1 "},
    {0xF2, "B.2 "},
    {0xF3, "B.3 "},
    {0xF4, "B.4 "},
    {0xF5, "B.5 "},
    {0xF6, "B.6 "},
    {0xF7, "B.7 "},
}};

constexpr std::size_t NameLength(const char* s, std::size_t limit) {
  std::size_t n = 0;
  while (n < limit && s[n] != ' ' && s[n] != '\0') ++n;
  return s[n] == ' ' ? n : limit + 1;
}

// Every stored name must end in its blank within 10 (byte) or 20 (bit)
// characters; checked here so no name can be printed cut short.
template <std::size_t N>
constexpr bool NamesEndInBlank(const std::array<NameRow, N>& rows, std::size_t limit) {
  for (const NameRow& row : rows)
    if (NameLength(row.name, limit) > limit) return false;
  return true;
}
static_assert(NamesEndInBlank(kDirNames, 10));
static_assert(NamesEndInBlank(kBitNames, 20));

template <std::size_t N>
constexpr std::array<std::string_view, 256> Index(const std::array<NameRow, N>& rows, std::size_t limit) {
  std::array<std::string_view, 256> index{};
  for (const NameRow& row : rows)
    if (index[row.address].empty()) index[row.address] = std::string_view(row.name, NameLength(row.name, limit));
  return index;
}

constexpr std::array<std::string_view, 256> kDirIndex = Index(kDirNames, 10);
constexpr std::array<std::string_view, 256> kBitIndex = Index(kBitNames, 20);

}  // namespace

const std::array<NameRow, 29> DirNameTable = kDirNames;
const std::array<NameRow, 96> BitNameTable = kBitNames;

std::string_view DirName(uint8_t address) { return kDirIndex[address]; }
std::string_view BitName(uint8_t address) { return kBitIndex[address]; }

}  // namespace vx930
