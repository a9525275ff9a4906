// Generation intervals, family-size variances and Ne from one pass.
#pragma once
#include <vector>
#include "estimation/age_variables.h"

namespace estimation {
// Pv, Nv: 1-based, rows 1..NumAgeClass(0) (males then females).
void ComputeNe(const std::array<int, 3>& NumAgeClass, const std::vector<double>& Pv,
               const std::vector<double>& Nv, PassResult& result);
}  // namespace estimation
