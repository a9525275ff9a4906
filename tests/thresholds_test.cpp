#include "pairwise/thresholds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "companion_steps.h"
#include "pairwise/data_process.h"
#include "pairwise/genotype_prob.h"
#include "pairwise/likelihood.h"
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

// Certain dropout with no other error at every codominant locus: the trials
// produce homozygotes only there, each with a probability, so the check of
// the simulated genotypes lets the sample through and the thresholds stay
// those it has always had (pinned like those above).
TEST_F(DetermineDeltaValueTest, CertainDropoutWithoutOtherErrorsKeepsItsThresholds) {
  testutil::SamplePlan plan = SmallPlan();
  plan.DropRate = 1.0;
  plan.OtherErrorRate = 0.0;
  plan.NumDominantLoci = 2;
  plan.NumLoci = 14;
  pairwise::Variables v;
  Load(plan, v);
  ASSERT_EQ(v.DropRate[1], 1.0);
  ASSERT_EQ(v.OtherErrorRate[1], 0.0);
  std::ostringstream console;
  pairwise::DetermineDeltaValue(v, console);
  const std::array<double, 11> father{0.0, 4.3833966575933232, 3.7118467824835193, 3.6513208695337624,
                                      3.5184074464222874, 3.2046443357203955, 3.011912465033646,
                                      2.8466638040653649, 2.7416699742115114, 2.473134053763026,
                                      2.2824034834084443};
  const std::array<double, 11> mother{0.0, 4.4475637545757607, 3.8713851359290601, 3.8331576677232633,
                                      3.7679603643626436, 3.4090350191502239, 3.3206168950028214,
                                      3.1009262953667829, 2.6985547169949555, 2.5770295602410656,
                                      2.2616674208440557};
  EXPECT_EQ(v.Threshold[1], father);
  EXPECT_EQ(v.Threshold[2], mother);
  EXPECT_EQ(v.SimuRng.State(),
            (std::array<std::uint32_t, 4>{0x23881d82u, 0xdda5e25au, 0x93bc9ccfu, 0x393bd001u}));
}

// A sample file of 16 individuals at three loci: L1 codominant with the
// given number of alleles, only homozygotes observed, at the given rates;
// L2 codominant with four alleles and L3 dominant, both at rates 0.01.
std::string HomozygousLocusSample(int alleles, const std::string& drop1,
                                  const std::string& other1) {
  std::string s = "'Trials check'\nTrials\n16\n2 2\n1 1\n1\n0\n0\n3\n95\nL1 L2 L3\n0 0 1\n";
  s += drop1 + " 0.01 0.01\n" + other1 + " 0.01 0.01\n";
  for (int i = 1; i <= 16; ++i) {
    const std::string l1 = std::to_string(10 + 2 * (i % alleles));
    s += "I" + std::to_string(i) + " " + std::to_string(1 + i % 2) + " " + std::to_string(i % 3) +
         " " + l1 + " " + l1 + " " + std::to_string(1 + i % 4) + " " +
         std::to_string(1 + (i / 2) % 4) + " " + std::to_string(1 + (i / 3) % 2) + "\n";
  }
  return s + "0.5 0.5\n0\n0\n0\n0\n";
}

// At a locus where only homozygotes are seen, certain dropout together with
// other errors lets the trials make heterozygotes; where the error model
// gives one of them no probability above 1e-300 the run stops before the
// first trial, naming the locus and its rates. Otherwise the trials run, and
// each of their LODs is finite, or they would have ended in an internal
// error.
TEST_F(DetermineDeltaValueTest, GenotypesTheTrialsMakeImpossibleStopBeforeTheTrials) {
  const std::string heading = " Estimating parentage with pairwise approach\n";
  const std::string data2 = "Errors in DATA. Insufficient data or incorrect format.";
  const std::string data3 = "Please check DATA and format and then re-run the program";
  const std::string impossible = "make genotypes that the simulation produces impossible!";
  struct Case {
    const char* name;
    int alleles;
    std::string drop1, other1;
    std::vector<std::string> lines;  // empty: the trials run
  };
  const std::vector<Case> cases = {
      {"two alleles, both rates 1", 2, "1", "1",
       {"Locus L1: dropout rate 1 and other error rate 1", impossible, data2, data3}},
      {"four alleles, other errors just above 1e-300", 4, "1", "2e-300",
       {"Locus L1: dropout rate 1 and other error rate 2e-300", impossible, data2, data3}},
      {"two alleles, other errors just above 1e-300", 2, "1", "2e-300", {}},
      {"no other error: homozygotes only", 2, "1", "0", {}},
      {"other errors not above 1e-300 are not simulated", 4, "1", "1e-300", {}},
      {"four alleles, both rates 1", 4, "1", "1", {}},
      {"dropout below 1", 2, "0.5", "1", {}},
  };
  for (const Case& c : cases) {
    testutil::WriteFile("AgeSexGtype.dat", HomozygousLocusSample(c.alleles, c.drop1, c.other1));
    pairwise::Variables v;
    std::ostringstream quiet, console;
    testutil::PrepareCompanionData(v, quiet);
    ASSERT_EQ(v.ObsNumAllele[1], c.alleles) << c.name;
    std::vector<std::string> lines;
    try {
      pairwise::DetermineDeltaValue(v, console);
    } catch (const pairwise::CompanionStop& stop) {
      EXPECT_EQ(v.ErrorMessage, stop.lines) << c.name;
      for (const std::string& l : stop.lines)
        if (!l.empty()) lines.push_back(l);
      EXPECT_EQ(console.str(), heading) << c.name;  // not one trial ran
    }
    EXPECT_EQ(lines, c.lines) << c.name;
    if (!c.lines.empty()) continue;
    for (int s = 1; s <= 2; ++s)
      for (int j = 1; j <= 10; ++j) {
        const double t = v.Threshold[static_cast<std::size_t>(s)][static_cast<std::size_t>(j)];
        EXPECT_TRUE(t == kUnreached || (t >= 0.0 && t < 1e6)) << c.name << " " << s << " " << j;
      }
  }
}

TEST_F(DetermineDeltaValueTest, NoSimulatedCandidateLeavesEveryLevelUnreached) {
  pairwise::Variables v;
  Load(SmallPlan(), v);
  v.PropPrntSampled[1] = 1e9;  // refused by the readers; the step copes all the same
  ASSERT_EQ(pairwise::NumSimuCandidate(v, 1), 0);
  std::ostringstream console;
  pairwise::DetermineDeltaValue(v, console);
  for (int j = 1; j <= 10; ++j) EXPECT_EQ(v.Threshold[1][static_cast<std::size_t>(j)], kUnreached);
  EXPECT_NE(v.Threshold[2][10], kUnreached);
}

// A plain reading of the threshold trials, to hold the program's fast
// trials against: one uniform at a time from the companion's generator,
// every comparison of a uniform in double precision, genotypes as vectors,
// likelihoods from the direct single-locus formulas with the dyad's floor
// rule. Only the sort and walk of the margins are the program's own (they
// have their tests above).
class ReferenceTrials {
 public:
  explicit ReferenceTrials(const pairwise::Variables& v) : v_(v), rng_(v.SimuRng) {
    const int nl = v.NumLoci;
    allDominant_ = true;
    for (int l = 1; l <= nl; ++l) allDominant_ = allDominant_ && v.DominantMarker[Sz(l)] == 1;
    cum_.assign(Sz(nl) + 1, {});
    missing_.assign(Sz(nl) + 1, 0.0);
    for (int l = 1; l <= nl; ++l) {
      std::vector<double>& c = cum_[Sz(l)];
      const int n = v.ObsNumAllele[Sz(l)];
      if (allDominant_) {
        const double p1 = v.ObsAlleleFre(l, 1), p2 = v.ObsAlleleFre(l, 2);
        c = {0.0, p1 * p1, p1 * p1 + 2.0 * p1 * p2, 2.0};
      } else {
        c.assign(Sz(n) + 1, 2.0);
        double sum = 0.0;
        for (int i = 1; i < n; ++i) c[Sz(i)] = sum += v.ObsAlleleFre(l, i);
      }
      int untyped = 0;
      for (int i = 1; i <= v.SmplSize; ++i) untyped += v.IndivGtype(1, l, i) < 1 ? 1 : 0;
      for (int k = 1; k <= 2; ++k)
        for (int i = 1; i <= v.NumCandidate[Sz(k)]; ++i) untyped += v.CndGtype(1, l, i, k) < 1 ? 1 : 0;
      missing_[Sz(l)] = static_cast<double>(untyped) /
                        static_cast<double>(v.NumCandidate[1] + v.NumCandidate[2] + v.SmplSize);
      anyMissing_ = anyMissing_ || missing_[Sz(l)] > 1e-300;
    }
  }

  // Threshold per sex, as DetermineDeltaValue leaves it.
  std::array<std::array<double, 11>, 3> Run() {
    std::array<std::array<double, 11>, 3> th{};
    const int simu1 = pairwise::NumSimuCandidate(v_, 1), simu2 = pairwise::NumSimuCandidate(v_, 2);
    for (int w = 1; w <= 2; ++w) {
      if (v_.NumCandidate[Sz(w)] <= 0) continue;
      if (w == 2 && v_.NumCandidate[2] == v_.NumCandidate[1] && simu2 == simu1 &&
          (v_.NumKnownPrnt[1] > 0) == (v_.NumKnownPrnt[2] > 0)) {
        th[2] = th[1];
        continue;
      }
      th[Sz(w)] = SexThresholds(w, w == 1 ? simu1 : simu2);
    }
    return th;
  }
  const pairwise::UniformRng& Rng() const { return rng_; }

 private:
  using Genotype = std::vector<int>;  // alleles of locus l at 2l-2, 2l-1
  static std::size_t Sz(int n) { return static_cast<std::size_t>(n); }
  double U() { return static_cast<double>(rng_.Uniform()); }
  int* At(Genotype& g, int l) { return &g[Sz(2 * l - 2)]; }

  Genotype Parent() {
    Genotype g(Sz(2 * v_.NumLoci), 0);
    for (int l = 1; l <= v_.NumLoci; ++l) {
      const std::vector<double>& c = cum_[Sz(l)];
      int* a = At(g, l);
      if (allDominant_) {
        const double u = U();
        if (u <= c[1]) { a[0] = 1; a[1] = 1; }
        else if (u <= c[2]) { a[0] = 1; a[1] = 2; }
        else { a[0] = 2; a[1] = 2; }
        continue;
      }
      const double u1 = U(), u2 = U();
      const int n = v_.ObsNumAllele[Sz(l)];
      int i = 1;
      while (i < n && c[Sz(i)] < std::min(u1, u2)) ++i;
      a[0] = i;
      while (i < n && c[Sz(i)] < std::max(u1, u2)) ++i;
      a[1] = i;
    }
    return g;
  }

  Genotype Offspring(const Genotype& p1, const Genotype& p2) {
    Genotype g(p1.size(), 0);
    for (int l = 1; l <= v_.NumLoci; ++l) {
      const double u1 = U(), u2 = U();
      g[Sz(2 * l - 2)] = p1[Sz(2 * l - 2 + (u1 >= 0.5 ? 1 : 0))];
      g[Sz(2 * l - 1)] = p2[Sz(2 * l - 2 + (u2 >= 0.5 ? 1 : 0))];
    }
    return g;
  }

  // Each locus by its own rates: dropout, other errors; then the normal
  // form; then missing data.
  void Change(Genotype& g) {
    for (int l = 1; l <= v_.NumLoci; ++l) {
      int* a = At(g, l);
      const double d = v_.DropRate[Sz(l)], e = v_.OtherErrorRate[Sz(l)];
      if (d > 1e-300 && a[0] != a[1] && d > U()) {
        if (U() < 0.5) a[1] = a[0]; else a[0] = a[1];
      }
      if (e > 1e-300) {
        for (int k = 0; k < 2; ++k) {
          if (!(e > U())) continue;
          const float x = rng_.Uniform() * static_cast<float>(v_.ObsNumAllele[Sz(l)] - 1);
          a[k] = 1 + static_cast<int>(std::round(x));
        }
      }
    }
    for (int l = 1; l <= v_.NumLoci; ++l) {
      int* a = At(g, l);
      if (v_.DominantMarker[Sz(l)] == 1 && a[0] != a[1]) a[0] = a[1] = 1;
      if (v_.DominantMarker[Sz(l)] != 1 && a[0] > a[1]) std::swap(a[0], a[1]);
    }
    if (!anyMissing_) return;
    for (int l = 1; l <= v_.NumLoci; ++l) {
      const double m = missing_[Sz(l)];
      if (m > 1e-300 && m > U()) At(g, l)[0] = At(g, l)[1] = 0;
    }
  }

  double SingleLogL(const Genotype& g) const {
    double sum = 0.0;
    for (int l = 1; l <= v_.NumLoci; ++l)
      if (v_.ObsNumAllele[Sz(l)] > 1 && g[Sz(2 * l - 2)] >= 1)
        sum += std::log(pairwise::SingleGenotypeProb(v_, l, g[Sz(2 * l - 2)], g[Sz(2 * l - 1)]));
    return sum;
  }

  double Dyad(const Genotype& g1, const Genotype& g2, double floor) const {
    double h = 0.0;
    for (int l = 1; l <= v_.NumLoci; ++l) {
      const int a1 = g1[Sz(2 * l - 2)], a2 = g1[Sz(2 * l - 1)];
      const int b1 = g2[Sz(2 * l - 2)], b2 = g2[Sz(2 * l - 1)];
      if (v_.ObsNumAllele[Sz(l)] <= 1 || (a1 < 1 && b1 < 1)) continue;
      if (floor >= h) return h;
      if (a1 < 1 || b1 < 1) {
        const double p = a1 < 1 ? pairwise::SingleGenotypeProb(v_, l, b1, b2)
                                : pairwise::SingleGenotypeProb(v_, l, a1, a2);
        h = std::max(floor, h + std::log(p));
        continue;
      }
      const double g = pairwise::PairGenotypeProb(v_, l, a1, a2, b1, b2);
      h = g > 1e-300 ? std::max(floor, h + std::log(g)) : floor;
    }
    return h;
  }

  std::array<double, 11> SexThresholds(int w, int numSimu) {
    const int n = pairwise::kNumTrials;
    std::vector<double> delta(Sz(n) + 1, 0.0);
    std::vector<char> truth(Sz(n) + 1, 0);
    for (int z = 1; z <= n; ++z) {
      Genotype p1 = Parent();
      Genotype p2 = Parent();
      Genotype off = Offspring(p1, p2);
      Change(off);
      Change(p1);
      Change(p2);
      const double vec1 = SingleLogL(off);
      double best1 = 0.0, best2 = 0.0;
      int chosen = 0;
      const bool trueSampled = U() <= v_.PropPrntSampled[Sz(w)];
      for (int i = 1; i <= numSimu; ++i) {
        Genotype cand;
        if (i == 1 && trueSampled) {
          cand = p1;
        } else {
          cand = Parent();
          Change(cand);
        }
        const double unrel = vec1 + SingleLogL(cand);
        const double lod = Dyad(cand, off, unrel + best2) - unrel;
        if (lod > best1) {
          best2 = best1;
          best1 = lod;
          chosen = i;
        } else {
          best2 = std::max(best2, lod);
        }
      }
      delta[Sz(z)] = best1 - best2;
      truth[Sz(z)] = trueSampled && chosen == 1 ? 1 : 0;
    }
    return pairwise::ThresholdsFromTrials(n, delta, truth);
  }

  const pairwise::Variables& v_;
  pairwise::UniformRng rng_;
  bool allDominant_ = true, anyMissing_ = false;
  std::vector<std::vector<double>> cum_;  // [l][1..classes], the last 2.0
  std::vector<double> missing_;           // [l]
};

using V = const pairwise::Variables&;
bool IsDominant(V v, int l) { return v.DominantMarker[static_cast<std::size_t>(l)] == 1; }
bool IsErrorFree(V v, int l) { return v.LocusError[static_cast<std::size_t>(l)] == 0; }
bool HasNoDyadTable(V v, int l) { return v.LikTables.Locus[static_cast<std::size_t>(l)].Term.empty(); }
int CountLoci(V v, bool (*pred)(V, int)) {
  int n = 0;
  for (int l = 1; l <= v.NumLoci; ++l) n += pred(v, l) ? 1 : 0;
  return n;
}

// The fast trials (draws ahead in blocks, 24-bit integer bounds, lookup
// tables, genotype numbers) against the plain reading, on samples that take
// their different paths.
TEST_F(DetermineDeltaValueTest, FastTrialsEqualAPlainReading) {
  struct Case {
    const char* name;
    testutil::SamplePlan plan;
    std::vector<std::array<double, 2>> rates;  // per locus (dropout, other) when given
    bool (*takesPath)(V);  // the sample is what its name says
  };
  auto plan = [](int smpl, int loci, int alleles, int dominant, double drop, double other, double missing,
                 std::uint64_t seed) {
    testutil::SamplePlan p;
    p.SmplSize = smpl;
    p.NumLoci = loci;
    p.NumAlleles = alleles;
    p.NumDominantLoci = dominant;
    p.DropRate = drop;
    p.OtherErrorRate = other;
    p.MissingRate = missing;
    p.Seed = seed;
    return p;
  };
  // Candidates from age 3 only, to keep the larger sample's trials short.
  auto fewCandidates = [](testutil::SamplePlan p) {
    p.MinParentAge = {0, 3, 3};
    return p;
  };
  const std::vector<Case> cases = {
      {"all dominant", plan(40, 12, 2, 12, 0.02, 0.03, 0.05, 11), {},
       [](V v) { return CountLoci(v, IsDominant) == v.NumLoci; }},
      {"codominant and dominant", plan(40, 8, 5, 3, 0.02, 0.02, 0.05, 12), {},
       [](V v) { return CountLoci(v, IsDominant) == 3; }},
      {"error-free loci among erroneous ones", plan(40, 8, 5, 2, 0.0, 0.0, 0.03, 13),
       {{0.0, 0.0}, {0.25, 0.1}, {0.0, 0.0}, {0.3, 0.2}, {0.05, 0.0}, {0.0, 0.15}, {0.0, 0.0}, {0.2, 0.3}},
       [](V v) { return v.MarkerErrorFreeQ && CountLoci(v, IsErrorFree) == 3; }},
      {"many alleles, no dyad table", fewCandidates(plan(120, 3, 150, 0, 0.03, 0.03, 0.02, 14)), {},
       [](V v) { return CountLoci(v, HasNoDyadTable) >= 1; }},
      {"high dropout", plan(40, 8, 6, 0, 0.4, 0.05, 0.1, 15), {},
       [](V v) { return v.DropRate[1] == 0.4; }},
  };
  for (const Case& c : cases) {
    pairwise::Variables v;
    Load(c.plan, v);
    if (!c.rates.empty()) {
      for (int l = 1; l <= v.NumLoci; ++l) {
        v.DropRate[static_cast<std::size_t>(l)] = c.rates[static_cast<std::size_t>(l - 1)][0];
        v.OtherErrorRate[static_cast<std::size_t>(l)] = c.rates[static_cast<std::size_t>(l - 1)][1];
      }
      pairwise::BuildErrorModel(v);
      pairwise::BuildLikelihoodTables(v);
    }
    ASSERT_TRUE(c.takesPath(v)) << c.name;
    ReferenceTrials ref(v);
    const auto want = ref.Run();
    std::ostringstream console;
    pairwise::DetermineDeltaValue(v, console);
    EXPECT_EQ(v.Threshold[1], want[1]) << c.name;
    EXPECT_EQ(v.Threshold[2], want[2]) << c.name;
    EXPECT_EQ(v.SimuRng.State(), ref.Rng().State()) << c.name;
    EXPECT_NE(v.Threshold[1][10], kUnreached) << c.name;  // the trials found true parents
  }
}

}  // namespace
