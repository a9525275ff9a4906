// What a user meets on their own machine: the two programs installed in
// folders of PATH, and progress dots that reach a terminal or a pipe while
// the companion works.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "pairwise/companion.h"
#include "sample_generator.h"
#include "test_util.h"

namespace fs = std::filesystem;

namespace {

void Install(const std::string& exe, const fs::path& folder) {
  fs::create_directory(folder);
  const fs::path to = folder / fs::path(exe).filename();
  fs::copy_file(exe, to);
  fs::permissions(to, fs::perms::owner_all);
}

testutil::SamplePlan SmallPlan() {
  testutil::SamplePlan plan;
  plan.SmplSize = 60;
  plan.NumLoci = 8;
  plan.NumAgeClass = {0, 2, 2};
  plan.Seed = 13;
  plan.FName = "OnPath";
  return plan;
}

// Records how much had been written at each flush.
class FlushRecorder : public std::stringbuf {
 public:
  std::vector<std::size_t> flushedAt;

 protected:
  int sync() override {
    flushedAt.push_back(view().size());
    return 0;
  }
};

}  // namespace

// Copies (not links) of the programs, so that neither sits beside the other;
// the data folder holds only the data. A PATH that begins with "/" makes the
// main program look for "./Wendivarquil" first, a relative one for the bare
// name on PATH; both must end at the companion's folder.
TEST(CompanionOnPath, ProgramsInTwoFoldersAndTheDataInAThird) {
  testutil::ScopedTempDir dir;
  Install(MAIN_EXE, dir.path() / "main");
  Install(COMPANION_EXE, dir.path() / "companion");
  fs::create_directory("data");
  fs::current_path("data");
  testutil::WriteFile("Tavimorelund.dat", testutil::GenerateSample(SmallPlan()).Text);
  const std::string absolute = (dir.path() / "main").string() + ":" + (dir.path() / "companion").string();
  for (const std::string& path : {absolute, std::string("../main:../companion")}) {
    SCOPED_TRACE(path);
    fs::remove("OnPath.Ne");
    testutil::ScopedPath scoped(path);
    const testutil::RunResult r = testutil::RunProgram("Tavimorelund");
    EXPECT_EQ(r.exit_status, 0) << r.out << r.err;
    EXPECT_EQ(r.out.find("StopOnError"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Calculating father-offspring dyad likelihood"), std::string::npos) << r.out;
    EXPECT_TRUE(testutil::FileExists("OnPath.Ne"));
    EXPECT_TRUE(testutil::FileExists("OnPath.Paternity"));
    EXPECT_FALSE(testutil::FileExists("ErrorMessage"));
  }
  EXPECT_FALSE(fs::exists("Wendivarquil"));
}

// Every progress dot of the companion (pair table and threshold trials) is
// flushed before the program goes on.
TEST(LiveProgress, CompanionFlushesEveryDot) {
  testutil::ScopedTempDir dir;
  testutil::SamplePlan plan = SmallPlan();
  plan.SmplSize = 150;  // 22500 pairs: two dots of the pair table
  testutil::WriteFile("AgeSexGtype.dat", testutil::GenerateSample(plan).Text);
  FlushRecorder buf;
  std::ostream console(&buf);
  ASSERT_EQ(pairwise::RunCompanion(console), 0) << buf.str();
  const std::string out = buf.str();
  const std::size_t heading = out.find("Calculating father-offspring dyad likelihood\n");
  ASSERT_NE(heading, std::string::npos) << out;
  int dots = 0;
  for (std::size_t i = heading; i < out.size(); ++i) {
    if (out[i] != '.') continue;
    ++dots;
    // A dot that ends its row may be flushed with its line end.
    const auto& at = buf.flushedAt;
    const bool flushed = std::find(at.begin(), at.end(), i + 1) != at.end() ||
                         (i + 1 < out.size() && out[i + 1] == '\n' &&
                          std::find(at.begin(), at.end(), i + 2) != at.end());
    EXPECT_TRUE(flushed) << "dot at byte " << i << " not flushed";
  }
  EXPECT_EQ(dots, 2 + 2 * 100);
}
