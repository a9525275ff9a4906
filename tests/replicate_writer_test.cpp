#include "estimation/replicate_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "common/fixed_format.h"
#include "estimation/control_reader.h"
#include "pairwise/sample_reader.h"
#include "test_util.h"

using namespace estimation;

namespace {

// Run parameters as the control-file reader leaves them, and a replicate
// sample of three individuals at a codominant, a dominant and an untyped locus.
struct Fixture {
  AgeVariables av;
  SimuSample sample;
};

Fixture Make(int samplingKnown, const std::string& dataset, const std::string& level) {
  Fixture f;
  AgeVariables& av = f.av;
  av.DatasetName = common::PadRight(dataset, 100);
  av.FName[1] = common::PadRight("Rep out", 100);
  av.SmplSize = 3;
  av.NumAgeClass = {5, 2, 3};
  av.MinParentAge = {0, 1, 2};
  av.FamilySizeDist = 1;
  av.SamplingPrbKnown = samplingKnown;
  if (samplingKnown == 1) {
    av.SamplingPrbPrior[1] = {0, 0.1, 1.0 / 3.0};
    av.SamplingPrbPrior[2] = {0, 0.2, 0.25, 1e-7};
  }
  av.NumCI95Sample = 250;
  av.NumLoci = 3;
  av.ConfidenceLevel = level;
  av.MarkerID = {"", common::AdjustRight(common::PadRight("MkA", 20)),
                 common::AdjustRight(common::PadRight("Dom/1", 20)),
                 common::AdjustRight(common::PadRight("MkC", 20))};
  av.Dominant = {0, 0, 1, 0};
  av.DropRate = {0, 0.1, 0.0, 1.0};
  av.OtherRate = {0, 0.3, 1e-5, 0.0};
  av.PropPrntSampled = {0, 0.5, 0.123456789012345};
  SimuSample& s = f.sample;
  s.NumLoci = 3;
  s.Number = {0, 1234567, 88, 1234568};
  s.Sex = {0, 1, 2, 2};
  s.Age = {0, 0, 3, 1};
  s.Gtype = {2, 5, 1, 1, 0, 0,   // individual 1
             0, 0, 2, 2, 0, 0,   // individual 2: untyped at locus 1
             3, 3, 1, 1, 0, 0};  // individual 3
  return f;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> v;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) v.push_back(line);
  return v;
}

}  // namespace

TEST(ReplicateWriterHelpers, TokensReadBackAsTheSameText) {
  EXPECT_EQ(FreeFormToken("Plain_name"), "Plain_name");
  EXPECT_EQ(FreeFormToken("two words"), "\"two words\"");
  EXPECT_EQ(FreeFormToken("a,b/c"), "\"a,b/c\"");
  EXPECT_EQ(FreeFormToken("3*x"), "\"3*x\"");
  EXPECT_EQ(FreeFormToken("say \"hi\""), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(FreeFormToken(""), "\"\"");
  EXPECT_EQ(ExactReal(0.1), "0.1");
  EXPECT_EQ(ExactReal(1e-5), "1E-05");
  EXPECT_EQ(ExactReal(1.0), "1");
  EXPECT_EQ(ExactReal(0.0), "0");
}

TEST(WriteVimbrelData, HeaderItemsOnTheirOwnLinesThenOneLinePerIndividual) {
  testutil::ScopedTempDir dir;
  for (int known : {0, 1}) {
    const Fixture f = Make(known, "Data", "95");
    WriteVimbrelData(f.av, f.sample);
    const auto lines = Lines(testutil::ReadFile("AgeSexGtype.dat"));
    const int header = known == 1 ? 16 : 14;
    ASSERT_EQ(static_cast<int>(lines.size()), header + 3 + 5);
    EXPECT_EQ(lines[0], "Data");
    EXPECT_EQ(lines[1], "\"Rep out\"");
    EXPECT_EQ(lines[6], std::to_string(known));
    if (known == 1) {
      EXPECT_EQ(lines[8], "0.2 0.25 1E-07");
    }
    EXPECT_EQ(lines[header - 7], "250");
    EXPECT_EQ(lines[header - 5], "95");
    EXPECT_EQ(lines[header - 4], "MkA \"Dom/1\" MkC");
    EXPECT_EQ(lines[header - 3], "0 1 0");
    EXPECT_EQ(lines[header + 0], "Ind1234567 1 0 2 5 1 0 0");
    EXPECT_EQ(lines[header + 1], "Ind88 2 3 0 0 2 0 0");
    EXPECT_EQ(lines[header + 2], "Ind1234568 2 1 3 3 1 0 0");
    EXPECT_EQ(lines[header + 3], "0.5 0.123456789012345");
    for (int k = 4; k <= 7; ++k) EXPECT_EQ(lines[header + k], "0");
  }
}

TEST(WriteVimbrelData, CompanionReaderReadsItBack) {
  struct Case { int known; std::string dataset, level; };
  for (const Case& c : {Case{0, "Data", "95"}, Case{1, "My data, 2nd run", " 5"}, Case{0, "x", "**"}}) {
    testutil::ScopedTempDir dir;
    const Fixture f = Make(c.known, c.dataset, c.level);
    WriteVimbrelData(f.av, f.sample);
    pairwise::Variables v;
    ASSERT_NO_THROW(pairwise::ReadData(v)) << testutil::ReadFile("AgeSexGtype.dat");
    EXPECT_EQ(common::TrimRight(v.DatasetName), c.dataset);
    EXPECT_EQ(v.FName, "Rep out");
    EXPECT_EQ(v.SmplSize, 3);
    EXPECT_EQ(v.NumAgeClass[1], 2);
    EXPECT_EQ(v.NumAgeClass[2], 3);
    EXPECT_EQ(v.MinParentAge[2], 2);
    EXPECT_EQ(v.SamplingPrbKnown, c.known);
    if (c.known == 1) {
      EXPECT_EQ(v.SamplingPrbPrior[1][2], 1.0 / 3.0);
    }
    EXPECT_EQ(v.NumCI95Sample, 250);
    EXPECT_EQ(v.MarkerID[2], common::AdjustRight(common::PadRight("Dom/1", 20)));
    EXPECT_EQ(v.DominantMarker[2], 1);
    EXPECT_EQ(v.DropRate[1], 0.1);
    EXPECT_EQ(v.OtherErrorRate[2], 1e-5);
    EXPECT_EQ(v.PropPrntSampled[2], 0.123456789012345);
    EXPECT_EQ(common::TrimRight(v.OffspringID[2]), "Ind88");
    EXPECT_EQ(v.IndivSex[2], 2);
    EXPECT_EQ(v.IndivAge[2], 3);
    EXPECT_EQ(v.IndivGtype(1, 1, 1), 2);
    EXPECT_EQ(v.IndivGtype(2, 1, 1), 5);
    EXPECT_EQ(v.IndivGtype(1, 2, 2), 2);
    EXPECT_EQ(v.IndivGtype(2, 2, 2), 2);
    EXPECT_EQ(v.IndivGtype(1, 3, 3), 0);
    for (int i = 1; i <= 3; ++i)
      for (int k = 1; k <= 2; ++k) {
        EXPECT_EQ(v.IndivParent[k][i], -1);
        EXPECT_EQ(v.ExcludedParent[k][i].NumExcluded, 0);
      }
  }
}

TEST(WriteVimbrelData, MainProgramReaderReadsItBack) {
  testutil::ScopedTempDir dir;
  const Fixture f = Make(1, "Data", "90");
  WriteVimbrelData(f.av, f.sample);
  testutil::WriteFile("Tavimorelund.dat", testutil::ReadFile("AgeSexGtype.dat"));
  AgeVariables av;
  ASSERT_NO_THROW(ReadData(av));
  EXPECT_EQ(av.ConfidenceLevel, "90");
  EXPECT_EQ(av.SamplingPrbPrior[2][3], 1e-7);
  for (int l = 1; l <= 3; ++l) EXPECT_EQ(av.MarkerID[l], f.av.MarkerID[l]);
  EXPECT_EQ(av.OtherRate, f.av.OtherRate);
  EXPECT_EQ(common::TrimRight(av.OffspringID[3]), "Ind1234568");
  EXPECT_EQ(av.IndivAge[3], 1);
  // Locus 1 typed in individuals 1 and 3: codes 2, 5, 3, 3.
  EXPECT_EQ(av.ObsNumAllele[1], 3);
  EXPECT_EQ(av.ObsAlleleFre(1, 3), 0.5);
  EXPECT_EQ(av.ObsNumAllele[3], 0);
  EXPECT_DOUBLE_EQ(av.ObsMissingShare[1], 1.0 / 3.0);
}

// A replicate written to a full disk must not leave the previous replicate's
// sample in place for the companion to read again.
TEST(WriteVimbrelData, AFailedWriteStopsWithTheReason) {
  testutil::ScopedTempDir dir;
  const Fixture f = Make(0, "Data", "95");
  std::filesystem::create_symlink("/dev/full", "AgeSexGtype.dat");
  try {
    WriteVimbrelData(f.av, f.sample);
    FAIL() << "no stop";
  } catch (const StopError& e) {
    EXPECT_STREQ(e.what(), "Error in writing file AgeSexGtype.dat: No space left on device");
  }
}
