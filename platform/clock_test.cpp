#include "platform/clock.h"

#include <gtest/gtest.h>

namespace {

TEST(ElapsedTest, CountsAcrossTheWrapOfTheTickCounter) {
  struct Case {
    uint32_t start, now, elapsed;
  } cases[] = {
      {100, 100, 0},
      {100, 350, 250},
      {4294967290u, 5, 10},  // wrapped: now - start - 1
      {4294967295u, 0, 0},
      {0, 4294967295u, 4294967295u},
  };
  for (const Case& c : cases) EXPECT_EQ(ElapsedBetween(c.start, c.now), c.elapsed) << c.start << " -> " << c.now;
}

TEST(MovableClockTest, MovesOnlyWhenToldSleptOrTimedOut) {
  platform::MovableClock clock(4294967000u);
  platform::ScopedClockOverride use(&clock);
  const uint32_t start = platform::CurrentClock().TickMs();
  EXPECT_EQ(ElapsedMs(start), 0u);
  platform::CurrentClock().Sleep(200);
  platform::CurrentClock().WaitTimedOut(5000);
  EXPECT_EQ(platform::CurrentClock().RealWaitMs(5000), 20);  // real waits stay short
  EXPECT_EQ(ElapsedMs(start), 5200u - 1u);                   // the counter wrapped on the way
}

TEST(MovableClockTest, OverrideEndsWithItsScope) {
  platform::MovableClock clock;
  {
    platform::ScopedClockOverride use(&clock);
    EXPECT_EQ(&platform::CurrentClock(), &clock);
  }
  EXPECT_NE(&platform::CurrentClock(), &clock);
}

TEST(SystemClockTest, TicksAdvanceWithSleepAndLocalTimeIsPlausible) {
  platform::Clock& clock = platform::CurrentClock();
  const uint32_t start = clock.TickMs();
  clock.Sleep(30);
  EXPECT_GE(ElapsedMs(start), 30u);
  const platform::LocalTime now = clock.Now();
  EXPECT_GE(now.year, 2024);
  EXPECT_TRUE(now.month >= 1 && now.month <= 12);
  EXPECT_TRUE(now.day >= 1 && now.day <= 31);
  EXPECT_LE(now.hour, 23);
}

}  // namespace
