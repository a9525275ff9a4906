// The companion program's whole run in the working directory.
#pragma once
#include <ostream>

namespace pairwise {
// Runs every step in order; returns the exit status (0 normal end, 1 after a
// fatal stop, which has then shown its lines and written "ErrorMessage").
int RunCompanion(std::ostream& console);
}  // namespace pairwise
