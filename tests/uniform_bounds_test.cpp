#include "pairwise/uniform_bounds.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace {

using pairwise::kNumDraws;

double U(std::int32_t k) { return static_cast<double>(static_cast<float>(k) * 0x1.0p-24f); }

// Values of x at and next to the uniforms' grid, at both ends and beyond,
// and the non-numbers; for each, the draws around the bound and at the ends
// must compare as the double comparison does.
TEST(UniformBounds, AgreeWithTheDoubleComparisons) {
  const double inf = std::numeric_limits<double>::infinity();
  std::vector<double> xs = {0.0, -0.0, -1e-300, 1e-310, 1e-300, 0x1.0p-24, 0x1.0p-25, 0.5, 1.0 / 3.0,
                            0.01, 0.99, 1.0 - 0x1.0p-24, 1.0, 1.5, 2.0, inf, -inf,
                            std::numeric_limits<double>::quiet_NaN()};
  for (const std::int32_t k : {1, 3, 1000, 1 << 23, kNumDraws - 1}) {
    const double g = U(k);
    xs.push_back(g);
    xs.push_back(std::nextafter(g, 0.0));
    xs.push_back(std::nextafter(g, 2.0));
  }
  for (const double x : xs) {
    const std::int32_t atMost = pairwise::DrawsAtMost(x), below = pairwise::DrawsBelow(x),
                       above = pairwise::FirstDrawAbove(x);
    std::vector<std::int32_t> ks = {0, 1, 2, kNumDraws - 2, kNumDraws - 1};
    for (const std::int32_t b : {atMost, below, above})
      for (std::int32_t d = -2; d <= 2; ++d)
        if (b + d >= 0 && b + d < kNumDraws) ks.push_back(b + d);
    for (const std::int32_t k : ks) {
      const double u = U(k);
      EXPECT_EQ(k < atMost, u <= x) << x << " " << k;
      EXPECT_EQ(k < below, u < x) << x << " " << k;
      EXPECT_EQ(k >= above, x < u) << x << " " << k;
    }
  }
}

}  // namespace
