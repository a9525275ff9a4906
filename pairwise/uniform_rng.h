// The companion program's uniform generator: xoshiro128+ (Blackman and
// Vigna), a 32-bit member of the xorshift family. Its starting state is fixed
// and it is never reseeded, so one input gives one set of thresholds on every
// machine; the uniforms are built from its bits here, not by a library
// distribution whose results differ between standard libraries.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include <emmintrin.h>

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

  // Undoes one NextBits: the state before the last draw.
  void StepBack() {
    const std::uint32_t a = Rotr(s_[3], 11);  // old s3 ^ old s1
    const std::uint32_t s0 = s_[0] ^ a;
    const std::uint32_t y = s_[1] ^ s_[2];    // old s1 ^ (old s1 << 9)
    const std::uint32_t s1 = y ^ (y << 9) ^ (y << 18) ^ (y << 27);
    const std::uint32_t s2 = s_[1] ^ s1 ^ s0;
    s_ = {s0, s1, s2, a ^ s1};
  }

  const std::array<std::uint32_t, 4>& State() const { return s_; }

 private:
  static std::uint32_t Rotl(std::uint32_t x, int k) { return (x << k) | (x >> (32 - k)); }
  static std::uint32_t Rotr(std::uint32_t x, int k) { return (x >> k) | (x << (32 - k)); }

  // Fixed starting state (any non-zero state serves; these are SplitMix64
  // outputs of seed 0, split into 32-bit words).
  std::array<std::uint32_t, 4> s_{0xe220a839u, 0x7b1dcdafu, 0x6e789e6au, 0xa1b965f4u};
};

// Consumes uniforms already drawn: a plain pointer, so that the hot loops
// keep it in a register and test no bound.
struct UniformCursor {
  const float* next;
  float Uniform() { return *next++; }
};

// The same stream of uniforms, drawn ahead in blocks: the generator's
// serial steps then run in a tight loop apart from the branchy code that
// consumes the uniforms. Reserve(n) makes n uniforms available to a cursor,
// Commit takes back the cursor's position, and Release hands the generator
// back in the state of exactly the uniforms consumed, as if they had been
// drawn one by one.
class UniformBuffer {
 public:
  // maxReserve: the largest n that Reserve will be asked for.
  UniformBuffer(const UniformRng& rng, int maxReserve)
      : rng_(rng), buf_(static_cast<std::size_t>(std::max(4096, 4 * maxReserve))),
        bits_(buf_.size()), next_(buf_.size()) {}
  UniformBuffer(const UniformBuffer&) = delete;
  UniformBuffer& operator=(const UniformBuffer&) = delete;

  UniformCursor Reserve(int n) {
    if (buf_.size() - next_ < static_cast<std::size_t>(n)) Refill();
    return UniformCursor{buf_.data() + next_};
  }
  void Commit(const UniformCursor& c) { next_ = static_cast<std::size_t>(c.next - buf_.data()); }

  float Uniform() {
    UniformCursor c = Reserve(1);
    const float u = c.Uniform();
    Commit(c);
    return u;
  }

  // The generator after the consumed uniforms.
  UniformRng Release() const {
    UniformRng r = rng_;
    for (std::size_t i = next_; i < buf_.size(); ++i) r.StepBack();
    return r;
  }

 private:
  // Moves the unconsumed uniforms to the front and draws the rest anew.
  void Refill() {
    const std::size_t n = buf_.size();
    const std::size_t kept = n - next_;
    std::copy(buf_.begin() + static_cast<std::ptrdiff_t>(next_), buf_.end(), buf_.begin());
    // The generator's serial loop keeps only the raw bits; their conversion
    // (exact, as in BitsToUniform) runs apart, four at a time.
    UniformRng r = rng_;
    std::int32_t* b = bits_.data();
    for (std::size_t i = kept; i < n; ++i) b[i] = static_cast<std::int32_t>(r.NextBits() >> 8);
    rng_ = r;
    float* u = buf_.data();
    const __m128 scale = _mm_set1_ps(0x1.0p-24f);
    std::size_t i = kept;
    for (; i + 4 <= n; i += 4)
      _mm_storeu_ps(u + i, _mm_mul_ps(_mm_cvtepi32_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i))), scale));
    for (; i < n; ++i) u[i] = static_cast<float>(b[i]) * 0x1.0p-24f;
    next_ = 0;
  }
  UniformRng rng_;          // state after the last uniform of the buffer
  std::vector<float> buf_;
  std::vector<std::int32_t> bits_;  // top 24 bits of each draw, for Refill
  std::size_t next_;        // first unconsumed uniform
};

}  // namespace pairwise
