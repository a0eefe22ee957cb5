// Restore from a backup file: the file read back into its entries (the exact inverse of what
// AddBackupEntry and EndBackup write), and each entry put back into the registry without
// overwriting anything that is there.
//
// Only what Correct removes can come back: an empty extension key directly under
// HKEY_CLASSES_ROOT, and a text value below \SOFTWARE of HKEY_LOCAL_MACHINE or
// HKEY_CURRENT_USER. An entry the file cannot state exactly is left out, never guessed at.
#pragma once

#include <cstddef>
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

struct BackupContents {
  bool isBackup = false;  // the first line is kBackupHeader
  // One entry per key line, in file order. A line that is neither a key line nor a value line
  // the writer could have written makes the entry it follows unusable; lines before the first
  // key line belong to no entry.
  std::vector<BackupEntry> entries;
};

// Reads the bytes of a backup file. Lines end with CR LF; a CR or LF alone is part of its line,
// as it was of the text written. A last line without its CR LF (a file cut short) is unusable.
BackupContents ParseBackup(const std::string& text);

// The whole file into text; false when it cannot be opened or read.
bool ReadBackupFile(const std::string& fileName, std::string& text);

enum class RestoreResult { Restored, AlreadyPresent, NotRestored };

// Puts one entry back. The key and value are looked at through a read-only cursor first, so
// that one already present counts as such even where writing is not allowed; a value present
// with other data or of another type stays as it is. A missing key path is created, and the
// value is looked at once more through the key it is written with just before it is written.
RestoreResult RestoreEntry(const BackupEntry& entry, RegistryApi& registry);

struct RestoreOutcome {
  std::size_t restored = 0;
  std::size_t alreadyPresent = 0;
  std::size_t notRestored = 0;
};

// Restores the entries in order.
RestoreOutcome RestoreBackup(const std::vector<BackupEntry>& entries, RegistryApi& registry);

}  // namespace morvane
