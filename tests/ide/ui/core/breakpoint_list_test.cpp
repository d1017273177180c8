// The breakpoint window's logic headless: the list text and the property
// dialog's checks.
#include <gtest/gtest.h>

#include "ide/ui/core/breakpoint_list.h"

namespace vx930::testing {
namespace {

using R = BrkPropertyCheck::Result;

TEST(BreakPointListTest, ItemsShowTheAddressInFourHexDigits) {
  EXPECT_EQ(BreakPointItemText(BreakPointRec{0, 0, 0}), "0000");
  EXPECT_EQ(BreakPointItemText(BreakPointRec{0xABC, 1, 7}), "0ABC");
  EXPECT_EQ(BreakPointItemText(BreakPointRec{0xFFFF, 1, 0}), "FFFF");
  EXPECT_EQ(BreakPointPropertyCaption(0), "Break Point 0 Property");
  EXPECT_EQ(BreakPointPropertyCaption(1), "Break Point 1 Property");
}

TEST(BreakPointListTest, ThePropertyFieldsAreCheckedAddressFirst) {
  struct Case {
    const char* address;
    const char* passCount;
    R result;
    uint32_t value;
    int pass;
  };
  const Case cases[] = {
      {"FFFF", "0", R::Ok, 0xFFFF, 0},
      {"ffff", "254", R::Ok, 0xFFFF, 254},
      {"1234", "10", R::Ok, 0x1234, 10},
      {"0", "+3", R::Ok, 0, 3},
      {"0000FFFF", "1", R::Ok, 0xFFFF, 1},
      {"10000", "0", R::BadAddress, 0, 0},
      {"", "0", R::BadAddress, 0, 0},
      {"0x12", "0", R::BadAddress, 0, 0},
      {"-1", "0", R::BadAddress, 0, 0},
      {"12 ", "0", R::BadAddress, 0, 0},
      {"G1", "bad", R::BadAddress, 0, 0},
      {"1FFFFFFFF", "0", R::BadAddress, 0, 0},
      {"100", "255", R::BadPassCount, 0, 0},
      {"100", "-1", R::BadPassCount, 0, 0},
      {"100", "", R::BadPassCount, 0, 0},
      {"100", "1F", R::BadPassCount, 0, 0},
      {"100", "99999999999", R::BadPassCount, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.address) + " / " + c.passCount);
    const BrkPropertyCheck check = CheckBrkProperty(c.address, c.passCount);
    EXPECT_EQ(check.result, c.result);
    if (c.result == R::Ok) {
      EXPECT_EQ(check.address, c.value);
      EXPECT_EQ(check.passCount, c.pass);
      EXPECT_EQ(check.Message(), "");
    }
  }
  EXPECT_EQ(CheckBrkProperty("10000", "0").Message(), "Address input invalid");
  EXPECT_EQ(CheckBrkProperty("0", "255").Message(), "Pass count input invalid");
}

}  // namespace
}  // namespace vx930::testing
