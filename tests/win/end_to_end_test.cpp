// Scan and repair end to end, in the real window on the real (Wine) registry and disk of the
// test prefix: seeded stale and sound entries, Start, the rows that appear, Correct with a
// backup, and the registry and backup file afterwards.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "platform/WideText.h"
#include "tests/win/system_fixtures.h"
#include "tests/win/window_harness.h"

namespace morvane {
namespace {

using namespace morvane::testing;

constexpr char kSeed[] = "SOFTWARE\\MorvaneSeed";

// The seeded key as the rows name it: the scan reads the native view, where the HKLM key that
// this 32-bit program wrote lies under SOFTWARE\Wow6432Node on 64-bit Windows.
std::string RowKey(const std::string& section) {
  return section == "HKLM" && IsWow64Process32() ? "\\SOFTWARE\\Wow6432Node\\MorvaneSeed"
                                                 : "\\SOFTWARE\\MorvaneSeed";
}

void SetText(HKEY root, const std::string& key, const std::string& name, const std::string& text,
             DWORD type = REG_SZ) {
  HKEY k;
  ASSERT_EQ(RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(k, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>(text.size() + 1));
  RegCloseKey(k);
}

void MakeKey(HKEY root, const std::string& key) {
  HKEY k;
  ASSERT_EQ(RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(k);
}

bool KeyExists(HKEY root, const std::string& key) {
  HKEY k;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
  RegCloseKey(k);
  return true;
}

bool ValueExists(HKEY root, const std::string& key, const std::string& name) {
  HKEY k;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
  const bool found =
      RegQueryValueExA(k, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  RegCloseKey(k);
  return found;
}

class EndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Clean();
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    const std::string win = windows;
    CreateDirectoryA("C:\\MorvaneSeed", nullptr);
    CreateDirectoryA("C:\\MorvaneSeed\\store.d", nullptr);

    MakeKey(HKEY_CLASSES_ROOT, ".mvtest-empty");
    SetText(HKEY_CLASSES_ROOT, ".mvtest-default", "", "");
    MakeKey(HKEY_CLASSES_ROOT, ".mvtest-sub\\ShellNew");
    MakeKey(HKEY_CLASSES_ROOT, "mvtest-nodot");

    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
      const std::string key = kSeed;
      SetText(root, key, "broken", "C:\\MorvaneSeed\\gone.exe");
      SetText(root, key, "args", "C:\\MorvaneSeed\\tool.exe -u");
      SetText(root, key, "comma", "C:\\MorvaneSeed\\lib.dll,0");
      SetText(root, key, "bang", "C:\\MorvaneSeed\\x.exe!1");
      SetText(root, key, "percent", "C:\\MorvaneSeed\\run.exe %1");
      SetText(root, key, "quoted", "\"C:\\MorvaneSeed\\q.exe\"");
      SetText(root, key, "quotedArg", "C:\\MorvaneSeed\\run.exe \"%1\"");
      SetText(root, key, "expand", "C:\\MorvaneSeed\\gone.exe", REG_EXPAND_SZ);
      SetText(root, key, "aDrive", "A:\\gone.exe");
      SetText(root, key, "noVolume", "Q:\\gone.exe");
      SetText(root, key, "valid", win + "\\notepad.exe");
      SetText(root, key, "validArgs", win + "\\notepad.exe /x");
      SetText(root, key, "folder", "C:\\MorvaneSeed\\store.d");
      SetText(root, key + "\\Sub", "deep", "C:\\MorvaneSeed\\deep.exe");
    }
  }
  void TearDown() override {
    Clean();
    DeleteFileA(backup_.c_str());
  }
  static void Clean() {
    for (const char* key : {".mvtest-empty", ".mvtest-default", ".mvtest-sub", "mvtest-nodot"})
      RegDeleteTreeA(HKEY_CLASSES_ROOT, key);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kSeed);
    RegDeleteTreeA(HKEY_CURRENT_USER, kSeed);
    RemoveDirectoryA("C:\\MorvaneSeed\\store.d");
    RemoveDirectoryA("C:\\MorvaneSeed");
  }
  // Rows of the list that belong to the seeded entries, as "section|key|value|parameter".
  static std::vector<std::string> SeededRows(TMainForm& f, std::vector<int>* indexes = nullptr) {
    std::vector<std::string> rows;
    for (int i = 0; i < ListViewRows(f.ListView1); ++i) {
      const std::string key = ListViewText(f.ListView1, i, 3);
      const std::string section = ListViewText(f.ListView1, i, 2);
      if (key.rfind("\\.mvtest", 0) != 0 &&
          (section == "HKCR" || key.rfind(RowKey(section), 0) != 0))
        continue;
      rows.push_back(ListViewText(f.ListView1, i, 2) + "|" + key + "|" + f.Findings()[i].valueName +
                     "|" + ListViewText(f.ListView1, i, 1));
      if (indexes != nullptr) indexes->push_back(i);
    }
    return rows;
  }
  std::string backup_;
};

TEST_F(EndToEndTest, ScanFindsExactlyTheStaleEntriesAndCorrectRemovesTheChecked) {
  RecordedServices services;
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  backup_ = std::string(temp) + "morvane-e2e.reg";
  services.saveDialog = [&](TSaveDialog& dialog) {
    dialog.FileName = backup_;
    return true;
  };
  TMainForm f(services.Make());
  f.Show();
  ClickWindow(f, f.ZelButton1->Handle());
  ASSERT_TRUE(PumpUntil(
      f, [&] { return !f.FCleanThread && f.ZelButton1->Enabled(); },
      std::chrono::milliseconds(300000)));
  EXPECT_EQ(f.StatusText(), "The analysis of keys of the register is completed!");
  EXPECT_TRUE(f.ZelButton3->Enabled());

  std::vector<std::string> expected{"HKCR|\\.mvtest-empty||.mvtest-empty"};
  for (const char* section : {"HKLM", "HKCU"}) {
    const std::string s = section;
    for (const std::string& row : {// The registry enumerates values in name order.
                                   std::string("|args|C:\\MorvaneSeed\\tool.exe -u"),
                                   std::string("|bang|C:\\MorvaneSeed\\x.exe!1"),
                                   std::string("|broken|C:\\MorvaneSeed\\gone.exe"),
                                   std::string("|comma|C:\\MorvaneSeed\\lib.dll,0"),
                                   std::string("|percent|C:\\MorvaneSeed\\run.exe %1"),
                                   std::string("\\Sub|deep|C:\\MorvaneSeed\\deep.exe")})
      expected.push_back(s + "|" + RowKey(s) + row);
  }
  std::vector<int> indexes;
  ASSERT_EQ(SeededRows(f, &indexes), expected);
  for (int i = 0; i < ListViewRows(f.ListView1); ++i) EXPECT_FALSE(ListViewChecked(f.ListView1, i));

  // Check the extension key, the HKLM "args" value and the HKCU "deep" value.
  ListView_SetCheckState(f.ListView1, indexes[0], TRUE);
  ListView_SetCheckState(f.ListView1, indexes[1], TRUE);
  ListView_SetCheckState(f.ListView1, indexes[12], TRUE);
  ClickWindow(f, f.ZelButton3->Handle());
  ASSERT_TRUE(PumpUntil(f, [&] { return ListViewRows(f.ListView1) == 0; }));
  EXPECT_FALSE(f.ZelButton3->Enabled());

  std::ifstream file(backup_, std::ios::binary);
  const std::string content((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
  EXPECT_EQ(content,
            "Morvane v1.0\r\n\r\n\r\n"
            "[HKEY_CLASSES_ROOT\\.mvtest-empty]\r\n"
            "[HKEY_LOCAL_MACHINE" +
                RowKey("HKLM") +
                "]\r\n"
                "\"args\"=\"C:\\MorvaneSeed\\tool.exe -u\"\r\n"
                "[HKEY_CURRENT_USER\\SOFTWARE\\MorvaneSeed\\Sub]\r\n"
                "\"deep\"=\"C:\\MorvaneSeed\\deep.exe\"\r\n");
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ".mvtest-empty"));
  EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kSeed, "args"));
  EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, kSeed, "broken"));
  EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, std::string(kSeed) + "\\Sub", "deep"));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, std::string(kSeed) + "\\Sub"));
  EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, kSeed, "args"));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, ".mvtest-sub\\ShellNew"));
}

// Keys and values named in UTF-8, made and read through the wide calls.
void SetWideText(const std::string& key, const std::string& name, const std::string& text) {
  HKEY k;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, Widen(key).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &k, nullptr),
            ERROR_SUCCESS);
  const std::wstring wide = Widen(text);
  RegSetValueExW(k, Widen(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                 static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(k);
}

// The value's text; "(none)" when it is not there.
std::string WideText(const std::string& key, const std::string& name) {
  wchar_t text[256] = {};
  DWORD size = sizeof text - sizeof(wchar_t);
  if (RegGetValueW(HKEY_CURRENT_USER, Widen(key).c_str(), Widen(name).c_str(), RRF_RT_REG_SZ,
                   nullptr, text, &size) != ERROR_SUCCESS)
    return "(none)";
  return Narrow(text);
}

std::vector<std::string> Subkeys(const std::string& key) {
  std::vector<std::string> names;
  HKEY k;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, Widen(key).c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS)
    return names;
  wchar_t name[256];
  for (DWORD i = 0;; ++i) {
    DWORD length = 256;
    if (RegEnumKeyExW(k, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    names.push_back(Narrow(name, length));
  }
  RegCloseKey(k);
  return names;
}

// On the real registry and disk: rows below Keys\日本 and Keys\ソフト show their names, Correct
// removes exactly those values into the backup file the dialog named, and Restore puts each back
// into its own key; the look-alike Keys\?? and the look-alike file stay as they were.
TEST_F(EndToEndTest, ForeignNamesAreShownRemovedAndRestoredInTheirOwnKeys) {
  const std::string nihon = "\xE6\x97\xA5\xE6\x9C\xAC", omega = "\xCE\xA9mega",
                    sofuto = "\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88";
  const std::string keys = std::string(kSeed) + "\\Keys";
  SetWideText(keys + "\\" + nihon, omega, "C:\\MorvaneSeed\\" + omega + ".exe");
  SetWideText(keys + "\\??", "Omega", "C:\\MorvaneSeed\\Omega.exe");
  SetWideText(keys + "\\" + sofuto, "v", "C:\\MorvaneSeed\\" + sofuto + ".exe");
  // The backup goes to the file the dialog named, BkŁukasz\kopia.reg, and not to its look-alike.
  BackupFolders folders;
  RecordedServices services;
  services.saveDialog = [&](TSaveDialog& dialog) {
    dialog.FileName = folders.Backup();
    return true;
  };
  services.openDialog = [&](TOpenDialog& dialog) {
    dialog.FileName = folders.Backup();
    return true;
  };
  TMainForm f(services.Make());
  f.Show();
  const std::string reference = "The incorrect reference to a file";
  f.AddFinding(
      {reference, "C:\\MorvaneSeed\\" + omega + ".exe", "HKCU", "\\" + keys + "\\" + nihon, omega});
  f.AddFinding(
      {reference, "C:\\MorvaneSeed\\" + sofuto + ".exe", "HKCU", "\\" + keys + "\\" + sofuto, "v"});
  EXPECT_EQ(ListViewText(f.ListView1, 0, 3), "\\" + keys + "\\" + nihon);
  EXPECT_EQ(ListViewText(f.ListView1, 1, 1), "C:\\MorvaneSeed\\" + sofuto + ".exe");
  ListView_SetCheckState(f.ListView1, 0, TRUE);
  ListView_SetCheckState(f.ListView1, 1, TRUE);
  f.ZelButton3->SetEnabled(true);
  ClickWindow(f, f.ZelButton3->Handle());
  ASSERT_TRUE(PumpUntil(f, [&] { return ListViewRows(f.ListView1) == 0; }));
  EXPECT_EQ(f.StatusText(), "Entries removed: 2. Could not be removed: 0.");
  EXPECT_EQ(WideText(keys + "\\" + nihon, omega), "(none)");
  EXPECT_EQ(WideText(keys + "\\" + sofuto, "v"), "(none)");
  EXPECT_EQ(WideText(keys + "\\??", "Omega"), "C:\\MorvaneSeed\\Omega.exe");
  EXPECT_NE(ReadNamedFile(folders.Backup()), "(missing)");
  EXPECT_EQ(ReadNamedFile(folders.Twin()), "twin");

  // While the question is open the file is held for reading only: another file cannot take its
  // place, and nothing can write into it.
  services.answer = IDYES;
  std::string swap;
  services.whileShown = [&](const ShownMessage&) {
    const std::wstring backup = Widen(folders.Backup());
    HANDLE writer = CreateFileW(backup.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    swap = std::to_string(writer != INVALID_HANDLE_VALUE) + " " +
           std::to_string(MoveFileExW(Widen(folders.Twin()).c_str(), backup.c_str(),
                                      MOVEFILE_REPLACE_EXISTING) != FALSE);
    if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
  };
  SendMessageW(f.Handle(), WM_COMMAND, kCmdRestore, 0);
  EXPECT_EQ(swap, "0 0");
  EXPECT_EQ(ReadNamedFile(folders.Twin()), "twin");
  EXPECT_EQ(f.StatusText(), "Entries restored: 2. Already present: 0. Not restored: 0.");
  EXPECT_EQ(WideText(keys + "\\" + nihon, omega), "C:\\MorvaneSeed\\" + omega + ".exe");
  EXPECT_EQ(WideText(keys + "\\" + sofuto, "v"), "C:\\MorvaneSeed\\" + sofuto + ".exe");
  std::vector<std::string> subkeys = Subkeys(keys);
  std::sort(subkeys.begin(), subkeys.end());
  EXPECT_EQ(subkeys, (std::vector<std::string>{"??", sofuto, nihon}));  // in byte order
}

}  // namespace
}  // namespace morvane
