// Starting other programs, and the rights this process runs with, behind a seam: the real calls
// are in WinProcess.cpp, and the window's tests answer them as they need.
#pragma once

#include <string>

namespace morvane {

// The system's answers a start is told apart by.
inline constexpr long kErrorElevationRequired = 740;  // the program asks for more rights
inline constexpr long kErrorCancelled = 1223;         // the user refused the system's prompt

class ProcessApi {
 public:
  virtual ~ProcessApi() = default;
  // Starts the program at its full path, handing it commandLine (both UTF-8, handed to the system
  // as wide text), shown normally. The program is
  // taken as given: no folder is searched and no part of the command line is read as the
  // program. Does not wait. 0 when it started, else the system's error code.
  virtual long CreateProgram(const std::string& program, const std::string& commandLine) = 0;
  // Starts the program through the shell, owned by the window owner, which asks for the rights
  // the program's manifest names: the system shows its own consent or credentials prompt. No
  // error box is shown. 0 when it started, else the system's error code (kErrorCancelled when
  // the prompt was refused).
  virtual long ShellStartProgram(void* owner, const std::string& program,
                                 const std::string& parameters) = 0;
  // This process runs with an administrator's full rights: elevated, or, on a system without
  // User Account Control, as a member of the Administrators group.
  virtual bool Elevated() = 0;
};

// The machine's processes. Only on Windows builds.
ProcessApi& SystemProcess();
// Whether the process (a handle opened with at least PROCESS_QUERY_LIMITED_INFORMATION) runs
// elevated, as its token tells; false when that cannot be read (no User Account Control, or the
// token is refused). Only on Windows builds.
bool ReadElevation(void* process, bool& elevated);

// What follows the program's quoted path at the head of a command line, leading blanks dropped:
// the arguments. A line that does not begin with the quoted path is all arguments.
std::string ArgumentsOf(const std::string& program, const std::string& commandLine);

// Starts the program. When the system answers that it asks for more rights than this process has
// (a standard user's uninstaller that needs an administrator, or the registry editor started by
// an administrator whose rights are not raised), starts it again through the shell with the same
// arguments, owned by owner, so that the system's prompt appears. The answer of the last call;
// no failure, a refused prompt included, is shown to the user.
long StartProgram(ProcessApi& process, void* owner, const std::string& program,
                  const std::string& commandLine);

}  // namespace morvane
