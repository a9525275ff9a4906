#include "estimation/file_output.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "estimation/age_variables.h"
#include "test_util.h"

namespace {

namespace fs = std::filesystem;

// The whole text lands in the file, also over a longer old one; every way
// the open, the write or the close can fail stops with the name and the
// system's reason. A read-only file stops only a user other than root.
TEST(WriteWholeFile, WritesTheTextOrStopsWithTheNameAndTheReason) {
  struct Case {
    const char* what;
    std::string name;
    bool needsPermissions;
    std::function<void()> setUp;
    std::string stop;  // empty: written
  };
  const std::string text = "first\nsecond line\n";
  const std::vector<Case> cases = {
      {"new file", "new.txt", false, [] {}, ""},
      {"longer old file", "old.txt", false,
       [] { testutil::WriteFile("old.txt", std::string(5000, 'o')); }, ""},
      {"folder of that name", "dir.txt", false, [] { fs::create_directory("dir.txt"); },
       "Error in writing file dir.txt: Is a directory"},
      {"full device", "full.txt", false, [] { fs::create_symlink("/dev/full", "full.txt"); },
       "Error in writing file full.txt: No space left on device"},
      {"missing folder", "no_folder/x.txt", false, [] {},
       "Error in writing file no_folder/x.txt: No such file or directory"},
      {"read-only file", "ro.txt", true,
       [] {
         testutil::WriteFile("ro.txt", "old\n");
         chmod("ro.txt", 0444);
       },
       "Error in writing file ro.txt: Permission denied"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.needsPermissions && geteuid() == 0) continue;
    testutil::ScopedTempDir dir;
    c.setUp();
    if (c.stop.empty()) {
      estimation::WriteWholeFile(c.name, text);
      EXPECT_EQ(testutil::ReadFile(c.name), text);
      continue;
    }
    try {
      estimation::WriteWholeFile(c.name, text);
      ADD_FAILURE() << "no stop";
    } catch (const estimation::StopError& e) {
      EXPECT_EQ(e.what(), c.stop);
    }
  }
}

}  // namespace
