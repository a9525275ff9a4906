#include "pairwise/inference.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "pairwise/assignment.h"
#include "pairwise/threshold_walk.h"
#include "test_util.h"

namespace {

using pairwise::Variables;

std::string Id20(const std::string& s) { return s + std::string(20 - s.size(), ' '); }

// A hand-made sample: individuals with sex and age, a pair table where every
// pair has log-likelihood -100, and single-genotype log-likelihoods 0, so a
// pair's LOD is its table entry + 100 unless changed.
struct Sample {
  Variables v;
  std::vector<double> IndivLogL;
  explicit Sample(const std::vector<std::pair<int, int>>& sexAge) {
    const int n = static_cast<int>(sexAge.size());
    v.SmplSize = n;
    v.NumCandidate = {0, n, n};
    v.NumAgeClass = {6, 3, 3};
    v.MinParentAge = {0, 1, 1};
    v.FName = "Run7";
    v.OffspringID.assign(static_cast<std::size_t>(n) + 1, "");
    v.IndivSex.assign(static_cast<std::size_t>(n) + 1, 0);
    v.IndivAge = v.IndivSex;
    for (int k = 1; k <= 2; ++k) {
      v.CndParentID[static_cast<std::size_t>(k)].assign(static_cast<std::size_t>(n) + 1, "");
      v.IndivParent[static_cast<std::size_t>(k)].assign(static_cast<std::size_t>(n) + 1, -1);
      v.ExcludedParent[static_cast<std::size_t>(k)].assign(static_cast<std::size_t>(n) + 1, {});
      v.CandidateLogL[static_cast<std::size_t>(k)].assign(static_cast<std::size_t>(n) + 1, 0.0);
    }
    for (int i = 1; i <= n; ++i) {
      const auto iz = static_cast<std::size_t>(i);
      v.IndivSex[iz] = sexAge[iz - 1].first;
      v.IndivAge[iz] = sexAge[iz - 1].second;
      v.OffspringID[iz] = Id20("Ind" + std::to_string(i));
      for (int k = 1; k <= 2; ++k) v.CndParentID[static_cast<std::size_t>(k)][iz] = v.OffspringID[iz];
    }
    v.PrbPOPairData.assign(static_cast<std::size_t>(n * n), -100.0f);
    IndivLogL.assign(static_cast<std::size_t>(n) + 1, -50.0);
    for (int k = 1; k <= 2; ++k) v.CandidateLogL[static_cast<std::size_t>(k)].assign(static_cast<std::size_t>(n) + 1, -50.0);
    // Thresholds 9.5 (95 %) down to 5 (50 %) in steps of 0.5.
    for (int k = 1; k <= 2; ++k)
      for (int j = 1; j <= 10; ++j) {
        v.Threshold[static_cast<std::size_t>(k)][static_cast<std::size_t>(j)] = 10.0 - 0.5 * j;
        v.Threshold2[static_cast<std::size_t>(k)][static_cast<std::size_t>(j)] = 10.0 - 0.5 * j;
      }
  }
  // Sets the LOD of candidate k for offspring g (exact in single precision).
  void Lod(int g, int k, double lod) { v.PairLogL(g, k) = static_cast<float>(-100.0 + lod); }
  std::string Paternity() {
    pairwise::WriteAssignmentFile(v, 1, IndivLogL);
    return testutil::ReadFile("Run7.PairwisePaternity");
  }
};

const std::string kHeader =
    "          OffspringID          CandidateID           Confidence\n";

std::string Row(const std::string& off, const std::string& cand, const std::string& conf) {
  return std::string(21 - off.size(), ' ') + off + std::string(21 - cand.size(), ' ') + cand +
         std::string(17, ' ') + conf + "\n";
}

TEST(ConfidenceText, FourCharactersPerLevel) {
  const std::vector<std::pair<int, std::string>> cases = {
      {0, "100%"}, {1, "95% "}, {2, "90% "}, {5, "75% "}, {9, "55% "}, {10, "50% "}};
  for (const auto& [level, text] : cases) EXPECT_EQ(pairwise::ConfidenceText(level), text) << level;
}

TEST(AssignmentLevel, MarginAgainstTheThresholds) {
  std::array<double, 11> T{};
  for (int j = 1; j <= 10; ++j) T[static_cast<std::size_t>(j)] = 10.0 - 0.5 * j;  // 9.5 .. 5.0
  struct Case { double delta; int level; };
  const std::vector<Case> cases = {
      {9.5, 1},   {100.0, 1}, {9.49, 2}, {9.0, 2}, {8.99, 3},
      {5.5, 9},   {5.0, 10},  {4.99, -1}, {0.0, -1},
  };
  for (const Case& c : cases) EXPECT_EQ(pairwise::AssignmentLevel(c.delta, T), c.level) << c.delta;

  // Unreached levels cannot be given; the margin falls to the next level
  // that was reached.
  for (int j = 1; j <= 3; ++j) T[static_cast<std::size_t>(j)] = pairwise::kUnreached;
  EXPECT_EQ(pairwise::AssignmentLevel(500.0, T), 4);
  T.fill(pairwise::kUnreached);
  EXPECT_EQ(pairwise::AssignmentLevel(998.0, T), -1);
}

TEST(AssignmentFile, HeaderAndRowsRightAlignedIn21Columns) {
  testutil::ScopedTempDir dir;
  Sample s({{1, 3}, {2, 3}, {1, 0}, {2, 0}});
  s.v.OffspringID[3] = Id20("Calf 3");  // inner blanks stay, trailing ones move to the front
  s.Lod(3, 1, 9.5);                     // margin exactly the 95 % threshold
  s.Lod(4, 1, 5.0);                     // exactly the 50 % threshold still gives a row
  const std::string file = s.Paternity();
  EXPECT_EQ(file, kHeader + Row("Calf 3", "Ind1", "95% ") + Row("Ind4", "Ind1", "50% "));
  EXPECT_EQ(kHeader.size(), 64u);
}

TEST(AssignmentFile, OnlyTheHeaderWhenNobodyIsAssigned) {
  testutil::ScopedTempDir dir;
  Sample s({{1, 3}, {2, 3}, {1, 0}});
  s.Lod(3, 1, 4.0);  // below the 50 % threshold
  EXPECT_EQ(s.Paternity(), kHeader);
  for (auto& t : s.v.Threshold[1]) t = pairwise::kUnreached;
  s.Lod(3, 1, 500.0);
  EXPECT_EQ(s.Paternity(), kHeader);
}

TEST(AssignmentFile, FileThatCannotBeWrittenStopsInsteadOfLookingEmpty) {
  testutil::ScopedTempDir dir;
  Sample s({{1, 3}, {2, 3}, {1, 0}});
  s.v.FName = "no_such_folder/Run7";
  try {
    pairwise::WriteAssignmentFile(s.v, 1, s.IndivLogL);
    FAIL() << "no stop";
  } catch (const pairwise::CompanionStop& stop) {
    EXPECT_EQ(stop.lines[0], "Error in writing file no_such_folder/Run7.PairwisePaternity");
    EXPECT_EQ(stop.lines[1], "");
  }
}

TEST(AssignmentFile, EqualBestLodsKeepTheEarlierCandidateWithMarginZero) {
  testutil::ScopedTempDir dir;
  Sample s({{1, 3}, {1, 2}, {2, 3}, {1, 0}});
  s.Lod(4, 1, 12.0);
  s.Lod(4, 2, 12.0);
  EXPECT_EQ(s.Paternity(), kHeader);  // margin 0 is below every threshold
  s.v.Threshold[1].fill(0.0);
  EXPECT_EQ(s.Paternity(), kHeader + Row("Ind4", "Ind1", "95% "));
}

TEST(AssignmentFile, NoRowWithoutACandidateAboveZero) {
  testutil::ScopedTempDir dir;
  Sample s({{1, 3}, {2, 3}, {1, 0}});
  s.v.Threshold[1].fill(0.0);
  s.Lod(3, 1, -2.0);
  EXPECT_EQ(s.Paternity(), kHeader);
}

TEST(AssignmentFile, CandidatesOfTheWrongSexOrTooYoungAreNotConsidered) {
  testutil::ScopedTempDir dir;
  // Offspring 5 is 1 year old: a father must be at least 2.
  Sample s({{1, 3}, {2, 3}, {1, 1}, {1, 2}, {2, 1}});
  s.Lod(5, 2, 30.0);  // a female
  s.Lod(5, 3, 30.0);  // a male of the offspring's own age
  s.Lod(5, 4, 20.0);  // exactly old enough
  s.Lod(5, 1, 13.0);
  EXPECT_EQ(s.Paternity(), kHeader + Row("Ind5", "Ind4", "70% "));  // margin 20 - 13 = 7
}

TEST(AssignmentFile, ExcludedCandidatesAreLeftOut) {
  testutil::ScopedTempDir dir;
  Sample s({{1, 3}, {1, 3}, {1, 3}, {2, 0}, {2, 0}});
  for (int g : {4, 5}) {
    s.Lod(g, 1, 30.0);
    s.Lod(g, 2, 20.0);
    s.Lod(g, 3, 1.0);
  }
  // Offspring 4 excludes candidates 1 and 3; offspring 5 none.
  s.v.ExcludedParent[1][4].NumExcluded = 2;
  s.v.ExcludedParent[1][4].CndIndex = {0, 1, 3};
  EXPECT_EQ(s.Paternity(), kHeader + Row("Ind4", "Ind2", "95% ") + Row("Ind5", "Ind1", "95% "));
}

TEST(AssignmentFile, KnownParentIsWrittenAt100WithoutAScan) {
  testutil::ScopedTempDir dir;
  Sample s({{1, 3}, {1, 3}, {2, 0}});
  s.v.IndivParent[1][3] = 2;
  s.Lod(3, 1, 40.0);
  s.Lod(3, 2, -30.0);
  EXPECT_EQ(s.Paternity(), kHeader + Row("Ind3", "Ind2", "100%"));
}

TEST(AssignmentFile, OffspringTooOldForAParentGetsNoRowEvenWhenKnown) {
  testutil::ScopedTempDir dir;
  // Maximal male age 3, minimal 1: offspring of age 3 pass no filter.
  Sample s({{1, 3}, {2, 3}, {2, 3}, {1, 2}});
  s.v.IndivParent[1][3] = 1;
  s.v.IndivParent[1][4] = 1;
  EXPECT_EQ(s.Paternity(), kHeader + Row("Ind4", "Ind1", "100%"));
}

TEST(AssignmentFile, KnownOtherParentSelectsThreshold2) {
  testutil::ScopedTempDir dir;
  Sample s({{1, 3}, {2, 3}, {1, 0}, {1, 0}});
  s.v.IndivParent[2][3] = 2;  // offspring 3 has a known mother
  s.Lod(3, 1, 7.0);
  s.Lod(4, 1, 7.0);
  s.v.Threshold2[1].fill(pairwise::kUnreached);
  EXPECT_EQ(s.Paternity(), kHeader + Row("Ind4", "Ind1", "70% "));
  s.v.Threshold2[1].fill(0.0);
  EXPECT_EQ(s.Paternity(), kHeader + Row("Ind3", "Ind1", "95% ") + Row("Ind4", "Ind1", "70% "));
}

TEST(AssignmentFile, NamesFollowTheOutputNameAndSex) {
  Sample s({{1, 1}});
  s.v.FName = "Deer 2019   ";
  EXPECT_EQ(pairwise::AssignmentFileName(s.v, 1), "Deer 2019.PairwisePaternity");
  EXPECT_EQ(pairwise::AssignmentFileName(s.v, 2), "Deer 2019.PairwiseMaternity");
}

TEST(PairwiseInference, NoCandidatesOfEitherSexWritesNothing) {
  testutil::ScopedTempDir dir;
  Sample s({{1, 1}, {2, 0}});
  s.v.NumCandidate = {0, 0, 0};
  std::ostringstream console;
  pairwise::PairwiseInference(s.v, console);
  EXPECT_EQ(console.str(), "");
  EXPECT_FALSE(testutil::FileExists("Run7.PairwisePaternity"));
  EXPECT_FALSE(testutil::FileExists("Run7.PairwiseMaternity"));
}

}  // namespace
