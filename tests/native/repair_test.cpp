// The repair of checked findings and the backup file, over the in-memory registry.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#include "CleanReg/Repair.h"
#include "testing/MemRegistryApi.h"
#include "tests/native/fake_ansi.h"
#include "tests/native/fake_files.h"

namespace morvane {
namespace {

constexpr RootKey HKCR = RootKey::ClassesRoot;
constexpr RootKey HKLM = RootKey::LocalMachine;
constexpr RootKey HKCU = RootKey::CurrentUser;

std::string ReadFile(const std::string& name) {
  std::ifstream file(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

RepairRow Extension(const std::string& name, bool checked = true) {
  return {{"Incorrect expansion", name, "HKCR", "\\" + name, ""}, checked};
}
RepairRow Reference(const char* section, const std::string& key, const std::string& value,
                    const std::string& data, bool checked = true) {
  return {{"The incorrect reference to a file", data, section, key, value}, checked};
}

class RepairTest : public ::testing::Test {
 protected:
  void SetUp() override {
    file_ = ::testing::TempDir() + "morvane-backup-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".reg";
    std::remove(file_.c_str());
  }
  void TearDown() override { std::remove(file_.c_str()); }
  bool Repair(const std::vector<RepairRow>& rows, bool backup = true) {
    corrected_.clear();
    before_ = 0;
    RepairHooks hooks;
    hooks.beforeEach = [this] { ++before_; };
    hooks.corrected = [this](std::size_t row) { corrected_.push_back(row); };
    outcome_ = RepairFindings(rows, backup, file_, mem_, files_, hooks, ansi_);
    return outcome_.backupWritten;
  }
  MemRegistryApi mem_;
  FakeFiles files_;
  FakeAnsiCodePage ansi_ = FakeAnsiCodePage::Western();
  std::string file_;
  std::vector<std::size_t> corrected_;
  int before_ = 0;
  RepairOutcome outcome_;
};

TEST_F(RepairTest, NoCheckedRowWritesTheHeaderAlone) {
  mem_.AddKey(HKCR, ".abc");
  EXPECT_TRUE(Repair({Extension(".abc", false)}));
  EXPECT_EQ(ReadFile(file_), "Morvane v1.0\r\n\r\n\r\n");
  EXPECT_TRUE(mem_.KeyExists(HKCR, ".abc"));
  EXPECT_EQ(before_, 0);
}

TEST_F(RepairTest, BackupFileByteForByte) {
  mem_.AddKey(HKCR, ".abc");
  mem_.AddText(HKLM, "SOFTWARE\\Vendor\\App", "Path", "C:\\Old\\app.exe");
  mem_.AddText(HKCU, "SOFTWARE\\Q", "", "C:\\q\\\"quoted\\app.exe");
  mem_.AddText(HKCU, "SOFTWARE\\Two", "a", "C:\\a.exe");
  mem_.AddText(HKCU, "SOFTWARE\\Two", "b\\\"x", "C:\\b.exe");
  EXPECT_TRUE(Repair({Extension(".abc"),
                      Reference("HKLM", "\\SOFTWARE\\Vendor\\App", "Path", "C:\\Old\\app.exe"),
                      Reference("HKCU", "\\SOFTWARE\\Unchecked", "x", "C:\\x.exe", false),
                      Reference("HKCU", "\\SOFTWARE\\Q", "", "C:\\q\\\"quoted\\app.exe"),
                      Reference("HKCU", "\\SOFTWARE\\Two", "a", "C:\\a.exe"),
                      Reference("HKCU", "\\SOFTWARE\\Two", "b\\\"x", "C:\\b.exe")}));
  EXPECT_EQ(ReadFile(file_),
            "Morvane v1.0\r\n\r\n\r\n"
            "[HKEY_CLASSES_ROOT\\.abc]\r\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\App]\r\n"
            "\"Path\"=\"C:\\Old\\app.exe\"\r\n"
            "[HKEY_CURRENT_USER\\SOFTWARE\\Q]\r\n"
            "@=\"C:\\q\\\"quoted\\app.exe\"\r\n"
            "[HKEY_CURRENT_USER\\SOFTWARE\\Two]\r\n"
            "\"a\"=\"C:\\a.exe\"\r\n"
            "[HKEY_CURRENT_USER\\SOFTWARE\\Two]\r\n"
            "\"b\\\"x\"=\"C:\\b.exe\"\r\n");
  EXPECT_EQ(corrected_, (std::vector<std::size_t>{0, 1, 3, 4, 5}));
  EXPECT_EQ(before_, 5);
  EXPECT_FALSE(mem_.KeyExists(HKCR, ".abc"));
  EXPECT_FALSE(mem_.ValueExists(HKLM, "SOFTWARE\\Vendor\\App", "Path"));
  EXPECT_TRUE(mem_.KeyExists(HKLM, "SOFTWARE\\Vendor\\App"));  // only the value goes
  EXPECT_FALSE(mem_.ValueExists(HKCU, "SOFTWARE\\Q", ""));
  EXPECT_FALSE(mem_.ValueExists(HKCU, "SOFTWARE\\Two", "a"));
  EXPECT_FALSE(mem_.ValueExists(HKCU, "SOFTWARE\\Two", "b\\\"x"));
}

TEST_F(RepairTest, WithoutBackupNoFileIsWrittenAndAnEarlierOneStays) {
  { std::ofstream(file_, std::ios::binary) << "earlier"; }
  mem_.AddKey(HKCR, ".abc");
  EXPECT_TRUE(Repair({Extension(".abc")}, false));
  EXPECT_EQ(ReadFile(file_), "earlier");
  EXPECT_FALSE(mem_.KeyExists(HKCR, ".abc"));
  EXPECT_FALSE(BackupList);  // released in every case
}

TEST_F(RepairTest, UnwritableBackupRemovesNothing) {
  mem_.AddKey(HKCR, ".abc");
  mem_.AddText(HKCU, "SOFTWARE\\V", "p", "C:\\p.exe");
  file_ = ::testing::TempDir() + "no-such-folder/x/backup.reg";
  EXPECT_FALSE(Repair({Extension(".abc"), Reference("HKCU", "\\SOFTWARE\\V", "p", "C:\\p.exe")}));
  EXPECT_TRUE(mem_.KeyExists(HKCR, ".abc"));
  EXPECT_TRUE(mem_.ValueExists(HKCU, "SOFTWARE\\V", "p"));
  EXPECT_TRUE(corrected_.empty());
  EXPECT_EQ(before_, 0);
}

TEST_F(RepairTest, ValueWhoseKeyIsGoneFailsAndTheKeyIsNotCreated) {
  EXPECT_TRUE(Repair({Reference("HKLM", "\\SOFTWARE\\Gone", "v", "C:\\v.exe")}));
  EXPECT_TRUE(corrected_.empty());
  EXPECT_FALSE(mem_.KeyExists(HKLM, "SOFTWARE\\Gone"));
  EXPECT_EQ(
      ReadFile(file_),
      "Morvane v1.0\r\n\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Gone]\r\n\"v\"=\"C:\\v.exe\"\r\n");
}

TEST_F(RepairTest, FindingsThatNoLongerHoldSurvive) {
  mem_.AddText(HKCR, ".gained", "", "txtfile");  // gained a value since the scan
  mem_.AddKey(HKCR, ".grown\\ShellNew");         // gained a subkey since the scan
  mem_.AddText(HKCU, "SOFTWARE\\V", "changed", "C:\\new.exe");
  mem_.AddValue(HKCU, "SOFTWARE\\V", "retyped", kRegExpandSz, std::string("C:\\old.exe\0", 11));
  mem_.AddText(HKCU, "SOFTWARE\\V", "same", "C:\\same.exe");
  EXPECT_TRUE(Repair({Extension(".gained"), Extension(".grown"),
                      Reference("HKCU", "\\SOFTWARE\\V", "changed", "C:\\old.exe"),
                      Reference("HKCU", "\\SOFTWARE\\V", "retyped", "C:\\old.exe"),
                      Reference("HKCU", "\\SOFTWARE\\V", "same", "C:\\same.exe")}));
  EXPECT_EQ(corrected_, (std::vector<std::size_t>{4}));
  EXPECT_TRUE(mem_.ValueExists(HKCR, ".gained", ""));
  EXPECT_TRUE(mem_.KeyExists(HKCR, ".grown\\ShellNew"));
  EXPECT_TRUE(mem_.ValueExists(HKCU, "SOFTWARE\\V", "changed"));
  EXPECT_TRUE(mem_.ValueExists(HKCU, "SOFTWARE\\V", "retyped"));
  EXPECT_FALSE(mem_.ValueExists(HKCU, "SOFTWARE\\V", "same"));
}

// The program may have been installed again since the scan: a value whose file or folder exists
// now, or whose drive or environment no longer lets it be judged, is kept and counted.
TEST_F(RepairTest, ValueWhoseTextNamesSomethingAgainIsKept) {
  files_.variables["MVHOME"] = "C:\\Home";
  const char* texts[] = {"C:\\Back\\tool.exe -u", "C:\\Back\\data.d",     "C:\\Denied\\x.exe",
                         "Q:\\Gone\\x.exe",       "C:\\%MVUNSET%\\x.exe", "%MVHOME%\\x.exe",
                         "C:\\Still\\gone.exe"};
  std::vector<RepairRow> rows;
  for (const char* text : texts) {
    mem_.AddText(HKCU, "SOFTWARE\\V", text, text);
    rows.push_back(Reference("HKCU", "\\SOFTWARE\\V", text, text));
  }
  files_.files = {"C:\\Back\\tool.exe", "C:\\Home\\x.exe"};
  files_.folders = {"C:\\Back\\data.d"};
  files_.unknown = {"C:\\Denied\\x.exe"};
  EXPECT_TRUE(Repair(rows));
  EXPECT_EQ(corrected_, (std::vector<std::size_t>{6}));
  EXPECT_EQ(outcome_.failed, 6u);
  for (const char* text : texts)
    EXPECT_EQ(mem_.ValueExists(HKCU, "SOFTWARE\\V", text), text != texts[6]) << text;
}

// The row shows a text value's data up to its first NUL, and the backup holds no more. Data that
// goes on after a NUL would be lost for good, so such a value is kept; trailing NULs are not data.
TEST_F(RepairTest, ValueWhoseDataGoesOnAfterANulIsKept) {
  const std::string text = "C:\\MvGone\\first.exe";
  const struct {
    const char* name;
    std::string data;
    bool removed;
  } cases[] = {
      {"tail", text + std::string(1, '\0') + "C:\\Keep\\important-tail.txt", false},
      {"late", text + std::string("\0\0x", 3), false},
      {"one", text + std::string(1, '\0'), true},
      {"many", text + std::string(4, '\0'), true},
      {"none", text, true},
  };
  std::vector<RepairRow> rows;
  for (const auto& c : cases) {
    mem_.AddValue(HKCU, "SOFTWARE\\Nul", c.name, kRegSz, c.data);
    rows.push_back(Reference("HKCU", "\\SOFTWARE\\Nul", c.name, text));
  }
  EXPECT_TRUE(Repair(rows));
  EXPECT_EQ(outcome_.removed, 3u);
  EXPECT_EQ(outcome_.failed, 2u);
  EXPECT_EQ(corrected_, (std::vector<std::size_t>{2, 3, 4}));
  for (const auto& c : cases)
    EXPECT_EQ(mem_.ValueExists(HKCU, "SOFTWARE\\Nul", c.name), !c.removed) << c.name;
}

// Stopped while the second checked row is in hand, the repair removes nothing more; the rows
// left are counted, and the backup, written first, names them as well.
TEST_F(RepairTest, StopLeavesTheRowInHandAndTheRestAndCountsThem) {
  for (const char* v : {"a", "b", "c", "d"})
    mem_.AddText(HKCU, "SOFTWARE\\V", v, std::string("C:\\") + v + ".exe");
  std::vector<RepairRow> rows;
  for (const char* v : {"a", "b", "c", "d"})
    rows.push_back(
        Reference("HKCU", "\\SOFTWARE\\V", v, std::string("C:\\") + v + ".exe", *v != 'c'));
  int turns = 0;
  RepairHooks hooks;
  hooks.beforeEach = [&] { ++turns; };
  hooks.stop = [&] { return turns == 2; };
  const RepairOutcome outcome = RepairFindings(rows, true, file_, mem_, files_, hooks, ansi_);
  EXPECT_EQ(turns, 2);
  EXPECT_EQ(outcome.removed, 1u);
  EXPECT_EQ(outcome.failed, 0u);
  EXPECT_EQ(outcome.left, 2u);  // b and d; c was not checked
  EXPECT_FALSE(mem_.ValueExists(HKCU, "SOFTWARE\\V", "a"));
  for (const char* v : {"b", "c", "d"}) EXPECT_TRUE(mem_.ValueExists(HKCU, "SOFTWARE\\V", v));
  const std::string backup = ReadFile(file_);
  for (const char* v : {"\"a\"=", "\"b\"=", "\"d\"="})
    EXPECT_NE(backup.find(v), std::string::npos) << v;
  EXPECT_EQ(backup.find("\"c\"="), std::string::npos);
}

TEST_F(RepairTest, UnknownSectionCodeRemovesNothing) {
  mem_.AddText(HKCU, "SOFTWARE\\V", "p", "C:\\p.exe");
  EXPECT_TRUE(Repair({Reference("hkcu", "\\SOFTWARE\\V", "p", "C:\\p.exe"),
                      Reference("HKU", "\\SOFTWARE\\V", "p", "C:\\p.exe")}));
  EXPECT_TRUE(mem_.ValueExists(HKCU, "SOFTWARE\\V", "p"));
  EXPECT_TRUE(corrected_.empty());
  EXPECT_EQ(ReadFile(file_), "Morvane v1.0\r\n\r\n\r\n");
}

TEST_F(RepairTest, KeyThatCannotBeOpenedForWritingKeepsItsValue) {
  mem_.AddText(HKLM, "SOFTWARE\\Locked", "p", "C:\\p.exe");
  mem_.RestrictAccess(HKLM, "SOFTWARE\\Locked", 0x20019);
  EXPECT_TRUE(Repair({Reference("HKLM", "\\SOFTWARE\\Locked", "p", "C:\\p.exe")}));
  EXPECT_TRUE(corrected_.empty());
  EXPECT_TRUE(mem_.ValueExists(HKLM, "SOFTWARE\\Locked", "p"));
}

TEST(DeleteRegItem, RecordsItsEntryWhateverTheOutcome) {
  MemRegistryApi mem;
  FakeFiles files;
  mem.AddKey(HKCR, ".abc");
  BeginBackup();
  EXPECT_TRUE(DeleteRegItem(HKCR, "\\.abc", "", "", true, true, mem, files));
  EXPECT_FALSE(DeleteRegItem(HKCU, "\\SOFTWARE\\None", "v", "C:\\v.exe", false, true, mem, files));
  EXPECT_FALSE(DeleteRegItem(HKCU, "\\SOFTWARE\\None", "w", "C:\\w.exe", false, false, mem, files));
  ASSERT_TRUE(BackupList);
  EXPECT_EQ(*BackupList, (std::vector<std::string>{
                             "Morvane v1.0", "", "", "[HKEY_CLASSES_ROOT\\.abc]",
                             "[HKEY_CURRENT_USER\\SOFTWARE\\None]", "\"v\"=\"C:\\v.exe\""}));
  FakeAnsiCodePage ansi = FakeAnsiCodePage::Western();
  EXPECT_TRUE(EndBackup(false, "", files, ansi));
  EXPECT_FALSE(BackupList);
  // A whole-key row never deletes a root: its path always names a key below one.
  EXPECT_FALSE(DeleteRegItem(HKCR, "\\", "", "", true, false, mem, files));
}

TEST(SectionCodes, ExactTextsOnly) {
  RootKey root;
  ASSERT_TRUE(RootOfSection("HKCU", root));
  EXPECT_EQ(root, HKCU);
  ASSERT_TRUE(RootOfSection("HKLM", root));
  EXPECT_EQ(root, HKLM);
  ASSERT_TRUE(RootOfSection("HKCR", root));
  EXPECT_EQ(root, HKCR);
  EXPECT_FALSE(RootOfSection("hkcr", root));
  EXPECT_FALSE(RootOfSection("HKCR ", root));
  EXPECT_FALSE(RootOfSection("", root));
}

}  // namespace
}  // namespace morvane
