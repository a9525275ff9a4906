// Placeholder until this step is built.
#include "estimation/find_estimates.h"
#include <stdexcept>
namespace estimation { void FindEstimates(AgeVariables&, int, int, int, int, std::vector<double>&) { throw std::logic_error("internal error: not built"); } }
