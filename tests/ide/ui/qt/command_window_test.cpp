// The command window offscreen over the real debugger: a typed line runs and
// prints, keyword completion, the memo's line limit; and end to end over the
// real command set to the simulated board: memory commands reach its RAM and
// GO runs to a breakpoint set from the command line.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTest>
#include <QTextBlock>
#include <filesystem>
#include <fstream>

#include "ide/ui/qt/command_window.h"
#include "tests/ide/ui/core/debugger_fixture.h"
#include "tests/ide/ui/core/step_program.h"
#include "tests/support/test_app.h"

namespace vx930::testing {
namespace {

using Lines = std::vector<std::string>;

// The Open dialog's preset name, as LOAD leaves it.
struct PresetDialog final : OpenFileDialog {
  std::optional<std::string> Execute(const std::string&) override { return std::nullopt; }
  void SetFileName(const std::string& name) override { names.push_back(name); }
  Lines names;
};

class CommandWindowTest : public DebuggerFixture {
protected:
  CommandWindowTest() {
    TestApp();
    window_ = new TCmdForm(std::make_unique<DebuggerCommandHost>(*debugger_, preset_));
    alive_ = window_;
    const ChildWindow* id = window_;
    QObject::connect(window_, &QObject::destroyed, [this, id] { debugger_->ViewClosed(id); });
    debugger_->Views().Register(window_);
    window_->show();
  }
  ~CommandWindowTest() override { delete alive_.data(); }

  // Types the text into the memo, then Enter.
  void Type(const QString& line) {
    QTest::keyClicks(Memo(), line);
    QTest::keyClick(Memo(), Qt::Key_Return);
  }
  QPlainTextEdit* Memo() { return window_->Memo1(); }
  Lines MemoLines() {
    Lines lines;
    for (QTextBlock b = Memo()->document()->begin(); b.isValid(); b = b.next()) lines.push_back(b.text().toStdString());
    return lines;
  }

  PresetDialog preset_;
  TCmdForm* window_ = nullptr;
  QPointer<TCmdForm> alive_;
};

TEST_F(CommandWindowTest, ATypedLineRunsAndItsOutputFollowsIt) {
  EXPECT_EQ(window_->windowTitle(), "Command");
  EXPECT_EQ(MemoLines(), Lines{""});
  Type("help mdump");
  Type("bogus 1");
  Type("   ");
  EXPECT_EQ(MemoLines(), (Lines{"help mdump", "MDump Addr <CR>", "bogus 1", "Invalid Command Input", "   ", ""}));
  EXPECT_EQ(Memo()->textCursor().blockNumber(), 5) << "the next command starts on a fresh last line";
}

TEST_F(CommandWindowTest, AKeywordPrefixAndABlankCompleteToTheKeyword) {
  QTest::keyClicks(Memo(), "st ");
  EXPECT_EQ(MemoLines(), Lines{"STEPOVER "});
  QTest::keyClicks(Memo(), "x");
  EXPECT_EQ(MemoLines(), Lines{"STEPOVER x"}) << "a complete keyword stays as it is";
  EXPECT_EQ(Memo()->textCursor().positionInBlock(), 10);
}

TEST_F(CommandWindowTest, PastAHundredLinesTheFirstTwentyGo) {
  for (int i = 1; i <= 99; ++i) window_->PrintLine("line " + std::to_string(i));
  ASSERT_EQ(Memo()->document()->blockCount(), 100);
  window_->PrintLine("line 100");
  const Lines lines = MemoLines();
  ASSERT_EQ(lines.size(), 81u);
  EXPECT_EQ(lines.front(), "line 20");
  EXPECT_EQ(lines.back(), "line 100");
}

TEST_F(CommandWindowTest, LoadPresetsTheNameAsTypedAndOpens) {
  Type("load Sub Dir/x");
  EXPECT_TRUE(preset_.names.empty()) << "three words are no LOAD";
  Type("load progs/Blink");
  ASSERT_EQ(preset_.names.size(), 1u);
  EXPECT_EQ(preset_.names[0], std::filesystem::current_path().string() + "/progs/Blink");
  EXPECT_EQ(openDialog_.initialDirs.size(), 1u) << "the Open command ran";
}

TEST_F(CommandWindowTest, WindowCommandsOpenAndCloseTheDebuggersWindows) {
  Type("WINOPEN BP");
  ASSERT_NE(debugger_->fmBreakPoint(), nullptr);
  Type("VBP");
  EXPECT_EQ(views_.breakpoints.size(), 1u);
  EXPECT_EQ(views_.breakpoints[0]->forwards, 2);
  Type("WINCLOSE BP");
  EXPECT_EQ(views_.breakpoints[0]->closes, 1);
  Type("SETBP 1234H 1");
  EXPECT_EQ(state_.BreakPointTable[1].address, 0x1234u);
  EXPECT_EQ(state_.BreakPointTable[1].enabled, 1);
  EXPECT_EQ(views_.breakpoints[0]->refreshes, 1);
  Type("WINOPEN SFR");
  EXPECT_EQ(views_.sfrs.size(), 1u);
  Type("WINCLOSE COMMAND");
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(alive_.isNull());
  EXPECT_EQ(debugger_->CmdForm(), nullptr);
}

TEST_F(CommandWindowTest, InternalRamEditsShowInTheOtherViews) {
  Type("MWRITE D:20H 1FFH");
  EXPECT_EQ(state_.InRAMImage[0x20], 0xFF);
  ASSERT_NE(debugger_->InRAMView(), nullptr) << "the view that writes it back was opened";
  ASSERT_EQ(views_.rams.size(), 1u);
  EXPECT_EQ(views_.rams[0]->dirtyMask, 1u);
  EXPECT_EQ(MemoLines(), (Lines{"MWRITE D:20H 1FFH", ""}));
  debugger_->SFRH1Click();
  Type("MFILL 10 5 0AAH");
  EXPECT_EQ(views_.sfrs.at(0)->refreshes, 1);
  for (int i = 5; i <= 10; ++i) EXPECT_EQ(state_.InRAMImage[i], 0xAA);
  EXPECT_EQ(state_.InRAMImage[4], 0);
  EXPECT_EQ(state_.InRAMImage[11], 0);
}

TEST_F(CommandWindowTest, WithoutALinkAOneKilobyteWriteSaysItFailed) {
  Type("MWRITE X:10 5");
  EXPECT_EQ(state_.In1kRAMImage[10], 5);
  EXPECT_EQ(MemoLines(), (Lines{"MWRITE X:10 5", "Transmit data to ICE failed!!", ""}));
}

// ------------------------------------------------------------ end to end

class CommandEndToEndTest : public CommandWindowTest {
protected:
  void SetUp() override {
    Connect();
    const std::string path = (dir_ / "steps").string();
    const auto bytes = StepProgramOmf();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    openDialog_.answers.push_back(path);
    debugger_->Load1Click();
    ASSERT_EQ(state_.OmfLoaded, 1);
    ASSERT_EQ(downloads_, 1);
    messages_.Clear();
  }
  uint8_t BoardIram(int a) {
    uint8_t v = 0;
    board_.Access([&](sim::ice::Memories& m, sim::ice::Core8051&) { v = m.iram[static_cast<std::size_t>(a)]; });
    return v;
  }
  uint8_t Board1k(int a) {
    uint8_t v = 0;
    board_.Access([&](sim::ice::Memories& m, sim::ice::Core8051&) { v = m.ram1k[static_cast<std::size_t>(a)]; });
    return v;
  }
};

TEST_F(CommandEndToEndTest, MemoryCommandsReachTheBoardsRam) {
  Type("MWRITE X:3FFH 0A5H");
  EXPECT_EQ(Board1k(0x3FF), 0xA5) << "a 1 KB byte goes at once";
  Type("MFILL X:10H X:12H 3CH");
  for (int a = 0x10; a <= 0x12; ++a) EXPECT_EQ(Board1k(a), 0x3C);

  Type("MDUMP X:3FFH");
  ASSERT_NE(debugger_->In1kRAMView(), nullptr);
  std::array<uint8_t, kRamBlockSize> block{};
  ASSERT_TRUE(views_.rams.back()->callbacks.read(block.data(), 0x3C0));
  EXPECT_EQ(block[0x3F], 0xA5) << "the view reads back what MWRITE wrote";

  Type("MWRITE 40H 77H");
  EXPECT_NE(BoardIram(0x40), 0x77) << "internal RAM edits wait for the next run";
  Type("STEPINTO");
  PollUntilQuiet();
  EXPECT_EQ(BoardIram(0x40), 0x77);
  EXPECT_EQ(state_.InRAMImage[0x40], 0x77) << "and the halt reads it back";
  EXPECT_TRUE(messages_.Texts().empty());
}

// Internal RAM goes back a 64-byte block at a time: the board's own bytes of
// a block no view has read must not be replaced by the host's stale copy.
TEST_F(CommandEndToEndTest, AnInternalRamWriteKeepsTheBoardsOtherBytesOfItsBlock) {
  board_.Access([](sim::ice::Memories& m, sim::ice::Core8051&) {
    for (int a = 0xC0; a < 0x100; ++a) m.iram[static_cast<std::size_t>(a)] = static_cast<uint8_t>(a ^ 0x5A);
  });
  Type("MWRITE 0C5H 77H");
  Type("MFILL 0F0H 0F1H 11H");
  Type("STEPINTO");
  PollUntilQuiet();
  for (int a = 0xC0; a < 0x100; ++a) {
    const uint8_t want = a == 0xC5 ? 0x77 : (a == 0xF0 || a == 0xF1) ? 0x11 : static_cast<uint8_t>(a ^ 0x5A);
    EXPECT_EQ(BoardIram(a), want) << std::hex << a;
  }
  EXPECT_TRUE(messages_.Texts().empty());
}

TEST_F(CommandEndToEndTest, GoRunsToABreakPointSetFromTheCommandLine) {
  Type("SETBP 0117H 0");
  Type("GO");
  EXPECT_EQ(state_.Stopped, 0);
  Type("MWRITE 40H 1");
  EXPECT_EQ(MemoLines().at(MemoLines().size() - 2), "Please Stop the ICE First !!");
  EXPECT_EQ(state_.InRAMImage[0x40], 0);
  PollUntilQuiet();
  EXPECT_EQ(state_.Stopped, 1);
  EXPECT_EQ(board_.Pc(), 0x0117);
  EXPECT_EQ(state_.GetPC(), 0x0117u);
  EXPECT_EQ(BoardIram(0x30), 1) << "MAIN ran up to the breakpoint";
  EXPECT_TRUE(messages_.Texts().empty());
}

}  // namespace
}  // namespace vx930::testing
