// Where the system keeps its folders, the environment, and the user's decimal separator: the
// questions the unnecessary-files and deinstall pages ask of the system, behind a seam. Texts are
// UTF-8, exactly the system's wide texts; lengths are counted as the system counts them, in
// UTF-16 units.
#pragma once

#include <string>

namespace morvane {

enum class Expansion {
  kExpanded,
  kTooLong,  // the expansion does not fit 255 characters
};

class SystemFolders {
 public:
  virtual ~SystemFolders() = default;
  // Expands the environment variables in text into at most 255 characters. Unless kExpanded, out
  // is empty. A variable that is not defined stays as written.
  virtual Expansion ExpandEnvironment(const std::string& text, std::string& out) = 0;
  // Expands the environment variables in text, whatever the length. False when the expansion
  // fails; out is then empty.
  virtual bool ExpandEnvironmentExactly(const std::string& text, std::string& out) = 0;
  // The Windows folder and the system folder, as the system gives them (no trailing backslash
  // unless a drive root); empty when the system gives none or it does not fit 255 characters.
  virtual std::string WindowsDirectory() = 0;
  virtual std::string SystemDirectory() = 0;
  // The shell's special folder of that number, for that owner window; empty when the shell has
  // no such folder.
  virtual std::string ShellFolder(void* owner, int folder) = 0;
  // The 32-bit system folder of 64-bit Windows (SysWOW64); empty elsewhere.
  virtual std::string Wow64SystemDirectory() = 0;
  // The path with every short (8.3) name in it spelled in full, as the file system has it; the
  // path as given when it cannot be found.
  virtual std::string LongPath(const std::string& path) = 0;
  // The user's decimal separator ("." when none is set).
  virtual std::string DecimalSeparator() = 0;
};

// The running system's answers. Only on Windows builds.
SystemFolders& SystemFolderApi();

}  // namespace morvane
