// From simulated trials to confidence thresholds: the walk down the trials
// ordered by margin, and the number of simulated candidates per sex.
#pragma once

#include <array>
#include <vector>

#include "pairwise/variables.h"

namespace pairwise {

constexpr int kNumTrials = 10000;
constexpr int kNumLevels = 10;                  // level j: confidence 100 - 5j %
constexpr double kUnreached = 999.9000244140625;  // float 999.9 widened

// Threshold for confidence c % (an integer): walk the trials from the
// largest margin down (indx[n] .. indx[1]); at each true trial the share of
// true trials walked so far is compared with c * 0.01 in double precision.
// The margin of the last true trial that reached the share is the
// threshold; the walk stops at the first true trial below it after one has
// reached it. kUnreached when none does. 1-based arrays, n trials.
double WalkDownThreshold(int n, const std::vector<double>& DELTA,
                         const std::vector<char>& TRUEPARENTQ, const std::vector<int>& indx, int c);

// All ten levels (element 0 unused): sorts the margins with IndexX and walks
// once per level. An overflow of the sort's stack is the program's stop.
std::array<double, 11> ThresholdsFromTrials(int n, const std::vector<double>& DELTA,
                                            const std::vector<char>& TRUEPARENTQ);

// Candidates per simulated trial for sex s: the sampled individuals of that
// sex of reproductive age divided by the proportion of parents sampled,
// rounded half away from zero.
int NumSimuCandidate(const Variables& v, int s);

}  // namespace pairwise
