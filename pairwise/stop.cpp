// The companion program's fatal-error stop: message lines on the console and
// in the file "ErrorMessage", then a wait of a little more than one second
// of processor time, so that a caller watching the process sees it work.
#include "pairwise/stop.h"

#include <time.h>

#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include "common/fixed_format.h"

namespace pairwise {

namespace {

constexpr const char* kErrorFile = "ErrorMessage";
constexpr const char* kMemoryLine = "Program stops due to insufficient memory!";
constexpr const char* kStackLine = "Program stops due to NSTACK too small in subroutine IndexX";

bool IsBlank(const std::string& s) { return s.find_first_not_of(' ') == std::string::npos; }

// The lines the stop shows: the memory line, or every non-blank message line
// without its trailing blanks.
std::vector<std::string> ShownLines(const CompanionStop& stop) {
  if (stop.memory) return {kMemoryLine};
  std::vector<std::string> shown;
  for (const std::string& line : stop.lines)
    if (!IsBlank(line)) shown.push_back(common::TrimRight(line));
  return shown;
}

// Processor time of the process in seconds, single precision; negative when
// the system cannot tell it.
float ProcessorTime() {
  timespec ts{};
  if (clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts) == 0)
    return static_cast<float>(static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9);
  const std::clock_t c = std::clock();
  if (c == static_cast<std::clock_t>(-1)) return -1.0f;
  return static_cast<float>(static_cast<double>(c) / CLOCKS_PER_SEC);
}

// Busy wait until more than one second of processor time has passed since
// start. Without a processor clock there is nothing to wait on.
void WaitProcessorSecond(float start) {
  if (start < 0.0f) return;
  float now = start;
  while (now - start <= 1.0f) {
    now = ProcessorTime();
    if (now < 0.0f) return;
  }
}

}  // namespace

int StopOnError(const CompanionStop& stop, std::ostream& console) {
  const float start = ProcessorTime();
  std::ofstream file(kErrorFile, std::ios::trunc);
  for (const std::string& line : ShownLines(stop)) {
    console << ' ' << line << '\n';
    file << ' ' << line << '\n';
  }
  console.flush();
  file.close();
  WaitProcessorSecond(start);
  return 1;  // a detected fatal error is never reported as success
}

CompanionStop StackError() {
  std::array<std::string, 5> lines{};
  lines[0] = kStackLine;
  return CompanionStop(lines);
}

}  // namespace pairwise
