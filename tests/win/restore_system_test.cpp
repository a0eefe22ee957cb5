// Restore on the real (Wine) registry: stale entries seeded, scanned, removed by Correct with a
// backup, and put back from the backup file with their exact data and type.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>

#include "CleanReg/Repair.h"
#include "CleanReg/Restore.h"
#include "tests/native/recording_sink.h"
#include "tests/native/reference_scan.h"
#include "tests/win/system_fixtures.h"

namespace morvane {
namespace {

constexpr char kUserKey[] = "Software\\MorvaneTest\\Restore";
// The scan looks at the values of the keys below where it starts.
constexpr char kUserStart[] = "\\Software\\MorvaneTest";
constexpr char kMachineStart[] = "\\SOFTWARE\\MorvaneRestoreTest";
constexpr char kMachineKey[] = "SOFTWARE\\MorvaneRestoreTest\\Machine";
const char* const kExtensions[] = {".mvrestore-a", ".mvrestore-b"};
// The one name the backup file cannot state: it holds the three characters "=".
constexpr char kAmbiguousName[] = "a\"=\"b";

struct Seeded {
  HKEY root;
  std::string key, name, text;
};

class RestoreSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Clean();
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    backup_ = std::string(temp) + "morvane-restore-system.reg";
  }
  void TearDown() override {
    Clean();
    DeleteFileA(backup_.c_str());
  }
  static void Clean() {
    for (const char* ext : kExtensions) RegDeleteTreeA(HKEY_CLASSES_ROOT, ext);
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\MorvaneTest");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kMachineStart + 1);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SYSTEM\\MorvaneRestoreTest");
  }
  static void Seed(const Seeded& s) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(s.root, s.key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, s.name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(s.text.c_str()),
                             static_cast<DWORD>(s.text.size() + 1)),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
  // "type:bytes" of a value, or "missing".
  static std::string Stored(HKEY root, const std::string& keyPath, const std::string& name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return "missing";
    DWORD type = 0, size = 0;
    std::string data;
    LONG rc = RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size);
    if (rc == ERROR_SUCCESS) {
      data.resize(size);
      rc = RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
      data.resize(size);
    }
    RegCloseKey(key);
    return rc == ERROR_SUCCESS ? std::to_string(type) + ":" + data : "missing";
  }
  static bool KeyExists(HKEY root, const std::string& keyPath) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
  }
  RestoreOutcome RestoreFrom(const std::string& fileName, bool* isBackup = nullptr) {
    std::string text;
    EXPECT_TRUE(ReadBackupFile(fileName, text));
    const BackupContents contents = ParseBackup(text);
    if (isBackup != nullptr) *isBackup = contents.isBackup;
    return RestoreBackup(contents.entries, SystemRegistry());
  }
  std::string backup_;
};

TEST_F(RestoreSystemTest, WhatCorrectRemovedComesBackExactlyAndOnlyOnce) {
  const std::vector<Seeded> values = {
      {HKEY_CURRENT_USER, kUserKey, "plain", "C:\\MvRestoreGone\\tool.exe -u"},
      {HKEY_CURRENT_USER, kUserKey, "quotes", "C:\\MvRestoreGone\\\"quoted\" dir\\app.exe,0"},
      {HKEY_CURRENT_USER, std::string(kUserKey) + "\\Deep\\Er", "", "C:\\MvRestoreGone\\default.dll"},
      {HKEY_CURRENT_USER, kUserKey, "name \\ \"with\" = marks", "C:\\MvRestoreGone\\marks.exe %1"},
      {HKEY_CURRENT_USER, kUserKey, kAmbiguousName, "C:\\MvRestoreGone\\ambiguous.exe"},
      {HKEY_LOCAL_MACHINE, kMachineKey, "machine", "C:\\MvRestoreGone\\machine.exe"},
  };
  for (const Seeded& s : values) Seed(s);
  for (const char* ext : kExtensions) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, ext, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }

  RecordingSink sink;
  RecordingScan worker(sink, SystemRegistry(), SystemFileSystem());
  worker.ReferencePass(RootKey::ClassesRoot, "");
  worker.ReferencePass(RootKey::CurrentUser, kUserStart);
  worker.ReferencePass(RootKey::LocalMachine, kMachineStart);
  std::vector<RepairRow> rows;
  for (const Finding& f : sink.findings)
    if (f.section != "HKCR" || f.parameter.rfind(".mvrestore-", 0) == 0) rows.push_back({f, true});
  ASSERT_EQ(rows.size(), values.size() + std::size(kExtensions));
  // The scan never reports data holding '=', so this one goes to Correct as a row of its own.
  const Seeded equals{HKEY_CURRENT_USER, kUserKey, "equals", "C:\\MvRestoreGone\\a=b\\\"c\".exe"};
  Seed(equals);
  rows.push_back({{kCaptionReference, equals.text, "HKCU", std::string("\\") + kUserKey, equals.name}, true});

  const RepairOutcome repaired = RepairFindings(rows, true, backup_, SystemRegistry(), RepairHooks{});
  ASSERT_TRUE(repaired.backupWritten);
  ASSERT_EQ(repaired.removed, rows.size());
  for (const char* ext : kExtensions) ASSERT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ext));
  // The key that held only the default value goes with it, as one a user might have deleted.
  ASSERT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, (std::string(kUserKey) + "\\Deep").c_str()), ERROR_SUCCESS);

  RestoreOutcome outcome = RestoreFrom(backup_);
  EXPECT_EQ(outcome.restored, rows.size() - 1);
  EXPECT_EQ(outcome.alreadyPresent, 0u);
  EXPECT_EQ(outcome.notRestored, 1u);
  for (const char* ext : kExtensions) EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, ext)) << ext;
  std::vector<Seeded> restored = values;
  restored.push_back(equals);
  for (const Seeded& s : restored) {
    const bool ambiguous = s.name == kAmbiguousName;
    EXPECT_EQ(Stored(s.root, s.key, s.name), ambiguous ? "missing" : "1:" + s.text + std::string(1, '\0')) << s.name;
  }

  // Again, after a value was changed meanwhile: what is there stays, the rest is already present.
  Seed({HKEY_CURRENT_USER, kUserKey, "plain", "C:\\Changed\\since.exe"});
  outcome = RestoreFrom(backup_);
  EXPECT_EQ(outcome.restored, 0u);
  EXPECT_EQ(outcome.alreadyPresent, rows.size() - 2);
  EXPECT_EQ(outcome.notRestored, 2u);
  EXPECT_EQ(Stored(HKEY_CURRENT_USER, kUserKey, "plain"), "1:C:\\Changed\\since.exe" + std::string(1, '\0'));
}

TEST_F(RestoreSystemTest, AFileThatIsNotABackupOrNamesOtherKeysChangesNothing) {
  const std::string machine = "[HKEY_LOCAL_MACHINE\\SYSTEM\\MorvaneRestoreTest]\r\n\"v\"=\"C:\\x.exe\"\r\n";
  const std::string user = "[HKEY_CURRENT_USER\\Software\\MorvaneTest\\Restore]\r\n\"v\"=\"C:\\x.exe\"\r\n";
  const struct {
    std::string text;
    bool isBackup;
  } cases[] = {
      {"Windows Registry Editor Version 5.00\r\n\r\n" + user, false},
      {"REGEDIT4\r\n\r\n" + user, false},
      {std::string("Morvane v1.0\r\n\r\n\r\n") + machine + "[HKEY_CLASSES_ROOT\\mvrestore-nodot]\r\n", true},
  };
  for (const auto& c : cases) {
    { std::ofstream(backup_, std::ios::binary) << c.text; }
    bool isBackup = false;
    const RestoreOutcome outcome = RestoreFrom(backup_, &isBackup);
    EXPECT_EQ(isBackup, c.isBackup);
    EXPECT_EQ(outcome.restored + outcome.alreadyPresent, 0u);
    EXPECT_EQ(outcome.notRestored, c.isBackup ? 2u : 0u);
  }
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "SYSTEM\\MorvaneRestoreTest"));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUserKey));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "mvrestore-nodot"));
}

}  // namespace
}  // namespace morvane
