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
  explicit UniformRng(const std::array<std::uint32_t, 4>& state) : s_(state) {}

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
  // The same draw as its 24-bit integer k (the uniform is k * 2^-24), for
  // comparisons against the integer bounds of uniform_bounds.h.
  std::int32_t Bits24() { return static_cast<std::int32_t>(NextBits() >> 8); }

  // Fills u[0..n-1] in element order.
  void Fill(float* u, int n) {
    for (int i = 0; i < n; ++i) u[i] = Uniform();
  }

  static float BitsToUniform(std::uint32_t bits) {
    return static_cast<float>(bits >> 8) * 0x1.0p-24f;
  }
  static float Bits24ToUniform(std::int32_t k) { return static_cast<float>(k) * 0x1.0p-24f; }

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

// Consumes draws already made, as 24-bit integers: a plain pointer, so that
// the hot loops keep it in a register and test no bound.
struct UniformCursor {
  const std::int32_t* next;
  std::int32_t Bits24() { return *next++; }
  float Uniform() { return UniformRng::Bits24ToUniform(*next++); }
};

// The same stream of draws, made ahead in blocks: the generator's serial
// steps then run apart from the branchy code that consumes the draws.
// Reserve(n) makes n draws available to a cursor, Commit takes back the
// cursor's position, and Release hands the generator back in the state of
// exactly the draws consumed, as if they had been made one by one.
//
// A block of kLanes * kLaneLength draws is made by kLanes copies of the
// generator at once, copy j starting kLaneLength * j steps ahead (a jump by
// a fixed power of the generator's linear step): the stream and its order
// are those of the serial generator.
class UniformBuffer {
 public:
  static constexpr int kLanes = 8;
  static constexpr int kLaneLength = 1024;
  static constexpr int kBlock = kLanes * kLaneLength;

  // maxReserve: the largest n that Reserve will be asked for.
  UniformBuffer(const UniformRng& rng, int maxReserve)
      : rng_(rng), buf_(static_cast<std::size_t>(std::max(maxReserve, 0)) + 2 * kBlock),
        next_(0), end_(0) {
    BuildJump();
  }
  UniformBuffer(const UniformBuffer&) = delete;
  UniformBuffer& operator=(const UniformBuffer&) = delete;

  UniformCursor Reserve(int n) {
    if (end_ - next_ < static_cast<std::size_t>(n)) Refill();
    return UniformCursor{buf_.data() + next_};
  }
  void Commit(const UniformCursor& c) { next_ = static_cast<std::size_t>(c.next - buf_.data()); }

  std::int32_t Bits24() {
    UniformCursor c = Reserve(1);
    const std::int32_t k = c.Bits24();
    Commit(c);
    return k;
  }
  float Uniform() { return UniformRng::Bits24ToUniform(Bits24()); }

  // The generator after the consumed draws.
  UniformRng Release() const {
    UniformRng r = rng_;
    for (std::size_t i = next_; i < end_; ++i) r.StepBack();
    return r;
  }

 private:
  using State = std::array<std::uint32_t, 4>;

  // Moves the unconsumed draws to the front and appends whole blocks.
  void Refill() {
    const std::size_t kept = end_ - next_;
    std::copy(buf_.begin() + static_cast<std::ptrdiff_t>(next_), buf_.begin() + static_cast<std::ptrdiff_t>(end_),
              buf_.begin());
    next_ = 0;
    end_ = kept;
    while (buf_.size() - end_ >= static_cast<std::size_t>(kBlock)) {
      DrawBlock(buf_.data() + end_);
      end_ += kBlock;
    }
  }

  // The state kLaneLength steps after s: the step is linear over GF(2), so
  // the jump is the sum of the jumped images of s's 4-bit pieces.
  State Jump(const State& s) const {
    __m128i acc = _mm_setzero_si128();
    for (int w = 0; w < 4; ++w)
      for (int p = 0; p < 8; ++p)
        acc = _mm_xor_si128(acc, jump_[8 * w + p][(s[static_cast<std::size_t>(w)] >> (4 * p)) & 15u]);
    alignas(16) State r;
    _mm_store_si128(reinterpret_cast<__m128i*>(r.data()), acc);
    return r;
  }

  // Images after kLaneLength steps of the 128 unit states, then of every
  // value of each 4-bit piece.
  void BuildJump() {
    __m128i unit[128];
    for (int bit = 0; bit < 128; ++bit) {
      State u{};
      u[static_cast<std::size_t>(bit / 32)] = 1u << (bit % 32);
      UniformRng r(u);
      for (int i = 0; i < kLaneLength; ++i) r.NextBits();
      unit[bit] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r.State().data()));
    }
    for (int piece = 0; piece < 32; ++piece)
      for (int value = 0; value < 16; ++value) {
        __m128i acc = _mm_setzero_si128();
        for (int b = 0; b < 4; ++b)
          if ((value >> b) & 1) acc = _mm_xor_si128(acc, unit[4 * piece + b]);
        jump_[piece][value] = acc;
      }
  }

  // One step of four generators, one per 32-bit lane; returns their top 24 bits.
  static __m128i Step(__m128i& s0, __m128i& s1, __m128i& s2, __m128i& s3) {
    const __m128i result = _mm_srli_epi32(_mm_add_epi32(s0, s3), 8);
    const __m128i t = _mm_slli_epi32(s1, 9);
    s2 = _mm_xor_si128(s2, s0);
    s3 = _mm_xor_si128(s3, s1);
    s1 = _mm_xor_si128(s1, s2);
    s0 = _mm_xor_si128(s0, s3);
    s2 = _mm_xor_si128(s2, t);
    s3 = _mm_or_si128(_mm_slli_epi32(s3, 11), _mm_srli_epi32(s3, 21));
    return result;
  }

  static std::uint32_t LastLane(__m128i x) {
    return static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_shuffle_epi32(x, 0xff)));
  }

  // Rows r0..r3 of steps i..i+3 (lane j in element j) go to out[j * kLaneLength + i ..].
  static void StoreTransposed(std::int32_t* out, int i, __m128i r0, __m128i r1, __m128i r2, __m128i r3) {
    const __m128i a = _mm_unpacklo_epi32(r0, r1), b = _mm_unpackhi_epi32(r0, r1);
    const __m128i c = _mm_unpacklo_epi32(r2, r3), d = _mm_unpackhi_epi32(r2, r3);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 0 * kLaneLength + i), _mm_unpacklo_epi64(a, c));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 1 * kLaneLength + i), _mm_unpackhi_epi64(a, c));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * kLaneLength + i), _mm_unpacklo_epi64(b, d));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 3 * kLaneLength + i), _mm_unpackhi_epi64(b, d));
  }

  // The next kBlock draws of the stream into out, in stream order.
  void DrawBlock(std::int32_t* out) {
    alignas(16) std::array<State, kLanes> start;
    start[0] = rng_.State();
    for (int j = 1; j < kLanes; ++j) start[static_cast<std::size_t>(j)] = Jump(start[static_cast<std::size_t>(j - 1)]);
    // Lanes 0..3 in the first set of vectors, 4..7 in the second; word w
    // of lane j is start[j][w].
    auto word = [&](int first, int w) {
      return _mm_set_epi32(static_cast<std::int32_t>(start[static_cast<std::size_t>(first + 3)][static_cast<std::size_t>(w)]),
                           static_cast<std::int32_t>(start[static_cast<std::size_t>(first + 2)][static_cast<std::size_t>(w)]),
                           static_cast<std::int32_t>(start[static_cast<std::size_t>(first + 1)][static_cast<std::size_t>(w)]),
                           static_cast<std::int32_t>(start[static_cast<std::size_t>(first)][static_cast<std::size_t>(w)]));
    };
    __m128i a0 = word(0, 0), a1 = word(0, 1), a2 = word(0, 2), a3 = word(0, 3);
    __m128i b0 = word(4, 0), b1 = word(4, 1), b2 = word(4, 2), b3 = word(4, 3);
    std::int32_t* outB = out + 4 * kLaneLength;
    for (int i = 0; i < kLaneLength; i += 4) {
      const __m128i x0 = Step(a0, a1, a2, a3), y0 = Step(b0, b1, b2, b3);
      const __m128i x1 = Step(a0, a1, a2, a3), y1 = Step(b0, b1, b2, b3);
      const __m128i x2 = Step(a0, a1, a2, a3), y2 = Step(b0, b1, b2, b3);
      const __m128i x3 = Step(a0, a1, a2, a3), y3 = Step(b0, b1, b2, b3);
      StoreTransposed(out, i, x0, x1, x2, x3);
      StoreTransposed(outB, i, y0, y1, y2, y3);
    }
    // The last lane ends where the block ends.
    rng_ = UniformRng(State{LastLane(b0), LastLane(b1), LastLane(b2), LastLane(b3)});
  }

  UniformRng rng_;                    // state after the last draw of the buffer
  std::vector<std::int32_t> buf_;     // top 24 bits of each draw
  std::size_t next_, end_;            // first unconsumed draw; end of the drawn ones
  __m128i jump_[32][16];              // jumped images of each 4-bit piece's values
};

}  // namespace pairwise
