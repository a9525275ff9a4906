// Module data of the companion program (one object per run).
// Index convention: arrays keep the file's 1-based numbering; element 0 is
// unused unless a table is said to start at 0 (AgeSize, ObsAlleleFre, ...).
#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "pairwise/likelihood_tables.h"
#include "pairwise/uniform_rng.h"

namespace pairwise {

constexpr int kIdLen = 20;
constexpr int kNameLen = 500;
constexpr int kMsgLen = 999;

// A detected fatal error: the message lines that the program's stop shows.
// memory = true stands for the allocation-failure stop.
struct CompanionStop : std::runtime_error {
  std::array<std::string, 5> lines;  // lines[0..4] = message lines 1..5
  bool memory = false;
  explicit CompanionStop(std::array<std::string, 5> l, bool mem = false)
      : std::runtime_error(l[0]), lines(std::move(l)), memory(mem) {}
};

struct Exclusion {
  int NumExcluded = 0;
  std::vector<int> CndIndex;  // 1-based: CndIndex[1..NumExcluded]
};

struct Variables {
  // Run parameters.
  int SmplSize = 0, NumLoci = 0;
  std::array<int, 3> NumCandidate{};   // [1], [2]
  std::array<int, 3> NumAgeClass{};    // [0] sum, [1] males, [2] females
  std::array<int, 3> MinParentAge{};   // [1], [2]
  std::array<double, 3> PropPrntSampled{};
  std::string FName, DatasetName;      // FName left-adjusted and trimmed
  int FamilySizeDist = 0, SamplingPrbKnown = 0, NumCI95Sample = 0;
  std::array<std::vector<double>, 3> SamplingPrbPrior;  // [sex][1..NumAgeClass(sex)]

  // Markers, 1..NumLoci.
  std::vector<std::string> MarkerID;   // right-adjusted, 20 characters
  std::vector<std::int8_t> DominantMarker;
  std::vector<double> DropRate, OtherErrorRate;

  // Individuals, 1..SmplSize.
  std::vector<std::string> OffspringID;  // 20 characters
  std::vector<int> IndivSex, IndivAge;

  // Genotype codes: IndivGtype(a, l, i), a = 1..2, l = 1..NumLoci, i = 1..S,
  // stored so that one individual's 2*NumLoci codes are contiguous
  // (slot fastest, then locus): block of individual i starts at IndivG(i).
  std::vector<int> IndivGtypeData;
  int& IndivGtype(int a, int l, int i) { return IndivGtypeData[Offset(a, l, i)]; }
  int IndivGtype(int a, int l, int i) const { return IndivGtypeData[Offset(a, l, i)]; }
  int* IndivG(int i) { return &IndivGtypeData[Offset(1, 1, i)]; }
  const int* IndivG(int i) const { return &IndivGtypeData[Offset(1, 1, i)]; }

  // Candidate copies per sex: CndGtype(a, l, c, k), same block layout per (c, k).
  std::vector<int> CndGtypeData;
  int& CndGtype(int a, int l, int c, int k) { return CndGtypeData[CndOffset(a, l, c, k)]; }
  int CndGtype(int a, int l, int c, int k) const { return CndGtypeData[CndOffset(a, l, c, k)]; }
  int* CndG(int c, int k) { return &CndGtypeData[CndOffset(1, 1, c, k)]; }
  const int* CndG(int c, int k) const { return &CndGtypeData[CndOffset(1, 1, c, k)]; }

  std::array<std::vector<std::string>, 3> CndParentID;  // [k][0..S], element 0 unused
  std::vector<int> AgeSizeData;                         // (0..MaxAge, 1..2)
  int MaxAgeIndex = 0;                                  // larger maximal age
  int& AgeSize(int age, int k) { return AgeSizeData[(k - 1) * (MaxAgeIndex + 1) + age]; }
  int AgeSize(int age, int k) const { return AgeSizeData[(k - 1) * (MaxAgeIndex + 1) + age]; }
  std::array<std::vector<int>, 3> IndivParent;          // [k][1..S], -1 when unknown
  std::array<std::vector<Exclusion>, 3> ExcludedParent; // [k][1..S]
  std::array<std::string, 5> ErrorMessage;              // lines 1..5 at [0..4]

  // Recoding and error model.
  std::vector<int> ObsNumAllele;       // 1..NumLoci
  int MaxObsNumAllele = 0, MaxNumGenotype = 0;
  std::vector<double> ObsAlleleFreData;  // (1..NumLoci, 0..M)
  double& ObsAlleleFre(int l, int a) { return ObsAlleleFreData[(l - 1) * (MaxObsNumAllele + 1) + a]; }
  double ObsAlleleFre(int l, int a) const { return ObsAlleleFreData[(l - 1) * (MaxObsNumAllele + 1) + a]; }
  std::vector<std::array<double, 7>> TransRate;  // [l][1..6]
  std::vector<int> LocusError;         // 1..NumLoci
  bool MarkerErrorFreeQ = false;      // some locus is error-free; the trials go by each locus's rates
  std::vector<int> GenotypeID2Data;    // (0..M, 0..M)
  int GenotypeID2(int i, int j) const { return GenotypeID2Data[i * (MaxObsNumAllele + 1) + j]; }
  int& GenotypeID2(int i, int j) { return GenotypeID2Data[i * (MaxObsNumAllele + 1) + j]; }
  std::vector<int> IndivGtype2Data;    // (1..NumLoci, 1..S), locus fastest
  int IndivGtype2(int l, int i) const { return IndivGtype2Data[(i - 1) * NumLoci + (l - 1)]; }
  int& IndivGtype2(int l, int i) { return IndivGtype2Data[(i - 1) * NumLoci + (l - 1)]; }
  std::array<int, 3> NumKnownPrnt{};
  bool AnyGtypeMissingQ = false;

  // Likelihoods.
  std::array<std::vector<double>, 3> CandidateLogL;  // [k][1..NC]
  LikelihoodTables LikTables;  // per-locus lookup tables (BuildLikelihoodTables)
  // Pair table: one S x S single-precision table serves both sexes, since
  // both sex columns hold the same values. PairLogL(offspring m, candidate l).
  std::vector<float> PrbPOPairData;
  float PairLogL(int m, int l) const {
    return PrbPOPairData[static_cast<std::size_t>(m - 1) * static_cast<std::size_t>(SmplSize) +
                         static_cast<std::size_t>(l - 1)];
  }
  float& PairLogL(int m, int l) {
    return PrbPOPairData[static_cast<std::size_t>(m - 1) * static_cast<std::size_t>(SmplSize) +
                         static_cast<std::size_t>(l - 1)];
  }

  // Thresholds (SimuVariables): [sex 1..2][level 1..10].
  std::array<std::array<double, 11>, 3> Threshold{}, Threshold2{};
  // Uniform generator of the threshold trials: fixed start, never reseeded.
  UniformRng SimuRng;

 private:
  std::size_t Offset(int a, int l, int i) const {
    return (static_cast<std::size_t>(i - 1) * static_cast<std::size_t>(NumLoci) +
            static_cast<std::size_t>(l - 1)) * 2 + static_cast<std::size_t>(a - 1);
  }
  std::size_t CndOffset(int a, int l, int c, int k) const {
    return (static_cast<std::size_t>(k - 1) * static_cast<std::size_t>(SmplSize) +
            static_cast<std::size_t>(c - 1)) * static_cast<std::size_t>(NumLoci) * 2 +
           static_cast<std::size_t>(l - 1) * 2 + static_cast<std::size_t>(a - 1);
  }
};

}  // namespace pairwise
