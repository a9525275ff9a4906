#include "estimation/main_flow.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "test_util.h"

namespace {

using estimation::AgeVariables;

const std::string kLine(82, '-');
const std::string kBanner =
    "\n" + kLine + "\n" +
    "Tavimorelund, Version 1.1, Build 20160719\n"
    "Estimates reproductive share, size and sampling rate of each sex and age class, Ne\n"
    "from parentage within a sample\n" +
    kLine + "\n\n\n";

// A control file that passes the header checks; individuals are appended.
std::string ControlFile(const std::string& individuals) {
  return "Run\nout\n2\n2 2\n1 1\n1\n0\n0\n1\n95\nM1\n0\n0\n0\n" + individuals +
         "0.5 0.5\n0\n0\n0\n0\n";
}

bool AnyReportWritten() {
  for (const auto& e : std::filesystem::directory_iterator("."))
    if (e.path().extension() == ".Ne") return true;
  return false;
}

TEST(MainFlow, BannerHasEightLinesWithCreditsOf82And30Characters) {
  std::ostringstream out;
  estimation::ShowVersion(out);
  EXPECT_EQ(out.str(), kBanner);
  std::istringstream lines(out.str());
  std::vector<std::string> v;
  for (std::string l; std::getline(lines, l);) v.push_back(l);
  ASSERT_EQ(v.size(), 8u);
  EXPECT_EQ(v[3].size(), 82u);
  EXPECT_EQ(v[4].size(), 30u);
}

TEST(MainFlow, CopyFileKeepsLongLinesWholeAndDropsTrailingBlanks) {
  testutil::ScopedTempDir dir;
  const std::string long_line = std::string(4999, '7') + "8";
  testutil::WriteFile("src.dat", "first line   \n" + long_line + "  \n\n   \n\tkept tab\t\nlast  ");
  testutil::WriteFile("dst.dat", std::string(20000, 'o'));  // an old, longer copy
  estimation::CopyFile("  src.dat ", "dst.dat  ");
  EXPECT_EQ(testutil::ReadFile("dst.dat"),
            "first line\n" + long_line + "\n\n\n\tkept tab\t\nlast\n");
}

TEST(MainFlow, CopyFileOfAMissingSourceCreatesAndChangesNothing) {
  testutil::ScopedTempDir dir;
  estimation::CopyFile("missing.dat", "new.dat");
  EXPECT_FALSE(testutil::FileExists("new.dat"));
  testutil::WriteFile("old.dat", "keep\n");
  estimation::CopyFile("missing.dat", "old.dat");
  EXPECT_EQ(testutil::ReadFile("old.dat"), "keep\n");
}

TEST(MainFlow, RemoveFileDeletesAnExistingFileAndIgnoresAMissingOne) {
  testutil::ScopedTempDir dir;
  estimation::RemoveFile("missing.dat");
  testutil::WriteFile("old.dat", "x\n");
  estimation::RemoveFile(" old.dat ");
  EXPECT_FALSE(testutil::FileExists("old.dat"));
}

TEST(MainFlow, InitiateSeedsTheStreamSizesEstimateAndReadsPath) {
  struct Case {
    const char* path;  // nullptr: unset
    int crrt_os;
  };
  const std::vector<Case> cases = {{"/usr/local/bin:/usr/bin", 2}, {"/", 2},    {"usr/bin", 1},
                                   {" /usr/bin", 1},               {"C:\\bin", 1}, {"", 1},
                                   {nullptr, 1}};
  for (const Case& c : cases) {
    if (c.path == nullptr)
      unsetenv("PATH");
    else
      setenv("PATH", c.path, 1);
    AgeVariables av;
    av.NumAgeClass = {5, 2, 3};
    av.Rng.Idum = 77;
    av.CrrtOS = 0;
    estimation::Initiate(av);
    EXPECT_EQ(av.CrrtOS, c.crrt_os) << (c.path ? c.path : "(unset)");
    EXPECT_EQ(av.Rng.Idum, -1234);
    for (const auto& layer : av.Estimate) {
      EXPECT_EQ(layer.RowLo(), 1);
      EXPECT_EQ(layer.RowHi(), 5);
      EXPECT_EQ(layer.ColLo(), 1);
      EXPECT_EQ(layer.ColHi(), 4);
    }
  }
}

// A stop inside the run: banner first, then the stop line; the stop text on
// standard error, status 1, and the working directory as it was.
TEST(MainFlow, RunMainStopsAfterTheBannerAndLeavesFilesAlone) {
  testutil::ScopedTempDir dir;
  testutil::WriteFile("Tavimorelund.dat", ControlFile("A 1 1 1 2\nB 3 1 1 2\n"));
  testutil::WriteFile("AgeSexGtype.dat", "stale\n");
  std::ostringstream console;
  std::ostringstream err;
  std::streambuf* old_err = std::cerr.rdbuf(err.rdbuf());
  AgeVariables av;
  av.Console = &console;
  const int status = estimation::RunMain(av);
  std::cerr.rdbuf(old_err);

  EXPECT_EQ(status, 1);
  EXPECT_EQ(console.str(),
            kBanner +
                " StopOnError: Error in reading line  16, Data or data format error in offspring "
                "ID/Sex/Age/genotypes\n");
  EXPECT_EQ(err.str(), "program terminated by StopOnError\n");
  EXPECT_EQ(testutil::ReadFile("AgeSexGtype.dat"), "stale\n");
  EXPECT_FALSE(AnyReportWritten());
}

TEST(MainFlow, ProgramStopsWithStatusOneAndTheStopText) {
  struct Case {
    const char* name;
    const char* control;  // nullptr: no control file
    std::string stop_line;
  };
  const std::vector<Case> cases = {
      {"no control file", nullptr,
       " StopOnError: Error in reading file Tavimorelund.dat in Subroutine ReadData\n"},
      {"female older than the female maximum", "Run\nout\n1\n3 2\n1 1\n1\n0\n0\n1\n95\nM1\n0\n0\n0\n"
                                               "A 2 3 1 2\n0.5 0.5\n",
       " StopOnError: Error in reading line  15, Data or data format error in offspring "
       "ID/Sex/Age/genotypes\n"},
      {"too many bootstrap replicates", "Run\nout\n1\n3 2\n1 1\n1\n0\n100001\n",
       " StopOnError: The number of bootstrapping samples is too big!\n"},
  };
  for (const Case& c : cases) {
    testutil::ScopedTempDir dir;
    if (c.control != nullptr) testutil::WriteFile("Tavimorelund.dat", c.control);
    const testutil::RunResult r = testutil::RunProgram(MAIN_EXE);
    EXPECT_EQ(r.exit_status, 1) << c.name;
    EXPECT_EQ(r.out, kBanner + c.stop_line) << c.name;
    EXPECT_EQ(r.err, "program terminated by StopOnError\n") << c.name;
    EXPECT_FALSE(testutil::FileExists("AgeSexGtype.dat")) << c.name;
    EXPECT_FALSE(AnyReportWritten()) << c.name;
  }
}

}  // namespace
