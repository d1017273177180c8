#include "platform/key_state.h"

#include <gtest/gtest.h>

#include "platform/fake_key_state.h"

namespace platform {
namespace {

TEST(KeyStateTest, PressLatchesUntilReadOnceAndKeysAreIndependent) {
  LatchingKeyState keys;
  EXPECT_FALSE(keys.TakePressed(Key::Escape));
  keys.Press(Key::Escape);
  keys.Press(Key::Escape);
  EXPECT_FALSE(keys.TakePressed(Key::Y));
  EXPECT_TRUE(keys.TakePressed(Key::Escape));
  EXPECT_FALSE(keys.TakePressed(Key::Escape));
  keys.Press(Key::Y);
  keys.Clear();
  EXPECT_FALSE(keys.TakePressed(Key::Y));
}

TEST(KeyStateTest, FakePressesAtTheChosenPollAndCountsPolls) {
  FakeKeyState keys;
  keys.PressAtPoll(Key::Escape, 3);
  EXPECT_FALSE(keys.TakePressed(Key::Escape));
  EXPECT_FALSE(keys.TakePressed(Key::Escape));
  EXPECT_TRUE(keys.TakePressed(Key::Escape));
  EXPECT_FALSE(keys.TakePressed(Key::Escape));
  EXPECT_EQ(keys.Polls(Key::Escape), 4u);
  keys.Press(Key::Y);
  EXPECT_TRUE(keys.TakePressed(Key::Y));
  EXPECT_EQ(keys.Polls(Key::Y), 1u);
}

}  // namespace
}  // namespace platform
