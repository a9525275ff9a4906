// Reader of the control and data file "Tavimorelund.dat": run parameters,
// markers and individuals up to the proportions of parents sampled. The
// known-parent and exclusion blocks after them belong to the companion program.
#include "estimation/control_reader.h"

#include <cstddef>
#include <fstream>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/fixed_format.h"
#include "common/free_form_reader.h"
#include "common/index_sort.h"
#include "estimation/wall_clock.h"

namespace estimation {

namespace {

using common::ReadTarget;

constexpr const char* kControlFile = "Tavimorelund.dat";
constexpr std::size_t kNameLength = 100;
constexpr std::size_t kIdLength = 20;
constexpr int kMaxAge = 50;
constexpr int kMaxBootstrap = 100000;

// "Error in reading line" + the line number in 4 columns (wider when it
// needs more) + the item text.
std::string Numbered(long long line, const char* text) {
  return "Error in reading line" + common::FmtIntAtLeast(line, 4) + text;
}

void Check(bool fault, const char* message) {
  if (fault) throw StopError(message);
}

// A proportion or rate in [lo, 1]; NaN is out of range as well.
bool OutOfUnit(double v) { return !(v >= 0.0 && v <= 1.0); }
bool BadErrorRate(double v) { return !(v > -1e-300 && v <= 1.0); }

// Genotype codes as read: slot 1..2, locus 1..NumLoci, individual 1..SmplSize.
class CodeTable {
 public:
  void Create(int num_loci, int smpl_size) {
    loci_ = static_cast<std::size_t>(num_loci);
    codes_.assign(2 * loci_ * static_cast<std::size_t>(smpl_size), 0);
  }
  int& operator()(int slot, int l, int i) {
    return codes_[((static_cast<std::size_t>(i) - 1) * loci_ + static_cast<std::size_t>(l) - 1) *
                      2 +
                  static_cast<std::size_t>(slot) - 1];
  }

 private:
  std::size_t loci_ = 0;
  std::vector<int> codes_;
};

class ControlReader {
 public:
  ControlReader(AgeVariables& av, std::istream& in) : av_(av), reader_(in) {}

  void Run() {
    ReadRunParameters();
    ReadMarkers();
    ReadIndividuals();
    ComputeAlleleFrequencies();
    ReadParentProportions();
  }

 private:
  void ReadOrStop(const std::vector<ReadTarget>& targets, const std::string& message) {
    if (!reader_.Read(targets)) throw StopError(message);
  }

  // Every estimation pass skips the header by counting lines and re-reads
  // one individual per line, so these items may not continue on a next line.
  void ReadLineOrStop(const std::vector<ReadTarget>& targets, const std::string& message) {
    ReadOrStop(targets, message);
    if (!reader_.LastReadOnOneLine())
      throw StopError(message + ": the values must stand on one line");
  }

  void ReadRunParameters();
  void ReadSamplingProportions(int sex);
  void ReadMarkers();
  void CheckDuplicateMarkers();
  void ReadIndividuals();
  void CheckIndividual(int i, const std::string& message) const;
  void ComputeAlleleFrequencies();
  void ReadParentProportions();

  AgeVariables& av_;
  common::FreeFormReader reader_;
  int c_ = 7;  // line of the last header item before the replicate count
  CodeTable codes_;
  std::vector<int> num_gtype_allele_;  // codes per individual line and locus
};

void ControlReader::ReadRunParameters() {
  av_.DatasetName = std::string(kNameLength, ' ');
  ReadLineOrStop({ReadTarget::Text(av_.DatasetName, kNameLength)},
             "Error in reading line 1, Dataset Name");

  std::string fname(kNameLength, ' ');
  ReadLineOrStop({ReadTarget::Text(fname, kNameLength)}, "Error in reading line 2, Output File Name");
  av_.FName[1] = common::TrimBoth(fname);

  ReadLineOrStop({ReadTarget::Int(av_.SmplSize)}, "Error in reading line 3, Offspring Sample Size");
  Check(av_.SmplSize < 1, "The sample size of offspring should be greater than 0!");

  ReadLineOrStop({ReadTarget::Int(av_.NumAgeClass[1]), ReadTarget::Int(av_.NumAgeClass[2])},
             "Error in reading line 4, Maximal age for males & females");
  Check(av_.NumAgeClass[1] < 1, "The maximal age for males is too small!");
  Check(av_.NumAgeClass[1] > kMaxAge, "The maximal age for males is too large!");
  Check(av_.NumAgeClass[2] < 1, "The maximal age for females is too small!");
  Check(av_.NumAgeClass[2] > kMaxAge, "The maximal age for females is too large!");
  av_.NumAgeClass[0] = av_.NumAgeClass[1] + av_.NumAgeClass[2];

  ReadLineOrStop({ReadTarget::Int(av_.MinParentAge[1]), ReadTarget::Int(av_.MinParentAge[2])},
             "Error in reading line 5, Minimal reproductive age for males & females");
  Check(av_.MinParentAge[1] < 1, "The minimal reproductive age for males is too small!");
  Check(av_.MinParentAge[1] > av_.NumAgeClass[1],
        "The minimal reproductive age for males is too large!");
  Check(av_.MinParentAge[2] < 1, "The minimal reproductive age for females is too small!");
  Check(av_.MinParentAge[2] > av_.NumAgeClass[2],
        "The minimal reproductive age for females is too large!");

  ReadLineOrStop({ReadTarget::Int(av_.FamilySizeDist)},
             "Error in reading line 6, assumed family size distribution!");
  Check(av_.FamilySizeDist != 0 && av_.FamilySizeDist != 1,
        "The indicator for assumed family size distribution must be 1/0 for "
        "Poisson/Other distribution!");

  ReadLineOrStop({ReadTarget::Int(av_.SamplingPrbKnown)},
             "Error in reading line 7, sampling proportion known/unknown for each age class!");
  Check(av_.SamplingPrbKnown != 0 && av_.SamplingPrbKnown != 1,
        "The indicator for sampling proportion must be 1/0 for known/unknown!");
  if (av_.SamplingPrbKnown == 1) {
    ReadSamplingProportions(1);
    ReadSamplingProportions(2);
    c_ = 9;
  }

  ReadLineOrStop({ReadTarget::Int(av_.NumCI95Sample)},
             Numbered(c_ + 1, ", number of bootstrapping samples!"));
  Check(av_.NumCI95Sample < 0, "The number of bootstrapping samples must be >=0!");
  Check(av_.NumCI95Sample > kMaxBootstrap, "The number of bootstrapping samples is too big!");

  ReadLineOrStop({ReadTarget::Int(av_.NumLoci)}, Numbered(c_ + 2, ", Number of Loci"));
  Check(av_.NumLoci < 1, "The number of loci should be greater than 0!");

  int level = 0;
  ReadLineOrStop({ReadTarget::Int(level)},
             Numbered(c_ + 3, ", Confidence level for parentage assignment"));
  av_.ConfidenceLevel = common::FmtInt(level, 2);
  av_.ConfidencePercent = level;
}

void ControlReader::ReadSamplingProportions(int sex) {
  std::vector<double>& prb = av_.SamplingPrbPrior[static_cast<std::size_t>(sex)];
  const int n = av_.NumAgeClass[static_cast<std::size_t>(sex)];
  prb.assign(static_cast<std::size_t>(n) + 1, 0.0);
  std::vector<ReadTarget> targets;
  common::AppendReals(targets, prb, 1, n);
  ReadLineOrStop(targets, "Error in reading known sampling proportions of each age class");
  for (int a = 1; a <= n; ++a)
    Check(OutOfUnit(prb[static_cast<std::size_t>(a)]),
          "Invalid values for known sampling proportions!");
}

void ControlReader::ReadMarkers() {
  const int n = av_.NumLoci;
  const std::size_t size = static_cast<std::size_t>(n) + 1;
  av_.Dominant.assign(size, 0);
  av_.ObsNumAllele.assign(size, 0);
  av_.MarkerID.assign(size, std::string(kIdLength, ' '));

  std::vector<ReadTarget> targets;
  common::AppendTexts(targets, av_.MarkerID, 1, n, kIdLength);
  ReadLineOrStop(targets, Numbered(c_ + 4, ", Marker IDs"));
  CheckDuplicateMarkers();

  targets.clear();
  common::AppendInts(targets, av_.Dominant, 1, n);
  ReadLineOrStop(targets, Numbered(c_ + 5, ", indicators for marker types per locus"));
  for (int l = 1; l <= n; ++l) {
    const int d = av_.Dominant[static_cast<std::size_t>(l)];
    Check(d > 1 || d < 0, "Marker type should be either 1 (dominant) or 0 (codominant)!");
  }

  av_.DropRate.assign(size, 0.0);
  av_.OtherRate.assign(size, 0.0);
  targets.clear();
  common::AppendReals(targets, av_.DropRate, 1, n);
  ReadLineOrStop(targets, Numbered(c_ + 6, ", Dropout Rate per locus"));
  targets.clear();
  common::AppendReals(targets, av_.OtherRate, 1, n);
  ReadLineOrStop(targets, Numbered(c_ + 7, ", Other Error Rate per locus"));
  for (int l = 1; l <= n; ++l) {
    const std::size_t k = static_cast<std::size_t>(l);
    Check(BadErrorRate(av_.DropRate[k]) || BadErrorRate(av_.OtherRate[k]),
          "Marker error rate is out of the range [0, 1]!");
  }
}

// Identifiers are compared right-justified in all 20 characters; the first
// adjacent equal pair in sorted order names both positions.
void ControlReader::CheckDuplicateMarkers() {
  const int n = av_.NumLoci;
  for (int l = 1; l <= n; ++l) {
    std::string& id = av_.MarkerID[static_cast<std::size_t>(l)];
    id = common::AdjustRight(common::PadRight(id, kIdLength));
  }
  std::vector<std::string> sort_character = av_.MarkerID;
  std::vector<int> indx(static_cast<std::size_t>(n) + 1, 0);
  try {
    common::IndexCh(n, sort_character, indx);
  } catch (const common::SortStackOverflow&) {
    throw StopError("NSTACK too small in indexx");
  }
  for (int k = 2; k <= n; ++k) {
    const int cur = indx[static_cast<std::size_t>(k)];
    const int prev = indx[static_cast<std::size_t>(k) - 1];
    const std::string& id = av_.MarkerID[static_cast<std::size_t>(cur)];
    if (id == av_.MarkerID[static_cast<std::size_t>(prev)])
      throw StopError("Marker" + common::FmtInt(cur, 8) + " has the same ID, " +
                      common::TrimRight(id) + ", as Marker" + common::FmtInt(prev, 8));
  }
}

void ControlReader::ReadIndividuals() {
  const int n = av_.NumLoci;
  const int s = av_.SmplSize;
  try {
    codes_.Create(n, s);
    num_gtype_allele_.assign(static_cast<std::size_t>(n) + 1, 0);
    av_.OffspringID.assign(static_cast<std::size_t>(s) + 1, std::string(kIdLength, ' '));
    av_.IndivSex.assign(static_cast<std::size_t>(s) + 1, 0);
    av_.IndivAge.assign(static_cast<std::size_t>(s) + 1, 0);
  } catch (const std::bad_alloc&) {
    throw StopError("Error in allocating arrays in subroutine ReadData");
  } catch (const std::length_error&) {
    throw StopError("Error in allocating arrays in subroutine ReadData");
  }
  for (int l = 1; l <= n; ++l)
    num_gtype_allele_[static_cast<std::size_t>(l)] = 2 - av_.Dominant[static_cast<std::size_t>(l)];

  std::vector<ReadTarget> targets;
  for (int i = 1; i <= s; ++i) {
    const std::size_t k = static_cast<std::size_t>(i);
    targets.clear();
    targets.push_back(ReadTarget::Text(av_.OffspringID[k], kIdLength));
    targets.push_back(ReadTarget::Int(av_.IndivSex[k]));
    targets.push_back(ReadTarget::Int(av_.IndivAge[k]));
    for (int l = 1; l <= n; ++l)
      for (int slot = 1; slot <= num_gtype_allele_[static_cast<std::size_t>(l)]; ++slot)
        targets.push_back(ReadTarget::Int(codes_(slot, l, i)));
    const std::string message =
        Numbered(static_cast<long long>(c_) + 7 + i,
                 ", Data or data format error in offspring ID/Sex/Age/genotypes");
    av_.IndivAge[k] = -1;  // an empty age field is no age 0
    ReadLineOrStop(targets, message);
    CheckIndividual(i, message);
    for (int l = 1; l <= n; ++l)
      if (av_.Dominant[static_cast<std::size_t>(l)] == 1) codes_(2, l, i) = codes_(1, l, i);
  }
}

// Every per-sex table is indexed by sex and by the age of that sex, so an
// individual outside them stops the run at its own line. So do a "/" before
// the line's last value (the rest of the line would stay missing) and an
// identifier that the assignment files, which hold it unquoted, could not
// give back as itself (a blank one nothing could name).
void ControlReader::CheckIndividual(int i, const std::string& message) const {
  const int sex = av_.IndivSex[static_cast<std::size_t>(i)];
  const int age = av_.IndivAge[static_cast<std::size_t>(i)];
  if (reader_.LastReadEndedAtSlash()) throw StopError(message);
  if (!common::ReadsBackUnquoted(av_.OffspringID[static_cast<std::size_t>(i)]))
    throw StopError(message);
  if (sex != 1 && sex != 2) throw StopError(message);
  if (age < 0 || age > av_.NumAgeClass[static_cast<std::size_t>(sex)]) throw StopError(message);
}

// Allele index a of a locus is the a-th distinct code in order of first
// appearance (individuals in file order, slot 1 before slot 2); only
// individuals typed in both slots count.
void ControlReader::ComputeAlleleFrequencies() {
  const int n = av_.NumLoci;
  const int s = av_.SmplSize;
  std::vector<std::vector<int>> allele_list(static_cast<std::size_t>(n) + 1);
  std::vector<std::vector<long long>> counts(static_cast<std::size_t>(n) + 1);
  av_.ObsMissingShare.assign(static_cast<std::size_t>(n) + 1, 0.0);
  av_.MaxObsNumAllele = 0;
  for (int l = 1; l <= n; ++l) {
    std::vector<int>& list = allele_list[static_cast<std::size_t>(l)];
    std::vector<long long>& count = counts[static_cast<std::size_t>(l)];
    int untyped = 0;
    for (int i = 1; i <= s; ++i) {
      const int c1 = codes_(1, l, i);
      const int c2 = codes_(2, l, i);
      if (c1 <= 0 || c2 <= 0) {
        ++untyped;
        continue;
      }
      for (const int code : {c1, c2}) {
        std::size_t a = 0;
        while (a < list.size() && list[a] != code) ++a;
        if (a == list.size()) {
          list.push_back(code);
          count.push_back(0);
        }
        ++count[a];
      }
    }
    const int num = static_cast<int>(list.size());
    av_.ObsNumAllele[static_cast<std::size_t>(l)] = num;
    if (num > av_.MaxObsNumAllele) av_.MaxObsNumAllele = num;
    av_.ObsMissingShare[static_cast<std::size_t>(l)] =
        static_cast<double>(untyped) / static_cast<double>(s);
  }

  av_.ObsAlleleFre.Reset(1, n, 1, av_.MaxObsNumAllele, 0.0);
  av_.ObsAlleleCode.Reset(1, n, 1, av_.MaxObsNumAllele, 0);
  for (int l = 1; l <= n; ++l) {
    const std::vector<int>& list = allele_list[static_cast<std::size_t>(l)];
    const std::vector<long long>& count = counts[static_cast<std::size_t>(l)];
    double sum = 0.0;
    for (const long long c : count) sum += static_cast<double>(c);
    for (std::size_t a = 0; a < list.size(); ++a) {
      const int col = static_cast<int>(a) + 1;
      av_.ObsAlleleFre(l, col) = static_cast<double>(count[a]) / sum;
      av_.ObsAlleleCode(l, col) = list[a];
    }
  }
}

// The companion checks the same range; checked here too, a bad value stops
// the run with its own message rather than as a failed companion run.
void ControlReader::ReadParentProportions() {
  ReadOrStop({ReadTarget::Real(av_.PropPrntSampled[1]), ReadTarget::Real(av_.PropPrntSampled[2])},
             Numbered(static_cast<long long>(c_) + 8 + av_.SmplSize,
                      ", Proportions of parents sampled"));
  for (const double p : {av_.PropPrntSampled[1], av_.PropPrntSampled[2]})
    Check(!(p >= 0.001), "Probability of a parent included in candidates should be >= 0.001!");
  for (const double p : {av_.PropPrntSampled[1], av_.PropPrntSampled[2]})
    Check(p > 1.0, "Probability of a parent included in candidates should be <= 1!");
}

}  // namespace

void ReadData(AgeVariables& av) {
  const LocalStamp start = LocalNow();
  av.Date2.replace(0, 8, DateText(start));
  av.Time2.replace(0, 10, TimeText(start));

  std::ifstream in(kControlFile);
  if (!in) throw StopError("Error in reading file Tavimorelund.dat in Subroutine ReadData");
  // The per-locus fields are sized by the file before their lines are read:
  // a number of loci too large for memory stops like the other creations.
  try {
    ControlReader(av, in).Run();
  } catch (const std::bad_alloc&) {
    throw StopError("Error in allocating arrays in subroutine ReadData");
  } catch (const std::length_error&) {
    throw StopError("Error in allocating arrays in subroutine ReadData");
  }
}

}  // namespace estimation
