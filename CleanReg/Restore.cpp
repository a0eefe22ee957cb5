#include "CleanReg/Restore.h"

#include <fstream>
#include <iterator>

#include "CleanReg/Repair.h"
#include "platform/TRegistry.h"

namespace morvane {

namespace {

constexpr char kLineEnd[] = "\r\n";
constexpr char kNameDataJoint[] = "\"=\"";  // between a value's name and its data

bool IsKeyLine(const std::string& line) {
  return line.size() >= 2 && line.front() == '[' && line.back() == ']';
}

bool NoCaseEqual(const std::string& a, const char* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i] != '\0'; ++i) {
    const char x = a[i] >= 'a' && a[i] <= 'z' ? static_cast<char>(a[i] - 'a' + 'A') : a[i];
    const char y = b[i] >= 'a' && b[i] <= 'z' ? static_cast<char>(b[i] - 'a' + 'A') : b[i];
    if (x != y) return false;
  }
  return i == a.size() && b[i] == '\0';
}

// The root and path of a key line's text between its brackets, as AddBackupEntry joins them:
// the long root name, then the path with its leading backslash.
bool SplitKey(const std::string& inner, RootKey& root, std::string& path) {
  const std::size_t slash = inner.find('\\');
  if (slash == std::string::npos) return false;
  const std::string name = inner.substr(0, slash);
  for (RootKey r : {RootKey::ClassesRoot, RootKey::CurrentUser, RootKey::LocalMachine}) {
    if (name == LongRootName(r)) {
      root = r;
      path = inner.substr(slash);
      return true;
    }
  }
  return false;
}

// "\.ext": one level below the root, a name beginning with a dot.
bool IsExtensionPath(const std::string& path) {
  return path.size() >= 2 && path[1] == '.' && path.find('\\', 1) == std::string::npos;
}

// "\SOFTWARE\..." with at least one key below SOFTWARE and no empty name on the way: the scan
// reports values of the keys below \SOFTWARE only.
bool IsSoftwarePath(const std::string& path) {
  std::vector<std::string> names;
  std::size_t start = 1;
  while (true) {
    const std::size_t end = path.find('\\', start);
    names.push_back(path.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (names.back().empty()) return false;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return names.size() >= 2 && NoCaseEqual(names[0], "SOFTWARE");
}

// A value line: "name"="data" with a name that is not empty, or @="data" with data that is not
// empty (the writer writes nothing for an empty default value). A named line says where its name
// ends only when the three characters "=" occur once where they could join the two: with two or
// more, the name or the data holds them and the line can be read more than one way.
bool ParseValueLine(const std::string& line, std::string& name, std::string& data) {
  if (line.size() >= 5 && line.front() == '@' && line.compare(0, 3, "@=\"") == 0 &&
      line.back() == '"') {
    name.clear();
    data = line.substr(3, line.size() - 4);
    return true;
  }
  if (line.size() < 6 || line.front() != '"' || line.back() != '"') return false;
  std::size_t joint = std::string::npos;
  int joints = 0;
  for (std::size_t p = 1; p + 4 <= line.size(); ++p) {
    if (line.compare(p, 3, kNameDataJoint) == 0) {
      joint = p;
      ++joints;
    }
  }
  if (joints != 1 || joint < 2) return false;
  name = line.substr(1, joint - 1);
  data = line.substr(joint + 3, line.size() - joint - 4);
  return true;
}

// Decides what an entry is from its key line and the lines that follow it up to the next key line.
BackupEntry EntryOf(const std::string& keyLine, const std::vector<std::string>& rest, bool broken) {
  BackupEntry entry;
  // The writer writes no NUL: the texts it is given end at their first NUL.
  if (broken || keyLine.find('\0') != std::string::npos) return entry;
  std::string path;
  RootKey root;
  if (!SplitKey(keyLine.substr(1, keyLine.size() - 2), root, path)) return entry;
  if (root == RootKey::ClassesRoot) {
    if (!rest.empty() || !IsExtensionPath(path)) return entry;
    entry.kind = BackupEntryKind::ExtensionKey;
  } else {
    if (rest.size() != 1 || rest[0].find('\0') != std::string::npos || !IsSoftwarePath(path) ||
        !ParseValueLine(rest[0], entry.valueName, entry.data))
      return entry;
    entry.kind = BackupEntryKind::TextValue;
  }
  entry.root = root;
  entry.keyPath = path;
  return entry;
}

// The value's data says the text and nothing more: REG_SZ, text equal, NULs only at its end.
bool HoldsText(std::uint32_t type, const std::string& stored, const std::string& text) {
  if (type != kRegSz) return false;
  const std::size_t nul = stored.find('\0');
  if (nul == std::string::npos) return stored == text;
  return nul == text.size() && stored.compare(0, nul, text) == 0 &&
         stored.find_first_not_of('\0', nul) == std::string::npos;
}

}  // namespace

BackupContents ParseBackup(const std::string& text) {
  BackupContents contents;
  const std::size_t headerEnd = text.find(kLineEnd);
  if (text.compare(0, headerEnd, kBackupHeader) != 0) return contents;
  contents.isBackup = true;
  if (headerEnd == std::string::npos) return contents;

  bool inEntry = false, broken = false;
  std::string keyLine;
  std::vector<std::string> rest;
  auto finish = [&] {
    if (inEntry) contents.entries.push_back(EntryOf(keyLine, rest, broken));
  };
  std::size_t start = headerEnd + 2;
  while (start < text.size()) {
    std::size_t end = text.find(kLineEnd, start);
    const bool terminated = end != std::string::npos;
    if (!terminated) end = text.size();
    std::string line = text.substr(start, end - start);
    start = terminated ? end + 2 : end;
    if (IsKeyLine(line)) {
      finish();
      inEntry = true;
      broken = !terminated;
      keyLine = std::move(line);
      rest.clear();
    } else if (inEntry) {
      rest.push_back(std::move(line));
      broken = broken || !terminated;
    }
  }
  finish();
  return contents;
}

bool ReadBackupFile(const std::string& fileName, std::string& text) {
  std::ifstream file(fileName, std::ios::binary);
  if (!file) return false;
  text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return !file.bad();
}

RestoreResult RestoreEntry(const BackupEntry& entry, RegistryApi& registry) {
  if (entry.kind == BackupEntryKind::Unusable) return RestoreResult::NotRestored;
  const bool isValue = entry.kind == BackupEntryKind::TextValue;
  std::uint32_t type = 0;
  std::string stored;
  {
    TRegistry probe(registry);
    probe.SelectRoot(entry.root);
    probe.SelectView(WholeView(registry));
    if (probe.OpenPathForReading(entry.keyPath)) {
      if (!isValue) return RestoreResult::AlreadyPresent;
      const long rc = registry.QueryValue(probe.BaseKey(), entry.valueName, type, &stored);
      if (rc == kRegOk)
        return HoldsText(type, stored, entry.data) ? RestoreResult::AlreadyPresent
                                                   : RestoreResult::NotRestored;
      if (rc != kRegNotFound) return RestoreResult::NotRestored;  // there, perhaps, but unreadable
    }
  }
  TRegistry cursor(registry);
  cursor.SelectRoot(entry.root);
  // The view the scan reads and Correct acts in: the backup names its paths.
  cursor.SelectView(WholeView(registry));
  if (!cursor.OpenPath(entry.keyPath, true)) return RestoreResult::NotRestored;
  if (!isValue) return RestoreResult::Restored;
  // Something may have written the value since it was looked at: it is never overwritten.
  const long rc = registry.QueryValue(cursor.BaseKey(), entry.valueName, type, &stored);
  if (rc == kRegOk)
    return HoldsText(type, stored, entry.data) ? RestoreResult::AlreadyPresent
                                               : RestoreResult::NotRestored;
  if (rc != kRegNotFound) return RestoreResult::NotRestored;
  return cursor.WriteText(entry.valueName, entry.data) ? RestoreResult::Restored
                                                       : RestoreResult::NotRestored;
}

RestoreOutcome RestoreBackup(const std::vector<BackupEntry>& entries, RegistryApi& registry) {
  RestoreOutcome outcome;
  for (const BackupEntry& entry : entries) {
    switch (RestoreEntry(entry, registry)) {
      case RestoreResult::Restored:
        ++outcome.restored;
        break;
      case RestoreResult::AlreadyPresent:
        ++outcome.alreadyPresent;
        break;
      case RestoreResult::NotRestored:
        ++outcome.notRestored;
        break;
    }
  }
  return outcome;
}

}  // namespace morvane
