// End-to-end regression check: the example of examples/ run by the main
// program (with the companion program and its bootstrap replicates) must
// write the checked-in report, apart from its start and finish times. Any
// change to a result shows as a diff. The expected report is updated only on
// purpose (examples/expected/example.Ne), with the reason in the commit.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "test_util.h"

namespace {

namespace fs = std::filesystem;

// The two time lines of a report, as they start; the rest of each line is
// the wall-clock stamp.
const char* const kTimeLines[] = {"  Time  Started:", "  Time Finished:"};

// The report with the stamp of each time line replaced by a fixed mark.
std::string MaskTimes(const std::string& report) {
  std::istringstream in(report);
  std::ostringstream out;
  std::string line;
  while (std::getline(in, line)) {
    for (const char* t : kTimeLines)
      if (line.rfind(t, 0) == 0) line = std::string(t) + " <time>";
    out << line << '\n';
  }
  return out.str();
}

int CountMasked(const std::string& masked) {
  int n = 0;
  for (std::size_t p = masked.find("<time>"); p != std::string::npos; p = masked.find("<time>", p + 1)) ++n;
  return n;
}

// A unified diff of two texts through the system's diff, for the failure message.
std::string Diff(const fs::path& expected, const fs::path& actual) {
  const fs::path out = actual.string() + ".diff";
  const std::string cmd = "diff -u '" + expected.string() + "' '" + actual.string() + "' > '" + out.string() + "'";
  if (std::system(cmd.c_str()) == -1) return "(diff could not be run)";
  return testutil::ReadFile(out.string());
}

TEST(ExampleRegression, ReportMatchesExpected) {
  const fs::path root = SOURCE_ROOT;
  const fs::path keep = fs::current_path() / "example_regression";  // kept for inspection
  const std::string expected = testutil::ReadFile((root / "examples" / "expected" / "example.Ne").string());
  ASSERT_FALSE(expected.empty()) << "missing " << (root / "examples" / "expected" / "example.Ne");

  testutil::ScopedTempDir dir;
  fs::copy_file(root / "examples" / "Tavimorelund.dat", "Tavimorelund.dat");
  fs::copy_file(COMPANION_EXE, "Wendivarquil");
  const testutil::RunResult r = testutil::RunProgram(MAIN_EXE);
  ASSERT_EQ(r.exit_status, 0) << r.out << r.err;
  ASSERT_EQ(r.err.find("StopOnError"), std::string::npos) << r.out << r.err;
  EXPECT_NE(r.out.find("Bootstraping Replicate="), std::string::npos);
  const std::string actual = testutil::ReadFile("example.Ne");
  ASSERT_FALSE(actual.empty()) << "no report written\n" << r.out;

  const std::string want = MaskTimes(expected), got = MaskTimes(actual);
  EXPECT_EQ(CountMasked(got), 2);
  if (got == want) {
    std::error_code ec;
    fs::remove_all(keep, ec);  // nothing left from an earlier failure
    return;
  }
  fs::create_directories(keep);
  for (const char* f : {"example.Ne", "example.Paternity", "example.Maternity"})
    fs::copy_file(f, keep / f, fs::copy_options::overwrite_existing);
  testutil::WriteFile((keep / "console.txt").string(), r.out);
  testutil::WriteFile((keep / "expected.masked").string(), want);
  testutil::WriteFile((keep / "actual.masked").string(), got);
  ADD_FAILURE() << "the example's report differs from examples/expected/example.Ne (time lines masked);\n"
                << "actual output kept in " << keep << "\n"
                << Diff(keep / "expected.masked", keep / "actual.masked");
}

}  // namespace
