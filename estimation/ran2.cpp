// L'Ecuyer's combined multiplicative congruential generator with a
// Bays-Durham shuffle of 32 entries. Every product is kept within 32 bits by
// Schrage's decomposition, so the stream is the same on every platform.
#include "estimation/ran2.h"

#include <algorithm>

namespace estimation {
namespace {

constexpr std::int32_t IM1 = 2147483563, IA1 = 40014, IQ1 = 53668, IR1 = 12211;
constexpr std::int32_t IM2 = 2147483399, IA2 = 40692, IQ2 = 52774, IR2 = 3791;
constexpr std::int32_t IMM1 = IM1 - 1;
constexpr std::int32_t NTAB = 32;
constexpr std::int32_t NDIV = 1 + IMM1 / NTAB;
constexpr double AM = 1.0 / IM1;
constexpr double RNMX = 1.0 - 1.2e-7;

// One step v <- (a v) mod m by Schrage's method (m = a q + r, r < q).
constexpr std::int32_t SchrageStep(std::int32_t v, std::int32_t a, std::int32_t q,
                                   std::int32_t r, std::int32_t m) {
  const std::int32_t k = v / q;
  v = a * (v - k * q) - k * r;
  if (v < 0) v += m;
  return v;
}

}  // namespace

double Ran2::Next() {
  std::int32_t v = Idum;
  if (v <= 0) {
    v = (v == INT32_MIN) ? v : -v;  // -INT32_MIN wraps to itself, then 1
    if (v < 1) v = 1;
    IDUM2 = v;
    for (std::int32_t j = NTAB + 8; j >= 1; --j) {
      v = SchrageStep(v, IA1, IQ1, IR1, IM1);
      if (j <= NTAB) IV[static_cast<std::size_t>(j)] = v;
    }
    IY = IV[1];
  }
  Idum = SchrageStep(v, IA1, IQ1, IR1, IM1);
  IDUM2 = SchrageStep(IDUM2, IA2, IQ2, IR2, IM2);
  const std::int32_t j = 1 + IY / NDIV;
  IY = IV[static_cast<std::size_t>(j)] - IDUM2;
  IV[static_cast<std::size_t>(j)] = Idum;
  if (IY < 1) IY += IMM1;
  return std::min(AM * IY, RNMX);
}

}  // namespace estimation
