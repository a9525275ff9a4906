// Placeholder until this step is built.
#include "estimation/bootstrap.h"
#include <stdexcept>
namespace estimation { void FindCI95(AgeVariables&) {} }
