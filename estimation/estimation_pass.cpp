#include "estimation/estimation_pass.h"

#include <fstream>
#include <ostream>

#include "common/fixed_format.h"
#include "estimation/companion_run.h"
#include "estimation/compute_ne.h"
#include "estimation/find_estimates.h"
#include "estimation/main_flow.h"
#include "estimation/pass_tables.h"

namespace estimation {

namespace {

void WriteHeading(std::ostream& out, int rep) {
  const std::string indent(19, ' ');
  const int width = rep == 0 ? 41 : 47;
  const std::string rule = indent + std::string(static_cast<std::size_t>(width), '-');
  const std::string title = rep == 0 ? "      Estimating from original data"
                                     : "  Estimating from simulated data: replicate=" +
                                           common::TrimBoth(common::FmtInt(rep, 6));
  out << "\n\n" << rule << '\n' << indent << title << '\n' << rule << "\n\n\n";
}

SampleRoster ReadSampleFile(const AgeVariables& av) {
  std::ifstream in("AgeSexGtype.dat");
  if (!in) throw StopError(kPassReadError);
  return ReadSampleRoster(in, av.SmplSize, av.SamplingPrbKnown);
}

std::string AssignmentFileName(const AgeVariables& av, int s) {
  return common::TrimRight(av.FName[1]) + (s == 1 ? ".PairwisePaternity" : ".PairwiseMaternity");
}

// The accepted pairs of one sex's assignment file; `Found` is false when the
// file cannot be opened (the companion left none).
struct SexPairs {
  bool Found = false;
  std::vector<PairIndex> Pairs;
};

SexPairs ReadSexPairs(const AgeVariables& av, int s, const IdentifierIndex& index) {
  SexPairs r;
  std::ifstream in(AssignmentFileName(av, s));
  if (!in) return r;
  r.Found = true;
  r.Pairs = ResolvePairs(ReadAssignments(in, av.ConfidencePercent), index);
  return r;
}

// Both sexes are checked before the first search, so that a run that cannot
// give estimates stops at once. A missing file is left to its own stop in
// the order of the pass.
void StopOnSexWithoutPairs(const AgeVariables& av, const std::array<SexPairs, 3>& sexPairs) {
  for (int s = 1; s <= 2; ++s) {
    if (!sexPairs[static_cast<std::size_t>(s)].Found) return;
    if (sexPairs[static_cast<std::size_t>(s)].Pairs.empty())
      throw StopError(NoPairsMessage(s, av.ConfidencePercent, common::TrimRight(av.FName[1])));
  }
}

// Steps for one parent sex: its accepted pairs into the tables, search,
// store the estimates in rows offset+1..offset+K.
void EstimateSex(AgeVariables& av, int rep, int s, int K, int offset, int NumStart,
                 const SampleRoster& roster, const SexPairs& sexPairs, EstimateBlock& est) {
  av.FName[2] = AssignmentFileName(av, s);
  *av.Console << (s == 1 ? " Estimating paternal parameters from paternity assigments\n"
                         : " Estimating maternal parameters from maternity assigments\n");
  if (!sexPairs.Found) throw StopError(kPassReadError);
  const std::vector<int> OffNum = BuildPairTables(av, roster, sexPairs.Pairs, s, K);
  if (rep == 0) KeepOriginalCopies(av, s, K);
  ComputeFactors(av, roster, OffNum, s, K);

  const bool SKnown = av.SamplingPrbKnown == 1;
  const int NCom = SKnown ? 2 * K - 1 : 3 * K - 1;
  if (SKnown) av.SamplingPrbPrt = av.SamplingPrbPrior[s];
  std::vector<double> X(static_cast<std::size_t>(NCom) + 1, 0.0);
  FindEstimates(av, SearchMaxSize(av, rep, s, K), NumStart, K, NCom, X);  // X: 1..NCom
  StoreEstimates(X, K, offset, SKnown, av.Factor, est);
}

}  // namespace

void EstimateByMarker(AgeVariables& av, int rep, PassResult& result,
                      const std::array<int, 3>& NumAgeClass, EstimateBlock& est) {
  WriteHeading(*av.Console, rep);
  const int NumStart = rep == 0 ? 500 : 100;

  const SampleRoster roster = ReadSampleFile(av);
  CountSexAgeSize(av, roster, NumAgeClass);
  if (rep == 0) PrepareOriginalCopies(av);

  const std::string paternity = AssignmentFileName(av, 1);
  const std::string maternity = AssignmentFileName(av, 2);
  RemoveFile(paternity);
  RemoveFile(maternity);
  StartCompanion(av);
  if (rep == 0) {
    const std::string stem = common::TrimRight(av.FName[1]);
    CopyFile(paternity, stem + ".Paternity");
    CopyFile(maternity, stem + ".Maternity");
  }

  const int rows = NumAgeClass[1] + NumAgeClass[2];
  if (est.Empty() || est.RowLo() > 1 || est.RowHi() < rows || est.ColLo() > 1 || est.ColHi() < 4)
    est.Reset(1, rows, 1, 4, 0.0);
  const IdentifierIndex index = BuildIdentifierIndex(roster);
  const std::array<SexPairs, 3> sexPairs = {SexPairs{}, ReadSexPairs(av, 1, index),
                                            ReadSexPairs(av, 2, index)};
  // Replicates are left as they come: each adds its values to the intervals.
  if (rep == 0) StopOnSexWithoutPairs(av, sexPairs);
  EstimateSex(av, rep, 1, NumAgeClass[1], 0, NumStart, roster, sexPairs[1], est);
  EstimateSex(av, rep, 2, NumAgeClass[2], NumAgeClass[1], NumStart, roster, sexPairs[2], est);

  std::vector<double> Pv(static_cast<std::size_t>(rows) + 1, 0.0), Nv(Pv);
  for (int r = 1; r <= rows; ++r) {
    Pv[r] = est(r, 1);
    Nv[r] = est(r, 4);
  }
  ComputeNe(NumAgeClass, Pv, Nv, result);
}

}  // namespace estimation
