#include "estimation/powell.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <functional>
#include <limits>
#include <vector>

namespace {

using estimation::Brent;
using estimation::GuardedSum;
using estimation::Minimiser;
using estimation::MnBrak;
using estimation::Objective;
using estimation::ParabolaTermsInRange;
using estimation::Table2;

using Quad = __float128;

class FnObjective final : public Objective {
 public:
  explicit FnObjective(std::function<double(const std::vector<double>&)> f) : f_(std::move(f)) {}
  double operator()(const std::vector<double>& x) override {
    ++calls;
    seen.push_back(x);
    return f_(x);
  }
  int calls = 0;
  std::vector<std::vector<double>> seen;

 private:
  std::function<double(const std::vector<double>&)> f_;
};

class FnLine final : public estimation::LineFunction {
 public:
  explicit FnLine(std::function<double(double)> f) : f_(std::move(f)) {}
  double operator()(double t) override {
    ++calls;
    seen.push_back(t);
    return f_(t);
  }
  int calls = 0;
  std::vector<double> seen;

 private:
  std::function<double(double)> f_;
};

Table2<double> Identity(int n, double scale = 1.0) {
  Table2<double> xi(1, n, 1, n, 0.0);
  for (int i = 1; i <= n; ++i) xi(i, i) = scale;
  return xi;
}

struct PowellRun {
  std::vector<double> p;
  int iter = 0, flag = 0;
  double fret = 0;
};

PowellRun RunPowell(FnObjective& f, std::vector<double> p, Table2<double> xi) {
  Minimiser m(f);
  PowellRun r;
  const int n = static_cast<int>(p.size()) - 1;
  m.Powell(p, xi, n, 1e-8, r.iter, r.fret, r.flag);
  r.p = p;
  return r;
}

TEST(Powell, CoupledQuadraticReachesItsMinimum) {
  FnObjective f([](const std::vector<double>& x) {
    const double a = x[1] - 1, b = x[2] + 2, c = x[3] - 0.5;
    return 3 * a * a + 2 * b * b + c * c + a * b + 0.5 * b * c + 7;
  });
  const PowellRun r = RunPowell(f, {0, 5, 5, 5}, Identity(3));
  EXPECT_EQ(r.flag, 0);
  EXPECT_NEAR(r.p[1], 1, 1e-4);
  EXPECT_NEAR(r.p[2], -2, 1e-4);
  EXPECT_NEAR(r.p[3], 0.5, 1e-4);
  EXPECT_NEAR(r.fret, 7, 1e-8);
}

TEST(Powell, RosenbrockValley) {
  FnObjective f([](const std::vector<double>& x) {
    const double a = 1 - x[1], b = x[2] - x[1] * x[1];
    return a * a + 100 * b * b;
  });
  const PowellRun r = RunPowell(f, {0, -1.2, 1.0}, Identity(2));
  EXPECT_EQ(r.flag, 0);
  EXPECT_LT(r.iter, 200);
  EXPECT_NEAR(r.p[1], 1, 1e-3);
  EXPECT_NEAR(r.p[2], 1, 2e-3);
  EXPECT_LT(r.fret, 1e-7);
}

TEST(Powell, StartAtTheMinimumConvergesInOneIteration) {
  FnObjective f([](const std::vector<double>& x) { return x[1] * x[1] + x[2] * x[2]; });
  const PowellRun r = RunPowell(f, {0, 0, 0}, Identity(2));
  EXPECT_EQ(r.flag, 0);
  EXPECT_EQ(r.iter, 1);
  EXPECT_EQ(r.fret, 0);
}

TEST(Powell, SameStartSameResultBitForBit) {
  auto g = [](const std::vector<double>& x) {
    const double a = 1 - x[1], b = x[2] - x[1] * x[1];
    return a * a + 100 * b * b + std::sin(3 * x[1]);
  };
  FnObjective f1(g), f2(g);
  const PowellRun a = RunPowell(f1, {0, -1.2, 1.0}, Identity(2));
  const PowellRun b = RunPowell(f2, {0, -1.2, 1.0}, Identity(2));
  EXPECT_EQ(a.p, b.p);
  EXPECT_EQ(a.fret, b.fret);
  EXPECT_EQ(f1.calls, f2.calls);
}

TEST(Powell, LineFallingForEverHitsTheGuard) {
  FnObjective f([](const std::vector<double>& x) { return -x[1]; });
  const PowellRun r = RunPowell(f, {0, 0.0}, Identity(1));
  EXPECT_EQ(r.flag, -1);
  EXPECT_EQ(r.p[1], 0.0);  // no line search completed
}

TEST(Powell, LineFallingToAPenaltyWallStopsAtTheWall) {
  FnObjective f([](const std::vector<double>& x) { return x[1] < 1000 ? -x[1] : 1e300; });
  const PowellRun r = RunPowell(f, {0, 0.0}, Identity(1));
  EXPECT_EQ(r.flag, 0);
  EXPECT_LT(r.p[1], 1000);
  EXPECT_NEAR(r.p[1], 1000, 1e-3);
}

TEST(Powell, IterationLimitIsAFailure) {
  // Every line has a minimum, but the curved valley y = x^2 falls for ever
  // (f = -x along it), so the iterations never meet the convergence test.
  FnObjective f([](const std::vector<double>& x) {
    const double b = x[2] - x[1] * x[1];
    return 100 * b * b - x[1];
  });
  const PowellRun r = RunPowell(f, {0, 0.0, 0.0}, Identity(2));
  EXPECT_EQ(r.flag, -1);
  EXPECT_EQ(r.iter, 200);
  EXPECT_GT(r.p[1], 10.0);
}

TEST(MnBrak, BracketsAMinimum) {
  FnLine f([](double t) { return (t - 7.3) * (t - 7.3); });
  double ax = 0, bx = 1, cx = 0, fa = 0, fb = 0, fc = 0;
  int flag = 5;
  MnBrak(ax, bx, cx, fa, fb, fc, f, flag);
  EXPECT_EQ(flag, 0);
  EXPECT_LT(std::min(ax, cx), 7.3);
  EXPECT_GT(std::max(ax, cx), 7.3);
  EXPECT_LT(fb, fa);
  EXPECT_LT(fb, fc);
}

TEST(MnBrak, DownhillOnTheOtherSide) {
  FnLine f([](double t) { return (t + 4) * (t + 4); });
  double ax = 0, bx = 1, cx = 0, fa = 0, fb = 0, fc = 0;
  int flag = 0;
  MnBrak(ax, bx, cx, fa, fb, fc, f, flag);
  EXPECT_EQ(flag, 0);
  EXPECT_LT(std::min(ax, cx), -4);
  EXPECT_GT(std::max(ax, cx), -4);
}

TEST(MnBrak, FallingForEverEndsWithTheGuard) {
  FnLine f([](double t) { return -t; });
  double ax = 0, bx = 1, cx = 0, fa = 0, fb = 0, fc = 0;
  int flag = 0;
  MnBrak(ax, bx, cx, fa, fb, fc, f, flag);
  EXPECT_EQ(flag, -1);
  EXPECT_TRUE(std::isfinite(cx));
  EXPECT_GT(cx, 1e300 / 100);  // the next step limit would have passed 9e307
  EXPECT_LT(f.calls, 5000);
}

// Every point the bracketing evaluates, written out from its rules: the
// first step goes 1.618034 times the first interval beyond BX; a parabola
// through three points of a parabola has its vertex at the minimum; through
// three points of a line it has none, so its divisor is held at 1e-20 (the
// slope of 2^-64 makes that step land at 12.48) or its step is cut at 100
// times the last interval; a parabolic step that falls further is followed
// by one more golden step.
TEST(MnBrak, EvaluationTraces) {
  const double g = 1.618034;
  const double c = std::ldexp(1.0, -64);
  const double tinyStep = 1 + c * g * (1 + g) / (2 * 1e-20);
  const double limit1 = 1 + 100 * g, limit2 = (1 + g) + 100 * (limit1 - (1 + g));
  struct Case {
    const char* name;
    std::function<double(double)> f;
    std::vector<double> trace;  // after 0 and 1
    double ax, bx, cx;
  };
  const Case cases[] = {
      {"parabola with its minimum at 2", [](double t) { return (t - 2) * (t - 2); },
       {1 + g, 2}, 1, 2, 1 + g},
      {"line of slope -1 turning up at 200",
       [](double t) { return t <= 200 ? -t : t - 400; },
       {1 + g, limit1, limit2}, 1 + g, limit1, limit2},
      {"line of slope -2^-64 turning up at 20",
       [c](double t) { return t <= 20 ? -c * t : c * (t - 40); },
       {1 + g, tinyStep, tinyStep + g * (tinyStep - (1 + g))}, 1 + g, tinyStep,
       tinyStep + g * (tinyStep - (1 + g))},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    FnLine f(k.f);
    double ax = 0, bx = 1, cx = 0, fa = 0, fb = 0, fc = 0;
    int flag = 5;
    MnBrak(ax, bx, cx, fa, fb, fc, f, flag);
    EXPECT_EQ(flag, 0);
    std::vector<double> want = {0, 1};
    want.insert(want.end(), k.trace.begin(), k.trace.end());
    ASSERT_EQ(f.seen.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i)
      EXPECT_NEAR(f.seen[i], want[i], 1e-12 * std::fabs(want[i])) << "evaluation " << i + 1;
    EXPECT_NEAR(ax, k.ax, 1e-12 * std::fabs(k.ax));
    EXPECT_NEAR(bx, k.bx, 1e-12 * std::fabs(k.bx));
    EXPECT_NEAR(cx, k.cx, 1e-12 * std::fabs(k.cx));
    EXPECT_EQ(fb, k.f(bx));
  }
}

// Brent on t^2 in (-1, 2) from 0.5: the midpoint is 0.5 itself, so the first
// golden step goes 0.381966 of the left part (1.5) to the left; the parabola
// through two points is flat, so the second step is golden too, 0.381966 of
// the part left of the new point; the third is the vertex 0 of the parabola
// through three points of t^2; then one probe on each side at the tolerance,
// which near 0 is the absolute 1e-10 alone, closes the bracket.
TEST(Brent, EvaluationTraceOnAParabola) {
  FnLine f([](double t) { return t * t; });
  double xmin = 42;
  int flag = 7;
  const double fmin = Brent(-1, 0.5, 2, f, 1e-8, xmin, flag);
  ASSERT_EQ(f.seen.size(), 6u);
  const double x2 = 0.5 - 0.381966 * 1.5;
  const double x3 = x2 + 0.381966 * (-1 - x2);
  EXPECT_EQ(f.seen[0], 0.5);
  EXPECT_NEAR(f.seen[1], x2, 1e-15) << "golden step";
  EXPECT_NEAR(f.seen[2], x3, 1e-15) << "golden step";
  EXPECT_NEAR(f.seen[3], 0, 1e-15) << "vertex";
  EXPECT_NEAR(f.seen[4] - f.seen[3], 1e-10, 1e-20) << "probe at the tolerance";
  EXPECT_NEAR(f.seen[5] - f.seen[3], -1e-10, 1e-20) << "probe at the tolerance";
  EXPECT_EQ(xmin, f.seen[3]);
  EXPECT_EQ(fmin, xmin * xmin);
  EXPECT_EQ(flag, 7);  // not written on success
}

// A flat line gives no parabola, so only golden steps, which cannot shrink
// (-1e20, 1e20) to 1e-10 in 100 iterations: the first evaluation and 100
// more, then failure with the last point.
TEST(Brent, IterationLimitIsAFailure) {
  FnLine f([](double) { return 1.0; });
  double xmin = 42;
  int flag = 0;
  const double fmin = Brent(-1e20, 0, 1e20, f, 0.0, xmin, flag);
  EXPECT_EQ(flag, -1);
  EXPECT_EQ(f.calls, 101);
  EXPECT_EQ(xmin, f.seen.back());
  EXPECT_EQ(fmin, 1.0);
}

TEST(Brent, FindsAParabolaMinimum) {
  FnLine f([](double t) { return 2 * (t - 0.3) * (t - 0.3) + 1; });
  double xmin = 0;
  int flag = 0;
  const double fmin = Brent(0, 1, 2, f, 1e-8, xmin, flag);
  EXPECT_EQ(flag, 0);
  EXPECT_NEAR(xmin, 0.3, 1e-7);
  EXPECT_NEAR(fmin, 1, 1e-14);
}

TEST(Brent, NarrowBracketReturnsAtOnce) {
  FnLine f([](double t) { return t * t; });
  double xmin = 42;
  int flag = 7;  // not written on success
  const double bx = 1e-11;
  const double fmin = Brent(0, bx, 2e-11, f, 1e-8, xmin, flag);
  EXPECT_EQ(flag, 7);
  EXPECT_EQ(xmin, bx);
  EXPECT_EQ(fmin, bx * bx);
  EXPECT_EQ(f.calls, 1);
}

TEST(Brent, OverflowingParabolaTermsFail) {
  // Function values near the double limit make (x - v) Q overflow.
  FnLine f([](double t) { return t == 0.5 ? -1e308 : (t < 0.5 ? 1e308 * (0.5 - t) : 1e308 * (t - 0.5)) - 1e308; });
  double xmin = 42;
  int flag = 0;
  const double r = Brent(-1e10, 0.5, 1e10, f, 1e-8, xmin, flag);
  EXPECT_EQ(flag, -1);
  EXPECT_EQ(r, 0.0);
  EXPECT_EQ(xmin, 42);  // not written
}

TEST(F1Dim, CoordinatesWithZeroDirectionStayBitIdentical) {
  FnObjective f([](const std::vector<double>& x) {
    return (x[1] - 0.3) * (x[1] - 0.3) + x[2] + x[3];
  });
  Minimiser m(f);
  const double p2 = 0.1 + 0.2, p3 = -1.0 / 3.0;
  std::vector<double> p = {0, 1.7, p2, p3};
  std::vector<double> xi = {0, 0.25, 0.0, -0.0};
  double fret = 0;
  int flag = 0;
  m.LinMin(p, xi, 3, fret, flag);
  EXPECT_EQ(flag, 0);
  EXPECT_NEAR(p[1], 0.3, 1e-6);
  ASSERT_GT(f.seen.size(), 3u);
  for (const auto& x : f.seen) {
    EXPECT_EQ(std::signbit(x[2]), std::signbit(p2));
    EXPECT_EQ(x[2], p2);
    EXPECT_EQ(x[3], p3);
  }
  EXPECT_EQ(p[2], p2);
  EXPECT_EQ(p[3], p3);
}

TEST(F1Dim, OverflowingCoordinateGivesPenaltyWithoutEvaluation) {
  FnObjective f([](const std::vector<double>&) { return 1.0; });
  Minimiser m(f);
  std::vector<double> p = {0, 1e308, 2.0};
  std::vector<double> xi = {0, 1.0, 0.0};
  double fret = 0;
  int flag = 0;
  // Seed PCom and XiCom through a line search on a flat function.
  m.LinMin(p, xi, 2, fret, flag);
  f.calls = 0;
  EXPECT_EQ(m.F1Dim(1e308), 1e300);
  EXPECT_EQ(m.F1Dim(std::numeric_limits<double>::infinity()), 1e300);
  EXPECT_EQ(f.calls, 0);
  EXPECT_EQ(m.F1Dim(-1e308), 1.0);
  EXPECT_EQ(f.calls, 1);
}

// Reference guards computed entirely in quadruple precision.
bool QuadSumInRange(double a, double b, double& s) {
  const Quad q = static_cast<Quad>(a) + static_cast<Quad>(b);
  if (q < -static_cast<Quad>(9e307) || q > static_cast<Quad>(9e307)) return false;
  s = static_cast<double>(q);
  return true;
}
bool QuadParabolaInRange(double xw, double fv, double xv, double fw) {
  const Quad lim = 9e307;
  const Quad R = static_cast<Quad>(xw) * fv;
  if (R < -lim || R > lim) return false;
  const Quad Q = static_cast<Quad>(xv) * fw;
  if (Q < -lim || Q > lim) return false;
  const Quad P = static_cast<Quad>(xv) * Q - static_cast<Quad>(xw) * R;
  return !(P < -lim || P > lim);
}

TEST(Guards, SumAgreesWithQuadruplePrecision) {
  const double g = 9e307, inf = std::numeric_limits<double>::infinity();
  const std::vector<std::pair<double, double>> cases = {
      {g, 0.0}, {g, 1.0}, {g, -1.0}, {-g, -1.0}, {g, 1e292}, {std::nextafter(g, 0.0), 1e291},
      {8e307, 8e307}, {1e308, -1e308}, {1.0, inf}, {1.0, -inf}, {0.0, 0.0}, {-0.0, 0.0},
      {1e-310, 1e-310}, {3e-308, 1e-310}, {1.0, 1e-16}, {0.1, 0.2}, {DBL_MIN, -DBL_MIN / 2}};
  for (const auto& [a, b] : cases) {
    double s1 = 12345, s2 = 12345;
    const bool r1 = GuardedSum(a, b, s1), r2 = QuadSumInRange(a, b, s2);
    EXPECT_EQ(r1, r2) << a << " + " << b;
    if (r1 && r2) {
      EXPECT_EQ(s1, s2) << a << " + " << b;
    }
  }
  // Random magnitudes over the whole range.
  std::uint64_t state = 88172645463325252ULL;
  auto next = [&state] {
    state ^= state << 13; state ^= state >> 7; state ^= state << 17;
    return state;
  };
  for (int i = 0; i < 200000; ++i) {
    const double a = std::ldexp(static_cast<double>(next() % 1000000) - 5e5, static_cast<int>(next() % 2064) - 1060);
    const double b = std::ldexp(static_cast<double>(next() % 1000000) - 5e5, static_cast<int>(next() % 2064) - 1060);
    double s1 = 0, s2 = 0;
    const bool r1 = GuardedSum(a, b, s1), r2 = QuadSumInRange(a, b, s2);
    ASSERT_EQ(r1, r2) << a << " + " << b;
    if (r1) {
      ASSERT_EQ(s1, s2) << a << " + " << b;
    }
  }
}

TEST(Guards, ParabolaTermsAgreeWithQuadruplePrecision) {
  std::uint64_t state = 2463534242ULL;
  auto next = [&state] {
    state ^= state << 13; state ^= state >> 7; state ^= state << 17;
    return state;
  };
  auto value = [&next] {
    // Exponents mostly high enough that four-fold products straddle the guard.
    const int e = (next() % 4 == 0) ? static_cast<int>(next() % 500) - 250
                                    : static_cast<int>(next() % 80) + 280;
    return std::ldexp(static_cast<double>(next() % 2000001) - 1e6, e);
  };
  int outside = 0;
  for (int i = 0; i < 200000; ++i) {
    const double xw = value(), fv = value(), xv = value(), fw = value();
    const bool expected = QuadParabolaInRange(xw, fv, xv, fw);
    outside += !expected;
    ASSERT_EQ(ParabolaTermsInRange(xw, fv, xv, fw), expected) << xw << " " << fv << " " << xv << " " << fw;
  }
  EXPECT_GT(outside, 1000);  // the sample reaches the guard from both sides
  EXPECT_GT(200000 - outside, 1000);
  EXPECT_FALSE(ParabolaTermsInRange(1e154, 1e154, 1.0, 1.0));
  EXPECT_TRUE(ParabolaTermsInRange(1.0, 6e307, 1.0, 1.0));
  EXPECT_FALSE(ParabolaTermsInRange(1.0, 1.0, 1e200, 1e108));
}

}  // namespace
