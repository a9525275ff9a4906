// Multi-start search: random start points from the one stream, drawn in a
// fixed order, each minimised by the direction-set method; the result is
// the likelihood-weighted mean of the optima close to the best one.
#include "estimation/find_estimates.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <ostream>
#include <stdexcept>

#include "estimation/likelihood_model.h"
#include "estimation/powell.h"

namespace estimation {
namespace {

constexpr double kFTol = 1e-8;
// A start whose point is still inadmissible after this many redraws fails
// like any failed start, so that a model without any admissible point
// (e.g. a known sampling proportion below 1e-6) cannot hang the run.
constexpr int kMaxRedraws = 10000;

std::size_t Idx(int i) { return static_cast<std::size_t>(i); }

// The likelihood as the minimiser's objective.
class LikelihoodObjective final : public Objective {
 public:
  explicit LikelihoodObjective(LikelihoodEvaluator& e) : e_(e) {}
  double operator()(const std::vector<double>& x) override { return e_.Func(x); }

 private:
  LikelihoodEvaluator& e_;
};

// x^n for n >= 0 by binary exponentiation (the product sequence of an
// integer power in compiled code), so the scale is the same everywhere.
double IntPower(double x, int n) {
  unsigned u = static_cast<unsigned>(n);
  double y = (u & 1u) ? x : 1.0;
  while (u >>= 1) {
    x *= x;
    if (u & 1u) y *= x;
  }
  return y;
}

// Size scale of start t: K Ratio^t, raised by 1 when it is at most K + 10.
double StartScale(int K, double Ratio, int t) {
  double c0 = K * IntPower(Ratio, t);
  if (c0 <= K + 10) c0 += 1.0;
  return c0;
}

void WriteProgressDot(std::ostream& out, int t, int NumStart) {
  out << '.';
  if (t < NumStart && t % 100 == 0) out << '\n';
  out.flush();
}

enum class Draw { kAdmissible, kFailed };

// One draw of a start point with scale c0: shares, sizes and (when not
// known) sampling probabilities. kFailed when the draw cannot succeed.
Draw DrawPoint(const LikelihoodTables& tb, Ran2& rng, double c0, std::vector<double>& x,
               std::vector<double>& u) {
  const int K = tb.K;
  double sum = 0.0;
  for (int k = 1; k <= K; ++k) {
    u[Idx(k)] = rng.Next();
    sum += u[Idx(k)];
  }
  for (int k = 1; k <= K - 1; ++k) x[Idx(k)] = u[Idx(k)] / sum;
  for (int i = 1; i <= K; ++i) x[Idx(K - 1 + i)] = c0 - i;
  const double* N = x.data() + (K - 1);
  const std::vector<int>& n = tb.SampledCounts;
  if (tb.SamplingPrbKnown) {
    for (int k = 1; k <= K; ++k)
      if (N[k] * tb.KnownS[Idx(k)] <= n[Idx(k)]) return Draw::kFailed;
    return Draw::kAdmissible;
  }
  bool bad = N[K] < 1.0;
  for (int k = 1; k <= K; ++k) {
    const double r = rng.Next();
    const double S = std::max(r, (n[Idx(k)] + 0.1) / N[k]);
    x[Idx(2 * K - 1 + k)] = S;
    bad |= S > 1.0;
  }
  return bad ? Draw::kFailed : Draw::kAdmissible;
}

// Draws start point x until the objective accepts it (at most kMaxRedraws
// redraws); false when the start fails.
bool DrawStart(const LikelihoodTables& tb, LikelihoodEvaluator& ev, Ran2& rng, double c0,
               std::vector<double>& x, std::vector<double>& u, SearchStats& stats) {
  for (int redraw = 0;; ++redraw) {
    if (DrawPoint(tb, rng, c0, x, u) == Draw::kFailed) return false;
    if (ev.Func(x) < kPenalty) return true;
    if (redraw == kMaxRedraws) return false;
    ++stats.Redraws;
  }
}

// Diagonal initial direction set: shares Ran2, sizes 100 Ran2 + 1,
// sampling probabilities 0.1 Ran2, drawn in coordinate order.
void DrawDirections(const LikelihoodTables& tb, Ran2& rng, Table2<double>& xi) {
  const int K = tb.K;
  xi.Fill(0.0);
  for (int k = 1; k <= K - 1; ++k) xi(k, k) = rng.Next();
  for (int k = 1; k <= K; ++k) {
    const int c = K - 1 + k;
    xi(c, c) = 100.0 * rng.Next() + 1.0;
  }
  if (tb.SamplingPrbKnown) return;
  for (int k = 1; k <= K; ++k) {
    const int c = 2 * K - 1 + k;
    xi(c, c) = 0.1 * rng.Next();
  }
}

}  // namespace

void CombineStartResults(const Table2<double>& results, int NumStart, int NCom,
                         std::vector<double>& X) {
  double best = kPenalty;  // lowest value reached; only it weighs the mean
  for (int t = NumStart; t >= 1; --t)
    if (best > results(0, t)) best = results(0, t);
  std::vector<double> w(Idx(NumStart + 1), 0.0);
  double sum = 0.0;
  for (int t = 1; t <= NumStart; ++t) {
    w[Idx(t)] = std::exp(best - results(0, t));
    if (w[Idx(t)] < 0.99) w[Idx(t)] = 0.0;
    sum += w[Idx(t)];
  }
  X.assign(Idx(NCom + 1), 0.0);
  for (int t = 1; t <= NumStart; ++t) {
    w[Idx(t)] = w[Idx(t)] / sum;
    if (w[Idx(t)] > 1e-30)
      for (int j = 1; j <= NCom; ++j) X[Idx(j)] += w[Idx(t)] * results(j, t);
  }
}

void FindEstimates(AgeVariables& av, int MaxSize, int NumStart, int K, int LenX,
                   std::vector<double>& X, SearchStats& stats) {
  av.NDim2 = K;
  av.NDim1 = K - 1;
  av.NCom = av.SamplingPrbKnown == 1 ? 2 * K - 1 : 3 * K - 1;
  const int NCom = av.NCom;
  if (LenX != NCom) throw std::logic_error("internal error: FindEstimates: LenX is not NCom");
  if (NumStart < 1) throw std::logic_error("internal error: FindEstimates: no start");

  const LikelihoodTables tables = BuildLikelihoodTables(av, K);
  LikelihoodEvaluator evaluator(tables);
  LikelihoodObjective objective(evaluator);
  Minimiser minimiser(objective);

  const double Ratio =
      std::exp(std::log(static_cast<double>(MaxSize) / static_cast<double>(K)) / NumStart);
  Table2<double> results(0, NCom, 1, NumStart, 0.0);  // StartResults
  std::vector<double> x(Idx(NCom + 1), 0.0), u(Idx(K + 1), 0.0);
  Table2<double> xi(1, NCom, 1, NCom, 0.0);
  std::ostream& console = *av.Console;

  for (int t = NumStart; t >= 1; --t) {
    WriteProgressDot(console, t, NumStart);
    const double c0 = StartScale(K, Ratio, t);
    bool ok = DrawStart(tables, evaluator, av.Rng, c0, x, u, stats);
    double FRet = kPenalty;
    if (ok) {
      DrawDirections(tables, av.Rng, xi);
      int Iter = 0, ErrorFlag = 0;
      minimiser.Powell(x, xi, NCom, kFTol, Iter, FRet, ErrorFlag);
      ok = ErrorFlag == 0;
    }
    if (!ok) {
      ++stats.FailedStarts;
      results(0, t) = kPenalty;
      for (int j = 1; j <= NCom; ++j) results(j, t) = 0.0;
      continue;
    }
    results(0, t) = FRet;
    for (int j = 1; j <= NCom; ++j) results(j, t) = x[Idx(j)];
  }
  console << '\n';
  console.flush();
  stats.FuncEvaluations += evaluator.Evaluations();
  CombineStartResults(results, NumStart, NCom, X);
}

void FindEstimates(AgeVariables& av, int MaxSize, int NumStart, int K, int LenX,
                   std::vector<double>& X) {
  SearchStats stats;
  FindEstimates(av, MaxSize, NumStart, K, LenX, X, stats);
}

}  // namespace estimation
