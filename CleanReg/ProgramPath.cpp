#include "CleanReg/ProgramPath.h"

namespace morvane {

namespace {

constexpr char kBlanks[] = " \t";

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsBareName(const std::string& name) { return name.find_first_of("\\/:") == std::string::npos; }

bool IsFullPath(const std::string& path) {
  const auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
  if (path.size() >= 3 && letter(path[0]) && path[1] == ':' && IsSeparator(path[2])) return true;
  return path.size() >= 3 && IsSeparator(path[0]) && IsSeparator(path[1]);
}

// The existing file a program part names, or nothing.
std::optional<std::string> Locate(const std::string& part, const ProgramFolders& folders,
                                  const std::function<bool(const std::string&)>& fileExists) {
  if (part.empty()) return std::nullopt;
  if (IsBareName(part)) {
    const std::string file = part.find('.') == std::string::npos ? part + ".exe" : part;
    for (const std::string* folder : {&folders.system, &folders.windows}) {
      if (folder->empty()) continue;
      std::string path = JoinFolder(*folder, file);
      if (fileExists(path)) return path;
    }
    return std::nullopt;
  }
  if (IsFullPath(part) && fileExists(part)) return part;
  return std::nullopt;
}

ProgramStart Start(std::string program, const std::string& arguments) {
  std::string line = "\"" + program + "\"" + arguments;
  return {std::move(program), std::move(line)};
}

}  // namespace

std::string JoinFolder(const std::string& folder, const std::string& name) {
  if (folder.empty() || IsSeparator(folder.back())) return folder + name;
  return folder + "\\" + name;
}

ProgramStart ProgramInFolder(const std::string& folder, const std::string& name) {
  return Start(JoinFolder(folder, name), "");
}

std::optional<ProgramStart> ResolveCommand(
    const std::string& commandLine, const ProgramFolders& folders,
    const std::function<bool(const std::string&)>& fileExists) {
  const std::size_t first = commandLine.find_first_not_of(kBlanks);
  if (first == std::string::npos) return std::nullopt;
  const std::string line = commandLine.substr(first);

  if (line[0] == '"') {
    const std::size_t close = line.find('"', 1);
    const std::string part =
        line.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    const std::string rest = close == std::string::npos ? std::string() : line.substr(close + 1);
    if (std::optional<std::string> program = Locate(part, folders, fileExists))
      return Start(*program, rest);
    return std::nullopt;
  }

  // Longest first; a prefix never ends in a blank (the system would read it without the blank).
  for (std::size_t end = line.size(); end > 0;) {
    const std::string part = line.substr(0, end);
    if (std::optional<std::string> program = Locate(part, folders, fileExists))
      return Start(*program, line.substr(end));
    const std::size_t blank = line.find_last_of(kBlanks, end - 1);
    if (blank == std::string::npos) break;
    end = line.find_last_not_of(kBlanks, blank);
    end = end == std::string::npos ? 0 : end + 1;
  }
  return std::nullopt;
}

}  // namespace morvane
