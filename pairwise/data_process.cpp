// Genotype recoding, allele frequencies and the per-locus error model.
#include "pairwise/data_process.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/fixed_format.h"
#include "pairwise/genotype_prob.h"
#include "pairwise/stop.h"

namespace pairwise {

namespace {

using common::FmtInt;


[[noreturn]] void Stop(Variables& v, const std::string& line1, const std::string& line2 = "") {
  std::array<std::string, 5> lines{};
  lines[0] = line1;
  lines[1] = line2;
  v.ErrorMessage = lines;
  throw CompanionStop(lines);
}

std::size_t Sz(int n) { return static_cast<std::size_t>(n); }

// A known parent may not also be listed among the excluded candidates.
void CheckKnownParentsNotExcluded(Variables& v) {
  for (int i = 1; i <= v.SmplSize; ++i) {
    for (int k = 1; k <= 2; ++k) {
      const int p = v.IndivParent[k][Sz(i)];
      if (p <= 0) continue;
      const Exclusion& ex = v.ExcludedParent[k][Sz(i)];
      for (int c = 1; c <= ex.NumExcluded; ++c) {
        if (ex.CndIndex[Sz(c)] != p) continue;
        Stop(v, "Data error! Offspring " + FmtInt(i, 5) +
                    (k == 1 ? " has a known father listed as excluded"
                            : " has a known mother listed as excluded"));
      }
    }
  }
}

// Distinct codes of one locus in order of first appearance, with counts.
struct CodeList {
  std::vector<int> code;
  std::vector<long long> count;
  std::unordered_map<int, int> position;  // code -> 0-based list position

  void Add(int c) {
    const auto [it, fresh] = position.try_emplace(c, static_cast<int>(code.size()));
    if (fresh) {
      code.push_back(c);
      count.push_back(1);
    } else {
      ++count[Sz(it->second)];
    }
  }
  int Size() const { return static_cast<int>(code.size()); }
};

// Calls f(pointer to slot 1 of the genotype) for every genotype at locus l:
// offspring, then the candidate copies of sex 1, then of sex 2.
template <typename F>
void ForEachGenotype(Variables& v, int l, F f) {
  for (int i = 1; i <= v.SmplSize; ++i) f(&v.IndivGtype(1, l, i));
  for (int k = 1; k <= 2; ++k)
    for (int c = 1; c <= v.NumCandidate[Sz(k)]; ++c) f(&v.CndGtype(1, l, c, k));
}

// Blanks partly untyped genotypes and counts the codes of the typed ones.
CodeList ScanLocus(Variables& v, int l) {
  CodeList list;
  ForEachGenotype(v, l, [&list](int* g) {
    if (g[0] < 1 || g[1] < 1) {
      g[0] = g[1] = 0;
      return;
    }
    list.Add(g[0]);
    list.Add(g[1]);
  });
  return list;
}

void CheckDominantCodes(Variables& v, int l) {
  for (int i = 1; i <= v.SmplSize; ++i) {
    const int code = v.IndivGtype(1, l, i);
    if (code > 2)
      Stop(v, "Individual" + FmtInt(i, 6) + " at dominant locus" + FmtInt(l, 4) +
                  " has an illegal genotype " + FmtInt(code, 6),
           "Program stops!");
  }
}

// Relative allele counts as frequencies; codes become indices 1..n in order
// of first appearance, allele 1 not above allele 2.
std::vector<double> RecodeCodominant(Variables& v, int l, const CodeList& list) {
  long long total = 0;
  for (long long c : list.count) total += c;
  std::vector<double> fre;
  const double inv = 1.0 / static_cast<double>(total);
  for (long long c : list.count) fre.push_back(static_cast<double>(c) * inv);
  ForEachGenotype(v, l, [&list](int* g) {
    if (g[0] == 0) return;
    g[0] = list.position.at(g[0]) + 1;
    g[1] = list.position.at(g[1]) + 1;
    if (g[1] < g[0]) std::swap(g[0], g[1]);
  });
  return fre;
}

// Dominant allele frequencies from the recessive phenotype's share (Hardy-Weinberg).
std::vector<double> DominantFrequencies(const CodeList& list) {
  if (list.Size() == 0) return {};
  long long c1 = 0, c2 = 0;
  for (int j = 0; j < list.Size(); ++j) {
    if (list.code[Sz(j)] == 1) c1 = list.count[Sz(j)];
    if (list.code[Sz(j)] == 2) c2 = list.count[Sz(j)];
  }
  const double q = std::sqrt(static_cast<double>(c2) / static_cast<double>(c1 + c2));
  return {1.0 - q, q};
}

}  // namespace

void DataProcess(Variables& v) {
  CheckKnownParentsNotExcluded(v);
  const int nl = v.NumLoci;
  if (v.ObsNumAllele.size() < Sz(nl) + 1) v.ObsNumAllele.assign(Sz(nl) + 1, 0);
  v.MaxObsNumAllele = 0;
  std::vector<std::vector<double>> fre(Sz(nl) + 1);
  for (int l = 1; l <= nl; ++l) {
    const CodeList list = ScanLocus(v, l);
    const int n = list.Size();
    v.ObsNumAllele[Sz(l)] = n;
    v.MaxObsNumAllele = std::max(v.MaxObsNumAllele, n);
    if (v.DominantMarker[Sz(l)] == 1) {
      CheckDominantCodes(v, l);
      fre[Sz(l)] = DominantFrequencies(list);
    } else {
      fre[Sz(l)] = RecodeCodominant(v, l, list);
    }
  }
  bool anyVariation = false;
  for (int l = 1; l <= nl; ++l) anyVariation = anyVariation || v.ObsNumAllele[Sz(l)] >= 2;
  if (!anyVariation)
    Stop(v, "Program stops because no variation in geneotypes!",
         "All loci have less than 2 observed alleles!");

  const int m = v.MaxObsNumAllele;
  v.MaxNumGenotype = m * (m + 1) / 2;
  v.ObsAlleleFreData.assign(Sz(nl) * Sz(m + 1), 0.0);
  for (int l = 1; l <= nl; ++l) {
    const int n = v.ObsNumAllele[Sz(l)];
    for (int j = 1; j <= n; ++j) v.ObsAlleleFre(l, j) = fre[Sz(l)][Sz(j - 1)];
    if (v.DominantMarker[Sz(l)] == 1 && n == 1) v.ObsAlleleFre(l, 2) = 1.0 - v.ObsAlleleFre(l, 1);
  }
}

namespace {

// Observed-given-true rates of a codominant locus with n >= 2 alleles.
std::array<double, 7> CodominantRates(int n, double e, double d) {
  const double x = e / static_cast<double>(n - 1);
  const double a = 1.0 - e;
  const double dd = d / (1.0 + d);  // dropout enters as d/(1+d)
  const double h = (a - x) * (a - x);
  return {0.0,          a * a - 2.0 * dd * h + x * x, dd * h + a * x, (a + x) * x,
          x * x,        a * a,                        2.0 * a * x};
}

// Observed-given-true rates of a dominant locus with both phenotypes seen.
std::array<double, 7> DominantRates(double e) {
  return {0.0,           1.0 - e * e,      1.0 - e + e * e, 2.0 * e - e * e,
          e * e,         e * (1.0 - e),    (1.0 - e) * (1.0 - e)};
}

// The reader lets a rate just below 0 pass; as a rate it means none, and
// taken as it is it would make some probabilities negative.
double RateOrZero(double rate) { return rate < 0.0 ? 0.0 : rate; }

std::array<double, 7> LocusRates(const Variables& v, int l) {
  const int n = v.ObsNumAllele[Sz(l)];
  const double e = RateOrZero(v.OtherErrorRate[Sz(l)]);
  if (v.DominantMarker[Sz(l)] == 1) {
    if (n < 2) return {0.0, 1.0, 0.0, 0.0, 0.0, 0.0, 0.0};
    return DominantRates(e);
  }
  if (n < 2) return {0.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0};
  return CodominantRates(n, e, RateOrZero(v.DropRate[Sz(l)]));
}

void BuildGenotypeID2(Variables& v) {
  const int m = v.MaxObsNumAllele;
  v.GenotypeID2Data.assign(Sz(m + 1) * Sz(m + 1), 0);
  for (int j = 1; j <= m; ++j) {
    v.GenotypeID2(0, j) = -j;
    v.GenotypeID2(j, 0) = -j;
    v.GenotypeID2(j, j) = j;
  }
  int next = m;
  for (int i = 1; i <= m; ++i) {
    for (int j = i + 1; j <= m; ++j) {
      v.GenotypeID2(i, j) = ++next;
      v.GenotypeID2(j, i) = next;
    }
  }
}

// A rate as the user wrote it, for a message.
std::string RateText(double rate) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.15g", rate);
  return buf;
}

// Every observed genotype must have a probability under its locus's error
// model; one that has none (a heterozygote at a locus with certain dropout
// and no other error) would turn every likelihood it enters into minus
// infinity and every LOD against it into infinity or NaN. Only the loci
// that enter a likelihood (two or more alleles) are checked; the candidate
// copies hold the same genotypes as the individuals.
void CheckObservedGenotypesPossible(Variables& v) {
  for (int i = 1; i <= v.SmplSize; ++i) {
    for (int l = 1; l <= v.NumLoci; ++l) {
      const int a1 = v.IndivGtype(1, l, i);
      if (v.ObsNumAllele[Sz(l)] < 2 || a1 < 1) continue;
      const double p = SingleGenotypeProb(v, l, a1, v.IndivGtype(2, l, i));
      if (p > 1e-300 && std::isfinite(p)) continue;
      StopOnImpossibleRates(v, "Individual " + common::TrimRight(v.OffspringID[Sz(i)]) + ", locus",
                            l, "make the observed genotype impossible!");
    }
  }
}

}  // namespace

void StopOnImpossibleRates(Variables& v, const std::string& subject, int l,
                           const std::string& consequence) {
  std::array<std::string, 5> lines{};
  lines[0] = subject + " " + common::TrimBoth(v.MarkerID[Sz(l)]) + ": dropout rate " +
             RateText(v.DropRate[Sz(l)]) + " and other error rate " +
             RateText(v.OtherErrorRate[Sz(l)]);
  lines[1] = consequence;
  lines[2] = kDataLine2;
  lines[3] = kDataLine3;
  v.ErrorMessage = lines;
  throw CompanionStop(lines);
}

void BuildErrorModel(Variables& v) {
  const int nl = v.NumLoci;
  if (v.TransRate.size() < Sz(nl) + 1) v.TransRate.assign(Sz(nl) + 1, {});
  if (v.LocusError.size() < Sz(nl) + 1) v.LocusError.assign(Sz(nl) + 1, 0);
  for (int l = 1; l <= nl; ++l) v.TransRate[Sz(l)] = LocusRates(v, l);

  BuildGenotypeID2(v);

  v.MarkerErrorFreeQ = false;
  for (int l = 1; l <= nl; ++l) {
    const bool err = v.OtherErrorRate[Sz(l)] > 1e-300 || v.DropRate[Sz(l)] > 1e-300;
    v.LocusError[Sz(l)] = err ? 1 : 0;
    if (!err) v.MarkerErrorFreeQ = true;
  }

  v.IndivGtype2Data.assign(Sz(nl) * Sz(v.SmplSize), 0);
  for (int i = 1; i <= v.SmplSize; ++i) {
    for (int l = 1; l <= nl; ++l) {
      const int a1 = v.IndivGtype(1, l, i);
      if (v.DominantMarker[Sz(l)] == 1)
        v.IndivGtype2(l, i) = a1;
      else
        v.IndivGtype2(l, i) = a1 < 1 ? 0 : v.GenotypeID2(a1, v.IndivGtype(2, l, i));
    }
  }

  for (int k = 1; k <= 2; ++k) {
    v.NumKnownPrnt[Sz(k)] = 0;
    for (int i = 1; i <= v.SmplSize; ++i)
      if (v.IndivParent[Sz(k)][Sz(i)] > 0) ++v.NumKnownPrnt[Sz(k)];
  }

  CheckObservedGenotypesPossible(v);
}

}  // namespace pairwise
