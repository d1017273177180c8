// The configuration file: PATH keys, the window layout written at close and
// reopened at the first paint, and the teardown order around it.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tests/ide/ui/core/debugger_fixture.h"

namespace vx930::testing {
namespace {

using Names = std::vector<std::string>;

class ConfigTest : public DebuggerFixture {
protected:
  std::string Contents() const {
    std::ifstream in(config_->FilePath());
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  void WriteFile(const std::string& text) { std::ofstream(config_->FilePath()) << text; }
  IniFile Ini() const { return IniFile(config_->FilePath()); }
};

TEST_F(ConfigTest, WithoutAFileEverythingReadsItsDefault) {
  EXPECT_EQ(config_->FilePath(), dir_.string() + "/VX930_ice.cfg");
  EXPECT_EQ(config_->ReadComPortSetting(), 1);
  EXPECT_EQ(config_->ReadHexCodePath(), dir_.string() + "/");
  debugger_->LoadWindowLayout();
  EXPECT_TRUE(views_.sfrs.empty() && views_.rams.empty() && views_.commands.empty());
  EXPECT_EQ(frame_.bounds.width, 842) << "the built-in bounds stay";
}

TEST_F(ConfigTest, ComPortIsClampedIntoOneToFive) {
  const std::pair<const char*, int> cases[] = {{"3", 3}, {"0", 1}, {"9", 5}, {"-2", 1}, {"x", 1}, {"", 1}};
  for (const auto& [text, port] : cases) {
    WriteFile(std::string("[PATH]\nCOM_PORT=") + text + "\n");
    EXPECT_EQ(config_->ReadComPortSetting(), port) << text;
  }
}

TEST_F(ConfigTest, HexCodeDirectoryIsTheOpenDialogsStartEvenWhenItIsGone) {
  config_->WriteHexCodePath("/no/such/dir/PROG.HEX");
  EXPECT_EQ(debugger_->ReadHexCodePath(), "/no/such/dir/");
  config_->WriteHexCodePath("/with blank/PROG");
  EXPECT_EQ(config_->ReadHexCodePath(), "/with blank/PROG");
}

TEST_F(ConfigTest, SavingWritesMainAndOneExistKeyPerClosedWindow) {
  debugger_->SaveWindowLayout();
  const IniFile ini = Ini();
  EXPECT_TRUE(ini.ReadBool("WINDOW", "MAIN_WIN_EXIST", false));
  EXPECT_EQ(ini.ReadInteger("WINDOW", "MAIN_WIN_LEFT", 0), 181);
  EXPECT_EQ(ini.ReadInteger("WINDOW", "MAIN_WIN_HIGH", 0), 524);
  for (const char* p : {"SFR", "INRAM", "IN1kRAM", "BRKPNT", "WATCH", "COMMAND"}) {
    SCOPED_TRACE(p);
    EXPECT_NE(Contents().find(std::string(p) + "_WIN_EXIST=0"), std::string::npos);
    EXPECT_EQ(Contents().find(std::string(p) + "_WIN_TOP"), std::string::npos);
  }
}

TEST_F(ConfigTest, TheLayoutRoundTripsAndAClosedWindowKeepsItsLastBounds) {
  views_.available = true;
  debugger_->SFRH1Click();
  debugger_->InternalRAM1Click();
  debugger_->muInternal1kRAM1Click();
  debugger_->BreakPoint1Click();
  debugger_->ProcedureList1Click();
  views_.sfrs[0]->bounds = {11, 12, 413, 214};
  views_.rams[1]->bounds = {21, 22, 423, 224};
  frame_.bounds = {5, 6, 1000, 700};
  debugger_->SaveWindowLayout();
  EXPECT_EQ(Ini().ReadInteger("WINDOW", "IN1kRAM_WIN_TOP", 0), 21);
  EXPECT_EQ(Ini().ReadInteger("WINDOW", "WATCH_WIN_WID", 0), 360);

  // Next run: the same windows at the same places.
  FakeViews views;
  DebuggerHost host = host_;
  host.views = &views;
  FakeFrame frame;
  host.frame = &frame;
  DebuggerState state;
  Debugger next(state, *config_, host);
  next.LoadWindowLayout();
  EXPECT_EQ(frame.bounds.width, 1000);
  ASSERT_EQ(views.sfrs.size(), 1u);
  EXPECT_EQ(views.sfrs[0]->bounds.left, 12);
  ASSERT_EQ(views.ramCaptions, (Names{"Internal 256 RAM", "Internal 1k RAM_1"}));
  EXPECT_EQ(views.rams[1]->bounds.height, 224);
  EXPECT_EQ(views.breakpoints.size(), 1u);
  ASSERT_EQ(views.watches.size(), 1u);
  EXPECT_EQ(views.watches[0]->fills, 0) << "filled by the next open";
  EXPECT_TRUE(views.commands.empty());

  // The SFR window closed: only its EXIST key changes.
  next.ViewClosed(next.SFR_HForm());
  next.SaveWindowLayout();
  EXPECT_FALSE(Ini().ReadBool("WINDOW", "SFR_WIN_EXIST", true));
  EXPECT_EQ(Ini().ReadInteger("WINDOW", "SFR_WIN_TOP", 0), 11);
}

TEST_F(ConfigTest, TheCommandWindowOpensFromTheLayoutWithDefaultBounds) {
  WriteFile("[WINDOW]\nCOMMAND_WIN_EXIST=1\n");
  views_.available = true;
  debugger_->LoadWindowLayout();
  ASSERT_EQ(views_.commands.size(), 1u);
  const WindowBounds b = views_.commands[0]->bounds;
  EXPECT_EQ(b.top, 140);
  EXPECT_EQ(b.left, 140);
  EXPECT_EQ(b.width, 500);
  EXPECT_EQ(b.height, 300);
}

TEST_F(ConfigTest, CloseStopsThePollDropsDecoderImageAndLinkThenSavesWithTheWindowsOpen) {
  Connect();
  views_.available = true;
  debugger_->SFRH1Click();
  FakeSource* source = static_cast<FakeSource*>(views_.CreateSourceView());
  debugger_->Views().Register(source);
  state_.HexDecoder = std::make_unique<CDecodeHex>(state_.CodeImage.get());
  source->SetDecoder(state_.HexDecoder.get());
  timer_.enabled = true;
  debugger_->FormClose();
  EXPECT_FALSE(timer_.enabled);
  EXPECT_EQ(source->decoder, nullptr);
  EXPECT_FALSE(state_.HexDecoder);
  EXPECT_FALSE(state_.CodeImage);
  EXPECT_FALSE(state_.IceCmd);
  EXPECT_FALSE(state_.ComPort);
  EXPECT_TRUE(Ini().ReadBool("WINDOW", "SFR_WIN_EXIST", false));
  // A late poll or command finds no link and no image, and does no harm.
  debugger_->Timer1Timer();
  debugger_->Reset1Click();
  EXPECT_TRUE(debugger_->IsPCAtMovx()) << "no program loaded any more";
}

}  // namespace
}  // namespace vx930::testing
