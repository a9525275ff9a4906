#include <gtest/gtest.h>

#include "common/fp_mode.h"

TEST(FloatingPointMode, FlushToZeroTurnsDenormalsIntoZero) {
  common::EnableFlushToZero();
  volatile double tiny = 1e-300;
  volatile double r = tiny * 1e-20;
  EXPECT_EQ(r, 0.0);
}
