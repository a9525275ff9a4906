#include "companion_steps.h"

#include <algorithm>

#include "pairwise/data_process.h"
#include "pairwise/likelihood.h"
#include "pairwise/sample_reader.h"

namespace testutil {

void PrepareCompanionData(pairwise::Variables& v, std::ostream& console) {
  pairwise::ReadData(v);
  v.ObsNumAllele.assign(static_cast<std::size_t>(v.NumLoci) + 1, 0);
  v.TransRate.assign(static_cast<std::size_t>(v.NumLoci) + 1, {});
  v.LocusError.assign(static_cast<std::size_t>(v.NumLoci) + 1, 0);
  const int nc = std::max(v.NumCandidate[1], v.NumCandidate[2]);
  for (int k = 1; k <= 2; ++k) v.CandidateLogL[k].assign(static_cast<std::size_t>(nc) + 1, 0.0);
  pairwise::DataProcess(v);
  pairwise::BuildErrorModel(v);
  pairwise::BuildLikelihoodTables(v);
  pairwise::CalculatePairProb(v, console);
}

}  // namespace testutil
