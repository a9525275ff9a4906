// Multi-start maximum-likelihood search for one parent sex.
#pragma once
#include <vector>
#include "estimation/age_variables.h"

namespace estimation {
// Reads SamplingPrbKnown, SampledCounts, PODyadCounts, NumOff, SamplingPrbPrt
// of av; draws from av.Rng; writes dots to *av.Console. X is 1-based with
// X[1..LenX] (resized here).
void FindEstimates(AgeVariables& av, int MaxSize, int NumStart, int K, int LenX,
                   std::vector<double>& X);
}  // namespace estimation
