// Genotype draws of the threshold trials. Every uniform is drawn in a fixed
// order (loci in order, the first allele before the second), so one input
// gives one stream of draws and one set of thresholds.
#include "pairwise/simu_genotype.h"

#include <algorithm>
#include <cmath>

#include "common/fixed_format.h"
#include "pairwise/likelihood.h"
#include "pairwise/uniform_bounds.h"

namespace pairwise {

namespace {

constexpr double kTiny = 1e-300;  // a rate at or below this is taken as zero

bool AllLociDominant(const Variables& v) {
  for (int l = 1; l <= v.NumLoci; ++l)
    if (v.DominantMarker[l] != 1) return false;
  return true;
}

// Genotype classes 11, 12, 22 of a dominant locus, cumulated; the last entry
// 2.0 lies above every uniform.
void FillDominantClasses(const Variables& v, int l, double* cum) {
  const double p1 = v.ObsAlleleFre(l, 1);
  const double p2 = v.ObsAlleleFre(l, 2);
  cum[1] = p1 * p1;
  cum[2] = p1 * p1 + 2.0 * p1 * p2;
  cum[3] = 2.0;
}

// Running sums of the allele frequencies, the locus's last allele 2.0.
void FillAlleleClasses(const Variables& v, int l, double* cum) {
  const int n = v.ObsNumAllele[l];
  double sum = 0.0;
  for (int i = 1; i < n; ++i) {
    sum += v.ObsAlleleFre(l, i);
    cum[i] = sum;
  }
  if (n >= 1) cum[n] = 2.0;
}

// First allele i in 1..n whose cumulative frequency reaches u: since the
// entries never decrease and the last is 2.0, that is one more than the
// number of entries below u, counted without branches. 0 when the locus has
// no allele.
int FirstAlleleReaching(const double* cum, int n, float u) {
  const double x = static_cast<double>(u);
  int below = 0;
  for (int i = 1; i < n; ++i) below += cum[i] < x ? 1 : 0;
  return n >= 1 ? 1 + below : 0;
}

// Allele after an "other" typing error: 1 + round(U * (n - 1)), the product
// in single precision.
int ErroneousAllele(int n, float u) {
  const float x = u * static_cast<float>(n - 1);
  return 1 + static_cast<int>(common::RoundHalfAway(static_cast<double>(x)));
}

}  // namespace

double LocusMissingRate(const Variables& v, int l) {
  int untyped = 0;
  for (int i = 1; i <= v.SmplSize; ++i)
    if (v.IndivGtype(1, l, i) < 1) ++untyped;
  for (int k = 1; k <= 2; ++k)
    for (int c = 1; c <= v.NumCandidate[k]; ++c)
      if (v.CndGtype(1, l, c, k) < 1) ++untyped;
  const int total = v.NumCandidate[1] + v.NumCandidate[2] + v.SmplSize;
  return static_cast<double>(untyped) / static_cast<double>(total);
}

SimuTables BuildSimuTables(const Variables& v) {
  SimuTables t;
  t.NumLoci = v.NumLoci;
  t.AllDominant = AllLociDominant(v);
  t.NumClass = t.AllDominant ? 3 : v.MaxObsNumAllele;
  const auto width = static_cast<std::size_t>(t.NumClass + 1);
  t.CumulativeAlleleFreData.assign(width * static_cast<std::size_t>(v.NumLoci), 0.0);
  t.CumAboveData.assign(t.CumulativeAlleleFreData.size(), 0);
  t.MissingRate.assign(static_cast<std::size_t>(v.NumLoci) + 1, 0.0);
  t.Locus.assign(static_cast<std::size_t>(v.NumLoci) + 1, SimuLocus{});
  t.Guides.assign(static_cast<std::size_t>(v.NumLoci) + 1, GuideTable{});
  for (int l = 1; l <= v.NumLoci; ++l) {
    double* cum = &t.CumulativeAlleleFreData[static_cast<std::size_t>(l - 1) * width];
    if (t.AllDominant) FillDominantClasses(v, l, cum); else FillAlleleClasses(v, l, cum);
    t.MissingRate[l] = LocusMissingRate(v, l);
    if (t.MissingRate[l] > kTiny) t.AnyGtypeMissingQ = true;
    SimuLocus& s = t.Locus[l];
    s.NumAllele = v.ObsNumAllele[l];
    s.Dominant = v.DominantMarker[l] == 1;
    s.DropRate = v.DropRate[l];
    s.OtherErrorRate = v.OtherErrorRate[l];
    s.MissingRate = t.MissingRate[l];
    s.Cum = cum;
    std::int32_t* above = &t.CumAboveData[static_cast<std::size_t>(l - 1) * width];
    for (std::size_t i = 0; i < width; ++i) above[i] = FirstDrawAbove(cum[i]);
    s.CumAbove = above;
    s.DropBelow = DrawsBelow(s.DropRate);
    s.OtherErrorBelow = DrawsBelow(s.OtherErrorRate);
    s.MissingBelow = DrawsBelow(s.MissingRate);
    s.DropOn = s.DropRate > kTiny;
    s.OtherErrorOn = s.OtherErrorRate > kTiny;
    s.MissingOn = s.MissingRate > kTiny;
    if (t.AllDominant) {
      s.DomAtMost[1] = DrawsAtMost(cum[1]);
      s.DomAtMost[2] = DrawsAtMost(cum[2]);
    }
    GuideTable& guide = t.Guides[static_cast<std::size_t>(l)];
    for (int b = 0; b < 256; ++b)
      guide[static_cast<std::size_t>(b)] = static_cast<std::uint16_t>(std::min(
          FirstAlleleReaching(cum, s.NumAllele, static_cast<float>(b) / 256.0f), 65535));
    s.Guide = guide.data();
  }
  return t;
}

// The allele of draw k (uniform u = k * 2^-24): the guide entry of u's
// bucket (u * 256 truncated is k >> 16), then up while the cumulative
// frequency stays below u; the same allele as the search from 1, since the
// bucket starts at or below u.
namespace {
int AlleleOf(const SimuLocus& s, std::int32_t k) {
  int a = s.Guide[static_cast<std::size_t>(k >> 16)];
  while (s.CumAbove[a] <= k) ++a;
  return a;
}

// Each routine is written once over its source of uniforms (the generator
// itself or a buffer drawn ahead from it); both give the same draws. The
// generator is copied to a local for each genotype so that its state stays
// in registers: the genotype codes are ints, which may alias it.
template <class Source>
void SimuGenotypeFrom(const SimuTables& t, Source& r, int* G) {
  for (int l = 1; l <= t.NumLoci; ++l) {
    const SimuLocus& s = t.Locus[l];
    const std::int32_t k1 = r.Bits24();
    const std::int32_t k2 = r.Bits24();
    // The second allele is searched from the first one up; as the entries
    // never decrease, a search from allele 1 gives the same index.
    int* g = G + 2 * (l - 1);
    if (s.NumAllele < 1) {
      g[0] = g[1] = 0;
      continue;
    }
    g[0] = AlleleOf(s, std::min(k1, k2));
    g[1] = AlleleOf(s, std::max(k1, k2));
  }
}

template <class Source>
void SimuDomGenotypeFrom(const SimuTables& t, Source& r, int* G) {
  for (int l = 1; l <= t.NumLoci; ++l) {
    const std::int32_t k = r.Bits24();
    const SimuLocus& s = t.Locus[l];
    int* g = G + 2 * (l - 1);
    if (k < s.DomAtMost[1]) {
      g[0] = 1; g[1] = 1;
    } else if (k < s.DomAtMost[2]) {
      g[0] = 1; g[1] = 2;
    } else {
      g[0] = 2; g[1] = 2;
    }
  }
}

template <class Source>
void SimuOffspringFrom(const SimuTables& t, Source& r, const int* parent1, const int* parent2, int* G) {
  for (int l = 1; l <= t.NumLoci; ++l) {
    const int base = 2 * (l - 1);
    // u >= 0.5 takes the second allele: bit 23 of the draw.
    const std::int32_t k1 = r.Bits24();
    const std::int32_t k2 = r.Bits24();
    G[base] = parent1[base + (k1 >> 23)];
    G[base + 1] = parent2[base + (k2 >> 23)];
  }
}

// Dropout of a heterozygote: one of its alleles, chosen by a fresh uniform,
// is seen twice.
template <class Source>
void ApplyDropout(const SimuLocus& s, Source& rng, int* g) {
  if (!s.DropOn || g[0] == g[1]) return;
  if (!(rng.Bits24() < s.DropBelow)) return;
  if (rng.Bits24() < kNumDraws / 2) g[1] = g[0]; else g[0] = g[1];
}
// The same from uniforms drawn ahead: whether the heterozygote takes its
// uniform (half the loci or so, unpredictable) moves the cursor without a
// branch; the dropout itself is rare.
void ApplyDropout(const SimuLocus& s, UniformCursor& c, int* g) {
  const bool draws = s.DropOn & (g[0] != g[1]);
  const std::int32_t k = *c.next;
  c.next += draws ? 1 : 0;
  if (!(draws && k < s.DropBelow)) return;
  if (c.Bits24() < kNumDraws / 2) g[1] = g[0]; else g[0] = g[1];
}

// Other typing errors, allele 1 then allele 2, each with its own draws.
template <class Source>
void ApplyOtherErrors(const SimuLocus& s, Source& rng, int* g) {
  if (!s.OtherErrorOn) return;
  for (int a = 0; a < 2; ++a)
    if (rng.Bits24() < s.OtherErrorBelow)
      g[a] = ErroneousAllele(s.NumAllele, UniformRng::Bits24ToUniform(rng.Bits24()));
}

// A dominant locus shows its phenotype; a codominant one keeps allele 1 first.
void Normalise(const SimuLocus& s, int* g) {
  if (s.Dominant) {
    if (g[0] != g[1]) { g[0] = 1; g[1] = 1; }
  } else {
    const int lo = std::min(g[0], g[1]), hi = std::max(g[0], g[1]);
    g[0] = lo;
    g[1] = hi;
  }
}

template <class Source>
void SimuGenotypeChangeFrom(const SimuTables& t, Source& r, int* G) {
  // Each locus takes its own rates: an error-free locus draws nothing and
  // leaves the errors of the others as they are. A locus's normal form
  // depends on that locus alone, so it follows the locus's errors at once.
  for (int l = 1; l <= t.NumLoci; ++l) {
    ApplyDropout(t.Locus[l], r, G + 2 * (l - 1));
    ApplyOtherErrors(t.Locus[l], r, G + 2 * (l - 1));
    Normalise(t.Locus[l], G + 2 * (l - 1));
  }
  if (t.AnyGtypeMissingQ) {
    for (int l = 1; l <= t.NumLoci; ++l) {
      const SimuLocus& s = t.Locus[l];
      if (!s.MissingOn) continue;
      if (r.Bits24() < s.MissingBelow) {
        G[2 * (l - 1)] = 0;
        G[2 * (l - 1) + 1] = 0;
      }
    }
  }
}

}  // namespace

void SimuGenotype(const SimuTables& t, UniformRng& rng, int* G) {
  UniformRng r = rng;
  SimuGenotypeFrom(t, r, G);
  rng = r;
}
void SimuDomGenotype(const SimuTables& t, UniformRng& rng, int* G) {
  UniformRng r = rng;
  SimuDomGenotypeFrom(t, r, G);
  rng = r;
}
void SimuOffspring(const SimuTables& t, UniformRng& rng, const int* parent1, const int* parent2,
                   int* G) {
  UniformRng r = rng;
  SimuOffspringFrom(t, r, parent1, parent2, G);
  rng = r;
}
void SimuGenotypeChange(const SimuTables& t, UniformRng& rng, int* G) {
  UniformRng r = rng;
  SimuGenotypeChangeFrom(t, r, G);
  rng = r;
}

// Most uniforms a routine can take per locus: two for the alleles, and in
// SimuGenotypeChange two for a dropout, four for other errors, one for
// missing data.
void SimuGenotype(const SimuTables& t, UniformBuffer& u, int* G) {
  UniformCursor c = u.Reserve(2 * t.NumLoci);
  SimuGenotypeFrom(t, c, G);
  u.Commit(c);
}
void SimuDomGenotype(const SimuTables& t, UniformBuffer& u, int* G) {
  UniformCursor c = u.Reserve(t.NumLoci);
  SimuDomGenotypeFrom(t, c, G);
  u.Commit(c);
}
void SimuOffspring(const SimuTables& t, UniformBuffer& u, const int* parent1, const int* parent2,
                   int* G) {
  UniformCursor c = u.Reserve(2 * t.NumLoci);
  SimuOffspringFrom(t, c, parent1, parent2, G);
  u.Commit(c);
}
void SimuGenotypeChange(const SimuTables& t, UniformBuffer& u, int* G) {
  UniformCursor c = u.Reserve(kMaxChangeDraws * t.NumLoci);
  SimuGenotypeChangeFrom(t, c, G);
  u.Commit(c);
}

// Every genotype that a simulated locus can show is filled at once: alleles
// 1..ObsNumAllele at a codominant locus, phenotypes 1 and 2 at a dominant one.
SingleGtypeLogCache::SingleGtypeLogCache(const Variables& v) {
  const int m = v.MaxObsNumAllele;
  gidWidth_ = static_cast<std::size_t>(m + 1);
  gid_ = v.GenotypeID2Data;
  width_ = static_cast<std::size_t>(std::max(v.MaxNumGenotype, 2) + 1);
  dominant_.assign(static_cast<std::size_t>(v.NumLoci) + 1, 0);
  lnP_.assign(width_ * static_cast<std::size_t>(v.NumLoci), 1.0);
  for (int l = 1; l <= v.NumLoci; ++l) {
    dominant_[static_cast<std::size_t>(l)] = v.DominantMarker[l] == 1 ? 1 : 0;
    const int n = v.ObsNumAllele[l];
    if (n <= 1) continue;
    counted_.push_back(l);
    double* row = &lnP_[static_cast<std::size_t>(l - 1) * width_];
    if (dominant_[static_cast<std::size_t>(l)]) {
      row[1] = std::log(ProbSingleGtype(v, l, 1, 1));
      row[2] = std::log(ProbSingleGtype(v, l, 2, 2));
      continue;
    }
    for (int a1 = 1; a1 <= n; ++a1)
      for (int a2 = a1; a2 <= n; ++a2) {
        const int g[2] = {a1, a2};
        row[GenotypeNumber(l, g)] = std::log(ProbSingleGtype(v, l, a1, a2));
      }
  }
}

namespace {

// Alleles (index 1..) that a true genotype can carry: those whose range of
// draws is not empty, or, when every locus is dominant, the alleles of the
// genotype classes that some draw reaches.
std::vector<char> TrueAlleles(const SimuTables& t, const SimuLocus& s, int n) {
  std::vector<char> in(static_cast<std::size_t>(n) + 1, 0);
  if (t.AllDominant) {
    const bool c11 = s.DomAtMost[1] > 0;
    const bool c12 = s.DomAtMost[2] > s.DomAtMost[1];
    const bool c22 = s.DomAtMost[2] < kNumDraws;
    in[1] = c11 || c12;
    in[2] = c12 || c22;
    return in;
  }
  // Allele i takes the draws k with CumAbove[i-1] <= k < CumAbove[i]
  // (allele 1 from k = 0), as AlleleOf finds it.
  for (int i = 1; i <= n; ++i) {
    const std::int32_t from = i == 1 ? 0 : s.CumAbove[i - 1];
    in[static_cast<std::size_t>(i)] = from < s.CumAbove[i] ? 1 : 0;
  }
  return in;
}

// The alleles that an other typing error can put in place: the values of
// ErroneousAllele over all draws. The value never falls as the draw grows,
// so the first draw of each next value is found by bisection.
std::vector<int> ErrorAlleles(int n) {
  auto allele = [n](std::int32_t k) { return ErroneousAllele(n, UniformRng::Bits24ToUniform(k)); };
  std::vector<int> out;
  for (std::int32_t k = 0; k < kNumDraws;) {
    const int a = allele(k);
    out.push_back(a);
    std::int32_t lo = k + 1, hi = kNumDraws;
    while (lo < hi) {
      const std::int32_t mid = lo + (hi - lo) / 2;
      if (allele(mid) > a)
        hi = mid;
      else
        lo = mid + 1;
    }
    k = lo;
  }
  return out;
}

// Unordered allele pairs of one locus; every step of SimuGenotypeChange
// treats the two slots alike, so their order does not matter until the
// normal form.
class PairSet {
 public:
  explicit PairSet(int n) : side_(static_cast<std::size_t>(n) + 1), in_(side_ * side_, 0) {}
  int MaxAllele() const { return static_cast<int>(side_) - 1; }
  bool Has(int a, int b) const { return in_[Index(a, b)] != 0; }
  void Set(int a, int b, bool on = true) { in_[Index(a, b)] = on ? 1 : 0; }

 private:
  std::size_t Index(int a, int b) const {
    return static_cast<std::size_t>(std::min(a, b)) * side_ +
           static_cast<std::size_t>(std::max(a, b));
  }
  std::size_t side_;
  std::vector<char> in_;
};

// Dropout: a heterozygote may show either allele twice, and stays as it is
// unless every draw is a dropout.
PairSet AfterDropout(const SimuLocus& s, const PairSet& before) {
  if (!s.DropOn || s.DropBelow <= 0) return before;
  PairSet after = before;
  const int n = before.MaxAllele();
  for (int a = 1; a <= n; ++a)
    for (int b = a + 1; b <= n; ++b) {
      if (!before.Has(a, b)) continue;
      after.Set(a, a);
      after.Set(b, b);
      if (s.DropBelow >= kNumDraws) after.Set(a, b, false);
    }
  return after;
}

// Other errors: each allele on its own keeps its value (unless every draw is
// an error) or takes one of the error alleles.
PairSet AfterOtherErrors(const SimuLocus& s, const PairSet& before) {
  if (!s.OtherErrorOn || s.OtherErrorBelow <= 0) return before;
  const bool keep = s.OtherErrorBelow < kNumDraws;
  const int n = before.MaxAllele();
  const std::vector<int> err = ErrorAlleles(s.NumAllele);
  PairSet after = keep ? before : PairSet(n);
  for (const int e : err)
    for (const int f : err) after.Set(e, f);
  if (!keep) return after;
  // One allele replaced: the other is any allele of a genotype before.
  std::vector<char> kept(static_cast<std::size_t>(n) + 1, 0);
  for (int a = 1; a <= n; ++a)
    for (int b = a; b <= n; ++b)
      if (before.Has(a, b))
        kept[static_cast<std::size_t>(a)] = kept[static_cast<std::size_t>(b)] = 1;
  for (const int e : err)
    for (int x = 1; x <= n; ++x)
      if (kept[static_cast<std::size_t>(x)]) after.Set(e, x);
  return after;
}

}  // namespace

std::vector<std::array<int, 2>> ProducibleGenotypes(const SimuTables& t, int l) {
  const SimuLocus& s = t.Locus[static_cast<std::size_t>(l)];
  if (s.NumAllele < 2) return {};
  const int n = s.NumAllele;
  // Parents and candidates carry any two alleles that the draws reach, and
  // so does an offspring, one allele from each parent.
  const std::vector<char> drawn = TrueAlleles(t, s, n);
  PairSet held(n);
  for (int a = 1; a <= n; ++a)
    for (int b = a; b <= n; ++b)
      if (drawn[static_cast<std::size_t>(a)] && drawn[static_cast<std::size_t>(b)]) held.Set(a, b);
  const PairSet typed = AfterOtherErrors(s, AfterDropout(s, held));
  // The normal form: a dominant heterozygote shows phenotype 1.
  PairSet shown(n);
  for (int a = 1; a <= n; ++a)
    for (int b = a; b <= n; ++b)
      if (typed.Has(a, b)) {
        if (s.Dominant && a != b)
          shown.Set(1, 1);
        else
          shown.Set(a, b);
      }
  std::vector<std::array<int, 2>> out;
  for (int a = 1; a <= n; ++a)
    for (int b = a; b <= n; ++b)
      if (shown.Has(a, b)) out.push_back({a, b});
  return out;
}

}  // namespace pairwise
