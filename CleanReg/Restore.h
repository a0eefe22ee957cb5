// Restore from a backup file: each entry the file holds (CleanReg/BackupReader.h reads them) put
// back into the registry without overwriting anything that is there.
//
// Only what Correct removes can come back: an empty extension key directly under
// HKEY_CLASSES_ROOT, and a text value below \SOFTWARE of HKEY_LOCAL_MACHINE or
// HKEY_CURRENT_USER. An entry the file cannot state exactly is left out, never guessed at.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/RegistryApi.h"

namespace morvane {

enum class BackupEntryKind {
  ExtensionKey,  // "[HKEY_CLASSES_ROOT\.ext]" alone: the key is created if absent
  TextValue,     // a key line below \SOFTWARE and one value line: the value is set if absent
  Unusable,      // anything else: nothing is changed for it
};

struct BackupEntry {
  BackupEntryKind kind = BackupEntryKind::Unusable;
  RootKey root = RootKey::CurrentUser;
  std::string keyPath;    // from the root, beginning with a backslash
  std::string valueName;  // empty for a key's default value
  std::string data;
};

enum class RestoreResult { Restored, AlreadyPresent, NotRestored };

// Puts one entry back, in the view the scan reads (WholeView). An entry that goes past the
// registry's limits (a key name of 255 UTF-16 units, a value name of 16,383, a path 512 keys
// deep; a character beyond the Basic Multilingual Plane counts two units) is not restored, and
// nothing is called for it. The key is opened or made, with every missing key on its path, by
// creations that say whether they made it: one for the whole path when its parent is known to
// exist, else one per name. A new key's value is set at once; the value of a key that was there is
// looked at first, and one present with other data or of another type stays as it is. Where the key
// cannot be opened so, it is looked at read-only, so that what is there counts as already
// present even where writing is refused. An entry not restored leaves no key behind: the keys
// it made are deleted again while they are empty. For an entry not restored, *error (when given)
// is the registry's error code of the creation, write or read it refused (kRegAccessDenied for
// lack of rights), or kRegOk when it was refused nothing.
RestoreResult RestoreEntry(const BackupEntry& entry, RegistryApi& registry, long* error = nullptr);

struct RestoreOutcome {
  std::size_t restored = 0;
  std::size_t alreadyPresent = 0;
  std::size_t notRestored = 0;
  std::size_t denied = 0;  // of those not restored, the ones the registry refused access denied
};

class RestoreRun;

// Restores entries one at a time, in order, and counts what came of them. What the restore learns
// of the keys on the way (which of them exist) serves the entries after: an entry below a key
// seen to exist opens or makes its key in one call.
class RestoreSession {
 public:
  explicit RestoreSession(RegistryApi& registry);
  ~RestoreSession();
  RestoreSession(const RestoreSession&) = delete;
  RestoreSession& operator=(const RestoreSession&) = delete;
  RestoreResult Restore(const BackupEntry& entry);
  const RestoreOutcome& Outcome() const { return outcome_; }

 private:
  std::unique_ptr<RestoreRun> run_;
  RestoreOutcome outcome_;
};

// Restores the entries in order. before, when given, runs before each entry with the number of
// entries done. What the restore learns of the keys on the way (which of them exist) serves the
// entries after: an entry below a key seen to exist opens or makes its key in one call.
RestoreOutcome RestoreBackup(const std::vector<BackupEntry>& entries, RegistryApi& registry,
                             const std::function<void(std::size_t done)>& before = nullptr);

}  // namespace morvane
