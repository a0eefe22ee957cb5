// Opening documents, web addresses and mail addresses through the shell, and the program's own
// location.
#pragma once

#include <windows.h>

#include <string>

namespace morvane {

// Opens target (a file, a web address, a "mailto:" address) with whatever program the system
// has registered for it: ShellExecuteA's "open" verb, no parameters, no working folder, shown
// normally. Any error UI is the shell's own; the result is not looked at.
void ShellOpen(HWND owner, const std::string& target);

// Full path of the running program's executable; empty when it cannot be read.
std::string ExecutablePath();

}  // namespace morvane
