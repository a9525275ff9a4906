// Single-locus probabilities of observed genotypes under the error model:
// one genotype, and two genotypes of which one is a parent of the other.
// Direct evaluation; the per-locus tables of likelihood.cpp hold exactly
// these values.
#pragma once
#include "pairwise/variables.h"

namespace pairwise {

// Number of typed observable genotypes: n(n+1)/2 codominant, 2 dominant.
int NumLocusGenotypes(bool dominant, int n);
// Genotype number at a locus with n alleles (see LocusLikTable): 0 when
// untyped (allele 1 below 1); dominant: 1 for phenotype 1, 2 for any other
// typed code; codominant: the alleles in either order.
int LocusGenotypeNumber(bool dominant, int n, int a1, int a2);

// Probability of observing the typed genotype (a1, a2) at locus L.
double SingleGenotypeProb(const Variables& v, int L, int a1, int a2);
// Probability of observing the typed genotypes (a1, a2) and (b1, b2) at
// locus L when one is a parent of the other; bit-identical when the two
// are swapped.
double PairGenotypeProb(const Variables& v, int L, int a1, int a2, int b1, int b2);

}  // namespace pairwise
