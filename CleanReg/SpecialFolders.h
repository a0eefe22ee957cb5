// The folders the unnecessary-files page works in: where each special folder lies, and whether
// a TEMP path is safe to clean.
#pragma once

#include <cstdint>
#include <string>

#include "platform/SystemFolders.h"

namespace morvane {

enum SpecialFolderNumber : std::uint16_t {
  kFolderTemp = 35,         // taken here for TEMP; never asked of the shell
  kFolderWindows = 36,
  kFolderSystem = 37,
  kFolderProgramFiles = 38,
  kFolderProfile = 40,      // the user's profile folder, from the shell
  kFolderCommonFiles = 43,
};

// The folder's path with a trailing backslash, or empty when the system gives none:
//   35 TEMP as %TEMP% expands, without further normalisation
//   36 the Windows folder, 37 the system folder
//   38 %ProgramFiles% as it expands; when the variable is not defined, the system folder's
//      drive letter and ":\Program Files\"
//   43 the same with "Common Files\" appended
//   any other: the shell's folder of that number, for the owner window.
std::string GetSpecialFolderPath(SystemFolders& system, void* owner, std::uint16_t folder);

// A drive letter, a colon and a backslash, or \\server\share, followed by folder names only:
// no "." or ".." part, no wildcard, no '%' left from a variable that did not expand.
bool IsPlainAbsolutePath(const std::string& path);

// Why the TEMP folder must not be cleaned, as one short sentence for the status line; empty
// when it may be. Refused: a path that did not fit the buffer, one that is not a plain absolute
// path, a drive root, and the Windows, system, program-files or profile folder or any folder
// that holds one of them.
std::string TempFolderProblem(SystemFolders& system);

}  // namespace morvane
