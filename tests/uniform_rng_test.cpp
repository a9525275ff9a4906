#include "pairwise/uniform_rng.h"

#include <gtest/gtest.h>

namespace {

// Known answers of xoshiro128+ from the fixed starting state, computed
// independently of this code: the stream must be the same on every machine.
TEST(UniformRng, FixedStartGivesKnownStream) {
  pairwise::UniformRng rng;
  EXPECT_EQ(rng.NextBits(), 0x83da0e2du);
  EXPECT_EQ(rng.NextBits(), 0x5dc6df37u);
  EXPECT_EQ(rng.NextBits(), 0x23ac73dbu);
  EXPECT_EQ(rng.NextBits(), 0x0a93e21fu);
  for (int i = 5; i < 1000; ++i) rng.NextBits();
  EXPECT_EQ(rng.NextBits(), 0xba70e957u);
}

TEST(UniformRng, UniformIsTopBitsTimesTwoToMinus24) {
  pairwise::UniformRng rng;
  EXPECT_EQ(rng.Uniform(), 0.5150460004806519f);
  EXPECT_EQ(pairwise::UniformRng::BitsToUniform(0u), 0.0f);
  EXPECT_EQ(pairwise::UniformRng::BitsToUniform(0xffffffffu), 1.0f - 0x1.0p-24f);
  EXPECT_LT(pairwise::UniformRng::BitsToUniform(0xffffffffu), 1.0f);
}

TEST(UniformRng, FillDrawsInElementOrder) {
  pairwise::UniformRng a, b;
  float u[5];
  a.Fill(u, 5);
  for (float x : u) EXPECT_EQ(x, b.Uniform());
  EXPECT_EQ(a.State(), b.State());
}

}  // namespace
