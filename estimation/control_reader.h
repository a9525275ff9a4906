// Reader of the control and data file "Tavimorelund.dat".
#pragma once
#include "estimation/age_variables.h"

namespace estimation {
// Reads and checks "Tavimorelund.dat" in the working directory; throws
// StopError with the one message of the first fault in file order.
void ReadData(AgeVariables& av);
}  // namespace estimation
