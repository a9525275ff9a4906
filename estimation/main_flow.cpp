// Main routine of the main program: banner, control file, copy for the
// companion program, set-up, the estimation pass, the bootstrap, the report.
#include "estimation/main_flow.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "common/fixed_format.h"
#include "common/index_sort.h"
#include "estimation/bootstrap.h"
#include "estimation/control_reader.h"
#include "estimation/estimation_pass.h"
#include "estimation/file_output.h"
#include "estimation/report.h"
#include "estimation/wall_clock.h"
#include "estimation/worker_pool.h"

namespace estimation {

namespace {

constexpr const char* kVersion = "1.1";
constexpr const char* kBuild = "20160719";
constexpr const char* kControlFile = "Tavimorelund.dat";
constexpr const char* kSampleFile = "AgeSexGtype.dat";
constexpr std::size_t kPathLength = 999;

// Stops the run: the message on the console, the stop text on standard error.
int StopOnError(AgeVariables& av, const std::string& message) {
  *av.Console << " StopOnError: " << message << '\n';
  av.Console->flush();
  std::cerr << "program terminated by StopOnError" << std::endl;
  return 1;
}

// Results of the pass on the original data go into layer 0.
void StoreOriginalPass(AgeVariables& av, const PassResult& result) {
  av.NeEstimate[0] = result.Ne;
  for (std::size_t k = 1; k <= 3; ++k) {
    av.GIEstimate[k][0] = result.GI[k];
    for (std::size_t s = 1; s <= 2; ++s) av.Var[k][s][0] = result.Var[k][s];
  }
}

void RunSteps(AgeVariables& av) {
  ShowVersion(*av.Console);
  av.SearchThreads = ThreadsSetting(std::getenv(kThreadsVariable));
  ReadData(av);
  // Refused before any file is touched or the companion is started.
  const std::string refusal = BootstrapLevelProblem(av);
  if (!refusal.empty()) throw StopError(refusal);
  RemoveFile(kSampleFile);
  CopyFile(kControlFile, kSampleFile);
  Initiate(av);
  PassResult result;
  EstimateByMarker(av, 0, result, av.NumAgeClass, av.Estimate[0]);
  StoreOriginalPass(av, result);
  if (av.NumCI95Sample >= 1) FindCI95(av);
  Output(av);
}

}  // namespace

void ShowVersion(std::ostream& out) {
  const std::string line = common::RepeatChar('-', 82);
  out << '\n'
      << line << '\n'
      << "Tavimorelund, Version " << common::TrimBoth(kVersion) << ", Build " << kBuild << '\n'
      << "Estimates reproductive share, size and sampling rate of each sex and age class, Ne"
      << '\n'
      << "from parentage within a sample" << '\n'
      << line << '\n'
      << '\n'
      << '\n';
  out.flush();
  Sleeping(1.0f);
}

// Busy wait on the local time of day, as the start-up pause is wall-clock time.
void Sleeping(float seconds) {
  const double target_ms = 1000.0 * static_cast<double>(seconds);
  const long long first = MsOfDay(LocalNow());
  while (static_cast<double>(ElapsedMsOfDay(first, MsOfDay(LocalNow()))) < target_ms) {
  }
}

void Initiate(AgeVariables& av) {
  for (EstimateBlock& layer : av.Estimate) layer.Reset(1, av.NumAgeClass[0], 1, 4, 0.0);
  av.Rng.Idum = -1234;
  const char* path = std::getenv("PATH");
  const std::string path_string =
      path == nullptr ? std::string() : std::string(path).substr(0, kPathLength);
  av.CrrtOS = (!path_string.empty() && path_string[0] == '/') ? 2 : 1;
}

// A file that exists but cannot be deleted stops the run: the companion
// could not replace it, and the old content would be read as new.
void RemoveFile(const std::string& name) {
  const std::string p = common::TrimBoth(name);
  if (p.empty()) return;
  struct stat st {};
  if (::lstat(p.c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return;  // nothing of that name
    throw StopError(FileErrorMessage("deleting", p, errno));
  }
  if (S_ISDIR(st.st_mode)) throw StopError(FileErrorMessage("deleting", p, EISDIR));
  if (::unlink(p.c_str()) != 0 && errno != ENOENT)
    throw StopError(FileErrorMessage("deleting", p, errno));
}

// Every line is copied whole (no line-length limit, so long individual lines
// reach the companion program intact), without its trailing blanks. A
// missing source copies nothing; a destination that cannot be written stops
// the run.
void CopyFile(const std::string& from, const std::string& to) {
  const std::string source = common::TrimBoth(from);
  std::error_code ec;
  if (!std::filesystem::exists(source, ec) || std::filesystem::is_directory(source, ec)) return;
  std::ifstream in(source, std::ios::binary);
  if (!in) return;
  std::ostringstream text;
  std::string line;
  while (std::getline(in, line)) text << common::TrimRight(line) << '\n';
  WriteWholeFile(common::TrimBoth(to), text.str());
}

int RunMain(AgeVariables& av) {
  try {
    RunSteps(av);
  } catch (const StopError& e) {
    return StopOnError(av, e.what());
  } catch (const common::SortStackOverflow&) {
    return StopOnError(av, "StackError in subroutine indexx");
  }
  av.Console->flush();
  if (!*av.Console) {
    std::cerr << "Error in writing to standard output" << std::endl;
    return 1;
  }
  return 0;
}

}  // namespace estimation
