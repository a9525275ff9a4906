// Assignment of one parent per offspring and sex from the pair table and the
// thresholds, and the assignment files that carry the result.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "pairwise/variables.h"

namespace pairwise {

// Outcome of the scan of one offspring's candidates of one sex.
struct CandidateScan {
  double best = 0.0, second = 0.0;  // best and second-best LOD, never below 0
  int chosen = 0;                   // candidate index, 0 = none with a LOD above 0
};

// Scans the candidates of sex s for offspring g: right sex, old enough to be
// its parent, not excluded (marks[k] == g flags exclusion; the caller sets
// them). LOD = pair log-likelihood - IndivLogL(g) - CandidateLogL(k, s);
// equal LODs keep the earlier candidate.
CandidateScan ScanCandidates(const Variables& v, int s, int g, const std::vector<double>& IndivLogL,
                             const std::vector<int>& marks);

// Confidence level of a margin under the thresholds T[1..10] of one sex:
// 1 (95 %) .. 10 (50 %), or -1 when the margin is below T[10].
int AssignmentLevel(double delta, const std::array<double, 11>& T);

// The 4-character confidence text of level L: "100%" for L = 0, "95% " for
// L = 1, ... "50% " for L = 10.
std::string ConfidenceText(int L);

// File name of sex s: FName without trailing blanks and ".PairwisePaternity"
// (s = 1) or ".PairwiseMaternity" (s = 2).
std::string AssignmentFileName(const Variables& v, int s);

// Header line and one row (without the line end): three right-aligned
// 21-column fields.
std::string AssignmentHeader();
std::string AssignmentRow(const std::string& offspringID, const std::string& candidateID,
                          const std::string& confidence);

// Writes the assignment file of sex s: the header, then one row per
// offspring that passes the age filter and has a known parent or a chosen
// candidate whose margin reaches level 10. Needs Threshold, Threshold2 and
// CandidateLogL filled.
void WriteAssignmentFile(const Variables& v, int s, const std::vector<double>& IndivLogL);

}  // namespace pairwise
