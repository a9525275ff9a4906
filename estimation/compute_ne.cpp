// Placeholder until this step is built.
#include "estimation/compute_ne.h"
#include <stdexcept>
namespace estimation { void ComputeNe(const std::array<int, 3>&, const std::vector<double>&, const std::vector<double>&, PassResult&) {} }
