#include "estimation/compute_ne.h"

#include <cmath>
#include <limits>
#include <stdexcept>

namespace estimation {

namespace {

// Rows of sex s: first and last row of the 1-based estimate columns.
int FirstRow(const std::array<int, 3>& n, int s) { return s == 1 ? 1 : n[1] + 1; }
int LastRow(const std::array<int, 3>& n, int s) { return s == 1 ? n[1] : n[1] + n[2]; }

// B(r): twice the share of reproduction of the row's age and older ages,
// each sum taken from row r up to the sex's last row (a running sum from the
// oldest row down would round differently).
std::vector<double> ReproductionTail(const std::array<int, 3>& n, const std::vector<double>& Pv) {
  std::vector<double> B(Pv.size(), 0.0);
  for (int s = 1; s <= 2; ++s)
    for (int r = FirstRow(n, s); r <= LastRow(n, s); ++r) {
      double tail = 0.0;
      for (int q = r; q <= LastRow(n, s); ++q) tail += Pv[q];
      B[r] = 2.0 * tail;
    }
  return B;
}

// Sum over a = 1..n_s-1 of B(a+1)^2 (1/N(a+1) - 1/N(a)) for sex s.
double SizeChangeSum(const std::array<int, 3>& n, const std::vector<double>& B,
                     const std::vector<double>& Nv, int s) {
  double sum = 0.0;
  for (int r = FirstRow(n, s); r < LastRow(n, s); ++r)
    sum += B[r + 1] * B[r + 1] * (1.0 / Nv[r + 1] - 1.0 / Nv[r]);
  return sum;
}

// Every effective class size must be a positive finite number; a pass whose
// searches failed gives sizes of 0.
bool SizesUsable(const std::array<int, 3>& n, const std::vector<double>& Nv) {
  for (int r = 1; r <= n[1] + n[2]; ++r)
    if (!std::isfinite(Nv[r]) || !(Nv[r] > 0.0)) return false;
  return true;
}

// Ne = 4 GI / D rounded half away from zero; 0 when it cannot be formed
// (D zero or not finite, or a value beyond the integer range).
int RoundedNe(double GI, double D) {
  if (!std::isfinite(D) || D == 0.0) return 0;
  const double ne = 4.0 * GI / D;
  if (!std::isfinite(ne)) return 0;
  const double rounded = ne >= 0.0 ? std::trunc(ne + 0.5) : std::trunc(ne - 0.5);
  if (rounded > static_cast<double>(std::numeric_limits<int>::max()) ||
      rounded < static_cast<double>(std::numeric_limits<int>::min()))
    return 0;
  return static_cast<int>(rounded);
}

}  // namespace

void ComputeNe(const std::array<int, 3>& NumAgeClass, const std::vector<double>& Pv,
               const std::vector<double>& Nv, PassResult& result) {
  const int rows = NumAgeClass[1] + NumAgeClass[2];
  if (NumAgeClass[1] < 1 || NumAgeClass[2] < 1 || Pv.size() < static_cast<std::size_t>(rows) + 1 ||
      Nv.size() < static_cast<std::size_t>(rows) + 1)
    throw std::logic_error("internal error: ComputeNe given columns shorter than its age classes");

  const std::vector<double> B = ReproductionTail(NumAgeClass, Pv);
  result.GI = {};
  for (int s = 1; s <= 2; ++s)
    for (int r = FirstRow(NumAgeClass, s); r <= LastRow(NumAgeClass, s); ++r) result.GI[1 + s] += B[r];
  result.GI[1] = (result.GI[2] + result.GI[3]) * 0.5;
  for (double& g : result.GI)
    if (!std::isfinite(g)) g = 0.0;

  result.Var = {};
  result.Ne = 0;
  if (!SizesUsable(NumAgeClass, Nv)) return;

  double D = 0.0;
  for (int s = 1; s <= 2; ++s) {
    const int o = 3 - s;
    const double N1s = Nv[FirstRow(NumAgeClass, s)];
    const double N1o = Nv[FirstRow(NumAgeClass, o)];
    const double inner = SizeChangeSum(NumAgeClass, B, Nv, s);
    const double E = 0.25 * inner;  // 0 with one class: the sum is empty
    result.Var[s][s] = 4.0 * E * N1s + 1.0;
    result.Var[o][s] = (N1o / N1s) * (4.0 * E * N1o + 1.0);
    result.Var[3][s] = 4.0 * E * N1o;
    D += 1.0 / N1s + inner;
  }
  for (int k = 1; k <= 3; ++k)
    for (int s = 1; s <= 2; ++s)
      if (!std::isfinite(result.Var[k][s])) result.Var[k][s] = 0.0;
  result.Ne = RoundedNe(result.GI[1], D);
}

}  // namespace estimation
