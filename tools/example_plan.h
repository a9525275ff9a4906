// Parameters of a generated example data set, as stated on the command line
// of make_example (key=value arguments, lists separated by commas).
#pragma once

#include <array>
#include <stdexcept>
#include <string>
#include <vector>

namespace tools {

// A bad command line; main() prints the message and the usage.
struct UsageError : std::runtime_error {
  explicit UsageError(const std::string& m) : std::runtime_error(m) {}
};

// A closed range [lo, hi] from which a per-locus value is drawn.
struct Range {
  double lo = 0.0, hi = 0.0;
};

struct ExamplePlan {
  int Seed = 2718;                     // the random stream starts at -Seed
  std::string DatasetName = "Example";
  std::string FName = "example";
  int SmplSize = 300;
  int NumLoci = 15;
  std::array<int, 2> Alleles{6, 14};   // fewest and most alleles per locus
  std::array<int, 3> NumAgeClass{0, 4, 6};
  std::array<int, 3> MinParentAge{0, 1, 2};
  // Per sex [1] males, [2] females: class sizes of ages 0..K and shares of
  // reproduction of ages 1..K (scaled so that each sex's shares sum to 0.5).
  std::array<std::vector<double>, 3> ClassSize;
  std::array<std::vector<double>, 3> Share;
  Range DropRate{0.005, 0.04};
  Range OtherRate{0.002, 0.02};
  Range Missing{0.01, 0.06};           // share of untyped genotypes per locus
  std::array<int, 3> NumKnown{0, 3, 3};     // known fathers, known mothers
  std::array<int, 3> NumExcluded{0, 2, 2};  // offspring with excluded fathers, mothers
  int ExcludedPerOffspring = 2;
  int NumCI95Sample = 5;
  int ConfidenceLevel = 90;
  int FamilySizeDist = 1;
};

// Parses key=value arguments over the defaults above; checks that the
// values make a population the simulation can build and sample.
ExamplePlan ParseExampleArgs(const std::vector<std::string>& args);

// The accepted keys with a line of help each.
std::string ExampleUsage();

}  // namespace tools
