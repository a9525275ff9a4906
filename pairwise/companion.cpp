#include "pairwise/companion.h"

#include <algorithm>
#include <new>
#include <stdexcept>

#include "common/index_sort.h"
#include "pairwise/data_process.h"
#include "pairwise/inference.h"
#include "pairwise/likelihood.h"
#include "pairwise/sample_reader.h"
#include "pairwise/stop.h"

namespace pairwise {

void CreateTables(Variables& v) {
  v.ObsNumAllele.assign(static_cast<std::size_t>(v.NumLoci) + 1, 0);
  v.TransRate.assign(static_cast<std::size_t>(v.NumLoci) + 1, {});
  v.LocusError.assign(static_cast<std::size_t>(v.NumLoci) + 1, 0);
  const int nc = std::max(v.NumCandidate[1], v.NumCandidate[2]);
  for (int k = 1; k <= 2; ++k) v.CandidateLogL[k].assign(static_cast<std::size_t>(nc) + 1, 0.0);
}

namespace {
void RunSteps(Variables& v, std::ostream& console) {
  ReadData(v);
  CreateTables(v);  // a failure reaches RunCompanion's memory stop
  DataProcess(v);
  BuildErrorModel(v);
  BuildLikelihoodTables(v);
  CalculatePairProb(v, console);
  PairwiseInference(v, console);
}
}  // namespace

int RunCompanion(std::ostream& console) {
  Variables v;
  try {
    RunSteps(v, console);
  } catch (const CompanionStop& stop) {
    return StopOnError(stop, console);
  } catch (const common::SortStackOverflow& e) {
    // An overflowing sort stops like any fatal error instead of pausing.
    std::array<std::string, 5> lines{};
    lines[0] = e.what();
    return StopOnError(CompanionStop(lines), console);
  } catch (const std::bad_alloc&) {
    return StopOnError(CompanionStop({}, true), console);
  } catch (const std::length_error&) {
    return StopOnError(CompanionStop({}, true), console);
  }
  console.flush();
  return console ? 0 : 1;
}

}  // namespace pairwise
