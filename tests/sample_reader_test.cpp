#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "common/fixed_format.h"
#include "pairwise/sample_reader.h"
#include "test_util.h"

namespace {

using pairwise::CompanionStop;
using pairwise::Variables;

const char* const kLine2 = "Errors in DATA. Insufficient data or incorrect format.";
const char* const kLine3 = "Please check DATA and format and then re-run the program";

// A small valid sample file: identifiers out of alphabetical order, a
// dominant middle locus, known parents and both exclusion blocks (one
// exclusion line runs over two lines; numbers in comments are file lines).
const std::vector<std::string> kValid = {
    "'Trial dataset'   ! 1",
    "'  Out1  '        ! 2",
    "6                 ! 3 sample size",
    "3 2               ! 4 maximal ages",
    "1 1               ! 5",
    "1                 ! 6",
    "0                 ! 7",
    "0                 ! 8 bootstrap",
    "3                 ! 9 loci",
    "95                ! 10",
    "Mb Ma Mc",
    "0 1 0",
    "0.01 0.02 0",
    "0.0 0.01 1",
    "Zed 1 3 10 12 1 5 5",  // 15
    "Amy 2 0 10 10 2 5 7",
    "Kim 1 1 12 14 1 7 7",
    "Bob 1 2 14 10 2 5 9",
    "Eve 2 2 10 14 1 9 9",
    "Joe 1 0 12 12 0 7 9",  // 20
    "0.5 0.6",
    "1                 ! 22 known fathers",
    "Joe Bob",
    "1",
    "Joe Eve",            // 25
    "4                 ! 26 excluded fathers",
    "Kim 2 Zed Amy     ! comment",
    "Joe 2 Zed Amy",
    "Bob 2 Amy",
    "   Zed",             // 30
    "Eve 3 Kim Bob Zed",
    "1",
    "Zed 2 Eve Amy",
};

std::string Join(const std::vector<std::string>& lines) {
  std::string s;
  for (const std::string& l : lines) s += l + "\n";
  return s;
}

// The valid file with lines first..first+span-1 (1-based) replaced by text
// (which may hold several lines); a null text cuts the file before first.
std::string Edited(int first, int span, const char* text) {
  std::vector<std::string> out(kValid.begin(), kValid.begin() + (first - 1));
  if (text == nullptr) return Join(out);
  std::string s = Join(out) + text + "\n";
  for (std::size_t i = static_cast<std::size_t>(first - 1 + span); i < kValid.size(); ++i)
    s += kValid[i] + "\n";
  return s;
}

std::string Id(const std::string& s) { return s + std::string(20 - s.size(), ' '); }

// Reads the given sample file in a scratch directory; returns the stop.
CompanionStop ReadFailure(const std::string& content) {
  testutil::ScopedTempDir dir;
  testutil::WriteFile("AgeSexGtype.dat", content);
  Variables v;
  try {
    pairwise::ReadData(v);
  } catch (const CompanionStop& stop) {
    return stop;
  }
  ADD_FAILURE() << "file was accepted:\n" << content;
  return CompanionStop({});
}

Variables ReadValid(const std::string& content) {
  testutil::ScopedTempDir dir;
  testutil::WriteFile("AgeSexGtype.dat", content);
  Variables v;
  try {
    pairwise::ReadData(v);
  } catch (const CompanionStop& stop) {
    ADD_FAILURE() << "stopped with: " << stop.lines[0];
  }
  return v;
}

std::vector<int> Excluded(const Variables& v, int k, int i) {
  const pairwise::Exclusion& e = v.ExcludedParent[k][i];
  return std::vector<int>(e.CndIndex.begin() + 1, e.CndIndex.begin() + 1 + e.NumExcluded);
}

TEST(ReadData, ValidFileFillsEveryField) {
  const Variables v = ReadValid(Join(kValid));
  EXPECT_EQ(v.DatasetName.substr(0, 14), "Trial dataset ");
  EXPECT_EQ(v.FName, "Out1");
  EXPECT_EQ(v.SmplSize, 6);
  EXPECT_EQ(v.NumAgeClass, (std::array<int, 3>{5, 3, 2}));
  EXPECT_EQ(v.MinParentAge[1], 1);
  EXPECT_EQ(v.MinParentAge[2], 1);
  EXPECT_EQ(v.FamilySizeDist, 1);
  EXPECT_EQ(v.SamplingPrbKnown, 0);
  EXPECT_EQ(v.NumCI95Sample, 0);
  ASSERT_EQ(v.NumLoci, 3);
  EXPECT_EQ(v.MarkerID[1], std::string(18, ' ') + "Mb");
  EXPECT_EQ(v.MarkerID[2], std::string(18, ' ') + "Ma");
  EXPECT_EQ(v.MarkerID[3], std::string(18, ' ') + "Mc");
  EXPECT_EQ(v.DominantMarker[1], 0);
  EXPECT_EQ(v.DominantMarker[2], 1);
  EXPECT_EQ(v.DominantMarker[3], 0);
  EXPECT_EQ(v.DropRate[2], 0.02);
  EXPECT_EQ(v.OtherErrorRate[3], 1.0);
  EXPECT_EQ(v.PropPrntSampled[1], 0.5);
  EXPECT_EQ(v.PropPrntSampled[2], 0.6);

  const char* ids[] = {"", "Zed", "Amy", "Kim", "Bob", "Eve", "Joe"};
  const int sex[] = {0, 1, 2, 1, 1, 2, 1}, age[] = {0, 3, 0, 1, 2, 2, 0};
  for (int i = 1; i <= 6; ++i) {
    EXPECT_EQ(v.OffspringID[i], Id(ids[i]));
    EXPECT_EQ(v.IndivSex[i], sex[i]);
    EXPECT_EQ(v.IndivAge[i], age[i]);
    for (int k = 1; k <= 2; ++k) EXPECT_EQ(v.CndParentID[k][i], Id(ids[i]));
  }
  // Bob: 14 10 | 2 | 5 9; the dominant code fills both slots.
  EXPECT_EQ(v.IndivGtype(1, 1, 4), 14);
  EXPECT_EQ(v.IndivGtype(2, 1, 4), 10);
  EXPECT_EQ(v.IndivGtype(1, 2, 4), 2);
  EXPECT_EQ(v.IndivGtype(2, 2, 4), 2);
  EXPECT_EQ(v.IndivGtype(1, 3, 4), 5);
  EXPECT_EQ(v.IndivGtype(2, 3, 4), 9);
  EXPECT_EQ(v.IndivGtype(2, 2, 6), 0);  // Joe's dominant code 0 (untyped)
  EXPECT_EQ(v.NumCandidate[1], 6);
  EXPECT_EQ(v.NumCandidate[2], 6);
  for (int k = 1; k <= 2; ++k)
    for (int c = 1; c <= 6; ++c)
      for (int l = 1; l <= 3; ++l)
        for (int a = 1; a <= 2; ++a) EXPECT_EQ(v.CndGtype(a, l, c, k), v.IndivGtype(a, l, c));

  ASSERT_EQ(v.MaxAgeIndex, 3);
  const int males[] = {1, 1, 1, 1}, females[] = {1, 0, 1, 0};
  for (int a = 0; a <= 3; ++a) {
    EXPECT_EQ(v.AgeSize(a, 1), males[a]) << "age " << a;
    EXPECT_EQ(v.AgeSize(a, 2), females[a]) << "age " << a;
  }

  for (int i = 1; i <= 5; ++i) {
    EXPECT_EQ(v.IndivParent[1][i], -1);
    EXPECT_EQ(v.IndivParent[2][i], -1);
  }
  EXPECT_EQ(v.IndivParent[1][6], 4);  // Joe's father Bob
  EXPECT_EQ(v.IndivParent[2][6], 5);  // Joe's mother Eve

  // Candidate indices in ascending identifier order: Amy 2, Bob 4, Kim 3, Zed 1.
  EXPECT_EQ(Excluded(v, 1, 3), (std::vector<int>{2, 1}));     // Kim
  EXPECT_EQ(Excluded(v, 1, 6), (std::vector<int>{2, 1}));     // Joe, same list reused
  EXPECT_EQ(Excluded(v, 1, 4), (std::vector<int>{2, 1}));     // Bob, other order, two lines
  EXPECT_EQ(Excluded(v, 1, 5), (std::vector<int>{4, 3, 1}));  // Eve
  EXPECT_EQ(v.ExcludedParent[1][1].NumExcluded, 0);
  EXPECT_EQ(v.ExcludedParent[1][2].NumExcluded, 0);
  EXPECT_EQ(Excluded(v, 2, 1), (std::vector<int>{2, 5}));     // Zed: Amy, Eve
  for (int i = 2; i <= 6; ++i) EXPECT_EQ(v.ExcludedParent[2][i].NumExcluded, 0);
  for (const std::string& line : v.ErrorMessage) EXPECT_EQ(line, "");
}

TEST(ReadData, SamplingProportionsKnownShiftTheLineNumbers) {
  const Variables v = ReadValid(Edited(7, 1, "1\n0.5 0.25 1\n0 0.75"));
  EXPECT_EQ(v.SamplingPrbKnown, 1);
  ASSERT_EQ(v.SamplingPrbPrior[1].size(), 4u);
  EXPECT_EQ(v.SamplingPrbPrior[1][2], 0.25);
  EXPECT_EQ(v.SamplingPrbPrior[1][3], 1.0);
  ASSERT_EQ(v.SamplingPrbPrior[2].size(), 3u);
  EXPECT_EQ(v.SamplingPrbPrior[2][2], 0.75);
  EXPECT_EQ(v.NumLoci, 3);
  EXPECT_EQ(v.SmplSize, 6);
}

struct ExclusionCase {
  const char* name;
  const char* block;                    // the excluded-father block
  std::vector<int> kim, joe;            // their lists as candidate indices
};

// Candidates in identifier order: Amy 2, Bob 4, Eve 5, Joe 6, Kim 3, Zed 1.
TEST(ReadData, ExclusionLinesOfABlock) {
  const ExclusionCase cases[] = {
      // Reuse needs the same identifiers, not only the same count.
      {"same count, other identifiers", "2\nKim 2 Amy Zed\nJoe 2 Amy Bob", {2, 1}, {2, 4}},
      {"same identifiers reused", "2\nKim 2 Zed Amy\nJoe 2 Zed Amy", {2, 1}, {2, 1}},
      // Lines for the same offspring add up, each candidate once.
      {"two lines add up", "2\nKim 2 Zed Amy\nKim 1 Eve", {2, 5, 1}, {}},
      {"overlapping lines", "2\nKim 2 Zed Amy\nKim 2 Bob Zed", {2, 4, 1}, {}},
      {"identical lines", "2\nKim 2 Zed Amy\nKim 2 Zed Amy", {2, 1}, {}},
      {"a later empty line keeps the list", "3\nKim 2 Zed Amy\nKim 0\nJoe -2", {2, 1}, {}},
      {"every candidate over two lines", "2\nKim 3 Zed Amy Kim\nKim 3 Bob Eve Joe",
       {2, 4, 5, 6, 3, 1}, {}},
      // The reused list is the previous line's own, not the union it joined.
      {"reuse after a union", "3\nKim 1 Amy\nKim 1 Bob\nJoe 1 Bob", {2, 4}, {4}},
      {"union of a reused list", "3\nKim 1 Eve\nJoe 2 Zed Amy\nKim 2 Zed Amy", {2, 5, 1},
       {2, 1}},
  };
  for (const ExclusionCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Variables v = ReadValid(Edited(26, 6, c.block));
    EXPECT_EQ(Excluded(v, 1, 3), c.kim);
    EXPECT_EQ(Excluded(v, 1, 6), c.joe);
    for (const int i : {1, 2, 4, 5}) EXPECT_EQ(v.ExcludedParent[1][i].NumExcluded, 0);
  }
}

// Large samples: the proportions line is cut off at line 9999 or 10000, and
// a five-digit number widens its field rather than becoming asterisks.
TEST(ReadData, LineNumbersFromTenThousandWidenTheirField) {
  const std::pair<int, const char*> cases[] = {
      {9999, "Error in reading line9999, Proportions of parents sampled"},
      {10000, "Error in reading line10000, Proportions of parents sampled"},
  };
  for (const auto& [line, message] : cases) {
    const int s = line - 15;
    std::vector<std::string> lines(kValid.begin(), kValid.begin() + 14);
    lines[2] = std::to_string(s);
    std::string file = Join(lines);
    for (int i = 1; i <= s; ++i) file += "I" + std::to_string(i) + " 1 0 10 12 1 5 5\n";
    EXPECT_EQ(ReadFailure(file).lines[0], message);
  }
}

struct ValidCase {
  const char* name;
  int line, span;
  const char* text;
};

// Values on the edge of their checks that must be accepted.
TEST(ReadData, EdgeValuesAreAccepted) {
  const ValidCase cases[] = {
      {"maximal ages 50", 4, 1, "50 50"},
      {"minimal ages equal to maximal", 5, 1, "3 2"},
      {"bootstrap 100000", 8, 1, "100000"},
      {"rates 0 and 1, tiny negative", 13, 2, "1 1 1\n0 -1e-301 0"},
      {"female older than females' maximum", 16, 1, "Amy 2 3 10 10 2 5 7"},
      {"known parent is the offspring itself", 23, 1, "Joe Joe"},
      {"no known or excluded parents", 22, 12, "0\n0\n0\n-1"},
      {"parents sampled 0.001 and 1", 21, 1, "0.001 1"},
      // A "/" after the last value of an individual line, or in a header line.
      {"slash in the comment of an individual", 15, 1, "Zed 1 3 10 12 1 5 5 / 5"},
      {"slash right after the last value", 15, 1, "Zed 1 3 10 12 1 5 5/5"},
      {"slash ends a header line early", 13, 1, "0.01 0.02 /"},
      {"quoted identifier", 15, 1, "'Zed' 1 3 10 12 1 5 5"},
      {"the same known father twice", 22, 2, "2\nJoe Bob\nJoe Bob"},
  };
  for (const ValidCase& c : cases) {
    SCOPED_TRACE(c.name);
    ReadValid(Edited(c.line, c.span, c.text));
  }
}

// Identifiers that read back as themselves though they hold characters the
// free-form reader gives a meaning elsewhere (no block names them).
TEST(ReadData, IdentifiersThatReadBackAreAccepted) {
  for (const char* id : {"Z'ed", "Z\"ed", "Z*2", "*Z", "+2*Z"}) {
    SCOPED_TRACE(id);
    std::vector<std::string> lines(kValid.begin(), kValid.begin() + 21);
    lines[14] = std::string(id) + " 1 3 10 12 1 5 5";
    const Variables v = ReadValid(Join(lines) + "0\n0\n0\n0\n");
    EXPECT_EQ(common::TrimRight(v.OffspringID[1]), id);
  }
}

// An empty field between two commas leaves its allele code missing (0).
TEST(ReadData, EmptyAlleleFieldsAreMissing) {
  const Variables v = ReadValid(Edited(15, 1, "Zed,1,3,10,,1,,,"));
  EXPECT_EQ(v.IndivGtype(1, 1, 1), 10);
  EXPECT_EQ(v.IndivGtype(2, 1, 1), 0);
  EXPECT_EQ(v.IndivGtype(1, 2, 1), 1);
  EXPECT_EQ(v.IndivGtype(1, 3, 1), 0);
  EXPECT_EQ(v.IndivGtype(2, 3, 1), 0);
  EXPECT_EQ(v.IndivAge[1], 3);
}

// A byte-order mark at the start of the file is no part of the dataset name.
TEST(ReadData, ByteOrderMarkAtTheStartIsPassedOver) {
  const Variables v = ReadValid("\xEF\xBB\xBF" + Join(kValid));
  EXPECT_EQ(common::TrimRight(v.DatasetName), "Trial dataset");
  EXPECT_EQ(v.SmplSize, 6);
}

TEST(ReadData, FemaleOlderThanHerMaximumCountsInTheWiderTable) {
  const Variables v = ReadValid(Edited(16, 1, "Amy 2 3 10 10 2 5 7"));
  EXPECT_EQ(v.AgeSize(3, 2), 1);
  EXPECT_EQ(v.AgeSize(0, 2), 0);
}

TEST(ReadData, MissingFileStopsWithOneLine) {
  testutil::ScopedTempDir dir;
  Variables v;
  try {
    pairwise::ReadData(v);
    FAIL() << "no stop";
  } catch (const CompanionStop& stop) {
    EXPECT_FALSE(stop.memory);
    EXPECT_EQ(stop.lines, (std::array<std::string, 5>{
                              "Input file AgeSexGtype.dat does not exist!", "", "", "", ""}));
  }
}

struct FaultCase {
  int line, span;
  const char* text;  // replaces the lines; null cuts the file there
  const char* message;
};

// One fault per row; every such stop carries the two standard lines.
const FaultCase kFaults[] = {
    {1, 0, nullptr, "Error in reading line 1, Dataset Name"},
    {2, 0, nullptr, "Error in reading line 2, Output File Name"},
    {3, 1, "0", "The sample size of offspring should be greater than 0!"},
    {3, 1, "6.0", "Error in reading line 3, Offspring Sample Size"},
    {4, 1, "x 2", "Error in reading line 4, Maximal age for males & females"},
    {4, 1, "0 2", "The maximal age for males is too small!"},
    {4, 1, "51 2", "The maximal age for males is too large!"},
    {4, 1, "3 0", "The maximal age for females is too small!"},
    {4, 1, "3 51", "The maximal age for females is too large!"},
    {5, 1, "a", "Error in reading line 5, Minimal reproductive age for males & females"},
    {5, 1, "0 1", "The minimal reproductive age for males is too small!"},
    {5, 1, "4 1", "The minimal reproductive age for males is too large!"},
    {5, 1, "1 0", "The minimal reproductive age for females is too small!"},
    {5, 1, "1 3", "The minimal reproductive age for females is too large!"},
    {6, 1, "p", "Error in reading line 6, assumed family size distribution!"},
    {6, 1, "2",
     "The indicator for assumed family size distribution must be 1/0 for Poisson/Other "
     "distribution!"},
    {7, 1, "q", "Error in reading line 7, sampling proportion known/unknown for each age class!"},
    {7, 1, "-1", "The indicator for sampling proportion must be 1/0 for known/unknown!"},
    {7, 1, "1\n0.5 x 0.5\n0.5 0.5", "Error in reading known sampling proportions of each age class"},
    {7, 1, "1\n0.5 0.5 1.5\n0.5 0.5", "Invalid values for known sampling proportions!"},
    {7, 1, "1\n0.5 0.5 0.5\n0.5 -0.1", "Invalid values for known sampling proportions!"},
    {7, 2, "1\n0.5 0.5 0.5\n0.5 0.5\nx",
     "Error in reading line  10, number of bootstrapping samples!"},
    {8, 1, "x", "Error in reading line   8, number of bootstrapping samples!"},
    {8, 1, "-1", "The number of bootstrapping samples must be >=0!"},
    {8, 1, "100001", "The number of bootstrapping samples is too big!"},
    {9, 1, "3.0", "Error in reading line   9, Number of Loci"},
    {9, 1, "0", "The number of loci should be greater than 0!"},
    {10, 1, "95.0", "Error in reading line  10, Confidence level for parentage assignment"},
    {11, 0, nullptr, "Error in reading line  11, Marker IDs"},
    {11, 1, "Mb Ma Mb",
     "Marker       3 has the same ID,                   Mb, as Marker       1"},
    {12, 1, "0 x 0", "Error in reading line  12, indicators for marker types per locus"},
    {12, 1, "0 2 0", "Marker type should be either 1 (dominant) or 0 (codominant)!"},
    {12, 1, "0 1 -1", "Marker type should be either 1 (dominant) or 0 (codominant)!"},
    {13, 1, "0.01 x 0", "Error in reading line  13, Dropout Rate per locus"},
    {13, 1, "0.01 1.5 0", "Marker error rate is out of the range [0, 1]!"},
    {14, 1, "0 0 y", "Error in reading line  14, Other Error Rate per locus"},
    {14, 1, "0 -1e-300 1", "Marker error rate is out of the range [0, 1]!"},
    {14, 1, "0 0.01 1.000001", "Marker error rate is out of the range [0, 1]!"},
    {15, 1, "Zed 1 3 10 12.5 1 5 5",
     "Error in reading line  15, Data or data format error in offspring ID/Sex/Age/genotypes"},
    // Sex and age out of range are faults of their line.
    {15, 1, "Zed 3 3 10 12 1 5 5",
     "Error in reading line  15, Data or data format error in offspring ID/Sex/Age/genotypes"},
    {16, 1, "Amy 0 0 10 10 2 5 7",
     "Error in reading line  16, Data or data format error in offspring ID/Sex/Age/genotypes"},
    {17, 1, "Kim 1 4 12 14 1 7 7",
     "Error in reading line  17, Data or data format error in offspring ID/Sex/Age/genotypes"},
    {18, 1, "Bob 1 -1 14 10 2 5 9",
     "Error in reading line  18, Data or data format error in offspring ID/Sex/Age/genotypes"},
    {20, 1, "Joe 1 0 12 12 0 7",  // runs into the proportions line
     "Error in reading line  20, Data or data format error in offspring ID/Sex/Age/genotypes"},
    {18, 0, nullptr,
     "Error in reading line  18, Data or data format error in offspring ID/Sex/Age/genotypes"},
    // A blank identifier (null or quoted blanks) is a fault of its line.
    {15, 1, ",1,3,10,12,1,5,5",
     "Error in reading line  15, Data or data format error in offspring ID/Sex/Age/genotypes"},
    {16, 1, "'' 2 0 10 10 2 5 7",
     "Error in reading line  16, Data or data format error in offspring ID/Sex/Age/genotypes"},
    {17, 1, "'   ' 1 1 12 14 1 7 7",
     "Error in reading line  17, Data or data format error in offspring ID/Sex/Age/genotypes"},
    // A "/" before the last value leaves the rest of the line missing; an
    // empty age field would be read as age 0.
    {15, 1, "Zed 1 3 10/12 1 5 5",
     "Error in reading line  15, Data or data format error in offspring ID/Sex/Age/genotypes"},
    {16, 1, "Amy 2 0 10 10 2 5 /",
     "Error in reading line  16, Data or data format error in offspring ID/Sex/Age/genotypes"},
    {17, 1, "Kim 1 / 12 14 1 7 7",
     "Error in reading line  17, Data or data format error in offspring ID/Sex/Age/genotypes"},
    {18, 1, "Bob,1,,14,10,2,5,9",
     "Error in reading line  18, Data or data format error in offspring ID/Sex/Age/genotypes"},
    // An identifier that would not read back as itself from the assignment
    // files, where it stands unquoted.
    {15, 1, "'Zed Amy' 1 3 10 12 1 5 5",
     "Error in reading line  15, Data or data format error in offspring ID/Sex/Age/genotypes"},
    {15, 1, "' Zed' 1 3 10 12 1 5 5",
     "Error in reading line  15, Data or data format error in offspring ID/Sex/Age/genotypes"},
    {15, 1, "'Zed,1' 1 3 10 12 1 5 5",
     "Error in reading line  15, Data or data format error in offspring ID/Sex/Age/genotypes"},
    {15, 1, "'Z/ed' 1 3 10 12 1 5 5",
     "Error in reading line  15, Data or data format error in offspring ID/Sex/Age/genotypes"},
    {15, 1, "Z/ed 1 3 10 12 1 5 5",
     "Error in reading line  15, Data or data format error in offspring ID/Sex/Age/genotypes"},
    {15, 1, "'Z\ted' 1 3 10 12 1 5 5",
     "Error in reading line  15, Data or data format error in offspring ID/Sex/Age/genotypes"},
    {15, 1, "\"'Zed\" 1 3 10 12 1 5 5",
     "Error in reading line  15, Data or data format error in offspring ID/Sex/Age/genotypes"},
    {15, 1, "'2*Zed' 1 3 10 12 1 5 5",
     "Error in reading line  15, Data or data format error in offspring ID/Sex/Age/genotypes"},
    {20, 1, "Kim 1 0 12 12 0 7 9",
     "Offspring       6 has the same ID, Kim, as offspring       3"},
    {21, 1, "0.5 z", "Error in reading line  21, Proportions of parents sampled"},
    {21, 1, "0.5 0.0009", "Probability of a parent included in candidates should be >= 0.001!"},
    {21, 1, "0.0005 0.6", "Probability of a parent included in candidates should be >= 0.001!"},
    {21, 1, "1.5 0.6", "Probability of a parent included in candidates should be <= 1!"},
    {21, 1, "0.5 1.0000001", "Probability of a parent included in candidates should be <= 1!"},
    {21, 1, "1.5 0.0005", "Probability of a parent included in candidates should be >= 0.001!"},
    {22, 0, nullptr, "Error in reading line  22, known paternity"},
    {22, 1, "x", "Error in reading line  22, known paternity"},
    {23, 1, "Ann Bob", " Offspring ID, Ann, not found in the offspring pool!"},
    {23, 1, "Joe Ann", " Candidate ID, Ann, not found in the Candidate pool!"},
    // A null identifier is blank, never the previous line's identifier.
    {22, 2, "2\nJoe Bob\n,Eve", " Offspring ID, , not found in the offspring pool!"},
    {23, 1, "Joe ''", " Candidate ID, , not found in the Candidate pool!"},
    // Known parents that contradict the sample: the other sex, or a second
    // parent of one sex for one offspring.
    {23, 1, "Joe Eve", " Known father ID, Eve, of offspring ID, Joe, is not a male!"},
    {25, 1, "Joe Kim", " Known mother ID, Kim, of offspring ID, Joe, is not a female!"},
    {22, 2, "2\nJoe Bob\nJoe Kim", " Offspring ID, Joe, has two known fathers, Bob and Kim!"},
    {22, 2, "3\nJoe Bob\nKim Zed\nJoe Zed",
     " Offspring ID, Joe, has two known fathers, Bob and Zed!"},
    {24, 2, "2\nJoe Eve\nJoe Amy", " Offspring ID, Joe, has two known mothers, Eve and Amy!"},
    {24, 0, nullptr, "Error in reading line  24, known maternity"},
    {25, 1, "Joe bob", " Candidate ID, bob, not found in the Candidate pool!"},
    {25, 0, nullptr, "Error in reading line  25, known offspring-parent IDs"},
    {26, 0, nullptr, "Error in reading line  26, Known excluded paternity"},
    {27, 1, "Kim x Zed Amy", "Error in reading line  27, Known excluded paternity/maternity"},
    {27, 1, "Ann 2 Zed Amy", " Offspring ID, Ann, not found in the offspring pool!"},
    {27, 1, "Kim 2 Zed Ann", " Candidate ID, Ann, not found in the Candidate pool!"},
    {27, 1, "Kim 2 Zed Zed", " Candidate ID, Zed, not found in the Candidate pool!"},
    {27, 2, "Kim 2 Zed Amy\nKim 2 Bob Bob", " Candidate ID, Bob, not found in the Candidate pool!"},
    {27, 2, "Kim 2 Zed Amy\nJoe,2,,Bob", " Candidate ID, , not found in the Candidate pool!"},
    {27, 2, "Kim 2 Zed Amy\n,2,Zed,Amy", " Offspring ID, , not found in the offspring pool!"},
    // More identifiers than candidates: stops, never writes past the list.
    {27, 1, "Kim 8 Zed Amy Kim Bob Eve Joe Zed Amy",
     " Candidate ID, Zed, not found in the Candidate pool!"},
    {27, 1, "Kim 2000000000 Zed Amy", " Candidate ID, 2, not found in the Candidate pool!"},
    // The two-line exclusion line counts as one read.
    {31, 1, "Eve x", "Error in reading line  30, Known excluded paternity/maternity"},
    {31, 1, "Eve 3 Kim Bob Ann", " Candidate ID, Ann, not found in the Candidate pool!"},
    {32, 0, nullptr, "Error in reading line  31, Known excluded maternity"},
    {32, 1, "z", "Error in reading line  31, Known excluded maternity"},
    {33, 1, "Zed 2 Eve", "Error in reading line  32, Known excluded paternity/maternity"},
    {33, 1, "Zed 3 Eve Kim Eve", " Candidate ID, Eve, not found in the Candidate pool!"},
};

// Shown in the test names: the message, not the bytes of the case.
void PrintTo(const FaultCase& c, std::ostream* os) { *os << '"' << c.message << '"'; }

class ReadDataFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(ReadDataFault, StopsWithItsMessageAndTheStandardLines) {
  const FaultCase& c = GetParam();
  const CompanionStop stop = ReadFailure(Edited(c.line, c.span, c.text));
  EXPECT_FALSE(stop.memory);
  EXPECT_EQ(stop.lines, (std::array<std::string, 5>{c.message, kLine2, kLine3, "", ""}));
}

INSTANTIATE_TEST_SUITE_P(Table, ReadDataFault, ::testing::ValuesIn(kFaults),
                         [](const ::testing::TestParamInfo<FaultCase>& info) {
                           return "Line" + std::to_string(info.param.line) + "_Case" +
                                  std::to_string(info.index);
                         });

// Cutting the valid file at any byte before the end of its last value stops
// cleanly with a message and the standard lines, never a crash.
TEST(ReadData, TruncationAtEveryByteStopsCleanly) {
  const std::string full = Join(kValid);
  const std::size_t lastValueEnd = full.size() - 1;  // before the final newline
  for (std::size_t n = 0; n < lastValueEnd; ++n) {
    SCOPED_TRACE("cut after " + std::to_string(n) + " bytes");
    const CompanionStop stop = ReadFailure(full.substr(0, n));
    EXPECT_FALSE(stop.memory);
    EXPECT_NE(stop.lines[0], "");
    EXPECT_EQ(stop.lines[1], kLine2);
    EXPECT_EQ(stop.lines[2], kLine3);
  }
  ReadValid(full.substr(0, lastValueEnd));  // without its last newline the file is whole
}

}  // namespace
