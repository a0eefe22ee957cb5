// The folders the unnecessary-files page works in: where each special folder lies, and whether
// a TEMP path is safe to clean.
#pragma once

#include <cstdint>
#include <string>

#include "platform/FileTree.h"
#include "platform/SystemFolders.h"

namespace morvane {

enum SpecialFolderNumber : std::uint16_t {
  kFolderTemp = 35,  // taken here for TEMP; never asked of the shell
  kFolderWindows = 36,
  kFolderSystem = 37,
  kFolderProgramFiles = 38,
  kFolderProfile = 40,  // the user's profile folder, from the shell
  kFolderCommonFiles = 43,
};
// The shell's number of ProgramData; asked of the shell directly, since GetSpecialFolderPath
// takes that number for TEMP.
inline constexpr int kShellCommonAppData = 0x23;

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

// For comparing locations: lower-case ASCII letters, '/' read as '\', no trailing backslash.
std::string FolderKey(const std::string& path);
// The location key lies strictly below the folder key.
bool LiesBelow(const std::string& key, const std::string& folderKey);

// Where TEMP really lies, as the system resolves it through the folder's handle, with a trailing
// backslash; empty when it must not be cleaned, and then problem says why in one short sentence
// for the status line. Refused: TEMP not set, too long, not a plain absolute path, missing, not a
// folder, itself a link; a location that is a drive root or on a network share; one that is or
// holds the Windows, system, program-files, ProgramData, Users or profile folder; one inside the
// Windows folder (but for its own Temp), a program-files folder or ProgramData, or inside the Users
// folder but outside the profile. Every folder is compared by where it resolves to, never by how it
// is spelled.
struct CleanedFolder {
  std::string location;
  std::string problem;
};
CleanedFolder ResolveTempFolder(SystemFolders& system, FileTree& tree);

// The Windows folder's Prefetch folder, resolved, with a trailing backslash; empty when it is
// missing, a link, or lies anywhere but directly in the Windows folder. With refused given, also
// empty when it is there but cannot be opened or searched; *refused is then the system's error
// code (kFileAccessDenied for lack of rights), and is left alone otherwise.
std::string ResolvePrefetchFolder(SystemFolders& system, FileTree& tree, long* refused = nullptr);

}  // namespace morvane
