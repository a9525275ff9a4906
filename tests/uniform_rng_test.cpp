#include "pairwise/uniform_rng.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

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

TEST(UniformRng, StepBackUndoesADraw) {
  pairwise::UniformRng rng;
  for (int i = 0; i < 777; ++i) rng.NextBits();
  const auto before = rng.State();
  const std::uint32_t bits = rng.NextBits();
  rng.StepBack();
  EXPECT_EQ(rng.State(), before);
  EXPECT_EQ(rng.NextBits(), bits);
}

// Reservations of uneven sizes across many refills, some uniforms left
// unconsumed: the buffer gives the generator's stream, and hands the
// generator back as if every consumed uniform had been drawn from it.
TEST(UniformBuffer, SameStreamAndStateAsDrawingOneByOne) {
  pairwise::UniformRng direct;
  pairwise::UniformBuffer buffer(direct, 300);
  int drawn = 0;
  for (int k = 0; k < 500; ++k) {
    const int reserve = 1 + (k * 37) % 300;
    pairwise::UniformCursor c = buffer.Reserve(reserve);
    const int take = (k * 53) % (reserve + 1);
    for (int i = 0; i < take; ++i) ASSERT_EQ(c.Uniform(), direct.Uniform()) << k << " " << i;
    buffer.Commit(c);
    drawn += take;
    if (k % 7 == 0) {
      ASSERT_EQ(buffer.Uniform(), direct.Uniform());
      ++drawn;
    }
  }
  ASSERT_GT(drawn, 3 * 4096);
  EXPECT_EQ(buffer.Release().State(), direct.State());
}

TEST(UniformBuffer, ReleaseBeforeAnyDrawGivesTheStartingState) {
  pairwise::UniformRng rng;
  rng.NextBits();
  pairwise::UniformBuffer buffer(rng, 10);
  EXPECT_EQ(buffer.Release().State(), rng.State());
  buffer.Reserve(10);  // fills the buffer, consumes nothing
  EXPECT_EQ(buffer.Release().State(), rng.State());
}

}  // namespace

// Blocks are drawn by several copies of the generator started ahead by
// jumps; across several refills the stream must stay the serial one, draw
// for draw, and Release must give the serial state.
TEST(UniformBuffer, ManyBlocksGiveTheSerialStream) {
  pairwise::UniformRng direct;
  direct.NextBits();  // a state other than the starting one
  pairwise::UniformBuffer buffer(direct, 140);
  const int total = 5 * pairwise::UniformBuffer::kBlock + 123;
  int drawn = 0;
  for (int k = 0; drawn < total; ++k) {
    pairwise::UniformCursor c = buffer.Reserve(140);
    const int take = std::min(1 + (k * 29) % 140, total - drawn);
    for (int i = 0; i < take; ++i) ASSERT_EQ(c.Bits24(), direct.Bits24()) << drawn + i;
    buffer.Commit(c);
    drawn += take;
  }
  EXPECT_EQ(buffer.Release().State(), direct.State());
}
