#include "pairwise/thresholds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "companion_steps.h"
#include "pairwise/threshold_walk.h"
#include "sample_generator.h"
#include "test_util.h"

namespace {

using pairwise::kUnreached;

// Trials in walk order: pattern[0] is the trial with the largest margin.
// 'T' = true parent ranked first, 'F' = not. Margins are 100, 99, ...
struct Trials {
  int n = 0;
  std::vector<double> delta{0.0};
  std::vector<char> truth{0};
  std::vector<int> indx{0};
};

Trials FromPattern(const std::string& pattern) {
  Trials t;
  t.n = static_cast<int>(pattern.size());
  t.indx.assign(static_cast<std::size_t>(t.n) + 1, 0);
  for (int p = 0; p < t.n; ++p) {
    t.delta.push_back(100.0 - p);
    t.truth.push_back(pattern[static_cast<std::size_t>(p)] == 'T' ? 1 : 0);
    t.indx[static_cast<std::size_t>(t.n - p)] = p + 1;  // ascending order of margin
  }
  return t;
}

double Walk(const std::string& pattern, int c) {
  const Trials t = FromPattern(pattern);
  return pairwise::WalkDownThreshold(t.n, t.delta, t.truth, t.indx, c);
}

// Margin of walk position p (1-based) in a pattern.
double MarginAt(int p) { return 100.0 - (p - 1); }

std::string Rep(char c, int n) { return std::string(static_cast<std::size_t>(n), c); }

struct WalkCase {
  const char* name;
  std::string pattern;
  int c;
  double expected;
};

TEST(WalkDownThreshold, TableOfEdges) {
  const std::vector<WalkCase> cases = {
      {"19 of 20 does not reach 95", std::string("F") + Rep('T', 19), 95, kUnreached},
      {"20 of 21 reaches 95", std::string("F") + Rep('T', 20), 95, MarginAt(21)},
      {"7 of 10 does not reach 70", std::string("FFF") + Rep('T', 7), 70, kUnreached},
      {"8 of 11 reaches 70", std::string("FFF") + Rep('T', 8), 70, MarginAt(11)},
      {"18 of 20 reaches 90 exactly", std::string("FF") + Rep('T', 18), 90, MarginAt(20)},
      {"1 of 2 reaches 50 exactly", "FT", 50, MarginAt(2)},
      {"first true trial below after found stops the walk", std::string("TTTTFT") + Rep('T', 40), 95, MarginAt(4)},
      {"false trials after found do not stop it", "TTTTTTTTTTTTTTTTTTTTFTT", 50, MarginAt(23)},
      {"a false trial last does not move the threshold", "TTF", 50, MarginAt(2)},
      {"no true trial", Rep('F', 30), 50, kUnreached},
      {"level never reached", "FTFTFTFTFT", 55, kUnreached},
      {"the walk goes on until the share first reaches, then follows it", "FFTTTT", 60, MarginAt(6)},
      {"found at the first reaching trial", "FFTTTF", 60, MarginAt(5)},
  };
  for (const WalkCase& k : cases) EXPECT_EQ(Walk(k.pattern, k.c), k.expected) << k.name;
}

TEST(WalkDownThreshold, UnreachedIsSinglePrecision999Point9) {
  EXPECT_EQ(kUnreached, static_cast<double>(999.9f));
}

// An independent reading of the rule, on trials with distinct margins.
double ReferenceThreshold(const std::vector<std::pair<double, bool>>& trials, int c) {
  auto sorted = trials;
  std::sort(sorted.begin(), sorted.end(), [](auto& a, auto& b) { return a.first > b.first; });
  double th = kUnreached;
  int cnt = 0;
  bool found = false;
  for (std::size_t i = 0; i < sorted.size(); ++i) {
    if (!sorted[i].second) continue;
    ++cnt;
    if (static_cast<double>(cnt) / static_cast<double>(i + 1) >= c * 0.01) {
      th = sorted[i].first;
      found = true;
    } else if (found) {
      break;
    }
  }
  return th;
}

TEST(ThresholdsFromTrials, SortsTheTrialsAndFillsLevelsFrom95Down) {
  // Margins in a scrambled order; trials with a large margin are mostly true.
  const int n = 2000;
  std::vector<double> delta{0.0};
  std::vector<char> truth{0};
  std::vector<std::pair<double, bool>> ref;
  unsigned x = 12345u;
  for (int z = 1; z <= n; ++z) {
    x = x * 1103515245u + 12345u;
    const double d = static_cast<double>((x >> 8) % 100000u) / 1000.0 + z * 1e-9;
    x = x * 1103515245u + 12345u;
    const bool t = static_cast<double>((x >> 8) % 1000u) / 10.0 < d;
    delta.push_back(d);
    truth.push_back(t ? 1 : 0);
    ref.emplace_back(d, t);
  }
  const std::array<double, 11> th = pairwise::ThresholdsFromTrials(n, delta, truth);
  for (int level = 1; level <= 10; ++level) {
    const int c = 100 - 5 * level;
    EXPECT_EQ(th[static_cast<std::size_t>(level)], ReferenceThreshold(ref, c)) << "level " << level;
  }
  EXPECT_NE(th[1], kUnreached);
  EXPECT_LT(th[10], th[1]);
}

// Every individual of one sex, its ages given; MaxAgeIndex covers both sexes.
pairwise::Variables AgeTable(const std::vector<int>& males, const std::vector<int>& females) {
  pairwise::Variables v;
  v.MaxAgeIndex = 4;
  v.AgeSizeData.assign(10, 0);
  for (std::size_t a = 0; a < males.size(); ++a) v.AgeSize(static_cast<int>(a), 1) = males[a];
  for (std::size_t a = 0; a < females.size(); ++a) v.AgeSize(static_cast<int>(a), 2) = females[a];
  return v;
}

TEST(NumSimuCandidate, ReproductiveAgesOverProportionRoundedHalfAway) {
  struct Case {
    std::vector<int> males, females;
    int minAge;
    double prop;
    int expected1;
  };
  const std::vector<Case> cases = {
      {{9, 2, 3, 0, 0}, {}, 1, 0.4, 13},       // 5 / 0.4 = 12.5 -> 13
      {{9, 2, 3, 0, 0}, {}, 2, 1.0, 3},        // ages below the minimum left out
      {{0, 1, 1, 1, 0}, {}, 1, 2.0, 2},        // 3 / 2 = 1.5 -> 2; above 1 is allowed
      {{5, 0, 0, 0, 0}, {}, 1, 0.5, 0},        // no candidate of reproductive age
      {{0, 0, 0, 0, 0}, {0, 0, 0, 0, 7}, 1, 0.5, 0},  // the other sex does not count
      {{0, 0, 0, 0, 3}, {}, 4, 0.3, 10},       // up to the larger maximal age
  };
  for (const Case& k : cases) {
    pairwise::Variables v = AgeTable(k.males, k.females);
    v.MinParentAge = {0, k.minAge, k.minAge};
    v.PropPrntSampled = {0.0, k.prop, k.prop};
    EXPECT_EQ(pairwise::NumSimuCandidate(v, 1), k.expected1);
  }
}

// The threshold simulation on a generated sample.
class DetermineDeltaValueTest : public ::testing::Test {
 protected:
  void Load(const testutil::SamplePlan& plan, pairwise::Variables& v) {
    testutil::WriteFile("AgeSexGtype.dat", testutil::GenerateSample(plan).Text);
    std::ostringstream quiet;
    testutil::PrepareCompanionData(v, quiet);
  }
  static testutil::SamplePlan SmallPlan() {
    testutil::SamplePlan s;
    s.SmplSize = 120;
    s.NumLoci = 8;
    s.NumAlleles = 6;
    s.Seed = 7;
    return s;
  }
  testutil::ScopedTempDir dir_;
};

std::string DotLine() { return std::string(100, '.') + "\n"; }

TEST_F(DetermineDeltaValueTest, ConsoleLineAndOneDotLinePerSimulatedSex) {
  pairwise::Variables v;
  Load(SmallPlan(), v);
  ASSERT_NE(pairwise::NumSimuCandidate(v, 1), pairwise::NumSimuCandidate(v, 2));
  std::ostringstream console;
  pairwise::DetermineDeltaValue(v, console);
  EXPECT_EQ(console.str(), " Estimating parentage with pairwise approach\n" + DotLine() + DotLine());
  for (int s = 1; s <= 2; ++s) {
    for (int j = 1; j <= 10; ++j) {
      const double t = v.Threshold[static_cast<std::size_t>(s)][static_cast<std::size_t>(j)];
      EXPECT_TRUE(t == kUnreached || t >= 0.0) << s << " " << j;
    }
    EXPECT_NE(v.Threshold[static_cast<std::size_t>(s)][10], kUnreached);
  }
}

TEST_F(DetermineDeltaValueTest, SexTwoReusesSexOneWhenTheSettingIsTheSame) {
  pairwise::Variables v;
  Load(SmallPlan(), v);
  for (int a = 0; a <= v.MaxAgeIndex; ++a) v.AgeSize(a, 2) = v.AgeSize(a, 1);
  v.PropPrntSampled[2] = v.PropPrntSampled[1];
  std::ostringstream console;
  pairwise::DetermineDeltaValue(v, console);
  EXPECT_EQ(console.str(), " Estimating parentage with pairwise approach\n" + DotLine());
  EXPECT_EQ(v.Threshold[2], v.Threshold[1]);
}

TEST_F(DetermineDeltaValueTest, KnownParentsOnOneSideOnlyPreventReuse) {
  testutil::SamplePlan plan = SmallPlan();
  plan.NumKnownMothers = 5;
  pairwise::Variables v;
  Load(plan, v);
  ASSERT_GT(v.NumKnownPrnt[2], 0);
  ASSERT_EQ(v.NumKnownPrnt[1], 0);
  for (int a = 0; a <= v.MaxAgeIndex; ++a) v.AgeSize(a, 2) = v.AgeSize(a, 1);
  v.PropPrntSampled[2] = v.PropPrntSampled[1];
  std::ostringstream console;
  pairwise::DetermineDeltaValue(v, console);
  EXPECT_EQ(console.str(), " Estimating parentage with pairwise approach\n" + DotLine() + DotLine());
}

// The margin with a known other parent is the same LOD statistic, so it
// takes the same calibration instead of the 0 or 999.9 of an unsimulated one.
TEST_F(DetermineDeltaValueTest, Threshold2TakesTheThresholdsOfItsSex) {
  testutil::SamplePlan plan = SmallPlan();
  plan.NumKnownFathers = 6;
  plan.NumKnownMothers = 6;
  pairwise::Variables v;
  Load(plan, v);
  std::ostringstream console;
  pairwise::DetermineDeltaValue(v, console);
  for (int s = 1; s <= 2; ++s) {
    EXPECT_EQ(v.Threshold2[static_cast<std::size_t>(s)], v.Threshold[static_cast<std::size_t>(s)]);
    EXPECT_GT(v.Threshold2[static_cast<std::size_t>(s)][1], 0.0);
  }
}

TEST_F(DetermineDeltaValueTest, LeavesTheSampleAsItWas) {
  testutil::SamplePlan plan = SmallPlan();
  plan.NumKnownFathers = 3;
  pairwise::Variables v;
  Load(plan, v);
  const auto indiv = v.IndivGtypeData;
  const auto cnd = v.CndGtypeData;
  const auto gtype2 = v.IndivGtype2Data;
  const auto parents = v.IndivParent;
  std::ostringstream console;
  pairwise::DetermineDeltaValue(v, console);
  EXPECT_EQ(v.IndivGtypeData, indiv);
  EXPECT_EQ(v.CndGtypeData, cnd);
  EXPECT_EQ(v.IndivGtype2Data, gtype2);
  EXPECT_EQ(v.IndivParent, parents);
}

TEST_F(DetermineDeltaValueTest, SameInputSameThresholds) {
  pairwise::Variables a, b;
  Load(SmallPlan(), a);
  Load(SmallPlan(), b);
  std::ostringstream ca, cb;
  pairwise::DetermineDeltaValue(a, ca);
  pairwise::DetermineDeltaValue(b, cb);
  EXPECT_EQ(a.Threshold, b.Threshold);
}

// The thresholds of one small sample, pinned: the trials follow one fixed
// stream of uniforms, so any change in the order or number of draws, or in
// a single computed value, moves them. The last line is the generator's
// state afterwards, i.e. the number of uniforms consumed.
TEST_F(DetermineDeltaValueTest, PinnedThresholdsOfASmallSample) {
  pairwise::Variables v;
  Load(SmallPlan(), v);
  std::ostringstream console;
  pairwise::DetermineDeltaValue(v, console);
  const std::array<double, 11> father{0.0, 4.9682465740935911, 4.5380764094493529, 4.044063556947826,
                                      3.5147312810787881, 3.1113010804678609, 2.6876550073968772,
                                      2.3132750923562, 1.8452828779262198, 1.4423342670073964,
                                      1.0595301792616851};
  const std::array<double, 11> mother{0.0, 6.3483390651006175, 4.6972077858430268, 4.1670630093067302,
                                      3.6152829207222652, 3.1591184127556318, 2.7177872479023151,
                                      2.2191312083580854, 1.8285502357308729, 1.5054923610767617,
                                      1.1389702763232421};
  EXPECT_EQ(v.Threshold[1], father);
  EXPECT_EQ(v.Threshold[2], mother);
  EXPECT_EQ(v.SimuRng.State(), (std::array<std::uint32_t, 4>{0xf3fa40b6u, 0xa1aa5cbbu, 0x4a2e50bcu, 0x5c76976eu}));
}

TEST_F(DetermineDeltaValueTest, NoSimulatedCandidateLeavesEveryLevelUnreached) {
  pairwise::Variables v;
  Load(SmallPlan(), v);
  v.PropPrntSampled[1] = 1e9;  // values above 1 are accepted by the reader
  ASSERT_EQ(pairwise::NumSimuCandidate(v, 1), 0);
  std::ostringstream console;
  pairwise::DetermineDeltaValue(v, console);
  for (int j = 1; j <= 10; ++j) EXPECT_EQ(v.Threshold[1][static_cast<std::size_t>(j)], kUnreached);
  EXPECT_NE(v.Threshold[2][10], kUnreached);
}

}  // namespace
