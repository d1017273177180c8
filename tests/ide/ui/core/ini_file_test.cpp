#include "ide/ui/core/ini_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/scratch_dir.h"

namespace vx930 {
namespace {

namespace fs = std::filesystem;
using testing::ScratchDir;

class IniFileTest : public ::testing::Test {
protected:
  void SetUp() override { path_ = (dir_ / "with blank").string() + ".cfg"; }

  void Write(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }
  std::string Contents() const {
    std::ifstream in(path_, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  ScratchDir dir_{"ini_test"};
  std::string path_;
};

TEST_F(IniFileTest, MissingFileReadsDefaultsAndFirstWriteCreatesIt) {
  IniFile ini(path_);
  EXPECT_EQ(ini.ReadInteger("PATH", "COM_PORT", 1), 1);
  EXPECT_EQ(ini.ReadString("PATH", "HEX_CODE", "/opt/x/"), "/opt/x/");
  EXPECT_FALSE(ini.ReadBool("WINDOW", "SFR_WIN_EXIST", false));
  EXPECT_FALSE(fs::exists(path_));
  ASSERT_TRUE(ini.WriteInteger("PATH", "COM_PORT", 3));
  EXPECT_EQ(Contents(), "[PATH]\nCOM_PORT=3\n");
  EXPECT_EQ(ini.ReadInteger("PATH", "COM_PORT", 1), 3);
}

TEST_F(IniFileTest, BadNumbersReadAsTheDefault) {
  Write("[PATH]\nA=12\nB=x12\nC=12x\nD=\nE=-7\nF=+4\nG=99999999999\n");
  IniFile ini(path_);
  const struct {
    const char* key;
    int expected;
  } cases[] = {{"A", 12}, {"B", 5}, {"C", 5}, {"D", 5}, {"E", -7}, {"F", 4}, {"G", 5}, {"MISSING", 5}};
  for (const auto& c : cases) EXPECT_EQ(ini.ReadInteger("PATH", c.key, 5), c.expected) << c.key;
}

TEST_F(IniFileTest, BooleansAreAnyNonZeroInteger) {
  Write("[WINDOW]\nA=1\nB=0\nC=2\nD=yes\n");
  IniFile ini(path_);
  EXPECT_TRUE(ini.ReadBool("WINDOW", "A", false));
  EXPECT_FALSE(ini.ReadBool("WINDOW", "B", true));
  EXPECT_TRUE(ini.ReadBool("WINDOW", "C", false));
  EXPECT_TRUE(ini.ReadBool("WINDOW", "D", true));  // not a number: the default
  ASSERT_TRUE(ini.WriteBool("WINDOW", "E", true));
  EXPECT_EQ(ini.ReadString("WINDOW", "E", ""), "1");
}

TEST_F(IniFileTest, NamesMatchWithoutCaseAndSectionsStaySeparate) {
  Write("[Path]\nhex_code=/a b/prog.hex\n[WINDOW]\nHEX_CODE=other\n");
  IniFile ini(path_);
  EXPECT_EQ(ini.ReadString("PATH", "HEX_CODE", ""), "/a b/prog.hex");
  EXPECT_EQ(ini.ReadString("window", "hex_code", ""), "other");
  EXPECT_EQ(ini.ReadString("NONE", "HEX_CODE", "d"), "d");
}

TEST_F(IniFileTest, WritesReplaceInPlaceAppendToTheirSectionAndKeepOtherLines) {
  Write("; kept comment\r\n[PATH]\r\nHEX_CODE=/old\r\n\r\n[WINDOW]\r\nMAIN_WIN_TOP=20\r\n");
  IniFile ini(path_);
  ASSERT_TRUE(ini.WriteString("PATH", "HEX_CODE", "/new dir/p.hex"));
  ASSERT_TRUE(ini.WriteInteger("PATH", "COM_PORT", 2));
  ASSERT_TRUE(ini.WriteInteger("WINDOW", "MAIN_WIN_LEFT", 30));
  ASSERT_TRUE(ini.WriteInteger("NEW", "K", 1));
  EXPECT_EQ(Contents(),
            "; kept comment\n[PATH]\nHEX_CODE=/new dir/p.hex\nCOM_PORT=2\n\n"
            "[WINDOW]\nMAIN_WIN_TOP=20\nMAIN_WIN_LEFT=30\n\n[NEW]\nK=1\n");
}

TEST_F(IniFileTest, AFailedWriteReportsFalseAndLeavesTheFile) {
  Write("[PATH]\nCOM_PORT=4\n");
  IniFile bad((dir_ / "no such dir" / "x.cfg").string());
  EXPECT_FALSE(bad.WriteInteger("PATH", "COM_PORT", 1));
  EXPECT_EQ(IniFile(path_).ReadInteger("PATH", "COM_PORT", 1), 4);
}

}  // namespace
}  // namespace vx930
