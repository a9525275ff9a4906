// Genotype recoding, allele frequencies and the per-locus error model.
#pragma once
#include <string>

#include "pairwise/variables.h"

namespace pairwise {
// Known parent vs exclusions, recoding, frequencies, no-variation stop.
void DataProcess(Variables& v);
// TransRate, GenotypeID2, LocusError and MarkerErrorFreeQ, IndivGtype2,
// NumKnownPrnt, in this order; then stops (CompanionStop) at the first
// individual, loci in order, whose observed genotype has no probability
// above 1e-300 under its locus's error model.
void BuildErrorModel(Variables& v);
// The stop for rates that leave a genotype at locus l without probability:
// line 1 is subject, the locus's identifier and its two rates as given,
// line 2 the consequence, then the two standard data lines.
[[noreturn]] void StopOnImpossibleRates(Variables& v, const std::string& subject, int l,
                                        const std::string& consequence);
}  // namespace pairwise
