// Module data of the main program (one object per run).
// Index convention: arrays keep the 1-based numbering of the tables they
// model; element 0 is unused unless a table is said to start at 0.
#pragma once

#include <algorithm>
#include <array>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "estimation/ran2.h"

namespace estimation {

// A detected fatal error; main() prints " StopOnError: " + message and stops.
struct StopError : std::runtime_error {
  explicit StopError(const std::string& message) : std::runtime_error(message) {}
};

// Dense 2-D table with inclusive index ranges [r0..r1] x [c0..c1].
template <typename T>
class Table2 {
 public:
  Table2() = default;
  Table2(int r0, int r1, int c0, int c1, T init = T{}) { Reset(r0, r1, c0, c1, init); }
  void Reset(int r0, int r1, int c0, int c1, T init = T{}) {
    r0_ = r0; r1_ = r1; c0_ = c0; c1_ = c1;
    data_.assign(static_cast<std::size_t>(r1 - r0 + 1) * static_cast<std::size_t>(c1 - c0 + 1), init);
  }
  T& operator()(int r, int c) { return data_[Idx(r, c)]; }
  const T& operator()(int r, int c) const { return data_[Idx(r, c)]; }
  int RowLo() const { return r0_; }
  int RowHi() const { return r1_; }
  int ColLo() const { return c0_; }
  int ColHi() const { return c1_; }
  bool Empty() const { return data_.empty(); }
  void Fill(T v) { std::fill(data_.begin(), data_.end(), v); }

 private:
  std::size_t Idx(int r, int c) const {
    return static_cast<std::size_t>(r - r0_) * static_cast<std::size_t>(c1_ - c0_ + 1) +
           static_cast<std::size_t>(c - c0_);
  }
  int r0_ = 0, r1_ = -1, c0_ = 0, c1_ = -1;
  std::vector<T> data_;
};

// Estimate block of one pass: rows 1..NumAgeClass(0), columns 1..4
// (1 P, 2 N, 3 S, 4 effective size of the class).
using EstimateBlock = Table2<double>;

struct AgeVariables {
  std::ostream* Console = &std::cout;  // console output of the run

  // Start and finish stamps: Date2 CCYYMMDD x2, Time2 hhmmss.sss x2.
  std::string Date2 = std::string(16, ' ');
  std::string Time2 = std::string(20, ' ');

  // Run parameters of the control file.
  std::string DatasetName;                 // 100 characters
  std::array<std::string, 3> FName;        // [1] output name, [2] file being read
  int SmplSize = 0;
  std::array<int, 3> NumAgeClass{};        // [0] sum, [1] males, [2] females
  std::array<int, 3> MinParentAge{};
  int FamilySizeDist = 0, SamplingPrbKnown = 0;
  std::array<std::vector<double>, 3> SamplingPrbPrior;  // [sex][1..NumAgeClass(sex)]
  int NumCI95Sample = 0, NumLoci = 0;
  std::string ConfidenceLevel = "  ";      // two columns
  int ConfidencePercent = 0;               // the same level as a number: decides acceptance
  std::vector<std::string> MarkerID;       // 1..NumLoci, right-justified
  std::vector<int> Dominant;               // 1..NumLoci
  std::vector<double> DropRate, OtherRate; // 1..NumLoci
  std::vector<std::string> OffspringID;    // 1..SmplSize
  std::vector<int> IndivSex, IndivAge;     // 1..SmplSize
  std::vector<int> ObsNumAllele;           // 1..NumLoci
  int MaxObsNumAllele = 0;
  Table2<double> ObsAlleleFre;             // (1..NumLoci, 1..MaxObsNumAllele)
  Table2<int> ObsAlleleCode;               // the raw code behind each allele index
  std::vector<double> ObsMissingShare;     // 1..NumLoci: share of individuals untyped
  std::array<double, 3> PropPrntSampled{};

  // Start-up.
  int CrrtOS = 1;                          // 1 bare name, 2 "./" in front
  int SearchThreads = 1;                   // threads of the search's minimisations
  Ran2 Rng;                                // the one random stream (Idum inside)

  // Results: Estimate(row, col) per layer 0 estimate, 1 CI95L, 2 CI95U.
  std::array<EstimateBlock, 3> Estimate;
  std::array<int, 3> NeEstimate{};
  std::array<std::array<double, 3>, 4> GIEstimate{};                  // [k 1..3][layer]
  std::array<std::array<std::array<double, 3>, 3>, 4> Var{};          // [k 1..3][s 1..2][layer]

  // Tables of the estimation pass.
  int MaxNumAgeClass = 0;
  Table2<int> SexAgeSize;                  // (0..MaxNumAgeClass, 1..2)
  std::vector<int> SampledCounts;          // 0..K
  Table2<int> PODyadCounts;                // (0..K-1, 0..K)
  Table2<int> NumOff;                      // (0..MaxOff, 1..K)
  int MaxOff = 0;
  std::vector<double> Factor;              // 1..MaxNumAgeClass
  std::vector<double> SamplingPrbPrt;      // 1..K (known proportions when given)
  // Sizes of the parameter vector, set by FindEstimates: NDim1 = K-1
  // shares, NDim2 = K sizes, NCom = 2K-1 (S known) or 3K-1 entries.
  int NDim1 = 0, NDim2 = 0, NCom = 0;
  Table2<int> SexAgeSize0;
  std::array<Table2<int>, 3> PODyadCounts0;  // [s](0..MaxNumAgeClass, 1..MaxNumAgeClass)
  std::array<Table2<int>, 3> NumOff0;        // [s](0..SmplSize, 1..MaxNumAgeClass)
  std::array<int, 3> NumOff0Bound{};

  // Bootstrap inputs.
  std::vector<double> ReproductionRate;    // 1..NumAgeClass(0)
  Table2<int> AgeClassSize;                // (0..MaxNumAgeClass, 1..2)
  Table2<double> SampleFre;                // (0..MaxNumAgeClass, 1..2)
};

// Output of one estimation pass (the result arguments of EstimateByMarker).
struct PassResult {
  int Ne = 0;
  std::array<double, 4> GI{};                     // [1] overall, [2] paternal, [3] maternal
  std::array<std::array<double, 3>, 4> Var{};     // [k 1..3][s 1..2]
};

}  // namespace estimation
