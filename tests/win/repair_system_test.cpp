// The repair on the real (Wine) registry: values written as exact bytes, the backup entry of a
// key's default value, the file asked about again, keys with long paths.
#include <windows.h>
#include <winternl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
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

// A value whose name holds a NUL (the native call makes one; it is a way to hide a value) is
// listed; Correct counts it as not removed and touches neither it nor the value that the part of
// its name before the NUL names.
TEST_F(RepairSystemTest, ValueWithANulInItsNameIsListedAndLeft) {
  using SetValueFn = LONG(WINAPI*)(HANDLE, const UNICODE_STRING*, ULONG, ULONG, const void*, ULONG);
  const auto setValue = reinterpret_cast<SetValueFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtSetValueKey")));
  ASSERT_NE(setValue, nullptr);
  const std::string text = "C:\\MvGone\\hidden.exe";
  const HKEY key = CreateUserKey(std::string(kScratch) + "\\Hide");
  const std::wstring data = Widen(text);
  wchar_t name[] = L"Mv\0Hidden";
  for (const USHORT length : {2, 9}) {  // "Mv", then the whole name
    const UNICODE_STRING counted{static_cast<USHORT>(length * sizeof(wchar_t)), sizeof name, name};
    ASSERT_EQ(setValue(key, &counted, 0, REG_SZ, data.c_str(), (data.size() + 1) * sizeof(wchar_t)),
              0);
  }
  RecordingSink sink;
  RecordingScan(sink, SystemRegistry(), SystemFileSystem())
      .ReferencePass(RootKey::CurrentUser, std::string("\\") + kScratch);
  std::vector<RepairRow> rows;
  for (const Finding& f : sink.findings)
    if (f.valueName != "Mv") rows.push_back({f, true});
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].finding.valueName, std::string("Mv\0Hidden", 9));
  const RepairOutcome outcome =
      RepairFindings(rows, false, "", SystemRegistry(), SystemFileSystem(), RepairHooks{});
  EXPECT_EQ(outcome.removed, 0u);
  EXPECT_EQ(outcome.failed, 1u);
  EXPECT_EQ(RegQueryValueExA(key, "Mv", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  DWORD values = 0;
  RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                   nullptr, nullptr, nullptr);
  EXPECT_EQ(values, 2u);
  RegCloseKey(key);
}

// The machine's files, with the backup's writing stopped: a write refused after half of it is
// written (a full disk), or, when killed is set, the process killed before the replace, killed
// being what then looks at the disk.
class StoppedWriting final : public FileSystem {
 public:
  PathKind Look(const std::string& path) override { return SystemFileSystem().Look(path); }
  std::uint32_t DriveSerial(char c) override { return SystemFileSystem().DriveSerial(c); }
  std::optional<std::string> Variable(const std::string& name) override {
    return SystemFileSystem().Variable(name);
  }
  std::unique_ptr<FileReplacement> BeginReplacement(const std::string& path) override {
    struct Stopped final : FileReplacement {
      std::unique_ptr<FileReplacement> real;
      std::function<void()> killed;
      bool Write(std::string_view bytes) override {
        if (killed) return real->Write(bytes);
        real->Write(bytes.substr(0, bytes.size() / 2));
        return false;
      }
      bool Commit() override {
        killed();
        return false;
      }
    };
    auto stopped = std::make_unique<Stopped>();
    stopped->real = SystemFileSystem().BeginReplacement(path);
    stopped->killed = killed;
    return stopped->real ? std::move(stopped) : nullptr;
  }
  std::function<void()> killed;
};

// Correct's backup replaces an earlier one whole or not at all, before anything is removed. A
// full disk, a kill before the replace, an earlier file that cannot be replaced (open in another
// program): the earlier file stays as it was and nothing is removed; a failure the program sees
// leaves no temporary file, and a kill leaves one beside the earlier file, holding the whole new
// backup.
TEST_F(RepairSystemTest, AnEarlierBackupIsReplacedWholeOrLeftAsItWas) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string folder = std::string(temp) + "MvBackupTest", file = folder + "\\kopia.reg";
  const std::string text = "C:\\MvGone\\v.exe",
                    backup = "Morvane v1.0\r\n\r\n\r\n[HKEY_CURRENT_USER\\" +
                             std::string(kScratch) + "]\r\n\"v\"=\"" + text + "\"\r\n";
  // The folder's files, "name=content" in name order, a temporary file's name as "~mv".
  const auto inFolder = [&] {
    std::vector<std::string> found;
    WIN32_FIND_DATAA data;
    const HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &data);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &data)) {
      const std::string name = data.cFileName;
      if (name == "." || name == "..") continue;
      // The temporary file is open to its writer alone: its size is what can be seen of it.
      found.push_back(name.rfind("~mv", 0) == 0
                          ? "~mv=" + std::to_string(data.nFileSizeLow) + " bytes"
                          : name + "=" + ReadNamedFile(folder + "\\" + name));
    }
    FindClose(search);
    std::sort(found.begin(), found.end());
    return found;
  };
  using Holds = std::vector<std::string>;
  const struct {
    const char* what;
    bool stopped, killed, held;
    Holds atKill, after;
  } cases[] = {
      {"a full disk", true, false, false, {}, {"kopia.reg=earlier"}},
      {"a kill",
       true,
       true,
       false,
       {"kopia.reg=earlier", "~mv=" + std::to_string(backup.size()) + " bytes"},
       {"kopia.reg=earlier"}},
      {"a file held open", false, false, true, {}, {"kopia.reg=earlier"}},
      {"a write", false, false, false, {}, {"kopia.reg=" + backup}},
  };
  CreateDirectoryA(folder.c_str(), nullptr);
  for (const auto& c : cases) {
    std::ofstream(file, std::ios::binary) << "earlier";
    const HANDLE held = c.held ? CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                             OPEN_EXISTING, 0, nullptr)
                               : INVALID_HANDLE_VALUE;
    ASSERT_TRUE(SetUserValueBytes(kScratch, "v", REG_SZ, text + '\0'));
    StoppedWriting stopped;
    Holds atKill;
    if (c.killed) stopped.killed = [&] { atKill = inFolder(); };
    const std::vector<RepairRow> rows = {
        {{"", text, "HKCU", std::string("\\") + kScratch, "v"}, true}};
    const RepairOutcome outcome =
        RepairFindings(rows, true, file, SystemRegistry(),
                       c.stopped ? static_cast<FileSystem&>(stopped) : SystemFileSystem(), {});
    EXPECT_EQ(outcome.backupWritten, !c.stopped && !c.held) << c.what;
    EXPECT_EQ(ValueExists("v"), !outcome.backupWritten) << c.what;
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    EXPECT_EQ(atKill, c.atKill) << c.what;
    EXPECT_EQ(inFolder(), c.after) << c.what;
  }
  RemoveTree(Widen(folder));
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
