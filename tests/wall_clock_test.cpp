#include "estimation/wall_clock.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using estimation::ElapsedMsOfDay;
using estimation::LocalStamp;
using estimation::MsOfDay;

LocalStamp At(int h, int m, int s, int ms) {
  LocalStamp t;
  t.Year = 2016;
  t.Month = 7;
  t.Day = 9;
  t.Hour = h;
  t.Minute = m;
  t.Second = s;
  t.Millisecond = ms;
  return t;
}

TEST(WallClock, ElapsedTimeOfDayAlsoAcrossMidnight) {
  struct Case {
    LocalStamp first, now;
    long long elapsed;
  };
  const std::vector<Case> cases = {
      {At(12, 0, 0, 0), At(12, 0, 0, 0), 0},
      {At(12, 0, 0, 500), At(12, 0, 1, 499), 999},
      {At(9, 59, 59, 999), At(10, 0, 0, 999), 1000},
      {At(23, 59, 59, 500), At(0, 0, 0, 400), 900},
      {At(23, 59, 59, 999), At(0, 0, 0, 0), 1},
      {At(23, 59, 59, 0), At(0, 0, 1, 0), 2000},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ElapsedMsOfDay(MsOfDay(c.first), MsOfDay(c.now)), c.elapsed)
        << estimation::TimeText(c.first) << " -> " << estimation::TimeText(c.now);
}

TEST(WallClock, StampsAreZeroPadded) {
  LocalStamp t = At(7, 5, 3, 9);
  t.Year = 2024;
  t.Month = 1;
  t.Day = 2;
  EXPECT_EQ(estimation::DateText(t), "20240102");
  EXPECT_EQ(estimation::TimeText(t), "070503.009");
  EXPECT_EQ(MsOfDay(At(23, 59, 59, 999)), 86399999);
}

}  // namespace
