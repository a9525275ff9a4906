// Starting the companion program Wendivarquil for one estimation pass.
#pragma once

#include <string>

#include "estimation/age_variables.h"

namespace estimation {

// The companion to start: the name that CrrtOS gives ("./Wendivarquil" in
// the working directory for 2, "Wendivarquil" on the search path for 1)
// when it exists, else the Wendivarquil beside the running executable,
// else the first Wendivarquil on the search path.
// Returns the path, or an empty text when none is found; `lookedFor` then
// says where it was looked for.
std::string LocateCompanion(int CrrtOS, std::string& lookedFor);

// Flushes the console, starts the companion directly (no shell, no
// arguments, same standard streams) and waits for it to end; its exit
// status is not looked at. Throws StopError when no companion can be found
// or started.
void StartCompanion(AgeVariables& av);

}  // namespace estimation
