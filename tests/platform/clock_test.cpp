#include "platform/clock.h"

#include <gtest/gtest.h>

#include <thread>

namespace platform {
namespace {

TEST(VirtualClock, SleepAdvancesTimeWithoutWaiting) {
  VirtualClock clock(100);
  ScopedClock scope(clock);
  const uint32_t start = CurrentClock().Tick();
  CurrentClock().Sleep(60'000);  // a minute of virtual time
  EXPECT_EQ(ElapsedSince(start), 60'000u);
  EXPECT_EQ(clock.Slept(), 60'000u);
  clock.Advance(5);
  EXPECT_EQ(clock.Tick(), 100u + 60'005u);
}

TEST(VirtualClock, ElapsedIsWrapSafe) {
  VirtualClock clock(0xFFFFFFF0u);
  ScopedClock scope(clock);
  const uint32_t start = CurrentClock().Tick();
  clock.Advance(0x20);
  EXPECT_EQ(CurrentClock().Tick(), 0x10u);
  EXPECT_EQ(ElapsedSince(start), 0x20u);
}

TEST(ScopedClock, RestoresThePreviousClock) {
  VirtualClock outer(1), inner(2);
  {
    ScopedClock a(outer);
    {
      ScopedClock b(inner);
      EXPECT_EQ(CurrentClock().Tick(), 2u);
    }
    EXPECT_EQ(CurrentClock().Tick(), 1u);
  }
  EXPECT_EQ(&CurrentClock() == &outer, false);
}

TEST(SystemClock, TicksForwardWhileSleeping) {
  SystemClock clock;
  const uint32_t start = clock.Tick();
  clock.Sleep(20);
  const uint32_t elapsed = clock.Tick() - start;
  EXPECT_GE(elapsed, 19u);
  EXPECT_LT(elapsed, 2000u);
}

TEST(VirtualClock, SharedBetweenThreads) {
  VirtualClock clock;
  std::thread t([&] {
    for (int i = 0; i < 1000; ++i) clock.Sleep(1);
  });
  for (int i = 0; i < 1000; ++i) clock.Sleep(1);
  t.join();
  EXPECT_EQ(clock.Tick(), 2000u);
}

}  // namespace
}  // namespace platform
