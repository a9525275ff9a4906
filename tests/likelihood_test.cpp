#include "pairwise/likelihood.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "companion_fixture.h"
#include "pairwise/data_process.h"
#include "pairwise/genotype_prob.h"

namespace {

using pairwise::Variables;
using testutil::MakeCompanionData;
using testutil::SetGenotype;
using Gt = std::array<int, 2>;

// Small deterministic generator for the random cases.
struct Lcg {
  std::uint64_t s = 88172645463325252ull;
  double Next() {
    s = s * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<double>(s >> 11) * 0x1.0p-53;
  }
  int Int(int lo, int hi) { return lo + static_cast<int>(Next() * (hi - lo + 1)); }
};

struct LocusShape {
  int dominant, n;
  double drop, other;
};

// One individual, loci with random frequencies (all alleles seen) and the
// given rates; error model built as the program's flow does.
Variables RandomLoci(Lcg& rng, const std::vector<LocusShape>& loci) {
  std::vector<int> dom;
  std::vector<double> drop, other;
  int m = 2;
  for (const auto& l : loci) {
    dom.push_back(l.dominant);
    drop.push_back(l.drop);
    other.push_back(l.other);
    m = std::max(m, l.n);
  }
  Variables v = MakeCompanionData(1, dom, drop, other);
  v.MaxObsNumAllele = m;
  v.MaxNumGenotype = m * (m + 1) / 2;
  v.ObsAlleleFreData.assign(loci.size() * static_cast<std::size_t>(m + 1), 0.0);
  for (int l = 1; l <= v.NumLoci; ++l) {
    const int n = loci[static_cast<std::size_t>(l - 1)].n;
    v.ObsNumAllele[static_cast<std::size_t>(l)] = n;
    std::vector<double> w(static_cast<std::size_t>(n));
    double sum = 0.0;
    for (double& x : w) sum += (x = 0.02 + rng.Next());
    for (int a = 1; a <= n; ++a) v.ObsAlleleFre(l, a) = w[static_cast<std::size_t>(a - 1)] / sum;
    if (loci[static_cast<std::size_t>(l - 1)].dominant) v.ObsAlleleFre(l, 2) = 1.0 - v.ObsAlleleFre(l, 1);
  }
  pairwise::BuildErrorModel(v);
  return v;
}

// Observed genotypes of a locus: sorted allele pairs, or (1,1) and (2,2).
std::vector<Gt> Observable(const Variables& v, int l) {
  if (v.DominantMarker[static_cast<std::size_t>(l)] == 1) return {{1, 1}, {2, 2}};
  std::vector<Gt> g;
  const int n = v.ObsNumAllele[static_cast<std::size_t>(l)];
  for (int i = 1; i <= n; ++i)
    for (int j = i; j <= n; ++j) g.push_back({i, j});
  return g;
}

// T(observed | true), read from the rules of the error model.
double ObsGivenTrue(const Variables& v, int l, Gt obs, Gt tru) {
  const auto& t = v.TransRate[static_cast<std::size_t>(l)];
  if (v.DominantMarker[static_cast<std::size_t>(l)] == 1) {
    const int tr = tru[0] + tru[1] - 2;  // 11 -> 0, 12 -> 1, 22 -> 2
    return obs[0] == 1 ? t[static_cast<std::size_t>(1 + tr)] : t[static_cast<std::size_t>(4 + tr)];
  }
  auto has = [](Gt g, int a) { return g[0] == a || g[1] == a; };
  if (obs[0] == obs[1]) {
    const int a = obs[0];
    if (tru[0] == a && tru[1] == a) return t[5];
    if (has(tru, a)) return t[2];
    return t[4];
  }
  const int a = obs[0], b = obs[1];
  if (tru == obs) return t[1];
  if (tru[0] == tru[1] && (tru[0] == a || tru[0] == b)) return t[6];
  const int shared = (has(tru, a) ? 1 : 0) + (has(tru, b) ? 1 : 0);
  if (shared == 1) return t[3];
  return 2.0 * t[4];
}

double Freq(const Variables& v, int l, int a) {
  if (v.DominantMarker[static_cast<std::size_t>(l)] == 1 && a == 2) return 1.0 - v.ObsAlleleFre(l, 1);
  return v.ObsAlleleFre(l, a);
}
int Alleles(const Variables& v, int l) {
  return v.DominantMarker[static_cast<std::size_t>(l)] == 1 ? 2 : v.ObsNumAllele[static_cast<std::size_t>(l)];
}

// Sum over every true genotype of HWE(g) T(obs | g).
double EnumSingle(const Variables& v, int l, Gt obs) {
  double p = 0.0;
  const int n = Alleles(v, l);
  for (int x = 1; x <= n; ++x)
    for (int y = x; y <= n; ++y)
      p += (x == y ? 1.0 : 2.0) * Freq(v, l, x) * Freq(v, l, y) * ObsGivenTrue(v, l, obs, {x, y});
  return p;
}

// Sum over every true parent genotype, each transmitted allele (1/2) and the
// other allele drawn from the frequencies.
double EnumPair(const Variables& v, int l, Gt parent, Gt child) {
  double g = 0.0;
  const int n = Alleles(v, l);
  for (int x = 1; x <= n; ++x) {
    for (int y = x; y <= n; ++y) {
      const double hwe = (x == y ? 1.0 : 2.0) * Freq(v, l, x) * Freq(v, l, y);
      const double tp = ObsGivenTrue(v, l, parent, {x, y});
      for (int passed : {x, y}) {
        for (int w = 1; w <= n; ++w) {
          const Gt c{std::min(passed, w), std::max(passed, w)};
          g += hwe * 0.5 * Freq(v, l, w) * tp * ObsGivenTrue(v, l, child, c);
        }
      }
    }
  }
  return g;
}

TEST(GenotypeProb, MatchesDirectEnumerationOverTrueGenotypes) {
  Lcg rng;
  int checked = 0;
  for (int trial = 0; trial < 300; ++trial) {
    const int dominant = trial % 4 == 0 ? 1 : 0;
    const int n = dominant ? 2 : rng.Int(2, 8);
    const bool errors = trial % 3 != 0;
    const double drop = errors ? 0.3 * rng.Next() : 0.0;
    const double other = errors ? 0.3 * rng.Next() : 0.0;
    Variables v = RandomLoci(rng, {{dominant, n, drop, other}});
    for (Gt g1 : Observable(v, 1)) {
      const double p = pairwise::SingleGenotypeProb(v, 1, g1[0], g1[1]);
      EXPECT_NEAR(p, EnumSingle(v, 1, g1), 1e-15 + 1e-12 * p);
      for (Gt g2 : Observable(v, 1)) {
        const double g = pairwise::PairGenotypeProb(v, 1, g1[0], g1[1], g2[0], g2[1]);
        const double ref = EnumPair(v, 1, g1, g2);
        EXPECT_NEAR(g, ref, 1e-16 + 1e-12 * ref) << trial << " " << g1[0] << g1[1] << " " << g2[0] << g2[1];
        EXPECT_NEAR(ref, EnumPair(v, 1, g2, g1), 1e-16 + 1e-12 * ref);  // either plays the parent
        EXPECT_EQ(g, pairwise::PairGenotypeProb(v, 1, g2[0], g2[1], g1[0], g1[1]));
        ++checked;
      }
    }
  }
  EXPECT_GT(checked, 5000);
}

TEST(GenotypeProb, ErrorFreeClosedForms) {
  Lcg rng;
  Variables v = RandomLoci(rng, {{0, 4, 0.0, 0.0}, {1, 2, 0.0, 0.0}});
  const double p[5] = {0, v.ObsAlleleFre(1, 1), v.ObsAlleleFre(1, 2), v.ObsAlleleFre(1, 3), v.ObsAlleleFre(1, 4)};
  struct Case {
    Gt g1, g2;
    double want;
  };
  const Case cod[] = {
      {{2, 2}, {2, 2}, p[2] * p[2] * p[2]},
      {{3, 3}, {1, 3}, p[3] * p[3] * p[1]},
      {{1, 4}, {4, 4}, p[4] * p[4] * p[1]},
      {{2, 3}, {2, 3}, p[2] * p[3] * (p[2] + p[3])},
      {{1, 2}, {2, 4}, p[2] * p[1] * p[4]},
      {{1, 3}, {2, 3}, p[3] * p[1] * p[2]},
      {{1, 1}, {2, 2}, 0.0},
      {{1, 1}, {2, 3}, 0.0},
      {{1, 2}, {3, 4}, 0.0},
  };
  for (const Case& c : cod) {
    EXPECT_DOUBLE_EQ(pairwise::PairGenotypeProb(v, 1, c.g1[0], c.g1[1], c.g2[0], c.g2[1]), c.want);
    EXPECT_DOUBLE_EQ(pairwise::PairGenotypeProb(v, 1, c.g2[0], c.g2[1], c.g1[0], c.g1[1]), c.want);
  }
  const double p1 = v.ObsAlleleFre(2, 1), q = 1.0 - p1;
  EXPECT_DOUBLE_EQ(pairwise::PairGenotypeProb(v, 2, 2, 2, 2, 2), q * q * q);
  EXPECT_DOUBLE_EQ(pairwise::PairGenotypeProb(v, 2, 1, 1, 2, 2), q * q * p1);
  EXPECT_DOUBLE_EQ(pairwise::PairGenotypeProb(v, 2, 2, 2, 1, 1), q * q * p1);
  EXPECT_DOUBLE_EQ(pairwise::PairGenotypeProb(v, 2, 1, 1, 1, 1), p1 * p1 * q + p1);
  // Single genotypes keep only the first terms.
  EXPECT_DOUBLE_EQ(pairwise::SingleGenotypeProb(v, 1, 3, 3), p[3] * p[3]);
  EXPECT_DOUBLE_EQ(pairwise::SingleGenotypeProb(v, 1, 1, 4), 2 * p[1] * p[4]);
  EXPECT_DOUBLE_EQ(pairwise::SingleGenotypeProb(v, 2, 1, 1), p1 * p1 + 2 * p1 * q);
  EXPECT_DOUBLE_EQ(pairwise::SingleGenotypeProb(v, 2, 2, 2), q * q);
}

// A sample with codominant loci (one with too many alleles to tabulate),
// dominant loci, a monomorphic locus and missing genotypes, recoded and with
// its error model built.
Variables MixedSample(int s) {
  const std::vector<int> dom = {0, 1, 0, 0, 1, 0};
  const std::vector<int> alleles = {6, 2, 40, 1, 2, 3};
  Variables v = MakeCompanionData(s, dom, {0.02, 0.0, 0.01, 0.05, 0.0, 0.0},
                                  {0.01, 0.03, 0.02, 0.0, 0.0, 0.0});
  Lcg rng;
  for (int i = 1; i <= s; ++i) {
    for (int l = 1; l <= v.NumLoci; ++l) {
      const auto k = static_cast<std::size_t>(l - 1);
      if (rng.Next() < 0.1) continue;  // untyped
      if (dom[k]) {
        const int ph = rng.Next() < 0.6 ? 1 : 2;
        SetGenotype(v, i, l, ph, ph);
      } else {
        SetGenotype(v, i, l, 100 + rng.Int(1, alleles[k]), 100 + rng.Int(1, alleles[k]));
      }
    }
  }
  pairwise::DataProcess(v);
  pairwise::BuildErrorModel(v);
  return v;
}

// The dyad recursion evaluated directly from the probability expressions.
double ReferenceDyad(const Variables& v, const int* g1, const int* g2, double floor) {
  double h = 0.0;
  for (int l = 1; l <= v.NumLoci; ++l) {
    const int* a = g1 + 2 * (l - 1);
    const int* b = g2 + 2 * (l - 1);
    if (v.ObsNumAllele[static_cast<std::size_t>(l)] == 1 || (a[0] < 1 && b[0] < 1)) continue;
    if (floor >= h) return h;
    if (a[0] < 1 || b[0] < 1) {
      const int* t = a[0] < 1 ? b : a;
      h = std::max(floor, h + std::log(pairwise::SingleGenotypeProb(v, l, t[0], t[1])));
    } else {
      const double g = pairwise::PairGenotypeProb(v, l, a[0], a[1], b[0], b[1]);
      h = g > 1e-300 ? std::max(floor, h + std::log(g)) : floor;
    }
  }
  return h;
}

TEST(DyadLogL, TablesGiveTheDirectValuesBitForBit) {
  Variables v = MixedSample(60);
  Variables direct = v;  // no tables: evaluated on demand
  pairwise::BuildLikelihoodTables(v);
  ASSERT_TRUE(v.LikTables.Locus[3].Term.empty());  // 40 alleles: not tabulated
  ASSERT_FALSE(v.LikTables.Locus[1].Term.empty());
  for (int i = 1; i <= v.SmplSize; ++i) {
    for (int j = 1; j <= v.SmplSize; ++j) {
      for (double floor : {pairwise::kPairFloor, -30.0, -12.0, 0.0}) {
        const double ref = ReferenceDyad(v, v.CndG(i, 1), v.IndivG(j), floor);
        EXPECT_EQ(pairwise::Compute_PODyad_LogL(v, v.CndG(i, 1), v.IndivG(j), floor), ref);
        EXPECT_EQ(pairwise::Compute_PODyad_LogL(v, v.IndivG(j), v.CndG(i, 1), floor), ref);
        EXPECT_EQ(pairwise::Compute_PODyad_LogL(direct, v.CndG(i, 1), v.IndivG(j), floor), ref);
      }
    }
  }
  for (int l = 1; l <= v.NumLoci; ++l) {
    for (Gt g : Observable(v, l)) {
      const double p = pairwise::SingleGenotypeProb(v, l, g[0], g[1]);
      EXPECT_EQ(pairwise::ProbSingleGtype(v, l, g[0], g[1]), p);
      EXPECT_EQ(pairwise::ProbSingleGtype(v, l, g[1], g[0]), p);
    }
  }
}

TEST(DyadLogL, EdgeCases) {
  Variables v = MakeCompanionData(6, {0, 0, 0}, {0.0, 0.0, 0.0}, {0.0, 0.0, 0.0});
  SetGenotype(v, 1, 1, 1, 1);
  SetGenotype(v, 2, 1, 2, 2);
  SetGenotype(v, 3, 1, 1, 2);
  SetGenotype(v, 4, 2, 5, 6);  // locus 1 untyped
  SetGenotype(v, 5, 2, 5, 5);
  for (int i = 1; i <= 6; ++i) SetGenotype(v, i, 3, 9, 9);  // monomorphic
  pairwise::DataProcess(v);
  pairwise::BuildErrorModel(v);
  pairwise::BuildLikelihoodTables(v);
  auto dyad = [&v](int i, int j, double floor) {
    return pairwise::Compute_PODyad_LogL(v, v.IndivG(i), v.IndivG(j), floor);
  };
  // Opposite homozygotes without errors: the floor.
  EXPECT_EQ(dyad(1, 2, pairwise::kPairFloor), pairwise::kPairFloor);
  EXPECT_EQ(static_cast<float>(dyad(1, 2, pairwise::kPairFloor)), -1e38f);
  // No informative locus typed in both, none typed in either: single terms or 0.
  EXPECT_EQ(dyad(6, 6, pairwise::kPairFloor), 0.0);
  EXPECT_EQ(dyad(1, 6, pairwise::kPairFloor), std::log(pairwise::ProbSingleGtype(v, 1, 1, 1)));
  EXPECT_EQ(dyad(1, 4, pairwise::kPairFloor),
            std::log(pairwise::ProbSingleGtype(v, 1, 1, 1)) + std::log(pairwise::ProbSingleGtype(v, 2, 1, 2)));
  // A floor at 0 or above ends at the first informative locus.
  EXPECT_EQ(dyad(1, 3, 0.0), 0.0);
  EXPECT_EQ(dyad(1, 3, 5.0), 0.0);
  // The monomorphic locus adds nothing to the single-genotype sum either.
  EXPECT_EQ(pairwise::SingleIndivLikelihood(v, v.IndivG(6)), 0.0);
  EXPECT_EQ(pairwise::SingleIndivLikelihood(v, v.IndivG(5)), std::log(pairwise::ProbSingleGtype(v, 2, 1, 1)));  // (5, 5) recoded
}

// A locus at which nobody in the sample is typed has no alleles; the threshold
// trials can still type a simulated genotype there through a typing error.
// Such a locus carries no information and must add nothing to the dyad.
TEST(DyadLogL, LocusWithoutObservedAllelesAddsNothing) {
  for (const int dominant : {0, 1}) {
    Variables v = MakeCompanionData(4, {0, dominant}, {0.01, 0.01}, {0.02, 0.02});
    SetGenotype(v, 1, 1, 1, 1);
    SetGenotype(v, 2, 1, 1, 2);
    SetGenotype(v, 3, 1, 2, 2);
    SetGenotype(v, 4, 1, 1, 2);  // locus 2 untyped in everybody
    pairwise::DataProcess(v);
    pairwise::BuildErrorModel(v);
    ASSERT_EQ(v.ObsNumAllele[2], 0);
    const std::vector<int> g1{1, 2, 1, 1};  // typed (1, 1) at the empty locus
    const std::vector<int> g2{1, 1, 1, 1};
    const std::vector<int> g1untyped{1, 2, 0, 0}, g2untyped{1, 1, 0, 0};
    for (const bool tables : {false, true}) {
      if (tables) pairwise::BuildLikelihoodTables(v);
      auto dyad = [&v](const std::vector<int>& a, const std::vector<int>& b) {
        return pairwise::Compute_PODyad_LogL(v, a.data(), b.data(), pairwise::kPairFloor);
      };
      const double want = dyad(g1untyped, g2untyped);
      EXPECT_GT(want, pairwise::kPairFloor);
      EXPECT_EQ(dyad(g1, g2), want) << "dominant " << dominant << " tables " << tables;
      EXPECT_EQ(dyad(g1, g2untyped), want) << "dominant " << dominant << " tables " << tables;
    }
  }
}

TEST(SingleLikelihood, CandidatesGetTheSumOverCountedLoci) {
  Variables v = MixedSample(30);
  pairwise::BuildLikelihoodTables(v);
  pairwise::SingleParentLikelihood(v);
  for (int c = 1; c <= v.NumCandidate[1]; ++c) {
    double want = 0.0;
    for (int l = 1; l <= v.NumLoci; ++l) {
      const int a1 = v.CndGtype(1, l, c, 1), a2 = v.CndGtype(2, l, c, 1);
      if (v.ObsNumAllele[static_cast<std::size_t>(l)] > 1 && a1 > 0)
        want += std::log(pairwise::SingleGenotypeProb(v, l, a1, a2));
    }
    EXPECT_EQ(v.CandidateLogL[1][static_cast<std::size_t>(c)], want);
    EXPECT_EQ(v.CandidateLogL[2][static_cast<std::size_t>(c)], want);
  }
}

TEST(PairTable, HoldsEveryPairInSinglePrecision) {
  Variables v = MixedSample(120);
  pairwise::BuildLikelihoodTables(v);
  std::ostringstream out;
  pairwise::CalculatePairProb(v, out);
  EXPECT_EQ(out.str(), "\nCalculating father-offspring dyad likelihood\n.\n");  // 14400 pairs
  for (int m = 1; m <= v.SmplSize; ++m)
    for (int l = 1; l <= v.SmplSize; ++l)
      ASSERT_EQ(v.PairLogL(m, l), static_cast<float>(pairwise::Compute_PODyad_LogL(
                                      v, v.CndG(l, 1), v.IndivG(m), pairwise::kPairFloor)))
          << m << " " << l;
}

TEST(PairTable, ProgressDots) {
  struct Case {
    int s;
    std::string dots;
  };
  const Case cases[] = {
      {99, ""},                                       // 9801 pairs
      {100, "."},                                     // 10000 pairs
      {1000, std::string(99, '.') + ".\n"},           // 1000000 pairs
      {1005, std::string(99, '.') + ".\n" + "."},     // 1010025 pairs
  };
  for (const Case& c : cases) {
    Variables v = MakeCompanionData(c.s, {0}, {0.0}, {0.0});
    SetGenotype(v, 1, 1, 1, 2);
    pairwise::DataProcess(v);
    pairwise::BuildErrorModel(v);
    pairwise::BuildLikelihoodTables(v);
    std::ostringstream out;
    pairwise::CalculatePairProb(v, out);
    EXPECT_EQ(out.str(), "\nCalculating father-offspring dyad likelihood\n" + c.dots + "\n") << c.s;
  }
}

}  // namespace
