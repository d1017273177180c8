// The source window's logic without widgets: what the editor shows for an
// address in each mode, the program-counter line, disassembly pages, the
// breakpoint marks and the gutter popup's rules, Find Address, and finding a
// module's source file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "ide/ui/core/source_file.h"
#include "ide/ui/core/source_window_model.h"
#include "platform/messages.h"
#include "tests/ide/ui/core/source_test_program.h"
#include "tests/support/scratch_dir.h"

namespace vx930::testing {
namespace {

namespace fs = std::filesystem;

const std::string kSamples = std::string(VX_FIXTURES_DIR) + "/../../samples/";

class FakeEditor final : public SourceEditor {
public:
  void SetText(const std::string& t) override {
    text = t;
    ++texts;
  }
  int TopLine() const override { return top; }
  void SetTopLine(int line) override { top = line; }
  int LinesInWindow() const override { return window; }
  int PageRows() const override { return window + 1; }
  void Focus() override { ++focuses; }

  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
  }
  // Editor line n (from 1).
  std::string Line(int n) const {
    const auto lines = Lines();
    return n >= 1 && n <= static_cast<int>(lines.size()) ? lines[static_cast<std::size_t>(n - 1)] : "";
  }

  std::string text;
  int top = 1;
  int window = 20;
  int texts = 0;
  int focuses = 0;
};

class SourceWindowModelTest : public ::testing::Test {
protected:
  SourceWindowModelTest() : program_(::testing::UnitTest::GetInstance()->current_test_info()->name()) {
    model_.SetTakeBreakPoints([this] { ++takes_; });
  }

  // OMF mode over the test program, as opening it does.
  void AttachProgram() {
    model_.AttachOmf(program_.Modules(), program_.Dir(), program_.Image());
    model_.SetMode(1);
  }
  void ShowPC(uint32_t pc) {
    model_.SetPC(pc);
    model_.ShowAddress(pc, false);
  }
  // Listing mode over the HEX sample.
  void LoadListing() {
    hex_ = std::make_unique<CDecodeHex>(&hexImage_);
    ASSERT_TRUE(hex_->LoadHexFile(kSamples + "BLINK.HEX"));
    model_.SetMode(0);
    model_.SetDecoder(hex_.get());
    model_.ShowListing();
  }

  platform::RecordingMessages messages_;
  platform::ScopedMessages scope_{messages_};
  SourceTestProgram program_;
  FakeEditor editor_;
  SourceWindowModel model_{editor_};
  int takes_ = 0;
  CodeImage hexImage_{};
  std::unique_ptr<CDecodeHex> hex_;
};

// ------------------------------------------------------------- listing mode

TEST_F(SourceWindowModelTest, ListingLinesAreListingIndexPlusOneAndLabelLinesTakeNoBreakPoint) {
  LoadListing();
  ASSERT_EQ(static_cast<uint32_t>(editor_.Lines().size()), hex_->GetLineCount());
  int labelLine = 0;
  for (int index = 0; index < static_cast<int>(hex_->GetLineCount()) && !labelLine; ++index)
    if (hex_->LineToAddress(index) == -1) labelLine = index + 1;
  ASSERT_GT(labelLine, 0) << "the sample has labels";
  EXPECT_FALSE(model_.LineHasCode(labelLine));
  EXPECT_FALSE(model_.GutterClick(labelLine)) << "no popup on a label line";

  const uint32_t pc = 0x008B;
  const int line = hex_->AddressToLine(pc) + 1;
  ShowPC(pc);
  EXPECT_EQ(model_.PCLine(), line);
  EXPECT_EQ(model_.PaintedPCLine(), line);
  EXPECT_EQ(editor_.Line(line).substr(0, 4), "008B") << editor_.Line(line);
  EXPECT_EQ(model_.LineToAddress(line), 0x008B);
  EXPECT_EQ(model_.AddressToLine(0x008B), line);
  EXPECT_TRUE(model_.GutterClick(line));
  EXPECT_EQ(model_.LinesShown(), 0);
}

TEST_F(SourceWindowModelTest, ListingScrollsOnlyWhenTheLineIsOutOfViewAndAnyAddressBecomesThePCLine) {
  LoadListing();
  editor_.top = 1;
  ShowPC(0x0003);
  const int near = hex_->AddressToLine(0x0003) + 1;
  ASSERT_LT(near, editor_.window);
  EXPECT_EQ(editor_.top, 1) << "in view: no scroll";
  model_.ShowAddress(0x00A9, false);  // not the PC, still the PC line in a listing
  const int far = hex_->AddressToLine(0x00A9) + 1;
  ASSERT_GE(far, editor_.window);
  EXPECT_EQ(editor_.top, far);
  EXPECT_EQ(model_.PCLine(), far);
}

// -------------------------------------------------------------- source view

TEST_F(SourceWindowModelTest, ThePCLineIsTheLineWhoseCodeHoldsThePC) {
  AttachProgram();
  struct Case {
    uint32_t pc;
    int line;
    const char* module;
  };
  const Case cases[] = {
      {0x0100, 10, "steps.c"},  // a line start
      {0x0105, 11, "steps.c"},  // inside line 11: its entry starts below the PC
      {0x0119, 16, "steps.c"}, {0x0202, 21, "steps.c"},
      {0x0401, 5, "OTHER"},    {0x0403, 7, "OTHER"},  // two entries at the PC: the last of them
      {0x0406, 9, "OTHER"},  // at the end of the block: the first found
      {0x0400, 5, "OTHER"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pc);
    ShowPC(c.pc);
    ASSERT_NE(model_.CurrentModule(), nullptr);
    EXPECT_EQ(model_.CurrentModule()->Name, c.module);
    EXPECT_EQ(model_.PCLine(), c.line);
    EXPECT_EQ(model_.PaintedPCLine(), c.line);
    EXPECT_EQ(model_.LinesShown(), 1);
  }
  // Past MAIN's last line entry an address of MAIN has no source line.
  ShowPC(0x011C);
  EXPECT_EQ(model_.LinesShown(), 0);
  EXPECT_EQ(model_.PageMap().at(1), 0x011Cu);
  EXPECT_TRUE(messages_.Texts().empty()) << messages_.LastText();
}

TEST_F(SourceWindowModelTest, AnAddressThatIsNotThePCIsBroughtIntoViewWithoutAHighlight) {
  AttachProgram();
  model_.SetPC(0x9999);
  editor_.window = 5;
  editor_.top = 1;
  model_.ShowAddress(0x0105, false);
  EXPECT_EQ(model_.PCLine(), 0);
  EXPECT_EQ(editor_.top, 12) << "the first entry at or after the address, out of view";
  EXPECT_EQ(editor_.Line(12), "steps line 12");
  editor_.top = 9;
  model_.ShowAddress(0x0100, false);
  EXPECT_EQ(editor_.top, 9) << "line 10 is in view";
  model_.ShowAddress(0x0100, true);
  EXPECT_EQ(editor_.top, 10) << "force";
  EXPECT_GT(editor_.focuses, 0);

  // Showing another module's line keeps the PC line but does not paint it.
  ShowPC(0x0103);
  EXPECT_EQ(model_.PaintedPCLine(), 11);
  model_.ShowAddress(0x0400, false);
  EXPECT_EQ(model_.PCLine(), 11);
  EXPECT_EQ(model_.PaintedPCLine(), 0);
  model_.ShowAddress(0x0100, false);
  EXPECT_EQ(model_.PaintedPCLine(), 11);
}

TEST_F(SourceWindowModelTest, ModuleSourcesAreLoadedOnceAndAMissingOneLeavesTheTextAsItWas) {
  AttachProgram();
  ShowPC(0x0100);
  ShowPC(0x0103);
  EXPECT_EQ(editor_.texts, 1) << "the same module is not loaded again";
  ShowPC(0x0600);
  EXPECT_EQ(messages_.LastText(), "Can't Open LOST");
  EXPECT_EQ(messages_.Shown().back().caption, "VX930_IDE");
  EXPECT_EQ(editor_.texts, 1);
  EXPECT_EQ(editor_.Line(1), "steps line 1");
  EXPECT_EQ(model_.CurrentModule(), program_.Module("steps.c"));
  EXPECT_EQ(model_.PCLine(), 11);
}

TEST_F(SourceWindowModelTest, ShowProcedureAndFunctionAddresses) {
  AttachProgram();
  EXPECT_EQ(model_.GetFunctionAddress("MAIN"), 0x0100);
  EXPECT_EQ(model_.GetFunctionAddress("FUNC"), 0x0200);
  EXPECT_EQ(model_.GetFunctionAddress("main"), 0) << "case-sensitive";
  EXPECT_EQ(model_.GetFunctionAddress("EMPTY"), 0) << "no line entries";
  model_.ShowProcedure("OTHERF");
  EXPECT_EQ(model_.CurrentModule(), program_.Module("OTHER"));
  EXPECT_EQ(editor_.top, 5);
  EXPECT_EQ(editor_.Line(1), "other line 1") << "OTHER's source is other.c";
  EXPECT_EQ(model_.LinesShown(), 1);
  const int texts = editor_.texts;
  model_.ShowProcedure("EMPTY");
  model_.ShowProcedure("NONE");
  EXPECT_EQ(editor_.texts, texts);
  EXPECT_EQ(editor_.top, 5);
  EXPECT_TRUE(messages_.Texts().empty());
}

// -------------------------------------------------------- disassembly pages

TEST_F(SourceWindowModelTest, AnAddressWithoutSourceGetsAPageOneLineLongerThanTheWindow) {
  AttachProgram();
  ShowPC(0x0100);
  ShowPC(0x0300);
  EXPECT_EQ(model_.LinesShown(), 0);
  EXPECT_TRUE(model_.OnDisasmPage());
  EXPECT_EQ(model_.CurrentModule(), nullptr);
  const auto lines = editor_.Lines();
  ASSERT_EQ(static_cast<int>(lines.size()), editor_.window + 1);
  const auto& map = model_.PageMap();
  ASSERT_EQ(static_cast<int>(map.size()), editor_.window + 1);
  EXPECT_EQ(map.at(1), 0x0300u);
  EXPECT_EQ(map.at(2), 0x0301u) << "after the one-byte RET";
  EXPECT_EQ(map.at(3), 0x0302u);
  EXPECT_EQ(lines[0].substr(0, 4), "0300");
  EXPECT_NE(lines[0].find("RET"), std::string::npos) << lines[0];
  EXPECT_EQ(model_.PCLine(), 1);
  EXPECT_EQ(model_.PaintedPCLine(), 1);
  EXPECT_EQ(model_.LineToAddress(3), 0x0302);
  EXPECT_EQ(model_.LineToAddress(99), -1);
  EXPECT_TRUE(model_.LineHasCode(3));
}

TEST_F(SourceWindowModelTest, APageStopsAtTheLastInstructionBelowTheTopOfMemory) {
  AttachProgram();
  editor_.window = 40;
  ShowPC(0xFFF0);
  const auto& map = model_.PageMap();
  ASSERT_EQ(map.size(), 15u) << "14 one-byte instructions and the LJMP at FFFE";
  EXPECT_EQ(map.rbegin()->second, 0xFFFEu);
  EXPECT_EQ(editor_.Lines().size(), 15u);
  ShowPC(0xFFFF);
  ASSERT_EQ(model_.PageMap().size(), 1u);
}

TEST_F(SourceWindowModelTest, AnAddressAlreadyOnThePageOnlyMovesThePCLine) {
  AttachProgram();
  ShowPC(0x0300);
  const int texts = editor_.texts;
  ShowPC(0x0305);
  EXPECT_EQ(editor_.texts, texts) << "the page stays";
  EXPECT_EQ(model_.PCLine(), 6);
  EXPECT_EQ(model_.PageMap().at(1), 0x0300u);
  model_.ShowAddress(0x0302, false);
  EXPECT_EQ(model_.PCLine(), 3);
}

TEST_F(SourceWindowModelTest, ANewPageKeepsNoPCLineOfTheOldOne) {
  AttachProgram();
  ShowPC(0x0300);
  ASSERT_EQ(model_.PCLine(), 1);
  model_.ShowAddress(0x0700, false);  // a new page without the PC
  EXPECT_EQ(model_.PageMap().at(1), 0x0700u);
  EXPECT_EQ(model_.PaintedPCLine(), 0);
  model_.ShowAddress(0x02F0, false);  // a new page with the PC further down
  EXPECT_EQ(model_.PaintedPCLine(), 17);
  EXPECT_EQ(model_.PageMap().at(17), 0x0300u);
}

TEST_F(SourceWindowModelTest, ANewProgramNeverReusesThePageOfTheOldOne) {
  AttachProgram();
  ShowPC(0x0300);
  const int texts = editor_.texts;
  AttachProgram();
  EXPECT_TRUE(model_.PageMap().empty());
  ShowPC(0x0300);
  EXPECT_EQ(editor_.texts, texts + 1) << "rebuilt from the new image";
  model_.DetachOmf();
  EXPECT_TRUE(model_.PageMap().empty());
  EXPECT_EQ(model_.PCLine(), 0);
  EXPECT_FALSE(model_.LineHasCode(1));
}

// ------------------------------------------------------------------- marks

TEST_F(SourceWindowModelTest, ThePopupTogglesAMarkOnItsLineAndMovesItFromAnyOther) {
  AttachProgram();
  ShowPC(0x0100);
  EXPECT_FALSE(model_.GutterClick(1)) << "no code on line 1";
  ASSERT_TRUE(model_.GutterClick(12));
  model_.SetBreakPointClick(0);
  EXPECT_EQ(takes_, 1);
  EXPECT_EQ(model_.GetBreakPoint(0), 0x0108);
  EXPECT_EQ(model_.GetBreakPoint(1), -1);
  EXPECT_EQ(model_.LineMarkKind(12), 0);

  ASSERT_TRUE(model_.GutterClick(14));
  model_.SetBreakPointClick(0);
  EXPECT_EQ(model_.GetBreakPoint(0), 0x010F) << "moved";
  EXPECT_EQ(model_.LineMarkKind(12), SourceWindowModel::kNoMark);
  EXPECT_EQ(model_.LineMarkKind(14), 0);

  model_.SetBreakPointClick(1);  // the same clicked line for mark 1
  EXPECT_EQ(model_.GetBreakPoint(1), 0x010F);
  EXPECT_EQ(model_.LineMarkKind(14), 0) << "mark 0 first";

  model_.SetBreakPointClick(0);  // on its own line: cleared
  EXPECT_EQ(model_.GetBreakPoint(0), -1);
  EXPECT_EQ(model_.LineMarkKind(14), 1);
  model_.SetBreakPointClick(0);  // cleared, so set again
  EXPECT_EQ(model_.GetBreakPoint(0), 0x010F);
  EXPECT_EQ(takes_, 5);

  // A mark in another module.
  ShowPC(0x0400);
  ASSERT_TRUE(model_.GutterClick(5));
  model_.SetBreakPointClick(1);
  EXPECT_EQ(model_.GetBreakPoint(1), 0x0400);
  EXPECT_EQ(model_.LineMarkKind(5), 1);
  ShowPC(0x0100);
  EXPECT_EQ(model_.LineMarkKind(5), SourceWindowModel::kNoMark) << "OTHER's mark not in steps.c";
  EXPECT_EQ(model_.LineMarkKind(14), 0);

  // The comparison is by line number, whichever module the mark belongs to.
  ShowPC(0x0400);
  ASSERT_TRUE(model_.GutterClick(10));
  model_.SetBreakPointClick(1);
  EXPECT_EQ(model_.GetBreakPoint(1), 0x0406);
  ShowPC(0x0100);
  ASSERT_TRUE(model_.GutterClick(10));
  model_.SetBreakPointClick(1);
  EXPECT_EQ(model_.GetBreakPoint(1), -1) << "steps.c's line 10 clears OTHER's mark on line 10";
}

TEST_F(SourceWindowModelTest, WhileTheTargetRunsTheGutterOpensNoPopupAndKeepsTheMarks) {
  AttachProgram();
  ShowPC(0x0100);
  ASSERT_TRUE(model_.GutterClick(12));
  model_.SetBreakPointClick(0);
  bool running = true;
  model_.SetTargetRunning([&] { return running; });

  EXPECT_FALSE(model_.GutterClick(14));
  EXPECT_EQ(messages_.LastText(), "Please Stop the ICE First !!");
  EXPECT_EQ(model_.GetBreakPoint(0), 0x0108);
  EXPECT_EQ(takes_, 1);

  running = false;
  messages_.Clear();
  EXPECT_TRUE(model_.GutterClick(14));
  EXPECT_TRUE(messages_.Texts().empty());
}

TEST_F(SourceWindowModelTest, MarksFromTheBreakPointTable) {
  AttachProgram();
  ShowPC(0x0100);
  model_.SetBreakPointMark(0, 0x010A);
  model_.SetBreakPointMark(1, 0x0403);
  EXPECT_EQ(model_.GetBreakPoint(0), 0x010A);
  EXPECT_EQ(model_.LineMarkKind(13), 0);
  EXPECT_EQ(model_.MarkCandidateLine(0), 13);
  EXPECT_EQ(model_.LineMarkKind(6), SourceWindowModel::kNoMark) << "mark 1 is OTHER's";
  ShowPC(0x0400);
  EXPECT_EQ(model_.LineMarkKind(6), 1);

  model_.SetBreakPointMark(1, -1);
  EXPECT_EQ(model_.GetBreakPoint(1), -1);
  EXPECT_EQ(model_.LineMarkKind(6), SourceWindowModel::kNoMark) << "the glyph goes";
  EXPECT_EQ(model_.MarkCandidateLine(1), 0);

  // An address no module holds: shown on a page that has it, in no source.
  model_.SetBreakPointMark(1, 0x0302);
  ShowPC(0x0300);
  EXPECT_EQ(model_.LineMarkKind(3), 1);
  EXPECT_EQ(model_.MarkCandidateLine(1), 3);
  ShowPC(0x0100);
  EXPECT_EQ(model_.LineMarkKind(3), SourceWindowModel::kNoMark);
  EXPECT_EQ(takes_, 0) << "marks from the table are not taken back";
}

TEST_F(SourceWindowModelTest, ListingMarksFollowTheirLines) {
  LoadListing();
  const int line = hex_->AddressToLine(0x00A9) + 1;
  model_.SetBreakPointMark(1, 0x00A9);
  EXPECT_EQ(model_.LineMarkKind(line), 1);
  ASSERT_TRUE(model_.GutterClick(line));
  model_.SetBreakPointClick(1);
  EXPECT_EQ(model_.GetBreakPoint(1), -1) << "its own line clears it";
}

// ------------------------------------------------------------ Find Address

TEST_F(SourceWindowModelTest, FindAddress) {
  AttachProgram();
  model_.GotoAddress("");
  EXPECT_EQ(messages_.LastText(), "Address Error, Please Set Again!! ");
  EXPECT_EQ(editor_.texts, 0);
  model_.GotoAddress("FFFF");
  ASSERT_EQ(model_.PageMap().size(), 1u);
  EXPECT_EQ(model_.PageMap().at(1), 0xFFFFu);
  model_.GotoAddress("103");
  EXPECT_EQ(model_.CurrentModule(), program_.Module("steps.c"));
  EXPECT_EQ(model_.PCLine(), 0) << "not the PC";
  EXPECT_EQ(messages_.Texts().size(), 1u);
}

TEST(ParseHexAddressTest, HexDigitsOnly) {
  const std::pair<const char*, std::optional<uint32_t>> cases[] = {{"FFFF", 0xFFFF},
                                                                   {"0", 0},
                                                                   {"1f", 0x1F},
                                                                   {"10000", 0x10000},
                                                                   {"", std::nullopt},
                                                                   {"G1", std::nullopt},
                                                                   {" 12", std::nullopt},
                                                                   {"-1", std::nullopt},
                                                                   {"0x12", std::nullopt},
                                                                   {"FFFFFFFF", 0xFFFFFFFFu},
                                                                   {"100000000", std::nullopt}};
  for (const auto& [text, value] : cases) EXPECT_EQ(ParseHexAddress(text), value) << '"' << text << '"';
}

// --------------------------------------------------------- the source file

class ModuleSourceTest : public ::testing::Test {
protected:
  ModuleSourceTest() {}
  void Touch(const std::string& name) { std::ofstream(dir_ / name) << name; }
  std::string Dir() const { return dir_.string() + "/"; }
  std::string Found(const std::string& module) {
    const auto path = FindModuleSource(Dir(), module);
    return path ? fs::path(*path).filename().string() : "-";
  }
  ScratchDir dir_{"vx930_srcfile"};
};

TEST_F(ModuleSourceTest, TheExactNameFirstThenWithoutRegardToCase) {
  Touch("blink.c");
  Touch("Delay.C");
  Touch("MAIN.C");
  Touch("main.c");
  Touch("timer");
  fs::create_directories(dir_ / "SERIAL.C");
  const std::pair<const char*, const char*> cases[] = {{"blink.c", "blink.c"},
                                                       {"BLINK", "blink.c"},
                                                       {"BLINK.C", "blink.c"},
                                                       {"blink", "blink.c"},
                                                       {"delay.c", "Delay.C"},
                                                       {"DELAY", "Delay.C"},
                                                       {"MAIN.C", "MAIN.C"},
                                                       {"main.c", "main.c"},
                                                       {"Main.c", "MAIN.C"},
                                                       {"TIMER", "timer"},
                                                       {"serial.c", "-"},
                                                       {"none", "-"},
                                                       {"", "-"}};
  for (const auto& [module, file] : cases) EXPECT_EQ(Found(module), file) << module;
  EXPECT_EQ(ReadSourceFile(Dir() + "Delay.C"), std::optional<std::string>("Delay.C"));
  EXPECT_EQ(ReadSourceFile(Dir() + "missing.c"), std::nullopt);
}

TEST_F(ModuleSourceTest, TheOmfSampleFindsItsSourceWhateverTheCase) {
  std::ifstream in(kSamples + "blink.c");
  std::ofstream(dir_ / "BLINK.C") << in.rdbuf();
  SourceTestProgram program("blink_case");
  FakeEditor editor;
  SourceWindowModel model(editor);
  OmfModule module;
  module.Name = "blink.c";
  OmfProcedure main;
  main.Name = "MAIN";
  main.LoAddr = 0x00A3;
  main.HiAddr = 0x00B6;
  OmfLineBlock lines;
  lines.Entries = {OmfLineEntry{36, 0x00A3}};
  lines.Count = 1;
  main.Lines = &lines;
  module.Procs = &main;
  model.AttachOmf(&module, Dir(), program.Image());
  model.SetMode(1);
  model.SetPC(0x00A3);
  model.ShowAddress(0x00A3, false);
  EXPECT_EQ(model.CurrentModule(), &module);
  EXPECT_EQ(editor.Line(34), "void main(void)");
}

}  // namespace
}  // namespace vx930::testing
