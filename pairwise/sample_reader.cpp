// Reader of the sample file "AgeSexGtype.dat": run parameters, markers,
// individuals, proportions of parents sampled, known and excluded parents.
// Every read sets the message that a failure of that read reports; a failed
// read or check ends in a CompanionStop carrying that message.
#include "pairwise/sample_reader.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <new>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/fixed_format.h"
#include "common/free_form_reader.h"
#include "common/index_sort.h"
#include "pairwise/stop.h"

namespace pairwise {

namespace {

using common::ReadTarget;

constexpr const char* kSampleFile = "AgeSexGtype.dat";
constexpr int kMaxAge = 50;
constexpr int kMaxBootstrap = 100000;

// Check predicates on single values; NaN never passes a range check.
bool IsProportion(double x) { return x >= 0.0 && x <= 1.0; }
bool IsErrorRate(double x) { return x > -1e-300 && x <= 1.0; }
bool IsSampledShare(double x) { return x >= 0.001; }

template <class T, class Pred>
bool AllOf(const std::vector<T>& v, int first, int last, Pred ok) {
  for (int i = first; i <= last; ++i)
    if (!ok(v[static_cast<std::size_t>(i)])) return false;
  return true;
}

std::size_t Sz(long long n) { return static_cast<std::size_t>(n); }

std::string Blank() { return std::string(Sz(kIdLen), ' '); }

// "<what><index> has the same ID, <id>, as <what><earlier index>"
std::string DuplicateMessage(const char* what, const char* what2, int later, int earlier,
                             const std::string& id) {
  return std::string(what) + common::FmtInt(later, 8) + " has the same ID, " +
         common::TrimRight(id) + ", as " + what2 + common::FmtInt(earlier, 8);
}

std::string OffspringNotFound(const std::string& id) {
  return " Offspring ID, " + common::TrimRight(id) + ", not found in the offspring pool!";
}

std::string CandidateNotFound(const std::string& id) {
  return " Candidate ID, " + common::TrimRight(id) + ", not found in the Candidate pool!";
}

// Known parents of sex k (1 fathers, 2 mothers) that contradict the sample.
std::string KnownParentOfOtherSex(int k, const std::string& parent, const std::string& offspring) {
  return std::string(k == 1 ? " Known father ID, " : " Known mother ID, ") +
         common::TrimRight(parent) + ", of offspring ID, " + common::TrimRight(offspring) +
         (k == 1 ? ", is not a male!" : ", is not a female!");
}

std::string TwoKnownParents(int k, const std::string& offspring, const std::string& first,
                            const std::string& second) {
  return " Offspring ID, " + common::TrimRight(offspring) +
         (k == 1 ? ", has two known fathers, " : ", has two known mothers, ") +
         common::TrimRight(first) + " and " + common::TrimRight(second) + "!";
}

// First adjacent pair of equal keys in sorted order: (later, earlier) in
// original numbering, or (0, 0) when all keys differ.
std::pair<int, int> FirstDuplicate(int n, const std::vector<std::string>& keys) {
  if (n < 2) return {0, 0};
  std::vector<int> indx(Sz(n) + 1, 0);
  common::IndexCh(n, keys, indx);
  for (int i = 2; i <= n; ++i)
    if (keys[Sz(indx[Sz(i)])] == keys[Sz(indx[Sz(i - 1)])]) return {indx[Sz(i)], indx[Sz(i - 1)]};
  return {0, 0};
}

// Sorted merge of one exclusion line against the sorted candidates: fills
// out[1..m] with the candidates' indices in ascending identifier order.
// False, with the first identifier that has no candidate of its own in
// missing, when one is not found; an identifier listed twice is such a one.
bool MergeExclusions(const std::vector<std::string>& cand, const std::vector<int>& candOrder,
                     int nc, const std::vector<std::string>& ids, int m, std::vector<int>& out,
                     std::string& missing) {
  std::vector<int> lineOrder(Sz(m) + 1, 0);
  common::IndexCh(m, ids, lineOrder);
  out.assign(Sz(m) + 1, 0);
  int q = 0;
  for (int p = 1; p <= m; ++p) {
    const std::string& x = ids[Sz(lineOrder[Sz(p)])];
    do {
      if (++q > nc) {
        missing = x;
        return false;
      }
    } while (cand[Sz(candOrder[Sz(q)])] != x);
    out[Sz(p)] = candOrder[Sz(q)];
  }
  return true;
}

// Lines of one block that name the same offspring add up: its list becomes
// the union, each candidate once, still in ascending identifier order (rank
// gives each candidate's place in that order). Distinct candidates, so the
// union never holds more than all of them.
void AddExclusions(Exclusion& e, const std::vector<int>& line, int count,
                   const std::vector<int>& rank) {
  if (e.NumExcluded == 0) {
    e.NumExcluded = count;
    e.CndIndex.assign(line.begin(), line.begin() + count + 1);
    return;
  }
  std::vector<int> merged(1, 0);
  merged.reserve(Sz(e.NumExcluded) + Sz(count) + 1);
  std::set_union(e.CndIndex.begin() + 1, e.CndIndex.begin() + e.NumExcluded + 1,
                 line.begin() + 1, line.begin() + count + 1, std::back_inserter(merged),
                 [&rank](int a, int b) { return rank[Sz(a)] < rank[Sz(b)]; });
  e.NumExcluded = static_cast<int>(merged.size()) - 1;
  e.CndIndex = std::move(merged);
}

class SampleFileReader {
 public:
  SampleFileReader(Variables& v, std::ifstream& in) : v_(v), in_(in), rd_(in) {}

  void ReadAll() {
    ReadHead();
    ReadMarkers();
    ReadIndividuals();
    ReadPropPrntSampled();
    FillCandidates();
    ReadKnownParents(1, ", known paternity");
    ReadKnownParents(2, ", known maternity");
    for (int k = 1; k <= 2; ++k) v_.ExcludedParent[Sz(k)].assign(Sz(v_.SmplSize) + 1, Exclusion{});
    ReadExclusions(1, ", Known excluded paternity");
    ReadExclusions(2, ", Known excluded maternity");
  }

 private:
  [[noreturn]] void Fail() {
    v_.ErrorMessage = {msg_, kDataLine2, kDataLine3, "", ""};
    throw CompanionStop(v_.ErrorMessage);
  }
  [[noreturn]] void FailCheck(std::string text) {
    msg_ = std::move(text);
    Fail();
  }
  void Read(const std::vector<ReadTarget>& targets) {
    if (!rd_.Read(targets)) Fail();
  }
  // Message of the next numbered line; a large sample's line numbers widen
  // the field rather than hide behind asterisks.
  void NextLine(const char* text) {
    msg_ = "Error in reading line" + common::FmtIntAtLeast(++line_, 4) + text;
  }
  void Message(const char* text) { msg_ = text; }

  void ReadHead();
  void ReadSamplingProportions();
  void ReadMarkers();
  void ReadIndividuals();
  void ReadPropPrntSampled();
  void FillCandidates();
  void ReadKnownParents(int k, const char* countText);
  void ReadExclusions(int k, const char* countText);
  void ReadExclusionLine(int nc, std::string& id, int& m, std::vector<std::string>& ids);
  int FindOffspring(const std::string& id) const {
    const auto it = index_.find(id);
    return it == index_.end() ? 0 : it->second;
  }

  Variables& v_;
  std::ifstream& in_;
  common::FreeFormReader rd_;
  long long line_ = 0;
  std::string msg_;
  std::unordered_map<std::string, int> index_;  // identifier -> individual
};

void SampleFileReader::ReadHead() {
  Message("Error in reading line 1, Dataset Name");
  Read({ReadTarget::Text(v_.DatasetName, kNameLen)});
  Message("Error in reading line 2, Output File Name");
  Read({ReadTarget::Text(v_.FName, kNameLen)});
  v_.FName = common::TrimBoth(v_.FName);

  Message("Error in reading line 3, Offspring Sample Size");
  Read({ReadTarget::Int(v_.SmplSize)});
  if (v_.SmplSize < 1) FailCheck("The sample size of offspring should be greater than 0!");

  Message("Error in reading line 4, Maximal age for males & females");
  Read({ReadTarget::Int(v_.NumAgeClass[1]), ReadTarget::Int(v_.NumAgeClass[2])});
  if (v_.NumAgeClass[1] < 1) FailCheck("The maximal age for males is too small!");
  if (v_.NumAgeClass[1] > kMaxAge) FailCheck("The maximal age for males is too large!");
  if (v_.NumAgeClass[2] < 1) FailCheck("The maximal age for females is too small!");
  if (v_.NumAgeClass[2] > kMaxAge) FailCheck("The maximal age for females is too large!");
  v_.NumAgeClass[0] = v_.NumAgeClass[1] + v_.NumAgeClass[2];

  Message("Error in reading line 5, Minimal reproductive age for males & females");
  Read({ReadTarget::Int(v_.MinParentAge[1]), ReadTarget::Int(v_.MinParentAge[2])});
  if (v_.MinParentAge[1] < 1) FailCheck("The minimal reproductive age for males is too small!");
  if (v_.MinParentAge[1] > v_.NumAgeClass[1])
    FailCheck("The minimal reproductive age for males is too large!");
  if (v_.MinParentAge[2] < 1) FailCheck("The minimal reproductive age for females is too small!");
  if (v_.MinParentAge[2] > v_.NumAgeClass[2])
    FailCheck("The minimal reproductive age for females is too large!");

  Message("Error in reading line 6, assumed family size distribution!");
  Read({ReadTarget::Int(v_.FamilySizeDist)});
  if (v_.FamilySizeDist != 0 && v_.FamilySizeDist != 1)
    FailCheck("The indicator for assumed family size distribution must be 1/0 for Poisson/Other distribution!");

  Message("Error in reading line 7, sampling proportion known/unknown for each age class!");
  Read({ReadTarget::Int(v_.SamplingPrbKnown)});
  if (v_.SamplingPrbKnown != 0 && v_.SamplingPrbKnown != 1)
    FailCheck("The indicator for sampling proportion must be 1/0 for known/unknown!");
  line_ = 7;
  if (v_.SamplingPrbKnown == 1) ReadSamplingProportions();

  NextLine(", number of bootstrapping samples!");
  Read({ReadTarget::Int(v_.NumCI95Sample)});
  if (v_.NumCI95Sample < 0) FailCheck("The number of bootstrapping samples must be >=0!");
  if (v_.NumCI95Sample > kMaxBootstrap) FailCheck("The number of bootstrapping samples is too big!");

  NextLine(", Number of Loci");
  Read({ReadTarget::Int(v_.NumLoci)});
  if (v_.NumLoci < 1) FailCheck("The number of loci should be greater than 0!");

  NextLine(", Confidence level for parentage assignment");
  int confidence = 0;  // kept by the main program only
  Read({ReadTarget::Int(confidence)});
}

void SampleFileReader::ReadSamplingProportions() {
  Message("Error in reading known sampling proportions of each age class");
  for (int k = 1; k <= 2; ++k) {
    std::vector<double>& prb = v_.SamplingPrbPrior[Sz(k)];
    prb.assign(Sz(v_.NumAgeClass[Sz(k)]) + 1, 0.0);
    std::vector<ReadTarget> t;
    common::AppendReals(t, prb, 1, v_.NumAgeClass[Sz(k)]);
    Read(t);
    if (!AllOf(prb, 1, v_.NumAgeClass[Sz(k)], IsProportion))
      FailCheck("Invalid values for known sampling proportions!");
  }
  line_ = 9;
}

void SampleFileReader::ReadMarkers() {
  const int nl = v_.NumLoci;
  NextLine(", Marker IDs");
  v_.MarkerID.assign(Sz(nl) + 1, std::string());
  std::vector<ReadTarget> t;
  common::AppendTexts(t, v_.MarkerID, 1, nl, kIdLen);
  Read(t);
  for (int l = 1; l <= nl; ++l)
    v_.MarkerID[Sz(l)] = common::AdjustRight(common::PadRight(v_.MarkerID[Sz(l)], kIdLen));
  const auto [later, earlier] = FirstDuplicate(nl, v_.MarkerID);
  if (later != 0) FailCheck(DuplicateMessage("Marker", "Marker", later, earlier, v_.MarkerID[Sz(later)]));

  NextLine(", indicators for marker types per locus");
  std::vector<int> types(Sz(nl) + 1, 0);
  t.clear();
  common::AppendInts(t, types, 1, nl);
  Read(t);
  if (!AllOf(types, 1, nl, [](int x) { return x == 0 || x == 1; }))
    FailCheck("Marker type should be either 1 (dominant) or 0 (codominant)!");
  v_.DominantMarker.assign(types.begin(), types.end());

  v_.DropRate.assign(Sz(nl) + 1, 0.0);
  v_.OtherErrorRate.assign(Sz(nl) + 1, 0.0);
  NextLine(", Dropout Rate per locus");
  t.clear();
  common::AppendReals(t, v_.DropRate, 1, nl);
  Read(t);
  NextLine(", Other Error Rate per locus");
  t.clear();
  common::AppendReals(t, v_.OtherErrorRate, 1, nl);
  Read(t);
  if (!AllOf(v_.DropRate, 1, nl, IsErrorRate) || !AllOf(v_.OtherErrorRate, 1, nl, IsErrorRate))
    FailCheck("Marker error rate is out of the range [0, 1]!");
}

void SampleFileReader::ReadIndividuals() {
  const int s = v_.SmplSize, nl = v_.NumLoci;
  v_.IndivGtypeData.assign(Sz(2) * Sz(nl) * Sz(s), 0);
  v_.OffspringID.assign(Sz(s) + 1, std::string());
  v_.IndivSex.assign(Sz(s) + 1, 0);
  v_.IndivAge.assign(Sz(s) + 1, 0);
  std::vector<int> codes(Sz(nl) + 1, 0);  // codes per individual at each locus
  for (int l = 1; l <= nl; ++l) codes[Sz(l)] = 2 - v_.DominantMarker[Sz(l)];

  v_.MaxAgeIndex = std::max(v_.NumAgeClass[1], v_.NumAgeClass[2]);
  std::vector<ReadTarget> t;
  t.reserve(Sz(3) + Sz(2) * Sz(nl));
  for (int i = 1; i <= s; ++i) {
    NextLine(", Data or data format error in offspring ID/Sex/Age/genotypes");
    t.clear();
    t.push_back(ReadTarget::Text(v_.OffspringID[Sz(i)], kIdLen));
    t.push_back(ReadTarget::Int(v_.IndivSex[Sz(i)]));
    t.push_back(ReadTarget::Int(v_.IndivAge[Sz(i)]));
    for (int l = 1; l <= nl; ++l)
      for (int a = 1; a <= codes[Sz(l)]; ++a) t.push_back(ReadTarget::Int(v_.IndivGtype(a, l, i)));
    v_.IndivAge[Sz(i)] = -1;  // an empty age field is no age 0
    Read(t);
    // Sex and age index the per-sex and per-age tables: out of range is a
    // fault of this line. So is a "/" before the last value (108/114 for a
    // genotype would leave the rest of the line missing), and an identifier
    // that the assignment files, which hold it unquoted, could not give back
    // as itself (a blank one no known-parent or exclusion line could name).
    const int sex = v_.IndivSex[Sz(i)], age = v_.IndivAge[Sz(i)];
    if ((sex != 1 && sex != 2) || age < 0 || age > v_.MaxAgeIndex) Fail();
    if (rd_.LastReadEndedAtSlash()) Fail();
    if (!common::ReadsBackUnquoted(v_.OffspringID[Sz(i)])) Fail();
  }

  const auto [later, earlier] = FirstDuplicate(s, v_.OffspringID);
  if (later != 0)
    FailCheck(DuplicateMessage("Offspring", "offspring", later, earlier, v_.OffspringID[Sz(later)]));

  for (int l = 1; l <= nl; ++l)
    if (v_.DominantMarker[Sz(l)] == 1)
      for (int i = 1; i <= s; ++i) v_.IndivGtype(2, l, i) = v_.IndivGtype(1, l, i);
}

void SampleFileReader::ReadPropPrntSampled() {
  NextLine(", Proportions of parents sampled");
  Read({ReadTarget::Real(v_.PropPrntSampled[1]), ReadTarget::Real(v_.PropPrntSampled[2])});
  if (!IsSampledShare(v_.PropPrntSampled[1]) || !IsSampledShare(v_.PropPrntSampled[2]))
    FailCheck("Probability of a parent included in candidates should be >= 0.001!");
  // Above 1 the trials would simulate fewer candidates than were sampled.
  if (v_.PropPrntSampled[1] > 1.0 || v_.PropPrntSampled[2] > 1.0)
    FailCheck("Probability of a parent included in candidates should be <= 1!");
}

void SampleFileReader::FillCandidates() {
  const int s = v_.SmplSize, nl = v_.NumLoci;
  v_.NumCandidate = {0, s, s};
  v_.CndGtypeData.resize(Sz(2) * Sz(s) * Sz(nl) * 2);
  const std::size_t block = Sz(2) * Sz(nl);
  for (int k = 1; k <= 2; ++k) {
    v_.CndParentID[Sz(k)].assign(Sz(s) + 1, std::string());
    for (int j = 1; j <= s; ++j) {
      v_.CndParentID[Sz(k)][Sz(j)] = v_.OffspringID[Sz(j)];
      std::copy_n(v_.IndivG(j), block, v_.CndG(j, k));
    }
  }

  v_.AgeSizeData.assign(Sz(2) * (Sz(v_.MaxAgeIndex) + 1), 0);
  for (int i = 1; i <= s; ++i) ++v_.AgeSize(v_.IndivAge[Sz(i)], v_.IndivSex[Sz(i)]);

  // Identifiers are unique by now: a map gives the same answer as a scan.
  index_.reserve(Sz(s));
  for (int i = 1; i <= s; ++i) index_.emplace(v_.OffspringID[Sz(i)], i);
}

void SampleFileReader::ReadKnownParents(int k, const char* countText) {
  std::vector<int>& parent = v_.IndivParent[Sz(k)];
  parent.assign(Sz(v_.SmplSize) + 1, -1);
  NextLine(countText);
  int n = 0;
  Read({ReadTarget::Int(n)});
  std::string offspring, candidate;
  for (int p = 1; p <= n; ++p) {
    NextLine(", known offspring-parent IDs");
    // A null value leaves its identifier blank (never the previous line's),
    // and a blank identifier names nobody.
    offspring = Blank();
    candidate = Blank();
    Read({ReadTarget::Text(offspring, kIdLen), ReadTarget::Text(candidate, kIdLen)});
    const int g = FindOffspring(offspring);
    if (g == 0) FailCheck(OffspringNotFound(offspring));
    const int j = FindOffspring(candidate);  // every individual is a candidate
    if (j == 0) FailCheck(CandidateNotFound(candidate));
    // A parent of the other sex would count as one in the pair table and not
    // in the family sizes; two parents for one offspring leave one unused.
    if (v_.IndivSex[Sz(j)] != k) FailCheck(KnownParentOfOtherSex(k, candidate, offspring));
    const int earlier = parent[Sz(g)];
    if (earlier >= 1 && earlier != j)
      FailCheck(TwoKnownParents(k, offspring, v_.OffspringID[Sz(earlier)], candidate));
    parent[Sz(g)] = j;
  }
}

// One read of "offspring, count m, m identifiers". The count decides how many
// targets the read has, so the count is taken by a first look at the line and
// the whole read is then made from the same place. At most nc + 1 identifiers
// are taken: that many can never all be distinct candidates.
void SampleFileReader::ReadExclusionLine(int nc, std::string& id, int& m,
                                         std::vector<std::string>& ids) {
  const std::streampos start = in_.tellg();
  if (start == std::streampos(-1)) Fail();
  // Null values leave the offspring blank and the count 0, never the
  // previous line's values.
  id = Blank();
  m = 0;
  common::FreeFormReader look(in_);
  if (!look.Read({ReadTarget::Text(id, kIdLen), ReadTarget::Int(m)})) Fail();
  in_.clear();
  in_.seekg(start);
  const int count = std::clamp(m, 0, nc + 1);
  if (ids.size() < Sz(count) + 1) ids.resize(Sz(count) + 1);
  std::fill(ids.begin() + 1, ids.begin() + count + 1, Blank());
  std::vector<ReadTarget> t{ReadTarget::Text(id, kIdLen), ReadTarget::Int(m)};
  common::AppendTexts(t, ids, 1, count, kIdLen);
  Read(t);
}

void SampleFileReader::ReadExclusions(int k, const char* countText) {
  NextLine(countText);
  int n = 0;
  Read({ReadTarget::Int(n)});
  if (n < 1) return;
  const int nc = v_.NumCandidate[Sz(k)];
  const std::vector<std::string>& cand = v_.CndParentID[Sz(k)];
  std::vector<int> candOrder(Sz(nc) + 1, 0);
  common::IndexCh(nc, cand, candOrder);
  std::vector<int> rank(Sz(nc) + 1, 0);  // candidate -> place in identifier order
  for (int q = 1; q <= nc; ++q) rank[Sz(candOrder[Sz(q)])] = q;

  std::string id;
  int m = 0;
  std::vector<std::string> ids(1);
  bool havePrev = false;
  std::vector<std::string> prevIds;
  std::vector<int> prevIndex;  // the previous line's own list, not a union
  for (int line = 1; line <= n; ++line) {
    NextLine(", Known excluded paternity/maternity");
    ReadExclusionLine(nc, id, m, ids);
    const int g = FindOffspring(id);
    if (g == 0) FailCheck(OffspringNotFound(id));
    const int count = std::clamp(m, 0, nc + 1);
    const bool same = havePrev && Sz(count) + 1 == prevIds.size() &&
                      std::equal(prevIds.begin() + 1, prevIds.end(), ids.begin() + 1);
    if (!same) {
      std::string missing;
      if (!MergeExclusions(cand, candOrder, nc, ids, count, prevIndex, missing))
        FailCheck(CandidateNotFound(missing));
      prevIds.assign(ids.begin(), ids.begin() + count + 1);
      havePrev = true;
    }
    AddExclusions(v_.ExcludedParent[Sz(k)][Sz(g)], prevIndex, count, rank);
  }
}

}  // namespace

void ReadData(Variables& v) {
  v.ErrorMessage = {};
  std::ifstream in(kSampleFile, std::ios::binary);
  if (!in) {
    v.ErrorMessage = {std::string("Input file ") + kSampleFile + " does not exist!", "", "", "", ""};
    throw CompanionStop(v.ErrorMessage);
  }
  try {
    SampleFileReader(v, in).ReadAll();
  } catch (const std::bad_alloc&) {
    throw CompanionStop({}, true);
  } catch (const std::length_error&) {
    throw CompanionStop({}, true);
  }
  v.ErrorMessage = {};
}

}  // namespace pairwise
