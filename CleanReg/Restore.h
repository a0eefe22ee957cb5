// Restore from a backup file: the file read back into its entries (the exact inverse of what
// AddBackupEntry and EndBackup write), and each entry put back into the registry without
// overwriting anything that is there.
//
// Only what Correct removes can come back: an empty extension key directly under
// HKEY_CLASSES_ROOT, and a text value below \SOFTWARE of HKEY_LOCAL_MACHINE or
// HKEY_CURRENT_USER. An entry the file cannot state exactly is left out, never guessed at.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/AnsiCodePage.h"
#include "platform/FileSystem.h"
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

// Reads the text of a backup file (UTF-8, as DecodeBackup gives it). Lines end with CR LF; a CR
// or LF alone is part of its line, as it was of the text written. A last line without its CR LF
// (a file cut short) is unusable. before, when given, runs before each key line.
BackupContents ParseBackup(const std::string& text, const std::function<void()>& before = nullptr);

// A backup of a million entries takes some 62 MB; a file larger than this is not read.
inline constexpr std::uint64_t kMaxBackupFileSize = std::uint64_t(1) << 30;

// Turns the bytes of a backup file into its text, in place: after the UTF-8 byte-order mark they
// are UTF-8 and only the mark goes; without it they are read in the ANSI code page, as every
// backup file written before UTF-8 ones was.
void DecodeBackup(std::string& bytes, AnsiCodePage& ansi);

// The whole file of exactly that name into text, read through files and decoded (DecodeBackup);
// false when it cannot be opened or read, is larger than kMaxBackupFileSize or does not fit in
// memory. maxSize, below kMaxBackupFileSize, lets a test try a file at the limit without writing
// a gigabyte.
bool ReadBackupFile(const std::string& fileName, std::string& text, FileSystem& files,
                    AnsiCodePage& ansi = SystemAnsiCodePage(),
                    std::uint64_t maxSize = kMaxBackupFileSize);

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

// Restores the entries in order. before, when given, runs before each entry with the number of
// entries done. What the restore learns of the keys on the way (which of them exist) serves the
// entries after: an entry below a key seen to exist opens or makes its key in one call.
RestoreOutcome RestoreBackup(const std::vector<BackupEntry>& entries, RegistryApi& registry,
                             const std::function<void(std::size_t done)>& before = nullptr);

}  // namespace morvane
