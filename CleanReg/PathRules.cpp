#include "CleanReg/PathRules.h"

#include <algorithm>

#include "platform/FileSystem.h"

namespace morvane {

namespace {

std::size_t LastDelimiter(const std::string& s) { return s.find_last_of("\\:"); }

bool Holds(const std::string& s, const char* chars) {
  return s.find_first_of(chars) != std::string::npos;
}

}  // namespace

std::string DirectoryPart(const std::string& s) {
  const std::size_t at = LastDelimiter(s);
  return at == std::string::npos ? std::string() : s.substr(0, at + 1);
}

std::string NamePart(const std::string& s) {
  const std::size_t at = LastDelimiter(s);
  return at == std::string::npos ? s : s.substr(at + 1);
}

std::string ExtensionPart(const std::string& s) {
  const std::size_t dot = s.rfind('.');
  if (dot == std::string::npos) return {};
  const std::size_t delimiter = LastDelimiter(s);
  if (delimiter != std::string::npos && delimiter > dot) return {};
  return s.substr(dot);
}

std::size_t OccursIn(const std::string& needle, const std::string& haystack) {
  if (needle.empty()) return 0;
  const std::size_t at = haystack.find(needle);
  return at == std::string::npos ? 0 : at + 1;
}

std::string CutAt(const std::string& s, char c) {
  const std::size_t at = s.find(c);
  return at == std::string::npos ? s : s.substr(0, at);
}

std::string StripExtension(const std::string& name) {
  const std::size_t at = OccursIn(ExtensionPart(name), name);
  return at == 0 ? name : name.substr(0, at - 1);
}

bool ResolveFilePath(const std::string& text, std::string& rebuilt) {
  bool valid = true;
  const std::string extension = CutAt(CutAt(CutAt(ExtensionPart(text), ' '), '!'), ',');
  const std::string name = CutAt(CutAt(NamePart(text), '^'), '%');

  std::string rest = text;
  if (const std::size_t at = rest.find(":\\"); at != std::string::npos) rest.erase(at, 2);
  if (rest.find(":\\") != std::string::npos) valid = false;
  if (Holds(text, "|=*")) valid = false;
  if (Holds(name, "/\"")) valid = false;

  const bool ok = text.size() > 3 && text[1] == ':' && text[2] == '\\' && valid && !name.empty() &&
                  !extension.empty();
  if (ok) {
    rebuilt = text.back() == '.' ? DirectoryPart(text) + name
                                 : DirectoryPart(text) + StripExtension(name) + extension;
  }
  return ok;
}

bool HoldsWildcard(const std::string& text) { return Holds(text, "*?"); }

std::vector<std::size_t> ProgramPrefixLengths(const std::string& text) {
  // The file system's limits count UTF-16 units: a name holds at most 255 of them, a path at most
  // kMaxLongPath. A character beyond the Basic Multilingual Plane (a four-byte sequence) takes
  // two; the bytes that continue a character are counted with its first.
  constexpr std::size_t kMaxNameUnits = 255;
  std::vector<std::size_t> lengths;
  std::size_t pathUnits = 0, nameUnits = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    // The prefix before i is within both limits: a blank there ends one.
    if (c == ' ' && i > 0 && text[i - 1] != ' ') lengths.push_back(i);
    if ((c & 0xC0) == 0x80) continue;
    const std::size_t units = c >= 0xF0 ? 2 : 1;
    nameUnits = c == '\\' ? 0 : nameUnits + units;
    pathUnits += units;
    // Every longer prefix holds this name or this path.
    if (nameUnits > kMaxNameUnits || pathUnits > kMaxLongPath) break;
  }
  return lengths;
}

namespace {

bool VariableNameChar(char c) { return c != ' ' && c != '%' && c != '\\' && c != '"'; }

bool VariableNameStart(char c) {
  const char lower = static_cast<char>(c | 0x20);
  return (lower >= 'a' && lower <= 'z') || c == '_';
}

}  // namespace

bool ExpandVariables(const std::string& text,
                     const std::function<std::optional<std::string>(const std::string&)>& variable,
                     std::string& expanded) {
  expanded.clear();
  std::size_t from = 0;
  for (std::size_t open = text.find('%'); open != std::string::npos; open = text.find('%', open)) {
    std::size_t end = open + 1;
    while (end < text.size() && VariableNameChar(text[end])) ++end;
    if (end == open + 1 || end == text.size() || text[end] != '%' ||
        !VariableNameStart(text[open + 1])) {
      ++open;  // not a reference: the '%' stays
      continue;
    }
    const std::optional<std::string> value = variable(text.substr(open + 1, end - open - 1));
    if (!value) return false;
    expanded.append(text, from, open - from).append(*value);
    from = open = end + 1;
  }
  expanded.append(text, from, std::string::npos);
  return true;
}

std::string ParentFolder(const std::string& path) {
  if (path.size() < 4 || path[1] != ':' || path[2] != '\\') return {};
  const char drive = static_cast<char>(path[0] | 0x20);
  if (drive < 'a' || drive > 'z') return {};
  if (path.find_first_of("/*?:<>|\"", 2) != std::string::npos) return {};
  // Every name between backslashes must stand as written.
  std::size_t start = 3;
  while (start <= path.size()) {
    const std::size_t end = std::min(path.find('\\', start), path.size());
    if (end == start) return {};  // empty name: a doubled or trailing backslash
    const char last = path[end - 1];
    if (last == '.' || last == ' ') return {};
    start = end + 1;
  }
  const std::size_t at = path.rfind('\\');
  return at == 2 ? path.substr(0, 3) : path.substr(0, at);
}

}  // namespace morvane
