// Multi-start maximum-likelihood search for one parent sex.
#pragma once
#include <vector>
#include "estimation/age_variables.h"

namespace estimation {
// Reads SamplingPrbKnown, SampledCounts, PODyadCounts, NumOff, SamplingPrbPrt
// of av; draws from av.Rng; writes dots to *av.Console. X is 1-based with
// X[1..LenX] (resized here). The minimisations run on av.SearchThreads
// threads; the stream's draws, the results and the dots are the same for
// any number.
void FindEstimates(AgeVariables& av, int MaxSize, int NumStart, int K, int LenX,
                   std::vector<double>& X);

// The result from the start results: StartResults(0, t) is the value that
// start t reached (1e300 when it failed), StartResults(1..NCom, t) its point.
// X[1..NCom] is the mean of the points whose value lies within -ln 0.99 of
// the lowest, each weighted by exp(lowest - value); every start failed gives
// the zero vector.
void CombineStartResults(const Table2<double>& StartResults, int NumStart, int NCom,
                         std::vector<double>& X);

// Work done by one search (for benchmarks and tests).
struct SearchStats {
  long long FuncEvaluations = 0;  // every objective evaluation, start tests included
  int FailedStarts = 0;           // starts that gave 1e300 and a zero point
  long long Redraws = 0;          // start points drawn again after an inadmissible draw
  Table2<double> StartResults;    // of the last search: (0..NCom, 1..NumStart) as above
};
// The same search, also reporting its work in stats.
void FindEstimates(AgeVariables& av, int MaxSize, int NumStart, int K, int LenX,
                   std::vector<double>& X, SearchStats& stats);
}  // namespace estimation
