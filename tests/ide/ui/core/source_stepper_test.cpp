// The stage decision of a source-level step, case by case: what the stage
// knows (where the target stands in the line, the next call and branch of
// the line, whether the called code has source) and what it does.
#include "ide/ui/core/source_stepper.h"

#include <gtest/gtest.h>

namespace vx930::testing {
namespace {

struct StageCase {
  const char* name;
  StageFacts facts;
  StageDecision expected;
};

// A line [0x0100, 0x0110); the stage at pc with call c and branch j.
StageFacts At(uint32_t pc, int32_t c, int32_t j, bool over = false, bool first = false) {
  StageFacts f;
  f.pc = pc;
  f.first = first;
  f.over = over;
  f.stepStart = 0x0100;
  f.stepEnd = 0x0110;
  if (!first) f.previousStagePc = 0x0100;
  f.call = c;
  f.branch = j;
  f.callLength = 3;
  return f;
}

StageFacts WithoutSource(StageFacts f) {
  f.callTargetHasSource = false;
  return f;
}

TEST(SourceStageTest, EachStageDecidesFromWhereTheTargetStands) {
  using A = StageAct;
  const StageCase cases[] = {
      {"past the line end", At(0x0110, -1, -1), {A::EndStep}},
      {"before the line start", At(0x00FF, -1, -1), {A::EndStep}},
      {"back at the line start", At(0x0100, -1, -1), {A::EndStep}},
      {"the first stage at the line start", At(0x0100, -1, -1, false, true), {A::RunTo, 0x0110}},
      {"where the previous stage began",
       [] {
         StageFacts f = At(0x0104, -1, 0x0104);
         f.previousStagePc = 0x0104;
         return f;
       }(),
       {A::NoProgress}},
      {"no call, no branch", At(0x0102, -1, -1), {A::RunTo, 0x0110}},
      {"into: at a call with source", At(0x0102, 0x0102, 0x0108), {A::SingleStep}},
      {"into: at a call without source, a branch after", WithoutSource(At(0x0102, 0x0102, 0x0108)), {A::RangeRun}},
      {"into: at a call without source, no branch", WithoutSource(At(0x0102, 0x0102, -1)), {A::SingleStep}},
      {"into: at a branch", At(0x0102, 0x0108, 0x0102), {A::SingleStep}},
      {"over: at a branch", At(0x0102, 0x0108, 0x0102, true), {A::SingleStep}},
      {"over: at a call with source", At(0x0102, 0x0102, 0x0108, true), {A::RunTo, 0x0105}},
      {"over: at a call without source, a branch after",
       WithoutSource(At(0x0102, 0x0102, 0x0108, true)),
       {A::RangeRun}},
      {"a call before the branch", At(0x0102, 0x0104, 0x0108), {A::RunTo, 0x0104}},
      {"a branch before the call", At(0x0102, 0x0108, 0x0104, true), {A::RunTo, 0x0104}},
      {"only a call ahead", At(0x0102, 0x0106, -1, true), {A::RunTo, 0x0106}},
      {"only a branch ahead", At(0x0102, -1, 0x010A), {A::RunTo, 0x010A}},
  };
  for (const StageCase& c : cases) {
    SCOPED_TRACE(c.name);
    const StageDecision d = DecideStage(c.facts);
    EXPECT_EQ(static_cast<int>(d.act), static_cast<int>(c.expected.act));
    EXPECT_EQ(d.address, c.expected.address);
  }
}

}  // namespace
}  // namespace vx930::testing
