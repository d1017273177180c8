// The command window's interpreter headless: number syntax, word splitting,
// keyword completion, and a table of command lines with what each prints and
// asks of the debugger.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>

#include "ide/ui/core/command_interpreter.h"

namespace vx930::testing {
namespace {

using Lines = std::vector<std::string>;

TEST(CommandNumberTest, HexWhenItHoldsAnHElseSignedDecimal) {
  const std::pair<const char*, std::optional<int32_t>> cases[] = {
      {"1FH", 31},
      {"H1F", 31},
      {"1HF", 31},
      {"10H", 16},
      {"10", 10},
      {"-5", -5},
      {"+7", 7},
      {"0", 0},
      {"FFFFFFFFH", -1},
      {"H", std::nullopt},
      {"1F", std::nullopt},
      {"", std::nullopt},
      {"0X10", std::nullopt},
      {"1G H", std::nullopt},
      {"-1H", std::nullopt},
      {"100000000H", std::nullopt},
      {"2147483647", 2147483647},
      {"2147483648", std::nullopt},
      {"-2147483648", INT32_MIN},
      {"1HH", std::nullopt},
  };
  for (const auto& [text, value] : cases) EXPECT_EQ(StrToAddr(text), value) << text;
}

TEST(CommandWordsTest, BlanksSplitAndTabsDoNot) {
  EXPECT_EQ(SplitCommandWords("MWRITE  D:20H   1FFH "), (Lines{"MWRITE", "D:20H", "1FFH"}));
  EXPECT_EQ(SplitCommandWords("   "), Lines{});
  EXPECT_EQ(SplitCommandWords(""), Lines{});
  EXPECT_EQ(SplitCommandWords("GO\t1"), (Lines{"GO\t1"}));
  EXPECT_EQ(SplitCommandWords(" help"), (Lines{"help"}));
}

TEST(CommandCompletionTest, TheFirstKeywordInTableOrderThatExtendsTheWordWins) {
  const std::pair<const char*, std::optional<std::string>> cases[] = {
      {"s ", "STEPOVER "},          {"st ", "STEPOVER "},  {"sto ", "STOP "},     {"w ", "WATCH "},
      {"wi ", "WINCLOSE "},         {"wino ", "WINOPEN "}, {"m ", "MDUMP "},      {"mw 10 20", "MWRITE "},
      {"stop ", std::nullopt},      {"s", std::nullopt},   {" s ", std::nullopt}, {"xyz ", std::nullopt},
      {"HELP mdump", std::nullopt},
  };
  for (const auto& [line, completed] : cases) EXPECT_EQ(CompleteKeyword(line), completed) << line;
}

TEST(CommandLoadPathTest, NamesGoAsTypedUnderTheWorkingDirectory) {
  EXPECT_EQ(ResolveLoadPath("Prog.HEX", "/home/dev"), "/home/dev/Prog.HEX");
  EXPECT_EQ(ResolveLoadPath("sub/blink", "/home/dev/"), "/home/dev/sub/blink");
  EXPECT_EQ(ResolveLoadPath("/tmp/My Prog.hex", "/home/dev"), "/tmp/My Prog.hex");
}

// Records what the commands ask, over memories of its own.
class FakeCommandHost final : public CommandHost {
public:
  bool TargetRunning() const override { return running; }
  bool SetInRAMByte(int i, uint8_t v) override {
    if (i < 0 || i > 255) return false;
    if (i >= refuseFrom) {
      ++refusals;
      return false;
    }
    iram[static_cast<std::size_t>(i)] = v;
    ++inWrites;
    return true;
  }
  bool GetInRAMByte(int i, uint8_t& v) const override {
    if (i < 0 || i > 255) return false;
    v = iram[static_cast<std::size_t>(i)];
    return true;
  }
  bool SetIn1kRAMByte(int i, uint8_t v) override {
    if (i < 0 || i > 1023) return false;
    ram1k[static_cast<std::size_t>(i)] = v;
    ++kWrites;
    return true;
  }
  bool GetIn1kRAMByte(int i, uint8_t& v) const override {
    if (i < 0 || i > 1023) return false;
    v = ram1k[static_cast<std::size_t>(i)];
    return true;
  }
  int GetIn1kRAMSize() const override { return 1024; }
  bool WriteIn1kRAMByte(uint8_t v, int i) override {
    sent.push_back({i, v});
    return sendOk;
  }
  void RefreshRAMViews() override { Log("refresh"); }
  void NormalRun() override { Log("run"); }
  void Reset() override { Log("reset"); }
  void StepOver() override { Log("stepover"); }
  void StepInto() override { Log("stepinto"); }
  void Stop() override { Log("stop"); }
  void Load(const std::optional<std::string>& path) override { Log("load " + path.value_or("-")); }
  void DisableBreakPoint(int i) override { Log("disable " + std::to_string(i)); }
  void SetBreakPoint(int i, uint32_t a, uint8_t pass) override {
    Log("setbp " + std::to_string(i) + " " + std::to_string(a) + " " + std::to_string(pass));
  }
  void RefreshBreakPointList() override { Log("bplist"); }
  void OpenWindow(CommandWindowKind w) override { Log("open " + Name(w)); }
  void CloseWindow(CommandWindowKind w) override { Log("close " + Name(w)); }
  void BringCommandWindowForward() override { Log("forward"); }

  static std::string Name(CommandWindowKind w) {
    switch (w) {
      case CommandWindowKind::Program: return "program";
      case CommandWindowKind::InRAM: return "inram";
      case CommandWindowKind::ExRAM: return "exram";
      case CommandWindowKind::Sfr: return "sfr";
      case CommandWindowKind::BreakPoint: return "bp";
      case CommandWindowKind::Command: return "command";
    }
    return "?";
  }
  void Log(const std::string& s) { calls.push_back(s); }

  bool running = false;
  bool sendOk = true;
  std::array<uint8_t, 256> iram{};
  std::array<uint8_t, 1024> ram1k{};
  int inWrites = 0;
  int refuseFrom = 256;  // internal RAM bytes from here on are refused
  int refusals = 0;
  int kWrites = 0;
  std::vector<std::pair<int, uint8_t>> sent;
  Lines calls;
};

class CommandInterpreterTest : public ::testing::Test {
protected:
  bool Run(const std::string& line) { return interpreter_.ExecuteCommand(line); }

  FakeCommandHost host_;
  Lines printed_;
  CommandInterpreter interpreter_{host_, [this](const std::string& s) { printed_.push_back(s); }};
};

struct LineCase {
  const char* line;
  Lines printed;
  Lines calls;
};

TEST_F(CommandInterpreterTest, CommandLinesPrintAndCallAsTheyShould) {
  const std::string cwd = std::filesystem::current_path().string();
  const Lines invalid{kInvalidCommandText};
  const LineCase cases[] = {
      {"   ", {}, {}},
      {"bogus", invalid, {}},
      {"WATCH ADD x 30H", invalid, {}},
      {"MDUMP 255", {}, {"open inram", "forward"}},
      {"mdump x:3ffh", {}, {"open exram", "forward"}},
      {"MDUMP D:0", {}, {"open inram", "forward"}},
      {"MDUMP 256", invalid, {}},
      {"MDUMP X:1024", invalid, {}},
      {"MDUMP -1", invalid, {}},
      {"MDUMP 1D:5", invalid, {}},
      {"MDUMP", invalid, {}},
      {"MDUMP 1 2", invalid, {}},
      {"go", {}, {"run"}},
      {"GO now", invalid, {}},
      {"RESET", {}, {"reset"}},
      {"StepOver", {}, {"stepover"}},
      {"STEPINTO", {}, {"stepinto"}},
      {"STOP", {}, {"stop"}},
      {"LOAD", {}, {"load -"}},
      {"load Sub/Prog.Hex", {}, {"load " + cwd + "/Sub/Prog.Hex"}},
      {"LOAD /abs/blink", {}, {"load /abs/blink"}},
      {"LOAD a b", invalid, {}},
      {"CLRBP ALL", {}, {"disable 0", "disable 1", "bplist"}},
      {"clrbp 1", {}, {"disable 1", "bplist"}},
      {"CLRBP 2", invalid, {}},
      {"SETBP 1234H 1", {}, {"setbp 1 4660 0", "bplist"}},
      {"SETBP 0 0", {}, {"setbp 0 0 0", "bplist"}},
      {"SETBP 10000H 1", invalid, {}},
      {"SETBP 10 2", invalid, {}},
      {"SETBP D:10 1", invalid, {}},
      {"VBP", {}, {"open bp"}},
      {"WINOPEN program", {}, {"open program", "forward"}},
      {"WINOPEN SFR", {}, {"open sfr", "forward"}},
      {"WINOPEN BP", {}, {"open bp", "forward"}},
      {"WINOPEN ExRAM", {}, {"open exram", "forward"}},
      {"WINOPEN COMMAND", {}, {"open command", "forward"}},
      {"WINOPEN WATCH", invalid, {}},
      {"WINCLOSE SFR", {}, {"close sfr"}},
      {"WINCLOSE bp", {}, {"close bp"}},
      {"WINCLOSE COMMAND", {}, {"close command"}},
      {"WINCLOSE INRAM", {}, {"close inram"}},
      {"WINCLOSE WATCH", invalid, {}},
      {"HELP mdump", {"MDump Addr <CR>"}, {}},
      {"HELP watch", {"Watch {Add | Del} Variable_Name Addr <CR>"}, {}},
      {"HELP foo", {"\"foo\" command not found!!"}, {}},
      {"HELP a b", invalid, {}},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE(c.line);
    printed_.clear();
    host_.calls.clear();
    const bool done = Run(c.line);
    EXPECT_EQ(done, c.printed != invalid);
    EXPECT_EQ(printed_, c.printed);
    EXPECT_EQ(host_.calls, c.calls);
  }
  EXPECT_EQ(host_.inWrites + host_.kWrites, 0) << "none of these writes memory";
}

TEST_F(CommandInterpreterTest, HelpAloneListsEverySyntaxInTableOrder) {
  Run("HELP");
  ASSERT_EQ(printed_.size(), 17u);
  EXPECT_EQ(printed_.front(), "MDump Addr <CR>");
  EXPECT_EQ(printed_[9], "Load filename <CR>");
  EXPECT_EQ(printed_.back(), "Help Cmd");
}

// A byte refused because its block could not be read means the link is
// down: the fill or copy ends there instead of waiting out every byte.
TEST_F(CommandInterpreterTest, ARefusedByteEndsAFillOrACopy) {
  host_.refuseFrom = 0x40;
  EXPECT_TRUE(Run("MFILL 3EH 7FH 1"));
  EXPECT_EQ(host_.iram[0x3E], 1);
  EXPECT_EQ(host_.iram[0x3F], 1);
  EXPECT_EQ(host_.refusals, 1);
  EXPECT_TRUE(Run("MCOPY 0 40H 20H"));
  EXPECT_EQ(host_.refusals, 2);
}

TEST_F(CommandInterpreterTest, MfillFillsInclusiveRangesEitherWayRound) {
  EXPECT_TRUE(Run("MFILL 10 5 0AAH"));
  for (int i = 0; i < 256; ++i) EXPECT_EQ(host_.iram[static_cast<std::size_t>(i)], i >= 5 && i <= 10 ? 0xAA : 0) << i;
  EXPECT_EQ(host_.calls, Lines{"refresh"});

  EXPECT_TRUE(Run("MFILL X:3FEH X:3FFH 1234H"));
  EXPECT_EQ(host_.ram1k[0x3FE], 0x34);
  EXPECT_EQ(host_.ram1k[0x3FF], 0x34);
  // The 1 KB bytes reach the emulator at once.
  EXPECT_EQ(host_.sent, (std::vector<std::pair<int, uint8_t>>{{0x3FE, 0x34}, {0x3FF, 0x34}}));

  const int writes = host_.inWrites + host_.kWrites;
  printed_.clear();
  for (const char* bad : {"MFILL X:0 10 1", "MFILL 0 X:10 1", "MFILL 0 10", "MFILL 0 256 1", "MFILL 0 1 Z"}) {
    EXPECT_FALSE(Run(bad)) << bad;
  }
  EXPECT_EQ(host_.inWrites + host_.kWrites, writes) << "a refused line writes nothing";
  EXPECT_EQ(printed_.size(), 5u);
}

TEST_F(CommandInterpreterTest, McopyIsCutToBothSpacesAndCopiesThroughABuffer) {
  for (int i = 0; i < 256; ++i) host_.iram[static_cast<std::size_t>(i)] = static_cast<uint8_t>(i);
  EXPECT_TRUE(Run("MCOPY 250 0 100"));
  EXPECT_EQ(host_.inWrites, 6);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(host_.iram[static_cast<std::size_t>(i)], 250 + i);
  EXPECT_EQ(host_.iram[6], 6);

  // Overlapping forward copy.
  for (int i = 0; i < 256; ++i) host_.iram[static_cast<std::size_t>(i)] = static_cast<uint8_t>(i);
  EXPECT_TRUE(Run("MCOPY 10H 11H 4"));
  EXPECT_EQ(host_.iram[0x10], 0x10);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(host_.iram[static_cast<std::size_t>(0x11 + i)], 0x10 + i);

  // Internal to 1 KB: written there and sent.
  host_.sent.clear();
  EXPECT_TRUE(Run("MCOPY 0 X:3FEH 10"));
  EXPECT_EQ(host_.kWrites, 2);
  EXPECT_EQ(host_.sent.size(), 2u);

  const int writes = host_.inWrites + host_.kWrites;
  EXPECT_TRUE(Run("MCOPY 0 1 0"));
  EXPECT_TRUE(Run("MCOPY 0 1 -5"));
  EXPECT_FALSE(Run("MCOPY 300 0 4"));
  EXPECT_FALSE(Run("MCOPY 0 X:2000 4"));
  EXPECT_EQ(host_.inWrites + host_.kWrites, writes);
}

TEST_F(CommandInterpreterTest, MwriteUsesTheLowByteAndSendsOneKilobyteBytesAtOnce) {
  EXPECT_TRUE(Run("MWRITE D:20H 1FFH"));
  EXPECT_EQ(host_.iram[0x20], 0xFF);
  EXPECT_EQ(host_.calls, Lines{"refresh"});
  EXPECT_TRUE(printed_.empty());

  EXPECT_TRUE(Run("MWRITE X:10 -1"));
  EXPECT_EQ(host_.ram1k[10], 0xFF);
  EXPECT_EQ(host_.sent, (std::vector<std::pair<int, uint8_t>>{{10, 0xFF}}));

  host_.sendOk = false;
  EXPECT_TRUE(Run("MWRITE X:11 5")) << "a failed send still counts as done";
  EXPECT_EQ(host_.ram1k[11], 5);
  EXPECT_EQ(printed_, Lines{kTransmitFailedText});
}

TEST_F(CommandInterpreterTest, AFailedSendEndsAFillAfterOneMessage) {
  host_.sendOk = false;
  EXPECT_TRUE(Run("MFILL X:0 X:3FFH 7"));
  EXPECT_EQ(host_.sent.size(), 1u) << "a dead link is not tried a thousand times";
  EXPECT_EQ(printed_, Lines{kTransmitFailedText});
  EXPECT_EQ(host_.ram1k[0x3FF], 7);
}

TEST_F(CommandInterpreterTest, WhileTheTargetRunsMemoryIsNeitherShownNorEdited) {
  host_.running = true;
  for (const char* line : {"MDUMP 10", "MWRITE 10 1", "MWRITE X:10 1", "MFILL 0 10 1", "MCOPY 0 10 1", "WINOPEN INRAM",
                           "WINOPEN EXRAM", "SETBP 100H 0", "CLRBP ALL"}) {
    SCOPED_TRACE(line);
    printed_.clear();
    EXPECT_TRUE(Run(line));
    EXPECT_EQ(printed_, Lines{kStopFirstText});
  }
  EXPECT_TRUE(host_.calls.empty());
  EXPECT_EQ(host_.inWrites + host_.kWrites, 0);
  EXPECT_TRUE(host_.sent.empty());

  // A bad line is still just invalid; run control and other windows still go.
  printed_.clear();
  EXPECT_FALSE(Run("MDUMP 999"));
  EXPECT_EQ(printed_, Lines{kInvalidCommandText});
  EXPECT_TRUE(Run("STOP"));
  EXPECT_TRUE(Run("WINOPEN SFR"));
  EXPECT_EQ(host_.calls, (Lines{"stop", "open sfr", "forward"}));
}

}  // namespace
}  // namespace vx930::testing
