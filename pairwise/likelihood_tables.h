// Per-locus lookup tables of the genotype likelihoods (built once per run).
// Kept free of the module data so that Variables can hold them.
#pragma once

#include <array>
#include <vector>

namespace pairwise {

// One locus. Observed genotypes are numbered 0..NumGtype: 0 untyped;
// codominant: homozygote ii is i, heterozygote ij (i < j) is
// n + (i-1)n - (i-1)i/2 + (j-i) with n the locus's allele count;
// dominant: 1 dominant phenotype, 2 recessive phenotype.
struct LocusLikTable {
  bool Dominant = false;
  int NumAllele = 0;                       // ObsNumAllele of the locus
  int NumGtype = 0;                        // number of typed genotypes
  std::vector<std::array<int, 2>> Gtype;   // [0..NumGtype] allele pair of each number
  std::vector<double> Prob;                // [0..NumGtype] P(observed genotype); [0] unused
  std::vector<double> LnProb;              // [0..NumGtype] ln Prob; [0] = 0
  // Dyad term, (NumGtype+1)^2, entry [r*(NumGtype+1)+c] for the genotype
  // numbers r and c, symmetric: ln g when both are typed (minus infinity
  // when g is at most 1e-300), ln P of the typed one when one is, 0 when
  // neither is. Empty for loci with too many genotypes to tabulate; their
  // terms are evaluated when needed, by the same expressions.
  std::vector<double> Term;
  bool Informative() const { return NumAllele > 1; }
};

struct LikelihoodTables {
  std::vector<LocusLikTable> Locus;  // 1..NumLoci; empty until built
  bool Built() const { return !Locus.empty(); }
};

}  // namespace pairwise
