// The companion program's uniform generator: xoshiro128+ (Blackman and
// Vigna), a 32-bit member of the xorshift family. Its starting state is fixed
// and it is never reseeded, so one input gives one set of thresholds on every
// machine; the uniforms are built from its bits here, not by a library
// distribution whose results differ between standard libraries.
#pragma once

#include <array>
#include <cstdint>

namespace pairwise {

class UniformRng {
 public:
  UniformRng() = default;

  // Next 32 raw bits.
  std::uint32_t NextBits() {
    const std::uint32_t result = s_[0] + s_[3];
    const std::uint32_t t = s_[1] << 9;
    s_[2] ^= s_[0];
    s_[3] ^= s_[1];
    s_[1] ^= s_[2];
    s_[0] ^= s_[3];
    s_[2] ^= t;
    s_[3] = Rotl(s_[3], 11);
    return result;
  }

  // Single-precision uniform in [0, 1): the top 24 bits (the well-mixed ones
  // of xoshiro128+) scaled by 2^-24, exact in a float.
  float Uniform() { return BitsToUniform(NextBits()); }

  // Fills u[0..n-1] in element order.
  void Fill(float* u, int n) {
    for (int i = 0; i < n; ++i) u[i] = Uniform();
  }

  static float BitsToUniform(std::uint32_t bits) {
    return static_cast<float>(bits >> 8) * 0x1.0p-24f;
  }

  const std::array<std::uint32_t, 4>& State() const { return s_; }

 private:
  static std::uint32_t Rotl(std::uint32_t x, int k) { return (x << k) | (x >> (32 - k)); }

  // Fixed starting state (any non-zero state serves; these are SplitMix64
  // outputs of seed 0, split into 32-bit words).
  std::array<std::uint32_t, 4> s_{0xe220a839u, 0x7b1dcdafu, 0x6e789e6au, 0xa1b965f4u};
};

}  // namespace pairwise
