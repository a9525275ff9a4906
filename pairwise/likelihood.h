// Genotype likelihoods under the per-locus error model.
// A multilocus genotype G is 2*NumLoci allele codes, slot fastest:
// G[2*(l-1)] and G[2*(l-1)+1] for locus l (the IndivG/CndG block layout).
#pragma once
#include <ostream>
#include "pairwise/variables.h"

namespace pairwise {

constexpr double kPairFloor = -9.999999680285692e+37;  // float -1e38 widened

// Builds the per-locus lookup tables used below (after BuildErrorModel).
void BuildLikelihoodTables(Variables& v);

// Probability of observing the typed genotype (a1, a2) at locus L.
double ProbSingleGtype(const Variables& v, int L, int a1, int a2);
// Sum of ln ProbSingleGtype over the counted loci.
double SingleIndivLikelihood(const Variables& v, const int* G);
// Fills CandidateLogL for both sexes.
void SingleParentLikelihood(Variables& v);
// Dyad log-likelihood with the floor and its early stop.
double Compute_PODyad_LogL(const Variables& v, const int* G1, const int* G2, double Floor);
// The dyad term of Compute_PODyad_LogL at locus L for the genotype numbers
// r (first genotype) and c (second), from the built tables.
double DyadTermOfNumbers(const Variables& v, int L, int r, int c);
// Fills the pair table, with its console line and progress dots.
void CalculatePairProb(Variables& v, std::ostream& console);

}  // namespace pairwise
