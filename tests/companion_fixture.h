// Companion-program module data filled by hand, for tests and benchmarks
// that start after the sample file would have been read.
#pragma once

#include <cstddef>
#include <vector>

#include "pairwise/variables.h"

namespace testutil {

// S individuals (every one also a candidate of both sexes), one locus per
// entry of `dominant` (1 dominant, 0 codominant) with its two rates; all
// genotypes untyped, no known or excluded parents; the tables that the
// program's flow creates before the recoding step exist.
inline pairwise::Variables MakeCompanionData(int s, const std::vector<int>& dominant,
                                             const std::vector<double>& drop,
                                             const std::vector<double>& other) {
  pairwise::Variables v;
  const int nl = static_cast<int>(dominant.size());
  const auto n1 = static_cast<std::size_t>(nl) + 1;
  const auto s1 = static_cast<std::size_t>(s) + 1;
  v.SmplSize = s;
  v.NumLoci = nl;
  v.NumCandidate = {0, s, s};
  v.DominantMarker.assign(n1, 0);
  v.DropRate.assign(n1, 0.0);
  v.OtherErrorRate.assign(n1, 0.0);
  for (int l = 1; l <= nl; ++l) {
    const auto i = static_cast<std::size_t>(l);
    v.DominantMarker[i] = static_cast<std::int8_t>(dominant[i - 1]);
    v.DropRate[i] = drop[i - 1];
    v.OtherErrorRate[i] = other[i - 1];
  }
  v.IndivGtypeData.assign(static_cast<std::size_t>(s) * static_cast<std::size_t>(nl) * 2, 0);
  v.CndGtypeData.assign(v.IndivGtypeData.size() * 2, 0);
  for (int k = 1; k <= 2; ++k) {
    v.IndivParent[static_cast<std::size_t>(k)].assign(s1, -1);
    v.ExcludedParent[static_cast<std::size_t>(k)].assign(s1, {});
    v.CandidateLogL[static_cast<std::size_t>(k)].assign(s1, 0.0);
  }
  v.ObsNumAllele.assign(n1, 0);
  v.TransRate.assign(n1, {});
  v.LocusError.assign(n1, 0);
  return v;
}

// Sets the raw codes of individual i at locus l and its candidate copies.
inline void SetGenotype(pairwise::Variables& v, int i, int l, int a1, int a2) {
  v.IndivGtype(1, l, i) = a1;
  v.IndivGtype(2, l, i) = a2;
  for (int k = 1; k <= 2; ++k) {
    v.CndGtype(1, l, i, k) = a1;
    v.CndGtype(2, l, i, k) = a2;
  }
}

}  // namespace testutil
