#include "estimation/pass_tables.h"

#include <algorithm>

#include "common/fixed_format.h"
#include "common/free_form_reader.h"

namespace estimation {

using common::ReadTarget;

SampleRoster ReadSampleRoster(std::istream& in, int SmplSize, int SamplingPrbKnown) {
  common::FreeFormReader reader(in);
  const int headerReads = SamplingPrbKnown == 1 ? 16 : 14;
  std::string value;
  for (int i = 0; i < headerReads; ++i) reader.Read({ReadTarget::Text(value, 20)});

  const int n = std::max(SmplSize, 0);
  SampleRoster roster;
  roster.ID.assign(static_cast<std::size_t>(n) + 1, std::string(20, ' '));
  roster.Sex.assign(static_cast<std::size_t>(n) + 1, 0);
  roster.Age.assign(static_cast<std::size_t>(n) + 1, -1);
  std::string id(21, ' ');
  for (int i = 1; i <= n; ++i) {
    int sex = 0, age = -1;
    id.assign(21, ' ');
    if (!reader.Read({ReadTarget::Text(id, 21), ReadTarget::Int(sex), ReadTarget::Int(age)})) break;
    roster.ID[i] = common::AdjustLeft(id).substr(0, 20);
    roster.Sex[i] = sex;
    roster.Age[i] = age;
  }
  return roster;
}

bool InClasses(int sex, int age, const std::array<int, 3>& NumAgeClass) {
  return (sex == 1 || sex == 2) && age >= 0 && age <= NumAgeClass[sex];
}

bool AcceptConfidence(const std::string& confidence, int level) {
  const std::string conf = common::PadRight(common::AdjustLeft(confidence), 3);
  const bool known = conf.compare(0, 3, "100") == 0;
  // Levels outside 0..99 are not compared as text: 100 would be "**", which
  // sorts below every digit and so would accept every row.
  if (level >= 100) return known;
  const std::string lev = common::FmtInt(std::max(level, 0), 2);
  // std::string compares by unsigned character code, first character first.
  return conf.compare(0, 2, lev) >= 0 || known;
}

std::string NoPairsMessage(int s, int level, const std::string& stem) {
  const bool fathers = s == 1;
  return std::string("No ") + (fathers ? "paternity" : "maternity") +
         " assignment is accepted at the confidence level of " + std::to_string(level) +
         ", and nothing can be estimated from no " + (fathers ? "father" : "mother") +
         "-offspring pairs; the companion's assignments are in " + stem +
         (fathers ? ".Paternity" : ".Maternity");
}

std::vector<AssignmentRow> ReadAssignments(std::istream& in, int level) {
  std::vector<AssignmentRow> rows;
  common::FreeFormReader reader(in);
  std::string header;
  if (!reader.Read({ReadTarget::Text(header, 21)})) return rows;
  std::string off, par, conf;
  while (true) {
    off.assign(21, ' ');
    par.assign(21, ' ');
    conf.assign(20, ' ');
    if (!reader.Read({ReadTarget::Text(off, 21), ReadTarget::Text(par, 21),
                      ReadTarget::Text(conf, 20)}))
      break;
    if (AcceptConfidence(conf, level))
      rows.push_back({common::AdjustLeft(off), common::AdjustLeft(par)});
  }
  return rows;
}

IdentifierIndex BuildIdentifierIndex(const SampleRoster& roster) {
  IdentifierIndex index;
  index.reserve(static_cast<std::size_t>(roster.Size()) * 2 + 1);
  for (int i = 1; i <= roster.Size(); ++i) index.emplace(roster.ID[i], i);  // keeps the first
  return index;
}

int FindIndividual(const IdentifierIndex& index, const std::string& id21) {
  const std::string id = common::PadRight(id21, 21);
  // A 21st character other than a blank cannot equal a 20-character identifier.
  if (id[20] != ' ') return 0;
  const auto it = index.find(id.substr(0, 20));
  return it == index.end() ? 0 : it->second;
}

std::vector<PairIndex> ResolvePairs(const std::vector<AssignmentRow>& rows,
                                    const IdentifierIndex& index) {
  std::vector<PairIndex> pairs;
  pairs.reserve(rows.size());
  for (const AssignmentRow& row : rows) {
    const PairIndex p{FindIndividual(index, row.OffspringID), FindIndividual(index, row.ParentID)};
    if (p.Offspring > 0 && p.Parent > 0) pairs.push_back(p);
  }
  return pairs;
}

void CountSexAgeSize(AgeVariables& av, const SampleRoster& roster,
                     const std::array<int, 3>& NumAgeClass) {
  av.MaxNumAgeClass = std::max(NumAgeClass[1], NumAgeClass[2]);
  av.SexAgeSize.Reset(0, av.MaxNumAgeClass, 1, 2, 0);
  for (int i = 1; i <= roster.Size(); ++i)
    if (InClasses(roster.Sex[i], roster.Age[i], NumAgeClass))
      av.SexAgeSize(roster.Age[i], roster.Sex[i]) += 1;
  if (av.Factor.size() < static_cast<std::size_t>(av.MaxNumAgeClass) + 1)
    av.Factor.resize(static_cast<std::size_t>(av.MaxNumAgeClass) + 1, 1.0);
}

// True for a sampled individual of sex s in one of the classes 1..K.
static bool IsParentClassMember(const SampleRoster& roster, int i, int s, int K) {
  return roster.Sex[i] == s && roster.Age[i] >= 1 && roster.Age[i] <= K;
}

std::vector<int> BuildPairTables(AgeVariables& av, const SampleRoster& roster,
                                 const std::vector<PairIndex>& pairs, int s, int K) {
  av.SampledCounts.assign(static_cast<std::size_t>(K) + 1, 0);
  for (int a = 1; a <= K; ++a) {
    av.SampledCounts[a] = av.SexAgeSize(a, s);
    av.SampledCounts[0] += av.SampledCounts[a];
  }

  av.PODyadCounts.Reset(0, K - 1, 0, K, 0);
  for (const PairIndex& p : pairs) {
    const int offAge = roster.Age[p.Offspring];
    const int parAge = roster.Age[p.Parent];
    // Older offspring are not counted; a parent outside the columns (a
    // known parent of the wrong sex or age) cannot be placed either.
    if (offAge >= 0 && offAge < K && parAge >= 0 && parAge <= K)
      av.PODyadCounts(offAge, parAge) += 1;
  }
  for (int a = 0; a <= K - 1; ++a) {
    const bool inTable = a <= av.SexAgeSize.RowHi();
    av.PODyadCounts(a, 0) = inTable ? av.SexAgeSize(a, 1) + av.SexAgeSize(a, 2) : 0;
  }

  std::vector<int> OffNum(static_cast<std::size_t>(roster.Size()) + 1, 0);
  for (const PairIndex& p : pairs) OffNum[p.Parent] += 1;
  av.MaxOff = 0;
  for (int i = 1; i <= roster.Size(); ++i)
    if (IsParentClassMember(roster, i, s, K)) av.MaxOff = std::max(av.MaxOff, OffNum[i]);
  av.NumOff.Reset(0, av.MaxOff, 1, K, 0);
  for (int i = 1; i <= roster.Size(); ++i)
    if (IsParentClassMember(roster, i, s, K)) av.NumOff(OffNum[i], roster.Age[i]) += 1;
  return OffNum;
}

double FamilySizeFactor(double T, double U, int M) {
  if (!(U > 0.1)) return 1.0;
  return T * (T - 1.0) / (static_cast<double>(M) * U);
}

void ComputeFactors(AgeVariables& av, const SampleRoster& roster,
                    const std::vector<int>& OffNum, int s, int K) {
  if (av.Factor.size() < static_cast<std::size_t>(K) + 1)
    av.Factor.resize(static_cast<std::size_t>(K) + 1, 1.0);
  std::vector<double> T(static_cast<std::size_t>(K) + 1, 0.0), U(T);
  for (int i = 1; i <= roster.Size(); ++i) {
    if (!IsParentClassMember(roster, i, s, K)) continue;
    const double n = OffNum[i];
    T[roster.Age[i]] += n;
    U[roster.Age[i]] += n * (n - 1.0);
  }
  for (int a = 1; a <= K; ++a)
    av.Factor[a] = av.FamilySizeDist == 1 ? 1.0 : FamilySizeFactor(T[a], U[a], av.SexAgeSize(a, s));
}

void PrepareOriginalCopies(AgeVariables& av) {
  av.SexAgeSize0 = av.SexAgeSize;
  const int m = av.MaxNumAgeClass;
  for (int s = 1; s <= 2; ++s) {
    av.PODyadCounts0[s].Reset(0, m, 1, m, 0);
    av.NumOff0[s].Reset(0, std::max(av.SmplSize, 0), 1, m, 0);
    av.NumOff0Bound[s] = 0;
  }
}

void KeepOriginalCopies(AgeVariables& av, int s, int K) {
  Table2<int>& pod = av.PODyadCounts0[s];
  for (int a = 0; a <= K - 1; ++a)
    for (int j = 1; j <= K; ++j) pod(a, j) = av.PODyadCounts(a, j);
  Table2<int>& off = av.NumOff0[s];
  if (off.RowHi() < av.MaxOff || off.ColHi() < K) {
    // More offspring than individuals: only a malformed assignment file
    // can give that; widen the copy rather than lose rows.
    Table2<int> wider(0, std::max(av.MaxOff, off.RowHi()), 1, std::max(K, off.ColHi()), 0);
    off = wider;
  }
  for (int n = 0; n <= av.MaxOff; ++n)
    for (int k = 1; k <= K; ++k) off(n, k) = av.NumOff(n, k);
  av.NumOff0Bound[s] = av.MaxOff;
}

int SearchMaxSize(const AgeVariables& av, int rep, int s, int K) {
  if (rep == 0) return 10000;
  long long largest = 0;
  const Table2<int>& size = av.AgeClassSize;
  for (int a = 1; a <= K; ++a)
    if (!size.Empty() && a >= size.RowLo() && a <= size.RowHi() && s >= size.ColLo() &&
        s <= size.ColHi())
      largest = std::max(largest, static_cast<long long>(size(a, s)));
  return static_cast<int>(std::min(100LL * largest, 100000LL));
}

void StoreEstimates(const std::vector<double>& X, int K, int offset, bool SKnown,
                    const std::vector<double>& Factor, EstimateBlock& est) {
  double sum = 0.0;
  for (int a = 1; a <= K - 1; ++a) {
    est(offset + a, 1) = 0.5 * X[a];
    sum += est(offset + a, 1);
  }
  est(offset + K, 1) = 0.5 - sum;
  for (int a = 1; a <= K; ++a) {
    est(offset + a, 2) = X[K - 1 + a];
    if (!SKnown) est(offset + a, 3) = X[2 * K - 1 + a];
    est(offset + a, 4) = est(offset + a, 2) * Factor[a];
  }
}

}  // namespace estimation
