// The report's layout apart from the clock, so that a report can be written
// for fixed estimates and fixed time stamps.
#pragma once

#include <ostream>

#include "estimation/age_variables.h"

namespace estimation {

// Current local date and time into the finish halves of Date2 (CCYYMMDD,
// characters 9-16) and Time2 (hhmmss.sss, characters 11-20).
void StampFinish(AgeVariables& av);

// Writes the whole report from the module data as it stands.
void WriteReport(const AgeVariables& av, std::ostream& out);

}  // namespace estimation
