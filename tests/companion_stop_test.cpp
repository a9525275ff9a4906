// The companion program's fatal-error stop. Every stop burns a little more
// than one second of processor time, so these cases are kept few.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "pairwise/stop.h"
#include "test_util.h"

namespace {

using pairwise::CompanionStop;

TEST(StopOnError, ShowsNonBlankLinesWithoutTrailingBlanks) {
  testutil::ScopedTempDir dir;
  testutil::WriteFile("ErrorMessage", std::string(3000, 'x') + "\nold second line\n");
  std::ostringstream console;
  const CompanionStop stop({"First line   ", "Second  line", "     ", "", " Fifth"});
  EXPECT_EQ(pairwise::StopOnError(stop, console), 1);
  const std::string expected = " First line\n Second  line\n  Fifth\n";
  EXPECT_EQ(console.str(), expected);
  EXPECT_EQ(testutil::ReadFile("ErrorMessage"), expected);  // rewritten from its start
}

TEST(StopOnError, MemoryStopShowsOnlyTheMemoryLine) {
  testutil::ScopedTempDir dir;
  std::ostringstream console;
  EXPECT_EQ(pairwise::StopOnError(CompanionStop({"not shown", "", "", "", ""}, true), console), 1);
  EXPECT_EQ(console.str(), " Program stops due to insufficient memory!\n");
  EXPECT_EQ(testutil::ReadFile("ErrorMessage"), console.str());
}

TEST(StackError, CarriesOnlyTheStackLine) {
  const CompanionStop stop = pairwise::StackError();
  EXPECT_FALSE(stop.memory);
  EXPECT_EQ(stop.lines, (std::array<std::string, 5>{
                            "Program stops due to NSTACK too small in subroutine IndexX", "", "",
                            "", ""}));
}

// A small file that every step of the program accepts.
const char* const kValidSample =
    "'Companion check'\n"
    "Check1\n"
    "6\n"
    "2 2\n"
    "1 1\n"
    "1\n"
    "0\n"
    "0\n"
    "2\n"
    "95\n"
    "L1 L2\n"
    "0 1\n"
    "0.01 0.01\n"
    "0.01 0.01\n"
    "A1 1 2 10 12 1\n"
    "A2 2 2 12 14 2\n"
    "A3 1 1 10 14 1\n"
    "A4 2 1 14 14 2\n"
    "A5 1 0 10 12 1\n"
    "A6 2 0 12 14 2\n"
    "0.5 0.5\n"
    "0\n0\n0\n0\n";

TEST(CompanionProgram, MissingSampleFileStopsWithStatusOne) {
  testutil::ScopedTempDir dir;
  const testutil::RunResult r = testutil::RunProgram(COMPANION_EXE);
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(r.out, " Input file AgeSexGtype.dat does not exist!\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(testutil::ReadFile("ErrorMessage"), r.out);
}

// Runs the program on a sample that it must stop on: the console holds the
// progress written before the stop and then exactly the expected lines, the
// file "ErrorMessage" those lines; status 1, no assignment file.
void ExpectStop(const std::string& sample, const std::string& expected,
                const std::string& progress = "") {
  testutil::WriteFile("AgeSexGtype.dat", sample);
  const testutil::RunResult r = testutil::RunProgram(COMPANION_EXE);
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(r.out, progress + expected);
  EXPECT_EQ(testutil::ReadFile("ErrorMessage"), expected);
  EXPECT_FALSE(testutil::FileExists("Check1.PairwisePaternity"));
  EXPECT_FALSE(testutil::FileExists("Check1.PairwiseMaternity"));
}

TEST(CompanionProgram, BadIndividualLineStopsWithThreeLines) {
  testutil::ScopedTempDir dir;
  std::string sample = kValidSample;
  sample.replace(sample.find("A3 1 1"), 6, "A3 5 1");  // sex 5
  ExpectStop(sample,
             " Error in reading line  17, Data or data format error in offspring ID/Sex/Age/genotypes\n"
             " Errors in DATA. Insufficient data or incorrect format.\n"
             " Please check DATA and format and then re-run the program\n");
}

// Certain dropout and no other error at codominant locus L1 leave its
// heterozygotes (A1 is the first) without any probability.
TEST(CompanionProgram, ImpossibleObservedGenotypeStopsNamingItsRates) {
  testutil::ScopedTempDir dir;
  std::string sample = kValidSample;
  sample.replace(sample.find("0.01 0.01\n"), 10, "1 0.01\n");  // dropout rates
  sample.replace(sample.find("0.01 0.01\n"), 10, "0 0.01\n");  // other error rates
  ExpectStop(sample,
             " Individual A1, locus L1: dropout rate 1 and other error rate 0\n"
             " make the observed genotype impossible!\n"
             " Errors in DATA. Insufficient data or incorrect format.\n"
             " Please check DATA and format and then re-run the program\n");
}

// Certain dropout and other errors at a two-allele locus where only
// homozygotes are seen: the sample passes the check of observed genotypes,
// but the threshold trials would make heterozygotes that have no
// probability, so the run stops after the pair table, before the trials.
TEST(CompanionProgram, GenotypesTheTrialsMakeImpossibleStopNamingTheLocus) {
  testutil::ScopedTempDir dir;
  std::string sample = kValidSample;
  sample.replace(sample.find("0.01 0.01\n"), 10, "1 0.01\n");  // dropout rates
  sample.replace(sample.find("0.01 0.01\n"), 10, "1 0.01\n");  // other error rates
  const std::size_t first = sample.find("A1 "), end = sample.find("0.5 0.5");
  sample.replace(first, end - first,
                 "A1 1 2 10 10 1\nA2 2 2 12 12 2\nA3 1 1 10 10 1\n"
                 "A4 2 1 12 12 2\nA5 1 0 10 10 1\nA6 2 0 12 12 2\n");
  ExpectStop(sample,
             " Locus L1: dropout rate 1 and other error rate 1\n"
             " make genotypes that the simulation produces impossible!\n"
             " Errors in DATA. Insufficient data or incorrect format.\n"
             " Please check DATA and format and then re-run the program\n",
             "\nCalculating father-offspring dyad likelihood\n\n"
             " Estimating parentage with pairwise approach\n");
}

TEST(CompanionProgram, NormalEndLeavesAnOldErrorFileAlone) {
  testutil::ScopedTempDir dir;
  testutil::WriteFile("AgeSexGtype.dat", kValidSample);
  testutil::WriteFile("ErrorMessage", " from an earlier run\n");
  const testutil::RunResult r = testutil::RunProgram(COMPANION_EXE);
  EXPECT_EQ(r.exit_status, 0) << r.out << r.err;
  EXPECT_EQ(testutil::ReadFile("ErrorMessage"), " from an earlier run\n");
}

}  // namespace
