// A small deterministic generator of realistic sample files ("AgeSexGtype.dat"
// layout): a population with age classes, founders and Mendelian offspring,
// of which a share of each sex is sampled and typed with dropouts, other
// typing errors and missing genotypes. It also returns the true parents, so
// that tests can score an assignment.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace testutil {

struct SamplePlan {
  int SmplSize = 300;
  int NumLoci = 12;
  int NumAlleles = 8;                         // alleles per codominant locus
  int NumDominantLoci = 0;                    // the last loci of the list are dominant
  std::array<int, 3> NumAgeClass{0, 4, 4};    // [1] maximal age of males, [2] of females
  std::array<int, 3> MinParentAge{0, 1, 1};   // [1] males, [2] females
  std::array<double, 3> PropPrntSampled{0.0, 0.5, 0.5};  // share of each sex sampled
  double DropRate = 0.01;                     // per locus, written to the file and applied
  double OtherErrorRate = 0.01;
  double MissingRate = 0.02;                  // share of untyped genotypes
  int NumKnownFathers = 0;                    // listed as known (true, sampled) fathers
  int NumKnownMothers = 0;
  std::uint64_t Seed = 1;
  std::string DatasetName = "SimulatedSample";
  std::string FName = "Simulated";
};

struct GeneratedSample {
  std::string Text;                    // the whole sample file
  // Per sampled individual, 1-based in file order (element 0 unused).
  std::vector<std::string> ID;
  std::vector<int> Sex, Age;
  std::vector<int> TrueFather, TrueMother;  // sample index of the parent, 0 = not sampled
  std::vector<int> KnownFather, KnownMother;  // listed as known in the file, else 0
};

GeneratedSample GenerateSample(const SamplePlan& plan);

}  // namespace testutil
