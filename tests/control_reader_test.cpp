#include "estimation/control_reader.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <string>
#include <utility>
#include <vector>

#include "test_util.h"

namespace {

using estimation::AgeVariables;
using estimation::ReadData;
using estimation::StopError;

using Lines = std::vector<std::string>;

// A valid control file with unknown sampling proportions (line 7 = 0): two
// loci (codominant, dominant), males of ages up to 2, females up to 3.
Lines BaseFile() {
  return {
      "TestSet   dataset name",  // 1
      "out",                     // 2
      "3   individuals",         // 3
      "2 3   maximal ages",      // 4
      "1 1",                     // 5
      "1",                       // 6
      "0",                       // 7
      "10  replicates",          // 8
      "2",                       // 9
      "95",                      // 10
      "M1 M2",                   // 11
      "0 1",                     // 12
      "0.01 0.02",               // 13
      "0.01 0.02",               // 14
      "I1 1 2 101 102 1",        // 15
      "I2 2 3 101 103 2",        // 16
      "I3 1 0 0 0 0",            // 17
      "0.5 0.5",                 // 18
      "0", "0", "0", "0",        // known and exclusion blocks
  };
}

// The same run with known sampling proportions (line 7 = 1, two more lines).
Lines KnownProportionsFile() {
  Lines f = BaseFile();
  f[6] = "1";
  f.insert(f.begin() + 7, {"0.5 1", "0 0.2 1"});
  return f;
}

// line: 1-based line to replace; text nullptr cuts the file before it.
struct Edit {
  int line;
  const char* text;
};

std::string Build(Lines lines, const Edit& e) {
  if (e.line > 0) {
    if (e.text == nullptr)
      lines.resize(static_cast<std::size_t>(e.line) - 1);
    else
      lines[static_cast<std::size_t>(e.line) - 1] = e.text;
  }
  std::string s;
  for (const std::string& l : lines) s += l + "\n";
  return s;
}

// Runs the reader on the given file; returns "" on success, else the message.
std::string ReadMessage(const std::string& content, AgeVariables& av) {
  testutil::WriteFile("Tavimorelund.dat", content);
  try {
    ReadData(av);
  } catch (const StopError& e) {
    return e.what();
  }
  return "";
}

std::string ReadMessage(const std::string& content) {
  AgeVariables av;
  return ReadMessage(content, av);
}

struct FaultCase {
  const char* name;
  Edit edit;
  std::string message;
};

const std::string kIndiv = ", Data or data format error in offspring ID/Sex/Age/genotypes";

TEST(ControlReader, MissingFileStopsWithOpenMessage) {
  testutil::ScopedTempDir dir;
  AgeVariables av;
  try {
    ReadData(av);
    FAIL() << "no stop";
  } catch (const StopError& e) {
    EXPECT_STREQ(e.what(), "Error in reading file Tavimorelund.dat in Subroutine ReadData");
  }
}

TEST(ControlReader, FaultyFilesStopAtTheFirstFaultWithItsMessage) {
  const std::vector<FaultCase> cases = {
      {"empty file", {1, nullptr}, "Error in reading line 1, Dataset Name"},
      {"no output name", {2, nullptr}, "Error in reading line 2, Output File Name"},
      {"sample size not a number", {3, "x"}, "Error in reading line 3, Offspring Sample Size"},
      {"sample size 0", {3, "0"}, "The sample size of offspring should be greater than 0!"},
      {"one maximal age only", {4, nullptr},
       "Error in reading line 4, Maximal age for males & females"},
      {"male age 0", {4, "0 3"}, "The maximal age for males is too small!"},
      {"male age 51", {4, "51 3"}, "The maximal age for males is too large!"},
      {"female age 0", {4, "2 0"}, "The maximal age for females is too small!"},
      {"female age 51", {4, "2 51"}, "The maximal age for females is too large!"},
      {"male and female both bad: males first", {4, "51 0"},
       "The maximal age for males is too large!"},
      {"min age not a number", {5, "1 a"},
       "Error in reading line 5, Minimal reproductive age for males & females"},
      {"male min age 0", {5, "0 1"}, "The minimal reproductive age for males is too small!"},
      {"male min age above max", {5, "3 1"},
       "The minimal reproductive age for males is too large!"},
      {"female min age 0", {5, "1 0"}, "The minimal reproductive age for females is too small!"},
      {"female min age above max", {5, "1 4"},
       "The minimal reproductive age for females is too large!"},
      {"family size not a number", {6, "P"},
       "Error in reading line 6, assumed family size distribution!"},
      {"family size 2", {6, "2"},
       "The indicator for assumed family size distribution must be 1/0 for Poisson/Other "
       "distribution!"},
      {"sampling indicator 1.0", {7, "1.0"},
       "Error in reading line 7, sampling proportion known/unknown for each age class!"},
      {"sampling indicator -1", {7, "-1"},
       "The indicator for sampling proportion must be 1/0 for known/unknown!"},
      {"replicates not a number", {8, "x"},
       "Error in reading line   8, number of bootstrapping samples!"},
      {"replicates -1", {8, "-1"}, "The number of bootstrapping samples must be >=0!"},
      {"replicates 100001", {8, "100001"}, "The number of bootstrapping samples is too big!"},
      {"loci 1.5", {9, "1.5"}, "Error in reading line   9, Number of Loci"},
      {"loci 0", {9, "0"}, "The number of loci should be greater than 0!"},
      {"confidence 95.0", {10, "95.0"},
       "Error in reading line  10, Confidence level for parentage assignment"},
      {"confidence 95%", {10, "95%"},
       "Error in reading line  10, Confidence level for parentage assignment"},
      {"marker IDs missing", {11, nullptr}, "Error in reading line  11, Marker IDs"},
      {"duplicate marker", {11, "M1 M1"},
       "Marker       2 has the same ID,                   M1, as Marker       1"},
      {"markers alike in their first 20 characters", {11, "ABCDEFGHIJKLMNOPQRSTU1 "
                                                          "ABCDEFGHIJKLMNOPQRSTU2"},
       "Marker       2 has the same ID, ABCDEFGHIJKLMNOPQRST, as Marker       1"},
      {"marker type not a number", {12, "0 x"},
       "Error in reading line  12, indicators for marker types per locus"},
      {"marker type 2", {12, "0 2"}, "Marker type should be either 1 (dominant) or 0 (codominant)!"},
      {"marker type -1", {12, "-1 0"},
       "Marker type should be either 1 (dominant) or 0 (codominant)!"},
      {"dropout rate not a number", {13, "0.01 y"}, "Error in reading line  13, Dropout Rate per locus"},
      {"dropout rate above 1", {13, "1.5 0"}, "Marker error rate is out of the range [0, 1]!"},
      {"dropout rate -1e-300", {13, "-1e-300 0"}, "Marker error rate is out of the range [0, 1]!"},
      {"other rate above 1", {14, "0 1.0000001"}, "Marker error rate is out of the range [0, 1]!"},
      {"other rate missing", {14, nullptr}, "Error in reading line  14, Other Error Rate per locus"},
      {"genotype not a number", {15, "I1 1 2 101 x 1"}, ("Error in reading line  15" + kIndiv)},
      {"sex 3", {15, "I1 3 2 101 102 1"}, ("Error in reading line  15" + kIndiv)},
      {"sex 0", {16, "I2 0 1 101 103 2"}, ("Error in reading line  16" + kIndiv)},
      {"female age above the female maximum", {16, "I2 2 4 101 103 2"},
       ("Error in reading line  16" + kIndiv)},
      {"male age above the male maximum", {16, "I2 1 3 101 103 2"},
       ("Error in reading line  16" + kIndiv)},
      {"negative age", {17, "I3 1 -1 0 0 0"}, ("Error in reading line  17" + kIndiv)},
      {"null identifier", {15, ",1,2,101,102,1"}, ("Error in reading line  15" + kIndiv)},
      {"empty quoted identifier", {16, "'' 2 3 101 103 2"}, ("Error in reading line  16" + kIndiv)},
      {"blank quoted identifier", {17, "'  ' 1 0 0 0 0"}, ("Error in reading line  17" + kIndiv)},
      // A "/" before the last value would leave the rest of the line
      // missing; an empty age field would be read as age 0.
      {"genotype written with a slash", {15, "I1 1 2 101/102 1"},
       ("Error in reading line  15" + kIndiv)},
      {"slash before the last code", {16, "I2 2 3 101 103 /"}, ("Error in reading line  16" + kIndiv)},
      {"empty age field", {17, "I3,1,,0,0,0"}, ("Error in reading line  17" + kIndiv)},
      // Identifiers that would not read back as themselves from the
      // assignment files, where they stand unquoted.
      {"identifier of two words", {15, "'I1 I2' 1 2 101 102 1"}, ("Error in reading line  15" + kIndiv)},
      {"identifier with a leading blank", {15, "' I1' 1 2 101 102 1"},
       ("Error in reading line  15" + kIndiv)},
      {"identifier with a comma", {15, "\"I1,2\" 1 2 101 102 1"}, ("Error in reading line  15" + kIndiv)},
      {"identifier with a slash", {15, "'I/1' 1 2 101 102 1"}, ("Error in reading line  15" + kIndiv)},
      {"unquoted identifier with a slash", {15, "I/1 1 2 101 102 1"},
       ("Error in reading line  15" + kIndiv)},
      {"identifier beginning with a quote", {15, "\"'I1\" 1 2 101 102 1"},
       ("Error in reading line  15" + kIndiv)},
      {"identifier in repeat form", {15, "'1*I1' 1 2 101 102 1"}, ("Error in reading line  15" + kIndiv)},
      {"file ends in the individuals", {17, nullptr}, ("Error in reading line  17" + kIndiv)},
      {"file ends after the individuals", {18, nullptr},
       "Error in reading line  18, Proportions of parents sampled"},
      {"proportion not a number", {18, "0.5 x"},
       "Error in reading line  18, Proportions of parents sampled"},
      {"proportion of fathers below 0.001", {18, "0.0009 0.5"},
       "Probability of a parent included in candidates should be >= 0.001!"},
      {"proportion of mothers above 1", {18, "0.5 1.5"},
       "Probability of a parent included in candidates should be <= 1!"},
      {"one above 1, the other below 0.001", {18, "1.5 0"},
       "Probability of a parent included in candidates should be >= 0.001!"},
      // Each pass re-reads one individual per line and skips the header by
      // counting lines: a read continued on a next line would shift them.
      {"individual continued on a next line", {15, "I1 1 2 101 102\n1"},
       ("Error in reading line  15" + kIndiv + ": the values must stand on one line")},
      {"marker IDs over two lines", {11, "M1\nM2"},
       "Error in reading line  11, Marker IDs: the values must stand on one line"},
  };
  testutil::ScopedTempDir dir;
  for (const FaultCase& c : cases)
    EXPECT_EQ(ReadMessage(Build(BaseFile(), c.edit)), c.message) << c.name;
}

#if defined(__SANITIZE_ADDRESS__)
#define CONTROL_READER_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CONTROL_READER_TEST_ASAN 1
#endif
#endif

// A number of loci whose per-locus fields do not fit in memory (some 70 GB)
// stops with the allocation message instead of ending the program on an
// uncaught allocation failure. A cap on the address space makes the
// allocation fail on any machine; the sanitizers' shadow memory cannot run
// under such a cap, so the case is left out there.
TEST(ControlReader, NumberOfLociTooLargeForMemoryStopsWithTheAllocationMessage) {
#ifdef CONTROL_READER_TEST_ASAN
  GTEST_SKIP() << "needs an address-space limit, which AddressSanitizer cannot run under";
#else
  testutil::ScopedTempDir dir;
  const std::string content = Build(BaseFile(), {9, "2147483647"});
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_AS, &old), 0);
  rlimit cap = old;
  cap.rlim_cur = rlim_t{4} << 30;
  ASSERT_EQ(setrlimit(RLIMIT_AS, &cap), 0);
  const std::string message = ReadMessage(content);
  setrlimit(RLIMIT_AS, &old);
  EXPECT_EQ(message, "Error in allocating arrays in subroutine ReadData");
#endif
}

// Large samples: the proportions line is cut off at line 9999 or 10000, and
// a five-digit number widens its field rather than becoming asterisks.
TEST(ControlReader, LineNumbersFromTenThousandWidenTheirField) {
  const std::pair<int, const char*> cases[] = {
      {9999, "Error in reading line9999, Proportions of parents sampled"},
      {10000, "Error in reading line10000, Proportions of parents sampled"},
  };
  testutil::ScopedTempDir dir;
  for (const auto& [line, message] : cases) {
    const int s = line - 15;
    Lines f = BaseFile();
    f.resize(14);
    f[2] = std::to_string(s);
    for (int i = 1; i <= s; ++i) f.push_back("I" + std::to_string(i) + " 1 0 101 102 1");
    EXPECT_EQ(ReadMessage(Build(f, {0, nullptr})), message);
  }
}

TEST(ControlReader, EmptyLinesBetweenItemsAreAccepted) {
  testutil::ScopedTempDir dir;
  AgeVariables av;
  EXPECT_EQ(ReadMessage(Build(BaseFile(), {10, "\n95\n"}), av), "");
  EXPECT_EQ(av.ConfidenceLevel, "95");
  EXPECT_EQ(av.SmplSize, 3);
}

TEST(ControlReader, RateCheckWaitsForTheSecondRateLine) {
  testutil::ScopedTempDir dir;
  Lines f = BaseFile();
  f[12] = "1.5 0";  // bad dropout rate, then an unreadable other-rate line
  EXPECT_EQ(ReadMessage(Build(f, {14, "x"})), "Error in reading line  14, Other Error Rate per locus");
}

TEST(ControlReader, KnownSamplingProportionsShiftTheLineNumbers) {
  const std::vector<FaultCase> cases = {
      {"female line absent", {9, nullptr},
       "Error in reading known sampling proportions of each age class"},
      {"female proportion negative", {9, "0 -0.1 1"}, "Invalid values for known sampling proportions!"},
      {"female value not a number", {9, "0 x 1"},
       "Error in reading known sampling proportions of each age class"},
      {"replicates not a number", {10, "x"},
       "Error in reading line  10, number of bootstrapping samples!"},
      {"marker IDs missing", {13, nullptr}, "Error in reading line  13, Marker IDs"},
      {"bad sex on the first individual", {17, "I1 5 2 101 102 1"},
       ("Error in reading line  17" + kIndiv)},
      {"file ends after the individuals", {20, nullptr},
       "Error in reading line  20, Proportions of parents sampled"},
  };
  testutil::ScopedTempDir dir;
  for (const FaultCase& c : cases)
    EXPECT_EQ(ReadMessage(Build(KnownProportionsFile(), c.edit)), c.message) << c.name;

  // A bad male value stops before the female line is read.
  Lines f = KnownProportionsFile();
  f[7] = "1.5 0";
  EXPECT_EQ(ReadMessage(Build(f, {9, nullptr})), "Invalid values for known sampling proportions!");
}

TEST(ControlReader, BoundaryValuesAreAccepted) {
  const std::vector<std::pair<const char*, Edit>> cases = {
      {"maximal ages 50", {4, "50 50"}},
      {"minimal ages equal to the maximal ages", {5, "2 3"}},
      {"no replicates", {8, "0"}},
      {"100000 replicates", {8, "100000"}},
      {"rates 0 and 1", {13, "0 1"}},
      {"rate -1e-301", {14, "-1e-301 1"}},
      {"file ends after the proportions", {19, nullptr}},
      {"age 0 of a female", {16, "I2 2 0 101 103 2"}},
      {"proportions of parents 0.001 and 1", {18, "0.001 1"}},
      {"slash after the last value", {15, "I1 1 2 101 102 1 / comment"}},
      {"slash ends a header line early", {14, "0.01 /"}},
      {"quoted identifier", {15, "'I1' 1 2 101 102 1"}},
      {"apostrophe inside an identifier", {15, "I'1 1 2 101 102 1"}},
      {"empty allele fields", {17, "I3,1,0,,,,"}},
  };
  testutil::ScopedTempDir dir;
  for (const auto& [name, edit] : cases) EXPECT_EQ(ReadMessage(Build(BaseFile(), edit)), "") << name;
}

TEST(ControlReader, ConfidenceLevelIsKeptInTwoColumns) {
  const std::vector<std::pair<const char*, std::string>> cases = {
      {"95", "95"}, {"5", " 5"}, {"100", "**"}, {"-9", "-9"}, {"-10", "**"}, {"0", " 0"}};
  testutil::ScopedTempDir dir;
  for (const auto& [text, kept] : cases) {
    AgeVariables av;
    ASSERT_EQ(ReadMessage(Build(BaseFile(), {10, text}), av), "") << text;
    EXPECT_EQ(av.ConfidenceLevel, kept) << text;
    EXPECT_EQ(av.ConfidencePercent, std::stoi(text)) << text;  // the number decides acceptance
  }
}

TEST(ControlReader, ValidFileFillsTheRunParameters) {
  testutil::ScopedTempDir dir;
  AgeVariables av;
  ASSERT_EQ(ReadMessage(Build(KnownProportionsFile(), {0, nullptr}), av), "");

  EXPECT_EQ(av.DatasetName, "TestSet" + std::string(93, ' '));
  EXPECT_EQ(av.FName[1], "out");
  EXPECT_EQ(av.SmplSize, 3);
  EXPECT_EQ(av.NumAgeClass, (std::array<int, 3>{5, 2, 3}));
  EXPECT_EQ(av.MinParentAge[1], 1);
  EXPECT_EQ(av.MinParentAge[2], 1);
  EXPECT_EQ(av.FamilySizeDist, 1);
  EXPECT_EQ(av.SamplingPrbKnown, 1);
  EXPECT_EQ(av.SamplingPrbPrior[1], (std::vector<double>{0, 0.5, 1}));
  EXPECT_EQ(av.SamplingPrbPrior[2], (std::vector<double>{0, 0, 0.2, 1}));
  EXPECT_EQ(av.NumCI95Sample, 10);
  EXPECT_EQ(av.NumLoci, 2);
  EXPECT_EQ(av.MarkerID[1], std::string(18, ' ') + "M1");
  EXPECT_EQ(av.MarkerID[2], std::string(18, ' ') + "M2");
  EXPECT_EQ(av.Dominant[1], 0);
  EXPECT_EQ(av.Dominant[2], 1);
  EXPECT_EQ(av.DropRate[2], 0.02);
  EXPECT_EQ(av.OtherRate[1], 0.01);
  EXPECT_EQ(av.OffspringID[2], "I2" + std::string(18, ' '));
  EXPECT_EQ(av.IndivSex[2], 2);
  EXPECT_EQ(av.IndivAge[2], 3);
  EXPECT_EQ(av.IndivAge[3], 0);
  EXPECT_EQ(av.PropPrntSampled[1], 0.5);
  EXPECT_EQ(av.PropPrntSampled[2], 0.5);

  // Start stamp: CCYYMMDD and hhmmss.sss, the finish halves left blank.
  ASSERT_EQ(av.Date2.size(), 16u);
  ASSERT_EQ(av.Time2.size(), 20u);
  for (int i = 0; i < 8; ++i) EXPECT_TRUE(isdigit(av.Date2[i])) << av.Date2;
  EXPECT_EQ(av.Date2.substr(8), std::string(8, ' '));
  for (int i : {0, 1, 2, 3, 4, 5, 7, 8, 9}) EXPECT_TRUE(isdigit(av.Time2[i])) << av.Time2;
  EXPECT_EQ(av.Time2[6], '.');
  EXPECT_EQ(av.Time2.substr(10), std::string(10, ' '));
  EXPECT_GE(av.Date2.substr(0, 4), "2016");
  EXPECT_LE(av.Time2.substr(0, 2), "23");
}

// A byte-order mark at the start of the file is no part of the dataset name,
// which the report shows in its title.
TEST(ControlReader, ByteOrderMarkAtTheStartIsPassedOver) {
  testutil::ScopedTempDir dir;
  AgeVariables av;
  ASSERT_EQ(ReadMessage("\xEF\xBB\xBF" + Build(BaseFile(), {0, nullptr}), av), "");
  EXPECT_EQ(av.DatasetName, "TestSet" + std::string(93, ' '));
  EXPECT_EQ(av.OffspringID[3], "I3" + std::string(18, ' '));
}

// Codes are indexed by first appearance; an individual counts at a locus
// only when both slots hold a code above 0.
TEST(ControlReader, AlleleFrequenciesByFirstAppearance) {
  testutil::ScopedTempDir dir;
  const std::string file =
      "Freq\nout\n3\n2 2\n1 1\n1\n0\n0\n3\n95\n"
      "L1 L2 L3\n"
      "0 0 1\n"
      "0 0 0\n0 0 0\n"
      "A 1 1  7 3   0 0  2\n"
      "B 2 2  0 9  -1 4  1\n"
      "C 1 0  7 5   4 0  0\n"
      "0.5 0.5\n";
  AgeVariables av;
  ASSERT_EQ(ReadMessage(file, av), "");

  EXPECT_EQ(av.ObsNumAllele, (std::vector<int>{0, 3, 0, 2}));
  EXPECT_EQ(av.MaxObsNumAllele, 3);
  ASSERT_EQ(av.ObsAlleleFre.RowLo(), 1);
  ASSERT_EQ(av.ObsAlleleFre.RowHi(), 3);
  ASSERT_EQ(av.ObsAlleleFre.ColLo(), 1);
  ASSERT_EQ(av.ObsAlleleFre.ColHi(), 3);
  const double want_fre[3][3] = {{0.5, 0.25, 0.25}, {0, 0, 0}, {0.5, 0.5, 0}};
  const int want_code[3][3] = {{7, 3, 5}, {0, 0, 0}, {2, 1, 0}};
  for (int l = 1; l <= 3; ++l)
    for (int a = 1; a <= 3; ++a) {
      EXPECT_EQ(av.ObsAlleleFre(l, a), want_fre[l - 1][a - 1]) << l << "," << a;
      EXPECT_EQ(av.ObsAlleleCode(l, a), want_code[l - 1][a - 1]) << l << "," << a;
    }
  EXPECT_DOUBLE_EQ(av.ObsMissingShare[1], 1.0 / 3.0);
  EXPECT_EQ(av.ObsMissingShare[2], 1.0);
  EXPECT_DOUBLE_EQ(av.ObsMissingShare[3], 1.0 / 3.0);
}

TEST(ControlReader, NoTypedLocusGivesAnEmptyFrequencyTable) {
  testutil::ScopedTempDir dir;
  const std::string file =
      "Empty\nout\n2\n1 1\n1 1\n1\n0\n0\n1\n95\nL1\n0\n0\n0\n"
      "A 1 1 0 0\nB 2 0 3 0\n0.5 0.5\n";
  AgeVariables av;
  ASSERT_EQ(ReadMessage(file, av), "");
  EXPECT_EQ(av.ObsNumAllele[1], 0);
  EXPECT_EQ(av.MaxObsNumAllele, 0);
  EXPECT_EQ(av.ObsAlleleFre.RowHi(), 1);
  EXPECT_EQ(av.ObsAlleleFre.ColHi(), 0);
  EXPECT_TRUE(av.ObsAlleleFre.Empty());
  EXPECT_EQ(av.ObsMissingShare[1], 1.0);
}

TEST(ControlReader, ThreeMarkersWithTheFirstAndLastAlike) {
  testutil::ScopedTempDir dir;
  Lines f = BaseFile();
  f[8] = "3";
  f[11] = "0 0 1";
  f[12] = "0 0 0";
  f[13] = "0 0 0";
  EXPECT_EQ(ReadMessage(Build(f, {11, "A B A"})),
            "Marker       3 has the same ID,                    A, as Marker       1");
}

}  // namespace
