// Single-locus genotype probabilities under the per-locus error model.
//
// Pair probability: with the parent's alleles (s, u) and the offspring's
// (s, w), s passed on, u and w drawn from the frequencies, the sum over true
// genotypes factorises as  g = sum_s p_s A(G1, s) A(G2, s)  with
// A(G, s) = sum_u p_u T(G | su). A(G, s) takes one value per allele of G and
// one for every other allele, so the sum runs over the alleles of the two
// genotypes plus one term for the remaining frequency mass.
#include "pairwise/genotype_prob.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace pairwise {

namespace {

using Rates = std::array<double, 7>;  // T1..T6 at [1..6]

// Codominant homozygote aa: P(aa observed).
double CodomHomProb(double pa, const Rates& t, bool err) {
  if (!err) return pa * pa * t[5];
  return pa * pa * t[5] + 2.0 * pa * (1.0 - pa) * t[2] + (1.0 - pa) * (1.0 - pa) * t[4];
}

// Codominant heterozygote ab: P(ab observed).
double CodomHetProb(double pa, double pb, const Rates& t, bool err) {
  if (!err) return 2.0 * pa * pb * t[1];
  const double s = pa + pb;
  return 2.0 * pa * pb * t[1] + (pa * pa + pb * pb) * t[6] + 2.0 * s * (1.0 - s) * t[3] +
         2.0 * (1.0 - s) * (1.0 - s) * t[4];
}

// Dominant phenotype 1 (p2 = 1 - p1).
double DomProb1(double p1, double p2, const Rates& t, bool err) {
  if (!err) return p1 * p1 * t[1] + 2.0 * p1 * p2 * t[2];
  return p1 * p1 * t[1] + 2.0 * p1 * p2 * t[2] + p2 * p2 * t[3];
}

// Dominant phenotype 2.
double DomProb2(double p1, double p2, const Rates& t, bool err) {
  if (!err) return p2 * p2 * t[6];
  return p1 * p1 * t[4] + 2.0 * p1 * p2 * t[5] + p2 * p2 * t[6];
}

// A(G, s) of one codominant genotype: values for its alleles x, y and for
// any other allele.
struct ShareSums {
  int x = 0, y = 0;
  double inX = 0.0, inY = 0.0, out = 0.0;
  double At(int s) const { return s == x ? inX : (s == y ? inY : out); }
};

ShareSums CodomShareSums(const Variables& v, int L, int a, int b, const Rates& t) {
  ShareSums r;
  r.x = a;
  r.y = b;
  const double pa = v.ObsAlleleFre(L, a);
  if (a == b) {
    r.inX = r.inY = pa * t[5] + (1.0 - pa) * t[2];
    r.out = pa * t[2] + (1.0 - pa) * t[4];
    return r;
  }
  const double pb = v.ObsAlleleFre(L, b);
  const double s = pa + pb;
  const double rest = 1.0 - s;
  r.inX = pa * t[6] + pb * t[1] + rest * t[3];
  r.inY = pb * t[6] + pa * t[1] + rest * t[3];
  r.out = s * t[3] + rest * (2.0 * t[4]);
  return r;
}

// Pair probability at a codominant locus with errors (sorted genotypes).
double CodomPairProbErr(const Variables& v, int L, int a1, int a2, int b1, int b2) {
  const Rates& t = v.TransRate[static_cast<std::size_t>(L)];
  const ShareSums s1 = CodomShareSums(v, L, a1, a2, t);
  const ShareSums s2 = CodomShareSums(v, L, b1, b2, t);
  // Distinct alleles of both genotypes, ascending, so that the sum does
  // not depend on which genotype comes first.
  std::array<int, 4> u{a1, a2, b1, b2};
  std::sort(u.begin(), u.end());
  const auto end = std::unique(u.begin(), u.end());
  double g = 0.0, mass = 0.0;
  for (auto it = u.begin(); it != end; ++it) {
    const double ps = v.ObsAlleleFre(L, *it);
    g += ps * (s1.At(*it) * s2.At(*it));
    mass += ps;
  }
  const bool allSeen = end - u.begin() == v.ObsNumAllele[static_cast<std::size_t>(L)];
  const double rest = allSeen ? 0.0 : 1.0 - mass;
  return g + rest * (s1.out * s2.out);
}

// Pair probability at a codominant locus without errors (sorted genotypes).
double CodomPairProbExact(const Variables& v, int L, int a1, int a2, int b1, int b2) {
  auto p = [&v, L](int a) { return v.ObsAlleleFre(L, a); };
  const bool hom1 = a1 == a2, hom2 = b1 == b2;
  if (hom1 && hom2) return a1 == b1 ? p(a1) * p(a1) * p(a1) : 0.0;
  if (hom1 || hom2) {
    const int m = hom1 ? a1 : b1;            // the homozygote's allele
    const int x = hom1 ? b1 : a1, y = hom1 ? b2 : a2;  // the heterozygote
    if (m != x && m != y) return 0.0;
    return p(m) * p(m) * p(m == x ? y : x);
  }
  if (a1 == b1 && a2 == b2) return p(a1) * p(a2) * (p(a1) + p(a2));
  int shared = 0, o1 = 0, o2 = 0;  // shared allele, the two others
  if (a1 == b1) { shared = a1; o1 = a2; o2 = b2; }
  else if (a1 == b2) { shared = a1; o1 = a2; o2 = b1; }
  else if (a2 == b1) { shared = a2; o1 = a1; o2 = b2; }
  else if (a2 == b2) { shared = a2; o1 = a1; o2 = b1; }
  else return 0.0;
  if (o2 < o1) std::swap(o1, o2);
  return p(shared) * p(o1) * p(o2);
}

// Dominant A(G, s) for the phenotype of G and the allele s (1 or 2).
double DomShareSum(bool ph1, int s, double p1, double p2, const Rates& t) {
  if (ph1) return s == 1 ? p1 * t[1] + p2 * t[2] : p1 * t[2] + p2 * t[3];
  return s == 1 ? p1 * t[4] + p2 * t[5] : p1 * t[5] + p2 * t[6];
}

double DomPairProb(const Variables& v, int L, bool ph1a, bool ph1b) {
  const double p1 = v.ObsAlleleFre(L, 1);
  const double q = 1.0 - p1;
  if (v.LocusError[static_cast<std::size_t>(L)] == 0) {
    if (!ph1a && !ph1b) return q * q * q;
    if (ph1a != ph1b) return q * q * p1;
    return p1 * p1 * q + p1;
  }
  const Rates& t = v.TransRate[static_cast<std::size_t>(L)];
  return p1 * (DomShareSum(ph1a, 1, p1, q, t) * DomShareSum(ph1b, 1, p1, q, t)) +
         q * (DomShareSum(ph1a, 2, p1, q, t) * DomShareSum(ph1b, 2, p1, q, t));
}

}  // namespace

int NumLocusGenotypes(bool dominant, int n) { return dominant ? 2 : n * (n + 1) / 2; }

int LocusGenotypeNumber(bool dominant, int n, int a1, int a2) {
  if (a1 < 1) return 0;
  if (dominant) return a1 == 1 ? 1 : 2;
  if (a2 < a1) std::swap(a1, a2);
  if (a1 == a2) return a1;
  return n + (a1 - 1) * n - (a1 - 1) * a1 / 2 + (a2 - a1);
}

double SingleGenotypeProb(const Variables& v, int L, int a1, int a2) {
  const auto l = static_cast<std::size_t>(L);
  const Rates& t = v.TransRate[l];
  const bool err = v.LocusError[l] != 0;
  if (v.DominantMarker[l] == 1) {
    const double p1 = v.ObsAlleleFre(L, 1);
    const double p2 = 1.0 - p1;
    return a1 == 1 ? DomProb1(p1, p2, t, err) : DomProb2(p1, p2, t, err);
  }
  if (a1 == a2) return CodomHomProb(v.ObsAlleleFre(L, a1), t, err);
  return CodomHetProb(v.ObsAlleleFre(L, a1), v.ObsAlleleFre(L, a2), t, err);
}

double PairGenotypeProb(const Variables& v, int L, int a1, int a2, int b1, int b2) {
  const auto l = static_cast<std::size_t>(L);
  if (v.DominantMarker[l] == 1) return DomPairProb(v, L, a1 == 1, b1 == 1);
  if (a2 < a1) std::swap(a1, a2);
  if (b2 < b1) std::swap(b1, b2);
  if (v.LocusError[l] == 0) return CodomPairProbExact(v, L, a1, a2, b1, b2);
  return CodomPairProbErr(v, L, a1, a2, b1, b2);
}

}  // namespace pairwise
