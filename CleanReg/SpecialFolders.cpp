#include "CleanReg/SpecialFolders.h"

#include <vector>

namespace morvane {

namespace {

std::string WithBackslash(std::string path) {
  if (!path.empty() && path.back() != '\\') path += '\\';
  return path;
}

std::string ProgramFiles(SystemFolders& system) {
  std::string expanded;
  if (!system.ExpandEnvironment("%ProgramFiles%", expanded)) return "";
  if (!expanded.empty() && expanded[0] == '%') {
    const std::string systemFolder = system.SystemDirectory();
    if (systemFolder.empty()) return "";
    return std::string(1, systemFolder[0]) + ":\\Program Files\\";
  }
  return WithBackslash(expanded);
}

// For comparing folders: lower-case ASCII letters, '/' read as '\', no trailing backslash.
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
      const std::string name = path.substr(at, end == std::string::npos ? std::string::npos : end - at);
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
      return system.ExpandEnvironment("%TEMP%", expanded) ? WithBackslash(expanded) : "";
    }
    case kFolderWindows: return WithBackslash(system.WindowsDirectory());
    case kFolderSystem: return WithBackslash(system.SystemDirectory());
    case kFolderProgramFiles: return ProgramFiles(system);
    case kFolderCommonFiles: {
      const std::string programFiles = ProgramFiles(system);
      return programFiles.empty() ? "" : programFiles + "Common Files\\";
    }
    default: return WithBackslash(system.ShellFolder(owner, folder));
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

std::string TempFolderProblem(SystemFolders& system) {
  std::string temp;
  if (!system.ExpandEnvironment("%TEMP%", temp)) return "TEMP is not cleaned: its path is too long.";
  if (!IsPlainAbsolutePath(temp)) return "TEMP is not cleaned: its path is not absolute.";
  if (temp.find_first_not_of("\\/", NamesStart(temp)) == std::string::npos)
    return "TEMP is not cleaned: it is the root of a drive.";
  // Short (8.3) names would hide a system folder from the comparison: both sides are compared
  // spelled in full.
  const std::string key = FolderKey(system.LongPath(temp));
  std::vector<std::string> kept = {
      GetSpecialFolderPath(system, nullptr, kFolderWindows), GetSpecialFolderPath(system, nullptr, kFolderSystem),
      GetSpecialFolderPath(system, nullptr, kFolderProgramFiles),
      GetSpecialFolderPath(system, nullptr, kFolderProfile), system.Wow64SystemDirectory()};
  // A 32-bit program on 64-bit Windows is told the 32-bit program-files folder; the other one
  // matters as much.
  std::string nativePrograms;
  if (system.ExpandEnvironment("%ProgramW6432%", nativePrograms) && IsPlainAbsolutePath(nativePrograms))
    kept.push_back(nativePrograms);
  for (const std::string& folder : kept) {
    if (folder.empty()) continue;
    const std::string other = FolderKey(system.LongPath(folder));
    // TEMP is that folder, or holds it somewhere below.
    if (other == key || (other.size() > key.size() && other.compare(0, key.size(), key) == 0 && other[key.size()] == '\\'))
      return "TEMP is not cleaned: it is or holds a system folder.";
  }
  return "";
}

}  // namespace morvane
