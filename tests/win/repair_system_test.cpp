// The repair on the real (Wine) registry: values written as exact bytes, the backup entry of a
// key's default value, the file asked about again, keys with long paths.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "CleanReg/Repair.h"
#include "tests/native/recording_sink.h"
#include "tests/native/reference_scan.h"
#include "tests/win/system_fixtures.h"

namespace morvane {
namespace {

constexpr char kScratch[] = "Software\\MorvaneTest\\Repair";

class RepairSystemTest : public ::testing::Test {
 protected:
  void SetUp() override { RegDeleteTreeA(HKEY_CURRENT_USER, kScratch); }
  void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\MorvaneTest"); }
  static bool ValueExists(const char* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kScratch, 0, KEY_READ, &key) != ERROR_SUCCESS)
      return false;
    const bool found =
        RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return found;
  }
};

// A value whose data goes on after a NUL is kept: neither the row nor the backup carries the rest.
TEST_F(RepairSystemTest, ValueWithDataAfterItsTextIsKept) {
  const std::string text = "C:\\MvGone\\first.exe";
  const struct {
    const char* name;
    std::string data;
    bool removed;
  } cases[] = {
      {"tail", text + std::string(1, '\0') + "C:\\Keep\\important-tail.txt", false},
      {"one", text + std::string(1, '\0'), true},
      {"many", text + std::string(3, '\0'), true},
      {"none", text, true},
  };
  BeginBackup();
  for (const auto& c : cases) {
    ASSERT_TRUE(SetUserValueBytes(kScratch, c.name, REG_SZ, c.data));
    EXPECT_EQ(DeleteRegItem(RootKey::CurrentUser, std::string("\\") + kScratch, c.name, text, false,
                            true, SystemRegistry(), SystemFileSystem()),
              c.removed)
        << c.name;
    EXPECT_EQ(ValueExists(c.name), !c.removed) << c.name;
  }
  // The default value's data is kept in the backup as a registry export writes it.
  ASSERT_TRUE(SetUserValueBytes(kScratch, "", REG_SZ, text + std::string(1, '\0')));
  EXPECT_TRUE(DeleteRegItem(RootKey::CurrentUser, std::string("\\") + kScratch, "", text, false,
                            true, SystemRegistry(), SystemFileSystem()));
  EXPECT_FALSE(ValueExists(""));
  ASSERT_TRUE(BackupList);
  EXPECT_EQ(BackupList->back(), "@=\"" + text + "\"");
  EXPECT_EQ((*BackupList)[BackupList->size() - 2],
            "[HKEY_CURRENT_USER\\Software\\MorvaneTest\\Repair]");
  EndBackup(false, "", SystemFileSystem());
}

// Correct asks the file system again: a file that appeared since the scan keeps its value.
TEST_F(RepairSystemTest, ValueWhoseFileAppearedSinceTheScanIsKept) {
  const std::string folder = "C:\\MorvaneRepairTest", text = folder + "\\back.exe -u";
  ASSERT_TRUE(SetUserValueBytes(kScratch, "back", REG_SZ, text + std::string(1, '\0')));
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string program = folder + "\\back.exe";
  HANDLE file = CreateFileA(program.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);
  const std::string key = std::string("\\") + kScratch;
  EXPECT_FALSE(DeleteRegItem(RootKey::CurrentUser, key, "back", text, false, false,
                             SystemRegistry(), SystemFileSystem()));
  EXPECT_TRUE(ValueExists("back"));
  DeleteFileA(program.c_str());
  RemoveDirectoryA(folder.c_str());
  EXPECT_TRUE(DeleteRegItem(RootKey::CurrentUser, key, "back", text, false, false, SystemRegistry(),
                            SystemFileSystem()));
  EXPECT_FALSE(ValueExists("back"));
}

// A value in a key whose full path is longer than 260 characters is found and removed.
TEST_F(RepairSystemTest, ValueInAKeyWithALongPathIsRemoved) {
  std::wstring wide = L"Software\\MorvaneTest\\Repair";
  std::string path = std::string("\\") + kScratch;
  for (wchar_t c = L'a'; c < L'f'; ++c) {
    wide += L"\\" + std::wstring(60, c);
    path += "\\" + std::string(60, static_cast<char>(c));
  }
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, wide.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  const wchar_t data[] = L"C:\\MorvaneRepairTest\\deep.exe";
  ASSERT_EQ(
      RegSetValueExW(key, L"deep", 0, REG_SZ, reinterpret_cast<const BYTE*>(data), sizeof data),
      ERROR_SUCCESS);

  RecordingSink sink;
  RecordingScan worker(sink, SystemRegistry(), SystemFileSystem());
  worker.ReferencePass(RootKey::CurrentUser, std::string("\\") + kScratch);
  ASSERT_EQ(sink.findings.size(), 1u);
  EXPECT_EQ(sink.findings[0].keyPath, path);
  EXPECT_TRUE(DeleteRegItem(RootKey::CurrentUser, path, "deep", "C:\\MorvaneRepairTest\\deep.exe",
                            false, false, SystemRegistry(), SystemFileSystem()));
  EXPECT_EQ(RegQueryValueExW(key, L"deep", nullptr, nullptr, nullptr, nullptr),
            ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
}

// On 64-bit Windows the scan reads HKEY_LOCAL_MACHINE\SOFTWARE in the native view, where the
// 32-bit programs' keys are SOFTWARE\Wow6432Node: a stale value of either view is reported once
// under its native path, and Correct and its backup act on that path, in that view only.
TEST_F(RepairSystemTest, BothViewsOfTheMachineAreScannedAndRepairedUnderNativePaths) {
  if (!IsWow64Process32()) GTEST_SKIP() << "one registry view here";
  struct Value {
    const char* key;
    REGSAM view;
    std::string text;
  };
  const std::string present = WindowsFolder() + "\\notepad.exe";
  const Value values[] = {
      {"SOFTWARE\\MvNative", KEY_WOW64_64KEY, "C:\\MorvaneViewTest\\native.exe"},
      {"SOFTWARE\\MvWow", KEY_WOW64_32KEY, "C:\\MorvaneViewTest\\wow.exe"},
      // Same-named twins in the other view, naming a file that exists.
      {"SOFTWARE\\MvNative", KEY_WOW64_32KEY, present},
      {"SOFTWARE\\MvWow", KEY_WOW64_64KEY, present}};
  const auto cleanUp = [] {
    for (const char* key : {"SOFTWARE\\MvNative", "SOFTWARE\\MvWow"})
      for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY})
        RegDeleteKeyExA(HKEY_LOCAL_MACHINE, key, view, 0);
    RegDeleteKeyExA(HKEY_CLASSES_ROOT, ".mvviewtest", KEY_WOW64_64KEY, 0);
  };
  cleanUp();
  for (const Value& v : values) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, v.key, 0, nullptr, 0, KEY_ALL_ACCESS | v.view,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, "v", 0, REG_SZ, reinterpret_cast<const BYTE*>(v.text.c_str()),
                   static_cast<DWORD>(v.text.size() + 1));
    RegCloseKey(key);
  }
  HKEY extension = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, ".mvviewtest", 0, nullptr, 0,
                            KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &extension, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(extension);

  RecordingSink sink;
  RecordingScan worker(sink, SystemRegistry(), SystemFileSystem());
  worker.ReferencePass(RootKey::ClassesRoot, "");
  worker.ReferencePass(RootKey::LocalMachine, "\\SOFTWARE");
  std::vector<RepairRow> rows;
  std::vector<std::string> paths;
  for (const Finding& f : sink.findings) {
    if (f.keyPath.find("\\Mv") == std::string::npos && f.parameter != ".mvviewtest") continue;
    rows.push_back({f, true});
    paths.push_back(f.section + f.keyPath + "|" + f.valueName);
  }
  EXPECT_EQ(paths, (std::vector<std::string>{"HKCR\\.mvviewtest|", "HKLM\\SOFTWARE\\MvNative|v",
                                             "HKLM\\SOFTWARE\\Wow6432Node\\MvWow|v"}));

  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string file = std::string(temp) + "morvane-views.reg";
  const RepairOutcome outcome =
      RepairFindings(rows, true, file, SystemRegistry(), SystemFileSystem(), RepairHooks{});
  EXPECT_EQ(outcome.removed, 3u);
  std::ifstream in(file, std::ios::binary);
  const std::string backup((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();
  EXPECT_EQ(
      backup,
      "Morvane v1.0\r\n\r\n\r\n[HKEY_CLASSES_ROOT\\.mvviewtest]\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\MvNative]\r\n\"v\"=\"C:\\MorvaneViewTest\\native.exe\"\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\MvWow]\r\n\"v\"=\"C:\\MorvaneViewTest\\wow."
      "exe\"\r\n");
  DeleteFileA(file.c_str());
  // Each stale value went from its own view; the twins stay.
  for (const Value& v : values) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, v.key, 0, KEY_READ | v.view, &key), ERROR_SUCCESS);
    const bool found =
        RegQueryValueExA(key, "v", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    EXPECT_EQ(found, v.text == present) << v.key << " in view " << v.view;
  }
  cleanUp();
}

}  // namespace
}  // namespace morvane
