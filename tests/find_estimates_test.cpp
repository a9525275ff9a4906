#include "estimation/find_estimates.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "estimation/likelihood_model.h"
#include "estimation/powell.h"

namespace {

using estimation::AgeVariables;
using estimation::FindEstimates;
using estimation::SearchStats;

std::size_t Idx(int i) { return static_cast<std::size_t>(i); }

// A known model of one parent sex and the count tables it leads one to
// expect: n_k = N_k S_k sampled parents, T_i sampled offspring of age i,
// T_i P(j-i) S_j N_j / N_(j-i) of them assigned to a parent of age j, and
// each sampled parent with 0 or 1 assigned offspring.
struct Model {
  std::vector<double> P, N, S;  // 1..K
  std::vector<int> T;           // 0..K-1
};

AgeVariables ExpectedCounts(const Model& m, bool known, std::ostream& console) {
  const int K = static_cast<int>(m.P.size()) - 1;
  AgeVariables av;
  av.Console = &console;
  av.SamplingPrbKnown = known ? 1 : 0;
  av.SampledCounts.assign(Idx(K + 1), 0);
  for (int k = 1; k <= K; ++k) {
    av.SampledCounts[Idx(k)] = static_cast<int>(std::lround(m.N[Idx(k)] * m.S[Idx(k)]));
    av.SampledCounts[0] += av.SampledCounts[Idx(k)];
  }
  av.PODyadCounts.Reset(0, K - 1, 0, K);
  std::vector<int> offspring(Idx(K + 1), 0);
  for (int i = 0; i <= K - 1; ++i) {
    av.PODyadCounts(i, 0) = m.T[Idx(i)];
    for (int j = i + 1; j <= K; ++j) {
      const double pr = m.P[Idx(j - i)] / m.N[Idx(j - i)] * m.S[Idx(j)] * m.N[Idx(j)];
      const int c = static_cast<int>(std::lround(m.T[Idx(i)] * pr));
      av.PODyadCounts(i, j) = c;
      offspring[Idx(j)] += c;
    }
  }
  av.MaxOff = 1;
  av.NumOff.Reset(0, 1, 1, K);
  for (int k = 1; k <= K; ++k) {
    av.NumOff(1, k) = offspring[Idx(k)];
    av.NumOff(0, k) = av.SampledCounts[Idx(k)] - offspring[Idx(k)];
  }
  if (known) av.SamplingPrbPrt = m.S;
  return av;
}

int NCom(int K, bool known) { return known ? 2 * K - 1 : 3 * K - 1; }

// Model with integral expected counts.
Model ModelK2() { return {{0, 0.6, 0.4}, {0, 1000, 600}, {0, 0.3, 0.25}, {500, 400}}; }
Model ModelK4() {
  return {{0, 0.2, 0.3, 0.3, 0.2},
          {0, 1000, 800, 500, 250},
          {0, 0.2, 0.25, 0.3, 0.4},
          {600, 500, 400, 300}};
}

void ExpectRecovered(const Model& m, const std::vector<double>& X, double rel) {
  const int K = static_cast<int>(m.P.size()) - 1;
  for (int k = 1; k <= K - 1; ++k) EXPECT_NEAR(X[Idx(k)], m.P[Idx(k)], rel * m.P[Idx(k)]) << "P" << k;
  for (int k = 1; k <= K; ++k)
    EXPECT_NEAR(X[Idx(K - 1 + k)], m.N[Idx(k)], rel * m.N[Idx(k)]) << "N" << k;
}

TEST(FindEstimates, RecoversAKnownModelWithKnownSampling) {
  for (const Model& m : {ModelK2(), ModelK4()}) {
    const int K = static_cast<int>(m.P.size()) - 1;
    std::ostringstream console;
    AgeVariables av = ExpectedCounts(m, true, console);
    std::vector<double> X;
    FindEstimates(av, 10000, 40, K, NCom(K, true), X);
    ASSERT_EQ(X.size(), Idx(NCom(K, true) + 1));
    ExpectRecovered(m, X, 0.02);
    EXPECT_EQ(av.NCom, NCom(K, true));
    EXPECT_EQ(av.NDim1, K - 1);
    EXPECT_EQ(av.NDim2, K);
  }
}

TEST(FindEstimates, EstimatedSamplingReproducesThePairProbabilities) {
  // With S estimated the likelihood sees N and S only through N S and the
  // products P(j-i) S(j) N(j) / N(j-i), the probabilities that an offspring
  // of age i has its parent of age j in the sample. The optima form a ridge,
  // and the mean of the near-best ones lies somewhat off it, so the fitted
  // probabilities are only close to the model's.
  for (const Model& m : {ModelK2(), ModelK4()}) {
    const int K = static_cast<int>(m.P.size()) - 1;
    std::ostringstream console;
    AgeVariables av = ExpectedCounts(m, false, console);
    std::vector<double> X;
    FindEstimates(av, 10000, 40, K, NCom(K, false), X);
    std::vector<double> P(Idx(K + 1), 0.0);
    double shareSum = 0;
    for (int k = 1; k <= K - 1; ++k) shareSum += P[Idx(k)] = X[Idx(k)];
    P[Idx(K)] = 1 - shareSum;
    const double* N = X.data() + (K - 1);
    const double* S = X.data() + (2 * K - 1);
    for (int i = 0; i <= K - 1; ++i)
      for (int j = i + 1; j <= K; ++j) {
        const double fitted = P[Idx(j - i)] / N[j - i] * S[j] * N[j];
        const double truth = m.P[Idx(j - i)] / m.N[Idx(j - i)] * m.S[Idx(j)] * m.N[Idx(j)];
        EXPECT_NEAR(fitted, truth, 0.25 * truth) << "K " << K << " pair (" << i << ", " << j << ")";
      }
    for (int k = 1; k <= K; ++k) {
      EXPECT_GE(S[k], 1e-6);
      EXPECT_LE(S[k], 1.0);
    }
  }
}

TEST(FindEstimates, ReproducibleForTheSameStream) {
  std::ostringstream c1, c2;
  AgeVariables a = ExpectedCounts(ModelK2(), false, c1);
  AgeVariables b = ExpectedCounts(ModelK2(), false, c2);
  std::vector<double> xa, xb;
  FindEstimates(a, 10000, 20, 2, 5, xa);
  FindEstimates(b, 10000, 20, 2, 5, xb);
  EXPECT_EQ(xa, xb);
  EXPECT_EQ(a.Rng.Idum, b.Rng.Idum);
  EXPECT_EQ(a.Rng.IY, b.Rng.IY);
  // The stream moves on: a second search from the continued stream differs.
  FindEstimates(a, 10000, 20, 2, 5, xa);
  EXPECT_NE(xa, xb);
}

std::vector<int> DotLines(const std::string& out) {
  std::vector<int> lines;
  std::istringstream in(out);
  std::string line;
  while (std::getline(in, line)) {
    EXPECT_EQ(line.find_first_not_of('.'), std::string::npos);
    lines.push_back(static_cast<int>(line.size()));
  }
  return lines;
}

TEST(FindEstimates, ProgressDots) {
  struct Row { int starts; std::vector<int> lines; };
  for (const Row& r : {Row{500, {101, 100, 100, 100, 99}}, Row{100, {100}}, Row{7, {7}},
                       Row{250, {51, 100, 99}}}) {
    std::ostringstream console;
    Model m = ModelK2();
    AgeVariables av = ExpectedCounts(m, true, console);
    av.SamplingPrbPrt[2] = 1e-7;  // every start fails quickly: only the dots matter
    av.SampledCounts[0] -= av.SampledCounts[2];
    av.SampledCounts[2] = 0;
    std::vector<double> X;
    FindEstimates(av, 10000, r.starts, 2, 3, X);
    EXPECT_EQ(console.str().back(), '\n');
    EXPECT_EQ(DotLines(console.str()), r.lines) << r.starts << " starts";
  }
}

TEST(FindEstimates, NoAdmissibleStartEndsWithZeroVector) {
  // A known proportion below 1e-6 with no sampled parents: every
  // draw passes the start test but no vector is admissible. The redraws are
  // bounded, every start fails and the caller gets the zero vector.
  std::ostringstream console;
  AgeVariables av = ExpectedCounts(ModelK2(), true, console);
  av.SamplingPrbPrt[2] = 5e-7;
  av.SampledCounts = {0, 0, 0};  // so that N S > n for every start
  std::vector<double> X(4, 99.0);
  SearchStats stats;
  FindEstimates(av, 10000, 3, 2, 3, X, stats);
  EXPECT_EQ(X, std::vector<double>(4, 0.0));
  EXPECT_EQ(stats.FailedStarts, 3);
  EXPECT_EQ(stats.Redraws, 3 * 10000);
  EXPECT_EQ(stats.FuncEvaluations, 3 * 10001);
}

TEST(FindEstimates, StartThatCannotBeSampledFailsWithoutMinimising) {
  // Known S = 0 for a sampled class: N S <= n for every start.
  std::ostringstream console;
  AgeVariables av = ExpectedCounts(ModelK2(), true, console);
  av.SamplingPrbPrt[1] = 0.0;
  std::vector<double> X;
  SearchStats stats;
  const estimation::Ran2 before = av.Rng;
  FindEstimates(av, 10000, 5, 2, 3, X, stats);
  EXPECT_EQ(X, std::vector<double>(4, 0.0));
  EXPECT_EQ(stats.FailedStarts, 5);
  EXPECT_EQ(stats.FuncEvaluations, 0);
  // Only the two shares of each start were drawn.
  estimation::Ran2 replay = before;
  for (int i = 0; i < 10; ++i) replay.Next();
  EXPECT_EQ(av.Rng.Idum, replay.Idum);
  EXPECT_EQ(av.Rng.IY, replay.IY);
}

TEST(FindEstimates, ResultIsALocalOptimum) {
  std::ostringstream console;
  AgeVariables av = ExpectedCounts(ModelK4(), true, console);
  std::vector<double> X;
  FindEstimates(av, 10000, 20, 4, 7, X);
  const estimation::LikelihoodTables t = estimation::BuildLikelihoodTables(av, 4);
  estimation::LikelihoodEvaluator ev(t);
  const double f = ev.Func(X);
  ASSERT_LT(f, estimation::kPenalty);
  for (int j = 1; j <= 7; ++j)
    for (double step : {-1e-3, 1e-3}) {
      std::vector<double> y = X;
      y[Idx(j)] *= 1 + step;
      EXPECT_GE(ev.Func(y), f - 1e-6) << "coordinate " << j << " step " << step;
    }
}


// A model of a few dozen individuals, small enough for start scales near K.
Model SmallModelK2() { return {{0, 0.6, 0.4}, {0, 10, 8}, {0, 0.3, 0.25}, {5, 4}}; }

// One start rebuilt by hand from a copy of the stream: K shares, then (S
// estimated) K sampling probabilities, then the diagonal of the direction
// set, minimised by Powell with tolerance 1e-8. A single start is the
// result itself, so any change in the scale, the draws or their order shows.
// With one start the scale is K (MaxSize / K), one more when that is at most
// K + 10: MaxSize 12 gives exactly 12 = K + 10 and so sizes 12 and 11.
TEST(FindEstimates, SingleStartIsPowellFromTheDrawnPointAndDirections) {
  struct Row {
    Model model;
    int MaxSize;
    bool raised;  // scale at most K + 10, so raised by 1
  };
  for (const Row& row : {Row{ModelK2(), 10000, false}, Row{SmallModelK2(), 12, true},
                         Row{SmallModelK2(), 14, false}}) {
    for (const bool known : {false, true}) {
      SCOPED_TRACE("MaxSize " + std::to_string(row.MaxSize) +
                   (known ? ", known S" : ", estimated S"));
      std::ostringstream console;
      AgeVariables av = ExpectedCounts(row.model, known, console);
      const int K = 2, n = NCom(K, known);
      estimation::Ran2 rng = av.Rng;
      const double c0 =
          K * std::exp(std::log(static_cast<double>(row.MaxSize) / K)) + (row.raised ? 1 : 0);
      std::vector<double> x(Idx(n + 1), 0.0);
      const double u1 = rng.Next(), u2 = rng.Next();
      x[1] = u1 / (u1 + u2);
      x[2] = c0 - 1;
      x[3] = c0 - 2;
      if (!known)
        for (int k = 1; k <= K; ++k)
          x[Idx(2 * K - 1 + k)] =
              std::max(rng.Next(), (av.SampledCounts[Idx(k)] + 0.1) / x[Idx(K - 1 + k)]);
      estimation::Table2<double> xi(1, n, 1, n, 0.0);
      xi(1, 1) = rng.Next();
      for (int k = 1; k <= K; ++k) xi(K - 1 + k, K - 1 + k) = 100.0 * rng.Next() + 1.0;
      if (!known)
        for (int k = 1; k <= K; ++k) xi(2 * K - 1 + k, 2 * K - 1 + k) = 0.1 * rng.Next();

      const estimation::LikelihoodTables t = estimation::BuildLikelihoodTables(av, K);
      estimation::LikelihoodEvaluator ev(t);
      ASSERT_LT(ev.Func(x), estimation::kPenalty) << "the first draw is admissible";
      struct Obj final : estimation::Objective {
        estimation::LikelihoodEvaluator* e;
        double operator()(const std::vector<double>& v) override { return e->Func(v); }
      } obj;
      obj.e = &ev;
      estimation::Minimiser m(obj);
      int iter = 0, flag = 0;
      double fret = 0.0;
      m.Powell(x, xi, n, 1e-8, iter, fret, flag);
      ASSERT_EQ(flag, 0);

      std::vector<double> X;
      FindEstimates(av, row.MaxSize, 1, K, n, X);
      EXPECT_EQ(X, x) << "not the minimum from the start with sizes " << c0 - 1 << " and "
                      << c0 - 2;
      EXPECT_EQ(av.Rng.Idum, rng.Idum);
      EXPECT_EQ(av.Rng.IY, rng.IY);
    }
  }
}

// Everything a search leaves that must not depend on the number of threads.
struct SearchOutcome {
  std::vector<std::uint64_t> X;       // bit patterns
  std::vector<std::uint64_t> starts;  // StartResults, column by column
  estimation::Ran2 rng;
  SearchStats stats;
  std::string console;
};

std::uint64_t Bits(double v) { return std::bit_cast<std::uint64_t>(v); }

struct ThreadCase {
  const char* name;
  Model model;
  bool known;
  int MaxSize;
  int NumStart;
  double knownS2 = 0.0;  // when above 0: the known S of class 2, with no sampled member of it
};

SearchOutcome Search(const ThreadCase& c, int threads) {
  SearchOutcome o;
  std::ostringstream console;
  AgeVariables av = ExpectedCounts(c.model, c.known, console);
  if (c.knownS2 > 0.0) {
    av.SamplingPrbPrt[2] = c.knownS2;
    av.SampledCounts[0] -= av.SampledCounts[2];
    av.SampledCounts[2] = 0;
  }
  av.SearchThreads = threads;
  const int K = static_cast<int>(c.model.P.size()) - 1;
  std::vector<double> X;
  FindEstimates(av, c.MaxSize, c.NumStart, K, NCom(K, c.known), X, o.stats);
  for (double v : X) o.X.push_back(Bits(v));
  const estimation::Table2<double>& r = o.stats.StartResults;
  for (int t = r.ColLo(); t <= r.ColHi(); ++t)
    for (int j = r.RowLo(); j <= r.RowHi(); ++j) o.starts.push_back(Bits(r(j, t)));
  o.rng = av.Rng;
  o.console = console.str();
  return o;
}

Model ModelK1() { return {{0, 1.0}, {0, 500}, {0, 0.3}, {200}}; }
Model ModelK7() {
  return {{0, 0.05, 0.1, 0.15, 0.2, 0.2, 0.15, 0.15},
          {0, 1000, 800, 640, 510, 410, 330, 260},
          {0, 0.2, 0.2, 0.25, 0.25, 0.3, 0.3, 0.3},
          {400, 320, 260, 200, 160, 130, 100}};
}

// The minimisations on 2 or 7 threads: the same draws in the same order, the
// same result of every start, the same estimate, stream state, work counts
// and console bytes as on the calling thread alone.
TEST(FindEstimates, AnyNumberOfThreadsGivesTheOneThreadSearchBitForBit) {
  const ThreadCase cases[] = {
      {"K 2, S estimated", ModelK2(), false, 10000, 40},
      {"K 4, S known", ModelK4(), true, 10000, 40},
      {"K 7, S estimated", ModelK7(), false, 10000, 30},
      {"K 1, S estimated", ModelK1(), false, 10000, 20},
      // Every scale is at most K + 10, so each is raised by one.
      {"K 2, MaxSize 12", SmallModelK2(), false, 12, 20},
      // The small scales leave N S at or below the sampled count: those starts fail.
      {"K 2, S known, small starts fail", SmallModelK2(), true, 1000, 30},
      // Every start fails at once; the dots break lines after 50 and 150.
      {"K 2, 250 failed starts", ModelK2(), true, 10000, 250, 1e-7},
  };
  for (const ThreadCase& c : cases) {
    SCOPED_TRACE(c.name);
    const SearchOutcome one = Search(c, 1);
    const int K = static_cast<int>(c.model.P.size()) - 1;
    ASSERT_EQ(one.starts.size(), Idx(c.NumStart * (NCom(K, c.known) + 1)));
    // Failed starts (at the draw or in the minimiser) in every case; all
    // of them only where the case says so.
    EXPECT_GT(one.stats.FailedStarts, 0);
    if (c.knownS2 > 0.0) {
      EXPECT_EQ(one.stats.FailedStarts, c.NumStart);
    } else {
      EXPECT_LT(one.stats.FailedStarts, c.NumStart);
    }
    for (const int threads : {2, 7}) {
      SCOPED_TRACE(std::to_string(threads) + " threads");
      const SearchOutcome many = Search(c, threads);
      EXPECT_EQ(many.X, one.X);
      EXPECT_EQ(many.starts, one.starts);
      EXPECT_EQ(many.rng.Idum, one.rng.Idum);
      EXPECT_EQ(many.rng.IDUM2, one.rng.IDUM2);
      EXPECT_EQ(many.rng.IV, one.rng.IV);
      EXPECT_EQ(many.rng.IY, one.rng.IY);
      EXPECT_EQ(many.stats.FuncEvaluations, one.stats.FuncEvaluations);
      EXPECT_EQ(many.stats.FailedStarts, one.stats.FailedStarts);
      EXPECT_EQ(many.stats.Redraws, one.stats.Redraws);
      EXPECT_EQ(many.console, one.console);
    }
  }
}

// The combining step on hand-placed start results of three coordinates,
// listed for t = 1, 2, ...: a failed start holds 1e300 and the zero point.
TEST(CombineStartResults, MeanOfTheStartsNearTheBestByTheirWeights) {
  const double near = -std::log(0.99);  // widest distance from the best that counts
  const double in = near - 1e-9, out = near + 1e-9;
  const double wIn = std::exp(-in);  // weight of the start just inside, 0.99 and a bit
  struct Start {
    double value;
    std::array<double, 3> point;
  };
  struct Case {
    const char* name;
    std::vector<Start> starts;
    std::array<double, 3> want;
  };
  const Case cases[] = {
      {"two equal best values give their mean",
       {{5.0, {1, 2, 3}}, {9.0, {50, 50, 50}}, {1e300, {0, 0, 0}}, {5.0, {3, 6, 9}}},
       {2, 4, 6}},
      {"one start just inside -ln 0.99 of the best counts, one just outside does not",
       {{10.0 + out, {1000, 1000, 1000}}, {10.0, {0, 0, 0}}, {10.0 + in, {1, 2, 3}}},
       {wIn / (1 + wIn), 2 * wIn / (1 + wIn), 3 * wIn / (1 + wIn)}},
      {"the best start alone is its own point",
       {{-3.0, {7, 8, 9}}, {-2.0, {1, 1, 1}}, {1e300, {0, 0, 0}}},
       {7, 8, 9}},
      {"every start failed gives the zero vector",
       {{1e300, {0, 0, 0}}, {1e300, {0, 0, 0}}, {1e300, {0, 0, 0}}},
       {0, 0, 0}},
  };
  for (const Case& c : cases) {
    const int NumStart = static_cast<int>(c.starts.size());
    estimation::Table2<double> results(0, 3, 1, NumStart, 0.0);
    for (int t = 1; t <= NumStart; ++t) {
      results(0, t) = c.starts[Idx(t - 1)].value;
      for (int j = 1; j <= 3; ++j) results(j, t) = c.starts[Idx(t - 1)].point[Idx(j - 1)];
    }
    std::vector<double> X(4, 99.0);
    estimation::CombineStartResults(results, NumStart, 3, X);
    ASSERT_EQ(X.size(), 4u) << c.name;
    for (int j = 1; j <= 3; ++j)
      EXPECT_NEAR(X[Idx(j)], c.want[Idx(j - 1)], 1e-12) << c.name << ", coordinate " << j;
  }
}

}  // namespace
