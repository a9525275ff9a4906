// Main routine of the main program and its file utilities.
#pragma once
#include <string>
#include "estimation/age_variables.h"

namespace estimation {

void ShowVersion(std::ostream& out);   // banner, then one second of wall-clock time
void Sleeping(float seconds);
void Initiate(AgeVariables& av);       // Estimate, Idum = -1234, CrrtOS from PATH
void RemoveFile(const std::string& name);
void CopyFile(const std::string& from, const std::string& to);

// The whole run; returns the exit status (1 after a fatal stop, which has
// then written its lines to standard output and standard error).
int RunMain(AgeVariables& av);

}  // namespace estimation
