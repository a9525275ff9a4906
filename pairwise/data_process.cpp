// Placeholder until this step is built.
#include "pairwise/data_process.h"
#include <stdexcept>
namespace pairwise { void DataProcess(Variables&) {} void BuildErrorModel(Variables&) {} }
