#include "platform/messages.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(RecordingMessages, RecordsAndAnswersFromTheQueueThenWithTheDefault) {
  RecordingMessages rec;
  ScopedMessages scope(rec);
  rec.QueueAnswer(Answer::No);
  EXPECT_EQ(Messages().Show({"Erase?", "Zolvek", Buttons::YesNo, Icon::Question}), Answer::No);
  EXPECT_EQ(Messages().Show({"Again?", "", Buttons::YesNo, Icon::Question}), Answer::Yes);
  EXPECT_EQ(Messages().Show({"Retry?", "", Buttons::RetryCancel, Icon::None}), Answer::Retry);
  ShowMessage("Done", "X");
  ASSERT_EQ(rec.Shown().size(), 4u);
  EXPECT_EQ(rec.Shown()[0].caption, "Zolvek");
  EXPECT_EQ(rec.LastText(), "Done");
  EXPECT_EQ(rec.Texts()[1], "Again?");
}

TEST(RecordingMessages, CountsBeepsByKind) {
  RecordingMessages rec;
  ScopedMessages scope(rec);
  Messages().Beep(true);
  Messages().Beep(false);
  Messages().Beep(false);
  EXPECT_EQ(rec.Beeps(true), 1);
  EXPECT_EQ(rec.Beeps(false), 2);
  rec.Clear();
  EXPECT_EQ(rec.Beeps(false), 0);
  EXPECT_TRUE(rec.Shown().empty());
}

TEST(ScopedMessages, RestoresTheDefaultService) {
  RecordingMessages rec;
  {
    ScopedMessages scope(rec);
    ShowMessage("inside");
  }
  // The default service prints and answers with the first button; nothing is recorded.
  EXPECT_EQ(Messages().Show({"outside", "", Buttons::OkCancel, Icon::None}), Answer::Ok);
  EXPECT_EQ(rec.Texts(), std::vector<std::string>{"inside"});
}

}  // namespace
}  // namespace platform
