#include "estimation/main_flow.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "sample_generator.h"
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

// The whole run in this process: exit status, console and standard error.
testutil::RunResult RunInProcess() {
  std::ostringstream console;
  std::ostringstream err;
  std::streambuf* old_err = std::cerr.rdbuf(err.rdbuf());
  AgeVariables av;
  av.Console = &console;
  testutil::RunResult r;
  r.exit_status = estimation::RunMain(av);
  std::cerr.rdbuf(old_err);
  r.out = console.str();
  r.err = err.str();
  return r;
}

// A father, a mother and two newborns at one codominant locus, with the
// number of replicates and the confidence level given.
std::string FamilyControlFile(int reps, int level) {
  return "Run\nout\n4\n2 2\n1 1\n1\n0\n" + std::to_string(reps) + "\n1\n" + std::to_string(level) +
         "\nM1\n0\n0\n0\n"
         "Dad 1 1 1 2\nMum 2 1 1 2\nKid1 1 0 1 1\nKid2 2 0 2 2\n"
         "0.5 0.5\n0\n0\n0\n0\n";
}

// A companion in the working directory that runs the given shell lines.
void InstallScriptCompanion(const std::string& lines) {
  testutil::WriteFile("Wendivarquil", "#!/bin/sh\n" + lines);
  chmod("Wendivarquil", 0755);
}

// Permission bits do not stop the superuser from writing.
bool PermissionsBind() { return geteuid() != 0; }

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

// A link is removed, not what it points to; a folder of the name cannot be
// removed, and the companion could not write the file in its place.
TEST(MainFlow, RemoveFileTakesALinkAndStopsOnAFolder) {
  testutil::ScopedTempDir dir;
  std::filesystem::create_directory("target");
  std::filesystem::create_directory_symlink("target", "link.dat");
  estimation::RemoveFile("link.dat");
  EXPECT_FALSE(std::filesystem::is_symlink("link.dat"));
  EXPECT_TRUE(std::filesystem::is_directory("target"));
  try {
    estimation::RemoveFile(" target ");
    ADD_FAILURE() << "no stop";
  } catch (const estimation::StopError& e) {
    EXPECT_STREQ(e.what(), "Error in deleting file target: Is a directory");
  }
  EXPECT_TRUE(std::filesystem::is_directory("target"));
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
  const testutil::RunResult r = RunInProcess();

  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(r.out,
            kBanner +
                " StopOnError: Error in reading line  16, Data or data format error in offspring "
                "ID/Sex/Age/genotypes\n");
  EXPECT_EQ(r.err, "program terminated by StopOnError\n");
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

// Above 95 only parents known in advance are accepted, and a simulated
// replicate has none: with replicates the run is refused right after the
// control file, before the old sample file is removed or the companion runs.
// Without replicates, and at 95 with them, the run goes on to the companion
// (here one that leaves no assignments, so the pass stops after it).
TEST(MainFlow, LevelAbove95WithReplicatesIsRefusedBeforeAnyFileIsTouched) {
  testutil::ScopedPath path("/usr/bin:/bin");
  struct Case {
    int level, reps;
    bool refused;
  };
  for (const Case& c : {Case{95, 0, false}, Case{95, 1, false}, Case{96, 0, false},
                        Case{96, 1, true}, Case{100, 0, false}, Case{100, 1, true}}) {
    SCOPED_TRACE("level " + std::to_string(c.level) + ", replicates " + std::to_string(c.reps));
    testutil::ScopedTempDir dir;
    const std::string control = FamilyControlFile(c.reps, c.level);
    testutil::WriteFile("Tavimorelund.dat", control);
    testutil::WriteFile("AgeSexGtype.dat", "stale\n");
    InstallScriptCompanion("touch ran.txt\n");
    const testutil::RunResult r = RunInProcess();

    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.err, "program terminated by StopOnError\n");
    if (c.refused) {
      EXPECT_EQ(r.out, kBanner +
                           " StopOnError: Bootstrapping impossible at the confidence level of " +
                           std::to_string(c.level) +
                           ": above 95 only parents known in advance are accepted, and simulated "
                           "replicates carry none; re-run with a confidence level of 95 or less, "
                           "or with 0 bootstrapping samples\n");
      EXPECT_EQ(testutil::ReadFile("AgeSexGtype.dat"), "stale\n");
      EXPECT_FALSE(testutil::FileExists("ran.txt"));
    } else {
      EXPECT_NE(r.out.find("Estimating from original data"), std::string::npos) << r.out;
      EXPECT_EQ(testutil::ReadFile("AgeSexGtype.dat"), control);
      EXPECT_TRUE(testutil::FileExists("ran.txt"));
    }
    EXPECT_FALSE(AnyReportWritten());
  }
}

// Every file the run writes or must first remove: a failure stops the run
// with the file's name and the system's reason, and no report is written,
// so that no old file passes for this run's result. A folder of the file's
// name and a link to the always-full device fail also for the superuser;
// the permission rows only for other users.
TEST(MainFlow, AFileThatCannotBeWrittenOrRemovedStopsTheRun) {
  testutil::ScopedPath path("/usr/bin:/bin");
  struct Case {
    const char* name;
    bool needsPermissions;
    std::function<void()> setUp;
    std::string stop;
  };
  namespace fs = std::filesystem;
  const std::vector<Case> cases = {
      {"old sample file is a folder", false, [] { fs::create_directory("AgeSexGtype.dat"); },
       "Error in deleting file AgeSexGtype.dat: Is a directory"},
      {"old paternity file is a folder", false,
       [] { fs::create_directory("out.PairwisePaternity"); },
       "Error in deleting file out.PairwisePaternity: Is a directory"},
      {"kept paternity copy is a folder", false, [] { fs::create_directory("out.Paternity"); },
       "Error in writing file out.Paternity: Is a directory"},
      {"kept maternity copy on a full device", false,
       [] { fs::create_symlink("/dev/full", "out.Maternity"); },
       "Error in writing file out.Maternity: No space left on device"},
      {"kept paternity copy read-only", true,
       [] {
         testutil::WriteFile("out.Paternity", "old assignments\n");
         chmod("out.Paternity", 0444);
       },
       "Error in writing file out.Paternity: Permission denied"},
      {"working folder read-only", true, [] { chmod(".", 0555); },
       "Error in writing file AgeSexGtype.dat: Permission denied"},
      {"working folder read-only with an old sample file", true,
       [] {
         testutil::WriteFile("AgeSexGtype.dat", "stale\n");
         chmod(".", 0555);
       },
       "Error in deleting file AgeSexGtype.dat: Permission denied"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.needsPermissions && !PermissionsBind()) continue;
    testutil::ScopedTempDir dir;
    testutil::WriteFile("Tavimorelund.dat", FamilyControlFile(0, 95));
    testutil::WriteFile("pat.txt", "OffspringID CandidateID Confidence\nKid1 Dad 95%\n");
    testutil::WriteFile("mat.txt", "OffspringID CandidateID Confidence\nKid1 Mum 95%\n");
    InstallScriptCompanion("cp pat.txt out.PairwisePaternity\ncp mat.txt out.PairwiseMaternity\n");
    c.setUp();
    const testutil::RunResult r = RunInProcess();
    chmod(".", 0755);

    EXPECT_EQ(r.exit_status, 1);
    const std::string line = " StopOnError: " + c.stop + "\n";
    ASSERT_GE(r.out.size(), line.size()) << r.out;
    EXPECT_EQ(r.out.substr(r.out.size() - line.size()), line) << r.out;
    EXPECT_EQ(r.err, "program terminated by StopOnError\n");
    EXPECT_FALSE(AnyReportWritten());
    EXPECT_EQ(r.out.find("Estimating paternal parameters"), std::string::npos);
  }
}

// With the real companion at a level above its computed confidences and no
// parents known in advance, no pair is accepted: the run stops once the kept
// copies are written, before any search, and writes no report.
TEST(MainFlow, NoAcceptedPairStopsTheRunWithoutAReport) {
  testutil::ScopedTempDir dir;
  testutil::SamplePlan plan;
  plan.SmplSize = 60;
  plan.NumLoci = 8;
  plan.NumAgeClass = {0, 2, 2};
  plan.Seed = 13;
  plan.FName = "noknown";
  std::string control = testutil::GenerateSample(plan).Text;
  const std::string level = "\n95   ! confidence level\n";
  ASSERT_NE(control.find(level), std::string::npos);
  control.replace(control.find(level), level.size(), "\n100   ! confidence level\n");
  testutil::WriteFile("Tavimorelund.dat", control);
  const testutil::RunResult r = testutil::RunProgram(MAIN_EXE);

  EXPECT_EQ(r.exit_status, 1);
  const std::string line =
      " StopOnError: No paternity assignment is accepted at the confidence level of 100, and "
      "nothing can be estimated from no father-offspring pairs; the companion's assignments are "
      "in noknown.Paternity\n";
  ASSERT_GE(r.out.size(), line.size()) << r.out;
  EXPECT_EQ(r.out.substr(r.out.size() - line.size()), line) << r.out;
  EXPECT_EQ(r.out.find("Estimating paternal parameters"), std::string::npos);
  EXPECT_EQ(r.err, "program terminated by StopOnError\n");
  // The companion made assignments, all below the level.
  EXPECT_NE(testutil::ReadFile("noknown.Paternity").find("95%"), std::string::npos);
  EXPECT_TRUE(testutil::FileExists("noknown.Maternity"));
  EXPECT_FALSE(AnyReportWritten());
}

}  // namespace
