// Parent assignment and the two assignment files.
#pragma once
#include <ostream>
#include "pairwise/variables.h"

namespace pairwise {
void PairwiseInference(Variables& v, std::ostream& console);
}  // namespace pairwise
