// Restore benchmark: a backup file of 10,000 entries (9,000 text values, each in a key of its own
// under HKCU\SOFTWARE\MorvaneBench\Restore, a tenth of them default values, and 1,000 empty
// extension keys), written by the backup
// writer and restored as the window restores it after Yes: the file read, its lines parsed and
// every entry put back. Printed for a registry where every entry is missing and for one where
// every entry is already present, beside a floor measured the same way in the same run: a bare
// loop that creates each key and sets each value without looking first. Median of three runs.
// Run it in a throwaway prefix: it writes into HKEY_CLASSES_ROOT (and removes what it wrote).
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "CleanReg/Repair.h"
#include "CleanReg/Restore.h"
#include "bench/bench_measure.h"

using namespace morvane;
using namespace morvane::bench;

namespace {

constexpr char kTree[] = "SOFTWARE\\MorvaneBench\\Restore";
constexpr int kValues = 9000, kExtensions = 1000;

std::string ExtensionName(int i) {
  char name[32];
  std::snprintf(name, sizeof name, ".mvbench%04d", i);
  return name;
}

void WriteBackup(const std::string& fileName) {
  BeginBackup();
  for (int v = 0; v < kValues; ++v) {
    char key[96], data[128];
    std::snprintf(key, sizeof key, "\\%s\\Vendor%03d\\App%04d", kTree, v % 100, v);
    std::snprintf(data, sizeof data, "C:\\Program Files\\Gone %04d\\bin\\tool.exe -u \"%%1\"", v);
    AddBackupEntry(RootKey::CurrentUser, key,
                   v % 10 == 0 ? std::string() : "Path" + std::to_string(v % 7), data);
  }
  for (int i = 0; i < kExtensions; ++i)
    AddBackupEntry(RootKey::ClassesRoot, "\\" + ExtensionName(i), "", "");
  EndBackup(true, fileName);
}

void RemoveAll() {
  RegDeleteTreeA(HKEY_CURRENT_USER, "SOFTWARE\\MorvaneBench");
  for (int i = 0; i < kExtensions; ++i) RegDeleteKeyA(HKEY_CLASSES_ROOT, ExtensionName(i).c_str());
}

// What restoring cannot do with less: each key created, each value set, nothing looked at first.
void BareWrites(const std::vector<BackupEntry>& entries) {
  for (const BackupEntry& e : entries) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(reinterpret_cast<HKEY>(RootHandle(e.root)), e.keyPath.c_str() + 1, 0,
                        nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
      continue;
    if (e.kind == BackupEntryKind::TextValue)
      RegSetValueExA(key, e.valueName.c_str(), 0, REG_SZ,
                     reinterpret_cast<const BYTE*>(e.data.c_str()),
                     static_cast<DWORD>(e.data.size() + 1));
    RegCloseKey(key);
  }
}

RestoreOutcome RestoreFile(const std::string& fileName, std::size_t& entries) {
  std::string text;
  ReadBackupFile(fileName, text);
  const BackupContents contents = ParseBackup(text);
  entries = contents.entries.size();
  return RestoreBackup(contents.entries, SystemRegistry());
}

}  // namespace

int main() {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string file = std::string(temp) + "morvane-restore-bench.reg";
  WriteBackup(file);
  std::string text;
  ReadBackupFile(file, text);
  const std::vector<BackupEntry> parsed = ParseBackup(text).entries;
  std::printf("backup file: %zu entries, %zu bytes\n", parsed.size(), text.size());

  std::vector<double> parse, floor, missing, present;
  RestoreOutcome first, again;
  std::size_t entries = 0;
  for (int run = 0; run < 3; ++run) {
    RemoveAll();
    parse.push_back(Seconds([&] {
      std::string t;
      ReadBackupFile(file, t);
      ParseBackup(t);
    }));
    floor.push_back(Seconds([&] { BareWrites(parsed); }));
    RemoveAll();
    missing.push_back(Seconds([&] { first = RestoreFile(file, entries); }));
    present.push_back(Seconds([&] { again = RestoreFile(file, entries); }));
  }
  RemoveAll();
  DeleteFileA(file.c_str());

  std::printf("read and parse only:          %7.3f s\n", Median(parse));
  std::printf("floor, bare create and set:   %7.3f s\n", Median(floor));
  std::printf(
      "restore, all missing:         %7.3f s  (%.2fx floor)  restored %zu, present %zu, not %zu\n",
      Median(missing), Median(missing) / Median(floor), first.restored, first.alreadyPresent,
      first.notRestored);
  std::printf(
      "restore, all already present: %7.3f s  (%.2fx floor)  restored %zu, present %zu, not %zu\n",
      Median(present), Median(present) / Median(floor), again.restored, again.alreadyPresent,
      again.notRestored);
  std::printf("target: under 2 s for %zu entries\n", entries);
  return first.restored == entries && again.alreadyPresent == entries ? 0 : 1;
}
