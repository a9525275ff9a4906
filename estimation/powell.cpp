#include "estimation/powell.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstddef>

namespace estimation {
namespace {

using Quad = __float128;

constexpr double kGold = 1.618034;   // default magnification of MnBrak
constexpr double kGLimit = 100.0;    // largest parabolic magnification
constexpr double kTiny = 1e-20;      // keeps the parabola divisor away from 0
constexpr double kCGold = 0.381966;  // golden-section fraction of Brent
constexpr double kZeps = 1e-10;      // absolute tolerance of Brent
constexpr int kBrentMaxIter = 100;
constexpr int kPowellMaxIter = 200;

std::size_t Idx(int i) { return static_cast<std::size_t>(i); }

// |a| with the sign of b; zero (of either sign) counts as positive.
double Sign(double a, double b) { return b >= 0.0 ? std::fabs(a) : -std::fabs(a); }

bool OutsideGuard(Quad q) {
  return q < -static_cast<Quad>(kOverflowGuard) || q > static_cast<Quad>(kOverflowGuard);
}

// Neither subnormal nor infinite nor NaN: arithmetic on it is unaffected
// by flush-to-zero and denormals-are-zero.
bool ZeroOrNormal(double v) {
  const double a = std::fabs(v);
  return v == 0.0 || (a >= DBL_MIN && a <= DBL_MAX);
}

}  // namespace

bool GuardedSum(double pcom, double prod, double& sum) {
  // A double sum of normal operands with a normal result is the quadruple
  // sum rounded once more (113 >= 2*53 + 2 bits), and it lies inside the
  // guard whenever its magnitude is below it; only the rest needs Quad.
  const double s = pcom + prod;
  const double a = std::fabs(s);
  if (a >= DBL_MIN && a < kOverflowGuard && ZeroOrNormal(pcom) && ZeroOrNormal(prod)) {
    sum = s;
    return true;
  }
  const Quad q = static_cast<Quad>(pcom) + static_cast<Quad>(prod);
  if (OutsideGuard(q)) return false;
  sum = static_cast<double>(q);
  return true;
}

bool ParabolaTermsInRange(double xMinusW, double fxMinusFv, double xMinusV, double fxMinusFw) {
  // Products well inside the guard in double precision are inside it in
  // quadruple precision too (relative rounding error below 1e-15).
  const double r = xMinusW * fxMinusFv;
  const double q = xMinusV * fxMinusFw;
  if (std::fabs(r) < 8e307 && std::fabs(q) < 8e307 && std::fabs(xMinusV * q) < 4e307 &&
      std::fabs(xMinusW * r) < 4e307)
    return true;
  const Quad R = static_cast<Quad>(xMinusW) * static_cast<Quad>(fxMinusFv);
  if (OutsideGuard(R)) return false;
  const Quad Q = static_cast<Quad>(xMinusV) * static_cast<Quad>(fxMinusFw);
  if (OutsideGuard(Q)) return false;
  const Quad P = static_cast<Quad>(xMinusV) * Q - static_cast<Quad>(xMinusW) * R;
  return !OutsideGuard(P);
}

void MnBrak(double& AX, double& BX, double& CX, double& FA, double& FB, double& FC,
            LineFunction& Fn, int& ErrorFlag) {
  ErrorFlag = 0;
  FA = Fn(AX);
  FB = Fn(BX);
  if (FB > FA) {
    std::swap(AX, BX);
    std::swap(FA, FB);
  }
  CX = BX + kGold * (BX - AX);
  FC = Fn(CX);
  while (FB >= FC) {
    const double R = (BX - AX) * (FB - FC);
    const double Q = (BX - CX) * (FB - FA);
    const double D = Sign(std::max(std::fabs(Q - R), kTiny), Q - R);
    double U = BX - ((BX - CX) * Q - (BX - AX) * R) / (2.0 * D);
    const double ULim = BX + kGLimit * (CX - BX);
    // Widening to quadruple precision is exact, so a double comparison
    // with the same bound decides alike.
    if (ULim < -kOverflowGuard || ULim > kOverflowGuard) {
      ErrorFlag = -1;
      return;
    }
    double FU;
    if ((BX - U) * (U - CX) > 0.0) {
      FU = Fn(U);
      if (FU < FC) {
        AX = BX;
        FA = FB;
        BX = U;
        FB = FU;
        return;
      } else if (FU > FB) {
        CX = U;
        FC = FU;
        return;
      }
      U = CX + kGold * (CX - BX);
      FU = Fn(U);
    } else if ((CX - U) * (U - ULim) > 0.0) {
      FU = Fn(U);
      if (FU < FC) {
        BX = CX;
        CX = U;
        U = CX + kGold * (CX - BX);
        FB = FC;
        FC = FU;
        FU = Fn(U);
      }
    } else if ((U - ULim) * (ULim - CX) >= 0.0) {
      U = ULim;
      FU = Fn(U);
    } else {
      U = CX + kGold * (CX - BX);
      FU = Fn(U);
    }
    AX = BX;
    BX = CX;
    CX = U;
    FA = FB;
    FB = FC;
    FC = FU;
  }
}

double Brent(double AX, double BX, double CX, LineFunction& Fn, double Tol, double& XMin,
             int& ErrorFlag) {
  double A = std::min(AX, CX), B = std::max(AX, CX);
  double V = BX, W = BX, X = BX;
  double E = 0.0, D = 0.0;
  double FX = Fn(X);
  double FV = FX, FW = FX;
  for (int iter = 1; iter <= kBrentMaxIter; ++iter) {
    const double XM = 0.5 * (A + B);
    const double Tol1 = Tol * std::fabs(X) + kZeps;
    const double Tol2 = 2.0 * Tol1;
    if (std::fabs(X - XM) <= Tol2 - 0.5 * (B - A)) {
      XMin = X;
      return FX;
    }
    bool golden = true;
    if (std::fabs(E) > Tol1) {
      if (!ParabolaTermsInRange(X - W, FX - FV, X - V, FX - FW)) {
        ErrorFlag = -1;
        return 0.0;
      }
      const double R = (X - W) * (FX - FV);
      double Q = (X - V) * (FX - FW);
      double P = (X - V) * Q - (X - W) * R;
      Q = 2.0 * (Q - R);
      if (Q > 0.0) P = -P;
      Q = std::fabs(Q);
      const double ETemp = E;
      E = D;
      if (!(std::fabs(P) >= std::fabs(0.5 * Q * ETemp) || P <= Q * (A - X) || P >= Q * (B - X))) {
        golden = false;
        D = P / Q;
        const double Ut = X + D;
        if (Ut - A < Tol2 || B - Ut < Tol2) D = Sign(Tol1, XM - X);
      }
    }
    if (golden) {
      E = (X >= XM) ? A - X : B - X;
      D = kCGold * E;
    }
    const double Un = (std::fabs(D) >= Tol1) ? X + D : X + Sign(Tol1, D);
    const double FU = Fn(Un);
    if (FU <= FX) {
      if (Un >= X) A = X; else B = X;
      V = W; FV = FW;
      W = X; FW = FX;
      X = Un; FX = FU;
    } else {
      if (Un < X) A = Un; else B = Un;
      if (FU <= FW || std::fabs(W - X) < 1e-30) {
        V = W; FV = FW;
        W = Un; FW = FU;
      } else if (FU <= FV || std::fabs(V - X) < 1e-30 || std::fabs(V - W) < 1e-30) {
        V = Un; FV = FU;
      }
    }
  }
  ErrorFlag = -1;
  XMin = X;
  return FX;
}

void Minimiser::SetLength(int N) {
  NCom_ = N;
  PCom_.assign(Idx(N + 1), 0.0);
  XiCom_.assign(Idx(N + 1), 0.0);
  XT_.assign(Idx(N + 1), 0.0);
}

double Minimiser::F1Dim(double T) {
  for (int j = 1; j <= NCom_; ++j) {
    const double xi = XiCom_[Idx(j)];
    if (xi == 0.0) {
      XT_[Idx(j)] = PCom_[Idx(j)];  // exactly: keeps cached terms of fixed coordinates valid
    } else if (!GuardedSum(PCom_[Idx(j)], xi * T, XT_[Idx(j)])) {
      return 1e300;
    }
  }
  return func_(XT_);
}

void Minimiser::LinMin(std::vector<double>& P, std::vector<double>& Xi, int N, double& FRet,
                       int& ErrorFlag) {
  if (NCom_ != N) SetLength(N);
  for (int j = 1; j <= N; ++j) {
    PCom_[Idx(j)] = P[Idx(j)];
    XiCom_[Idx(j)] = Xi[Idx(j)];
  }
  ErrorFlag = 0;
  double AX = 0.0, XX = 1.0, BX = 0.0, FA = 0.0, FX = 0.0, FB = 0.0;
  MnBrak(AX, XX, BX, FA, FX, FB, *this, ErrorFlag);
  if (ErrorFlag == -1) return;
  double XMin = 0.0;
  FRet = Brent(AX, XX, BX, *this, 1e-8, XMin, ErrorFlag);
  if (ErrorFlag == -1) return;
  for (int j = 1; j <= N; ++j) {
    Xi[Idx(j)] = XMin * Xi[Idx(j)];
    P[Idx(j)] = P[Idx(j)] + Xi[Idx(j)];
  }
}

void Minimiser::Powell(std::vector<double>& P, Table2<double>& Xi, int N, double FTol, int& Iter,
                       double& FRet, int& ErrorFlag) {
  ErrorFlag = 0;
  SetLength(N);
  PT_.assign(Idx(N + 1), 0.0);
  PTT_.assign(Idx(N + 1), 0.0);
  XiT_.assign(Idx(N + 1), 0.0);
  FRet = func_(P);
  for (int j = 1; j <= N; ++j) PT_[Idx(j)] = P[Idx(j)];
  Iter = 0;
  for (;;) {
    ++Iter;
    const double FP = FRet;
    int IBig = 0;
    double Del = 0.0;
    for (int i = 1; i <= N; ++i) {
      for (int j = 1; j <= N; ++j) XiT_[Idx(j)] = Xi(j, i);
      const double FPTT = FRet;
      LinMin(P, XiT_, N, FRet, ErrorFlag);
      if (ErrorFlag == -1) return;
      if (FPTT - FRet > Del) {
        Del = FPTT - FRet;
        IBig = i;
      }
    }
    if (2.0 * (FP - FRet) <= FTol * (std::fabs(FP) + std::fabs(FRet)) + 1e-25) return;
    if (Iter == kPowellMaxIter) {
      ErrorFlag = -1;
      return;
    }
    for (int j = 1; j <= N; ++j) {
      PTT_[Idx(j)] = 2.0 * P[Idx(j)] - PT_[Idx(j)];
      XiT_[Idx(j)] = P[Idx(j)] - PT_[Idx(j)];
      PT_[Idx(j)] = P[Idx(j)];
    }
    const double FPTT = func_(PTT_);
    if (FP <= FPTT) continue;
    const double T = 2.0 * (FP - 2.0 * FRet + FPTT) * ((FP - FRet - Del) * (FP - FRet - Del)) -
                     Del * ((FP - FPTT) * (FP - FPTT));
    if (T >= 0.0) continue;
    LinMin(P, XiT_, N, FRet, ErrorFlag);
    if (ErrorFlag == -1) return;
    if (IBig < 1) continue;  // unreachable: a fall in FP implies a line that fell
    for (int j = 1; j <= N; ++j) {
      Xi(j, IBig) = Xi(j, N);
      Xi(j, N) = XiT_[Idx(j)];
    }
  }
}

}  // namespace estimation
