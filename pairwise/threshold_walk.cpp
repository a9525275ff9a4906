#include "pairwise/threshold_walk.h"

#include "common/fixed_format.h"
#include "common/index_sort.h"
#include "pairwise/stop.h"

namespace pairwise {

double WalkDownThreshold(int n, const std::vector<double>& DELTA,
                         const std::vector<char>& TRUEPARENTQ, const std::vector<int>& indx, int c) {
  // The integer c times the double 0.01: lands just above 0.95 and 0.70, so
  // exactly 19 of 20 or 7 of 10 does not reach those levels.
  const double target = c * 0.01;
  double threshold = kUnreached;
  bool found = false;
  int cnt = 0;
  for (int k = n; k >= 1; --k) {
    const int t = indx[static_cast<std::size_t>(k)];
    if (!TRUEPARENTQ[static_cast<std::size_t>(t)]) continue;
    ++cnt;
    const int walked = n - k + 1;
    if (static_cast<double>(cnt) / static_cast<double>(walked) >= target) {
      threshold = DELTA[static_cast<std::size_t>(t)];
      found = true;
    } else if (found) {
      break;
    }
  }
  return threshold;
}

std::array<double, 11> ThresholdsFromTrials(int n, const std::vector<double>& DELTA,
                                            const std::vector<char>& TRUEPARENTQ) {
  std::vector<int> indx(static_cast<std::size_t>(n) + 1, 0);
  try {
    common::IndexX(n, DELTA, indx);
  } catch (const common::SortStackOverflow&) {
    throw StackError();
  }
  std::array<double, 11> out{};
  for (int c = 95; c >= 50; c -= 5) out[static_cast<std::size_t>(20 - c / 5)] =
      WalkDownThreshold(n, DELTA, TRUEPARENTQ, indx, c);
  return out;
}

int NumSimuCandidate(const Variables& v, int s) {
  int sampled = 0;
  for (int a = v.MinParentAge[s]; a <= v.MaxAgeIndex; ++a) sampled += v.AgeSize(a, s);
  return static_cast<int>(
      common::RoundHalfAway(static_cast<double>(sampled) / v.PropPrntSampled[s]));
}

}  // namespace pairwise
