// Parametric bootstrap: population simulation, replicate writer, intervals.
#pragma once
#include "estimation/age_variables.h"

namespace estimation {
void FindCI95(AgeVariables& av);
}  // namespace estimation
