// Placeholder until this step is built.
#include "estimation/estimation_pass.h"
#include <stdexcept>
namespace estimation { void EstimateByMarker(AgeVariables&, int, PassResult&, const std::array<int, 3>&, EstimateBlock&) { throw std::logic_error("internal error: not built"); } }
