// Helpers shared by the tests: a scratch working directory, file I/O and
// running a built program.
#pragma once

#include <filesystem>
#include <string>

namespace testutil {

// Creates a fresh directory and makes it the working directory for the
// lifetime of the object (each test case runs as its own process).
class ScopedTempDir {
 public:
  ScopedTempDir();
  ~ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;
  const std::filesystem::path& path() const { return dir_; }

 private:
  std::filesystem::path dir_;
  std::filesystem::path old_;
};

// Sets (or, for a null value, unsets) an environment variable for the
// lifetime of the object and then restores it.
class ScopedEnv {
 public:
  ScopedEnv(const std::string& name, const char* value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  bool had_ = false;
  std::string old_;
};

// Sets PATH for the lifetime of the object and then restores it.
class ScopedPath : public ScopedEnv {
 public:
  explicit ScopedPath(const std::string& path) : ScopedEnv("PATH", path.c_str()) {}
};

void WriteFile(const std::string& name, const std::string& content);
std::string ReadFile(const std::string& name);
bool FileExists(const std::string& name);

struct RunResult {
  int exit_status = -1;
  std::string out;  // standard output
  std::string err;  // standard error
};
// Runs a program in the working directory with no arguments and no input.
RunResult RunProgram(const std::string& exe);

}  // namespace testutil
