#include "estimation/likelihood_model.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <stdexcept>
#include <string>

namespace estimation {
namespace {

std::size_t U(int i) { return static_cast<std::size_t>(i); }

void Require(bool ok, const char* what) {
  if (!ok) throw std::logic_error(std::string("internal error: likelihood tables: ") + what);
}

void CheckCountTables(const AgeVariables& av, int K) {
  Require(K >= 1, "no age class");
  Require(av.SampledCounts.size() >= U(K + 1), "SampledCounts shorter than 0..K");
  int sum = 0;
  for (int k = 1; k <= K; ++k) {
    Require(av.SampledCounts[U(k)] >= 0, "negative sampled count");
    sum += av.SampledCounts[U(k)];
  }
  Require(av.SampledCounts[0] == sum, "SampledCounts(0) is not the sum of the classes");
  const Table2<int>& pod = av.PODyadCounts;
  Require(pod.RowLo() <= 0 && pod.RowHi() >= K - 1 && pod.ColLo() <= 0 && pod.ColHi() >= K,
          "PODyadCounts smaller than (0..K-1, 0..K)");
  for (int i = 0; i <= K - 1; ++i) {
    int assigned = 0;
    for (int j = 0; j <= K; ++j) Require(pod(i, j) >= 0, "negative pair count");
    for (int j = i + 1; j <= K; ++j) assigned += pod(i, j);
    Require(assigned <= pod(i, 0), "more assigned offspring than sampled offspring");
  }
  const Table2<int>& off = av.NumOff;
  Require(av.MaxOff >= 0, "negative MaxOff");
  Require(off.RowLo() <= 0 && off.RowHi() >= av.MaxOff && off.ColLo() <= 1 && off.ColHi() >= K,
          "NumOff smaller than (0..MaxOff, 1..K)");
  if (av.SamplingPrbKnown == 1)
    Require(av.SamplingPrbPrt.size() >= U(K + 1), "SamplingPrbPrt shorter than 1..K");
}

// ln(i!) for i = 0..M by running sums of ln i.
std::vector<double> BuildLogFactorial(int M) {
  std::vector<double> lf(U(std::max(M, 1) + 1), 0.0);
  for (int i = 2; i <= M; ++i) lf[U(i)] = lf[U(i - 1)] + std::log(static_cast<double>(i));
  return lf;
}

}  // namespace

double GammLn(double x) {
  static constexpr double COF[6] = {76.18009172947146,     -86.50532032941678,
                                    24.01409824083091,     -1.231739572450155,
                                    0.001208650973866179,  -5.395239384953e-06};
  static constexpr double STP = 2.5066282746310005;
  double ser = 1.000000000190015;
  for (int j = 0; j < 6; ++j) ser += COF[j] / (x + static_cast<double>(j + 1));
  return (x + 0.5) * std::log(x + 5.5) - (x + 5.5) + std::log(STP * ser / x);
}

LikelihoodTables BuildLikelihoodTables(const AgeVariables& av, int K) {
  CheckCountTables(av, K);
  LikelihoodTables t;
  t.K = K;
  t.SamplingPrbKnown = av.SamplingPrbKnown == 1;
  t.NCom = t.SamplingPrbKnown ? 2 * K - 1 : 3 * K - 1;
  t.MaxOff = av.MaxOff;
  t.SampledCounts.assign(av.SampledCounts.begin(), av.SampledCounts.begin() + K + 1);
  t.PODyadCounts.Reset(0, K - 1, 0, K);
  for (int i = 0; i <= K - 1; ++i)
    for (int j = 0; j <= K; ++j) t.PODyadCounts(i, j) = av.PODyadCounts(i, j);
  if (t.SamplingPrbKnown)
    t.KnownS.assign(av.SamplingPrbPrt.begin(), av.SamplingPrbPrt.begin() + K + 1);

  int M = std::max(t.SampledCounts[0], t.MaxOff);
  for (int i = 0; i <= K - 1; ++i) M = std::max(M, t.PODyadCounts(i, 0));
  t.LogFactorial = BuildLogFactorial(M);

  t.GammLnSmpl.assign(U(K + 1), 0.0);
  int s = 0;
  for (int k = 1; k <= K; ++k) {
    t.GammLnSmpl[U(k)] = GammLn(static_cast<double>(t.SampledCounts[U(k)] + 1));
    s += t.SampledCounts[U(k)];
  }
  t.GammLnSmpl[0] = GammLn(static_cast<double>(s + 1));

  t.NumOffSum.assign(U(K + 1), 0);
  t.NumOffSum2.assign(U(K + 1), 0);
  t.SumNumOff.assign(U(K + 1), 0.0);
  for (int k = 1; k <= K; ++k) {
    for (int n = 1; n <= t.MaxOff; ++n) t.NumOffSum[U(k)] += n * av.NumOff(n, k);
    for (int n = 0; n <= t.MaxOff; ++n) t.NumOffSum2[U(k)] += av.NumOff(n, k);
    for (int n = 2; n <= t.MaxOff; ++n)
      t.SumNumOff[U(k)] += static_cast<double>(av.NumOff(n, k)) * t.LogFactorial[U(n)];
  }
  return t;
}

LikelihoodEvaluator::LikelihoodEvaluator(const LikelihoodTables& tables)
    : tables_(&tables),
      saveArg_(U(tables.K + 1), -1.0),
      saveTerm_(U(tables.K + 1), 0.0),
      P_(U(tables.K + 1), 0.0),
      PShare_(U(tables.K + 1), 0.0) {}

double LikelihoodEvaluator::Func(const std::vector<double>& x) {
  ++evaluations_;
  const LikelihoodTables& t = *tables_;
  const int K = t.K;
  // S(k) = S[k]: the known proportions or the tail of x.
  const double* S = t.SamplingPrbKnown ? t.KnownS.data() : x.data() + (2 * K - 1);
  double sum = 0.0;
  for (int k = 1; k <= K - 1; ++k) {
    P_[U(k)] = x[U(k)];
    sum += x[U(k)];
  }
  P_[U(K)] = 1.0 - sum;
  if (!Admissible(x, S)) return kPenalty;
  double L = 0.0;
  if (!AddSamplingBlock(x, S, L)) return kPenalty;
  AddFamilySizeBlock(x, S, L);
  if (!AddPairBlock(x, S, L)) return kPenalty;
  return -L;
}

// Shares positive, sizes in [1, 1e5] and not increasing with age by more
// than 1e-5, sampling probabilities in [1e-6, 1].
bool LikelihoodEvaluator::Admissible(const std::vector<double>& x, const double* S) const {
  const int K = tables_->K;
  const double* N = x.data() + (K - 1);  // N(k) = N[k]
  bool bad = false;
  for (int k = 1; k <= K; ++k) {
    bad |= P_[U(k)] <= 0.0;
    bad |= N[k] < 1.0;
    bad |= N[k] > 1e5;
    bad |= S[k] > 1.0;
    bad |= S[k] < 1e-6;
  }
  for (int k = 1; k <= K - 1; ++k) bad |= N[k] + 1e-5 < N[k + 1];
  return !bad;
}

// ln of drawing n_k of the m_k = N(k) S(k) expected members of each class
// (binomial coefficients extended to real m), given n_0 drawn in total.
bool LikelihoodEvaluator::AddSamplingBlock(const std::vector<double>& x, const double* S,
                                           double& L) {
  const LikelihoodTables& t = *tables_;
  const int K = t.K;
  const double* N = x.data() + (K - 1);
  double W = 0.0;
  for (int k = 1; k <= K; ++k) {
    const double m = N[k] * S[k];
    const int n = t.SampledCounts[U(k)];
    if (m <= n) return false;
    double term;
    if (std::fabs(saveArg_[U(k)] - m) <= 1e-30) {
      term = saveTerm_[U(k)];
    } else {
      term = GammLn(m + 1.0) - t.GammLnSmpl[U(k)] - GammLn(m + 1.0 - n);
      saveArg_[U(k)] = m;
      saveTerm_[U(k)] = term;
    }
    L = L + term;
    W = W + m;
  }
  double total;
  if (std::fabs(saveArg_[0] - W) <= 1e-30) {
    total = saveTerm_[0];
  } else {
    total = t.GammLnSmpl[0] - GammLn(W + 1.0) + GammLn(W + 1.0 - t.SampledCounts[0]);
    saveArg_[0] = W;
    saveTerm_[0] = total;
  }
  L = L + total;
  return true;
}

// Poisson offspring numbers of the sampled parents, mean NumOffSum/(S N).
void LikelihoodEvaluator::AddFamilySizeBlock(const std::vector<double>& x, const double* S,
                                             double& L) const {
  const LikelihoodTables& t = *tables_;
  if (t.MaxOff < 1) return;
  const int K = t.K;
  const double* N = x.data() + (K - 1);
  for (int k = 1; k <= K; ++k) {
    const int total = t.NumOffSum[U(k)];
    if (total <= 0) continue;
    const double lambda = total / (S[k] * N[k]);
    L = L + total * std::log(lambda) - t.NumOffSum2[U(k)] * lambda - t.SumNumOff[U(k)];
  }
}

// Multinomial assignment of the sampled offspring of each age to sampled
// parents of each older age, or to no sampled parent.
bool LikelihoodEvaluator::AddPairBlock(const std::vector<double>& x, const double* S, double& L) {
  const LikelihoodTables& t = *tables_;
  const int K = t.K;
  const double* N = x.data() + (K - 1);
  const double* LF = t.LogFactorial.data();
  for (int k = 1; k <= K; ++k) PShare_[U(k)] = P_[U(k)] / N[k];
  for (int i = 0; i <= K - 1; ++i) {
    const int T = t.PODyadCounts(i, 0);
    int R = T;
    double Q = 0.0;
    for (int j = i + 1; j <= K; ++j) {
      const double pr = PShare_[U(j - i)] * S[j] * N[j];
      Q = Q + pr;
      const int c = t.PODyadCounts(i, j);
      if (c > 0) {
        L = L + c * std::log(pr) - LF[c];
        R = R - c;
      }
    }
    if (Q >= 1.0) return false;
    L = L + LF[T] - LF[R] + R * std::log(1.0 - Q);
  }
  return true;
}

}  // namespace estimation
