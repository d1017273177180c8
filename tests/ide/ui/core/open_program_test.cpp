// Opening a program: HEX or OMF by the file name, the views it updates, the
// download with the breakpoint clear and the reset after it, and that a
// failed open leaves the loaded program exactly as it was.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/ide/ui/core/debugger_fixture.h"
#include "tests/ide/ui/core/intel_hex.h"
#include "tests/ide/ui/core/step_program.h"

namespace vx930::testing {
namespace {

using Names = std::vector<std::string>;

class OpenProgramTest : public DebuggerFixture {
protected:
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  std::string WriteOmf(const std::string& name) {
    const auto b = StepProgramOmf();
    return Write(name, std::string(b.begin(), b.end()));
  }
  std::string WriteHex(const std::string& name, uint8_t marker = 0x74) {
    return Write(name, HexFile(IntelHex(0x0000, {0x02, 0x00, 0x10}) + IntelHex(0x0010, {marker, 0x55, 0x80, 0xFE})));
  }
  void Load(const std::string& path) {
    openDialog_.answers.push_back(path);
    debugger_->Load1Click();
  }
};

TEST_F(OpenProgramTest, TheFileNameAloneDecidesBetweenHexAndOmf) {
  struct Case {
    const char* name;
    bool omfContent;
    bool opens;
    uint8_t omfLoaded;
  };
  const Case cases[] = {
      {"PROG.HEX", false, true, 0},
      {"prog.abs", false, true, 0},
      {"PROG", true, true, 1},
      {"prog.omf", true, false, 0},  // read as HEX, which it is not
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = c.omfContent ? WriteOmf(c.name) : WriteHex(c.name);
    messages_.Clear();
    const bool ok = ExtensionPart(path).empty() ? debugger_->OpenOmfFile(path) : debugger_->OpenHexFile(path);
    EXPECT_EQ(ok, c.opens);
    if (c.opens) {
      EXPECT_EQ(state_.OmfLoaded, c.omfLoaded);
      EXPECT_EQ(frame_.caption, "VX930 IDE  " + path);
      EXPECT_EQ(config_->ReadHexCodePath(), path);
    } else {
      EXPECT_EQ(messages_.Texts(), (Names{"File Error, Please Check Again!!"}));
    }
  }
}

TEST_F(OpenProgramTest, AFailedHexOpenLeavesTheOmfProgramAsItWas) {
  views_.available = true;
  debugger_->ProcedureList1Click();
  const std::string omf = WriteOmf("steps");
  ASSERT_TRUE(debugger_->OpenOmfFile(omf));
  const DecodeOmf* decoder = state_.OmfDecoder.get();
  const CDecodeHex* hex = state_.HexDecoder.get();
  const CodeImage image = *state_.CodeImage;
  FakeSource* source = views_.sources.at(0).get();
  FakeWatch* watch = views_.watches.at(0).get();
  const std::string caption = frame_.caption;

  Load(Write("broken.hex", ":0300000002\n"));
  EXPECT_EQ(messages_.LastText(), "File Error, Please Check Again!!");
  EXPECT_EQ(state_.OmfDecoder.get(), decoder);
  EXPECT_EQ(state_.HexDecoder.get(), hex);
  EXPECT_EQ(state_.OmfLoaded, 1);
  EXPECT_EQ(*state_.CodeImage, image);
  EXPECT_EQ(state_.FileName, omf);
  EXPECT_EQ(frame_.caption, caption);
  EXPECT_EQ(source->omf.Modules(), state_.OmfModules);
  EXPECT_EQ(source->decoder, hex);
  EXPECT_EQ(watch->modules, state_.OmfModules);
  EXPECT_EQ(downloads_, 0) << "a file error never reaches the emulator";
}

TEST_F(OpenProgramTest, AFailedOmfOpenLeavesTheHexProgramAsItWas) {
  views_.available = true;
  const std::string hex = WriteHex("PROG.HEX");
  ASSERT_TRUE(debugger_->OpenHexFile(hex));
  const CDecodeHex* decoder = state_.HexDecoder.get();
  const CodeImage image = *state_.CodeImage;

  Load(Write("BAD", "not an object file"));
  Load((dir_ / "MISSING").string());
  EXPECT_EQ(messages_.Texts(),
            (Names{"OMF File Format Error !!", "Cannot open file \"" + (dir_ / "MISSING").string() + "\"."}));
  EXPECT_EQ(state_.HexDecoder.get(), decoder);
  EXPECT_EQ(*state_.CodeImage, image);
  EXPECT_EQ(state_.OmfLoaded, 0);
  EXPECT_FALSE(state_.OmfDecoder);
  EXPECT_EQ(views_.sources.at(0)->decoder, decoder);
  EXPECT_EQ(downloads_, 0);
}

TEST_F(OpenProgramTest, HexAfterOmfDropsTheOmfProgramFromEveryView) {
  views_.available = true;
  debugger_->ProcedureList1Click();
  ASSERT_TRUE(debugger_->OpenOmfFile(WriteOmf("steps")));
  FakeSource* source = views_.sources.at(0).get();
  FakeWatch* watch = views_.watches.at(0).get();
  ASSERT_NE(watch->globals, nullptr);

  Load(WriteHex("PROG.HEX"));
  EXPECT_FALSE(state_.OmfDecoder);
  EXPECT_EQ(state_.OmfModules, nullptr);
  EXPECT_EQ(source->mode, 0);
  EXPECT_EQ(source->omf.Modules(), nullptr);
  EXPECT_EQ(source->image, nullptr);
  EXPECT_EQ(source->publics, nullptr);
  EXPECT_EQ(source->decoder, state_.HexDecoder.get());
  EXPECT_EQ(source->listings, 1);
  EXPECT_EQ(watch->modules, nullptr);
  EXPECT_EQ(watch->globals, nullptr);
  EXPECT_EQ(watch->locals, nullptr);
  EXPECT_EQ((*state_.CodeImage)[0x10], 0x74);
}

TEST_F(OpenProgramTest, WithoutALinkAnOmfProgramShowsMain) {
  views_.available = true;
  ASSERT_TRUE(debugger_->OpenOmfFile(WriteOmf("steps")));
  FakeSource* source = views_.sources.at(0).get();
  EXPECT_EQ(source->pc, 0x0100u);
  EXPECT_EQ(source->shown, (std::vector<uint32_t>{0x0100}));
  EXPECT_EQ(source->mode, 1);
  EXPECT_EQ(source->sourceDir, dir_.string() + "/");
}

TEST_F(OpenProgramTest, EveryOpenGivesTheSourceWindowBothBreakPointMarks) {
  views_.available = true;
  state_.BreakPointTable[0] = BreakPointRec{0x0456, 0, 0};
  state_.BreakPointTable[1] = BreakPointRec{0x0123, 1, 0};
  Load(WriteHex("PROG.HEX"));
  Load(Write("bad.hex", "x"));
  const auto& calls = views_.sources.at(0)->markCalls;
  const std::vector<std::pair<int, int32_t>> once = {{0, -1}, {1, 0x0123}};
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(std::vector(calls.begin(), calls.begin() + 2), once);
  EXPECT_EQ(std::vector(calls.begin() + 2, calls.end()), once);
}

TEST_F(OpenProgramTest, OpenDownloadsClearsTheBreakPointsAndResets) {
  Connect();
  views_.available = true;
  const std::string hex = WriteHex("PROG.HEX");
  bool pollDuringDownload = true;
  download_.run = [&] {
    pollDuringDownload = timer_.enabled;
    ++downloads_;
    board_.LoadCode(0, std::vector<uint8_t>(state_.CodeImage->begin(), state_.CodeImage->end()));
    return DownloadDialog::kOk;
  };
  timer_.enabled = true;
  board_.SetPc(0x0010);
  Load(hex);
  EXPECT_EQ(downloads_, 1);
  EXPECT_FALSE(pollDuringDownload) << "the download thread owns the port";
  EXPECT_EQ(RunCommands(), (Names{"icReset"}));
  EXPECT_EQ(controls_.runEnabled, 1);
  EXPECT_EQ(frame_.LastStatus(), "Download Complete");
  EXPECT_EQ(state_.GetPC(), 0u);
  EXPECT_EQ(views_.sources.at(0)->pc, 0u);
  EXPECT_EQ(config_->ReadHexCodePath(), hex);
  EXPECT_EQ(debugger_->ReadHexCodePath(), dir_.string() + "/");
}

TEST_F(OpenProgramTest, ACancelledDownloadNeitherClearsNorResets) {
  Connect();
  download_.run = [&] { return DownloadDialog::kCancel; };
  Load(WriteHex("PROG.HEX"));
  EXPECT_EQ(Sent(), Names{});
  EXPECT_EQ(controls_.runEnabled, 0);
  EXPECT_EQ(frame_.LastStatus(), "");
}

TEST_F(OpenProgramTest, AFailedBreakPointClearReportsAndDoesNotReset) {
  Connect();
  board_.AddFault(NoReplyTo(0x10));
  Load(WriteHex("PROG.HEX"));
  EXPECT_EQ(messages_.Texts(), (Names{"Communication Error(Clear Break Point Failed), Please Check Link!!"}));
  const Names sent = Sent();
  EXPECT_EQ(std::count(sent.begin(), sent.end(), "icReset"), 0);
}

TEST_F(OpenProgramTest, OpenIsRefusedWhileTheTargetRuns) {
  state_.Stopped = 0;
  openDialog_.answers.push_back(WriteHex("PROG.HEX"));
  debugger_->Load1Click();
  EXPECT_EQ(messages_.Texts(), (Names{"Please Stop the ICE First !!"}));
  EXPECT_TRUE(openDialog_.initialDirs.empty());
  EXPECT_FALSE(state_.HexDecoder);
}

}  // namespace
}  // namespace vx930::testing
