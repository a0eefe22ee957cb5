// Scan and repair end to end, in the real window on the real (Wine) registry and disk of the
// test prefix: seeded stale and sound entries, Start, the rows that appear, Correct with a
// backup, and the registry and backup file afterwards.
#include <windows.h>
#include <commctrl.h>

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

class EndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Clean();
    const std::string win = WindowsFolder();
    CreateDirectoryA("C:\\MorvaneSeed", nullptr);
    CreateDirectoryA("C:\\MorvaneSeed\\store.d", nullptr);

    for (const char* key : {".mvtest-empty", ".mvtest-sub\\ShellNew", "mvtest-nodot"})
      ASSERT_TRUE(OpenedKey(HKEY_CLASSES_ROOT, key, KEY_ALL_ACCESS, true).key);
    ASSERT_TRUE(SetTextExactly(HKEY_CLASSES_ROOT, ".mvtest-default", "", ""));
    const std::pair<const char*, std::string> values[] = {
        {"broken", "C:\\MorvaneSeed\\gone.exe"},
        {"args", "C:\\MorvaneSeed\\tool.exe -u"},
        {"comma", "C:\\MorvaneSeed\\lib.dll,0"},
        {"bang", "C:\\MorvaneSeed\\x.exe!1"},
        {"percent", "C:\\MorvaneSeed\\run.exe %1"},
        {"quoted", "\"C:\\MorvaneSeed\\q.exe\""},
        {"quotedArg", "C:\\MorvaneSeed\\run.exe \"%1\""},
        {"aDrive", "A:\\gone.exe"},
        {"noVolume", "Q:\\gone.exe"},
        {"valid", win + "\\notepad.exe"},
        {"validArgs", win + "\\notepad.exe /x"},
        {"folder", "C:\\MorvaneSeed\\store.d"}};
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
      const OpenedKey key(root, kSeed, KEY_ALL_ACCESS, true);
      for (const auto& [name, data] : values) ASSERT_TRUE(key.SetText(name, data));
      ASSERT_TRUE(key.SetText("expand", "C:\\MorvaneSeed\\gone.exe", REG_EXPAND_SZ));
      ASSERT_TRUE(
          SetTextExactly(root, std::string(kSeed) + "\\Sub", "deep", "C:\\MorvaneSeed\\deep.exe"));
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

  // The extension key, the HKLM "args" value and the HKCU "deep" value.
  for (int row : {0, 1, 12}) ListView_SetCheckState(f.ListView1, indexes[row], TRUE);
  ClickWindow(f, f.ZelButton3->Handle());
  ASSERT_TRUE(PumpUntil(f, [&] { return ListViewRows(f.ListView1) == 0; }));
  EXPECT_FALSE(f.ZelButton3->Enabled());

  EXPECT_EQ(ReadNamedFile(backup_),
            "Morvane v1.0\r\n\r\n\r\n"
            "[HKEY_CLASSES_ROOT\\.mvtest-empty]\r\n"
            "[HKEY_LOCAL_MACHINE" +
                RowKey("HKLM") +
                "]\r\n"
                "\"args\"=\"C:\\MorvaneSeed\\tool.exe -u\"\r\n"
                "[HKEY_CURRENT_USER\\SOFTWARE\\MorvaneSeed\\Sub]\r\n"
                "\"deep\"=\"C:\\MorvaneSeed\\deep.exe\"\r\n");
  const std::string sub = std::string(kSeed) + "\\Sub";
  EXPECT_FALSE(KeyExistsIn(HKEY_CLASSES_ROOT, ".mvtest-empty"));
  EXPECT_FALSE(ValueExistsIn(HKEY_LOCAL_MACHINE, kSeed, "args"));
  EXPECT_TRUE(ValueExistsIn(HKEY_LOCAL_MACHINE, kSeed, "broken"));
  EXPECT_FALSE(ValueExistsIn(HKEY_CURRENT_USER, sub, "deep"));
  EXPECT_TRUE(KeyExistsIn(HKEY_CURRENT_USER, sub));
  EXPECT_TRUE(ValueExistsIn(HKEY_CURRENT_USER, kSeed, "args"));
  EXPECT_TRUE(KeyExistsIn(HKEY_CLASSES_ROOT, ".mvtest-sub\\ShellNew"));
}

// Correct writes the backup into the file the dialog named, not its look-alike twin; while
// Restore's question is open that file is held for reading only, so another file cannot take its
// place and nothing can write into it. (Foreign names restored: restore_system_test.)
TEST_F(EndToEndTest, TheBackupIsHeldWhileRestoreAsks) {
  const std::string key = std::string(kSeed) + "\\Keys";
  ASSERT_TRUE(SetTextExactly(HKEY_CURRENT_USER, key, "v", "C:\\MorvaneSeed\\v.exe"));
  BackupFolders folders;
  RecordedServices services;
  services.saveDialog = [&](TSaveDialog& dialog) {
    return dialog.FileName = folders.Backup(), true;
  };
  services.openDialog = [&](TOpenDialog& dialog) {
    return dialog.FileName = folders.Backup(), true;
  };
  TMainForm f(services.Make());
  f.Show();
  f.AddFinding(
      {"The incorrect reference to a file", "C:\\MorvaneSeed\\v.exe", "HKCU", "\\" + key, "v"});
  ListView_SetCheckState(f.ListView1, 0, TRUE);
  f.ZelButton3->SetEnabled(true);
  ClickWindow(f, f.ZelButton3->Handle());
  ASSERT_TRUE(PumpUntil(f, [&] { return ListViewRows(f.ListView1) == 0; }));
  EXPECT_EQ(StoredExactly(HKEY_CURRENT_USER, key, "v"), "missing");
  EXPECT_EQ(ReadNamedFile(folders.Twin()), "twin");
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
  EXPECT_EQ(f.StatusText(), "Entries restored: 1. Already present: 0. Not restored: 0.");
  EXPECT_EQ(StoredExactly(HKEY_CURRENT_USER, key, "v"),
            "1:C:\\MorvaneSeed\\v.exe" + std::string(1, '\0'));
}

}  // namespace
}  // namespace morvane
