// Multi-start search (on one thread and on every core) and objective cost
// on count tables of a sample of about 1000 individuals (one parent sex),
// S estimated.
#include <benchmark/benchmark.h>

#include <cmath>
#include <sstream>
#include <vector>

#include "common/fp_mode.h"
#include "estimation/find_estimates.h"
#include "estimation/likelihood_model.h"
#include "estimation/worker_pool.h"

namespace {

using estimation::AgeVariables;

std::size_t Idx(int i) { return static_cast<std::size_t>(i); }

// Expected counts of a model with K classes shrinking with age: about 500
// sampled parents of this sex among 1000 sampled individuals.
AgeVariables Sample(int K, std::ostream& console) {
  AgeVariables av;
  av.Console = &console;
  av.SamplingPrbKnown = 0;
  std::vector<double> P(Idx(K + 1)), N(Idx(K + 1)), S(Idx(K + 1));
  double psum = 0, nsum = 0;
  for (int k = 1; k <= K; ++k) {
    N[Idx(k)] = 2000.0 * std::pow(0.75, k - 1);
    S[Idx(k)] = 0.2 + 0.02 * k;
    P[Idx(k)] = (k < 3 ? 0.5 : 1.0) * N[Idx(k)];
    psum += P[Idx(k)];
    nsum += N[Idx(k)] * S[Idx(k)];
  }
  for (int k = 1; k <= K; ++k) {
    P[Idx(k)] /= psum;
    S[Idx(k)] *= 500.0 / nsum;
  }
  av.SampledCounts.assign(Idx(K + 1), 0);
  for (int k = 1; k <= K; ++k) {
    av.SampledCounts[Idx(k)] = static_cast<int>(std::lround(N[Idx(k)] * S[Idx(k)]));
    av.SampledCounts[0] += av.SampledCounts[Idx(k)];
  }
  av.PODyadCounts.Reset(0, K - 1, 0, K);
  std::vector<int> off(Idx(K + 1), 0);
  for (int i = 0; i <= K - 1; ++i) {
    const int T = static_cast<int>(std::lround(1000.0 * 0.25 * std::pow(0.75, i)));
    av.PODyadCounts(i, 0) = T;
    for (int j = i + 1; j <= K; ++j) {
      const double pr = P[Idx(j - i)] / N[Idx(j - i)] * S[Idx(j)] * N[Idx(j)];
      av.PODyadCounts(i, j) = static_cast<int>(std::lround(T * pr));
      off[Idx(j)] += av.PODyadCounts(i, j);
    }
  }
  av.MaxOff = 1;
  av.NumOff.Reset(0, 1, 1, K);
  for (int k = 1; k <= K; ++k) {
    const int o = std::min(off[Idx(k)], av.SampledCounts[Idx(k)]);
    av.NumOff(1, k) = o;
    av.NumOff(0, k) = av.SampledCounts[Idx(k)] - o;
  }
  return av;
}

// Args: K, and the threads of the minimisations (0: every core). The time is
// wall-clock time, so that the threads show.
void BM_FindEstimates(benchmark::State& state) {
  common::EnableFlushToZero();
  const int K = static_cast<int>(state.range(0));
  const int threads =
      state.range(1) == 0 ? estimation::ThreadsSetting(nullptr) : static_cast<int>(state.range(1));
  const int starts = 500;
  std::ostringstream console;
  estimation::SearchStats stats;
  long long runs = 0;
  for (auto _ : state) {
    AgeVariables av = Sample(K, console);
    av.SearchThreads = threads;
    std::vector<double> X;
    FindEstimates(av, 10000, starts, K, 3 * K - 1, X, stats);
    benchmark::DoNotOptimize(X.data());
    ++runs;
  }
  const double n = static_cast<double>(runs) * starts;
  state.counters["threads"] = threads;
  state.counters["start"] = benchmark::Counter(n, benchmark::Counter::kIsRate |
                                                      benchmark::Counter::kInvert);
  state.counters["evals_per_start"] = static_cast<double>(stats.FuncEvaluations) / n;
  state.counters["failed_starts"] = static_cast<double>(stats.FailedStarts) / runs;
  state.counters["eval"] =
      benchmark::Counter(static_cast<double>(stats.FuncEvaluations),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_FindEstimates)
    ->ArgsProduct({{3, 10, 20}, {1, 0}})
    ->ArgNames({"K", "threads"})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// One objective evaluation at an admissible point: the sampling terms come
// from the cache when only the shares move (arg 1), or are recomputed (0).
void BM_Func(benchmark::State& state) {
  common::EnableFlushToZero();
  const int K = static_cast<int>(state.range(0));
  const bool hit = state.range(1) == 1;
  std::ostringstream console;
  const AgeVariables av = Sample(K, console);
  const estimation::LikelihoodTables t = estimation::BuildLikelihoodTables(av, K);
  estimation::LikelihoodEvaluator ev(t);
  std::vector<double> x(Idx(3 * K), 0.0);
  for (int k = 1; k <= K - 1; ++k) x[Idx(k)] = 0.5 / K;
  for (int k = 1; k <= K; ++k) {
    x[Idx(K - 1 + k)] = 3000.0 - k;
    x[Idx(2 * K - 1 + k)] = 0.5;
  }
  double sink = 0;
  int i = 0;
  for (auto _ : state) {
    ++i;
    if (hit)
      x[1] = (i & 1) ? 0.5 / K : 0.49 / K;
    else
      x[Idx(K)] = (i & 1) ? 3000.0 : 2999.5;
    sink += ev.Func(x);
  }
  benchmark::DoNotOptimize(sink);
}
BENCHMARK(BM_Func)->Args({4, 0})->Args({4, 1})->Args({10, 0})->Args({10, 1});

}  // namespace
