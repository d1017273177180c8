// The IDE against the simulated board over a pseudo-terminal, with the
// sample programs: the port dialog, open and download through the link's
// dialog, reset, runs, breakpoints, stop, and steps at instruction and at
// source level, on real time. Set VX_SCREENSHOT to a PNG path to keep a
// picture of the window at the end.
#include <Qsci/qsciscintilla.h>
#include <gtest/gtest.h>

#include "ide/ui/qt/source_window.h"
#include "tests/ide/ui/qt/view_pty_fixture.h"

namespace vx930::testing {
namespace {

class EndToEndTest : public PtyIdeTest {};

TEST_F(EndToEndTest, HexProgramRunsToBreakPointsStepsAndStops) {
  Open("BLINK.HEX");
  auto* source = dynamic_cast<TfmSrcForm*>(D().fmSrcForm());
  ASSERT_NE(source, nullptr);
  EXPECT_EQ(source->LinesShown(), 0);

  // Normal run to show(), twice: the second time counter is 1.
  D().SetBreakPoint(0, 0x008B, 0);
  D().NormalRun1Click();
  ASSERT_TRUE(Halted());
  EXPECT_EQ(S().GetPC(), 0x008Bu);
  D().NormalRun1Click();
  ASSERT_TRUE(Halted());
  EXPECT_EQ(S().GetPC(), 0x008Bu);
  EXPECT_EQ(S().InRAMImage[0x08], 1) << "counter in internal RAM";
  EXPECT_EQ(S().SFRImage[2], 1) << "DPL holds the argument";
  EXPECT_GT(source->PCLine(), 0);

  // Step into one instruction; then over the call to show() in main.
  D().Step1Click();
  ASSERT_TRUE(Halted());
  EXPECT_EQ(S().GetPC(), 0x008Du);
  D().SetBreakPoint(0, 0x00A9, 0);
  D().NormalRun1Click();
  ASSERT_TRUE(Halted());
  ASSERT_EQ(S().GetPC(), 0x00A9u);
  D().DisableBreakPoint(0);
  D().StepOver1Click();
  ASSERT_TRUE(Halted());
  EXPECT_EQ(S().GetPC(), 0x00ACu);
  D().Step1Click();  // into show() this time? No: INC counter at 0x00AC.
  ASSERT_TRUE(Halted());
  EXPECT_EQ(S().GetPC(), 0x00AEu);

  // Free run, a while of polling, stop.
  D().FreeRun1Click();
  EXPECT_TRUE(window_->Action("StopBtn")->isEnabled());
  EXPECT_FALSE(Until([this] { return S().Stopped == 1; }, 300)) << "still running";
  D().StopBtnClick();
  ASSERT_TRUE(Halted());
  EXPECT_TRUE(window_->Action("NormRunBtn")->isEnabled());
  EXPECT_GT(S().InRAMImage[0x08], 2) << "the counter went on";
  EXPECT_TRUE(messages_.Texts().empty()) << messages_.LastText();
}

TEST_F(EndToEndTest, OmfProgramStepsBySourceLine) {
  Open("BLINK");
  auto* source = dynamic_cast<TfmSrcForm*>(D().fmSrcForm());
  ASSERT_NE(source, nullptr);
  ASSERT_EQ(source->LinesShown(), 1);
  EXPECT_NE(source->Editor()->text().indexOf("void main(void)"), -1);

  const int32_t mainAt = D().fmSrcForm()->GetFunctionAddress("MAIN");
  ASSERT_EQ(mainAt, 0x00A3);
  D().Step1Click();  // at reset: runs to MAIN
  ASSERT_TRUE(Halted());
  EXPECT_EQ(S().GetPC(), 0x00A3u);
  EXPECT_EQ(source->PCLine(), 36);

  D().StepOver1Click();  // counter = 0;
  ASSERT_TRUE(Halted());
  EXPECT_EQ(S().GetPC(), 0x00A6u);
  EXPECT_EQ(source->PCLine(), 38);

  D().StepOver1Click();  // show(counter); runs over the call
  ASSERT_TRUE(Halted());
  EXPECT_EQ(S().GetPC(), 0x00ACu);
  EXPECT_EQ(source->PCLine(), 39);

  // Back round the loop to show(counter), then into it.
  D().SetBreakPoint(1, 0x00A6, 0);
  D().NormalRun1Click();
  ASSERT_TRUE(Halted());
  EXPECT_EQ(S().GetPC(), 0x00A6u);
  D().DisableBreakPoint(1);
  D().Step1Click();
  ASSERT_TRUE(Halted());
  EXPECT_EQ(S().GetPC(), 0x008Bu) << "the first line of show()";
  EXPECT_EQ(S().BrkParked, 0);
  EXPECT_EQ(S().BreakPointTable[1].address, 0x00A6u);
  EXPECT_EQ(S().BreakPointTable[1].enabled, 0);
  EXPECT_TRUE(messages_.Texts().empty()) << messages_.LastText();

  if (const char* shot = std::getenv("VX_SCREENSHOT")) {
    source->BringForward();
    source->setGeometry(0, 0, 760, 560);
    QCoreApplication::processEvents();
    window_->grab().save(shot);
  }
}

}  // namespace
}  // namespace vx930::testing
