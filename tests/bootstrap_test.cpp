#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <filesystem>
#include <set>
#include <sstream>

#include "common/fixed_format.h"
#include "estimation/bootstrap.h"
#include "estimation/control_reader.h"
#include "estimation/estimation_pass.h"
#include "estimation/main_flow.h"
#include "estimation/simulate.h"
#include "sample_generator.h"
#include "test_util.h"

using namespace estimation;

namespace {

// An AgeVariables with point estimates in every quantity: males with two
// age classes, females with three.
AgeVariables PointEstimates(int reps) {
  AgeVariables av;
  av.NumAgeClass = {5, 2, 3};
  av.MaxNumAgeClass = 3;
  av.NumCI95Sample = reps;
  for (auto& e : av.Estimate) e.Reset(1, 5, 1, 4, 0.0);
  av.NeEstimate[0] = 100;
  for (int k = 1; k <= 3; ++k) av.GIEstimate[k][0] = 3.0;
  for (int k = 1; k <= 3; ++k)
    for (int s = 1; s <= 2; ++s) av.Var[k][s][0] = 1.0;
  for (int row = 1; row <= 5; ++row)
    for (int col = 1; col <= 4; ++col) av.Estimate[0](row, col) = 10.0;
  return av;
}

// Replicate r of every quantity gets base + r (so the values 1..n in order
// of the replicates when base is 0), Ne 10 r.
ReplicateStore Ramp(int n, double base = 0.0) {
  ReplicateStore st(n, 5);
  for (int rep = 1; rep <= n; ++rep) {
    st.NeRep[rep] = 10 * rep;
    for (int q = 0; q <= ReplicateStore::Est(5, 4); ++q) st.At(q, rep) = base + rep;
  }
  return st;
}

}  // namespace

TEST(RankPositions, LowerUpperAndMedianRanks) {
  struct Case { int n, lo, hi, med; };
  for (const Case c : {Case{1, 1, 1, 1}, Case{2, 1, 2, 1}, Case{10, 1, 10, 5}, Case{12, 1, 12, 6},
                       Case{40, 1, 39, 20}, Case{100, 3, 98, 50}, Case{1000, 25, 975, 500},
                       Case{100000, 2500, 97500, 50000}}) {
    const RankPositions r = FindRankPositions(c.n);
    EXPECT_EQ(r.lo, c.lo) << c.n;
    EXPECT_EQ(r.hi, c.hi) << c.n;
    EXPECT_EQ(r.med, c.med) << c.n;
  }
}

TEST(PercentileBounds, TakeRankedValuesAndLeaveTheKeysInPlace) {
  const std::vector<double> v = {0, 5, 3, 9, 1, 7, 3, 3, 8, 2, 6};
  const PercentileBounds b = FindPercentileBounds(v, FindRankPositions(10));
  EXPECT_EQ(b.lower, 1);
  EXPECT_EQ(b.upper, 9);
  EXPECT_EQ(b.median, 3);  // ties: 1 2 3 3 3 5 ...
  EXPECT_EQ(v, (std::vector<double>{0, 5, 3, 9, 1, 7, 3, 3, 8, 2, 6}));
}

TEST(HarmonicMeanNe, RoundedMeanOrTheMedianWhenAReplicateIsZero) {
  EXPECT_EQ(HarmonicMeanNe({0, 100, 200, 400}, 200), 171);  // 3 / 0.0175 = 171.43
  EXPECT_EQ(HarmonicMeanNe({0, 50}, 50), 50);
  EXPECT_EQ(HarmonicMeanNe({0, 3, 1}, 3), 2);               // 2 / (4/3) = 1.5 rounds to 2
  EXPECT_EQ(HarmonicMeanNe({0, 100, 0, 400}, 77), 77);
  EXPECT_EQ(HarmonicMeanNe({0, 100, -5, 400}, 77), 77);
}

TEST(FindIntervals, PointsOnOrOutsideABoundAreReplaced) {
  // n = 10: lower bound = rank 1 (value 1), upper = rank 10 (value 10),
  // median = rank 5 (value 5).
  AgeVariables av = PointEstimates(10);
  av.GIEstimate[1][0] = 1.0;                      // on the lower bound
  av.GIEstimate[2][0] = 10.0;                     // on the upper bound
  av.GIEstimate[3][0] = 9.5;                      // inside
  av.Var[1][1][0] = 0.5;                          // below
  av.Var[2][2][0] = 1.0000001;                    // just inside
  av.Estimate[0](3, 2) = 2.0;                     // inside; the rest (10) is on a bound
  av.NeEstimate[0] = 150;                         // Ne bounds 10 and 100: outside
  FindIntervals(av, Ramp(10));
  EXPECT_EQ(av.NeEstimate[1], 10);
  EXPECT_EQ(av.NeEstimate[2], 100);
  // Harmonic mean of 10, 20, ..., 100.
  double sum = 0.0;
  for (int r = 1; r <= 10; ++r) sum += 1.0 / (10.0 * r);
  EXPECT_EQ(av.NeEstimate[0], common::RoundHalfAway(10.0 / sum));
  EXPECT_EQ(av.GIEstimate[1][0], 5.0);
  EXPECT_EQ(av.GIEstimate[2][0], 5.0);
  EXPECT_EQ(av.GIEstimate[3][0], 9.5);
  EXPECT_EQ(av.Var[1][1][0], 5.0);
  EXPECT_EQ(av.Var[2][2][0], 1.0000001);
  EXPECT_EQ(av.Estimate[0](3, 2), 2.0);
  EXPECT_EQ(av.Estimate[0](1, 1), 5.0);
  for (int row = 1; row <= 5; ++row)
    for (int col = 1; col <= 4; ++col) {
      EXPECT_EQ(av.Estimate[1](row, col), 1.0);
      EXPECT_EQ(av.Estimate[2](row, col), 10.0);
    }
  EXPECT_EQ(av.GIEstimate[2][1], 1.0);
  EXPECT_EQ(av.Var[3][2][2], 10.0);
}

TEST(FindIntervals, InsideNeIsKeptAndAZeroReplicateNeGivesTheMedian) {
  AgeVariables av = PointEstimates(10);
  av.NeEstimate[0] = 55;
  FindIntervals(av, Ramp(10));
  EXPECT_EQ(av.NeEstimate[0], 55);
  av = PointEstimates(10);
  av.NeEstimate[0] = 150;
  ReplicateStore st = Ramp(10);
  st.NeRep[4] = 0;  // values 0, 10, 20, 30, 50, ...: median rank 5 = 50
  FindIntervals(av, st);
  EXPECT_EQ(av.NeEstimate[1], 0);
  EXPECT_EQ(av.NeEstimate[0], 50);
}

TEST(FindIntervals, AllReplicatesEqualReplaceEveryPoint) {
  AgeVariables av = PointEstimates(7);
  av.Estimate[0](2, 1) = 4.0;  // equal to the replicates: on both bounds
  ReplicateStore st(7, 5);
  for (int rep = 1; rep <= 7; ++rep) {
    st.NeRep[rep] = 80;
    for (int q = 0; q <= ReplicateStore::Est(5, 4); ++q) st.At(q, rep) = 4.0;
  }
  FindIntervals(av, st);
  EXPECT_EQ(av.NeEstimate[0], 80);
  for (int row = 1; row <= 5; ++row)
    for (int col = 1; col <= 4; ++col) {
      EXPECT_EQ(av.Estimate[0](row, col), 4.0);
      EXPECT_EQ(av.Estimate[1](row, col), 4.0);
      EXPECT_EQ(av.Estimate[2](row, col), 4.0);
    }
  EXPECT_EQ(av.GIEstimate[3][0], 4.0);
  EXPECT_EQ(av.Var[2][1][0], 4.0);
}

TEST(FindIntervals, OneReplicateIsBoundsAndPointEstimate) {
  AgeVariables av = PointEstimates(1);
  ReplicateStore st = Ramp(1, 6.0);  // every value 7, Ne 10
  FindIntervals(av, st);
  EXPECT_EQ(av.NeEstimate[0], 10);
  EXPECT_EQ(av.NeEstimate[1], 10);
  EXPECT_EQ(av.NeEstimate[2], 10);
  EXPECT_EQ(av.GIEstimate[1][0], 7.0);
  EXPECT_EQ(av.Estimate[0](5, 4), 7.0);
  EXPECT_EQ(av.Estimate[1](5, 4), 7.0);
}

TEST(FindIntervals, KnownSamplingProbabilitiesAreNotBounded) {
  AgeVariables av = PointEstimates(10);
  av.SamplingPrbKnown = 1;
  av.Estimate[0](1, 3) = 0.25;
  FindIntervals(av, Ramp(10));
  EXPECT_EQ(av.Estimate[0](1, 3), 0.25);
  EXPECT_EQ(av.Estimate[1](1, 3), 0.0);
  EXPECT_EQ(av.Estimate[0](1, 2), 5.0);
}

// Three pass results, each with its own value in every quantity, stored as
// replicates 1 to 3: every cell of every replicate comes back as stored, so
// two replicates or two quantities exchanged on the way show. Through the
// intervals, replicate 1 (the smallest values) becomes the lower and
// replicate 3 the upper bound of its own quantity.
TEST(ReplicateStore, EveryQuantityOfAPassLandsInItsOwnCell) {
  auto value = [](int rep, double cell) { return cell + 0.25 * rep; };
  auto giCell = [](int k) { return 10.0 + k; };
  auto varCell = [](int k, int s) { return 20.0 + 10.0 * s + k; };
  auto estCell = [](int row, int col) { return 100.0 * row + col; };
  ReplicateStore st(3, 5);
  for (int rep = 1; rep <= 3; ++rep) {
    PassResult res;
    res.Ne = 70 + rep;
    for (int k = 1; k <= 3; ++k) res.GI[k] = value(rep, giCell(k));
    for (int s = 1; s <= 2; ++s)
      for (int k = 1; k <= 3; ++k) res.Var[k][s] = value(rep, varCell(k, s));
    EstimateBlock est(1, 5, 1, 4, 0.0);
    for (int row = 1; row <= 5; ++row)
      for (int col = 1; col <= 4; ++col) est(row, col) = value(rep, estCell(row, col));
    st.Store(rep, res, est);
  }

  const char* gi[] = {"", "overall generation interval", "paternal generation interval",
                      "maternal generation interval"};
  const char* var[3][4] = {
      {}, {"", "Var(mm)", "Var(mf)", "Cov(mm,mf)"}, {"", "Var(fm)", "Var(ff)", "Cov(fm,ff)"}};
  const char* column[] = {"", "P", "N", "S", "effective size"};
  for (int rep = 1; rep <= 3; ++rep) {
    SCOPED_TRACE("replicate " + std::to_string(rep));
    EXPECT_EQ(st.NeRep[rep], 70 + rep) << "Ne";
    for (int k = 1; k <= 3; ++k)
      EXPECT_EQ(st.Keys(ReplicateStore::GI(k))[rep], value(rep, giCell(k))) << gi[k];
    for (int s = 1; s <= 2; ++s)
      for (int k = 1; k <= 3; ++k)
        EXPECT_EQ(st.Keys(ReplicateStore::VarQ(k, s))[rep], value(rep, varCell(k, s))) << var[s][k];
    for (int row = 1; row <= 5; ++row)
      for (int col = 1; col <= 4; ++col)
        EXPECT_EQ(st.Keys(ReplicateStore::Est(row, col))[rep], value(rep, estCell(row, col)))
            << column[col] << " of row " << row;
  }

  AgeVariables av = PointEstimates(3);
  FindIntervals(av, st);
  for (int layer = 1; layer <= 2; ++layer) {
    const int rep = layer == 1 ? 1 : 3;
    SCOPED_TRACE(layer == 1 ? "lower bound" : "upper bound");
    EXPECT_EQ(av.NeEstimate[layer], 70 + rep) << "Ne";
    for (int k = 1; k <= 3; ++k) EXPECT_EQ(av.GIEstimate[k][layer], value(rep, giCell(k))) << gi[k];
    for (int s = 1; s <= 2; ++s)
      for (int k = 1; k <= 3; ++k)
        EXPECT_EQ(av.Var[k][s][layer], value(rep, varCell(k, s))) << var[s][k];
    for (int row = 1; row <= 5; ++row)
      for (int col = 1; col <= 4; ++col)
        EXPECT_EQ(av.Estimate[layer](row, col), value(rep, estCell(row, col)))
            << column[col] << " of row " << row;
  }
}

// A class of one member (an estimate of 0.5) and one of 100000, the two
// bounds of the test, pass it and seed a population that holds exactly
// those classes, from which a sample of distinct individuals is drawn.
TEST(FindCI95, ClassSizesAtTheBoundsOfTheTestCanSeedASimulation) {
  AgeVariables av = PointEstimates(3);
  av.SmplSize = 10;
  av.SexAgeSize.Reset(0, 3, 1, 2, 1);
  for (int row = 1; row <= 5; ++row) av.Estimate[0](row, 1) = row <= 2 ? 0.25 : 0.5 / 3;
  av.Estimate[0](2, 2) = 0.5;       // males of age 2
  av.Estimate[0](3, 2) = 100000.0;  // females of age 1
  ASSERT_EQ(BootstrapSeedProblem(av), "");

  // One codominant locus with two alleles.
  av.NumLoci = 1;
  av.ObsNumAllele = {0, 2};
  av.MaxObsNumAllele = 2;
  av.Dominant = {0, 0};
  av.DropRate = {0, 0.0};
  av.OtherRate = {0, 0.0};
  av.ObsMissingShare = {0, 0.0};
  av.ObsAlleleFre.Reset(1, 1, 1, 2, 0.5);
  av.ObsAlleleCode.Reset(1, 1, 1, 2, 0);
  av.Rng.Idum = -1234;
  BuildSimulationInputs(av);
  SimuPopulation pop;
  SimuSample sample;
  Simulate(av, pop, sample);

  EXPECT_EQ(pop.Sex[1].Class[2].size(), 1u);
  EXPECT_EQ(pop.Sex[2].Class[1].size(), 100000u);
  EXPECT_EQ(pop.Sex[2].Class[0].size(), 100000u);  // newborns fill the large class
  ASSERT_EQ(sample.Number.size(), 11u);
  std::set<std::pair<int, int>> drawn;  // (sex, member number)
  int oldMales = 0;
  for (int i = 1; i <= 10; ++i) {
    EXPECT_TRUE(drawn.insert({sample.Sex[i], sample.Number[i]}).second) << "drawn twice: " << i;
    if (sample.Sex[i] == 1 && sample.Age[i] == 2) ++oldMales;
  }
  EXPECT_LE(oldMales, 1);
}

TEST(BuildSimulationInputs, SharesSizesAndSampleDistributionWithUnequalClasses) {
  AgeVariables av = PointEstimates(5);
  const double P[6] = {0, 0.3, 0.2, 0.1, 0.25, 0.15};
  const double N[6] = {0, 40.5, 12.49, 30.0, 20.5, 1.5};
  for (int row = 1; row <= 5; ++row) {
    av.Estimate[0](row, 1) = P[row];
    av.Estimate[0](row, 2) = N[row];
  }
  av.SexAgeSize.Reset(0, 3, 1, 2, 0);
  // Males ages 0..2: 10, 5, 5; females ages 0..3: 50, 10, 15, 5.
  const int n[2][4] = {{10, 5, 5, -99}, {50, 10, 15, 5}};
  for (int i = 0; i <= 3; ++i) {
    av.SexAgeSize(i, 2) = n[1][i];
    if (i <= 2) av.SexAgeSize(i, 1) = n[0][i];
  }
  av.SexAgeSize(3, 1) = 7;  // beyond the males' classes: not part of the cells
  BuildSimulationInputs(av);
  for (int row = 1; row <= 5; ++row) EXPECT_EQ(av.ReproductionRate[row], P[row]);
  EXPECT_EQ(av.AgeClassSize(1, 1), 41);   // 40.5 rounds away from zero
  EXPECT_EQ(av.AgeClassSize(2, 1), 12);
  EXPECT_EQ(av.AgeClassSize(0, 1), 41);   // larger of 10 sampled and class 1
  EXPECT_EQ(av.AgeClassSize(1, 2), 30);
  EXPECT_EQ(av.AgeClassSize(2, 2), 21);
  EXPECT_EQ(av.AgeClassSize(3, 2), 2);
  EXPECT_EQ(av.AgeClassSize(0, 2), 50);   // more newborns sampled than class 1 holds
  EXPECT_EQ(av.AgeClassSize(3, 1), 0);    // not set
  const double want[2][4] = {{0.1, 0.15, 0.2, 0.0}, {0.7, 0.8, 0.95, 2.0}};
  for (int i = 0; i <= 3; ++i) {
    EXPECT_DOUBLE_EQ(av.SampleFre(i, 1), want[0][i]) << i;
    EXPECT_DOUBLE_EQ(av.SampleFre(i, 2), want[1][i]) << i;
  }
}

TEST(FindCI95, PointEstimatesThatCannotSeedASimulationStopBeforeTheFirstReplicate) {
  struct Case { int row, col; double value; std::string message; };
  const std::string tail = "; re-run with 0 bootstrapping samples";
  for (const Case& c : {
           Case{4, 2, 0.0, "Bootstrapping impossible: an estimated class size of females is below 0.5 or above 100000" + tail},
           Case{1, 2, 0.4, "Bootstrapping impossible: an estimated class size of males is below 0.5 or above 100000" + tail},
           Case{2, 2, NAN, "Bootstrapping impossible: an estimated class size of males is below 0.5 or above 100000" + tail},
           Case{3, 2, 2e5, "Bootstrapping impossible: an estimated class size of females is below 0.5 or above 100000" + tail},
           Case{2, 1, -0.1, "Bootstrapping impossible: the estimated shares of reproduction of males are not valid" + tail},
       }) {
    testutil::ScopedTempDir dir;
    AgeVariables av = PointEstimates(3);
    av.SmplSize = 10;
    av.SexAgeSize.Reset(0, 3, 1, 2, 1);
    for (int row = 1; row <= 5; ++row) av.Estimate[0](row, 1) = row <= 2 ? 0.25 : 0.5 / 3;
    av.Estimate[0](c.row, c.col) = c.value;
    std::ostringstream console;
    av.Console = &console;
    try {
      FindCI95(av);
      ADD_FAILURE() << "no stop for row " << c.row;
    } catch (const StopError& e) {
      EXPECT_EQ(e.what(), c.message);
    }
    EXPECT_EQ(console.str(), "");
    EXPECT_FALSE(testutil::FileExists("AgeSexGtype.dat"));
  }
}

TEST(FindCI95, SharesOfASexThatSumToZeroStop) {
  AgeVariables av = PointEstimates(3);
  av.SmplSize = 10;
  av.SexAgeSize.Reset(0, 3, 1, 2, 1);
  for (int row = 1; row <= 5; ++row) av.Estimate[0](row, 1) = row <= 2 ? 0.25 : 0.0;
  EXPECT_EQ(BootstrapSeedProblem(av),
            "Bootstrapping impossible: the estimated shares of reproduction of females are not valid; "
            "re-run with 0 bootstrapping samples");
}

// ------------------------------------------------------------- end to end

namespace {

testutil::SamplePlan SmallPlan() {
  testutil::SamplePlan plan;
  plan.SmplSize = 160;
  plan.NumLoci = 10;
  plan.NumDominantLoci = 1;
  plan.NumAgeClass = {0, 3, 3};
  plan.PropPrntSampled = {0.0, 0.5, 0.5};
  plan.Seed = 7;
  plan.FName = "Boot";
  return plan;
}

// The generated sample with the number of replicates replaced (line 8).
std::string ControlFile(const testutil::SamplePlan& plan, int reps) {
  std::istringstream in(testutil::GenerateSample(plan).Text);
  std::string out, line;
  for (int k = 1; std::getline(in, line); ++k) out += (k == 8 ? std::to_string(reps) : line) + "\n";
  return out;
}

void InstallCompanion() {
  std::filesystem::copy_file(COMPANION_EXE, "Wendivarquil");
  std::filesystem::permissions("Wendivarquil", std::filesystem::perms::owner_all);
}

}  // namespace

TEST(FindCI95EndToEnd, IntervalsHoldEveryPointEstimate) {
  testutil::ScopedTempDir dir;
  InstallCompanion();
  testutil::WriteFile("Tavimorelund.dat", ControlFile(SmallPlan(), 6));
  AgeVariables av;
  std::ostringstream console;
  av.Console = &console;
  ReadData(av);
  ASSERT_EQ(av.NumCI95Sample, 6);
  CopyFile("Tavimorelund.dat", "AgeSexGtype.dat");
  Initiate(av);
  av.CrrtOS = 2;
  PassResult res;
  EstimateByMarker(av, 0, res, av.NumAgeClass, av.Estimate[0]);
  av.NeEstimate[0] = res.Ne;
  for (int k = 1; k <= 3; ++k) {
    av.GIEstimate[k][0] = res.GI[k];
    for (int s = 1; s <= 2; ++s) av.Var[k][s][0] = res.Var[k][s];
  }
  FindCI95(av);
  const std::string out = console.str();
  EXPECT_NE(out.find("\n Bootstraping Replicate=           5\n"), std::string::npos) << out;
  EXPECT_EQ(out.find("Bootstraping"), out.rfind("Bootstraping"));  // replicate 5 only
  EXPECT_NE(out.find("replicate=6"), std::string::npos);
  auto inside = [](double p, double lo, double hi) { return lo <= p && p <= hi; };
  EXPECT_TRUE(inside(av.NeEstimate[0], av.NeEstimate[1], av.NeEstimate[2]));
  for (int k = 1; k <= 3; ++k) {
    EXPECT_TRUE(inside(av.GIEstimate[k][0], av.GIEstimate[k][1], av.GIEstimate[k][2])) << k;
    for (int s = 1; s <= 2; ++s) EXPECT_TRUE(inside(av.Var[k][s][0], av.Var[k][s][1], av.Var[k][s][2]));
  }
  for (int row = 1; row <= av.NumAgeClass[0]; ++row)
    for (int col = 1; col <= 4; ++col)
      EXPECT_TRUE(inside(av.Estimate[0](row, col), av.Estimate[1](row, col), av.Estimate[2](row, col)))
          << row << " " << col;
  // The original data's tables are those of the report.
  EXPECT_EQ(av.SexAgeSize0(1, 1) + av.SexAgeSize0(1, 2) + av.SexAgeSize0(0, 1) + av.SexAgeSize0(0, 2) +
                av.SexAgeSize0(2, 1) + av.SexAgeSize0(2, 2) + av.SexAgeSize0(3, 1) + av.SexAgeSize0(3, 2),
            160);
}

TEST(FindCI95EndToEnd, ReportShowsTheIntervals) {
  testutil::ScopedTempDir dir;
  InstallCompanion();
  testutil::WriteFile("Tavimorelund.dat", ControlFile(SmallPlan(), 5));
  const testutil::RunResult r = testutil::RunProgram(MAIN_EXE);
  EXPECT_EQ(r.exit_status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find(" Bootstraping Replicate=           5"), std::string::npos) << r.out;
  const std::string report = testutil::ReadFile("Boot.Ne");
  EXPECT_NE(report.find("CI95L"), std::string::npos) << report;
  EXPECT_NE(report.find("CI95U"), std::string::npos);
}
