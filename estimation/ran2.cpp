// Placeholder until this step is built.
#include "estimation/ran2.h"
#include <stdexcept>
namespace estimation { double Ran2::Next() { throw std::logic_error("internal error: not built"); } }
