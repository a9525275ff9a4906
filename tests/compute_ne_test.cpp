#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "estimation/compute_ne.h"

using estimation::ComputeNe;
using estimation::PassResult;

namespace {

// Columns with element 0 unused: males' rows first, then females'.
PassResult NePass(std::array<int, 3> n, std::vector<double> P, std::vector<double> N) {
  P.insert(P.begin(), 0.0);
  N.insert(N.begin(), 0.0);
  PassResult r;
  r.Ne = -99;
  ComputeNe(n, P, N, r);
  return r;
}

}  // namespace

TEST(ComputeNe, OneClassPerSex) {
  const PassResult r = NePass({2, 1, 1}, {0.5, 0.5}, {100, 50});
  for (int k = 1; k <= 3; ++k) EXPECT_DOUBLE_EQ(r.GI[k], 1.0);
  EXPECT_DOUBLE_EQ(r.Var[1][1], 1.0);
  EXPECT_DOUBLE_EQ(r.Var[2][1], 0.5);
  EXPECT_DOUBLE_EQ(r.Var[3][1], 0.0);
  EXPECT_DOUBLE_EQ(r.Var[2][2], 1.0);
  EXPECT_DOUBLE_EQ(r.Var[1][2], 2.0);
  EXPECT_DOUBLE_EQ(r.Var[3][2], 0.0);
  EXPECT_EQ(r.Ne, 133);  // 4 / (1/100 + 1/50) = 133.3
}

// Worked by hand: males P (0.3, 0.2), N (100, 50); females P (0.1, 0.4),
// N (80, 40). B = (1, 0.4 | 1, 0.8); inner sums 0.0016 and 0.008.
TEST(ComputeNe, TwoClassesPerSexAgainstHandComputation) {
  const PassResult r = NePass({4, 2, 2}, {0.3, 0.2, 0.1, 0.4}, {100, 50, 80, 40});
  EXPECT_NEAR(r.GI[2], 1.4, 1e-12);
  EXPECT_NEAR(r.GI[3], 1.8, 1e-12);
  EXPECT_NEAR(r.GI[1], 1.6, 1e-12);
  EXPECT_NEAR(r.Var[1][1], 1.16, 1e-12);
  EXPECT_NEAR(r.Var[2][1], 0.8 * 1.128, 1e-12);
  EXPECT_NEAR(r.Var[3][1], 0.128, 1e-12);
  EXPECT_NEAR(r.Var[2][2], 1.64, 1e-12);
  EXPECT_NEAR(r.Var[1][2], 1.25 * 1.8, 1e-12);
  EXPECT_NEAR(r.Var[3][2], 0.8, 1e-12);
  EXPECT_EQ(r.Ne, 199);  // 6.4 / 0.0321 = 199.38
}

TEST(ComputeNe, EqualSizesWithinASexGiveNoSizeTerm) {
  const PassResult r = NePass({5, 3, 2}, {0.1, 0.3, 0.1, 0.25, 0.25}, {60, 60, 60, 30, 30});
  EXPECT_DOUBLE_EQ(r.Var[1][1], 1.0);
  EXPECT_DOUBLE_EQ(r.Var[3][1], 0.0);
  EXPECT_DOUBLE_EQ(r.Var[2][2], 1.0);
  EXPECT_DOUBLE_EQ(r.Var[3][2], 0.0);
  const double gi = 0.5 * (2.0 * (0.5 + 0.4 + 0.1) + 2.0 * (0.5 + 0.25));
  EXPECT_EQ(r.Ne, static_cast<int>(std::floor(4.0 * gi / (1.0 / 60 + 1.0 / 30) + 0.5)));
}

// Each B is the sum of the shares from its row to the last row, added in that
// order; for these shares the reverse order gives another last bit of GI.
TEST(ComputeNe, ReproductionTailsAreSummedFromTheRowToTheLastRow) {
  const PassResult r = NePass({4, 3, 1}, {0.05, 0.15, 0.02, 0.5}, {300, 200, 100, 100});
  const double B1 = 2.0 * ((0.05 + 0.15) + 0.02), B2 = 2.0 * (0.15 + 0.02), B3 = 2.0 * 0.02;
  const double reverse = 2.0 * ((0.02 + 0.15) + 0.05);
  ASSERT_NE((B1 + B2) + B3, (reverse + B2) + B3);  // the case tells the orders apart
  EXPECT_EQ(r.GI[2], (B1 + B2) + B3);
  EXPECT_EQ(r.GI[3], 1.0);
  EXPECT_EQ(r.GI[1], (r.GI[2] + r.GI[3]) * 0.5);
  const double inner = B2 * B2 * (1.0 / 200 - 1.0 / 300) + B3 * B3 * (1.0 / 100 - 1.0 / 200);
  EXPECT_EQ(r.Var[1][1], 4.0 * (0.25 * inner) * 300 + 1.0);
  EXPECT_EQ(r.Var[3][1], 4.0 * (0.25 * inner) * 100);
}

TEST(ComputeNe, AllReproductionInTheOldestClass) {
  const PassResult r = NePass({5, 3, 2}, {0, 0, 0.5, 0, 0.5}, {90, 60, 30, 40, 20});
  EXPECT_DOUBLE_EQ(r.GI[2], 3.0);
  EXPECT_DOUBLE_EQ(r.GI[3], 2.0);
  EXPECT_DOUBLE_EQ(r.GI[1], 2.5);
}

TEST(ComputeNe, HalfRoundsAwayFromZero) {
  EXPECT_EQ(NePass({2, 1, 1}, {0.5, 0.5}, {0.25, 0.25}).Ne, 1);  // 4 / 8 = 0.5
}

// A pass whose searches failed: class sizes 0 (or not numbers). Ne and the
// variances are 0; the generation intervals still come from the shares.
TEST(ComputeNe, UnusableClassSizesGiveZeroNeAndVariances) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (const auto& N : {std::vector<double>{0, 0, 0, 0}, std::vector<double>{100, 0, 80, 40},
                        std::vector<double>{100, 50, nan, 40}, std::vector<double>{100, -3, 80, 40},
                        std::vector<double>{100, 50, inf, 40}}) {
    const PassResult r = NePass({4, 2, 2}, {0.3, 0.2, 0.1, 0.4}, N);
    EXPECT_EQ(r.Ne, 0);
    for (int k = 1; k <= 3; ++k)
      for (int s = 1; s <= 2; ++s) EXPECT_EQ(r.Var[k][s], 0.0) << k << s;
    EXPECT_NEAR(r.GI[1], 1.6, 1e-12);
  }
  const PassResult zero = NePass({4, 2, 2}, {0, 0, 0, 0}, {0, 0, 0, 0});
  EXPECT_EQ(zero.Ne, 0);
  EXPECT_EQ(zero.GI[1], 0.0);
}

TEST(ComputeNe, ZeroDenominatorGivesZeroNe) {
  // Males P (-0.5, 1.0), N (1, 2): 1/1 + 4 (1/2 - 1) = -1; females 1/1: D = 0.
  const PassResult r = NePass({3, 2, 1}, {-0.5, 1.0, 0.5}, {1, 2, 1});
  EXPECT_EQ(r.Ne, 0);
  EXPECT_DOUBLE_EQ(r.GI[1], 2.0);
}

TEST(ComputeNe, NeBeyondTheIntegerRangeGivesZero) {
  EXPECT_EQ(NePass({2, 1, 1}, {0.5, 0.5}, {1e300, 1e300}).Ne, 0);
  EXPECT_EQ(NePass({2, 1, 1}, {0.5, 0.5}, {1.1e9, 1.1e9}).Ne, 0);  // 2.2e9 > INT_MAX
  EXPECT_EQ(NePass({2, 1, 1}, {0.5, 0.5}, {1e8, 1e8}).Ne, 200000000);
}
