// The report "<output name>.Ne".
#pragma once
#include "estimation/age_variables.h"

namespace estimation {
void Output(AgeVariables& av);
}  // namespace estimation
