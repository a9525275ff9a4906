// Parent assignment: thresholds, candidate log-likelihoods, then the
// assignment file of each sex that has candidates.
#include "pairwise/inference.h"

#include <vector>

#include "pairwise/assignment.h"
#include "pairwise/likelihood.h"
#include "pairwise/thresholds.h"

namespace pairwise {

void PairwiseInference(Variables& v, std::ostream& console) {
  if (v.NumCandidate[1] < 1 && v.NumCandidate[2] < 1) return;
  std::vector<double> IndivLogL(static_cast<std::size_t>(v.SmplSize) + 1, 0.0);
  for (int i = 1; i <= v.SmplSize; ++i)
    IndivLogL[static_cast<std::size_t>(i)] = SingleIndivLikelihood(v, v.IndivG(i));
  DetermineDeltaValue(v, console);
  SingleParentLikelihood(v);
  for (int s = 1; s <= 2; ++s)
    if (v.NumCandidate[static_cast<std::size_t>(s)] > 0) WriteAssignmentFile(v, s, IndivLogL);
}

}  // namespace pairwise
