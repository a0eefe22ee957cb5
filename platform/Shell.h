// Opening documents, web addresses and mail addresses through the shell, and the program's own
// location.
#pragma once

#include <windows.h>

#include <string>

namespace morvane {

// The shell's calls that open a target, behind a seam.
class ShellApi {
 public:
  virtual ~ShellApi() = default;
  // Opens target (UTF-8) with whatever program the system has registered for it, with this
  // process's rights: ShellExecuteW's "open" verb, no parameters, no working folder, shown
  // normally. Any error UI is the shell's own; the result is not looked at.
  virtual void Open(HWND owner, const std::string& target) = 0;
  // Has the desktop's shell open target, so that the program it starts gets the shell's rights
  // rather than this process's (IShellWindows::FindWindowSW for the desktop, then
  // IShellDispatch2::ShellExecute). False, having opened nothing, when there is no desktop shell
  // to ask, when it refuses, or when it runs with full rights itself and so would give no less.
  virtual bool OpenFromDesktop(const std::string& target) = 0;
};

// The machine's shell. Only on Windows builds.
ShellApi& SystemShell();

// Opens a link. An elevated process would hand its administrator rights to the browser or mail
// program it starts: it asks the desktop's shell first and opens the target itself only when that
// cannot be done. A process that is not elevated opens it itself.
void OpenLink(ShellApi& shell, bool elevated, HWND owner, const std::string& target);

// OpenLink on this machine's shell, elevated as this process is.
void ShellOpen(HWND owner, const std::string& target);

// Full path of the running program's executable (UTF-8); empty when it cannot be read.
std::string ExecutablePath();

}  // namespace morvane
