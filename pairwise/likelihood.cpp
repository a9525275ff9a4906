// Placeholder until this step is built.
#include "pairwise/likelihood.h"
#include <stdexcept>
namespace pairwise {
void BuildLikelihoodTables(Variables&) {}
double ProbSingleGtype(const Variables&, int, int, int) { throw std::logic_error("internal error: not built"); }
double SingleIndivLikelihood(const Variables&, const int*) { throw std::logic_error("internal error: not built"); }
void SingleParentLikelihood(Variables&) {}
double Compute_PODyad_LogL(const Variables&, const int*, const int*, double) { throw std::logic_error("internal error: not built"); }
void CalculatePairProb(Variables&, std::ostream&) {} }
