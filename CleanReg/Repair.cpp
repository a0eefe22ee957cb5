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

std::string BackupFileBytes(const std::vector<std::string>& lines, AnsiCodePage& ansi) {
  std::string bytes;
  for (const std::string& line : lines) {
    if (!ansi.SpellExactly(line, bytes)) {
      // One line that the code page cannot spell makes the whole file UTF-8.
      bytes = kUtf8Mark;
      for (const std::string& each : lines) bytes.append(each).append("\r\n");
      return bytes;
    }
    bytes.append("\r\n");
  }
  return bytes;
}

bool EndBackup(bool backup, const std::string& fileName, FileSystem& files, AnsiCodePage& ansi) {
  std::unique_ptr<std::vector<std::string>> lines = std::move(BackupList);
  if (!backup) return true;
  if (!lines || fileName.empty()) return false;
  return files.WriteWholeFile(fileName, BackupFileBytes(*lines, ansi));
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
  for (const RepairRow& row : rows)
    if (TargetOf(row, target))
      AddBackupEntry(target.root, row.finding.keyPath, target.valueName, target.data);
  if (!EndBackup(backup, fileName, files, ansi)) return outcome;
  outcome.backupWritten = true;

  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (!TargetOf(rows[i], target)) continue;
    if (hooks.beforeEach) hooks.beforeEach();
    if (hooks.stop && hooks.stop()) {
      // Stopped: this row and the checked rows after it stay as they are (the backup, written
      // first, names them too).
      for (std::size_t j = i; j < rows.size(); ++j)
        if (TargetOf(rows[j], target)) ++outcome.left;
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
