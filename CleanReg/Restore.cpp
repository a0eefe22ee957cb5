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

// The value's data says the text and nothing more: REG_SZ, text equal, NULs only at its end.
bool HoldsText(std::uint32_t type, const std::string& stored, const std::string& text) {
  if (type != kRegSz) return false;
  const std::size_t nul = stored.find('\0');
  if (nul == std::string::npos) return stored == text;
  return nul == text.size() && stored.compare(0, nul, text) == 0 &&
         stored.find_first_not_of('\0', nul) == std::string::npos;
}

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
}  // namespace

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

RestoreResult RestoreEntry(const BackupEntry& entry, RegistryApi& registry, long* error) {
  RestoreRun run(registry);
  const RestoreResult result = run.Restore(entry);
  if (error != nullptr) *error = result == RestoreResult::NotRestored ? run.Refusal() : kRegOk;
  return result;
}

RestoreSession::RestoreSession(RegistryApi& registry)
    : run_(std::make_unique<RestoreRun>(registry)) {}

RestoreSession::~RestoreSession() = default;

RestoreResult RestoreSession::Restore(const BackupEntry& entry) {
  const RestoreResult result = run_->Restore(entry);
  switch (result) {
    case RestoreResult::Restored:
      ++outcome_.restored;
      break;
    case RestoreResult::AlreadyPresent:
      ++outcome_.alreadyPresent;
      break;
    case RestoreResult::NotRestored:
      ++outcome_.notRestored;
      if (run_->Refusal() == kRegAccessDenied) ++outcome_.denied;
      break;
  }
  return result;
}

RestoreOutcome RestoreBackup(const std::vector<BackupEntry>& entries, RegistryApi& registry,
                             const std::function<void(std::size_t done)>& before) {
  RestoreSession session(registry);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (before) before(i);
    session.Restore(entries[i]);
  }
  return session.Outcome();
}

}  // namespace morvane
