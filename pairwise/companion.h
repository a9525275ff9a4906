// The companion program's whole run in the working directory.
#pragma once
#include <ostream>

#include "pairwise/variables.h"

namespace pairwise {
// Creates the tables made between reading the sample file and recoding:
// ObsNumAllele, TransRate, LocusError (1..NumLoci) and CandidateLogL
// (1..larger NumCandidate, both sexes). A failed creation throws
// std::bad_alloc or std::length_error, which the run turns into its memory stop.
void CreateTables(Variables& v);

// Runs every step in order; returns the exit status (0 normal end, 1 after a
// fatal stop, which has then shown its lines and written "ErrorMessage").
int RunCompanion(std::ostream& console);
}  // namespace pairwise
