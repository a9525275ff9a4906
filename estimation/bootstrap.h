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

// ReproductionRate, AgeClassSize and SampleFre from the point estimates and
// the sample of the original data.
void BuildSimulationInputs(AgeVariables& av);

// Why the point estimates cannot seed a simulated population ("" when they can).
std::string BootstrapSeedProblem(const AgeVariables& av);
}  // namespace estimation
