// Genotype likelihoods under the per-locus error model: per-locus lookup
// tables, single-genotype and dyad log-likelihoods, and the pair table.
#include "pairwise/likelihood.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <ostream>
#include <stdexcept>
#include <vector>

#include "pairwise/genotype_prob.h"

namespace pairwise {

namespace {

constexpr double kImpossible = -std::numeric_limits<double>::infinity();
// Loci with more genotype pairs than this keep no dyad table (about 2 MB of
// doubles); their terms are evaluated on demand by the same expressions.
constexpr std::size_t kMaxTermEntries = std::size_t{1} << 18;

std::size_t Sz(int n) { return static_cast<std::size_t>(n); }

// ln of the pair probability, or minus infinity when it is at most 1e-300.
double LnPairProb(double g) { return g > 1e-300 ? std::log(g) : kImpossible; }

// Dyad term of two genotype numbers at a locus whose Gtype and LnProb are set.
double TermOfNumbers(const Variables& v, int L, const LocusLikTable& t, int r, int c) {
  if (r == 0) return t.LnProb[Sz(c)];
  if (c == 0) return t.LnProb[Sz(r)];
  const auto& g1 = t.Gtype[Sz(r)];
  const auto& g2 = t.Gtype[Sz(c)];
  return LnPairProb(PairGenotypeProb(v, L, g1[0], g1[1], g2[0], g2[1]));
}

LocusLikTable BuildLocusTable(const Variables& v, int L) {
  LocusLikTable t;
  t.Dominant = v.DominantMarker[Sz(L)] == 1;
  t.NumAllele = v.ObsNumAllele[Sz(L)];
  t.NumGtype = t.NumAllele >= 1 ? NumLocusGenotypes(t.Dominant, t.NumAllele) : 0;
  const int ng = t.NumGtype;
  t.Gtype.assign(Sz(ng) + 1, {0, 0});
  if (t.Dominant) {
    if (ng >= 2) t.Gtype[1] = {1, 1}, t.Gtype[2] = {2, 2};
  } else {
    for (int i = 1; i <= t.NumAllele; ++i)
      for (int j = i; j <= t.NumAllele; ++j)
        t.Gtype[Sz(LocusGenotypeNumber(false, t.NumAllele, i, j))] = {i, j};
  }
  t.Prob.assign(Sz(ng) + 1, 0.0);
  t.LnProb.assign(Sz(ng) + 1, 0.0);
  for (int r = 1; r <= ng; ++r) {
    t.Prob[Sz(r)] = SingleGenotypeProb(v, L, t.Gtype[Sz(r)][0], t.Gtype[Sz(r)][1]);
    t.LnProb[Sz(r)] = std::log(t.Prob[Sz(r)]);
  }
  const std::size_t side = Sz(ng) + 1;
  if (t.Informative() && side * side <= kMaxTermEntries) {
    t.Term.resize(side * side);
    for (int r = 0; r <= ng; ++r)
      for (int c = 0; c <= ng; ++c) t.Term[Sz(r) * side + Sz(c)] = TermOfNumbers(v, L, t, r, c);
  }
  return t;
}

// Direct dyad term from allele codes, for use before the tables exist.
double TermOfAlleles(const Variables& v, int L, const int* g1, const int* g2) {
  if (g1[0] < 1) return std::log(SingleGenotypeProb(v, L, g2[0], g2[1]));
  if (g2[0] < 1) return std::log(SingleGenotypeProb(v, L, g1[0], g1[1]));
  return LnPairProb(PairGenotypeProb(v, L, g1[0], g1[1], g2[0], g2[1]));
}

// One step of the dyad recursion: stop at the floor, else add the term.
double DyadStep(double h, double term, double floor) {
  return term == kImpossible ? floor : std::max(floor, h + term);
}

}  // namespace

void BuildLikelihoodTables(Variables& v) {
  std::vector<LocusLikTable> loci(Sz(v.NumLoci) + 1);
  for (int l = 1; l <= v.NumLoci; ++l) loci[Sz(l)] = BuildLocusTable(v, l);
  v.LikTables.Locus = std::move(loci);
}

double ProbSingleGtype(const Variables& v, int L, int a1, int a2) {
  if (v.LikTables.Built()) {
    const LocusLikTable& t = v.LikTables.Locus[Sz(L)];
    const int r = LocusGenotypeNumber(t.Dominant, t.NumAllele, a1, a2);
    if (r >= 1 && r <= t.NumGtype) return t.Prob[Sz(r)];
  }
  return SingleGenotypeProb(v, L, a1, a2);
}

double SingleIndivLikelihood(const Variables& v, const int* G) {
  double logL = 0.0;
  const bool built = v.LikTables.Built();
  for (int l = 1; l <= v.NumLoci; ++l) {
    const int* g = G + 2 * (l - 1);
    if (v.ObsNumAllele[Sz(l)] <= 1 || g[0] < 1) continue;
    if (built) {
      const LocusLikTable& t = v.LikTables.Locus[Sz(l)];
      logL += t.LnProb[Sz(LocusGenotypeNumber(t.Dominant, t.NumAllele, g[0], g[1]))];
    } else {
      logL += std::log(SingleGenotypeProb(v, l, g[0], g[1]));
    }
  }
  return logL;
}

void SingleParentLikelihood(Variables& v) {
  const int nc = v.NumCandidate[1];
  for (int k = 1; k <= 2; ++k)
    if (v.CandidateLogL[Sz(k)].size() < Sz(nc) + 1) v.CandidateLogL[Sz(k)].resize(Sz(nc) + 1, 0.0);
  for (int c = 1; c <= nc; ++c) {
    const double x = SingleIndivLikelihood(v, v.CndG(c, 1));
    v.CandidateLogL[1][Sz(c)] = x;
    v.CandidateLogL[2][Sz(c)] = x;
  }
}

double Compute_PODyad_LogL(const Variables& v, const int* G1, const int* G2, double Floor) {
  double h = 0.0;
  const bool built = v.LikTables.Built();
  for (int l = 1; l <= v.NumLoci; ++l) {
    const int* g1 = G1 + 2 * (l - 1);
    const int* g2 = G2 + 2 * (l - 1);
    // A locus with fewer than two observed alleles tells nothing; one with
    // none can still be typed in a simulated genotype (by a typing error).
    if (v.ObsNumAllele[Sz(l)] <= 1 || (g1[0] < 1 && g2[0] < 1)) continue;
    if (Floor >= h) return h;
    double term;
    if (built) {
      const LocusLikTable& t = v.LikTables.Locus[Sz(l)];
      const int r = LocusGenotypeNumber(t.Dominant, t.NumAllele, g1[0], g1[1]);
      const int c = LocusGenotypeNumber(t.Dominant, t.NumAllele, g2[0], g2[1]);
      term = t.Term.empty() ? TermOfNumbers(v, l, t, r, c)
                            : t.Term[Sz(r) * (Sz(t.NumGtype) + 1) + Sz(c)];
    } else {
      term = TermOfAlleles(v, l, g1, g2);
    }
    h = DyadStep(h, term, Floor);
  }
  return h;
}

double DyadTermOfNumbers(const Variables& v, int L, int r, int c) {
  const LocusLikTable& t = v.LikTables.Locus[Sz(L)];
  return t.Term.empty() ? TermOfNumbers(v, L, t, r, c) : t.Term[Sz(r) * (Sz(t.NumGtype) + 1) + Sz(c)];
}

namespace {

// Genotype numbers of a set of multilocus genotypes at the informative loci,
// locus-major: numbers[j * count + i] for informative locus j, genotype i.
std::vector<int> LocusMajorNumbers(const Variables& v, const std::vector<int>& loci, int count,
                                   const int* (*genotype)(const Variables&, int)) {
  std::vector<int> numbers(loci.size() * Sz(count));
  for (std::size_t j = 0; j < loci.size(); ++j) {
    const LocusLikTable& t = v.LikTables.Locus[Sz(loci[j])];
    for (int i = 1; i <= count; ++i) {
      const int* g = genotype(v, i) + 2 * (loci[j] - 1);
      numbers[j * Sz(count) + Sz(i - 1)] = LocusGenotypeNumber(t.Dominant, t.NumAllele, g[0], g[1]);
    }
  }
  return numbers;
}

// The dyad recursion at one locus for all candidates of one offspring: the
// early stop keeps a value that has reached the floor; uninformative cells
// of the row (both untyped) hold 0 and leave the value unchanged.
void AddLocusTerms(const double* row, const int* cand, double* h, std::size_t nc, double floor) {
  for (std::size_t c = 0; c < nc; ++c) {
    const double hv = h[c];
    const double next = std::max(floor, hv + row[cand[c]]);
    h[c] = floor >= hv ? hv : next;
  }
}

// One "." per 10000 pairs, the line ended at every 1000000th pair; each
// dot is flushed, so that a terminal or a pipe sees the table progress.
void WriteDots(std::ostream& console, long long from, long long to) {
  for (long long p = (from / 10000 + 1) * 10000; p <= to; p += 10000)
    console << (p % 1000000 == 0 ? ".\n" : ".") << std::flush;
}

}  // namespace

void CalculatePairProb(Variables& v, std::ostream& console) {
  if (!v.LikTables.Built()) BuildLikelihoodTables(v);
  const int s = v.SmplSize;
  const int nc = v.NumCandidate[1];
  if (nc != s) throw std::logic_error("internal error: candidate count differs from sample size");
  v.PrbPOPairData.assign(Sz(s) * Sz(s), 0.0f);
  console << "\n" << "Calculating father-offspring dyad likelihood" << "\n";

  std::vector<int> loci;  // informative loci in locus order
  for (int l = 1; l <= v.NumLoci; ++l)
    if (v.ObsNumAllele[Sz(l)] > 1) loci.push_back(l);
  const auto cand = LocusMajorNumbers(v, loci, nc, [](const Variables& w, int c) { return w.CndG(c, 1); });
  const auto off = LocusMajorNumbers(v, loci, s, [](const Variables& w, int m) { return w.IndivG(m); });

  std::vector<double> h(Sz(nc));
  std::vector<double> scratch;
  long long pairs = 0;
  // Offspring outer so that each offspring's row of the table is written in
  // one sweep; every pair goes through its loci in order as in the scalar
  // routine, so the values are the same.
  for (int m = 1; m <= s; ++m) {
    std::fill(h.begin(), h.end(), 0.0);
    for (std::size_t j = 0; j < loci.size(); ++j) {
      const LocusLikTable& t = v.LikTables.Locus[Sz(loci[j])];
      const int go = off[j * Sz(s) + Sz(m - 1)];
      const std::size_t side = Sz(t.NumGtype) + 1;
      const double* row;
      if (!t.Term.empty()) {
        row = &t.Term[Sz(go) * side];
      } else {
        scratch.resize(side);
        for (int c = 0; c <= t.NumGtype; ++c) scratch[Sz(c)] = TermOfNumbers(v, loci[j], t, c, go);
        row = scratch.data();
      }
      AddLocusTerms(row, &cand[j * Sz(nc)], h.data(), Sz(nc), kPairFloor);
    }
    float* out = &v.PairLogL(m, 1);
    for (int c = 0; c < nc; ++c) out[c] = static_cast<float>(h[Sz(c)]);
    WriteDots(console, pairs, pairs + nc);
    pairs += nc;
  }
  console << "\n";
}

}  // namespace pairwise
