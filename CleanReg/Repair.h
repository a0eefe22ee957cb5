// The repair of checked findings and the backup file that records what it removes.
//
// The backup file is text with CR LF after every line: "Morvane v1.0", two empty lines, then for
// each repaired row a key header "[ROOT\key path]" and, for a named value, a line "name"="data"
// (@="data" for a key's default value). Texts are written exactly as held, without escaping.
// When every line can be spelled exactly in the system's ANSI code page, the file is written in
// it, with no byte-order mark; otherwise the whole file is UTF-8 and begins with the UTF-8
// byte-order mark, so that no name is written as a look-alike or with '?' in its place.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "CleanReg/Finding.h"
#include "platform/AnsiCodePage.h"
#include "platform/FileSystem.h"
#include "platform/RegistryApi.h"

namespace morvane {

inline constexpr char kBackupHeader[] = "Morvane v1.0";
inline constexpr char kCorrectedCaption[] = "Corrected!";
// The UTF-8 byte-order mark that begins a backup file written in UTF-8.
inline constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";

// The backup lines of the repair in progress; exists from BeginBackup to EndBackup.
extern std::unique_ptr<std::vector<std::string>> BackupList;

// Root key of a Section code ("HKCU", "HKLM", "HKCR", compared exactly); false for any other text.
bool RootOfSection(const std::string& section, RootKey& root);
// "HKEY_CURRENT_USER" and the like; empty for anything else.
const char* LongRootName(RootKey root);

// Creates BackupList with the three header lines.
void BeginBackup();
// Appends one entry: the key header and, for a non-empty value name, the value line; for an
// empty value name with data (a default value), the line @="data".
void AddBackupEntry(RootKey root, const std::string& keyPath, const std::string& valueName,
                    const std::string& data);
// The bytes of a backup file of these lines, each followed by CR LF: in the code page when it
// spells every line exactly, else the UTF-8 byte-order mark and the lines in UTF-8.
std::string BackupFileBytes(const std::vector<std::string>& lines, AnsiCodePage& ansi);
// When backup is set, writes BackupList to the file of exactly that name through files, as
// BackupFileBytes gives it, a slice at a time with between run after each line: the file is
// replaced whole, or left as it was when the writing fails. Releases the list in every case.
// True when nothing had to be written or the file is in place.
bool EndBackup(bool backup, const std::string& fileName, FileSystem& files,
               AnsiCodePage& ansi = SystemAnsiCodePage(),
               const std::function<void()>& between = {});

// Removes what a finding names, provided the finding still holds: a whole-key row's key must
// still have no value and no subkey; a value row's value must still be REG_SZ whose data is
// exactly the text shown (trailing NULs aside: data that goes on after a NUL is kept), and its
// text must still name no file or folder, asked of files afresh. Records the entry in
// BackupList when backup is set, whatever the outcome. True when the key or value was removed.
// The key path is one of the view the scan reads (WholeView): native on 64-bit Windows.
// When it is not removed, *error (when given) is the registry's error code of the open or
// removal it refused, or kRegOk when the finding no longer holds.
bool DeleteRegItem(RootKey root, const std::string& keyPath, const std::string& valueName,
                   const std::string& data, bool wholeKey, bool backup, RegistryApi& registry,
                   FileSystem& files, long* error = nullptr);

struct RepairRow {
  Finding finding;
  bool checked = false;
};

struct RepairHooks {
  // Runs after each row and line as the backup is built and written, before the first removal
  // (the window lets its messages run here).
  std::function<void()> between;
  // Runs before each checked row's removal (the window lets messages run and pauses here).
  std::function<void()> beforeEach;
  // Asked after beforeEach: true ends the repair there. That row and the checked rows after it
  // are left as they are and counted in RepairOutcome::left.
  std::function<bool()> stop;
  // Runs with a row's index when its removal succeeded.
  std::function<void(std::size_t row)> corrected;
};

struct RepairOutcome {
  bool backupWritten = false;  // or no backup was asked for; false: nothing was removed
  std::size_t removed = 0;     // rows whose key or value is gone
  std::size_t failed = 0;      // rows processed whose removal failed or no longer applied
                               // (a file that exists again keeps its value)
  std::size_t denied = 0;      // of the failed, those the registry refused with access denied
  std::size_t left = 0;        // checked rows not processed: the repair was stopped before them
};

// Repairs the checked rows in order. When backup is set, the backup file is written first,
// whole; if that fails, nothing is removed and backupWritten is false. Rows whose
// Section code is none of the three are left alone and recorded nowhere.
RepairOutcome RepairFindings(const std::vector<RepairRow>& rows, bool backup,
                             const std::string& fileName, RegistryApi& registry, FileSystem& files,
                             const RepairHooks& hooks, AnsiCodePage& ansi = SystemAnsiCodePage());

}  // namespace morvane
