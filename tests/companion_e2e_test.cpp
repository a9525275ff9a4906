// The companion program from "AgeSexGtype.dat" to both assignment files, on
// samples with known true parents.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "companion_steps.h"
#include "pairwise/companion.h"
#include "pairwise/inference.h"
#include "sample_generator.h"
#include "test_util.h"

namespace {

struct Assigned {
  std::string parent, confidence;
};

// Rows of an assignment file by offspring identifier; checks the layout.
std::map<std::string, Assigned> ReadAssignments(const std::string& name) {
  std::istringstream in(testutil::ReadFile(name));
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "          OffspringID          CandidateID           Confidence");
  std::map<std::string, Assigned> rows;
  while (std::getline(in, line)) {
    EXPECT_EQ(line.size(), 63u) << line;
    std::istringstream f(line);
    std::string off, par, conf;
    f >> off >> par >> conf;
    EXPECT_EQ(rows.count(off), 0u) << "two rows for " << off;
    rows[off] = {par, conf};
  }
  return rows;
}

struct Score {
  int withSampledParent = 0, correct = 0;  // offspring that could be assigned
  int at95 = 0, correctAt95 = 0;
};

Score ScoreSex(const testutil::GeneratedSample& g, const testutil::SamplePlan& plan, int sex,
               const std::map<std::string, Assigned>& rows, bool onlyOtherKnown = false) {
  Score s;
  const auto sz = static_cast<std::size_t>(sex);
  const std::vector<int>& truth = sex == 1 ? g.TrueFather : g.TrueMother;
  const std::vector<int>& otherKnown = sex == 1 ? g.KnownMother : g.KnownFather;
  for (std::size_t i = 1; i < g.ID.size(); ++i) {
    if (onlyOtherKnown && otherKnown[i] < 1) continue;
    const bool passes = g.Age[i] <= plan.NumAgeClass[sz] - plan.MinParentAge[sz];
    const auto it = rows.find(g.ID[i]);
    if (!passes) {
      EXPECT_TRUE(it == rows.end()) << g.ID[i] << " passes no age filter";
      continue;
    }
    const bool right = it != rows.end() && truth[i] > 0 && it->second.parent == g.ID[static_cast<std::size_t>(truth[i])];
    if (truth[i] > 0) ++s.withSampledParent;
    if (right) ++s.correct;
    if (it != rows.end() && it->second.confidence == "95%") {
      ++s.at95;
      if (right) ++s.correctAt95;
    }
  }
  return s;
}

testutil::SamplePlan RealisticPlan() {
  testutil::SamplePlan s;
  s.SmplSize = 300;
  s.NumLoci = 12;
  s.NumAlleles = 8;
  s.NumAgeClass = {0, 4, 5};
  s.MinParentAge = {0, 1, 2};
  s.PropPrntSampled = {0.0, 0.5, 0.6};
  s.DropRate = 0.01;
  s.OtherErrorRate = 0.01;
  s.MissingRate = 0.03;
  s.Seed = 2024;
  s.FName = "Herd";
  return s;
}

TEST(CompanionEndToEnd, AssignsMostTrueParentsAnd95PercentRowsAreRight) {
  testutil::ScopedTempDir dir;
  const testutil::SamplePlan plan = RealisticPlan();
  const testutil::GeneratedSample g = testutil::GenerateSample(plan);
  testutil::WriteFile("AgeSexGtype.dat", g.Text);
  std::ostringstream console;
  ASSERT_EQ(pairwise::RunCompanion(console), 0) << console.str();
  for (int sex = 1; sex <= 2; ++sex) {
    const auto rows = ReadAssignments(sex == 1 ? "Herd.PairwisePaternity" : "Herd.PairwiseMaternity");
    const Score s = ScoreSex(g, plan, sex, rows);
    ASSERT_GT(s.withSampledParent, 50) << "sample too small to judge";
    EXPECT_GE(s.correct, 0.7 * s.withSampledParent) << "sex " << sex;
    // The trials simulate unrelated candidates; in a small population an
    // unsampled parent's own parent or sibling sometimes takes its place.
    ASSERT_GT(s.at95, 30);
    EXPECT_GE(s.correctAt95, 0.9 * s.at95) << "sex " << sex;
  }
  EXPECT_FALSE(testutil::FileExists("ErrorMessage"));
}

// Offspring with a known mother are ranked against the simulated thresholds
// too: most of their fathers at 95 % are the true ones, although half of the
// fathers were not sampled.
TEST(CompanionEndToEnd, KnownOtherParentKeepsTheCalibration) {
  testutil::ScopedTempDir dir;
  testutil::SamplePlan plan = RealisticPlan();
  plan.NumKnownMothers = 120;
  plan.NumKnownFathers = 10;
  const testutil::GeneratedSample g = testutil::GenerateSample(plan);
  testutil::WriteFile("AgeSexGtype.dat", g.Text);
  std::ostringstream console;
  ASSERT_EQ(pairwise::RunCompanion(console), 0) << console.str();
  const auto fathers = ReadAssignments("Herd.PairwisePaternity");
  const Score s = ScoreSex(g, plan, 1, fathers, true);
  ASSERT_GT(s.at95, 10);
  EXPECT_GE(s.correctAt95, 0.9 * s.at95);
  const auto mothers = ReadAssignments("Herd.PairwiseMaternity");
  for (std::size_t i = 1; i < g.ID.size(); ++i) {
    if (g.KnownMother[i] < 1 || g.Age[i] > plan.NumAgeClass[2] - plan.MinParentAge[2]) continue;
    ASSERT_EQ(mothers.count(g.ID[i]), 1u);
    EXPECT_EQ(mothers.at(g.ID[i]).parent, g.ID[static_cast<std::size_t>(g.KnownMother[i])]);
    EXPECT_EQ(mothers.at(g.ID[i]).confidence, "100%");
  }
}

TEST(CompanionEndToEnd, TwoRunsGiveByteIdenticalFiles) {
  testutil::ScopedTempDir dir;
  testutil::SamplePlan plan = RealisticPlan();
  plan.SmplSize = 150;
  plan.NumDominantLoci = 2;
  testutil::WriteFile("AgeSexGtype.dat", testutil::GenerateSample(plan).Text);
  std::ostringstream first;
  ASSERT_EQ(pairwise::RunCompanion(first), 0);
  const std::string pat = testutil::ReadFile("Herd.PairwisePaternity");
  const std::string mat = testutil::ReadFile("Herd.PairwiseMaternity");
  // The program itself, as the main program starts it.
  const testutil::RunResult r = testutil::RunProgram(COMPANION_EXE);
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(r.out, first.str());
  EXPECT_EQ(testutil::ReadFile("Herd.PairwisePaternity"), pat);
  EXPECT_EQ(testutil::ReadFile("Herd.PairwiseMaternity"), mat);
  EXPECT_GT(pat.size(), 64u);
}

TEST(CompanionEndToEnd, FileOnlyForASexWithCandidates) {
  testutil::ScopedTempDir dir;
  testutil::SamplePlan plan = RealisticPlan();
  plan.SmplSize = 100;
  testutil::WriteFile("AgeSexGtype.dat", testutil::GenerateSample(plan).Text);
  pairwise::Variables v;
  std::ostringstream console;
  testutil::PrepareCompanionData(v, console);
  v.NumCandidate[2] = 0;
  pairwise::PairwiseInference(v, console);
  EXPECT_TRUE(testutil::FileExists("Herd.PairwisePaternity"));
  EXPECT_FALSE(testutil::FileExists("Herd.PairwiseMaternity"));
}

}  // namespace
