#include "CleanReg/Restore.h"

#include <algorithm>
#include <fstream>
#include <new>
#include <stdexcept>
#include <unordered_set>

#include "CleanReg/Repair.h"
#include "platform/RegKeyHandle.h"
#include "platform/TRegistry.h"

namespace morvane {

namespace {

constexpr char kLineEnd[] = "\r\n";

// The registry's limits, in characters; the names are counted in bytes, which are never fewer.
constexpr std::size_t kMaxKeyName = 255, kMaxValueName = 16383, kMaxKeyDepth = 512;

// The longest key path handed to one call whole, as the registry cursor does: a longer one is
// made a name at a time.
constexpr std::size_t kWholePathLimit = 255;

// How many keys seen to exist a restore remembers before it starts over.
constexpr std::size_t kKnownKeysKept = 4096;
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
  text.clear();
  std::ifstream file(fileName, std::ios::binary | std::ios::ate);
  if (!file) return false;
  const std::streamoff size = file.tellg();
  if (size < 0 || static_cast<std::uint64_t>(size) > kMaxBackupFileSize) return false;
  try {
    text.resize(static_cast<std::size_t>(size));
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  file.seekg(0);
  file.read(text.data(), size);
  text.resize(static_cast<std::size_t>(file.gcount()));  // the file may have shrunk meanwhile
  return !file.bad();
}

namespace {

// The names of a key path from its root ("\A\B": A and B).
std::vector<std::string> NamesOf(const std::string& keyPath) {
  std::vector<std::string> names;
  std::size_t start = 1;
  while (start <= keyPath.size()) {
    const std::size_t end = std::min(keyPath.find('\\', start), keyPath.size());
    names.push_back(keyPath.substr(start, end - start));
    start = end + 1;
  }
  return names;
}

bool WithinLimits(const BackupEntry& entry, const std::vector<std::string>& names) {
  if (names.size() > kMaxKeyDepth || entry.valueName.size() > kMaxValueName) return false;
  return std::all_of(names.begin(), names.end(),
                     [](const std::string& name) { return name.size() <= kMaxKeyName; });
}

// The keys of one entry's path as the entry opens or makes them, each held open until the
// entry ends, with whether the entry made it. Every key is opened with whatever access it
// grants: one that may be read but not written is still looked at.
class EntryPath {
 public:
  EntryPath(RegistryApi& api, std::uint32_t view) : api_(api), access_(kMaximumAllowed | view) {}

  // The whole path in one call. When the parent is known to exist, that call can make nothing
  // but the last key, and says whether it did.
  bool OpenWhole(RegKey root, const std::string& subPath) { return Step(root, subPath); }
  // A name at a time below root, so that every key made is known.
  bool OpenByName(RegKey root, const std::vector<std::string>& names) {
    RegKey base = root;
    for (const std::string& name : names) {
      if (!Step(base, name)) return false;
      base = levels_.back().key.get();
    }
    return true;
  }
  RegKey Key() const { return levels_.back().key.get(); }
  bool Made() const { return levels_.back().made; }

  // Deletes again the keys this entry made, the deepest first, while they are empty: one that
  // something else has written into meanwhile stays, and so do the keys above it.
  void Undo() {
    while (!levels_.empty() && levels_.back().made) {
      const RegKey key = levels_.back().key.get();
      RegKeyInfo info;
      if (api_.QueryInfo(key, info) != kRegOk || info.subkeys != 0 || info.values != 0 ||
          api_.DeleteOpenedKey(key) != kRegOk)
        return;
      levels_.pop_back();
    }
  }

 private:
  struct Level {
    ScopedRegKey key;
    bool made = false;
  };
  bool Step(RegKey base, const std::string& subPath) {
    RegKey key = 0;
    bool made = false;
    if (api_.CreateKey(base, subPath, access_, key, &made) != kRegOk) return false;
    levels_.push_back({ScopedRegKey(api_, key), made});
    return true;
  }

  RegistryApi& api_;
  const std::uint32_t access_;
  std::vector<Level> levels_;
};

// The keys a restore has seen to exist, so that an entry below one of them opens or makes its
// key in one call. Should someone delete such a key meanwhile, that call makes it again
// unnoticed; only the entry's own key would then be deleted again if the entry failed.
class KnownKeys {
 public:
  // True when the key at subPath below root ("" for the root itself) is known to exist or is
  // found now.
  bool Exists(RegistryApi& api, RegKey root, const std::string& subPath, std::uint32_t view) {
    if (subPath.empty() || known_.count(Name(root, subPath)) != 0) return true;
    RegKey key = 0;
    const long rc = api.OpenKey(root, subPath, kKeyQueryValue | view, key);
    if (rc == kRegOk) api.CloseKey(key);
    if (rc != kRegOk && rc != kRegAccessDenied) return false;
    Add(root, subPath);
    return true;
  }
  void Add(RegKey root, const std::string& subPath) {
    if (known_.size() >= kKnownKeysKept) known_.clear();
    known_.insert(Name(root, subPath));
  }

 private:
  static std::string Name(RegKey root, const std::string& subPath) {
    return std::to_string(root) + '\\' + subPath;
  }
  std::unordered_set<std::string> known_;
};

// An entry whose key could not be opened or made as restoring needs may be there all the same,
// readable where writing is refused.
RestoreResult LookReadOnly(const BackupEntry& entry, RegistryApi& registry) {
  TRegistry probe(registry);
  probe.SelectRoot(entry.root);
  probe.SelectView(WholeView(registry));
  if (!probe.OpenPathForReading(entry.keyPath)) return RestoreResult::NotRestored;
  if (entry.kind != BackupEntryKind::TextValue) return RestoreResult::AlreadyPresent;
  std::uint32_t type = 0;
  std::string stored;
  return registry.QueryValue(probe.BaseKey(), entry.valueName, type, &stored) == kRegOk &&
                 HoldsText(type, stored, entry.data)
             ? RestoreResult::AlreadyPresent
             : RestoreResult::NotRestored;
}

// True when the entry's value is missing from its key, and so may be written: always in a key
// the entry made. Otherwise result says what the value there is to the entry; it is never
// overwritten.
bool ValueMissing(const BackupEntry& entry, RegistryApi& registry, const EntryPath& path,
                  RestoreResult& result) {
  if (path.Made()) return true;
  std::uint32_t type = 0;
  std::string stored;
  const long rc = registry.QueryValue(path.Key(), entry.valueName, type, &stored);
  if (rc == kRegNotFound) return true;
  // Present with other data or of another type, or there perhaps but unreadable: it stays.
  result = rc == kRegOk && HoldsText(type, stored, entry.data) ? RestoreResult::AlreadyPresent
                                                               : RestoreResult::NotRestored;
  return false;
}

RestoreResult Restore(const BackupEntry& entry, RegistryApi& registry, KnownKeys& known) {
  if (entry.kind == BackupEntryKind::Unusable) return RestoreResult::NotRestored;
  const std::vector<std::string> names = NamesOf(entry.keyPath);
  if (!WithinLimits(entry, names)) return RestoreResult::NotRestored;
  // The view the scan reads and Correct acts in: the backup names its paths.
  const std::uint32_t view = ViewAccess(WholeView(registry));
  const RegKey root = RootHandle(entry.root);
  const std::string subPath = entry.keyPath.substr(1);
  const bool whole = subPath.size() <= kWholePathLimit;
  const std::size_t lastSlash = subPath.rfind('\\');
  const std::string parent = lastSlash == std::string::npos ? "" : subPath.substr(0, lastSlash);
  EntryPath path(registry, view);
  const bool opened = whole && known.Exists(registry, root, parent, view)
                          ? path.OpenWhole(root, subPath)
                          : path.OpenByName(root, names);
  if (!opened) {
    path.Undo();
    return LookReadOnly(entry, registry);
  }
  RestoreResult result = RestoreResult::Restored;
  if (entry.kind == BackupEntryKind::ExtensionKey) {
    if (!path.Made()) result = RestoreResult::AlreadyPresent;
  } else if (ValueMissing(entry, registry, path, result) &&
             registry.SetValue(path.Key(), entry.valueName, kRegSz, entry.data + '\0') != kRegOk) {
    path.Undo();
    return RestoreResult::NotRestored;
  }
  // The key stays: entries below it open or make theirs in one call.
  if (whole) known.Add(root, subPath);
  return result;
}

}  // namespace

RestoreResult RestoreEntry(const BackupEntry& entry, RegistryApi& registry) {
  KnownKeys known;
  return Restore(entry, registry, known);
}

RestoreOutcome RestoreBackup(const std::vector<BackupEntry>& entries, RegistryApi& registry,
                             const std::function<void(std::size_t done)>& before) {
  RestoreOutcome outcome;
  KnownKeys known;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (before) before(i);
    switch (Restore(entries[i], registry, known)) {
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
