#include "pairwise/simu_genotype.h"

#include <gtest/gtest.h>

#include <cmath>
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
