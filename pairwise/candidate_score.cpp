#include "pairwise/candidate_score.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "pairwise/genotype_prob.h"
#include "pairwise/likelihood.h"

namespace pairwise {

CandidateScorer::CandidateScorer(const Variables& v, const SingleGtypeLogCache& cache) : v_(v) {
  numLoci_ = v.NumLoci;
  if (!v.LikTables.Built()) return;
  int maxAllele = 0;
  for (int l = 1; l <= v.NumLoci; ++l) {
    if (v.ObsNumAllele[static_cast<std::size_t>(l)] < 1) return;
    maxAllele = std::max(maxAllele, v.ObsNumAllele[static_cast<std::size_t>(l)]);
  }
  usable_ = true;
  side_ = static_cast<std::size_t>(maxAllele) + 1;
  stride_ = side_ * side_;
  entry_.assign(stride_ * static_cast<std::size_t>(v.NumLoci), Entry{});
  for (int l = 1; l <= v.NumLoci; ++l) {
    const LocusLikTable& t = v.LikTables.Locus[static_cast<std::size_t>(l)];
    int dyadIndex = -1;
    if (v.ObsNumAllele[static_cast<std::size_t>(l)] > 1) {
      dyadIndex = static_cast<int>(dyad_.size());
      dyad_.push_back({t.Term.empty() ? nullptr : t.Term.data(), static_cast<std::size_t>(t.NumGtype) + 1, l});
    }
    // Every pair of codes that a simulated locus can hold, in either order.
    const int n = t.NumAllele;
    for (int a1 = 0; a1 <= n; ++a1)
      for (int a2 = 0; a2 <= n; ++a2) {
        // The codes in normal form, as SimuGenotypeChange leaves them.
        int g[2] = {std::min(a1, a2), std::max(a1, a2)};
        if (t.Dominant && a1 != a2) g[0] = g[1] = 1;
        if (a1 < 1) g[0] = g[1] = 0;
        Entry& e = entry_[static_cast<std::size_t>(l - 1) * stride_ + static_cast<std::size_t>(a1) * side_ +
                          static_cast<std::size_t>(a2)];
        e.LogL = cache.LocusLogL(l, g);
        e.Number = LocusGenotypeNumber(t.Dominant, n, a1, a2);
        e.DyadIndex = dyadIndex;
      }
  }
}

double CandidateScorer::DyadLogL(const int* cand, const int* off, double floor) const {
  constexpr double kImpossible = -std::numeric_limits<double>::infinity();
  double h = 0.0;
  const std::size_t n = dyad_.size();
  for (std::size_t j = 0; j < n; ++j) {
    const int r = cand[j], c = off[j];
    if ((r | c) == 0) continue;  // neither typed
    if (floor >= h) return h;
    const DyadLocus& d = dyad_[j];
    const double term = d.Term != nullptr ? d.Term[static_cast<std::size_t>(r) * d.Side + static_cast<std::size_t>(c)]
                                          : DyadTermOfNumbers(v_, d.L, r, c);
    h = term == kImpossible ? floor : std::max(floor, h + term);
  }
  return h;
}

}  // namespace pairwise
