// Powell's direction-set minimiser with line minimisation: bracketing by
// golden-ratio steps with parabolic extrapolation, then Brent's method.
// Failures (overflow guards, iteration limits) are reported through an
// error flag of -1 (0 = success); nothing is written anywhere.
#pragma once

#include <vector>

#include "estimation/age_variables.h"

namespace estimation {

// Objective of the minimiser; x is 1-based, x[1..N].
class Objective {
 public:
  virtual double operator()(const std::vector<double>& x) = 0;

 protected:
  ~Objective() = default;
};

// Function of one variable, minimised along a line.
class LineFunction {
 public:
  virtual double operator()(double t) = 0;

 protected:
  ~LineFunction() = default;
};

// Magnitude beyond which an intermediate quantity counts as overflowing.
inline constexpr double kOverflowGuard = 9e307;

// PCom + prod rounded once from quadruple precision; false when the sum lies
// outside +-kOverflowGuard (an infinite prod included).
bool GuardedSum(double pcom, double prod, double& sum);

// The parabola terms of Brent's step, R = (x-w)(fx-fv), Q = (x-v)(fx-fw),
// P = (x-v)Q - (x-w)R, formed in quadruple precision from the double
// differences given; false when one of them lies outside +-kOverflowGuard.
bool ParabolaTermsInRange(double xMinusW, double fxMinusFv, double xMinusV, double fxMinusFw);

// Brackets a minimum of Fn starting from AX, BX: on success BX lies between
// AX and CX with FB below FA and FC.
void MnBrak(double& AX, double& BX, double& CX, double& FA, double& FB, double& FC,
            LineFunction& Fn, int& ErrorFlag);

// Brent's method inside the bracket (AX, BX, CX) with fractional tolerance
// Tol; returns Fn(XMin). At most 100 iterations.
double Brent(double AX, double BX, double CX, LineFunction& Fn, double Tol, double& XMin,
             int& ErrorFlag);

// One minimisation: holds the current line (PCom, XiCom) and the work
// arrays, so a minimisation depends only on its start point and objective.
class Minimiser : private LineFunction {
 public:
  explicit Minimiser(Objective& func) : func_(func) {}

  // Minimises from P[1..N] with the directions in the columns of
  // Xi(1..N, 1..N); at most 200 iterations.
  void Powell(std::vector<double>& P, Table2<double>& Xi, int N, double FTol, int& Iter,
              double& FRet, int& ErrorFlag);

  // Minimises along the line through P in direction Xi (both 1..N); on
  // success Xi becomes the step taken and P the point reached.
  void LinMin(std::vector<double>& P, std::vector<double>& Xi, int N, double& FRet,
              int& ErrorFlag);

  // The objective at PCom + T XiCom; kPenalty-like 1e300 on overflow.
  double F1Dim(double T);

 private:
  double operator()(double t) override { return F1Dim(t); }
  void SetLength(int N);

  Objective& func_;
  int NCom_ = 0;
  std::vector<double> PCom_, XiCom_, XT_;  // 1..NCom
  std::vector<double> PT_, PTT_, XiT_;     // work arrays of Powell, 1..N
};

}  // namespace estimation
