// Both programs end to end on a simulated population whose class sizes and
// shares of reproduction are known.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <sstream>
#include <vector>

#include "test_util.h"

namespace {

// splitmix64: a small deterministic stream of our own.
class Stream {
 public:
  explicit Stream(std::uint64_t seed) : s_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (s_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }
  double Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }

 private:
  std::uint64_t s_;
};

constexpr int kLoci = 20;
constexpr int kAlleles = 12;
constexpr int kClasses = 3;  // ages 1..3 reproduce; age 0 are the newborns
constexpr int kNewborns = 150;  // per sex and year
constexpr double kSampled = 0.5;

struct Truth {
  // [sex 1..2][age 1..3]
  double Size[3][kClasses + 1] = {{}, {0, 120, 80, 50}, {0, 120, 90, 60}};
  double Share[3][kClasses + 1] = {{}, {0, 0.2, 0.35, 0.45}, {0, 0.3, 0.4, 0.3}};
};

struct Member {
  std::vector<int> Genotype;  // 2 per locus
};

using Cohorts = std::vector<std::vector<Member>>;  // [age 0..3]

Member Founder(Stream& rng) {
  Member m;
  for (int l = 0; l < 2 * kLoci; ++l) m.Genotype.push_back(1 + rng.Below(kAlleles));
  return m;
}

Member Child(const Member& father, const Member& mother, Stream& rng) {
  Member c;
  for (int l = 0; l < kLoci; ++l) {
    c.Genotype.push_back(father.Genotype[2 * l + rng.Below(2)]);
    c.Genotype.push_back(mother.Genotype[2 * l + rng.Below(2)]);
  }
  return c;
}

// A parent of sex s: its age class drawn by the shares, then a member.
const Member& DrawParent(const Cohorts& c, const Truth& t, int s, Stream& rng) {
  double u = rng.Uniform();
  int age = kClasses;
  for (int a = 1; a <= kClasses; ++a) {
    if (u < t.Share[s][a]) {
      age = a;
      break;
    }
    u -= t.Share[s][a];
  }
  return c[age][rng.Below(static_cast<int>(c[age].size()))];
}

// Keeps `size` random members of a cohort (the survivors to the next age).
std::vector<Member> Survivors(std::vector<Member> from, int size, Stream& rng) {
  for (int i = 0; i < size; ++i) std::swap(from[i], from[i + rng.Below(static_cast<int>(from.size()) - i)]);
  from.resize(size);
  return from;
}

// Ten years of a population of fixed class sizes, then a sample of each
// member with probability kSampled; returns "Tavimorelund.dat".
std::string SimulatedControlFile(const Truth& t, std::uint64_t seed, int replicates = 0) {
  Stream rng(seed);
  Cohorts pop[3];
  for (int s = 1; s <= 2; ++s) {
    pop[s].resize(kClasses + 1);
    for (int i = 0; i < kNewborns; ++i) pop[s][0].push_back(Founder(rng));
    for (int a = 1; a <= kClasses; ++a)
      for (int i = 0; i < t.Size[s][a]; ++i) pop[s][a].push_back(Founder(rng));
  }
  for (int year = 0; year < 10; ++year) {
    for (int s = 1; s <= 2; ++s)
      for (int a = kClasses; a >= 1; --a)
        pop[s][a] = Survivors(pop[s][a - 1], static_cast<int>(t.Size[s][a]), rng);
    for (int s = 1; s <= 2; ++s) {
      pop[s][0].clear();
      for (int i = 0; i < kNewborns; ++i)
        pop[s][0].push_back(Child(DrawParent(pop[1], t, 1, rng), DrawParent(pop[2], t, 2, rng), rng));
    }
  }
  std::ostringstream body;
  int n = 0;
  for (int s = 1; s <= 2; ++s)
    for (int a = 0; a <= kClasses; ++a)
      for (std::size_t i = 0; i < pop[s][a].size(); ++i) {
        if (rng.Uniform() >= kSampled) continue;
        body << (s == 1 ? "M" : "F") << a << "_" << i << ' ' << s << ' ' << a;
        for (int g : pop[s][a][i].Genotype) body << ' ' << g;
        body << '\n';
        ++n;
      }
  std::ostringstream f;
  f << "SimPop\nsimpop\n" << n << "\n3 3\n1 1\n0\n1\n"
    << "0.5 0.5 0.5\n0.5 0.5 0.5\n"
    << replicates << "\n" << kLoci << "\n95\n";
  for (int l = 1; l <= kLoci; ++l) f << "L" << l << ' ';
  f << '\n';
  for (int l = 1; l <= kLoci; ++l) f << "0 ";
  f << '\n';
  for (int r = 0; r < 2; ++r) {
    for (int l = 1; l <= kLoci; ++l) f << "0.001 ";
    f << '\n';
  }
  f << body.str() << "0.5 0.5\n0\n0\n0\n0\n";
  return f.str();
}

// Value of column `col` (1-based after the age) on the row of `age` in the
// table that follows `title`.
double TableValue(const std::string& report, const std::string& title, int age, int col) {
  std::istringstream in(report.substr(report.find(title)));
  std::string line;
  for (int i = 0; i < 3; ++i) std::getline(in, line);  // title, heading, rule
  for (int a = 1; a <= age; ++a) std::getline(in, line);
  std::istringstream row(line);
  int rowAge = 0;
  row >> rowAge;
  double v = 0.0;
  for (int c = 1; c <= col; ++c) row >> v;
  return v;
}

std::string WithoutTimeLines(const std::string& report) {
  std::istringstream in(report);
  std::string line, kept;
  while (std::getline(in, line))
    if (line.rfind("  Time ", 0) != 0) kept += line + '\n';
  return kept;
}

}  // namespace

TEST(MainEndToEnd, SimulatedPopulationGivesEstimatesNearTheTruthAndRepeats) {
  testutil::ScopedTempDir dir;
  const Truth truth;
  testutil::WriteFile("Tavimorelund.dat", SimulatedControlFile(truth, 20240601));

  // The working directory holds only the data: the companion beside the
  // main program is used.
  const testutil::RunResult first = testutil::RunProgram(MAIN_EXE);
  ASSERT_EQ(first.exit_status, 0) << first.out << first.err;
  ASSERT_EQ(first.out.find("StopOnError"), std::string::npos) << first.out;
  ASSERT_TRUE(testutil::FileExists("simpop.Ne")) << first.out;
  EXPECT_TRUE(testutil::FileExists("simpop.Paternity"));
  EXPECT_TRUE(testutil::FileExists("simpop.Maternity"));
  const std::string report = testutil::ReadFile("simpop.Ne");

  for (int s = 1; s <= 2; ++s)
    for (int a = 1; a <= kClasses; ++a) {
      const double p = TableValue(report, "Estimates of parameter P", a, s);
      const double n = TableValue(report, "Estimates of parameter N", a, s);
      EXPECT_NEAR(p, 0.5 * truth.Share[s][a], 0.05) << "sex " << s << " age " << a;
      EXPECT_NEAR(n, truth.Size[s][a], 0.25 * truth.Size[s][a]) << "sex " << s << " age " << a;
    }
  const std::size_t at = report.find("\n    Estimate");
  ASSERT_NE(at, std::string::npos);
  std::istringstream ne(report.substr(at + 13));
  int Ne = 0;
  double gi = 0;
  ne >> Ne >> gi;
  EXPECT_GT(Ne, 0);
  EXPECT_GT(gi, 1.5);  // shares lean to the older classes of both sexes
  EXPECT_LT(gi, 3.0);

  const testutil::RunResult second = testutil::RunProgram(MAIN_EXE);
  ASSERT_EQ(second.exit_status, 0) << second.out << second.err;
  EXPECT_EQ(WithoutTimeLines(testutil::ReadFile("simpop.Ne")), WithoutTimeLines(report));
}

// The search's threads change no byte of the report (apart from its times),
// of the kept assignments or of the console, bootstrap replicates included.
TEST(MainEndToEnd, ThreadCountChangesNoOutput) {
  testutil::ScopedTempDir dir;
  testutil::WriteFile("Tavimorelund.dat", SimulatedControlFile(Truth(), 20240602, 1));
  std::string console, report, paternity;
  for (const char* threads : {"1", "2", "7"}) {
    SCOPED_TRACE(std::string("TAVIMORELUND_THREADS=") + threads);
    testutil::ScopedEnv env("TAVIMORELUND_THREADS", threads);
    const testutil::RunResult r = testutil::RunProgram(MAIN_EXE);
    ASSERT_EQ(r.exit_status, 0) << r.out << r.err;
    ASSERT_NE(r.out.find("simulated data: replicate=1"), std::string::npos) << r.out;
    const std::string got = WithoutTimeLines(testutil::ReadFile("simpop.Ne"));
    if (console.empty()) {
      console = r.out;
      report = got;
      paternity = testutil::ReadFile("simpop.Paternity");
      continue;
    }
    EXPECT_EQ(r.out, console);
    EXPECT_EQ(got, report);
    EXPECT_EQ(testutil::ReadFile("simpop.Paternity"), paternity);
  }
}
