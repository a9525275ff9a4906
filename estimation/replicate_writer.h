// Writer of a bootstrap replicate's sample file "AgeSexGtype.dat".
#pragma once

#include <ostream>
#include <string>

#include "estimation/age_variables.h"
#include "estimation/simulate.h"

namespace estimation {

// Identifier of the i-th sampled individual (unique, at most 20 characters).
std::string ReplicateID(const SimuSample& sample, int i);

// A text value as a free-form token: quoted when it is empty or holds a
// separator, so that it reads back as the same text.
std::string FreeFormToken(const std::string& text);

// A real value in its shortest form that reads back as the same double.
std::string ExactReal(double x);

// The sample file in the layout of the control file: the run parameters of
// the control file, every header item on its own line, one line per sampled
// individual, the proportions of parents sampled and four zero counts.
void WriteSampleFile(std::ostream& out, const AgeVariables& av, const SimuSample& sample);

// Writes "AgeSexGtype.dat" anew in the working directory; a failed write
// stops the run.
void WriteVimbrelData(const AgeVariables& av, const SimuSample& sample);

}  // namespace estimation
