// Confidence thresholds by simulation.
#pragma once
#include <ostream>
#include "pairwise/variables.h"

namespace pairwise {
// Fills Threshold and Threshold2 from 10000 trials per sex; first stops
// (CompanionStop) when, at some locus, a genotype that the trials can
// produce has no probability above 1e-300 under the error model.
void DetermineDeltaValue(Variables& v, std::ostream& console);
}  // namespace pairwise
