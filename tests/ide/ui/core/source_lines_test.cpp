// The line queries of an OMF program, over the records the reader builds.
#include <gtest/gtest.h>

#include <sstream>

#include "ide/image/omf_decoder.h"
#include "ide/ui/core/source_lines.h"
#include "tests/ide/image/omf_writer.h"
#include "tests/ide/ui/core/step_program.h"

namespace vx930::testing {
namespace {

class SourceLinesTest : public ::testing::Test {
protected:
  void SetUp() override {
    const auto bytes = StepProgramOmf();
    std::istringstream in(std::string(bytes.begin(), bytes.end()));
    ASSERT_TRUE(omf_.ReadOmf(in));
    lines_.SetModules(omf_.GetModules());
  }
  DecodeOmf omf_;
  SourceLines lines_;
};

TEST_F(SourceLinesTest, LineStartsAndEndsWithinTheProcedure) {
  struct Case {
    uint32_t address;
    int32_t nextStart, lineEnd;
  };
  const Case cases[] = {
      {0x0100, 0x0100, 0x0103},  // on a line start
      {0x0105, 0x0108, 0x0108},  // inside line 11
      {0x011B, 0x011B, -1},  // the last line has no end in its procedure
      {0x0201, 0x0202, 0x0202}, {0x0300, -1, -1},  // no procedure
      {0x0000, -1, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address);
    EXPECT_EQ(lines_.NextLineStart(c.address), c.nextStart);
    EXPECT_EQ(lines_.LineEnd(c.address), c.lineEnd);
  }
}

TEST_F(SourceLinesTest, ProceduresAndFunctionAddresses) {
  EXPECT_EQ(lines_.ProcedureEnd(0x0105), 0x011C);
  EXPECT_EQ(lines_.ProcedureEnd(0x0300), -1);
  EXPECT_TRUE(lines_.HasSource(0x0202));
  EXPECT_FALSE(lines_.HasSource(0x0203));
  EXPECT_EQ(lines_.GetFunctionAddress("MAIN"), 0x0100);
  EXPECT_EQ(lines_.GetFunctionAddress("FUNC"), 0x0200);
  EXPECT_EQ(lines_.GetFunctionAddress("main"), 0) << "case-sensitive";
  ASSERT_NE(lines_.FindModule(0x0200), nullptr);
  EXPECT_EQ(lines_.FindModule(0x0200)->Name, "steps.c");
  EXPECT_EQ(lines_.FindProcedure(0x0200)->Name, "FUNC");
}

TEST_F(SourceLinesTest, TheProgramCounterShowsTheLineWhoseCodeHoldsIt) {
  EXPECT_EQ(lines_.Locate(0x0105, true).line, 11);  // inside line 11
  EXPECT_EQ(lines_.Locate(0x0105, false).line, 12);  // the next line start
  EXPECT_EQ(lines_.Locate(0x0108, true).line, 12);
  EXPECT_EQ(lines_.Locate(0x0300, true).module, nullptr);

  // Entries sharing the PC's address: the last of them, but the first when
  // they end the block (a compiler gives the closing lines one address).
  OmfWriter w;
  w.Header().ModuleName("m.c").ProcedureBegin("F").Content(0x0040, std::vector<uint8_t>(8, 0));
  w.LineNumbers({{0x0040, 1}, {0x0043, 2}, {0x0043, 3}, {0x0045, 4}, {0x0047, 5}, {0x0047, 6}}).ProcedureEnd();
  DecodeOmf omf;
  std::istringstream in(std::string(w.Bytes().begin(), w.Bytes().end()));
  ASSERT_TRUE(omf.ReadOmf(in));
  const SourceLines shared(omf.GetModules());
  EXPECT_EQ(shared.Locate(0x0043, true).line, 3);
  EXPECT_EQ(shared.Locate(0x0047, true).line, 5);
  EXPECT_EQ(shared.Locate(0x0047, false).line, 5);
  EXPECT_EQ(SourceLines::LineToAddress(lines_.FindModule(0x0100), 13), 0x010A);
  EXPECT_EQ(SourceLines::LineToAddress(lines_.FindModule(0x0100), 99), -1);
}

TEST(SourceLinesNoEntriesTest, AProcedureWithoutLineEntriesGivesZeroForItsAddress) {
  OmfWriter w;
  w.Header().ModuleName("m.c").ProcedureBegin("MAIN").Content(0x0050, {0x00, 0x22}).ProcedureEnd().End();
  std::istringstream in(std::string(w.Bytes().begin(), w.Bytes().end()));
  DecodeOmf omf;
  ASSERT_TRUE(omf.ReadOmf(in));
  SourceLines lines(omf.GetModules());
  EXPECT_EQ(lines.GetFunctionAddress("MAIN"), 0);
  EXPECT_EQ(lines.NextLineStart(0x0050), -1);
  EXPECT_TRUE(lines.HasSource(0x0051));
}

}  // namespace
}  // namespace vx930::testing
