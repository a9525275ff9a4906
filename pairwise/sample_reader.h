// Reader of the sample file "AgeSexGtype.dat".
#pragma once
#include "pairwise/variables.h"

namespace pairwise {
// Reads "AgeSexGtype.dat" from the working directory into v; throws
// CompanionStop with the message lines on any failure.
void ReadData(Variables& v);
}  // namespace pairwise
