// Parametric bootstrap: population simulation, replicate writer, intervals.
#pragma once
#include <string>
#include <vector>

#include "estimation/age_variables.h"

namespace estimation {
void FindCI95(AgeVariables& av);

// Ranks (1-based, in ascending order of the replicate values) of the lower
// bound, the upper bound and the median among n replicates.
struct RankPositions {
  int lo = 1, hi = 1, med = 1;
};
RankPositions FindRankPositions(int n);

// Percentile bounds and median of the replicate values v[1..n] (sorted by
// IndexX; the values stay in place).
struct PercentileBounds {
  double lower = 0.0, upper = 0.0, median = 0.0;
};
PercentileBounds FindPercentileBounds(const std::vector<double>& v, const RankPositions& r);

// A point estimate that does not lie strictly inside its interval.
bool OutsideInterval(double point, double lower, double upper);

// Harmonic mean of the replicate Ne values ne[1..n], rounded; the median
// replicate when a replicate Ne is 0 or below (the mean is then undefined).
int HarmonicMeanNe(const std::vector<int>& ne, int median);

// Replicate values of every reported quantity, replicates 1..n.
struct ReplicateStore {
  int n = 0, rows = 0;
  std::vector<int> NeRep;          // [rep]
  std::vector<double> Values;      // [q * (n + 1) + rep], quantities in the order below
  ReplicateStore(int reps, int numRows);
  // Quantity numbers: GI k = 1..3, Var k = 1..3 of sex s, Estimate (row, col).
  static int GI(int k) { return k - 1; }
  static int VarQ(int k, int s) { return 3 + 3 * (s - 1) + (k - 1); }
  static int Est(int row, int col) { return 9 + 4 * (row - 1) + (col - 1); }
  double& At(int q, int rep);
  std::vector<double> Keys(int q) const;  // [1..n]
  void Store(int rep, const PassResult& res, const EstimateBlock& est);
};

// Bounds of every quantity into layers 1 and 2; point estimates not strictly
// inside their interval are replaced (Ne by the harmonic mean of the
// replicates, the others by the median replicate).
void FindIntervals(AgeVariables& av, const ReplicateStore& st);

// ReproductionRate, AgeClassSize and SampleFre from the point estimates and
// the sample of the original data.
void BuildSimulationInputs(AgeVariables& av);

// Why replicates cannot be estimated at the requested confidence level ("" when
// they can): above the highest confidence the companion computes, only parents
// known in advance are accepted, and a simulated replicate has none.
std::string BootstrapLevelProblem(const AgeVariables& av);

// Why the point estimates cannot seed a simulated population ("" when they can).
std::string BootstrapSeedProblem(const AgeVariables& av);
}  // namespace estimation
