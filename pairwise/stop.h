// The companion program's fatal-error stop.
#pragma once
#include <ostream>
#include "pairwise/variables.h"

namespace pairwise {
// The two standard lines that follow a message about faulty input data.
inline constexpr const char* kDataLine2 = "Errors in DATA. Insufficient data or incorrect format.";
inline constexpr const char* kDataLine3 = "Please check DATA and format and then re-run the program";
// Shows the non-blank lines (or the memory message) on the console, writes
// them to "ErrorMessage", waits a little more than one second of processor
// time. Returns the exit status the program then ends with.
int StopOnError(const CompanionStop& stop, std::ostream& console);
// The stop for an overflow of the index sort's stack.
CompanionStop StackError();
}  // namespace pairwise
