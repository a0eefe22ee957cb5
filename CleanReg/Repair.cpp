#include "CleanReg/Repair.h"

#include "CleanReg/ReferenceRule.h"
#include "platform/TRegistry.h"

namespace morvane {

std::unique_ptr<std::vector<std::string>> BackupList;

bool RootOfSection(const std::string& section, RootKey& root) {
  if (section == "HKCU")
    root = RootKey::CurrentUser;
  else if (section == "HKLM")
    root = RootKey::LocalMachine;
  else if (section == "HKCR")
    root = RootKey::ClassesRoot;
  else
    return false;
  return true;
}

const char* LongRootName(RootKey root) {
  switch (root) {
    case RootKey::CurrentUser:
      return "HKEY_CURRENT_USER";
    case RootKey::LocalMachine:
      return "HKEY_LOCAL_MACHINE";
    case RootKey::ClassesRoot:
      return "HKEY_CLASSES_ROOT";
  }
  return "";
}

void BeginBackup() {
  BackupList = std::make_unique<std::vector<std::string>>();
  BackupList->push_back(kBackupHeader);
  BackupList->push_back("");
  BackupList->push_back("");
}

void AddBackupEntry(RootKey root, const std::string& keyPath, const std::string& valueName,
                    const std::string& data) {
  if (!BackupList) return;
  BackupList->push_back("[" + std::string(LongRootName(root)) + keyPath + "]");
  if (!valueName.empty()) BackupList->push_back("\"" + valueName + "\"=\"" + data + "\"");
  // A key's default value is written as a registry export writes it, so its data is kept too.
  else if (!data.empty())
    BackupList->push_back("@=\"" + data + "\"");
}

namespace {

// Bytes are handed on in slices of about this size.
constexpr std::size_t kSliceBytes = std::size_t{1} << 20;

enum class Spelling { kWritten, kNotInCodePage, kRefused };

// Hands write the bytes of a backup file of these lines, a slice at a time: in the code page when
// ansi is given (kNotInCodePage at the first line it does not spell exactly), else the UTF-8
// byte-order mark and the lines in UTF-8. kRefused when write refused a slice. between runs after
// each line.
Spelling SpellLines(const std::vector<std::string>& lines, AnsiCodePage* ansi,
                    const std::function<bool(std::string_view)>& write,
                    const std::function<void()>& between) {
  std::string slice = ansi == nullptr ? kUtf8Mark : "";
  slice.reserve(kSliceBytes + 4096);
  for (const std::string& line : lines) {
    if (ansi == nullptr)
      slice.append(line);
    else if (!ansi->SpellExactly(line, slice))
      return Spelling::kNotInCodePage;
    slice.append("\r\n");
    if (slice.size() >= kSliceBytes) {
      if (!write(slice)) return Spelling::kRefused;
      slice.clear();
    }
    if (between) between();
  }
  return slice.empty() || write(slice) ? Spelling::kWritten : Spelling::kRefused;
}

}  // namespace

std::string BackupFileBytes(const std::vector<std::string>& lines, AnsiCodePage& ansi) {
  std::string bytes;
  const auto append = [&bytes](std::string_view slice) {
    bytes.append(slice);
    return true;
  };
  if (SpellLines(lines, &ansi, append, {}) == Spelling::kWritten) return bytes;
  // One line that the code page cannot spell makes the whole file UTF-8.
  bytes.clear();
  SpellLines(lines, nullptr, append, {});
  return bytes;
}

bool EndBackup(bool backup, const std::string& fileName, FileSystem& files, AnsiCodePage& ansi,
               const std::function<void()>& between) {
  std::unique_ptr<std::vector<std::string>> lines = std::move(BackupList);
  if (!backup) return true;
  if (!lines || fileName.empty()) return false;
  // Written in the code page; begun again in UTF-8 at the first line it cannot spell.
  for (AnsiCodePage* page : {&ansi, static_cast<AnsiCodePage*>(nullptr)}) {
    const std::unique_ptr<FileReplacement> file = files.BeginReplacement(fileName);
    if (!file) return false;
    const Spelling spelt = SpellLines(
        *lines, page, [&file](std::string_view slice) { return file->Write(slice); }, between);
    if (spelt != Spelling::kNotInCodePage) return spelt == Spelling::kWritten && file->Commit();
  }
  return false;
}

namespace {

// Whether a text value's stored data is its text and nothing more: no NUL, or NULs only at the
// end. Data that goes on after a NUL is not what the row shows nor what a backup could restore.
bool DataIsItsText(const std::string& data) {
  const std::size_t nul = data.find('\0');
  return nul == std::string::npos || data.find_first_not_of('\0', nul) == std::string::npos;
}

// Whether the key or value still is what the scan reported, and a value's text still names
// nothing (the program may have been installed again since the scan).
bool StillStale(TRegistry& key, const std::string& valueName, const std::string& text,
                bool wholeKey, FileSystem& files) {
  if (wholeKey) {
    RegKeyInfo info;
    return key.Api().QueryInfo(key.BaseKey(), info) == kRegOk && info.values == 0 &&
           info.subkeys == 0;
  }
  std::uint32_t type = 0;
  std::string data;
  if (key.Api().QueryValue(key.BaseKey(), valueName, type, &data) != kRegOk || type != kRegSz)
    return false;
  return DataIsItsText(data) && data.substr(0, data.find('\0')) == text &&
         IsBrokenReference(text, files);
}

}  // namespace

bool DeleteRegItem(RootKey root, const std::string& keyPath, const std::string& valueName,
                   const std::string& data, bool wholeKey, bool backup, RegistryApi& registry,
                   FileSystem& files, long* error) {
  bool removed = false;
  long refusal = kRegOk;
  {
    // The row's key path is one of the view the scan reads.
    TRegistry cursor(registry);
    cursor.SelectRoot(root);
    cursor.SelectView(WholeView(registry));
    if (wholeKey) {
      // Looked at through a read-only cursor first, so that a key that cannot be read is left.
      TRegistry probe(registry);
      probe.SelectRoot(root);
      probe.SelectView(WholeView(registry));
      if (!probe.OpenPathForReading(keyPath)) {
        refusal = probe.LastError();
      } else if (StillStale(probe, "", "", true, files)) {
        probe.ClosePath();
        removed = cursor.DeleteTree(keyPath);
        refusal = cursor.LastError();
      }
    } else if (!cursor.OpenPath(keyPath, false)) {
      refusal = cursor.LastError();
    } else if (StillStale(cursor, valueName, data, false, files)) {
      removed = cursor.RemoveValue(valueName);
      refusal = cursor.LastError();
    }
  }
  if (error != nullptr) *error = removed ? kRegOk : refusal;
  if (backup)
    AddBackupEntry(root, keyPath, wholeKey ? std::string() : valueName,
                   wholeKey ? std::string() : data);
  return removed;
}

namespace {

// What a checked row asks to remove: a whole key on HKEY_CLASSES_ROOT, else one value.
struct RepairTarget {
  RootKey root;
  bool wholeKey;
  std::string valueName;
  std::string data;
};

bool TargetOf(const RepairRow& row, RepairTarget& target) {
  if (!row.checked || !RootOfSection(row.finding.section, target.root)) return false;
  target.wholeKey = target.root == RootKey::ClassesRoot;
  target.valueName = target.wholeKey ? std::string() : row.finding.valueName;
  target.data = target.wholeKey ? std::string() : row.finding.parameter;
  return true;
}

}  // namespace

RepairOutcome RepairFindings(const std::vector<RepairRow>& rows, bool backup,
                             const std::string& fileName, RegistryApi& registry, FileSystem& files,
                             const RepairHooks& hooks, AnsiCodePage& ansi) {
  // The file's content depends only on the rows, so it is written before anything is removed:
  // a backup that was asked for and cannot be written stops the repair.
  RepairOutcome outcome;
  RepairTarget target;
  BeginBackup();
  for (const RepairRow& row : rows) {
    if (backup && TargetOf(row, target))
      AddBackupEntry(target.root, row.finding.keyPath, target.valueName, target.data);
    if (hooks.between) hooks.between();
  }
  if (!EndBackup(backup, fileName, files, ansi, hooks.between)) return outcome;
  outcome.backupWritten = true;

  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (!TargetOf(rows[i], target)) continue;
    if (hooks.beforeEach) hooks.beforeEach();
    if (hooks.stop && hooks.stop()) {
      // Stopped: this row and the checked rows after it stay as they are (the backup, written
      // first, names them too).
      for (std::size_t j = i; j < rows.size(); ++j)
        if (rows[j].checked && RootOfSection(rows[j].finding.section, target.root)) ++outcome.left;
      break;
    }
    long error = kRegOk;
    if (DeleteRegItem(target.root, rows[i].finding.keyPath, target.valueName, target.data,
                      target.wholeKey, false, registry, files, &error)) {
      ++outcome.removed;
      if (hooks.corrected) hooks.corrected(i);
    } else {
      ++outcome.failed;
      if (error == kRegAccessDenied) ++outcome.denied;
    }
  }
  return outcome;
}

}  // namespace morvane
