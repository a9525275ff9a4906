// Scoring of simulated genotypes in the threshold trials from flat lookup
// tables: the single-genotype log-likelihood and the genotype numbers in
// one pass over the loci, then the dyad log-likelihood with the floor. The
// values are those of SingleGtypeLogCache::SingleLogL and
// Compute_PODyad_LogL, term by term and in the same order.
#pragma once

#include <cstddef>
#include <vector>

#include "pairwise/simu_genotype.h"
#include "pairwise/variables.h"

namespace pairwise {

class CandidateScorer {
 public:
  CandidateScorer(const Variables& v, const SingleGtypeLogCache& cache);

  // False when some locus has no allele or the likelihood tables are not
  // built; the trials then take the general routines.
  bool Usable() const { return usable_; }

  // Single-genotype log-likelihood of G; fills number[0..] with G's genotype
  // numbers at the dyad loci (those with more than one allele), in order.
  double Score(const int* G, int* number) const {
    double sum = 0.0;
    for (int l = 1; l <= numLoci_; ++l) {
      const int* g = G + 2 * (l - 1);
      const Entry& e = entry_[static_cast<std::size_t>(l - 1) * stride_ +
                              static_cast<std::size_t>(g[0]) * side_ + static_cast<std::size_t>(g[1])];
      sum += e.LogL;
      if (e.DyadIndex >= 0) number[e.DyadIndex] = e.Number;
    }
    return sum;
  }

  // Compute_PODyad_LogL(candidate, offspring, Floor) from the genotype
  // numbers of both.
  double DyadLogL(const int* cand, const int* off, double floor) const;

  int NumDyadLoci() const { return static_cast<int>(dyad_.size()); }

 private:
  struct Entry {
    double LogL = 0.0;   // term of SingleLogL
    int Number = 0;      // LocusGenotypeNumber
    int DyadIndex = -1;  // position among the dyad loci, -1 when skipped
  };
  struct DyadLocus {
    const double* Term = nullptr;  // null when the locus keeps no table
    std::size_t Side = 0;          // NumGtype + 1
    int L = 0;
  };
  const Variables& v_;
  bool usable_ = false;
  int numLoci_ = 0;
  std::size_t side_ = 0, stride_ = 0;  // codes 0..max allele count; side_^2
  std::vector<Entry> entry_;           // (code 2, code 1, locus), code 2 fastest
  std::vector<DyadLocus> dyad_;
};

}  // namespace pairwise
