#include "app/zk_time.h"

#include <gtest/gtest.h>

namespace {

platform::LocalTime Moment(uint16_t year, uint16_t month, uint16_t day, uint16_t hour,
                           uint16_t minute, uint16_t second) {
  platform::LocalTime t;
  t.year = year;
  t.month = month;
  t.day = day;
  t.hour = hour;
  t.minute = minute;
  t.second = second;
  return t;
}

TEST(ZkTimeTest, TakesTheClockAtConstructionAndOnSetToNow) {
  platform::MovableClock clock;
  clock.SetNow(Moment(2024, 1, 5, 7, 3, 9));
  platform::ScopedClockOverride use(&clock);

  CZkTime time;
  clock.SetNow(Moment(2031, 12, 31, 23, 59, 58));
  EXPECT_EQ(time.GetYear(), 2024);
  EXPECT_EQ(time.GetMonth(), 1);
  EXPECT_EQ(time.GetDay(), 5);
  EXPECT_EQ(time.GetHour(), 7);
  EXPECT_EQ(time.GetMinute(), 3);
  EXPECT_EQ(time.GetSecond(), 9);

  time.SetToNow();
  EXPECT_EQ(time.GetYear(), 2031);
  EXPECT_EQ(time.GetMonth(), 12);
  EXPECT_EQ(time.GetDay(), 31);
  EXPECT_EQ(time.GetHour(), 23);
  EXPECT_EQ(time.GetMinute(), 59);
  EXPECT_EQ(time.GetSecond(), 58);
}

}  // namespace
