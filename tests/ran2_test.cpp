#include "estimation/ran2.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

namespace {

using estimation::Ran2;

constexpr double kRnmx = 1.0 - 1.2e-7;

// The same generator written with 64-bit products (a v mod m directly), as
// an independent check of the Schrage steps and the shuffle.
class Reference {
 public:
  explicit Reference(std::int64_t idum) {
    std::int64_t v = idum <= 0 ? -idum : idum;
    if (v < 1) v = 1;
    d2_ = v;
    for (int j = 40; j >= 1; --j) {
      v = (40014 * v) % 2147483563;
      if (j <= 32) iv_[static_cast<std::size_t>(j)] = v;
    }
    iy_ = iv_[1];
    d1_ = v;
  }
  double Next() {
    d1_ = (40014 * d1_) % 2147483563;
    d2_ = (40692 * d2_) % 2147483399;
    const auto j = static_cast<std::size_t>(1 + iy_ / 67108862);
    iy_ = iv_[j] - d2_;
    iv_[j] = d1_;
    if (iy_ < 1) iy_ += 2147483562;
    const double r = (1.0 / 2147483563.0) * static_cast<double>(iy_);  // scaled by AM
    return r < kRnmx ? r : kRnmx;
  }

 private:
  std::int64_t d1_ = 0, d2_ = 0, iy_ = 0;
  std::array<std::int64_t, 33> iv_{};
};

TEST(Ran2, FirstValuesFromMinus1234) {
  // Worked out with arbitrary-precision integers, apart from this code.
  const double expected[] = {0.23289491412978047, 0.7745602358307783, 0.3799892753824072,
                             0.8533638382963493, 0.5873978794220927, 0.15507502815750307};
  Ran2 r;
  ASSERT_EQ(r.Idum, -1234);
  EXPECT_EQ(r.Next(), expected[0]);
  EXPECT_EQ(r.Idum, 1752197879);
  EXPECT_EQ(r.IDUM2, 50213928);
  EXPECT_EQ(r.IY, 500138000);
  for (int i = 1; i < 6; ++i) EXPECT_EQ(r.Next(), expected[i]) << "draw " << i + 1;
}

TEST(Ran2, LongStreamMatchesReferenceAndStaysInRange) {
  for (std::int32_t seed : {-1234, -1, -987654321, -2147483647}) {
    Ran2 r;
    r.Idum = seed;
    Reference ref(seed);
    for (int i = 0; i < 200000; ++i) {
      const double v = r.Next();
      ASSERT_EQ(v, ref.Next()) << "seed " << seed << " draw " << i + 1;
      ASSERT_GT(v, 0.0);
      ASSERT_LE(v, kRnmx);
    }
  }
}

TEST(Ran2, ZeroSeedActsAsMinusOne) {
  Ran2 a, b;
  a.Idum = 0;
  b.Idum = -1;
  const double expected[] = {0.2853808990946861, 0.2533581892659171, 0.09346853100919404};
  for (double e : expected) {
    const double va = a.Next();
    EXPECT_EQ(va, e);
    EXPECT_EQ(va, b.Next());
  }
}

TEST(Ran2, PositiveStateIsNotReinitialised) {
  Ran2 r;
  r.Next();
  const auto table = r.IV;
  const std::int32_t idum2 = r.IDUM2;
  r.Idum = 777;  // any positive state continues the stream
  const std::int32_t j = 1 + r.IY / 67108862;
  r.Next();
  EXPECT_EQ(r.Idum, (40014LL * 777) % 2147483563);
  EXPECT_EQ(r.IDUM2, static_cast<std::int32_t>((40692LL * idum2) % 2147483399));
  for (std::size_t i = 1; i <= 32; ++i) {
    if (static_cast<std::int32_t>(i) == j)
      EXPECT_EQ(r.IV[i], r.Idum);
    else
      EXPECT_EQ(r.IV[i], table[i]) << "entry " << i;
  }
}

TEST(Ran2, LargestValueIsClippedBelowOne) {
  // A state whose shuffled difference is 0 gives IY = IM1 - 1, whose scaled
  // value 1 - 4.7e-10 exceeds the upper limit.
  Ran2 r;
  r.Idum = 1;
  r.IDUM2 = 1;
  r.IY = 0;  // picks entry 1
  r.IV[1] = 40692;  // the next state of generator 2
  EXPECT_EQ(r.Next(), kRnmx);
  EXPECT_EQ(r.IY, 2147483562);
}

}  // namespace
