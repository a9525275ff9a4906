// Placeholder until this step is built.
#include "estimation/control_reader.h"
#include <stdexcept>
namespace estimation { void ReadData(AgeVariables&) { throw std::logic_error("internal error: not built"); } }
