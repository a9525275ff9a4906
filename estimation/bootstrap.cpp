#include "estimation/bootstrap.h"

#include <algorithm>
#include <cmath>

#include "common/fixed_format.h"
#include "common/index_sort.h"
#include "estimation/estimation_pass.h"
#include "estimation/pass_tables.h"
#include "estimation/replicate_writer.h"
#include "estimation/simulate.h"

namespace estimation {

namespace {

// The highest confidence the companion computes for an assignment; only
// parents known in advance carry more.
constexpr const char* kTopComputedConfidence = "95%";

// Largest class size the likelihood admits, and so the largest simulated.
constexpr double kMaxClassSize = 100000.0;

const char* SexName(int s) { return s == 1 ? "males" : "females"; }

int RowOffset(const AgeVariables& av, int s) { return s == 1 ? 0 : av.NumAgeClass[1]; }

std::string SexSeedProblem(const AgeVariables& av, int s) {
  const int K = av.NumAgeClass[static_cast<std::size_t>(s)];
  const int o = RowOffset(av, s);
  double shares = 0.0;
  for (int i = 1; i <= K; ++i) {
    const double n = av.Estimate[0](o + i, 2);
    if (!std::isfinite(n) || n < 0.5 || n > kMaxClassSize)
      return std::string("Bootstrapping impossible: an estimated class size of ") + SexName(s) +
             " is below 0.5 or above 100000; re-run with 0 bootstrapping samples";
    const double p = av.Estimate[0](o + i, 1);
    if (!std::isfinite(p) || p < 0.0) shares = -1.0;
    if (shares >= 0.0) shares += p;
  }
  if (!(shares > 0.0))
    return std::string("Bootstrapping impossible: the estimated shares of reproduction of ") +
           SexName(s) + " are not valid; re-run with 0 bootstrapping samples";
  return "";
}

// Members of the simulated population: each class is filled from the class
// one year younger, so it holds at most as many.
long long SimulatedPopulationSize(const AgeVariables& av, int s) {
  const int K = av.NumAgeClass[static_cast<std::size_t>(s)];
  const int o = RowOffset(av, s);
  long long prev = std::max<long long>(av.SexAgeSize(0, s), common::RoundHalfAway(av.Estimate[0](o + 1, 2)));
  long long total = prev;
  for (int i = 1; i <= K; ++i) {
    prev = std::min(prev, common::RoundHalfAway(av.Estimate[0](o + i, 2)));
    total += prev;
  }
  return total;
}

void RunReplicates(AgeVariables& av, ReplicateStore& st) {
  SimuPopulation pop;
  SimuSample sample;
  EstimateBlock est(1, st.rows, 1, 4, 0.0);
  for (int rep = 1; rep <= st.n; ++rep) {
    if (rep % 5 == 0) *av.Console << " Bootstraping Replicate=" << common::FmtInt(rep, 12) << '\n';
    Simulate(av, pop, sample);
    WriteVimbrelData(av, sample);
    PassResult res;
    est.Fill(0.0);
    EstimateByMarker(av, rep, res, av.NumAgeClass, est);
    st.Store(rep, res, est);
  }
}

// Bounds of one real quantity into layers 1 and 2; the point estimate in
// layer 0 becomes the median replicate when it is not strictly inside.
template <typename Layers>
void BoundQuantity(Layers& layer, const std::vector<double>& keys, const RankPositions& r) {
  const PercentileBounds b = FindPercentileBounds(keys, r);
  layer(1) = b.lower;
  layer(2) = b.upper;
  if (OutsideInterval(layer(0), b.lower, b.upper)) layer(0) = b.median;
}

void EnsureBoundLayers(AgeVariables& av, int rows) {
  for (int layer = 1; layer <= 2; ++layer) {
    EstimateBlock& e = av.Estimate[static_cast<std::size_t>(layer)];
    if (e.Empty() || e.RowHi() < rows || e.ColHi() < 4) e.Reset(1, rows, 1, 4, 0.0);
  }
}

}  // namespace

ReplicateStore::ReplicateStore(int reps, int numRows)
    : n(reps), rows(numRows), NeRep(static_cast<std::size_t>(reps) + 1, 0),
      Values(static_cast<std::size_t>(Est(numRows, 4) + 1) * static_cast<std::size_t>(reps + 1), 0.0) {}

double& ReplicateStore::At(int q, int rep) {
  return Values[static_cast<std::size_t>(q) * static_cast<std::size_t>(n + 1) + static_cast<std::size_t>(rep)];
}

std::vector<double> ReplicateStore::Keys(int q) const {
  std::vector<double> v(static_cast<std::size_t>(n) + 1, 0.0);
  const std::size_t base = static_cast<std::size_t>(q) * static_cast<std::size_t>(n + 1);
  for (int r = 1; r <= n; ++r) v[static_cast<std::size_t>(r)] = Values[base + static_cast<std::size_t>(r)];
  return v;
}

void ReplicateStore::Store(int rep, const PassResult& res, const EstimateBlock& est) {
  NeRep[static_cast<std::size_t>(rep)] = res.Ne;
  for (int k = 1; k <= 3; ++k) At(GI(k), rep) = res.GI[static_cast<std::size_t>(k)];
  for (int s = 1; s <= 2; ++s)
    for (int k = 1; k <= 3; ++k)
      At(VarQ(k, s), rep) = res.Var[static_cast<std::size_t>(k)][static_cast<std::size_t>(s)];
  for (int row = 1; row <= rows; ++row)
    for (int col = 1; col <= 4; ++col) At(Est(row, col), rep) = est(row, col);
}

void FindIntervals(AgeVariables& av, const ReplicateStore& st) {
  const RankPositions r = FindRankPositions(st.n);
  std::vector<double> ne(static_cast<std::size_t>(st.n) + 1, 0.0);
  for (int rep = 1; rep <= st.n; ++rep) ne[static_cast<std::size_t>(rep)] = st.NeRep[static_cast<std::size_t>(rep)];
  const PercentileBounds b = FindPercentileBounds(ne, r);
  av.NeEstimate[1] = static_cast<int>(b.lower);
  av.NeEstimate[2] = static_cast<int>(b.upper);
  if (OutsideInterval(av.NeEstimate[0], b.lower, b.upper))
    av.NeEstimate[0] = HarmonicMeanNe(st.NeRep, static_cast<int>(b.median));
  for (int k = 1; k <= 3; ++k) {
    auto layer = [&](int l) -> double& { return av.GIEstimate[static_cast<std::size_t>(k)][static_cast<std::size_t>(l)]; };
    BoundQuantity(layer, st.Keys(ReplicateStore::GI(k)), r);
  }
  for (int s = 1; s <= 2; ++s)
    for (int k = 1; k <= 3; ++k) {
      auto layer = [&](int l) -> double& {
        return av.Var[static_cast<std::size_t>(k)][static_cast<std::size_t>(s)][static_cast<std::size_t>(l)];
      };
      BoundQuantity(layer, st.Keys(ReplicateStore::VarQ(k, s)), r);
    }
  EnsureBoundLayers(av, st.rows);
  for (int row = 1; row <= st.rows; ++row)
    for (int col = 1; col <= 4; ++col) {
      // Known sampling probabilities are not estimated: nothing to bound.
      if (col == 3 && av.SamplingPrbKnown == 1) continue;
      auto layer = [&](int l) -> double& { return av.Estimate[static_cast<std::size_t>(l)](row, col); };
      BoundQuantity(layer, st.Keys(ReplicateStore::Est(row, col)), r);
    }
}

RankPositions FindRankPositions(int n) {
  RankPositions r;
  r.lo = std::max(1, static_cast<int>(common::RoundHalfAway(0.025 * static_cast<double>(n))));
  r.hi = static_cast<int>(common::RoundHalfAway(0.975 * static_cast<double>(n)));
  r.med = std::max(1, n / 2);
  return r;
}

PercentileBounds FindPercentileBounds(const std::vector<double>& v, const RankPositions& r) {
  const int n = static_cast<int>(v.size()) - 1;
  std::vector<int> indx(static_cast<std::size_t>(n) + 1, 0);
  try {
    common::IndexX(n, v, indx);
  } catch (const common::SortStackOverflow&) {
    throw StopError("StackError in subroutine indexx");
  }
  auto at = [&](int rank) { return v[static_cast<std::size_t>(indx[static_cast<std::size_t>(rank)])]; };
  return {at(r.lo), at(r.hi), at(r.med)};
}

bool OutsideInterval(double point, double lower, double upper) {
  return point <= lower || point >= upper;
}

int HarmonicMeanNe(const std::vector<int>& ne, int median) {
  const int n = static_cast<int>(ne.size()) - 1;
  double sum = 0.0;
  for (int rep = 1; rep <= n; ++rep) {
    if (ne[static_cast<std::size_t>(rep)] <= 0) return median;
    sum += 1.0 / static_cast<double>(ne[static_cast<std::size_t>(rep)]);
  }
  return static_cast<int>(common::RoundHalfAway(static_cast<double>(n) / sum));
}

void BuildSimulationInputs(AgeVariables& av) {
  const int maxK = std::max(av.NumAgeClass[1], av.NumAgeClass[2]);
  av.ReproductionRate.assign(static_cast<std::size_t>(av.NumAgeClass[0]) + 1, 0.0);
  for (int row = 1; row <= av.NumAgeClass[0]; ++row)
    av.ReproductionRate[static_cast<std::size_t>(row)] = av.Estimate[0](row, 1);
  av.AgeClassSize.Reset(0, maxK, 1, 2, 0);
  for (int s = 1; s <= 2; ++s) {
    const int o = RowOffset(av, s);
    for (int i = 1; i <= av.NumAgeClass[static_cast<std::size_t>(s)]; ++i)
      av.AgeClassSize(i, s) = static_cast<int>(common::RoundHalfAway(av.Estimate[0](o + i, 2)));
    av.AgeClassSize(0, s) = std::max(av.SexAgeSize(0, s), av.AgeClassSize(1, s));
  }
  // Cumulative distribution of the sample over the (sex, age) cells, males first.
  av.SampleFre.Reset(0, maxK, 1, 2, 0.0);
  double total = 0.0;
  for (int s = 1; s <= 2; ++s)
    for (int i = 0; i <= av.NumAgeClass[static_cast<std::size_t>(s)]; ++i) total += av.SexAgeSize(i, s);
  double run = 0.0;
  for (int s = 1; s <= 2; ++s)
    for (int i = 0; i <= av.NumAgeClass[static_cast<std::size_t>(s)]; ++i) {
      run += av.SexAgeSize(i, s) / total;
      av.SampleFre(i, s) = run;
    }
  av.SampleFre(av.NumAgeClass[2], 2) = 2.0;
}

std::string BootstrapLevelProblem(const AgeVariables& av) {
  if (av.NumCI95Sample < 1 || AcceptConfidence(kTopComputedConfidence, av.ConfidencePercent))
    return "";
  return "Bootstrapping impossible at the confidence level of " +
         std::to_string(av.ConfidencePercent) +
         ": above 95 only parents known in advance are accepted, and simulated replicates carry "
         "none; re-run with a confidence level of 95 or less, or with 0 bootstrapping samples";
}

std::string BootstrapSeedProblem(const AgeVariables& av) {
  for (int s = 1; s <= 2; ++s) {
    const std::string why = SexSeedProblem(av, s);
    if (!why.empty()) return why;
  }
  long long sampled = 0;
  for (int s = 1; s <= 2; ++s)
    for (int i = 0; i <= av.NumAgeClass[static_cast<std::size_t>(s)]; ++i) sampled += av.SexAgeSize(i, s);
  if (sampled == 0 || SimulatedPopulationSize(av, 1) + SimulatedPopulationSize(av, 2) < av.SmplSize)
    return "Bootstrapping impossible: the simulated population would be smaller than the sample; "
           "re-run with 0 bootstrapping samples";
  return "";
}

void FindCI95(AgeVariables& av) {
  if (av.NumCI95Sample < 1) return;
  const std::string why = BootstrapSeedProblem(av);
  if (!why.empty()) throw StopError(why);
  BuildSimulationInputs(av);
  ReplicateStore st(av.NumCI95Sample, av.NumAgeClass[0]);
  RunReplicates(av, st);
  FindIntervals(av, st);
}

}  // namespace estimation
