// Placeholder until this step is built.
#include "pairwise/sample_reader.h"
#include <stdexcept>
namespace pairwise { void ReadData(Variables&) { throw std::logic_error("internal error: not built"); } }
