#include "companion_steps.h"

#include "pairwise/companion.h"
#include "pairwise/data_process.h"
#include "pairwise/likelihood.h"
#include "pairwise/sample_reader.h"

namespace testutil {

void PrepareCompanionData(pairwise::Variables& v, std::ostream& console) {
  pairwise::ReadData(v);
  pairwise::CreateTables(v);
  pairwise::DataProcess(v);
  pairwise::BuildErrorModel(v);
  pairwise::BuildLikelihoodTables(v);
  pairwise::CalculatePairProb(v, console);
}

}  // namespace testutil
