// Writing the files of the main program so that no failure passes unseen:
// an old file left in place would be read as this run's result.
#pragma once

#include <string>

namespace estimation {

// "Error in <doing> file <name>: <the system's reason for errnum>".
std::string FileErrorMessage(const std::string& doing, const std::string& name, int errnum);

// Writes `text` as the whole content of the file `name`, created or written
// anew. A failed open, write or close throws StopError naming the file and
// the system's reason.
void WriteWholeFile(const std::string& name, const std::string& text);

}  // namespace estimation
