// Comparisons of a uniform against a double, done on its 24-bit integer.
// A uniform is k * 2^-24 for an integer k in [0, 2^24), exact as a double,
// and scaling a double by 2^24 is exact, so each comparison of the uniform
// with x is one of k with x * 2^24, that is, with an integer bound. Each
// bound is the number of k for which the comparison holds (or the first k
// for which it holds), so the hot loops compare integers only.
#pragma once

#include <cmath>
#include <cstdint>

namespace pairwise {

constexpr std::int32_t kNumDraws = std::int32_t{1} << 24;  // values of k

// u <= x  exactly when  k < DrawsAtMost(x).
inline std::int32_t DrawsAtMost(double x) {
  const double y = x * 0x1.0p24;
  if (!(y >= 0.0)) return 0;  // negative or NaN: never
  if (y >= kNumDraws) return kNumDraws;
  return static_cast<std::int32_t>(std::floor(y)) + 1;
}

// u < x  exactly when  k < DrawsBelow(x).
inline std::int32_t DrawsBelow(double x) {
  const double y = x * 0x1.0p24;
  if (!(y > 0.0)) return 0;
  if (y >= kNumDraws) return kNumDraws;
  return static_cast<std::int32_t>(std::ceil(y));
}

// x < u  exactly when  k >= FirstDrawAbove(x).
inline std::int32_t FirstDrawAbove(double x) {
  const double y = x * 0x1.0p24;
  if (std::isnan(y)) return kNumDraws;  // never
  if (y < 0.0) return 0;
  if (y >= kNumDraws) return kNumDraws;
  return static_cast<std::int32_t>(std::floor(y)) + 1;
}

}  // namespace pairwise
