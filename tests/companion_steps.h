// Runs the companion program's steps up to the pair table on the
// "AgeSexGtype.dat" of the working directory, so that a test can call the
// later steps on real module data.
#pragma once

#include <ostream>

#include "pairwise/variables.h"

namespace testutil {

// ReadData, the table creations, DataProcess, BuildErrorModel, the
// likelihood tables and CalculatePairProb (its console output to console).
void PrepareCompanionData(pairwise::Variables& v, std::ostream& console);

}  // namespace testutil
