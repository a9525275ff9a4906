// One estimation pass on "AgeSexGtype.dat": companion run, counts, search.
#pragma once
#include <string>
#include "estimation/age_variables.h"

namespace estimation {
// rep 0 = original data. Fills result and est (rows 1..NumAgeClass(0),
// columns 1..4; column 3 left as it was when S is known).
void EstimateByMarker(AgeVariables& av, int rep, PassResult& result,
                      const std::array<int, 3>& NumAgeClass, EstimateBlock& est);
}  // namespace estimation
