#include "CleanReg/Restore.h"

#include <algorithm>
#include <new>
#include <set>
#include <stdexcept>
#include <string_view>

#include "CleanReg/Repair.h"
#include "platform/RegKeyHandle.h"
#include "platform/TRegistry.h"
#include "platform/Utf.h"

namespace morvane {

namespace {

using Text = std::string_view;

constexpr char kLineEnd[] = "\r\n";
constexpr Text kNameDataJoint = "\"=\"";  // between a value's name and its data

bool IsKeyLine(Text line) { return line.size() >= 2 && line.front() == '[' && line.back() == ']'; }

bool NoCaseEqual(Text a, const char* b) {
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
bool SplitKey(Text inner, RootKey& root, Text& path) {
  const std::size_t slash = inner.find('\\');
  if (slash == Text::npos) return false;
  const Text name = inner.substr(0, slash);
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
bool IsExtensionPath(Text path) {
  return path.size() >= 2 && path[1] == '.' && path.find('\\', 1) == Text::npos;
}

// "\SOFTWARE\..." with at least one key below SOFTWARE and no empty name on the way: the scan
// reports values of the keys below \SOFTWARE only.
bool IsSoftwarePath(Text path) {
  std::size_t names = 0, start = 1;
  Text first;
  while (true) {
    const std::size_t end = path.find('\\', start);
    const Text name = path.substr(start, end == Text::npos ? Text::npos : end - start);
    if (name.empty()) return false;
    if (names++ == 0) first = name;
    if (end == Text::npos) break;
    start = end + 1;
  }
  return names >= 2 && NoCaseEqual(first, "SOFTWARE");
}

// A value line: "name"="data" with a name that is not empty, or @="data" with data that is not
// empty (the writer writes nothing for an empty default value). A named line says where its name
// ends only when the three characters "=" occur once where they could join the two: with two or
// more, the name or the data holds them and the line can be read more than one way.
bool ParseValueLine(Text line, std::string& name, std::string& data) {
  if (line.size() >= 5 && line.substr(0, 3) == "@=\"" && line.back() == '"') {
    name.clear();
    data.assign(line.substr(3, line.size() - 4));
    return true;
  }
  if (line.size() < 6 || line.front() != '"' || line.back() != '"') return false;
  std::size_t joint = Text::npos;
  int joints = 0;
  for (std::size_t p = line.find(kNameDataJoint, 1); p != Text::npos && p + 4 <= line.size();
       p = line.find(kNameDataJoint, p + 1)) {
    joint = p;
    ++joints;
  }
  if (joints != 1 || joint < 2) return false;
  name.assign(line.substr(1, joint - 1));
  data.assign(line.substr(joint + 3, line.size() - joint - 4));
  return true;
}

// Decides what an entry is from its key line and the lines that follow it up to the next key line.
BackupEntry EntryOf(Text keyLine, const std::vector<Text>& rest, bool broken) {
  BackupEntry entry;
  // The writer writes no NUL: the texts it is given end at their first NUL.
  if (broken || keyLine.find('\0') != Text::npos) return entry;
  Text path;
  RootKey root;
  if (!SplitKey(keyLine.substr(1, keyLine.size() - 2), root, path)) return entry;
  if (root == RootKey::ClassesRoot) {
    if (!rest.empty() || !IsExtensionPath(path)) return entry;
    entry.kind = BackupEntryKind::ExtensionKey;
  } else {
    if (rest.size() != 1 || rest[0].find('\0') != Text::npos || !IsSoftwarePath(path) ||
        !ParseValueLine(rest[0], entry.valueName, entry.data))
      return entry;
    entry.kind = BackupEntryKind::TextValue;
  }
  entry.root = root;
  entry.keyPath.assign(path);
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

BackupContents ParseBackup(const std::string& whole, const std::function<void()>& before) {
  BackupContents contents;
  const Text text(whole);
  const std::size_t headerEnd = text.find(kLineEnd);
  if (text.substr(0, headerEnd) != kBackupHeader) return contents;
  contents.isBackup = true;
  if (headerEnd == Text::npos) return contents;

  bool inEntry = false, broken = false;
  Text keyLine;
  std::vector<Text> rest;
  auto finish = [&] {
    if (inEntry) contents.entries.push_back(EntryOf(keyLine, rest, broken));
  };
  std::size_t start = headerEnd + 2;
  while (start < text.size()) {
    std::size_t end = text.find(kLineEnd, start);
    const bool terminated = end != Text::npos;
    if (!terminated) end = text.size();
    const Text line = text.substr(start, end - start);
    start = terminated ? end + 2 : end;
    if (IsKeyLine(line)) {
      if (before) before();
      finish();
      inEntry = true;
      broken = !terminated;
      keyLine = line;
      rest.clear();
    } else if (inEntry) {
      rest.push_back(line);
      broken = broken || !terminated;
    }
  }
  finish();
  return contents;
}

void DecodeBackup(std::string& bytes, AnsiCodePage& ansi) {
  const std::size_t mark = sizeof kUtf8Mark - 1;
  if (bytes.compare(0, mark, kUtf8Mark) == 0) {
    bytes.erase(0, mark);
    return;
  }
  // Every ANSI code page spells the first 128 characters as UTF-8 does.
  if (std::all_of(bytes.begin(), bytes.end(),
                  [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
    return;
  std::string text;
  text.reserve(bytes.size());
  ansi.Read(bytes, text);
  bytes.swap(text);
}

bool ReadBackupFile(const std::string& fileName, std::string& text, FileSystem& files,
                    AnsiCodePage& ansi, std::uint64_t maxSize) {
  if (!files.ReadWholeFile(fileName, text, std::min(maxSize, kMaxBackupFileSize))) return false;
  try {
    DecodeBackup(text, ansi);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

namespace {

// How many keys seen to exist a restore remembers before it starts over.
constexpr std::size_t kKnownKeysKept = 4096;

// The registry's limits, counted in UTF-16 units as it counts them. A UTF-8 text never has fewer
// bytes than units, so a short one is not counted.
bool WithinUnits(Text text, std::size_t limit) {
  return text.size() <= limit || Utf16Length(text) <= limit;
}

bool WithinLimits(const BackupEntry& entry) {
  if (!WithinUnits(entry.valueName, kMaxValueNameUnits)) return false;
  const std::string& path = entry.keyPath;
  std::size_t depth = 0;
  for (std::size_t start = 1; start <= path.size();) {
    const std::size_t end = std::min(path.find('\\', start), path.size());
    if (!WithinUnits(Text(path).substr(start, end - start), kMaxKeyNameUnits) ||
        ++depth > static_cast<std::size_t>(kMaxKeyDepth))
      return false;
    start = end + 1;
  }
  return true;
}

// One restore's registry work, entry after entry, with what it has learned of the keys on the
// way: an entry below a key seen to exist opens or makes its key in one call, which can then
// make nothing but that key and says whether it did. Any other key path is opened or made a name
// at a time, so that every key made is known.
//
// Should someone delete a key seen to exist meanwhile, the one call makes it again unnoticed,
// and a failure of that entry deletes again its own key only.
class RestoreRun {
 public:
  explicit RestoreRun(RegistryApi& api) : api_(api), view_(ViewAccess(WholeView(api))) {}

  RestoreResult Restore(const BackupEntry& entry) {
    refusal_ = kRegOk;
    if (entry.kind == BackupEntryKind::Unusable || !WithinLimits(entry))
      return RestoreResult::NotRestored;
    const RestoreResult result = RestoreWithinLimits(entry);
    levels_.clear();
    return result;
  }
  // The registry's error code of the call that kept the last entry from being restored; kRegOk
  // when none was refused.
  long Refusal() const { return refusal_; }

 private:
  struct Level {
    ScopedRegKey key;
    bool made = false;  // by this entry
  };

  RestoreResult RestoreWithinLimits(const BackupEntry& entry) {
    const RegKey root = RootHandle(entry.root);
    subPath_.assign(entry.keyPath, 1, std::string::npos);
    const Text path(subPath_);
    // A path one call takes whole, as the registry cursor hands it; a longer one is made a name
    // at a time.
    const bool whole = WithinUnits(path, kMaxPathUnitsPerCall);
    const bool opened = whole && ParentExists(entry.root, ParentOf(path)) ? Step(root, subPath_)
                                                                          : OpenByName(root, path);
    if (!opened) {
      Undo();
      return LookReadOnly(entry);
    }
    RestoreResult result = RestoreResult::Restored;
    if (entry.kind == BackupEntryKind::ExtensionKey) {
      if (!levels_.back().made) result = RestoreResult::AlreadyPresent;
    } else if (ValueMissing(entry, result)) {
      data_.assign(entry.data);
      data_.push_back('\0');
      refusal_ = api_.SetValue(levels_.back().key.get(), entry.valueName, kRegSz, data_);
      if (refusal_ != kRegOk) {
        Undo();
        return RestoreResult::NotRestored;
      }
    }
    // The key stays: the entries after it below the same key open or make theirs in one call.
    if (whole) Remember(entry.root, ParentOf(path));
    return result;
  }

  // "" for a key right below its root.
  static Text ParentOf(Text path) {
    const std::size_t slash = path.rfind('\\');
    return slash == Text::npos ? Text() : path.substr(0, slash);
  }

  bool ParentExists(RootKey root, Text parent) {
    if (parent.empty() || Known(root).count(parent) != 0) return true;
    name_.assign(parent);
    RegKey key = 0;
    const long rc = api_.OpenKey(RootHandle(root), name_, kKeyQueryValue | view_, key);
    if (rc == kRegOk) api_.CloseKey(key);
    if (rc != kRegOk && rc != kRegAccessDenied) return false;
    Remember(root, parent);
    return true;
  }
  void Remember(RootKey root, Text key) {
    if (key.empty() || Known(root).count(key) != 0) return;
    if (++knownCount_ > kKnownKeysKept) {
      for (auto& known : known_) known.clear();
      knownCount_ = 1;
    }
    Known(root).emplace(key);
  }
  std::set<std::string, std::less<>>& Known(RootKey root) {
    return known_[static_cast<std::uint32_t>(root) -
                  static_cast<std::uint32_t>(RootKey::ClassesRoot)];
  }

  // Opens or makes subPath below base with whatever access it grants: a key that may be read
  // but not written is still looked at.
  bool Step(RegKey base, const std::string& subPath) {
    RegKey key = 0;
    bool made = false;
    refusal_ = api_.CreateKey(base, subPath, kMaximumAllowed | view_, key, &made);
    if (refusal_ != kRegOk) return false;
    levels_.push_back({ScopedRegKey(api_, key), made});
    return true;
  }
  bool OpenByName(RegKey root, Text path) {
    RegKey base = root;
    for (std::size_t start = 0; start <= path.size();) {
      const std::size_t end = std::min(path.find('\\', start), path.size());
      name_.assign(path.substr(start, end - start));
      if (!Step(base, name_)) return false;
      base = levels_.back().key.get();
      start = end + 1;
    }
    return true;
  }

  // True when the entry's value is missing from its key, and so may be written: always in a key
  // the entry made. Otherwise result says what the value there is to the entry; it is never
  // overwritten.
  bool ValueMissing(const BackupEntry& entry, RestoreResult& result) {
    if (levels_.back().made) return true;
    std::uint32_t type = 0;
    const long rc = api_.QueryValue(levels_.back().key.get(), entry.valueName, type, &stored_);
    if (rc == kRegNotFound) return true;
    if (rc != kRegOk) refusal_ = rc;
    // Present with other data or of another type, or there perhaps but unreadable: it stays.
    result = rc == kRegOk && HoldsText(type, stored_, entry.data) ? RestoreResult::AlreadyPresent
                                                                  : RestoreResult::NotRestored;
    return false;
  }

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

  // An entry whose key could not be opened or made as restoring needs may be there all the
  // same, readable where writing is refused.
  RestoreResult LookReadOnly(const BackupEntry& entry) {
    TRegistry probe(api_);
    probe.SelectRoot(entry.root);
    probe.SelectView(WholeView(api_));
    if (!probe.OpenPathForReading(entry.keyPath)) return RestoreResult::NotRestored;
    if (entry.kind != BackupEntryKind::TextValue) return RestoreResult::AlreadyPresent;
    std::uint32_t type = 0;
    return api_.QueryValue(probe.BaseKey(), entry.valueName, type, &stored_) == kRegOk &&
                   HoldsText(type, stored_, entry.data)
               ? RestoreResult::AlreadyPresent
               : RestoreResult::NotRestored;
  }

  RegistryApi& api_;
  const std::uint32_t view_;                     // the view the scan reads and Correct acts in
  std::set<std::string, std::less<>> known_[3];  // keys seen to exist, by root
  std::size_t knownCount_ = 0;
  std::vector<Level> levels_;  // the keys of the entry's path as it opened or made them
  std::string subPath_, name_, data_, stored_;  // kept from entry to entry
  long refusal_ = kRegOk;
};

}  // namespace

RestoreResult RestoreEntry(const BackupEntry& entry, RegistryApi& registry, long* error) {
  RestoreRun run(registry);
  const RestoreResult result = run.Restore(entry);
  if (error != nullptr) *error = result == RestoreResult::NotRestored ? run.Refusal() : kRegOk;
  return result;
}

RestoreOutcome RestoreBackup(const std::vector<BackupEntry>& entries, RegistryApi& registry,
                             const std::function<void(std::size_t done)>& before) {
  RestoreOutcome outcome;
  RestoreRun run(registry);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (before) before(i);
    switch (run.Restore(entries[i])) {
      case RestoreResult::Restored:
        ++outcome.restored;
        break;
      case RestoreResult::AlreadyPresent:
        ++outcome.alreadyPresent;
        break;
      case RestoreResult::NotRestored:
        ++outcome.notRestored;
        if (run.Refusal() == kRegAccessDenied) ++outcome.denied;
        break;
    }
  }
  return outcome;
}

}  // namespace morvane
