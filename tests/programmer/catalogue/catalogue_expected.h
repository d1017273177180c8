// What the catalogue must hold by index: every manufacturer's name and its
// type names in order, and the rows given in full.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zolvek::test {

struct GivenRow {
  std::uint32_t mfr, type;
  const char* name;
  std::uint32_t size, family, lockStatusReadable, verifyVoltageProfile, lockKind, configKind, securityTableSize,
      eraseKind;
  const char* driverName;
  std::uint32_t driverId, idByteCount, bufferKind, idCheck;
  std::array<std::uint8_t, 4> idBytes;
  std::uint32_t converterMask;
};

// clang-format off
// Manufacturers in index order, each with its types in type-index order.
inline const std::vector<std::pair<std::string, std::vector<std::string>>> kExpectedTypes = {
    {"AMD", {"8751H", "8753H", "87C51", "87C521", "87C541", "87C52T2"}},
    {"INTEL", {"8751", "8751H", "8752", "8752H", "8744", "8744H", "8751BH", "8752BH", "87C51", "87C252", "87C51FA", "87C51FB", "87C51FC", "8755A", "87C52", "87C54", "87C58", "87C51(FX CORE)", "87C51RA", "87C51RB", "87C51RC", "87L51FA", "87L51FB", "87L51FC", "87L52", "87L54", "87L58", "87C251SB(A-step)", "87C251SB(B-step)", "87C251SQ", "87C251SA", "87C251SP", "87C151SA", "87C151SB"}},
    {"PHILIPS", {"87C51", "87C52", "87C54", "87C58", "87C652", "87C654", "87C528", "87C524", "87C575", "87C51FA", "87L51FA", "87C51FB", "87L51FB", "87C51FC", "87C504", "87C508", "87C550", "89C738", "89C138", "89C238", "89C535", "89C536", "89C538", "87C51RA+", "87C51RB+", "87C51RC+", "87C51RD+", "87C576", "89C132", "89C58Uxxx", "89C51RC+", "89C51RD+", "89C838", "89C51Uxxx", "89C52Uxxx", "89C54Uxxx", "89C638", "89C51RD2Hxxx", "89C660", "89C51RB2Hxxx", "89C51RC2Hxxx", "89C662", "89C664", "89C668", "87C51MC2", "89C58Bx", "87C51MB2", "87C52X2", "89C52Bx", "87C51X2", "87C58X2", "89C51RD2xx", "89C51RC2xx", "89C51RB2xx", "89C51RA2xx", "89C51Bx", "89C54Bx", "89C51X2", "89C52X2", "89C58X2", "87C54X2", "89C61X2", "89C669", "89C54X2", "87C51RA2", "87C51RB2", "87C51RC2", "89C60X2", "87C51RD2", "87C654X2", "87C660X2", "87C661X2", "87CL52X2", "87CL54X2", "89LV51RD2", "89V51RD2"}},
    {"NEC", {"8755A"}},
    {"TOSHIBA", {"8755A"}},
    {"ATMEL", {"AT89C51", "AT89C52", "AT89LV51", "AT89LV52", "AT89C2051", "AT89C1051", "AT89C55", "AT89S8252", "AT89S53", "AT87F51", "AT87F52", "AT89C4051", "AT89LV55", "AT89LS8252", "AT89LS53", "AT89C1051U", "AT87F51RC", "AT89C51RC", "AT89C55WD", "AT89S51", "AT89S52", "T89C51IC2", "AT87C5111", "T89C51RC2", "T89C51RB2", "T87C5101", "T89C51RD2", "AT87F55WD", "AT89C2051X2", "AT89C51RD2", "AT89C51ID2", "AT89C51ED2", "AT89LS52", "AT89LS51", "AT89C51IC2", "AT89C51RC2", "AT89C51RB2"}},
    {"DALLAS", {"DS87C520", "DS5000 8", "DS5000 32", "DS89C420", "DS89C430", "DS89C440", "DS89C450"}},
    {"SIEMENS", {"SAB-C501G-1E", "C513A-H", "C513A-2E", "C513A-2E(PLCC)", "C513A-2E(QFP)"}},
    {"LG Semicon", {"HMS80C701", "HMS97C51", "HMS97L51", "HMS97C52", "HMS97L52", "HMS97C54", "HMS97C56", "HMS97C58", "HMS97L54", "HMS97L56", "HMS97L58", "HMS87C1202", "HMS87C1102", "HMS87C1408", "HMS99C58", "HMS87C1201", "HMS87C1101", "HMS87C1404"}},
    {"WINBOND", {"W78E51", "W78E52", "W78E354", "W78E54", "W78E58", "W78E512", "W78E61", "W78LE812", "W78E516/B", "W78E62/B", "W77E58", "W77E468", "W78E51B", "W78E52B", "W77LE58", "W78E54B", "W78LE54", "W78LE52", "W78LE51", "W78E374E", "W78E378", "W78E378E", "W78LE516", "W78LE58", "W78E58B", "W77E532", "W78E858", "W78E65", "W78E365", "W77E516", "W78E51C", "W78E52C", "W78E54C", "W78ERD2", "W78LE365", "W77LE532", "W77LE516", "W79E532"}},
    {"TEMIC", {"TSC87251G1", "TSC87251A1", "TSC87C51", "TSC87C52", "TSC87251G2", "TSC8751I2", "TSC8751C3", "TSC87251G1A", "TSC8758", "TS87C51RC2", "TSC8754", "TS87C51RA2", "TS87C51RB2", "TS87C51RD2", "TS87C52X2", "TSC87251G2D", "TSC87251G2D_L", "TS87C51U2", "TS87C54X2", "TS87C58X2", "T87C5101", "T89C51RD2"}},
    {"DynaColor", {"D16F51P", "D16F52P", "D16F54P", "D16F51D", "D16F52D", "D16F54D/L", "D16F78BE"}},
    {"MYSON", {"MTV012", "MTV112", "MTV112M", "MTV512M", "CS8954"}},
    {"ISSI", {"IS89C52", "IS89C51", "IS89C51A", "IS89C52A", "IS89C/E58", "IS89C/E54", "IS89C/E64", "IS89LV52A"}},
    {"SST", {"SST89F54", "SST89F58", "SST89C54", "SST89C58", "SST89V564RD", "SST89V554RC", "SST89E554RC", "SST89E564RD"}},
    {"SMARTCHIP", {"SMC57C51", "SMC57L51", "SMC57C52", "SMC57C58"}},
    {"MOSEL Vitelic", {"MSU2964", "MSU2958"}},
    {"MXIC", {"MX10FMAXD", "MX10FLCDPCB", "MX10E8050I"}},
    {"ALI", {"M6759"}},
    {"SYNCMOS", {"SM2964", "SM2958", "SM2952", "SM2965", "SM8951", "SM8952", "SM8954", "SM8958", "SM89516", "SM5964", "SM79164", "SM59264", "SM8951A", "SM8952A", "SM8958A", "SM89516A", "SM79108", "SM8954A"}},
    {"VersaChips", {"V87C54", "V87C58"}},
    {"HYNIX", {"HMS80C701", "HMS97C51", "HMS97L51", "HMS97C52", "HMS97L52", "HMS97C54", "HMS97C56", "HMS97C58", "HMS97L54", "HMS97L56", "HMS97L58", "HMS87C1202", "HMS87C1102", "HMS87C1408", "HMS99C58", "HMS87C1201", "HMS87C1101", "HMS87C1404", "HMS87C1204A", "HMS87C1202A", "HMS81032TL", "HMS87C1104A", "HMS87C1102A", "HMS99C52", "HMS81032ET 28-pin", "HMS87C1416B"}},
    {"HYUNDAI", {"HMS80C701", "HMS97C51", "HMS97L51", "HMS97C52", "HMS97L52", "HMS97C54", "HMS97C56", "HMS97C58", "HMS97L54", "HMS97L56", "HMS97L58", "HMS87C1202", "HMS87C1102", "HMS87C1408", "HMS99C58", "HMS87C1201", "HMS87C1101", "HMS87C1404", "HMS87C1204A", "HMS87C1202A", "HMS81032TL", "HMS87C1104A", "HMS87C1102A"}},
    {"ICSI", {"IS89C52", "IS89C51", "IS89C51A", "IS89C52A", "IS89C/E58", "IS89C/E54", "IS89C/E64", "IS89LV52A"}},
    {"Orvane", {"VX610(87C52)", "VX930"}},
    {"GOAL", {"VRS550", "VRS700", "VRS1000", "VRS540", "VRS560", "VRS570", "VRS580", "VRS900", "VRS1100"}},
    {"INFINEON", {"SAB-C501G-1E", "C513A-H", "C513A-2E", "C513A-2E(PLCC)", "C513A-2E(QFP)"}},
    {"PTC", {"PT8936"}},
    {"TOPRO", {"TP2804L", "TP2804H"}},
    {"GENCORE", {"GC87C520"}},
    {"SYNTEK", {"STK6011-5V", "STK6012-5V", "STK6011-3V", "STK6012-3V"}},
    {"MEGAWIN", {"MPC89L516X2"}},
};

// The rows given in full; adaptorText is "None" and wordWide 0 in each.
inline const std::vector<GivenRow> kGivenRows = {
    {1, 1, "8751H", 0x1000, 0x00, 0, 0, 1, 0, 0, 0, "8751_H", 0x01, 0, 1, 0, {0xFF, 0xFF, 0xFF, 0xFF}, 0x3},
    {1, 10, "87C51FA", 0x2000, 0x00, 0, 0, 3, 0, 0x40, 0, "87C51FA", 0x04, 3, 1, 1, {0x89, 0x58, 0xFA, 0xFF}, 0xF},
    {5, 0, "AT89C51", 0x1000, 0x00, 0, 0, 3, 0, 0, 1, "89C52", 0x10, 2, 1, 1, {0x1E, 0x51, 0xFF, 0xFF}, 0xF},
    {2, 17, "89C738", 0x10000, 0x0B, 0, 0, 0, 0, 0, 1, "P89C738", 0x0F, 2, 1, 0, {0xFF, 0xFF, 0xFF, 0xFF}, 0x80F},
    {2, 28, "89C132", 0xFC00, 0x02, 1, 0, 3, 2, 0, 2, "P89C132", 0x21, 2, 1, 1, {0x15, 0xC6, 0xFF, 0xFF}, 0xF},
    {2, 51, "89C51RD2xx", 0x10000, 0x11, 1, 0, 3, 5, 0, 9, "89C51D2x", 0xA0, 3, 1, 1, {0x15, 0xC2, 0x82, 0xFF}, 0xF},
    {2, 62, "89C669", 0x18000, 0x13, 1, 0, 3, 4, 0, 8, "89C51LCD", 0xAD, 3, 1, 1, {0x15, 0xC6, 0x05, 0xFF}, 0x2},
    {14, 0, "SST89F54", 0x4000, 0x1B, 0, 0, 3, 0, 0, 4, "SST89C59", 0x26, 2, 1, 1, {0xBF, 0xE3, 0xFF, 0xFF}, 0xF},
    {14, 5, "SST89V554RC", 0x8000, 0x0A, 0, 0, 3, 1, 0, 7, "S89V554", 0xAE, 2, 1, 1, {0xBF, 0x98, 0xFF, 0xFF}, 0x2},
    {14, 7, "SST89E564RD", 0x10000, 0x0A, 0, 0, 3, 1, 0, 6, "S89E564", 0xB2, 2, 1, 1, {0xBF, 0x91, 0xFF, 0xFF}, 0xA},
    {9, 20, "W78E378", 0x8000, 0x01, 0, 2, 0, 0, 0, 1, "W78E374", 0x35, 2, 1, 1, {0xDA, 0x61, 0xFF, 0xFF}, 0x800000},
    {9, 25, "W77E532", 0x21000, 0x2E, 0, 0, 0, 4, 0, 1, "W77E532", 0x9B, 2, 0, 1, {0xDA, 0xE6, 0xFF, 0xFF}, 0xF},
    {9, 29, "W77E516", 0x11000, 0x2E, 0, 0, 0, 4, 0, 1, "W77E516", 0x55, 2, 1, 1, {0xDA, 0xE5, 0xFF, 0xFF}, 0xF},
    {5, 31, "AT89C51ED2", 0x10000, 0x10, 1, 0, 0, 7, 0x800, 11, "89C51ED2", 0x5D, 4, 1, 1, {0x58, 0xD7, 0xEC, 0xEF}, 0x3F},
    {6, 0, "DS87C520", 0x4000, 0x75, 0, 0, 3, 1, 0x40, 0, "87C51FA", 0x04, 3, 1, 1, {0xDA, 0x20, 0x01, 0xFF}, 0xF},
    {6, 1, "DS5000 8", 0x2000, 0x04, 0, 0, 1, 1, 0, 1, "DS5000", 0x22, 0, 1, 0, {0xFF, 0xFF, 0xFF, 0xFF}, 0x0},
    {12, 1, "MTV112", 0x8000, 0x00, 0, 0, 1, 0, 0, 0, "MTV112", 0x1E, 0, 1, 0, {0xFF, 0xFF, 0xFF, 0xFF}, 0x200},
    {8, 11, "HMS87C1202", 0x800, 0x23, 1, 3, 1, 1, 0, 0, "87C1202", 0x25, 0, 1, 0, {0xFF, 0xFF, 0xFF, 0xFF}, 0x4000},
    {21, 18, "HMS87C1204A", 0x1000, 0x24, 1, 0, 0, 10, 0, 0, "G87C1204", 0x50, 0, 1, 0, {0xFF, 0xFF, 0xFF, 0xFF}, 0x4000},
    {21, 23, "HMS99C52", 0x2000, 0x26, 0, 0, 6, 0, 0, 1, "99C52", 0xAC, 2, 1, 0, {0xE0, 0x92, 0xFF, 0xFF}, 0x0},
    {21, 25, "HMS87C1416B", 0x4000, 0x25, 1, 4, 0, 2, 0, 0, "87C1416B", 0x62, 0, 1, 0, {0xFF, 0xFF, 0xFF, 0xFF}, 0x40000},
    {22, 2, "HMS97L51", 0x1000, 0x00, 0, 1, 2, 0, 0x20, 0, "97L51", 0x28, 2, 1, 0, {0xFF, 0xFF, 0xFF, 0xFF}, 0xF},
    {24, 0, "VX610(87C52)", 0x2000, 0x00, 0, 0, 3, 0, 0, 0, "VX610", 0x54, 3, 1, 1, {0x37, 0x6E, 0x7F, 0xFF}, 0xF},
    {24, 1, "VX930", 0x10000, 0x00, 1, 0, 2, 0, 0, 1, "VX930", 0xB8, 0, 1, 0, {0xFF, 0xFF, 0xFF, 0xFF}, 0xF},
    {28, 0, "TP2804L", 0xFFFF, 0x1A, 0, 0, 1, 1, 0, 1, "TP2804L", 0x59, 0, 1, 0, {0xFF, 0xFF, 0xFF, 0xFF}, 0x3},
    {30, 1, "STK6012-5V", 0x20000, 0x3C, 0, 0, 0, 0, 0, 1, "STK6011", 0x5A, 0, 1, 0, {0xFF, 0xFF, 0xFF, 0xFF}, 0x2},
};
// clang-format on

}  // namespace zolvek::test
