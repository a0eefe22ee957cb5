#include "CleanReg/SpecialFolders.h"

#include <algorithm>

#include <vector>

namespace morvane {

namespace {

std::string WithBackslash(std::string path) {
  if (!path.empty() && path.back() != '\\') path += '\\';
  return path;
}

std::string ProgramFiles(SystemFolders& system) {
  std::string expanded;
  if (system.ExpandEnvironment("%ProgramFiles%", expanded) != Expansion::kExpanded) return "";
  if (!expanded.empty() && expanded[0] == '%') {
    const std::string systemFolder = system.SystemDirectory();
    if (systemFolder.empty()) return "";
    return std::string(1, systemFolder[0]) + ":\\Program Files\\";
  }
  return WithBackslash(expanded);
}

// Where the folder names begin: after "X:\" or after "\\server\share\"; npos when the path
// starts neither way.
std::size_t NamesStart(const std::string& path) {
  auto separator = [](char c) { return c == '\\' || c == '/'; };
  const auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
  if (path.size() >= 3 && letter(path[0]) && path[1] == ':' && separator(path[2])) return 3;
  if (path.size() >= 2 && separator(path[0]) && separator(path[1])) {
    // \\server\share\ : two names, neither empty; "\\?\" and "\\.\" device paths are refused
    // with the other dotted and wildcard names below.
    std::size_t at = 2;
    for (int part = 0; part < 2; ++part) {
      const std::size_t end = path.find_first_of("\\/", at);
      if (end == at || at >= path.size()) return std::string::npos;
      const std::string name =
          path.substr(at, end == std::string::npos ? std::string::npos : end - at);
      if (name == "?" || name == "." || name == "..") return std::string::npos;
      if (end == std::string::npos) return path.size();
      at = end + 1;
    }
    return at;
  }
  return std::string::npos;
}

}  // namespace

std::string GetSpecialFolderPath(SystemFolders& system, void* owner, std::uint16_t folder) {
  switch (folder) {
    case kFolderTemp: {
      std::string expanded;
      return system.ExpandEnvironment("%TEMP%", expanded) == Expansion::kExpanded
                 ? WithBackslash(expanded)
                 : "";
    }
    case kFolderWindows:
      return WithBackslash(system.WindowsDirectory());
    case kFolderSystem:
      return WithBackslash(system.SystemDirectory());
    case kFolderProgramFiles:
      return ProgramFiles(system);
    case kFolderCommonFiles: {
      const std::string programFiles = ProgramFiles(system);
      return programFiles.empty() ? "" : programFiles + "Common Files\\";
    }
    default:
      return WithBackslash(system.ShellFolder(owner, folder));
  }
}

bool IsPlainAbsolutePath(const std::string& path) {
  const std::size_t start = NamesStart(path);
  if (start == std::string::npos) return false;
  if (path.find_first_of("%*?\"<>|", 2) != std::string::npos) return false;
  if (path.find(':', 2) != std::string::npos) return false;  // no second drive, no stream name
  std::size_t at = start;
  while (at < path.size()) {
    std::size_t end = path.find_first_of("\\/", at);
    if (end == std::string::npos) end = path.size();
    const std::string name = path.substr(at, end - at);
    if (name == "." || name == "..") return false;
    if (name.empty() && end < path.size() && end + 1 < path.size()) return false;  // "\\" inside
    at = end + 1;
  }
  return true;
}

std::string FolderKey(const std::string& path) {
  std::string key;
  key.reserve(path.size());
  for (char c : path) {
    if (c == '/') c = '\\';
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    key += c;
  }
  while (!key.empty() && key.back() == '\\') key.pop_back();
  return key;
}

bool LiesBelow(const std::string& key, const std::string& folderKey) {
  return key.size() > folderKey.size() + 1 && key.compare(0, folderKey.size(), folderKey) == 0 &&
         key[folderKey.size()] == '\\';
}

namespace {

// A folder as it is compared: the key of where it resolves to, and the identities of the folder
// and of each folder above it, nearest first. Two spellings that lead to one folder may resolve
// to different texts (a second drive letter naming it, say); they still share the identity.
struct Place {
  std::string key;
  std::vector<FolderId> chain;
};

// The identities of the resolved folder and of the folders above its location, up to the drive
// root or share.
std::vector<FolderId> IdentityChain(FileTree& tree, const ResolvedFolder& resolved) {
  std::vector<FolderId> chain{resolved.id};
  for (std::string at = resolved.location; at.size() > 3;) {
    const std::size_t cut = at.rfind('\\');
    if (cut == std::string::npos || cut < 2) break;
    at = at.substr(0, cut == 2 ? 3 : cut);
    if (at[0] == '\\' && std::count(at.begin(), at.end(), '\\') < 3) break;  // "\\server"
    const ResolvedFolder above = tree.ResolveFolder(at);
    if (above.kind == FolderKind::kPlain) chain.push_back(above.id);
  }
  return chain;
}

Place PlaceOf(FileTree& tree, const ResolvedFolder& resolved) {
  return {FolderKey(resolved.location), IdentityChain(tree, resolved)};
}

bool Same(const Place& a, const Place& b) {
  return (!a.key.empty() && a.key == b.key) ||
         (!a.chain.empty() && !b.chain.empty() && a.chain[0] == b.chain[0]);
}

// Strictly below, by location or by identity.
bool Below(const Place& inner, const Place& outer) {
  if (outer.key.empty()) return false;
  if (LiesBelow(inner.key, outer.key)) return true;
  return !outer.chain.empty() && inner.chain.size() > 1 &&
         std::find(inner.chain.begin() + 1, inner.chain.end(), outer.chain[0]) != inner.chain.end();
}

// Where a system folder really lies; its spelling in full when it cannot be resolved (it is
// missing, say), with no identity; empty when the system names none.
Place SystemFolderPlace(SystemFolders& system, FileTree& tree, const std::string& path) {
  if (path.empty() || !IsPlainAbsolutePath(path)) return {};
  const ResolvedFolder resolved = tree.ResolveFolder(path);
  if (resolved.kind != FolderKind::kPlain) return {FolderKey(system.LongPath(path)), {}};
  return PlaceOf(tree, resolved);
}

// The folder above: the key's parent and the identities past the folder's own.
Place ParentPlace(const Place& place) {
  const std::size_t cut = place.key.rfind('\\');
  Place parent;
  if (cut != std::string::npos && cut >= 3) parent.key = place.key.substr(0, cut);
  if (!parent.key.empty() && place.chain.size() > 1)
    parent.chain.assign(place.chain.begin() + 1, place.chain.end());
  return parent;
}

// The folders TEMP must neither be nor hold, and those it must not lie in.
struct SystemFolderPlaces {
  Place windows, windowsTemp, system, wow64System, programs, nativePrograms, programData, users,
      profile;
};

SystemFolderPlaces SystemFolderLocations(SystemFolders& system, FileTree& tree) {
  SystemFolderPlaces places;
  const std::string windows = system.WindowsDirectory();
  places.windows = SystemFolderPlace(system, tree, windows);
  if (!places.windows.key.empty()) {
    places.windowsTemp.key = places.windows.key + "\\temp";
    const ResolvedFolder temp =
        tree.ResolveFolder(windows + (windows.back() == '\\' ? "" : "\\") + "Temp");
    if (temp.kind == FolderKind::kPlain) places.windowsTemp.chain = IdentityChain(tree, temp);
  }
  places.system = SystemFolderPlace(system, tree, system.SystemDirectory());
  places.wow64System = SystemFolderPlace(system, tree, system.Wow64SystemDirectory());
  places.programs =
      SystemFolderPlace(system, tree, GetSpecialFolderPath(system, nullptr, kFolderProgramFiles));
  // A 32-bit program on 64-bit Windows is told the 32-bit program-files folder; the other one
  // matters as much.
  std::string nativePrograms;
  if (system.ExpandEnvironment("%ProgramW6432%", nativePrograms) == Expansion::kExpanded)
    places.nativePrograms = SystemFolderPlace(system, tree, nativePrograms);
  places.programData =
      SystemFolderPlace(system, tree, system.ShellFolder(nullptr, kShellCommonAppData));
  places.profile = SystemFolderPlace(system, tree, system.ShellFolder(nullptr, kFolderProfile));
  places.users = ParentPlace(places.profile);
  return places;
}

std::string TempProblem(SystemFolders& system, FileTree& tree, std::string& location) {
  std::string temp;
  switch (system.ExpandEnvironment("%TEMP%", temp)) {
    case Expansion::kTooLong:
      return "TEMP is not cleaned: its path is too long.";
    case Expansion::kExpanded:
      break;
  }
  if (temp == "%TEMP%") return "TEMP is not cleaned: it is not set.";
  if (!IsPlainAbsolutePath(temp)) return "TEMP is not cleaned: its path is not absolute.";
  const ResolvedFolder resolved = tree.ResolveFolder(temp);
  switch (resolved.kind) {
    case FolderKind::kPlain:
      break;
    case FolderKind::kMissing:
      return "TEMP is not cleaned: the folder does not exist.";
    case FolderKind::kLink:
      return "TEMP is not cleaned: it is a link to another folder.";
    case FolderKind::kNotFolder:
      return "TEMP is not cleaned: it is not a folder.";
    case FolderKind::kUnreadable:
      return "TEMP is not cleaned: the folder cannot be opened.";
  }
  const Place place = PlaceOf(tree, resolved);
  const std::string& key = place.key;
  if (key.size() >= 2 && key[0] == '\\' && key[1] == '\\')
    return "TEMP is not cleaned: it is on a network share.";
  if (key.size() <= 2) return "TEMP is not cleaned: it is the root of a drive.";

  const SystemFolderPlaces folders = SystemFolderLocations(system, tree);
  for (const Place* folder :
       {&folders.windows, &folders.system, &folders.wow64System, &folders.programs,
        &folders.nativePrograms, &folders.programData, &folders.users, &folders.profile}) {
    if (!folder->key.empty() && (Same(place, *folder) || Below(*folder, place)))
      return "TEMP is not cleaned: it is or holds a system folder.";
  }
  const bool inWindowsTemp = Same(place, folders.windowsTemp) || Below(place, folders.windowsTemp);
  const bool inWindows = Below(place, folders.windows) && !inWindowsTemp;
  const bool inPrograms = Below(place, folders.programs) || Below(place, folders.nativePrograms) ||
                          Below(place, folders.programData);
  const bool inOtherUser = Below(place, folders.users) && !Below(place, folders.profile);
  if (inWindows || inPrograms || inOtherUser)
    return "TEMP is not cleaned: it lies inside a system folder.";
  location = resolved.location + "\\";
  return "";
}

}  // namespace

CleanedFolder ResolveTempFolder(SystemFolders& system, FileTree& tree) {
  CleanedFolder temp;
  temp.problem = TempProblem(system, tree, temp.location);
  if (!temp.problem.empty()) temp.location.clear();
  return temp;
}

std::string ResolvePrefetchFolder(SystemFolders& system, FileTree& tree, long* refused) {
  const std::string windows = GetSpecialFolderPath(system, nullptr, kFolderWindows);
  if (windows.empty() || !IsPlainAbsolutePath(windows)) return "";
  const ResolvedFolder resolvedWindows = tree.ResolveFolder(windows);
  const ResolvedFolder prefetch = tree.ResolveFolder(windows + "Prefetch");
  if (refused != nullptr && prefetch.kind == FolderKind::kUnreadable) *refused = prefetch.error;
  if (resolvedWindows.kind != FolderKind::kPlain || prefetch.kind != FolderKind::kPlain) return "";
  if (FolderKey(prefetch.location) != FolderKey(resolvedWindows.location) + "\\prefetch") return "";
  // A folder that opens may still refuse its search: Windows lets every user see the Prefetch
  // folder, but only an administrator look inside.
  if (refused != nullptr &&
      !tree.ListFolder(
          prefetch.location + "\\", [](const FolderEntry&) { return false; }, refused))
    return "";
  return prefetch.location + "\\";
}

}  // namespace morvane
