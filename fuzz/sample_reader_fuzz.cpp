// Fuzz target of the companion's sample-file reader: the input is the whole
// "AgeSexGtype.dat". A CompanionStop is the reader's answer to bad input;
// any other exception, a crash or a broken invariant of the data it returns
// is a finding. After a successful read of a small sample the recoding and
// the error model run too, since they take the values as the reader left them.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <new>

#include "common/free_form_reader.h"
#include "common/index_sort.h"
#include "fuzz_support.h"
#include "pairwise/companion.h"
#include "pairwise/data_process.h"
#include "pairwise/sample_reader.h"
#include "pairwise/variables.h"

namespace {

using fuzz::Finding;
using pairwise::Variables;

// Recoding keeps a table of (alleles + 1)^2 entries; at most two alleles per
// individual keep it small below this sample size.
constexpr int kMaxProcessedSample = 1000;

std::size_t Sz(int n) { return static_cast<std::size_t>(n); }

// What the later steps rely on: sexes and ages inside their tables,
// identifiers that read back from the assignment files, proportions of
// parents sampled that the trials can use, known parents of their sex and
// excluded candidates that name individuals.
void CheckRead(const Variables& v) {
  const int s = v.SmplSize;
  if (s < 1 || v.NumLoci < 1) Finding("empty sample accepted");
  for (int i = 1; i <= s; ++i) {
    const int sex = v.IndivSex[Sz(i)], age = v.IndivAge[Sz(i)];
    if ((sex != 1 && sex != 2) || age < 0 || age > v.MaxAgeIndex)
      Finding("sex or age out of range accepted");
    if (!common::ReadsBackUnquoted(v.OffspringID[Sz(i)]))
      Finding("an identifier that does not read back accepted");
  }
  for (int k = 1; k <= 2; ++k)
    if (!(v.PropPrntSampled[Sz(k)] >= 0.001 && v.PropPrntSampled[Sz(k)] <= 1.0))
      Finding("proportion of parents sampled out of range accepted");
  for (int k = 1; k <= 2; ++k) {
    const int nc = v.NumCandidate[Sz(k)];
    for (int i = 1; i <= s; ++i) {
      const int p = v.IndivParent[Sz(k)][Sz(i)];
      if (p != -1 && (p < 1 || p > nc)) Finding("known parent out of range");
      if (p != -1 && v.IndivSex[Sz(p)] != k) Finding("known parent of the other sex accepted");
      const pairwise::Exclusion& e = v.ExcludedParent[Sz(k)][Sz(i)];
      if (e.NumExcluded < 0 || e.NumExcluded > nc ||
          (e.NumExcluded > 0 && e.CndIndex.size() < Sz(e.NumExcluded) + 1))
        Finding("exclusion count out of range");
      for (int c = 1; c <= e.NumExcluded; ++c)
        if (e.CndIndex[Sz(c)] < 1 || e.CndIndex[Sz(c)] > nc)
          Finding("excluded candidate out of range");
    }
  }
}

// Allele frequencies are shares, genotype indices stay inside the tables.
void CheckProcessed(Variables& v) {
  for (int l = 1; l <= v.NumLoci; ++l) {
    for (int j = 1; j <= v.ObsNumAllele[Sz(l)]; ++j) {
      const double f = v.ObsAlleleFre(l, j);
      if (!(f >= 0.0 && f <= 1.0)) Finding("allele frequency outside [0, 1]");
    }
    for (const double r : v.TransRate[Sz(l)])
      if (!std::isfinite(r)) Finding("error rate of a genotype not finite");
    for (int i = 1; i <= v.SmplSize; ++i) {
      const int g = v.IndivGtype2(l, i);
      const int hi = v.DominantMarker[Sz(l)] == 1 ? 2 : v.MaxNumGenotype;
      if (g < 0 || g > hi) Finding("genotype index out of range");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzz::InScratchDirectory scratch;
  if (!fuzz::SizesFit(fuzz::ReadHeaderSizes(data, size))) return -1;
  fuzz::WriteInput("AgeSexGtype.dat", data, size);
  Variables v;
  try {
    pairwise::ReadData(v);
  } catch (const pairwise::CompanionStop&) {
    return 0;
  } catch (const common::SortStackOverflow&) {
    return 0;  // the companion stops on it with its message
  }
  CheckRead(v);
  if (v.SmplSize > kMaxProcessedSample) return 0;
  pairwise::CreateTables(v);
  try {
    pairwise::DataProcess(v);
    pairwise::BuildErrorModel(v);
  } catch (const pairwise::CompanionStop&) {
    return 0;
  }
  CheckProcessed(v);
  return 0;
}
