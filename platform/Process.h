// Starting other programs.
#pragma once

#include <string>

namespace morvane {

// Starts a command line (found through the search path) shown normally; does not wait and
// reports nothing.
void StartProgram(const std::string& commandLine);

}  // namespace morvane
