// Simulated multilocus genotypes for the threshold trials: draws from the
// observed allele frequencies, Mendelian offspring, typing errors and missing
// data at the rates of the real sample. A genotype is 2*NumLoci codes in the
// IndivG layout (slot fastest); codominant loci keep allele 1 <= allele 2,
// a dominant phenotype 1 is (1, 1) and phenotype 2 is (2, 2), untyped (0, 0).
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "pairwise/uniform_rng.h"
#include "pairwise/variables.h"

namespace pairwise {

// What the draws need of one locus, kept together for the hot loops.
struct SimuLocus {
  int NumAllele = 0;      // ObsNumAllele(l)
  bool Dominant = false;
  double DropRate = 0, OtherErrorRate = 0, MissingRate = 0;
  const double* Cum = nullptr;  // CumulativeAlleleFre(1..nA, l), Cum[i] for class i
  // Guide[b]: first allele whose cumulative frequency reaches b / 256 (at
  // most 65535), a start for the search of a uniform in [b/256, (b+1)/256).
  const std::uint16_t* Guide = nullptr;
  // The same comparisons on a draw's 24-bit integer k (uniform_bounds.h):
  // rate > u  iff  k < *Below; Cum[i] < u  iff  k >= CumAbove[i];
  // u <= Cum[i]  iff  k < DomAtMost[i] (i = 1, 2; the all-dominant classes).
  std::int32_t DropBelow = 0, OtherErrorBelow = 0, MissingBelow = 0;
  bool DropOn = false, OtherErrorOn = false, MissingOn = false;  // the rate is above zero
  const std::int32_t* CumAbove = nullptr;
  std::int32_t DomAtMost[3] = {0, 0, 0};
};

using GuideTable = std::array<std::uint16_t, 256>;

// The per-locus records point into the tables' own vectors, so the tables
// move but are never copied.
struct SimuTables {
  SimuTables() = default;
  SimuTables(SimuTables&&) = default;
  SimuTables& operator=(SimuTables&&) = default;
  SimuTables(const SimuTables&) = delete;
  SimuTables& operator=(const SimuTables&) = delete;
  int NumLoci = 0;
  int NumClass = 0;        // nA: classes per locus of CumulativeAlleleFre
  bool AllDominant = false;
  bool AnyGtypeMissingQ = false;
  std::vector<double> CumulativeAlleleFreData;  // (1..nA, 1..NumLoci), class fastest
  std::vector<std::int32_t> CumAboveData;       // FirstDrawAbove of each entry above
  std::vector<double> MissingRate;              // 1..NumLoci
  std::vector<SimuLocus> Locus;                 // 1..NumLoci
  std::vector<GuideTable> Guides;               // 1..NumLoci, kept apart from the hot records
  double CumulativeAlleleFre(int i, int l) const {
    return CumulativeAlleleFreData[static_cast<std::size_t>(l - 1) * static_cast<std::size_t>(NumClass + 1) +
                                   static_cast<std::size_t>(i)];
  }
};

// Cumulative frequency tables, missing rates and the per-locus records.
// Reads the real genotypes, so it runs before any slot is used as scratch.
SimuTables BuildSimuTables(const Variables& v);

// Proportion of untyped genotypes at locus l over the offspring and both
// candidate copies.
double LocusMissingRate(const Variables& v, int l);

// One genotype from the allele frequencies (two uniforms per locus).
void SimuGenotype(const SimuTables& t, UniformRng& rng, int* G);
// One genotype when every locus is dominant (one uniform per locus).
void SimuDomGenotype(const SimuTables& t, UniformRng& rng, int* G);
// Whichever of the two fits the data.
inline void SimuParentGenotype(const SimuTables& t, UniformRng& rng, int* G) {
  if (t.AllDominant) SimuDomGenotype(t, rng, G); else SimuGenotype(t, rng, G);
}
// Offspring of two true genotypes: one allele of each parent, chosen by a
// uniform per parent and locus (below 0.5 the first allele).
void SimuOffspring(const SimuTables& t, UniformRng& rng, const int* parent1, const int* parent2,
                   int* G);
// Typing errors (dropout, other errors), normal form, then missing data.
void SimuGenotypeChange(const SimuTables& t, UniformRng& rng, int* G);

// Every typed genotype that the trials can give at locus l, as
// SimuGenotypeChange leaves it (allele 1 <= allele 2; a dominant phenotype
// as (1, 1) or (2, 2)): the true genotypes that the draws reach, their
// offspring, then dropout and other errors by the locus's own rates. Exact,
// not a bound: a genotype listed comes out of some sequence of draws, one
// left out out of none. Empty at a locus with fewer than two observed
// alleles, which no score reads.
std::vector<std::array<int, 2>> ProducibleGenotypes(const SimuTables& t, int l);

// The same draws from uniforms drawn ahead (the threshold trials); the
// buffer must allow reserving kMaxChangeDraws * NumLoci uniforms.
constexpr int kMaxChangeDraws = 7;
void SimuGenotype(const SimuTables& t, UniformBuffer& u, int* G);
void SimuDomGenotype(const SimuTables& t, UniformBuffer& u, int* G);
inline void SimuParentGenotype(const SimuTables& t, UniformBuffer& u, int* G) {
  if (t.AllDominant) SimuDomGenotype(t, u, G); else SimuGenotype(t, u, G);
}
void SimuOffspring(const SimuTables& t, UniformBuffer& u, const int* parent1, const int* parent2,
                   int* G);
void SimuGenotypeChange(const SimuTables& t, UniformBuffer& u, int* G);

}  // namespace pairwise

namespace pairwise {

// ln P(single genotype) per (genotype number, locus), filled once per run,
// so that the single-genotype log-likelihood of a simulated genotype is a
// sum of table entries. Equal, term by term, to SingleIndivLikelihood.
class SingleGtypeLogCache {
 public:
  explicit SingleGtypeLogCache(const Variables& v);
  // Sum of ln P over the loci with more than one observed allele at which G
  // is typed, loci in order.
  double SingleLogL(const int* G) const {
    double sum = 0.0;
    for (const int l : counted_) {
      const int* g = G + 2 * (l - 1);
      if (g[0] < 1) continue;
      sum += lnP_[static_cast<std::size_t>(l - 1) * width_ + static_cast<std::size_t>(GenotypeNumber(l, g))];
    }
    return sum;
  }
  // The term of locus l in SingleLogL: 0 where the locus is not counted or
  // g is untyped (adding 0.0 leaves the sum as it is).
  double LocusLogL(int l, const int* g) const {
    if (g[0] < 1 || std::find(counted_.begin(), counted_.end(), l) == counted_.end()) return 0.0;
    return lnP_[static_cast<std::size_t>(l - 1) * width_ + static_cast<std::size_t>(GenotypeNumber(l, g))];
  }
  // IndivGtype2 numbering: the phenotype code at a dominant locus, else
  // GenotypeID2 of the pair (0 when untyped).
  int GenotypeNumber(int l, const int* g) const {
    if (g[0] < 1) return 0;
    if (dominant_[static_cast<std::size_t>(l)]) return g[0];
    return gid_[static_cast<std::size_t>(g[0]) * gidWidth_ + static_cast<std::size_t>(g[1])];
  }

 private:
  std::vector<int> counted_;     // loci with ObsNumAllele above 1, in order
  std::vector<char> dominant_;   // 1..NumLoci
  std::vector<int> gid_;         // GenotypeID2 (0..M, 0..M)
  std::size_t gidWidth_ = 0;
  std::size_t width_ = 0;        // MaxNumGenotype + 1 (at least 3)
  std::vector<double> lnP_;      // (genotype number, locus)
};

}  // namespace pairwise
