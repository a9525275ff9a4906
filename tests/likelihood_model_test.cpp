#include "estimation/likelihood_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <vector>

namespace {

using estimation::AgeVariables;
using estimation::BuildLikelihoodTables;
using estimation::GammLn;
using estimation::kPenalty;
using estimation::LikelihoodEvaluator;
using estimation::LikelihoodTables;

std::size_t Idx(int i) { return static_cast<std::size_t>(i); }

// Count tables of one parent sex.
struct Counts {
  int K;
  std::vector<int> n;                  // sampled of age 1..K
  std::vector<std::vector<int>> pod;   // [i][0..K]: T_i, then pairs with a parent of age j
  std::vector<std::vector<int>> off;   // [k-1][n]: parents of age k with n offspring
};

AgeVariables MakeAv(const Counts& c, const std::vector<double>* knownS) {
  AgeVariables av;
  const int K = c.K;
  av.SampledCounts.assign(Idx(K + 1), 0);
  for (int k = 1; k <= K; ++k) {
    av.SampledCounts[Idx(k)] = c.n[Idx(k - 1)];
    av.SampledCounts[0] += c.n[Idx(k - 1)];
  }
  av.PODyadCounts.Reset(0, K - 1, 0, K);
  for (int i = 0; i <= K - 1; ++i)
    for (int j = 0; j <= K; ++j) av.PODyadCounts(i, j) = c.pod[Idx(i)][Idx(j)];
  av.MaxOff = 0;
  for (const auto& row : c.off) av.MaxOff = std::max(av.MaxOff, static_cast<int>(row.size()) - 1);
  av.NumOff.Reset(0, av.MaxOff, 1, K);
  for (int k = 1; k <= K; ++k)
    for (std::size_t m = 0; m < c.off[Idx(k - 1)].size(); ++m)
      av.NumOff(static_cast<int>(m), k) = c.off[Idx(k - 1)][m];
  av.SamplingPrbKnown = knownS ? 1 : 0;
  if (knownS) {
    av.SamplingPrbPrt.assign(Idx(K + 1), 0.0);
    for (int k = 1; k <= K; ++k) av.SamplingPrbPrt[Idx(k)] = (*knownS)[Idx(k - 1)];
  }
  return av;
}

double LnBinom(double m, double n) {
  return std::lgamma(m + 1) - std::lgamma(n + 1) - std::lgamma(m + 1 - n);
}

// The log-likelihood written out term by term: hypergeometric-like sampling
// of the classes, one Poisson term per sampled parent, one multinomial per
// offspring age.
double ReferenceLogL(const Counts& c, const std::vector<double>& P, const std::vector<double>& N,
                     const std::vector<double>& S) {
  const int K = c.K;
  double L = 0, W = 0, n0 = 0;
  for (int k = 0; k < K; ++k) {
    const double m = N[Idx(k)] * S[Idx(k)];
    L += LnBinom(m, c.n[Idx(k)]);
    W += m;
    n0 += c.n[Idx(k)];
  }
  L -= LnBinom(W, n0);
  for (int k = 0; k < K; ++k) {
    double total = 0;
    for (std::size_t m = 0; m < c.off[Idx(k)].size(); ++m) total += m * c.off[Idx(k)][m];
    if (total == 0) continue;
    const double lambda = total / (S[Idx(k)] * N[Idx(k)]);
    for (std::size_t m = 0; m < c.off[Idx(k)].size(); ++m)
      L += c.off[Idx(k)][m] * (m * std::log(lambda) - lambda - std::lgamma(m + 1.0));
  }
  for (int i = 0; i < K; ++i) {
    const double T = c.pod[Idx(i)][0];
    double R = T, Q = 0, logp = std::lgamma(T + 1);
    for (int j = i + 1; j <= K; ++j) {
      const double pr = P[Idx(j - i - 1)] / N[Idx(j - i - 1)] * S[Idx(j - 1)] * N[Idx(j - 1)];
      const double cij = c.pod[Idx(i)][Idx(j)];
      Q += pr;
      R -= cij;
      logp += cij * std::log(pr) - std::lgamma(cij + 1);
    }
    logp += R * std::log(1 - Q) - std::lgamma(R + 1);
    L += logp;
  }
  return L;
}

// Parameter vector x[1..NCom] from P(1..K), N, and S when estimated.
std::vector<double> MakeX(const std::vector<double>& P, const std::vector<double>& N,
                          const std::vector<double>* S) {
  std::vector<double> x(1, 0.0);
  for (std::size_t k = 0; k + 1 < P.size(); ++k) x.push_back(P[k]);
  for (double v : N) x.push_back(v);
  if (S)
    for (double v : *S) x.push_back(v);
  return x;
}

struct Case {
  const char* name;
  Counts counts;
  std::vector<double> P, N, S;
};

std::vector<Case> Cases() {
  return {
      {"K1", {1, {5}, {{12, 3}}, {{3, 1, 1}}}, {1.0}, {40}, {0.3}},
      {"K2",
       {2, {6, 4}, {{20, 2, 3}, {8, 1, 1}}, {{4, 2}, {1, 2, 0, 1}}},
       {0.4, 0.6}, {50, 30}, {0.2, 0.25}},
      {"K3",
       {3, {5, 4, 3}, {{25, 2, 3, 1}, {9, 0, 1, 2}, {7, 0, 0, 1}}, {{3, 2}, {2, 1, 1}, {1, 1, 1}}},
       {0.3, 0.45, 0.25}, {60, 45, 30}, {0.15, 0.2, 0.3}},
      {"K3NoPairs",
       {3, {5, 4, 3}, {{25, 0, 0, 0}, {9, 0, 0, 0}, {7, 0, 0, 0}}, {{5}, {4}, {3}}},
       {0.3, 0.45, 0.25}, {60, 45, 30}, {0.15, 0.2, 0.3}},
  };
}

TEST(GammLn, AgreesWithLgamma) {
  for (double x : {0.5, 1.0, 1.5, 2.0, 3.7, 10.0, 101.25, 1234.5, 99999.0}) {
    EXPECT_NEAR(GammLn(x), std::lgamma(x), 1e-9 * std::max(1.0, std::fabs(std::lgamma(x))))
        << "x = " << x;
  }
}

TEST(Func, MatchesTermByTermLogLikelihood) {
  for (const Case& c : Cases()) {
    for (bool known : {true, false}) {
      const AgeVariables av = MakeAv(c.counts, known ? &c.S : nullptr);
      const LikelihoodTables tables = BuildLikelihoodTables(av, c.counts.K);
      LikelihoodEvaluator ev(tables);
      const std::vector<double> x = MakeX(c.P, c.N, known ? nullptr : &c.S);
      ASSERT_EQ(x.size(), Idx(tables.NCom + 1));
      const double ref = -ReferenceLogL(c.counts, c.P, c.N, c.S);
      EXPECT_NEAR(ev.Func(x), ref, 1e-8 * std::max(1.0, std::fabs(ref)))
          << c.name << (known ? " known S" : " estimated S");
    }
  }
}

TEST(Func, KnownSIgnoresTailAndEstimatedSReadsIt) {
  const Case c = Cases()[2];
  const std::vector<double> otherS = {0.2, 0.3, 0.35};
  const AgeVariables known = MakeAv(c.counts, &c.S);
  const LikelihoodTables tk = BuildLikelihoodTables(known, 3);
  LikelihoodEvaluator ek(tk);
  const AgeVariables est = MakeAv(c.counts, nullptr);
  const LikelihoodTables te = BuildLikelihoodTables(est, 3);
  LikelihoodEvaluator ee(te);
  EXPECT_EQ(ek.Func(MakeX(c.P, c.N, nullptr)), ee.Func(MakeX(c.P, c.N, &c.S)));
  EXPECT_NEAR(ee.Func(MakeX(c.P, c.N, &otherS)), -ReferenceLogL(c.counts, c.P, c.N, otherS), 1e-7);
}

// Each admissibility edge: a vector just inside is evaluated, one just
// outside gets the penalty.
TEST(Func, AdmissibilityEdges) {
  const Case c = Cases()[1];  // K = 2, estimated S
  const AgeVariables av = MakeAv(c.counts, nullptr);
  const LikelihoodTables tables = BuildLikelihoodTables(av, 2);
  LikelihoodEvaluator ev(tables);
  const double inf = std::numeric_limits<double>::infinity();
  // x = (P1, N1, N2, S1, S2)
  const std::vector<double> base = {0, 0.4, 50, 30, 0.2, 0.25};
  struct Edit { const char* what; int index; double value; bool admissible; };
  const double n2 = 50 + 1e-5;
  const std::vector<Edit> edits = {
      {"N2 = N1 + 1e-5", 3, n2, true},
      {"N2 just above N1 + 1e-5", 3, std::nextafter(n2, inf), false},
      {"P1 = 0", 1, 0.0, false},
      {"P1 = 1 (P2 = 0)", 1, 1.0, false},
      {"P1 just below 1", 1, std::nextafter(1.0, 0.0), true},
      {"N1 = 1e5", 2, 1e5, true},
      {"N1 above 1e5", 2, std::nextafter(1e5, inf), false},
      {"S1 = 1", 4, 1.0, true},
      {"S1 above 1", 4, std::nextafter(1.0, inf), false},
      {"S2 below 1e-6", 5, std::nextafter(1e-6, 0.0), false},
      {"m1 = n1", 4, 6.0 / 50, false},
      {"m1 just above n1", 4, std::nextafter(6.0 / 50, inf), true},
  };
  for (const Edit& e : edits) {
    std::vector<double> x = base;
    x[Idx(e.index)] = e.value;
    const double f = ev.Func(x);
    if (e.admissible)
      EXPECT_LT(f, kPenalty) << e.what;
    else
      EXPECT_EQ(f, kPenalty) << e.what;
  }
  // N below 1 in a class without sampled members (n = 0), S at its bound 1e-6.
  Counts zero = c.counts;
  zero.n = {6, 0};
  const AgeVariables avz = MakeAv(zero, nullptr);
  const LikelihoodTables tz = BuildLikelihoodTables(avz, 2);
  LikelihoodEvaluator ez(tz);
  EXPECT_LT(ez.Func({0, 0.4, 50, 1.0, 0.2, 0.5}), kPenalty);
  EXPECT_EQ(ez.Func({0, 0.4, 50, std::nextafter(1.0, 0.0), 0.2, 0.5}), kPenalty);
  EXPECT_LT(ez.Func({0, 0.4, 50, 30, 0.2, 1e-6}), kPenalty);
}

TEST(Func, SummedPairProbabilityOfOneIsInadmissible) {
  // K = 1: the one pair probability is S(1).
  const Case c = Cases()[0];
  const AgeVariables av = MakeAv(c.counts, nullptr);
  const LikelihoodTables tables = BuildLikelihoodTables(av, 1);
  LikelihoodEvaluator ev(tables);
  EXPECT_LT(ev.Func({0, 40, std::nextafter(1.0, 0.0)}), kPenalty);
  EXPECT_EQ(ev.Func({0, 40, 1.0}), kPenalty);
}

TEST(Func, KnownProportionBelowBoundRejectsEverything) {
  const Case c = Cases()[1];
  const std::vector<double> S = {0.2, 5e-7};
  const AgeVariables av = MakeAv(c.counts, &S);
  const LikelihoodTables tables = BuildLikelihoodTables(av, 2);
  LikelihoodEvaluator ev(tables);
  for (double n1 : {20.0, 1000.0, 99999.0})
    EXPECT_EQ(ev.Func({0, 0.5, n1, 10.0}), kPenalty);
}

TEST(Func, CacheHitGivesTheValueOfAFreshEvaluation) {
  const Case c = Cases()[2];
  const AgeVariables av = MakeAv(c.counts, nullptr);
  const LikelihoodTables tables = BuildLikelihoodTables(av, 3);
  LikelihoodEvaluator warm(tables);
  const std::vector<double> a = MakeX(c.P, c.N, &c.S);
  std::vector<double> b = a;
  b[1] = 0.31;  // shares only: every sampling term comes from the cache
  std::vector<double> d = a;
  d[4] = 61;  // N(1): one class and the total recomputed
  const double fa = warm.Func(a);
  const std::vector<const std::vector<double>*> order = {&b, &d, &a, &b, &a};
  for (const std::vector<double>* x : order) {
    LikelihoodEvaluator fresh(tables);
    EXPECT_EQ(warm.Func(*x), fresh.Func(*x));
  }
  EXPECT_EQ(warm.Func(a), fa);
  EXPECT_EQ(warm.Evaluations(), 7);
}

TEST(Func, InadmissibleVectorDoesNotSpoilTheCache) {
  const Case c = Cases()[1];
  const AgeVariables av = MakeAv(c.counts, nullptr);
  const LikelihoodTables tables = BuildLikelihoodTables(av, 2);
  LikelihoodEvaluator ev(tables);
  const std::vector<double> good = {0, 0.4, 50, 30, 0.2, 0.25};
  const double f = ev.Func(good);
  // Class 1 passes and is cached, class 2 fails (m2 <= n2).
  EXPECT_EQ(ev.Func({0, 0.4, 50, 30, 0.21, 4.0 / 30}), kPenalty);
  EXPECT_EQ(ev.Func(good), f);
}

TEST(LikelihoodTables, BuiltFromCounts) {
  const Case c = Cases()[1];
  const AgeVariables av = MakeAv(c.counts, nullptr);
  const LikelihoodTables t = BuildLikelihoodTables(av, 2);
  EXPECT_EQ(t.NCom, 5);
  EXPECT_EQ(t.MaxOff, 3);
  ASSERT_EQ(t.LogFactorial.size(), 21u);  // M = largest T = 20
  EXPECT_EQ(t.LogFactorial[0], 0.0);
  EXPECT_EQ(t.LogFactorial[1], 0.0);
  EXPECT_NEAR(t.LogFactorial[20], std::lgamma(21.0), 1e-12);
  EXPECT_EQ(t.NumOffSum[1], 2);
  EXPECT_EQ(t.NumOffSum[2], 5);
  EXPECT_EQ(t.NumOffSum2[1], 6);
  EXPECT_EQ(t.NumOffSum2[2], 4);
  EXPECT_NEAR(t.SumNumOff[2], std::log(6.0), 1e-15);
  EXPECT_EQ(t.GammLnSmpl[0], GammLn(11.0));
  EXPECT_EQ(t.GammLnSmpl[1], GammLn(7.0));
}

TEST(LikelihoodTables, InconsistentCountsAreAnInternalError) {
  Counts bad = Cases()[1].counts;
  bad.pod[1] = {1, 0, 2};  // two assigned offspring of age 1, one sampled
  const AgeVariables av = MakeAv(bad, nullptr);
  EXPECT_THROW(BuildLikelihoodTables(av, 2), std::logic_error);
}

}  // namespace
