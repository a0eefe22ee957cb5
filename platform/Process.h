// Starting other programs.
#pragma once

#include <string>

namespace morvane {

// Starts the program at its full path, handing it commandLine, shown normally. The program is
// taken as given: no folder is searched and no part of the command line is read as the program.
// Does not wait. False when it did not start.
bool StartProgram(const std::string& program, const std::string& commandLine);

}  // namespace morvane
