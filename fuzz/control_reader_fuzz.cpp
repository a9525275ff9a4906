// Fuzz target of the main program's control-file reader: the input is the
// whole "Tavimorelund.dat". A StopError is the reader's answer to bad input;
// any other exception, a crash or a broken invariant of the data it returns
// is a finding.
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "common/free_form_reader.h"
#include "common/index_sort.h"
#include "estimation/age_variables.h"
#include "estimation/control_reader.h"
#include "fuzz_support.h"

namespace {

using estimation::AgeVariables;
using fuzz::Finding;

std::size_t Sz(int n) { return static_cast<std::size_t>(n); }

// What the estimation passes rely on: sexes and ages inside the per-sex
// tables, identifiers that read back from the assignment files, proportions
// of parents sampled that the companion accepts, allele counts and
// frequencies that describe the typed individuals.
void CheckRead(const AgeVariables& av) {
  const int s = av.SmplSize;
  if (s < 1 || av.NumLoci < 1) Finding("empty sample accepted");
  for (int i = 1; i <= s; ++i) {
    const int sex = av.IndivSex[Sz(i)], age = av.IndivAge[Sz(i)];
    if ((sex != 1 && sex != 2) || age < 0 || age > av.NumAgeClass[Sz(sex)])
      Finding("sex or age out of range accepted");
    if (!common::ReadsBackUnquoted(av.OffspringID[Sz(i)]))
      Finding("an identifier that does not read back accepted");
  }
  for (int k = 1; k <= 2; ++k)
    if (!(av.PropPrntSampled[Sz(k)] >= 0.001 && av.PropPrntSampled[Sz(k)] <= 1.0))
      Finding("proportion of parents sampled out of range accepted");
  for (int l = 1; l <= av.NumLoci; ++l) {
    const int n = av.ObsNumAllele[Sz(l)];
    if (n < 0 || n > 2 * s || n > av.MaxObsNumAllele) Finding("allele count out of range");
    double sum = 0.0;
    for (int a = 1; a <= n; ++a) {
      const double f = av.ObsAlleleFre(l, a);
      if (!(f > 0.0 && f <= 1.0)) Finding("allele frequency outside (0, 1]");
      sum += f;
    }
    if (n > 0 && std::fabs(sum - 1.0) > 1e-9) Finding("allele frequencies do not add up to 1");
    const double missing = av.ObsMissingShare[Sz(l)];
    if (!(missing >= 0.0 && missing <= 1.0)) Finding("missing share outside [0, 1]");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzz::InScratchDirectory scratch;
  if (!fuzz::SizesFit(fuzz::ReadHeaderSizes(data, size))) return -1;
  fuzz::WriteInput("Tavimorelund.dat", data, size);
  AgeVariables av;
  try {
    estimation::ReadData(av);
  } catch (const estimation::StopError&) {
    return 0;
  } catch (const common::SortStackOverflow&) {
    return 0;  // the main program stops on it with its message
  }
  CheckRead(av);
  return 0;
}
