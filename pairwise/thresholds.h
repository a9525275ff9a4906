// Confidence thresholds by simulation.
#pragma once
#include <ostream>
#include "pairwise/variables.h"

namespace pairwise {
void DetermineDeltaValue(Variables& v, std::ostream& console);
}  // namespace pairwise
