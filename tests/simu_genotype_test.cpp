#include "pairwise/simu_genotype.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <set>
#include <sstream>
#include <vector>

#include "companion_steps.h"
#include "pairwise/likelihood.h"
#include "sample_generator.h"
#include "test_util.h"

namespace {

using pairwise::SimuTables;
using pairwise::UniformRng;

// Module data with the given per-locus allele frequencies; every individual
// typed unless listed in untyped (offspring indices).
pairwise::Variables Loci(const std::vector<std::vector<double>>& freq, const std::vector<int>& dominant,
                         int smplSize = 2) {
  pairwise::Variables v;
  v.NumLoci = static_cast<int>(freq.size());
  v.SmplSize = smplSize;
  v.NumCandidate = {0, smplSize, smplSize};
  v.DominantMarker.assign(freq.size() + 1, 0);
  v.ObsNumAllele.assign(freq.size() + 1, 0);
  v.DropRate.assign(freq.size() + 1, 0.0);
  v.OtherErrorRate.assign(freq.size() + 1, 0.0);
  for (const auto& f : freq) v.MaxObsNumAllele = std::max(v.MaxObsNumAllele, static_cast<int>(f.size()));
  v.ObsAlleleFreData.assign(freq.size() * static_cast<std::size_t>(v.MaxObsNumAllele + 1), 0.0);
  for (int l = 1; l <= v.NumLoci; ++l) {
    const auto& f = freq[static_cast<std::size_t>(l - 1)];
    v.DominantMarker[static_cast<std::size_t>(l)] = static_cast<std::int8_t>(dominant[static_cast<std::size_t>(l - 1)]);
    v.ObsNumAllele[static_cast<std::size_t>(l)] = static_cast<int>(f.size());
    for (std::size_t a = 0; a < f.size(); ++a) v.ObsAlleleFre(l, static_cast<int>(a) + 1) = f[a];
  }
  v.IndivGtypeData.assign(static_cast<std::size_t>(2 * v.NumLoci * smplSize), 1);
  v.CndGtypeData.assign(static_cast<std::size_t>(4 * v.NumLoci * smplSize), 1);
  return v;
}

TEST(BuildSimuTables, CumulativeFrequenciesEndIn2) {
  pairwise::Variables v = Loci({{0.5, 0.3, 0.2}, {0.75, 0.25}}, {0, 0});
  const SimuTables t = pairwise::BuildSimuTables(v);
  EXPECT_FALSE(t.AllDominant);
  EXPECT_EQ(t.NumClass, 3);
  EXPECT_EQ(t.CumulativeAlleleFre(1, 1), 0.5);
  EXPECT_EQ(t.CumulativeAlleleFre(2, 1), 0.5 + 0.3);
  EXPECT_EQ(t.CumulativeAlleleFre(3, 1), 2.0);
  EXPECT_EQ(t.CumulativeAlleleFre(1, 2), 0.75);
  EXPECT_EQ(t.CumulativeAlleleFre(2, 2), 2.0);
}

TEST(BuildSimuTables, AllDominantUsesGenotypeClasses) {
  pairwise::Variables v = Loci({{0.4, 0.6}, {0.1, 0.9}}, {1, 1});
  const SimuTables t = pairwise::BuildSimuTables(v);
  EXPECT_TRUE(t.AllDominant);
  EXPECT_EQ(t.NumClass, 3);
  EXPECT_DOUBLE_EQ(t.CumulativeAlleleFre(1, 1), 0.16);
  EXPECT_DOUBLE_EQ(t.CumulativeAlleleFre(2, 1), 0.16 + 0.48);
  EXPECT_EQ(t.CumulativeAlleleFre(3, 1), 2.0);
}

TEST(BuildSimuTables, MissingRateCountsOffspringAndBothCandidateCopies) {
  pairwise::Variables v = Loci({{0.5, 0.5}, {0.5, 0.5}}, {0, 0}, 2);
  v.IndivGtype(1, 1, 2) = 0;       // offspring 2 untyped at locus 1
  v.CndGtype(1, 1, 1, 1) = 0;      // candidate 1 of sex 1 at locus 1
  v.CndGtype(1, 1, 2, 2) = -3;     // any code below 1 is untyped
  v.CndGtype(2, 2, 1, 2) = 0;      // slot 2 alone does not count
  const SimuTables t = pairwise::BuildSimuTables(v);
  EXPECT_EQ(t.MissingRate[1], 3.0 / 6.0);
  EXPECT_EQ(t.MissingRate[2], 0.0);
  EXPECT_TRUE(t.AnyGtypeMissingQ);
}

TEST(SimuGenotype, DrawsHardyWeinbergGenotypesWithAllele1First) {
  pairwise::Variables v = Loci({{0.5, 0.3, 0.2}}, {0});
  const SimuTables t = pairwise::BuildSimuTables(v);
  UniformRng rng;
  const int n = 200000;
  std::vector<int> count(10, 0);
  int g[2];
  for (int i = 0; i < n; ++i) {
    pairwise::SimuGenotype(t, rng, g);
    ASSERT_LE(g[0], g[1]);
    ASSERT_GE(g[0], 1);
    ASSERT_LE(g[1], 3);
    ++count[static_cast<std::size_t>(3 * (g[0] - 1) + g[1] - 1)];
  }
  const double p[3] = {0.5, 0.3, 0.2};
  for (int a = 1; a <= 3; ++a)
    for (int b = a; b <= 3; ++b) {
      const double expected = (a == b ? 1.0 : 2.0) * p[a - 1] * p[b - 1];
      EXPECT_NEAR(count[static_cast<std::size_t>(3 * (a - 1) + b - 1)] / static_cast<double>(n), expected, 0.005)
          << a << b;
    }
}

TEST(SimuDomGenotype, ClassesByCumulativeGenotypeFrequency) {
  pairwise::Variables v = Loci({{0.4, 0.6}}, {1});
  const SimuTables t = pairwise::BuildSimuTables(v);
  UniformRng rng;
  const int n = 200000;
  int c11 = 0, c12 = 0, c22 = 0;
  int g[2];
  for (int i = 0; i < n; ++i) {
    pairwise::SimuDomGenotype(t, rng, g);
    if (g[0] == 1 && g[1] == 1) ++c11;
    else if (g[0] == 1 && g[1] == 2) ++c12;
    else if (g[0] == 2 && g[1] == 2) ++c22;
  }
  EXPECT_EQ(c11 + c12 + c22, n);
  EXPECT_NEAR(c11 / static_cast<double>(n), 0.16, 0.005);
  EXPECT_NEAR(c12 / static_cast<double>(n), 0.48, 0.005);
}

TEST(SimuOffspring, OneAlleleFromEachParent) {
  pairwise::Variables v = Loci({{0.25, 0.25, 0.25, 0.25}}, {0});
  const SimuTables t = pairwise::BuildSimuTables(v);
  UniformRng rng;
  const int p1[2] = {1, 2}, p2[2] = {3, 4};
  int first = 0;
  const int n = 100000;
  for (int i = 0; i < n; ++i) {
    int g[2];
    pairwise::SimuOffspring(t, rng, p1, p2, g);
    ASSERT_TRUE(g[0] == 1 || g[0] == 2);
    ASSERT_TRUE(g[1] == 3 || g[1] == 4);
    if (g[0] == 1) ++first;
  }
  EXPECT_NEAR(first / static_cast<double>(n), 0.5, 0.01);
}

TEST(SimuGenotypeChange, NoDrawWhereNoRateIsAboveZero) {
  pairwise::Variables v = Loci({{0.5, 0.5}, {0.5, 0.5}}, {0, 0});
  SimuTables t = pairwise::BuildSimuTables(v);
  UniformRng rng, untouched;
  int g[4] = {2, 1, 1, 2};
  pairwise::SimuGenotypeChange(t, rng, g);
  EXPECT_EQ(rng.State(), untouched.State());
  EXPECT_EQ(g[0], 1);  // codominant pair put in order
  EXPECT_EQ(g[1], 2);
}

TEST(SimuGenotypeChange, DominantPairShowsThePhenotype) {
  pairwise::Variables v = Loci({{0.5, 0.5}}, {1});
  SimuTables t = pairwise::BuildSimuTables(v);
  UniformRng rng;
  int g[2] = {1, 2};
  pairwise::SimuGenotypeChange(t, rng, g);
  EXPECT_EQ(g[0], 1);
  EXPECT_EQ(g[1], 1);
}

TEST(SimuGenotypeChange, CertainDropoutKeepsOneAlleleOfAHeterozygote) {
  pairwise::Variables v = Loci({{0.25, 0.25, 0.25, 0.25}}, {0});
  v.DropRate[1] = 1.0;
  SimuTables t = pairwise::BuildSimuTables(v);
  UniformRng rng;
  int kept1 = 0;
  for (int i = 0; i < 10000; ++i) {
    int g[2] = {1, 4};
    pairwise::SimuGenotypeChange(t, rng, g);
    ASSERT_EQ(g[0], g[1]);
    ASSERT_TRUE(g[0] == 1 || g[0] == 4);
    if (g[0] == 1) ++kept1;
  }
  EXPECT_NEAR(kept1 / 10000.0, 0.5, 0.03);
  // A homozygote draws nothing for dropout.
  UniformRng before = rng;
  int h[2] = {3, 3};
  pairwise::SimuGenotypeChange(t, rng, h);
  EXPECT_EQ(rng.State(), before.State());
}

// One error-free locus leaves the errors of the others in place: each locus
// draws by its own rates, from the generator itself or from a buffer.
TEST(SimuGenotypeChange, ErrorFreeLocusLeavesTheOtherLociTheirErrors) {
  pairwise::Variables v = Loci({{0.5, 0.5}, {0.5, 0.5}, {0.5, 0.5}}, {0, 0, 0});
  v.DropRate[2] = 1.0;  // certain dropout at locus 2 only
  v.MarkerErrorFreeQ = true;
  SimuTables t = pairwise::BuildSimuTables(v);
  UniformRng twoDraws;
  twoDraws.NextBits();
  twoDraws.NextBits();  // the dropout's uniform and the kept allele's
  for (const bool buffered : {false, true}) {
    UniformRng rng;
    int g[6] = {1, 2, 1, 2, 1, 2};
    if (buffered) {
      pairwise::UniformBuffer u(rng, pairwise::kMaxChangeDraws * v.NumLoci);
      pairwise::SimuGenotypeChange(t, u, g);
      rng = u.Release();
    } else {
      pairwise::SimuGenotypeChange(t, rng, g);
    }
    EXPECT_EQ(rng.State(), twoDraws.State()) << buffered;
    EXPECT_EQ(g[0], 1);
    EXPECT_EQ(g[1], 2);
    EXPECT_EQ(g[2], g[3]) << buffered;  // one allele of the heterozygote kept
    EXPECT_EQ(g[4], 1);
    EXPECT_EQ(g[5], 2);
  }
}

TEST(SimuGenotypeChange, OtherErrorsStayWithinTheAlleles) {
  pairwise::Variables v = Loci({{0.2, 0.2, 0.2, 0.2, 0.2}}, {0});
  v.OtherErrorRate[1] = 1.0;
  SimuTables t = pairwise::BuildSimuTables(v);
  UniformRng rng;
  std::vector<int> seen(6, 0);
  for (int i = 0; i < 20000; ++i) {
    int g[2] = {3, 3};
    pairwise::SimuGenotypeChange(t, rng, g);
    ASSERT_LE(g[0], g[1]);
    ++seen[static_cast<std::size_t>(g[0])];
    ++seen[static_cast<std::size_t>(g[1])];
  }
  EXPECT_EQ(seen[0], 0);
  for (int a = 1; a <= 5; ++a) EXPECT_GT(seen[static_cast<std::size_t>(a)], 0) << a;
}

TEST(SimuGenotypeChange, CertainlyMissingLocusBecomesUntyped) {
  pairwise::Variables v = Loci({{0.5, 0.5}, {0.5, 0.5}}, {0, 0}, 1);
  for (int k = 1; k <= 2; ++k) v.CndGtype(1, 1, 1, k) = 0;
  v.IndivGtype(1, 1, 1) = 0;
  SimuTables t = pairwise::BuildSimuTables(v);
  ASSERT_EQ(t.MissingRate[1], 1.0);
  UniformRng rng;
  int g[4] = {1, 2, 1, 2};
  pairwise::SimuGenotypeChange(t, rng, g);
  EXPECT_EQ(g[0], 0);
  EXPECT_EQ(g[1], 0);
  EXPECT_EQ(g[2], 1);
  EXPECT_EQ(g[3], 2);
}

using Genotypes = std::vector<std::array<int, 2>>;

// Typed genotypes at locus l seen in n rounds of a trial's draws: two
// parents, their offspring, each through SimuGenotypeChange, and one more
// candidate.
Genotypes SampledGenotypes(const SimuTables& t, int l, int n) {
  std::set<std::array<int, 2>> seen;
  UniformRng rng;
  std::vector<int> p1(static_cast<std::size_t>(2 * t.NumLoci)), p2(p1), off(p1), cand(p1);
  for (int i = 0; i < n; ++i) {
    pairwise::SimuParentGenotype(t, rng, p1.data());
    pairwise::SimuParentGenotype(t, rng, p2.data());
    pairwise::SimuOffspring(t, rng, p1.data(), p2.data(), off.data());
    pairwise::SimuParentGenotype(t, rng, cand.data());
    for (std::vector<int>* g : {&off, &p1, &p2, &cand}) {
      pairwise::SimuGenotypeChange(t, rng, g->data());
      const int* a = g->data() + 2 * (l - 1);
      if (a[0] >= 1) seen.insert({a[0], a[1]});
    }
  }
  return Genotypes(seen.begin(), seen.end());
}

// The genotypes that the trials can produce at a locus, worked out by hand
// from the draws and each locus's rates; where the rare ones are not too
// rare, also held against what the draws give.
TEST(ProducibleGenotypes, FollowTheDrawsAndTheRates) {
  struct Case {
    const char* name;
    std::vector<std::vector<double>> freq;
    std::vector<int> dominant;
    int locus;
    double drop, other;  // rates of that locus
    Genotypes expected;
    bool sampled;  // the draws give every listed genotype in 20000 rounds
  };
  const Genotypes all3 = {{1, 1}, {1, 2}, {1, 3}, {2, 2}, {2, 3}, {3, 3}};
  const Genotypes all2 = {{1, 1}, {1, 2}, {2, 2}};
  const Genotypes hom2 = {{1, 1}, {2, 2}};
  const std::vector<Case> cases = {
      {"no errors: every pair of alleles", {{0.5, 0.3, 0.2}}, {0}, 1, 0.0, 0.0, all3, true},
      {"certain dropout, no other error: homozygotes only", {{0.6, 0.4}}, {0}, 1, 1.0, 0.0, hom2, true},
      {"certain dropout and other errors: heterozygotes again", {{0.6, 0.4}}, {0}, 1, 1.0, 1.0, all2, true},
      {"certain dropout, other errors just above 1e-300", {{0.6, 0.4}}, {0}, 1, 1.0, 2e-300, all2, false},
      {"certain dropout, other errors not above 1e-300", {{0.6, 0.4}}, {0}, 1, 1.0, 1e-300, hom2, true},
      {"dropout below 1 that every draw takes", {{0.6, 0.4}}, {0}, 1, 1.0 - 1e-9, 0.0, hom2, true},
      {"dropout below 1: heterozygotes stay", {{0.6, 0.4}}, {0}, 1, 0.9, 0.0, all2, true},
      {"an allele no draw reaches", {{0.5, 0.5 - 1e-9, 1e-9}}, {0}, 1, 0.0, 0.0, all2, true},
      {"other errors reach that allele", {{0.5, 0.5 - 1e-9, 1e-9}}, {0}, 1, 0.0, 0.3, all3, true},
      {"dominant among codominant: phenotypes", {{0.5, 0.5}, {0.7, 0.3}}, {0, 1}, 2, 1.0, 0.0, hom2, true},
      {"all dominant", {{0.7, 0.3}, {0.4, 0.6}}, {1, 1}, 1, 0.2, 0.1, hom2, true},
      {"a locus with one allele enters no score", {{1.0}, {0.5, 0.5}}, {0, 0}, 1, 0.0, 0.5, {}, false},
  };
  for (const Case& c : cases) {
    pairwise::Variables v = Loci(c.freq, c.dominant);
    v.DropRate[static_cast<std::size_t>(c.locus)] = c.drop;
    v.OtherErrorRate[static_cast<std::size_t>(c.locus)] = c.other;
    const SimuTables t = pairwise::BuildSimuTables(v);
    EXPECT_EQ(pairwise::ProducibleGenotypes(t, c.locus), c.expected) << c.name;
    if (c.sampled) {
      EXPECT_EQ(SampledGenotypes(t, c.locus, 20000), c.expected) << c.name;
    }
  }
}

// The cached sum must equal the likelihood routine's term by term, or the
// simulated LODs would not be the statistic that the assignment ranks.
TEST(SingleGtypeLogCache, EqualsSingleIndivLikelihoodOnRealGenotypes) {
  testutil::ScopedTempDir dir;
  for (int dom : {0, 3}) {
    testutil::SamplePlan plan;
    plan.SmplSize = 80;
    plan.NumLoci = 9;
    plan.NumDominantLoci = dom;
    plan.MissingRate = 0.1;
    testutil::WriteFile("AgeSexGtype.dat", testutil::GenerateSample(plan).Text);
    pairwise::Variables v;
    std::ostringstream quiet;
    testutil::PrepareCompanionData(v, quiet);
    const pairwise::SingleGtypeLogCache cache(v);
    for (int i = 1; i <= v.SmplSize; ++i)
      ASSERT_EQ(cache.SingleLogL(v.IndivG(i)), pairwise::SingleIndivLikelihood(v, v.IndivG(i))) << i;
    for (int i = 1; i <= v.SmplSize; ++i)
      for (int l = 1; l <= v.NumLoci; ++l)
        ASSERT_EQ(cache.GenotypeNumber(l, v.IndivG(i) + 2 * (l - 1)), v.IndivGtype2(l, i));
  }
}

}  // namespace
