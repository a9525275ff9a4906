// Placeholder until this step is built.
#include "estimation/report.h"
#include <stdexcept>
namespace estimation { void Output(AgeVariables&) {} }
