// The SFR window's cells and the dialog's input rule, without widgets.
#include "ide/ui/core/sfr_window_cells.h"

#include <gtest/gtest.h>

namespace vx930::testing {
namespace {

TEST(SfrCells, FiftySixRegistersThenROThroughR7) {
  const SfrCells cells;
  EXPECT_EQ(cells.ShownCount(), 56);
  EXPECT_EQ(cells.CellCount(), 64);
  for (int i = 0; i < cells.ShownCount(); ++i) {
    EXPECT_EQ(cells.Row(i), i);
    EXPECT_NE(cells.Caption(i), "DPL1   ");
    EXPECT_NE(cells.Caption(i), "DPH1   ");
  }
  EXPECT_EQ(cells.Caption(0), "ACC    ");
  EXPECT_EQ(cells.Caption(55), "PCH    ");
  EXPECT_EQ(cells.Caption(56), "R0");
  EXPECT_EQ(cells.Caption(63), "R7");
  EXPECT_EQ(cells.DialogLabel(0), "ACC    : (Hex)");
  EXPECT_EQ(cells.DialogLabel(58), "R2: (Hex)");
}

TEST(SfrCells, ReadOnlyRegistersAreThoseWithoutWritableBits) {
  const SfrCells cells;
  std::vector<std::string> readOnly;
  for (int i = 0; i < cells.CellCount(); ++i)
    if (!cells.Writable(i)) readOnly.push_back(cells.Caption(i));
  EXPECT_EQ(readOnly, (std::vector<std::string>{"ADC0L  ", "ADC0H  ", "PCL    ", "PCH    "}));
}

TEST(SfrCells, LayoutInColumnsOfOneHundredPixels) {
  struct Case {
    int width;
    int columns;
  };
  for (const Case c : {Case{459, 4}, Case{1024, 10}, Case{200, 2}, Case{150, 1}, Case{99, 1}, Case{0, 1}, Case{-5, 1}})
    EXPECT_EQ(SfrCells::Columns(c.width), c.columns) << c.width;

  const CellRect button = SfrCells::ButtonRect(5, 4);
  EXPECT_EQ(button.left, 110);
  EXPECT_EQ(button.top, 45);
  EXPECT_EQ(button.width, 55);
  EXPECT_EQ(button.height, 20);
  const CellRect box = SfrCells::BoxRect(5, 4);
  EXPECT_EQ(box.left, 175);
  EXPECT_EQ(box.top, 45);
  const CellRect single = SfrCells::BoxRect(63, 1);
  EXPECT_EQ(single.left, 75);
  EXPECT_EQ(single.top, 63 * 25 + 20);

  const SfrCells cells;
  EXPECT_EQ(cells.FittedWidth(4), 3 * 100 + 75 + 55);
  EXPECT_EQ(cells.FittedHeight(4), 15 * 25 + 20 + 60);
  EXPECT_EQ(cells.FittedWidth(1), 130);
  EXPECT_EQ(cells.FittedHeight(1), 63 * 25 + 20 + 60);
}

TEST(SfrCells, ValuesComeFromTheImageIndexAndTheCurrentBank) {
  DebuggerState s;
  const SfrCells cells;
  s.SFRImage[39] = 0xA5;  // ACC
  s.SFRImage[kSfrIndexPSW] = 0x18;  // bank 3
  for (int k = 0; k < 8; ++k) s.InRAMImage[0x18 + k] = static_cast<uint8_t>(0xB0 + k);
  s.InRAMImage[0x00] = 0x11;
  EXPECT_EQ(cells.ValueText(0, s), "  A5");
  EXPECT_EQ(cells.ValueText(27, s), "  18");  // PSW
  for (int k = 0; k < 8; ++k) {
    EXPECT_EQ(SfrCells::RegisterAddress(s, k), 0x18 + k);
    EXPECT_EQ(cells.Value(56 + k, s), 0xB0 + k);
  }
  EXPECT_EQ(cells.ValueText(63, s), "  B7");
  s.SFRImage[kSfrIndexPSW] = 0x08;  // bank 1: R2 is byte 0x0A
  EXPECT_EQ(SfrCells::RegisterAddress(s, 2), 0x0A);
}

TEST(SfrCells, OnlyWhatChangedSinceTheSnapshotIsMarked) {
  DebuggerState s;
  const SfrCells cells;
  s.SFRImage[kSfrIndexPSW] = 0x10;  // bank 2
  s.InRAMImage[0x13] = 7;
  s.SnapshotSFR();
  s.SFRImage[kSfrIndexPCH] = 0x12;
  s.InRAMImage[0x13] = 8;  // R3 of bank 2
  s.InRAMImage[0x03] = 9;  // R3 of bank 0: not the current bank
  std::vector<std::string> marked;
  for (int i = 0; i < cells.CellCount(); ++i)
    if (cells.Changed(i, s)) marked.push_back(cells.Caption(i));
  EXPECT_EQ(marked, (std::vector<std::string>{"PCH    ", "R3"}));
}

TEST(SfrDialogInput, TypedTextIsReadAsBareHexDigits) {
  struct Case {
    const char* text;
    int value;  // -1: "Input value invalid"
  };
  const Case cases[] = {
      {"1f", 31},  {"FF", 255}, {"ff", 255}, {"0", 0},          {"00FF", 255}, {"7", 7},
      {"100", -1}, {"", -1},    {"G1", -1},  {"0x1F", -1},      {"$1F", -1},   {"-1", -1},
      {"+1", -1},  {" 1", -1},  {"1 ", -1},  {"FFFFFFFFF", -1}, {"1\n", -1},
  };
  for (const Case& c : cases) {
    const std::optional<uint8_t> v = ParseSfrValue(c.text);
    if (c.value < 0)
      EXPECT_FALSE(v) << '"' << c.text << '"';
    else
      EXPECT_EQ(v, std::optional<uint8_t>(static_cast<uint8_t>(c.value))) << '"' << c.text << '"';
  }
}

}  // namespace
}  // namespace vx930::testing
