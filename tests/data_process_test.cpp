#include "pairwise/data_process.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "common/fixed_format.h"
#include "companion_fixture.h"
#include "pairwise/likelihood.h"

namespace {

using pairwise::CompanionStop;
using pairwise::Variables;
using testutil::MakeCompanionData;
using testutil::SetGenotype;

// Runs a step (DataProcess unless named) and returns the stop's lines ({}
// when it did not stop).
std::vector<std::string> StopLines(Variables& v, void (*step)(Variables&) = pairwise::DataProcess) {
  try {
    step(v);
  } catch (const CompanionStop& stop) {
    EXPECT_FALSE(stop.memory);
    EXPECT_EQ(v.ErrorMessage, stop.lines);
    std::vector<std::string> lines;
    for (const auto& l : stop.lines)
      if (!l.empty()) lines.push_back(l);
    return lines;
  }
  return {};
}

TEST(DataProcess, RecodesCodominantAllelesInOrderOfFirstAppearance) {
  Variables v = MakeCompanionData(4, {0}, {0.0}, {0.0});
  SetGenotype(v, 1, 1, 7, 3);
  SetGenotype(v, 2, 1, 7, 12);
  SetGenotype(v, 3, 1, 12, 3);
  SetGenotype(v, 4, 1, 5, 0);  // one code missing: untyped, the 5 is not counted
  pairwise::DataProcess(v);
  EXPECT_EQ(v.ObsNumAllele[1], 3);
  EXPECT_EQ(v.MaxObsNumAllele, 3);
  EXPECT_EQ(v.MaxNumGenotype, 6);
  const int expect[4][2] = {{1, 2}, {1, 3}, {2, 3}, {0, 0}};
  for (int i = 1; i <= 4; ++i) {
    EXPECT_EQ(v.IndivGtype(1, 1, i), expect[i - 1][0]) << i;
    EXPECT_EQ(v.IndivGtype(2, 1, i), expect[i - 1][1]) << i;
    for (int k = 1; k <= 2; ++k) {
      EXPECT_EQ(v.CndGtype(1, 1, i, k), expect[i - 1][0]);
      EXPECT_EQ(v.CndGtype(2, 1, i, k), expect[i - 1][1]);
    }
  }
  // Each code is seen twice per copy, six copies counted out of 18.
  for (int j = 1; j <= 3; ++j) EXPECT_EQ(v.ObsAlleleFre(1, j), 6.0 * (1.0 / 18.0));
}

TEST(DataProcess, FrequenciesFollowRelativeCounts) {
  Variables v = MakeCompanionData(3, {0, 0}, {0.0, 0.0}, {0.0, 0.0});
  SetGenotype(v, 1, 1, 101, 101);
  SetGenotype(v, 2, 1, 101, 104);
  SetGenotype(v, 3, 1, -9, 104);
  SetGenotype(v, 1, 2, 2, 1);
  pairwise::DataProcess(v);
  EXPECT_EQ(v.ObsAlleleFre(1, 1), 9.0 * (1.0 / 12.0));
  EXPECT_EQ(v.ObsAlleleFre(1, 2), 3.0 * (1.0 / 12.0));
  EXPECT_EQ(v.IndivGtype(1, 1, 3), 0);
  EXPECT_EQ(v.IndivGtype(2, 1, 3), 0);
  // Locus 2: (2, 1) is stored sorted as (1, 2); untyped others stay (0, 0).
  EXPECT_EQ(v.ObsNumAllele[2], 2);
  EXPECT_EQ(v.IndivGtype(1, 2, 1), 1);
  EXPECT_EQ(v.IndivGtype(2, 2, 1), 2);
  EXPECT_EQ(v.ObsAlleleFre(2, 1), 0.5);
}

TEST(DataProcess, DominantFrequenciesFromRecessiveShare) {
  struct Case {
    std::vector<int> phen;  // per individual, 0 untyped
    int n;
    double f1, f2;
  };
  const Case cases[] = {
      {{1, 1, 0}, 1, 1.0, 0.0},
      {{2, 2, 2}, 1, 0.0, 1.0},
      {{1, 2, 1, 1}, 2, 1.0 - std::sqrt(1.0 / 4.0), std::sqrt(1.0 / 4.0)},
      {{1, 2, 2, -1, 1}, 2, 1.0 - std::sqrt(2.0 / 4.0), std::sqrt(2.0 / 4.0)},
  };
  for (const Case& c : cases) {
    const int s = static_cast<int>(c.phen.size());
    // A codominant locus with variation keeps the run going.
    Variables v = MakeCompanionData(s, {1, 0}, {0.0, 0.0}, {0.0, 0.0});
    for (int i = 1; i <= s; ++i) SetGenotype(v, i, 1, c.phen[i - 1], c.phen[i - 1]);
    SetGenotype(v, 1, 2, 1, 2);
    pairwise::DataProcess(v);
    EXPECT_EQ(v.ObsNumAllele[1], c.n);
    EXPECT_EQ(v.ObsAlleleFre(1, 1), c.f1);
    EXPECT_EQ(v.ObsAlleleFre(1, 2), c.f2);
    for (int i = 1; i <= s; ++i) {
      const int want = c.phen[i - 1] < 1 ? 0 : c.phen[i - 1];
      EXPECT_EQ(v.IndivGtype(1, 1, i), want);
      EXPECT_EQ(v.IndivGtype(2, 1, i), want);
    }
  }
}

TEST(DataProcess, Stops) {
  struct Case {
    const char* name;
    void (*setup)(Variables&);
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"known father excluded",
       [](Variables& v) {
         v.IndivParent[1][2] = 3;
         v.ExcludedParent[1][2] = {2, {0, 1, 3}};
       },
       {"Data error! Offspring     2 has a known father listed as excluded"}},
      {"known mother excluded",
       [](Variables& v) {
         v.IndivParent[2][3] = 1;
         v.ExcludedParent[2][3] = {1, {0, 1}};
         v.ExcludedParent[1][3] = {1, {0, 1}};  // not the known father: no conflict
       },
       {"Data error! Offspring     3 has a known mother listed as excluded"}},
      {"illegal dominant code",
       [](Variables& v) { SetGenotype(v, 2, 2, 3, 3); },
       {"Individual     2 at dominant locus   2 has an illegal genotype      3",
        "Program stops!"}},
      {"illegal dominant code too wide",
       [](Variables& v) { SetGenotype(v, 1, 2, 1234567, 1234567); },
       {"Individual     1 at dominant locus   2 has an illegal genotype ******",
        "Program stops!"}},
      {"no variation",
       [](Variables& v) { SetGenotype(v, 1, 1, 4, 4); },
       {"Program stops because no variation in geneotypes!",
        "All loci have less than 2 observed alleles!"}},
  };
  for (const Case& c : cases) {
    Variables v = MakeCompanionData(3, {0, 1}, {0.0, 0.0}, {0.0, 0.0});
    SetGenotype(v, 1, 2, 1, 1);
    c.setup(v);
    EXPECT_EQ(StopLines(v), c.lines) << c.name;
  }
}

TEST(DataProcess, ExclusionConflictOffspringTooWideIsAsterisks) {
  Variables v = MakeCompanionData(100000, {0}, {0.0}, {0.0});
  v.IndivParent[1][100000] = 7;
  v.ExcludedParent[1][100000] = {1, {0, 7}};
  EXPECT_EQ(StopLines(v),
            std::vector<std::string>{"Data error! Offspring ***** has a known father listed as excluded"});
}

// Observed-given-true rates of a locus.
std::array<double, 7> Rates(int dominant, int n, double drop, double other) {
  Variables v = MakeCompanionData(n, {dominant}, {drop}, {other});
  for (int i = 1; i <= n; ++i) SetGenotype(v, i, 1, dominant ? 1 + (i - 1) % 2 : i, dominant ? 1 + (i - 1) % 2 : i);
  pairwise::DataProcess(v);
  pairwise::BuildErrorModel(v);
  return v.TransRate[1];
}

TEST(ErrorModel, EachTrueGenotypeSumsToOneOverObservedGenotypes) {
  for (int n : {2, 3, 5, 9}) {
    for (double e : {0.0, 0.01, 0.2, 1.0}) {
      for (double d : {0.0, 0.05, 0.5, 1.0}) {
        const auto t = Rates(0, n, d, e);
        const double m = n - 2;
        // True ab: ab, aa and bb, ac and bc, cc, cd (twice T4 each).
        EXPECT_NEAR(t[1] + 2 * t[2] + 2 * m * t[3] + m * t[4] + m * (m - 1) * t[4], 1.0, 1e-14);
        // True aa: aa, ab, bb, bc (twice T4 each).
        EXPECT_NEAR(t[5] + (n - 1) * t[6] + (n - 1) * t[4] + (n - 1) * (n - 2) * t[4], 1.0, 1e-14);
      }
    }
  }
  for (double e : {0.0, 0.03, 0.5, 1.0}) {
    const auto t = Rates(1, 2, 0.1, e);
    EXPECT_NEAR(t[1] + t[4], 1.0, 1e-15);
    EXPECT_NEAR(t[2] + t[5], 1.0, 1e-15);
    EXPECT_NEAR(t[3] + t[6], 1.0, 1e-15);
  }
}

TEST(ErrorModel, DropoutEntersAsRateOverOnePlusRate) {
  // Without other errors T1 = 1 - 2D and T2 = D, D = d/(1+d): d = 1 gives
  // D = 1/2 and T1 = 0 (taking D = d would give T1 = -1).
  const auto t = Rates(0, 4, 1.0, 0.0);
  EXPECT_EQ(t[1], 0.0);
  EXPECT_EQ(t[2], 0.5);
  EXPECT_EQ(t[5], 1.0);
  const auto u = Rates(0, 3, 0.25, 0.0);
  EXPECT_DOUBLE_EQ(u[1], 1.0 - 2.0 * 0.2);
  EXPECT_DOUBLE_EQ(u[2], 0.2);
}

// Rows worked by hand from the formulas, so that a wrong sign or factor in
// any one term shows.
TEST(ErrorModel, HandWorkedRowsWithBothRates) {
  struct Case {
    const char* name;
    int dominant, n;
    double drop, other;
    std::array<double, 7> want;
  };
  const Case cases[] = {
      // x = e/(n-1) = 0.1, a = 1-e = 0.8, D = d/(1+d) = 0.25/1.25 = 0.2,
      // H = (a-x)^2 = 0.49: T1 = 0.64 - 2(0.2)(0.49) + 0.01 = 0.454,
      // T2 = 0.098 + 0.08 = 0.178, T3 = 0.9(0.1) = 0.09, T4 = 0.01,
      // T5 = 0.64, T6 = 2(0.8)(0.1) = 0.16.
      {"codominant, 3 alleles", 0, 3, 0.25, 0.2, {0, 0.454, 0.178, 0.09, 0.01, 0.64, 0.16}},
      // x = 0.2/4 = 0.05, a = 0.8, D = 1/2, H = 0.75^2 = 0.5625:
      // T1 = 0.64 - 0.5625 + 0.0025 = 0.08, T2 = 0.28125 + 0.04 = 0.32125,
      // T3 = 0.85(0.05) = 0.0425, T4 = 0.0025, T5 = 0.64, T6 = 0.08.
      {"codominant, 5 alleles, dropout 1", 0, 5, 1.0, 0.2,
       {0, 0.08, 0.32125, 0.0425, 0.0025, 0.64, 0.08}},
      // e = 0.2: 1 - e^2, 1 - e + e^2, 2e - e^2, e^2, e(1-e), (1-e)^2; the
      // dropout rate plays no part.
      {"dominant", 1, 2, 0.25, 0.2, {0, 0.96, 0.84, 0.36, 0.04, 0.16, 0.64}},
  };
  for (const Case& c : cases) {
    const auto t = Rates(c.dominant, c.n, c.drop, c.other);
    for (int j = 1; j <= 6; ++j) EXPECT_NEAR(t[static_cast<std::size_t>(j)], c.want[static_cast<std::size_t>(j)], 1e-15)
        << c.name << " T" << j;
  }
}

TEST(ErrorModel, LociWithFewerThanTwoAllelesHaveFixedRows) {
  Variables v = MakeCompanionData(2, {0, 1, 0}, {0.1, 0.1, 0.1}, {0.1, 0.1, 0.1});
  SetGenotype(v, 1, 1, 5, 5);
  SetGenotype(v, 1, 2, 2, 2);
  SetGenotype(v, 1, 3, 1, 2);
  pairwise::DataProcess(v);
  pairwise::BuildErrorModel(v);
  EXPECT_EQ(v.TransRate[1], (std::array<double, 7>{0, 0, 0, 0, 0, 1, 0}));
  EXPECT_EQ(v.TransRate[2], (std::array<double, 7>{0, 1, 0, 0, 0, 0, 0}));
}

TEST(ErrorModel, GenotypeNumbersFlagsAndKnownParents) {
  Variables v = MakeCompanionData(4, {0, 1, 0}, {0.0, 0.0, 0.02}, {0.0, 0.0, 0.0});
  SetGenotype(v, 1, 1, 10, 20);
  SetGenotype(v, 2, 1, 30, 20);
  SetGenotype(v, 3, 1, 30, 30);
  SetGenotype(v, 4, 1, 0, 20);
  SetGenotype(v, 1, 2, 2, 2);
  SetGenotype(v, 2, 2, 1, 1);
  SetGenotype(v, 1, 3, 1, 2);
  v.IndivParent[1][3] = 2;
  v.IndivParent[2][1] = 4;
  v.IndivParent[2][2] = 4;
  pairwise::DataProcess(v);
  pairwise::BuildErrorModel(v);
  ASSERT_EQ(v.MaxObsNumAllele, 3);
  const int want[4][4] = {{0, -1, -2, -3}, {-1, 1, 4, 5}, {-2, 4, 2, 6}, {-3, 5, 6, 3}};
  for (int i = 0; i <= 3; ++i)
    for (int j = 0; j <= 3; ++j) EXPECT_EQ(v.GenotypeID2(i, j), want[i][j]) << i << "," << j;
  EXPECT_EQ(v.IndivGtype2(1, 1), 4);  // (1, 2)
  EXPECT_EQ(v.IndivGtype2(1, 2), 6);  // (3, 2) sorted to (2, 3)
  EXPECT_EQ(v.IndivGtype2(1, 3), 3);
  EXPECT_EQ(v.IndivGtype2(1, 4), 0);
  EXPECT_EQ(v.IndivGtype2(2, 1), 2);
  EXPECT_EQ(v.IndivGtype2(2, 2), 1);
  EXPECT_EQ(v.IndivGtype2(2, 3), 0);
  EXPECT_EQ(v.LocusError[1], 0);
  EXPECT_EQ(v.LocusError[3], 1);
  EXPECT_TRUE(v.MarkerErrorFreeQ);
  EXPECT_EQ(v.NumKnownPrnt[1], 1);
  EXPECT_EQ(v.NumKnownPrnt[2], 2);
}

TEST(ErrorModel, NoErrorFreeLocusClearsTheFlag) {
  Variables v = MakeCompanionData(1, {0, 0}, {1e-300, 0.0}, {0.0, 2e-300});
  SetGenotype(v, 1, 1, 1, 2);
  SetGenotype(v, 1, 2, 1, 2);
  pairwise::DataProcess(v);
  pairwise::BuildErrorModel(v);
  EXPECT_EQ(v.LocusError[1], 0);  // 1e-300 is not above 1e-300
  EXPECT_EQ(v.LocusError[2], 1);
  EXPECT_TRUE(v.MarkerErrorFreeQ);
  v.DropRate[1] = 0.01;
  pairwise::BuildErrorModel(v);
  EXPECT_FALSE(v.MarkerErrorFreeQ);
}

// Identifiers as the reader keeps them: individuals left-adjusted, markers
// right-adjusted, both 20 characters.
void NameAll(Variables& v) {
  v.OffspringID.assign(static_cast<std::size_t>(v.SmplSize) + 1, "");
  for (int i = 1; i <= v.SmplSize; ++i)
    v.OffspringID[static_cast<std::size_t>(i)] = common::PadRight("Ind" + std::to_string(i), 20);
  v.MarkerID.assign(static_cast<std::size_t>(v.NumLoci) + 1, "");
  for (int l = 1; l <= v.NumLoci; ++l)
    v.MarkerID[static_cast<std::size_t>(l)] = std::string(18, ' ') + "M" + std::to_string(l);
}

// An observed genotype without probability under its locus's rates would
// make every likelihood it enters minus infinity: the run stops and names
// the first such individual, the locus and its rates.
TEST(ErrorModel, ImpossibleObservedGenotypeStops) {
  const std::string data2 = "Errors in DATA. Insufficient data or incorrect format.";
  const std::string data3 = "Please check DATA and format and then re-run the program";
  struct Case {
    const char* name;
    double drop2, other2;            // rates of locus 2 (codominant)
    std::array<int, 2> ind3, ind4;   // genotypes of individuals 3 and 4 at locus 2
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases = {
      {"heterozygote under certain dropout", 1.0, 0.0, {1, 2}, {1, 3},
       {"Individual Ind3, locus M2: dropout rate 1 and other error rate 0",
        "make the observed genotype impossible!", data2, data3}},
      {"a rate just below 0 counts as 0 and is shown as given", 1.0, -1e-301, {2, 2}, {3, 1},
       {"Individual Ind4, locus M2: dropout rate 1 and other error rate -1e-301",
        "make the observed genotype impossible!", data2, data3}},
      {"homozygotes only under certain dropout", 1.0, 0.0, {1, 1}, {3, 3}, {}},
      {"other errors make a heterozygote possible", 1.0, 0.001, {1, 2}, {1, 3}, {}},
      {"untyped is not checked", 1.0, 0.0, {0, 0}, {2, 2}, {}},
  };
  for (const Case& c : cases) {
    Variables v = MakeCompanionData(4, {0, 0}, {0.0, c.drop2}, {0.0, c.other2});
    NameAll(v);
    for (int i = 1; i <= 4; ++i) SetGenotype(v, i, 1, i, i % 2 + 1);  // locus 1 error-free, heterozygous
    SetGenotype(v, 1, 2, 1, 1);
    SetGenotype(v, 2, 2, 2, 2);
    SetGenotype(v, 3, 2, c.ind3[0], c.ind3[1]);
    SetGenotype(v, 4, 2, c.ind4[0], c.ind4[1]);
    pairwise::DataProcess(v);
    EXPECT_EQ(StopLines(v, pairwise::BuildErrorModel), c.lines) << c.name;
  }
}

// A rate just below 0 passes the reader; the model takes it as 0, so no
// probability turns negative and the pair table is that of rate 0.
TEST(ErrorModel, RateJustBelowZeroCountsAsZero) {
  auto build = [](double tiny) {
    Variables v = MakeCompanionData(6, {0, 0}, {0.3, tiny}, {tiny, 0.2});
    const int g[6][4] = {{1, 2, 1, 1}, {2, 3, 1, 2}, {1, 3, 2, 2}, {3, 3, 1, 3}, {1, 1, 2, 3}, {2, 2, 3, 3}};
    for (int i = 1; i <= 6; ++i)
      for (int l = 1; l <= 2; ++l) SetGenotype(v, i, l, g[i - 1][2 * l - 2], g[i - 1][2 * l - 1]);
    pairwise::DataProcess(v);
    pairwise::BuildErrorModel(v);
    std::ostringstream quiet;
    pairwise::CalculatePairProb(v, quiet);
    return v;
  };
  const Variables zero = build(0.0);
  const Variables below = build(-1e-301);
  EXPECT_EQ(below.TransRate, zero.TransRate);
  EXPECT_EQ(below.LocusError, zero.LocusError);
  EXPECT_EQ(below.PrbPOPairData, zero.PrbPOPairData);
  for (int l = 1; l <= 2; ++l)
    for (const double t : below.TransRate[static_cast<std::size_t>(l)])
      EXPECT_GE(t, 0.0) << "locus " << l;
}

}  // namespace
