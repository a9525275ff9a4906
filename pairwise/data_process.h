// Genotype recoding, allele frequencies and the per-locus error model.
#pragma once
#include "pairwise/variables.h"

namespace pairwise {
// Known parent vs exclusions, recoding, frequencies, no-variation stop.
void DataProcess(Variables& v);
// TransRate, GenotypeID2, LocusError and MarkerErrorFreeQ, IndivGtype2,
// NumKnownPrnt, in this order.
void BuildErrorModel(Variables& v);
}  // namespace pairwise
