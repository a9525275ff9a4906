#include "estimation/companion_run.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>

extern char** environ;

namespace estimation {

namespace {

constexpr const char* kCompanionName = "Wendivarquil";

bool IsExecutableFile(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

// The companion's name looked up on PATH as a shell would (an empty entry
// is the working directory).
std::string SearchPath() {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return {};
  const std::string all(path);
  std::size_t start = 0;
  while (start <= all.size()) {
    std::size_t end = all.find(':', start);
    if (end == std::string::npos) end = all.size();
    std::filesystem::path dir(all.substr(start, end - start));
    if (dir.empty()) dir = ".";
    const std::string candidate = (dir / kCompanionName).string();
    if (IsExecutableFile(candidate)) return candidate;
    start = end + 1;
  }
  return {};
}

std::string BesideExecutable() {
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return {};
  return (self.parent_path() / kCompanionName).string();
}

}  // namespace

std::string LocateCompanion(int CrrtOS, std::string& lookedFor) {
  const std::string onPath = std::string(kCompanionName) + " on the search path PATH";
  std::string found;
  if (CrrtOS == 2) {
    const std::string here = std::string("./") + kCompanionName;
    lookedFor = here + " in the working directory";
    if (IsExecutableFile(here)) return here;
  } else {
    lookedFor = onPath;
    found = SearchPath();
    if (!found.empty()) return found;
  }
  const std::string beside = BesideExecutable();
  if (!beside.empty()) {
    lookedFor += (CrrtOS == 2 ? ", " : " and ") + beside;
    if (IsExecutableFile(beside)) return beside;
  }
  // The two programs may sit in different folders of PATH.
  if (CrrtOS == 2) {
    lookedFor += " and " + onPath;
    found = SearchPath();
  }
  return found;
}

void StartCompanion(AgeVariables& av) {
  std::string lookedFor;
  const std::string path = LocateCompanion(av.CrrtOS, lookedFor);
  if (path.empty())
    throw StopError("Companion program not found: looked for " + lookedFor);

  // The companion writes to the same standard output: what we have written
  // so far must stand before its lines.
  av.Console->flush();
  std::cout.flush();

  std::string arg0 = path;
  char* argv[] = {arg0.data(), nullptr};
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ);
  if (rc != 0)
    throw StopError("Companion program " + path + " could not be started: " + std::strerror(rc));
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace estimation
