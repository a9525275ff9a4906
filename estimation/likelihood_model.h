// Likelihood of the age-class model for one parent sex: sampling of the
// classes, Poisson family sizes of the sampled parents and the multinomial
// assignment of sampled offspring to sampled parents.
//
// Parameter vector x[1..NCom] (element 0 unused):
//   x[1..K-1]     P(1..K-1), shares of reproduction; P(K) = 1 - their sum
//   x[K..2K-1]    N(1..K), class sizes
//   x[2K..3K-1]   S(1..K), sampling probabilities (only when not known)
#pragma once

#include <vector>

#include "estimation/age_variables.h"

namespace estimation {

// Value returned for every inadmissible parameter vector.
inline constexpr double kPenalty = 1e300;

// ln Gamma(x) for x > 0 (Lanczos series, six terms).
double GammLn(double x);

// Tables of one parent sex, built once per search from the count tables and
// read-only afterwards, so any number of evaluators can share them.
struct LikelihoodTables {
  int K = 0;
  int NCom = 0;                     // 2K-1 with known S, else 3K-1
  bool SamplingPrbKnown = false;
  int MaxOff = 0;
  std::vector<int> SampledCounts;   // 0..K (entry 0: their sum)
  Table2<int> PODyadCounts;         // (0..K-1, 0..K)
  std::vector<double> KnownS;       // 1..K when known, else empty
  std::vector<double> LogFactorial; // 0..M: ln(i!)
  std::vector<double> GammLnSmpl;   // 0..K: ln Gamma(n_k + 1), entry 0 for the total
  std::vector<int> NumOffSum;       // 1..K: offspring assigned to parents of age k
  std::vector<int> NumOffSum2;      // 1..K: sampled parents of age k
  std::vector<double> SumNumOff;    // 1..K: sum of ln(n!) over those parents
};

// Builds the tables from SampledCounts, PODyadCounts, NumOff, MaxOff,
// SamplingPrbKnown and (when known) SamplingPrbPrt of av for K classes.
// Inconsistent count tables are a bug of the caller: std::logic_error.
LikelihoodTables BuildLikelihoodTables(const AgeVariables& av, int K);

// Evaluates the objective on shared tables. Holds the cache of sampling
// terms (GammLnSave) and scratch space, so each concurrent minimisation
// needs its own evaluator; the cache never changes a result.
class LikelihoodEvaluator {
 public:
  explicit LikelihoodEvaluator(const LikelihoodTables& tables);

  // Minus the log-likelihood of x[1..NCom], or exactly kPenalty.
  double Func(const std::vector<double>& x);

  long long Evaluations() const { return evaluations_; }

 private:
  bool Admissible(const std::vector<double>& x, const double* S) const;
  bool AddSamplingBlock(const std::vector<double>& x, const double* S, double& L);
  void AddFamilySizeBlock(const std::vector<double>& x, const double* S, double& L) const;
  bool AddPairBlock(const std::vector<double>& x, const double* S, double& L);

  const LikelihoodTables* tables_;
  // GammLnSave: argument last used (row 1) and term computed (row 2) per
  // class 1..K, index 0 for the total.
  std::vector<double> saveArg_, saveTerm_;
  std::vector<double> P_, PShare_;  // 1..K scratch
  long long evaluations_ = 0;
};

}  // namespace estimation
