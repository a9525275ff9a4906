// A realistic example data set made by the main program's own population
// simulation: the simulation inputs built from stated parameters, the
// simulated sample, its true parents, and a few known parents and
// exclusions drawn from the pedigree.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "estimation/age_variables.h"
#include "estimation/simulate.h"
#include "tools/example_plan.h"

namespace tools {

struct ExampleLocus {
  std::string Name;
  std::vector<double> Fre;  // [a - 1] frequency of allele index a
  std::vector<int> Code;    // [a - 1] allele size written for allele index a
  double DropRate = 0.0, OtherRate = 0.0, Missing = 0.0;
};

// One exclusion line: an offspring and candidates that are not its parent.
struct Exclusion {
  int Offspring = 0;           // position in file order, 1-based
  std::vector<int> Candidate;  // positions in file order
};

struct ExampleData {
  ExamplePlan Plan;
  std::vector<ExampleLocus> Loci;  // 1..NumLoci (element 0 unused)
  estimation::SimuPopulation Pop;
  estimation::SimuSample Sample;
  // Per position p in file order (1-based): sample index, identifier, true
  // father and mother as positions (0 = not in the sample).
  std::vector<int> Order;
  std::vector<std::string> ID;
  std::vector<int> TrueFather, TrueMother;
  std::array<double, 3> PropPrntSampled{};
  std::array<std::vector<std::array<int, 2>>, 3> Known;  // [sex] (offspring, parent) positions
  std::array<std::vector<Exclusion>, 3> Excluded;        // [sex]
};

// Builds the simulation inputs of av from the plan (one stream, seeded by
// the plan, draws the per-locus values first), simulates the population and
// its sample, then draws the known parents and the exclusions.
ExampleData MakeExample(const ExamplePlan& plan);

// Scales the shares of reproduction of one sex so that they sum to 0.5.
std::vector<double> ScaledShares(const std::vector<double>& share);

// Writes the control and data file, every line commented after its values.
void WriteExample(std::ostream& out, const ExampleData& d);

}  // namespace tools
