// Building blocks of one estimation pass that work on rows held in memory:
// the re-read of the sample file, the acceptance rule of assignment rows,
// the count tables that the likelihood reads, the family-size factors and
// the storing of a search result. The pass itself (estimation_pass.cpp)
// strings them together around the companion run and the search.
#pragma once

#include <array>
#include <istream>
#include <string>
#include <unordered_map>
#include <vector>

#include "estimation/age_variables.h"

namespace estimation {

// The one message for an unreadable sample file or assignment file.
inline constexpr const char* kPassReadError =
    "Error in reading file ID_Sex_Age.dat or other files";

// Identifier, sex and age of every sampled individual, 1-based, file order.
// An individual whose line could not be read keeps sex 0 and age -1, so it
// falls outside every class.
struct SampleRoster {
  std::vector<std::string> ID;  // 20 characters, blank-padded
  std::vector<int> Sex, Age;
  int Size() const { return static_cast<int>(ID.size()) - 1; }
};

// Passes over the header (14 reads, 16 with known sampling proportions) and
// reads identifier, sex and age of SmplSize individuals, one line each.
SampleRoster ReadSampleRoster(std::istream& in, int SmplSize, int SamplingPrbKnown);

// True when (sex, age) is one of the sampled classes 0..NumAgeClass(sex).
bool InClasses(int sex, int age, const std::array<int, 3>& NumAgeClass);

// The acceptance rule for a requested level from 0 to 99: the first two
// characters of the left-adjusted confidence text are not below the level
// written in two columns (by code, first character first), or the text
// begins with "100". A level of 100 or more accepts only "100" (parents
// known in advance); a negative level accepts what 0 accepts.
bool AcceptConfidence(const std::string& confidence, int level);

// The stop for a parent sex s without a single accepted pair at the level;
// `stem` is the output name, whose kept copy holds the assignments.
std::string NoPairsMessage(int s, int level, const std::string& stem);

// One accepted row of an assignment file: identifiers as read (21
// characters, left-adjusted).
struct AssignmentRow {
  std::string OffspringID, ParentID;
};

// Reads one assignment file: the header value, then rows until the end or
// a read failure; returns the accepted rows. An empty stream gives none.
std::vector<AssignmentRow> ReadAssignments(std::istream& in, int level);

// Positions of an accepted pair among the individuals.
struct PairIndex {
  int Offspring = 0, Parent = 0;
};

// First position of each identifier in file order.
using IdentifierIndex = std::unordered_map<std::string, int>;
IdentifierIndex BuildIdentifierIndex(const SampleRoster& roster);

// Position of the individual whose identifier equals the 21-character
// text exactly, 0 when there is none.
int FindIndividual(const IdentifierIndex& index, const std::string& id21);

// Rows whose offspring or parent identifier matches no individual are
// skipped: they cannot be placed in any class.
std::vector<PairIndex> ResolvePairs(const std::vector<AssignmentRow>& rows,
                                    const IdentifierIndex& index);

// MaxNumAgeClass, SexAgeSize (counts by age and sex) and the creation of
// Factor. Individuals outside every class are not counted.
void CountSexAgeSize(AgeVariables& av, const SampleRoster& roster,
                     const std::array<int, 3>& NumAgeClass);

// For parent sex s with K classes: SampledCounts, PODyadCounts, NumOff and
// MaxOff. Returns OffNum: per individual (1-based) its number of pairs as
// the parent.
std::vector<int> BuildPairTables(AgeVariables& av, const SampleRoster& roster,
                                 const std::vector<PairIndex>& pairs, int s, int K);

// Family-size correction of one class from the offspring numbers n_g of its
// M sampled members: T(T-1)/(M U) with T = sum n_g, U = sum n_g(n_g-1);
// 1 when U is not above 0.1.
double FamilySizeFactor(double T, double U, int M);

// Factor(1..K) of parent sex s (all 1 under the Poisson assumption).
void ComputeFactors(AgeVariables& av, const SampleRoster& roster,
                    const std::vector<int>& OffNum, int s, int K);

// Copies of the original data's tables for the report.
void PrepareOriginalCopies(AgeVariables& av);
void KeepOriginalCopies(AgeVariables& av, int s, int K);

// Upper class-size scale of the search: 10000 for the original data; for a
// replicate 100 times the largest simulated class of the sex, at most 100000.
int SearchMaxSize(const AgeVariables& av, int rep, int s, int K);

// Stores the search result X(1..NCom) of one sex in rows offset+1..offset+K.
void StoreEstimates(const std::vector<double>& X, int K, int offset, bool SKnown,
                    const std::vector<double>& Factor, EstimateBlock& est);

}  // namespace estimation
