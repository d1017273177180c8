#include "ide/image/sfr_table.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace vx930 {
namespace {

TEST(SfrTableTest, LookupByAddressGivesRowAndImageIndex) {
  struct Case {
    uint32_t address;
    int row;
    int index;
    const char* name;
  };
  const Case cases[] = {{0xD0, 27, 32, "PSW    "}, {0xE0, 0, 39, "ACC    "},  {0x81, 25, 1, "SP     "},
                        {0xFC, 54, 55, "PCL    "}, {0xFD, 55, 56, "PCH    "}, {0xFF, 36, 57, "CPUCTRL"},
                        {0x84, 56, 4, "DPL1   "},  {0x85, 57, 5, "DPH1   "}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address);
    EXPECT_EQ(FindSFRRow(c.address), c.row);
    EXPECT_EQ(SFRImageIndex(c.address), c.index);
    EXPECT_STREQ(SFRTable[static_cast<std::size_t>(c.row)].SfrName, c.name);
  }
  EXPECT_EQ(FindSFRRow(0xA1), -1);
  EXPECT_EQ(SFRImageIndex(0x00), -1);
}

TEST(SfrTableTest, TheBlockHasOneByteForEveryRow) {
  EXPECT_EQ(SFRCount, 58);
  std::set<int> indices;
  std::set<uint32_t> addresses;
  for (const SFRItem& item : SFRTable) {
    indices.insert(item.ImageIndex);
    addresses.insert(item.SfrAddress);
    EXPECT_EQ(std::string(item.SfrName).size(), 7u);
    EXPECT_GE(item.SfrAddress, 0x80u);
  }
  EXPECT_EQ(indices.size(), 58u);
  EXPECT_EQ(*indices.begin(), 0);
  EXPECT_EQ(*indices.rbegin(), 57);
  EXPECT_EQ(addresses.size(), 58u);
  // The rows the window hides are still in the block.
  EXPECT_EQ(SFRTable[56].Shown, 0);
  EXPECT_EQ(SFRTable[57].Shown, 0);
  EXPECT_EQ(SFRTable[55].Shown, 1);
  EXPECT_EQ(SFRTable[43].WritableMask, 0x00);  // ADC0L is read-only
  EXPECT_EQ(SFRTable[27].WritableMask, 0xFC);
}

}  // namespace
}  // namespace vx930
