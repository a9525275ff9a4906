#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <numeric>
#include <sstream>

#include "common/fixed_format.h"
#include "estimation/companion_run.h"
#include "estimation/estimation_pass.h"
#include "estimation/pass_tables.h"
#include "test_util.h"

using namespace estimation;

namespace {

// Fourteen header lines (sampling proportions unknown), then individuals.
std::string SampleHeader(int n, int maxMale, int maxFemale, int sKnown = 0) {
  std::ostringstream s;
  s << "'Test data'  dataset name\n"
    << "tst          output name\n"
    << n << "           individuals\n"
    << maxMale << ' ' << maxFemale << "          maximal ages\n"
    << "1 1          minimal ages\n"
    << "0            family size\n"
    << sKnown << "            sampling proportions known\n";
  if (sKnown == 1) {
    s << "0.5 0.5 0.5\n"
      << "0.5 0.5 0.5\n";
  }
  s << "0            bootstrap\n"
    << "2            loci\n"
    << "95           confidence\n"
    << "M1 M2\n"
    << "0 0\n"
    << "0.01 0.01\n"
    << "0.01 0.01\n";
  return s.str();
}

std::string Assignments(const std::vector<std::array<std::string, 3>>& rows) {
  std::string text = common::FmtText("OffspringID", 21) + common::FmtText("CandidateID", 21) +
                     common::FmtText("Confidence", 21) + "\n";
  for (const auto& r : rows)
    text += common::FmtText(r[0], 21) + common::FmtText(r[1], 21) + common::FmtText(r[2], 21) + "\n";
  return text;
}

// A roster built in memory: (id, sex, age) per individual in file order.
SampleRoster Roster(const std::vector<std::tuple<std::string, int, int>>& people) {
  SampleRoster r;
  r.ID.assign(1, std::string(20, ' '));
  r.Sex.assign(1, 0);
  r.Age.assign(1, -1);
  for (const auto& [id, sex, age] : people) {
    r.ID.push_back(common::PadRight(id, 20));
    r.Sex.push_back(sex);
    r.Age.push_back(age);
  }
  return r;
}

void MakeExecutable(const std::string& name, const std::string& script) {
  testutil::WriteFile(name, script);
  chmod(name.c_str(), 0755);
}

std::string ExecutableDir() {
  return std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
}

}  // namespace

// ---------------------------------------------------------------- acceptance

// Whether each of the companion's confidence texts is accepted at a level:
// a row counts when its percentage is at least the level, a row of 100%
// (parents known in advance) always; levels of 100 and more take only those,
// negative levels take every row, as 0 does.
TEST(AcceptConfidence, TableOverLevelsAndConfidenceTexts) {
  const char* const texts[] = {"100%", "95% ", "90% ", "50% "};
  struct Row {
    int level;
    bool accepted[4];
  };
  const Row rows[] = {
      {-5, {true, true, true, true}},    {0, {true, true, true, true}},
      {5, {true, true, true, true}},     {50, {true, true, true, true}},
      {90, {true, true, true, false}},   {95, {true, true, false, false}},
      {99, {true, false, false, false}}, {100, {true, false, false, false}},
      {150, {true, false, false, false}},
  };
  for (const Row& r : rows)
    for (int i = 0; i < 4; ++i)
      EXPECT_EQ(AcceptConfidence(texts[i], r.level), r.accepted[i])
          << "level " << r.level << " confidence '" << texts[i] << "'";
}

TEST(AcceptConfidence, BetweenTheCompanionsLevelsAndAfterLeftAdjusting) {
  struct Case {
    int level;
    const char* confidence;
    bool accepted;
  };
  const Case cases[] = {
      {50, "55% ", true}, {90, "85% ", false}, {91, "90% ", false},
      {95, " 95%", true},  // the field is left-adjusted first
      {100, " 100%", true}, {-12, "50%", true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(AcceptConfidence(c.confidence, c.level), c.accepted)
        << "level " << c.level << " confidence '" << c.confidence << "'";
}

TEST(ReadAssignments, EmptyFileAndHeaderOnlyGiveNoRows) {
  std::istringstream empty("");
  EXPECT_TRUE(ReadAssignments(empty, 95).empty());
  std::istringstream header(Assignments({}));
  EXPECT_TRUE(ReadAssignments(header, 95).empty());
}

TEST(ReadAssignments, KeepsOnlyRowsAtOrAboveTheLevel) {
  const std::string text = Assignments(
      {{"o1", "p1", "95%"}, {"o2", "p2", "90%"}, {"o3", "p3", "100%"}, {"o4", "p4", "50%"}});
  std::istringstream in(text);
  const auto rows = ReadAssignments(in, 95);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(common::TrimRight(rows[0].OffspringID), "o1");
  EXPECT_EQ(common::TrimRight(rows[0].ParentID), "p1");
  EXPECT_EQ(common::TrimRight(rows[1].OffspringID), "o3");

  std::istringstream again(text);
  const auto known = ReadAssignments(again, 100);  // parents known in advance only
  ASSERT_EQ(known.size(), 1u);
  EXPECT_EQ(common::TrimRight(known[0].OffspringID), "o3");
}

// ---------------------------------------------------------------- re-read

TEST(ReadSampleRoster, SkipsFourteenOrSixteenHeaderLines) {
  for (int known : {0, 1}) {
    std::istringstream in(SampleHeader(3, 3, 3, known) +
                          "ind1 1 2  10 11 12 13\n"
                          "ind2 2 0  10 11 12 13 trailing words\n"
                          "'  ind3' 2 3  1 1 1 1\n");
    const SampleRoster r = ReadSampleRoster(in, 3, known);
    ASSERT_EQ(r.Size(), 3) << known;
    EXPECT_EQ(r.ID[1], common::PadRight("ind1", 20));
    EXPECT_EQ(r.Sex[1], 1);
    EXPECT_EQ(r.Age[1], 2);
    EXPECT_EQ(r.Sex[2], 2);
    EXPECT_EQ(r.Age[2], 0);
    EXPECT_EQ(r.ID[3], common::PadRight("ind3", 20));  // left-adjusted
    EXPECT_EQ(r.Age[3], 3);
  }
}

TEST(ReadSampleRoster, ShortFileLeavesMissingIndividualsOutsideEveryClass) {
  std::istringstream in(SampleHeader(2, 3, 3) + "ind1 1 2 1 1 1 1\n");
  const SampleRoster r = ReadSampleRoster(in, 2, 0);
  ASSERT_EQ(r.Size(), 2);
  EXPECT_FALSE(InClasses(r.Sex[2], r.Age[2], {6, 3, 3}));
}

// ---------------------------------------------------------------- count tables

class PairTables : public ::testing::Test {
 protected:
  // Males of ages 1..3 (K = 3 for fathers), females of ages 0..2.
  void SetUp() override {
    roster = Roster({{"m1", 1, 1},
                     {"m2", 1, 2},
                     {"m3", 1, 3},
                     {"m3b", 1, 3},
                     {"f0", 2, 0},
                     {"f1", 2, 1},
                     {"f2", 2, 2},
                     {"m0", 1, 0},
                     {"odd", 3, 1}});  // sex outside 1..2: counted nowhere
    av.SmplSize = roster.Size();
    CountSexAgeSize(av, roster, n);
  }
  std::array<int, 3> n{5, 3, 2};
  AgeVariables av;
  SampleRoster roster;
};

TEST_F(PairTables, SexAgeSizeCountsEveryClassAndIgnoresOutsiders) {
  EXPECT_EQ(av.MaxNumAgeClass, 3);
  EXPECT_EQ(av.SexAgeSize(0, 1), 1);
  EXPECT_EQ(av.SexAgeSize(3, 1), 2);
  EXPECT_EQ(av.SexAgeSize(0, 2), 1);
  EXPECT_EQ(av.SexAgeSize(2, 2), 1);
  EXPECT_EQ(av.SexAgeSize(1, 1) + av.SexAgeSize(1, 2), 2);  // "odd" is not counted
}

TEST_F(PairTables, UnmatchedIdentifiersAreSkipped) {
  const IdentifierIndex index = BuildIdentifierIndex(roster);
  const std::vector<AssignmentRow> rows = {{common::PadRight("f0", 21), common::PadRight("m1", 21)},
                                           {common::PadRight("ghost", 21), common::PadRight("m1", 21)},
                                           {common::PadRight("f1", 21), common::PadRight("nobody", 21)}};
  const auto pairs = ResolvePairs(rows, index);
  ASSERT_EQ(pairs.size(), 1u);
  EXPECT_EQ(pairs[0].Offspring, 5);
  EXPECT_EQ(pairs[0].Parent, 1);
  EXPECT_EQ(FindIndividual(index, std::string(20, 'x') + "y"), 0);
}

TEST_F(PairTables, OffspringAsOldAsTheOldestClassCountsOnlyForItsParent) {
  // f0 <- m1, f1 <- m2, m0 <- m2, and m3 (age 3 = K) <- m3b.
  const std::vector<PairIndex> pairs = {{5, 1}, {6, 2}, {8, 2}, {3, 4}};
  const std::vector<int> OffNum = BuildPairTables(av, roster, pairs, 1, 3);
  EXPECT_EQ(av.SampledCounts, (std::vector<int>{4, 1, 1, 2}));
  ASSERT_EQ(av.PODyadCounts.RowHi(), 2);
  ASSERT_EQ(av.PODyadCounts.ColHi(), 3);
  EXPECT_EQ(av.PODyadCounts(0, 1), 1);
  EXPECT_EQ(av.PODyadCounts(0, 2), 1);
  EXPECT_EQ(av.PODyadCounts(1, 2), 1);
  int sumPairs = 0;
  for (int a = 0; a <= 2; ++a)
    for (int j = 1; j <= 3; ++j) sumPairs += av.PODyadCounts(a, j);
  EXPECT_EQ(sumPairs, 3);  // the age-3 offspring is not counted
  EXPECT_EQ(av.PODyadCounts(0, 0), 2);  // both sexes of age 0
  EXPECT_EQ(av.PODyadCounts(1, 0), 2);  // m1, f1 ("odd" is not counted)
  EXPECT_EQ(av.PODyadCounts(2, 0), 2);
  EXPECT_EQ(OffNum[4], 1);  // m3b still has its offspring
  EXPECT_EQ(av.MaxOff, 2);
  EXPECT_EQ(av.NumOff(0, 3), 1);  // m3
  EXPECT_EQ(av.NumOff(1, 3), 1);  // m3b
  EXPECT_EQ(av.NumOff(1, 1), 1);  // m1
  EXPECT_EQ(av.NumOff(2, 2), 1);  // m2
  EXPECT_EQ(av.NumOff(0, 1) + av.NumOff(0, 2), 0);
}

TEST_F(PairTables, NoPairsGiveRowZeroOnly) {
  BuildPairTables(av, roster, {}, 2, 2);
  EXPECT_EQ(av.MaxOff, 0);
  EXPECT_EQ(av.NumOff.RowHi(), 0);
  EXPECT_EQ(av.NumOff(0, 1), 1);
  EXPECT_EQ(av.NumOff(0, 2), 1);
  EXPECT_EQ(av.PODyadCounts(0, 1) + av.PODyadCounts(0, 2) + av.PODyadCounts(1, 2), 0);
  EXPECT_EQ(av.PODyadCounts(1, 0), 2);
}

TEST_F(PairTables, ParentOutsideTheColumnsIsNotPlaced) {
  // A known father that is a female of age 2 in a sex with K = 1.
  const std::vector<PairIndex> pairs = {{5, 7}};
  BuildPairTables(av, roster, pairs, 1, 1);
  EXPECT_EQ(av.PODyadCounts(0, 1), 0);
}

TEST(FamilySizeFactor, HandValues) {
  EXPECT_DOUBLE_EQ(FamilySizeFactor(4, 6, 4), 0.5);  // offspring numbers 3, 1, 0, 0
  EXPECT_DOUBLE_EQ(FamilySizeFactor(2, 0, 2), 1.0);  // 1, 1: U = 0
  EXPECT_DOUBLE_EQ(FamilySizeFactor(0, 0, 0), 1.0);  // empty class
}

TEST_F(PairTables, FactorWithAndWithoutPoisson) {
  // m3 <- three offspring, m3b <- one: class 3 has n = 3, 1.
  const std::vector<PairIndex> pairs = {{5, 3}, {6, 3}, {8, 3}, {7, 4}};
  const std::vector<int> OffNum = BuildPairTables(av, roster, pairs, 1, 3);
  av.FamilySizeDist = 0;
  ComputeFactors(av, roster, OffNum, 1, 3);
  EXPECT_DOUBLE_EQ(av.Factor[3], 4.0 * 3.0 / (2.0 * 6.0));
  EXPECT_DOUBLE_EQ(av.Factor[1], 1.0);
  av.FamilySizeDist = 1;
  ComputeFactors(av, roster, OffNum, 1, 3);
  for (int a = 1; a <= 3; ++a) EXPECT_EQ(av.Factor[a], 1.0);
}

TEST(SearchMaxSize, OriginalAndReplicates) {
  AgeVariables av;
  av.AgeClassSize.Reset(0, 3, 1, 2, 0);
  av.AgeClassSize(1, 1) = 300;
  av.AgeClassSize(2, 1) = 120;
  av.AgeClassSize(1, 2) = 2000;
  EXPECT_EQ(SearchMaxSize(av, 0, 1, 2), 10000);
  EXPECT_EQ(SearchMaxSize(av, 3, 1, 2), 30000);
  EXPECT_EQ(SearchMaxSize(av, 3, 2, 2), 100000);
}

TEST(StoreEstimates, SharesSumToHalfAndKnownSLeavesColumnThree) {
  EstimateBlock est(1, 5, 1, 4, -7.0);
  const std::vector<double> Xm = {0, 0.6, 0.3, 200, 100, 50, 0.1, 0.2, 0.3};
  const std::vector<double> factor = {0, 0.5, 1.0, 2.0};
  StoreEstimates(Xm, 3, 0, false, factor, est);
  EXPECT_DOUBLE_EQ(est(1, 1), 0.3);
  EXPECT_DOUBLE_EQ(est(2, 1), 0.15);
  EXPECT_DOUBLE_EQ(est(1, 1) + est(2, 1) + est(3, 1), 0.5);
  EXPECT_DOUBLE_EQ(est(3, 2), 50);
  EXPECT_DOUBLE_EQ(est(2, 3), 0.2);
  EXPECT_DOUBLE_EQ(est(1, 4), 100);
  EXPECT_DOUBLE_EQ(est(3, 4), 100);
  const std::vector<double> Xf = {0, 0.4, 80, 60};
  StoreEstimates(Xf, 2, 3, true, factor, est);
  EXPECT_DOUBLE_EQ(est(4, 1), 0.2);
  EXPECT_DOUBLE_EQ(est(5, 1), 0.3);
  EXPECT_DOUBLE_EQ(est(5, 2), 60);
  EXPECT_EQ(est(4, 3), -7.0);
  EXPECT_EQ(est(5, 3), -7.0);
}

// ---------------------------------------------------------------- companion start

TEST(LocateCompanion, WorkingDirectoryThenBesideTheExecutableThenThePath) {
  testutil::ScopedTempDir dir;
  std::filesystem::create_directory("bin");
  const std::string bin = (dir.path() / "bin").string();
  testutil::ScopedPath path("/nonexistent");
  std::string looked;
  EXPECT_EQ(LocateCompanion(2, looked), "");
  EXPECT_EQ(looked, "./Wendivarquil in the working directory, " + ExecutableDir() +
                        "/Wendivarquil and Wendivarquil on the search path PATH");
  MakeExecutable("bin/Wendivarquil", "#!/bin/sh\nexit 0\n");
  setenv("PATH", ("/nonexistent:" + bin).c_str(), 1);
  EXPECT_EQ(LocateCompanion(2, looked), bin + "/Wendivarquil");
  MakeExecutable("Wendivarquil", "#!/bin/sh\nexit 0\n");
  EXPECT_EQ(LocateCompanion(2, looked), "./Wendivarquil");
}

TEST(LocateCompanion, BareNameIsSearchedOnThePath) {
  testutil::ScopedTempDir dir;
  std::filesystem::create_directory("bin");
  MakeExecutable("bin/Wendivarquil", "#!/bin/sh\nexit 0\n");
  const std::string bin = (dir.path() / "bin").string();
  testutil::ScopedPath path("/nonexistent:" + bin);
  std::string looked;
  EXPECT_EQ(LocateCompanion(1, looked), bin + "/Wendivarquil");
  setenv("PATH", "/nonexistent", 1);
  EXPECT_EQ(LocateCompanion(1, looked), "");
  EXPECT_EQ(looked, "Wendivarquil on the search path PATH and " + ExecutableDir() +
                        "/Wendivarquil");
}

// ---------------------------------------------------------------- the pass

class PassRun : public ::testing::Test {
 protected:
  void SetUp() override {
    av.Console = &console;
    av.FName[1] = "tst";
    av.SmplSize = 0;
    av.NumAgeClass = {4, 2, 2};
    av.ConfidenceLevel = "95";
    av.ConfidencePercent = 95;
    av.CrrtOS = 2;
  }
  std::ostringstream console;
  AgeVariables av;
  testutil::ScopedTempDir dir;
  PassResult result;
  EstimateBlock est{1, 4, 1, 4, 0.0};
};

TEST_F(PassRun, MissingSampleFileStops) {
  try {
    EstimateByMarker(av, 0, result, av.NumAgeClass, est);
    FAIL() << "no stop";
  } catch (const StopError& e) {
    EXPECT_STREQ(e.what(), "Error in reading file ID_Sex_Age.dat or other files");
  }
  const std::string rule(41, '-');
  EXPECT_EQ(console.str(), "\n\n" + std::string(19, ' ') + rule + "\n" + std::string(19, ' ') +
                               "      Estimating from original data\n" + std::string(19, ' ') +
                               rule + "\n\n\n");
}

TEST_F(PassRun, MissingCompanionStopsWithWhatWasLookedFor) {
  av.SmplSize = 1;
  testutil::WriteFile("AgeSexGtype.dat", SampleHeader(1, 2, 2) + "a 1 1 1 1 1 1\n");
  testutil::ScopedPath path("/nonexistent");
  try {
    EstimateByMarker(av, 7, result, av.NumAgeClass, est);
    FAIL() << "no stop";
  } catch (const StopError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Companion program not found: looked for ./Wendivarquil in the working directory, " +
                  ExecutableDir() + "/Wendivarquil and Wendivarquil on the search path PATH");
  }
  EXPECT_NE(console.str().find(std::string(19, ' ') + "  Estimating from simulated data: replicate=7\n"),
            std::string::npos);
}

TEST_F(PassRun, FailedCompanionShowsAsTheMissingAssignmentFile) {
  av.SmplSize = 1;
  testutil::WriteFile("AgeSexGtype.dat", SampleHeader(1, 2, 2) + "a 1 1 1 1 1 1\n");
  testutil::WriteFile("tst.PairwisePaternity", "stale\n");
  testutil::WriteFile("tst.PairwiseMaternity", "stale\n");
  MakeExecutable("Wendivarquil", "#!/bin/sh\necho companion ran > ran.txt\nexit 1\n");
  try {
    EstimateByMarker(av, 0, result, av.NumAgeClass, est);
    FAIL() << "no stop";
  } catch (const StopError& e) {
    EXPECT_STREQ(e.what(), "Error in reading file ID_Sex_Age.dat or other files");
  }
  EXPECT_TRUE(testutil::FileExists("ran.txt"));
  EXPECT_FALSE(testutil::FileExists("tst.PairwisePaternity"));  // deleted before the run
  EXPECT_FALSE(testutil::FileExists("tst.Paternity"));
  EXPECT_NE(console.str().find(" Estimating paternal parameters from paternity assigments\n"),
            std::string::npos);
}

// A sex without a single accepted pair in the original data stops the pass
// after the kept copies are written and before either search starts (fathers
// are looked at first).
TEST_F(PassRun, SexWithoutAcceptedPairStopsBeforeAnySearch) {
  using Rows = std::vector<std::array<std::string, 3>>;
  struct Case {
    int level;
    Rows pat, mat;
    std::string stop;
  };
  const std::string fathers =
      ", and nothing can be estimated from no father-offspring pairs; the companion's "
      "assignments are in tst.Paternity";
  const std::string mothers =
      ", and nothing can be estimated from no mother-offspring pairs; the companion's "
      "assignments are in tst.Maternity";
  const std::vector<Case> cases = {
      {95,
       {{"J1", "M1", "90%"}},
       {{"J1", "F1", "95%"}},
       "No paternity assignment is accepted at the confidence level of 95" + fathers},
      {100,
       {{"J1", "M1", "100%"}},
       {{"J1", "F1", "95%"}, {"J2", "F1", "95%"}},
       "No maternity assignment is accepted at the confidence level of 100" + mothers},
      {95, {}, {}, "No paternity assignment is accepted at the confidence level of 95" + fathers},
  };
  av.SmplSize = 4;
  testutil::WriteFile("AgeSexGtype.dat", SampleHeader(4, 2, 2) +
                                             "M1 1 1 1 1 1 1\nF1 2 1 1 1 1 1\n"
                                             "J1 1 0 1 1 1 1\nJ2 2 0 1 1 1 1\n");
  MakeExecutable("Wendivarquil",
                 "#!/bin/sh\ncp pat.txt tst.PairwisePaternity\ncp mat.txt tst.PairwiseMaternity\n");
  for (const Case& c : cases) {
    SCOPED_TRACE("level " + std::to_string(c.level));
    av.ConfidencePercent = c.level;
    av.ConfidenceLevel = common::FmtInt(c.level, 2);
    console.str("");
    testutil::WriteFile("pat.txt", Assignments(c.pat));
    testutil::WriteFile("mat.txt", Assignments(c.mat));
    try {
      EstimateByMarker(av, 0, result, av.NumAgeClass, est);
      ADD_FAILURE() << "no stop";
    } catch (const StopError& e) {
      EXPECT_EQ(e.what(), c.stop);
    }
    EXPECT_EQ(testutil::ReadFile("tst.Paternity"), Assignments(c.pat));
    EXPECT_EQ(testutil::ReadFile("tst.Maternity"), Assignments(c.mat));
    EXPECT_EQ(console.str().find("Estimating paternal parameters"), std::string::npos);
  }
}

// A whole pass on a fixed assignment list: the companion is a script that
// writes both files. Two age classes per sex, parents of both ages.
TEST_F(PassRun, WholePassKeepsCopiesAndFillsTheEstimateBlock) {
  std::string lines;
  std::vector<std::array<std::string, 3>> pat, mat;
  int n = 0;
  auto add = [&](const std::string& id, int sex, int age) {
    lines += id + " " + std::to_string(sex) + " " + std::to_string(age) + " 1 1 1 1\n";
    ++n;
  };
  for (int i = 1; i <= 6; ++i) add("M1_" + std::to_string(i), 1, 1);
  for (int i = 1; i <= 4; ++i) add("M2_" + std::to_string(i), 1, 2);
  for (int i = 1; i <= 6; ++i) add("F1_" + std::to_string(i), 2, 1);
  for (int i = 1; i <= 4; ++i) add("F2_" + std::to_string(i), 2, 2);
  for (int i = 1; i <= 30; ++i) {
    const std::string id = std::string("J") + std::to_string(i);
    add(id, 1 + i % 2, 0);
    if (i % 3 == 0) pat.push_back({id, "M1_" + std::to_string(1 + i % 6), "95%"});
    if (i % 5 == 0) pat.push_back({id, "M2_" + std::to_string(1 + i % 4), "100%"});
    if (i % 4 == 0) mat.push_back({id, "F1_" + std::to_string(1 + i % 6), "95%"});
    if (i % 7 == 0) mat.push_back({id, "F2_" + std::to_string(1 + i % 4), "95%"});
    if (i % 11 == 0) mat.push_back({id, "F1_1", "90%"});  // below the level
  }
  pat.push_back({"M1_1", "M2_1", "95%"});
  pat.push_back({"ghost", "M2_2", "95%"});
  av.SmplSize = n;
  testutil::WriteFile("AgeSexGtype.dat", SampleHeader(n, 2, 2) + lines);
  testutil::WriteFile("pat.txt", Assignments(pat));
  testutil::WriteFile("mat.txt", Assignments(mat));
  MakeExecutable("Wendivarquil",
                 "#!/bin/sh\ncp pat.txt tst.PairwisePaternity\ncp mat.txt tst.PairwiseMaternity\n");
  EstimateByMarker(av, 0, result, av.NumAgeClass, est);

  EXPECT_EQ(testutil::ReadFile("tst.Paternity"), testutil::ReadFile("pat.txt"));
  EXPECT_EQ(testutil::ReadFile("tst.Maternity"), testutil::ReadFile("mat.txt"));
  EXPECT_EQ(av.SexAgeSize0(0, 1) + av.SexAgeSize0(0, 2), 30);
  EXPECT_EQ(av.PODyadCounts0[1](0, 1), 10);
  EXPECT_EQ(av.PODyadCounts0[1](0, 2), 6);
  EXPECT_EQ(av.PODyadCounts0[1](1, 2), 1);
  EXPECT_EQ(av.PODyadCounts0[2](0, 1), 7);
  EXPECT_EQ(av.PODyadCounts0[2](0, 2), 4);
  EXPECT_EQ(av.NumOff0Bound[1], 5);  // M1_1 and M1_4 have five each
  EXPECT_EQ(av.FName[2], "tst.PairwiseMaternity");
  EXPECT_NEAR(est(1, 1) + est(2, 1), 0.5, 1e-12);
  EXPECT_NEAR(est(3, 1) + est(4, 1), 0.5, 1e-12);
  for (int r = 1; r <= 4; ++r) EXPECT_GE(est(r, 2), 1.0) << r;
  EXPECT_NE(console.str().find(" Estimating maternal parameters from maternity assigments\n"),
            std::string::npos);

  // A replicate pass leaves the kept copies and the original tables alone.
  testutil::WriteFile("pat.txt", Assignments({}));
  const auto podBefore = av.PODyadCounts0[1](0, 1);
  av.AgeClassSize.Reset(0, 2, 1, 2, 50);
  EstimateByMarker(av, 1, result, av.NumAgeClass, est);
  EXPECT_EQ(testutil::ReadFile("tst.Paternity"), Assignments(pat));
  EXPECT_EQ(av.PODyadCounts0[1](0, 1), podBefore);
  EXPECT_EQ(av.MaxOff, av.NumOff.RowHi());
}
