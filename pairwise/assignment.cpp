#include "pairwise/assignment.h"

#include <cstdio>
#include <fstream>

#include "common/fixed_format.h"

namespace pairwise {

namespace {
constexpr int kFieldWidth = 21;
}  // namespace

CandidateScan ScanCandidates(const Variables& v, int s, int g, const std::vector<double>& IndivLogL,
                             const std::vector<int>& marks) {
  CandidateScan scan;
  const auto sz = static_cast<std::size_t>(s);
  const int minAge = v.MinParentAge[sz];
  const int age = v.IndivAge[static_cast<std::size_t>(g)];
  const double own = IndivLogL[static_cast<std::size_t>(g)];
  const std::vector<double>& candLogL = v.CandidateLogL[sz];
  for (int k = 1; k <= v.NumCandidate[sz]; ++k) {
    const auto kz = static_cast<std::size_t>(k);
    if (v.IndivSex[kz] != s || v.IndivAge[kz] - minAge < age || marks[kz] == g) continue;
    const double lod = static_cast<double>(v.PairLogL(g, k)) - own - candLogL[kz];
    if (lod > scan.best) {
      scan.second = scan.best;
      scan.best = lod;
      scan.chosen = k;
    } else if (lod > scan.second) {
      scan.second = lod;
    }
  }
  return scan;
}

int AssignmentLevel(double delta, const std::array<double, 11>& T) {
  if (delta < T[10]) return -1;
  int level = -1;
  for (int j = 9; j >= 1; --j) {
    if (delta < T[static_cast<std::size_t>(j)]) {
      level = j + 1;
      break;
    }
  }
  if (delta >= T[1]) level = 1;
  return level;
}

std::string ConfidenceText(int L) {
  std::string text = common::TrimBoth(common::FmtInt(100 - 5 * L, 3)) + "%";
  return common::PadRight(text, 4);
}

std::string AssignmentFileName(const Variables& v, int s) {
  return common::TrimRight(v.FName) + (s == 1 ? ".PairwisePaternity" : ".PairwiseMaternity");
}

std::string AssignmentHeader() {
  return common::FmtText("OffspringID", kFieldWidth) + common::FmtText("CandidateID", kFieldWidth) +
         common::FmtText("Confidence", kFieldWidth);
}

std::string AssignmentRow(const std::string& offspringID, const std::string& candidateID,
                          const std::string& confidence) {
  const auto field = [](const std::string& id) {
    return common::FmtText(common::AdjustRight(common::PadRight(id, kIdLen)), kFieldWidth);
  };
  return field(offspringID) + field(candidateID) + common::FmtText(confidence, kFieldWidth);
}

void WriteAssignmentFile(const Variables& v, int s, const std::vector<double>& IndivLogL) {
  const auto sz = static_cast<std::size_t>(s);
  const std::string name = AssignmentFileName(v, s);
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out << AssignmentHeader() << '\n';
  std::vector<int> marks(static_cast<std::size_t>(v.NumCandidate[sz]) + 1, 0);
  for (int g = 1; g <= v.SmplSize; ++g) {
    const auto gz = static_cast<std::size_t>(g);
    // An offspring too old to have a parent of this sex among the sampled
    // age classes gets no row, not even for a known parent.
    if (v.IndivAge[gz] > v.NumAgeClass[sz] - v.MinParentAge[sz]) continue;
    int chosen = v.IndivParent[sz][gz];
    int level = 0;
    if (chosen < 1) {
      const Exclusion& ex = v.ExcludedParent[sz][gz];
      for (int e = 1; e <= ex.NumExcluded; ++e) marks[static_cast<std::size_t>(ex.CndIndex[static_cast<std::size_t>(e)])] = g;
      const CandidateScan scan = ScanCandidates(v, s, g, IndivLogL, marks);
      const bool otherKnown = v.IndivParent[static_cast<std::size_t>(3 - s)][gz] >= 1;
      level = AssignmentLevel(scan.best - scan.second, otherKnown ? v.Threshold2[sz] : v.Threshold[sz]);
      chosen = level < 0 ? 0 : scan.chosen;
    }
    if (chosen < 1) continue;
    out << AssignmentRow(v.OffspringID[gz], v.CndParentID[sz][static_cast<std::size_t>(chosen)],
                         ConfidenceText(level))
        << '\n';
  }
  // A cut file would pass for fewer assignments: a failed write removes it
  // and stops, so the main program sees the file missing.
  out.close();
  if (!out) {
    std::remove(name.c_str());
    std::array<std::string, 5> lines{};
    lines[0] = "Error in writing file " + name;
    throw CompanionStop(lines);
  }
}

}  // namespace pairwise
