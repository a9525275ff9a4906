// Multi-start search: random start points from the one stream, drawn in a
// fixed order, each minimised by the direction-set method; the result is
// the likelihood-weighted mean of the optima close to the best one.
#include "estimation/find_estimates.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <utility>

#include "estimation/likelihood_model.h"
#include "estimation/powell.h"
#include "estimation/worker_pool.h"

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

// Diagonal of the initial direction set (zero elsewhere): shares Ran2,
// sizes 100 Ran2 + 1, sampling probabilities 0.1 Ran2, drawn in coordinate
// order.
void DrawDiagonal(const LikelihoodTables& tb, Ran2& rng, std::vector<double>& diag) {
  const int K = tb.K;
  for (int k = 1; k <= K - 1; ++k) diag[Idx(k)] = rng.Next();
  for (int k = 1; k <= K; ++k) diag[Idx(K - 1 + k)] = 100.0 * rng.Next() + 1.0;
  if (tb.SamplingPrbKnown) return;
  for (int k = 1; k <= K; ++k) diag[Idx(2 * K - 1 + k)] = 0.1 * rng.Next();
}

// Every draw of one start, in the stream's order: its point, then the
// diagonal of its direction set. The minimisation draws nothing, so this is
// all a start takes from the stream. False when the start failed already.
bool DrawStartAndDirections(const LikelihoodTables& tb, LikelihoodEvaluator& ev, Ran2& rng,
                            double c0, std::vector<double>& x, std::vector<double>& diag,
                            std::vector<double>& u, SearchStats& stats) {
  if (!DrawStart(tb, ev, rng, c0, x, u, stats)) return false;
  DrawDiagonal(tb, rng, diag);
  return true;
}

// What one minimisation at a time needs: an evaluator (its cache of
// sampling terms never changes a value, so any evaluator gives the same
// result), the minimiser and a full direction set. The tables are shared.
class StartMinimiser {
 public:
  explicit StartMinimiser(const LikelihoodTables& tb)
      : evaluator_(tb), objective_(evaluator_), minimiser_(objective_),
        xi_(1, tb.NCom, 1, tb.NCom, 0.0), point_(Idx(tb.NCom + 1), 0.0) {}

  // Powell from x[1..NCom] with the diagonal directions diag[1..NCom]; on
  // success x is the point reached and FRet its value.
  bool Minimise(std::vector<double>& x, const double* diag, double& FRet) {
    const int NCom = xi_.RowHi();
    xi_.Fill(0.0);
    for (int j = 1; j <= NCom; ++j) xi_(j, j) = diag[j];
    int Iter = 0, ErrorFlag = 0;
    minimiser_.Powell(x, xi_, NCom, kFTol, Iter, FRet, ErrorFlag);
    return ErrorFlag == 0;
  }

  LikelihoodEvaluator& Evaluator() { return evaluator_; }
  std::vector<double>& Point() { return point_; }  // room for a start point

 private:
  LikelihoodEvaluator evaluator_;
  LikelihoodObjective objective_;
  Minimiser minimiser_;
  Table2<double> xi_;
  std::vector<double> point_;
};

// Column t of StartResults: the value and point a start reached, or 1e300
// and the zero point when it failed.
void StoreStart(Table2<double>& results, int t, bool ok, double FRet, const std::vector<double>& x) {
  results(0, t) = ok ? FRet : kPenalty;
  for (int j = 1; j <= results.RowHi(); ++j) results(j, t) = ok ? x[Idx(j)] : 0.0;
}

// The starts t = NumStart .. 1 on the calling thread: each start's dot, its
// draws, its minimisation.
void RunStartsInOrder(const LikelihoodTables& tb, Ran2& rng, std::ostream& console, double Ratio,
                      int NumStart, Table2<double>& results, SearchStats& stats) {
  StartMinimiser sm(tb);
  std::vector<double>& x = sm.Point();
  std::vector<double> diag(Idx(tb.NCom + 1), 0.0), u(Idx(tb.K + 1), 0.0);
  for (int t = NumStart; t >= 1; --t) {
    WriteProgressDot(console, t, NumStart);
    double FRet = kPenalty;
    const bool ok = DrawStartAndDirections(tb, sm.Evaluator(), rng, StartScale(tb.K, Ratio, t),
                                           x, diag, u, stats) &&
                    sm.Minimise(x, diag.data(), FRet);
    if (!ok) ++stats.FailedStarts;
    StoreStart(results, t, ok, FRet, x);
  }
  stats.FuncEvaluations += sm.Evaluator().Evaluations();
}

// The same starts with their minimisations on `threads` workers. The
// calling thread draws every start from the stream in the same order as
// above and keeps the draws (point and diagonal, not the full matrix) until
// a worker takes the start; each worker has its own StartMinimiser. Results
// land in the start's own column, so the combining step sees exactly what
// the calling thread alone would have produced. One dot per finished start,
// with the line ends where the calling thread alone would put them.
void RunStartsOnWorkers(const LikelihoodTables& tb, Ran2& rng, std::ostream& console,
                        double Ratio, int NumStart, int threads, Table2<double>& results,
                        SearchStats& stats) {
  const std::size_t stride = Idx(tb.NCom + 1);
  const auto at = [stride](int item) { return Idx(item) * stride; };
  LikelihoodEvaluator drawEvaluator(tb);
  std::vector<double> x(stride, 0.0), diag(stride, 0.0), u(Idx(tb.K + 1), 0.0);
  // Item i is start t = NumStart - i.
  std::vector<double> points(Idx(NumStart) * stride), diagonals(Idx(NumStart) * stride);
  std::vector<char> drawn(Idx(NumStart), 0), failed(Idx(NumStart), 0);
  // Each worker builds its own on its first start, so that its hot scratch
  // space comes from its own thread's memory, not next to another's.
  std::vector<std::unique_ptr<StartMinimiser>> workers(Idx(threads));

  OrderedWork work;
  work.Prepare = [&](int i) {
    const int t = NumStart - i;
    drawn[Idx(i)] =
        DrawStartAndDirections(tb, drawEvaluator, rng, StartScale(tb.K, Ratio, t), x, diag, u, stats);
    std::copy(x.begin(), x.end(), points.begin() + static_cast<std::ptrdiff_t>(at(i)));
    std::copy(diag.begin(), diag.end(), diagonals.begin() + static_cast<std::ptrdiff_t>(at(i)));
  };
  work.Work = [&](int i, int w) {
    if (!workers[Idx(w)]) workers[Idx(w)] = std::make_unique<StartMinimiser>(tb);
    StartMinimiser& sm = *workers[Idx(w)];
    std::vector<double>& p = sm.Point();
    std::copy_n(points.begin() + static_cast<std::ptrdiff_t>(at(i)), stride, p.begin());
    double FRet = kPenalty;
    const bool ok = drawn[Idx(i)] && sm.Minimise(p, diagonals.data() + at(i), FRet);
    failed[Idx(i)] = !ok;
    StoreStart(results, NumStart - i, ok, FRet, p);
  };
  work.Finished = [&](int n) { WriteProgressDot(console, NumStart - n + 1, NumStart); };
  RunOrderedWork(NumStart, threads, work);

  stats.FuncEvaluations += drawEvaluator.Evaluations();
  for (const auto& sm : workers)
    if (sm) stats.FuncEvaluations += sm->Evaluator().Evaluations();
  stats.FailedStarts += static_cast<int>(std::count(failed.begin(), failed.end(), 1));
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
  const double Ratio =
      std::exp(std::log(static_cast<double>(MaxSize) / static_cast<double>(K)) / NumStart);
  Table2<double> results(0, NCom, 1, NumStart, 0.0);  // StartResults
  std::ostream& console = *av.Console;
  // More threads than starts would idle; one thread keeps everything on
  // the calling thread.
  const int threads = std::min(av.SearchThreads, NumStart);
  if (threads <= 1)
    RunStartsInOrder(tables, av.Rng, console, Ratio, NumStart, results, stats);
  else
    RunStartsOnWorkers(tables, av.Rng, console, Ratio, NumStart, threads, results, stats);
  console << '\n';
  console.flush();
  CombineStartResults(results, NumStart, NCom, X);
  stats.StartResults = std::move(results);
}

void FindEstimates(AgeVariables& av, int MaxSize, int NumStart, int K, int LenX,
                   std::vector<double>& X) {
  SearchStats stats;
  FindEstimates(av, MaxSize, NumStart, K, LenX, X, stats);
}

}  // namespace estimation
