// Restore from a backup file: the reader against every line shape the writer produces and
// against lines it cannot have written; the restore rules over the in-memory registry.
#include <gtest/gtest.h>

#include <cstdio>

#include "CleanReg/Repair.h"
#include "CleanReg/Restore.h"
#include "testing/MemRegistryApi.h"

namespace morvane {
namespace {

constexpr RootKey HKCR = RootKey::ClassesRoot;
constexpr RootKey HKLM = RootKey::LocalMachine;
constexpr RootKey HKCU = RootKey::CurrentUser;
constexpr char kHeader[] = "Morvane v1.0\r\n\r\n\r\n";
constexpr char kGoodEntry[] = "[HKEY_CURRENT_USER\\SOFTWARE\\Good]\r\n\"v\"=\"C:\\v.exe\"\r\n";

struct Written {
  RootKey root;
  std::string keyPath, valueName, data;
  BackupEntryKind kind;
};

// What AddBackupEntry writes, read back through the file, is what it was given.
TEST(BackupReader, ReadsBackEveryShapeTheWriterWrites) {
  const BackupEntryKind kKey = BackupEntryKind::ExtensionKey, kValue = BackupEntryKind::TextValue;
  const Written cases[] = {
      {HKCR, "\\.abc", "", "", kKey},
      {HKCR, "\\.", "", "", kKey},
      {HKCR, "\\.a]b[c", "", "", kKey},
      {HKLM, "\\SOFTWARE\\Vendor\\App", "Path", "C:\\Old\\app.exe", kValue},
      {HKCU, "\\SOFTWARE\\Q", "", "C:\\q\\\"quoted\".exe", kValue},
      {HKCU, "\\SOFTWARE\\Q", "", "a\"=\"b", kValue},  // the default value's line ends its name at @
      {HKCU, "\\software\\Lower Case\\x", "n", "C:\\x.exe", kValue},
      {HKCU, "\\SOFTWARE\\Odd]\\[Keys]", "b\\\"x=", "=C:\\b.exe\"=", kValue},
      {HKCU, "\\SOFTWARE\\Q", "a\"", "=b", kValue},
      {HKCU, "\\SOFTWARE\\Q", "@", "\"", kValue},
      {HKCU, "\\SOFTWARE\\Q", "empty", "", kValue},
      {HKCU, "\\SOFTWARE\\Q", "lf", "C:\\a\nb.exe\r", kValue},  // a CR or LF alone ends no line
      {HKCU, "\\SOFTWARE\\Q", "brackets", "[HKEY_CLASSES_ROOT\\.x]", kValue},
  };
  BeginBackup();
  for (const Written& c : cases) AddBackupEntry(c.root, c.keyPath, c.valueName, c.data);
  const std::string file = ::testing::TempDir() + "morvane-restore-reader.reg";
  ASSERT_TRUE(EndBackup(true, file));
  std::string text;
  ASSERT_TRUE(ReadBackupFile(file, text));
  std::remove(file.c_str());

  const BackupContents contents = ParseBackup(text);
  EXPECT_TRUE(contents.isBackup);
  ASSERT_EQ(contents.entries.size(), std::size(cases));
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const BackupEntry& e = contents.entries[i];
    SCOPED_TRACE(cases[i].keyPath + " " + cases[i].valueName);
    EXPECT_EQ(e.kind, cases[i].kind);
    EXPECT_EQ(e.root, cases[i].root);
    EXPECT_EQ(e.keyPath, cases[i].keyPath);
    EXPECT_EQ(e.valueName, cases[i].valueName);
    EXPECT_EQ(e.data, cases[i].data);
  }
}

// Each line below is one the writer cannot have written, or one that cannot say its entry
// exactly: its entry is unusable, and the next entry is read as usual.
TEST(BackupReader, AnEntryItCannotHaveWrittenIsUnusable) {
  const struct {
    const char* why;
    std::string lines;
  } cases[] = {
      {"another root", "[HKEY_USERS\\S-1\\SOFTWARE\\A]\r\n\"v\"=\"x\"\r\n"},
      {"root spelled otherwise", "[hkey_current_user\\SOFTWARE\\A]\r\n\"v\"=\"x\"\r\n"},
      {"root alone", "[HKEY_CURRENT_USER]\r\n\"v\"=\"x\"\r\n"},
      {"outside SOFTWARE", "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet]\r\n\"v\"=\"x\"\r\n"},
      {"SOFTWARE itself", "[HKEY_CURRENT_USER\\SOFTWARE]\r\n\"v\"=\"x\"\r\n"},
      {"SOFTWARE as a prefix", "[HKEY_CURRENT_USER\\SOFTWAREX\\A]\r\n\"v\"=\"x\"\r\n"},
      {"empty key name", "[HKEY_CURRENT_USER\\SOFTWARE\\\\A]\r\n\"v\"=\"x\"\r\n"},
      {"trailing backslash", "[HKEY_CURRENT_USER\\SOFTWARE\\A\\]\r\n\"v\"=\"x\"\r\n"},
      {"extension two levels deep", "[HKEY_CLASSES_ROOT\\.abc\\ShellNew]\r\n"},
      {"class key without a dot", "[HKEY_CLASSES_ROOT\\txtfile]\r\n"},
      {"class root itself", "[HKEY_CLASSES_ROOT\\]\r\n"},
      {"extension with a value", "[HKEY_CLASSES_ROOT\\.abc]\r\n@=\"txtfile\"\r\n"},
      {"value key without a value line", "[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\r\n"},
      {"name holding \"=\"", "[HKEY_CURRENT_USER\\SOFTWARE\\A]\r\n\"a\"=\"b\"=\"c\"\r\n"},
      {"\"=\" twice, overlapping", "[HKEY_CURRENT_USER\\SOFTWARE\\A]\r\n\"a\"=\"=\"c\"\r\n"},
      {"empty name", "[HKEY_CURRENT_USER\\SOFTWARE\\A]\r\n\"\"=\"x\"\r\n"},
      {"empty default value", "[HKEY_CURRENT_USER\\SOFTWARE\\A]\r\n@=\"\"\r\n"},
      {"no closing quote", "[HKEY_CURRENT_USER\\SOFTWARE\\A]\r\n\"v\"=\"x\r\n"},
      {"unquoted", "[HKEY_CURRENT_USER\\SOFTWARE\\A]\r\nv=x\r\n"},
      {"two value lines", "[HKEY_CURRENT_USER\\SOFTWARE\\A]\r\n\"v\"=\"x\"\r\n\"w\"=\"y\"\r\n"},
      {"data that held a line break", "[HKEY_CURRENT_USER\\SOFTWARE\\A]\r\n\"v\"=\"C:\\a\"\r\n\"b.exe\"\r\n"},
      {"key that held a line break", "[HKEY_CLASSES_ROOT\\.a]\r\n]\r\n"},
      {"empty line", "[HKEY_CLASSES_ROOT\\.a]\r\n\r\n"},
      {"NUL in the data", "[HKEY_CURRENT_USER\\SOFTWARE\\A]\r\n\"v\"=\"x" + std::string(1, '\0') + "y\"\r\n"},
      {"NUL in the key", "[HKEY_CLASSES_ROOT\\.a" + std::string(1, '\0') + "]\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    const BackupContents contents = ParseBackup(kHeader + c.lines + kGoodEntry);
    ASSERT_TRUE(contents.isBackup);
    ASSERT_EQ(contents.entries.size(), 2u);
    EXPECT_EQ(contents.entries[0].kind, BackupEntryKind::Unusable);
    EXPECT_EQ(contents.entries[1].kind, BackupEntryKind::TextValue);
    EXPECT_EQ(contents.entries[1].keyPath, "\\SOFTWARE\\Good");
  }
}

// A file cut short: its last line lacks its CR LF, and may lack the end of its data too.
TEST(BackupReader, ALastLineWithoutItsLineEndIsUnusable) {
  for (const std::string& tail : {std::string("[HKEY_CLASSES_ROOT\\.abc]"),
                                  std::string("[HKEY_CURRENT_USER\\SOFTWARE\\A]\r\n\"v\"=\"say \"hi\"")}) {
    const BackupContents contents = ParseBackup(kHeader + std::string(kGoodEntry) + tail);
    ASSERT_EQ(contents.entries.size(), 2u) << tail;
    EXPECT_EQ(contents.entries[0].kind, BackupEntryKind::TextValue);
    EXPECT_EQ(contents.entries[1].kind, BackupEntryKind::Unusable) << tail;
  }
}

TEST(BackupReader, OnlyAFirstLineOfExactlyTheHeaderMakesABackup) {
  const struct {
    std::string text;
    bool isBackup;
    std::size_t entries;
  } cases[] = {
      {"", false, 0},
      {"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CLASSES_ROOT\\.abc]\r\n", false, 0},
      {"morvane v1.0\r\n\r\n\r\n[HKEY_CLASSES_ROOT\\.abc]\r\n", false, 0},
      {"Morvane v1.0 \r\n\r\n\r\n[HKEY_CLASSES_ROOT\\.abc]\r\n", false, 0},
      {"\xEF\xBB\xBFMorvane v1.0\r\n\r\n\r\n[HKEY_CLASSES_ROOT\\.abc]\r\n", false, 0},
      {"Morvane v1.0\n\n\n[HKEY_CLASSES_ROOT\\.abc]\n", false, 0},  // lines end with CR LF
      {"Morvane v1.0", true, 0},
      {"Morvane v1.0\r\n\r\n\r\n", true, 0},
      // Lines before the first key line belong to no entry.
      {"Morvane v1.0\r\nnote\r\n\"v\"=\"x\"\r\n[HKEY_CLASSES_ROOT\\.abc]\r\n", true, 1},
  };
  for (const auto& c : cases) {
    const BackupContents contents = ParseBackup(c.text);
    EXPECT_EQ(contents.isBackup, c.isBackup) << c.text;
    EXPECT_EQ(contents.entries.size(), c.entries) << c.text;
  }
}

TEST(BackupReader, AFileThatCannotBeOpenedIsNotRead) {
  std::string text = "kept";
  EXPECT_FALSE(ReadBackupFile(::testing::TempDir() + "no-such-folder/backup.reg", text));
}

BackupEntry Value(RootKey root, const std::string& key, const std::string& name, const std::string& data) {
  return {BackupEntryKind::TextValue, root, key, name, data};
}
BackupEntry Extension(const std::string& name) { return {BackupEntryKind::ExtensionKey, HKCR, "\\" + name, "", ""}; }

class RestoreEntryTest : public ::testing::Test {
 protected:
  // The value as stored, type and bytes; "missing" when it is not there.
  std::string Stored(RootKey root, const std::string& key, const std::string& name) {
    RegKey k = 0;
    if (mem_.OpenKey(RootHandle(root), key, kKeyRead, k) != kRegOk) return "missing";
    std::uint32_t type = 0;
    std::string data;
    const long rc = mem_.QueryValue(k, name, type, &data);
    mem_.CloseKey(k);
    return rc == kRegOk ? std::to_string(type) + ":" + data : "missing";
  }
  MemRegistryApi mem_;
};

TEST_F(RestoreEntryTest, PutsBackWhatIsMissingAndOverwritesNothing) {
  const std::string nul(1, '\0');
  mem_.AddKey(HKCR, ".there");
  mem_.AddText(HKCU, "SOFTWARE\\V", "same", "C:\\same.exe");
  mem_.AddValue(HKCU, "SOFTWARE\\V", "bare", kRegSz, "C:\\bare.exe");  // no terminator: the same text
  mem_.AddText(HKCU, "SOFTWARE\\V", "other", "C:\\new.exe");
  mem_.AddValue(HKCU, "SOFTWARE\\V", "expand", kRegExpandSz, "C:\\x.exe" + nul);
  mem_.AddValue(HKCU, "SOFTWARE\\V", "tail", kRegSz, "C:\\x.exe" + nul + "more");
  mem_.AddText(HKLM, "SOFTWARE\\ReadOnly", "same", "C:\\r.exe");
  mem_.AddKey(HKLM, "SOFTWARE\\ReadOnly\\Below");
  mem_.RestrictAccess(HKLM, "SOFTWARE\\ReadOnly", kKeyRead);
  mem_.RestrictAccess(HKLM, "SOFTWARE\\ReadOnly\\Below", kKeyRead);
  mem_.AddKey(HKCU, "SOFTWARE\\Hidden");
  mem_.RestrictAccess(HKCU, "SOFTWARE\\Hidden", 0);
  const struct {
    BackupEntry entry;
    RestoreResult result;
    RootKey root;
    const char* key;
    const char* name;
    std::string stored;  // afterwards
  } cases[] = {
      {Extension(".gone"), RestoreResult::Restored, HKCR, ".gone", nullptr, ""},
      {Extension(".there"), RestoreResult::AlreadyPresent, HKCR, ".there", nullptr, ""},
      {Value(HKCU, "\\SOFTWARE\\New\\Deep", "p", "C:\\p \"q\".exe"), RestoreResult::Restored, HKCU,
       "SOFTWARE\\New\\Deep", "p", "1:C:\\p \"q\".exe" + nul},
      {Value(HKCU, "\\SOFTWARE\\V", "", "C:\\default.exe"), RestoreResult::Restored, HKCU, "SOFTWARE\\V", "",
       "1:C:\\default.exe" + nul},
      {Value(HKCU, "\\SOFTWARE\\V", "SAME", "C:\\same.exe"), RestoreResult::AlreadyPresent, HKCU, "SOFTWARE\\V",
       "same", "1:C:\\same.exe" + nul},
      {Value(HKCU, "\\SOFTWARE\\V", "bare", "C:\\bare.exe"), RestoreResult::AlreadyPresent, HKCU, "SOFTWARE\\V",
       "bare", "1:C:\\bare.exe"},
      {Value(HKCU, "\\SOFTWARE\\V", "other", "C:\\old.exe"), RestoreResult::NotRestored, HKCU, "SOFTWARE\\V", "other",
       "1:C:\\new.exe" + nul},
      {Value(HKCU, "\\SOFTWARE\\V", "expand", "C:\\x.exe"), RestoreResult::NotRestored, HKCU, "SOFTWARE\\V",
       "expand", "2:C:\\x.exe" + nul},
      {Value(HKCU, "\\SOFTWARE\\V", "tail", "C:\\x.exe"), RestoreResult::NotRestored, HKCU, "SOFTWARE\\V", "tail",
       "1:C:\\x.exe" + nul + "more"},
      // Where writing is refused: what is there is still seen as there.
      {Value(HKLM, "\\SOFTWARE\\ReadOnly", "same", "C:\\r.exe"), RestoreResult::AlreadyPresent, HKLM,
       "SOFTWARE\\ReadOnly", "same", "1:C:\\r.exe" + nul},
      {Value(HKLM, "\\SOFTWARE\\ReadOnly", "new", "C:\\n.exe"), RestoreResult::NotRestored, HKLM,
       "SOFTWARE\\ReadOnly", "new", "missing"},
      {Value(HKLM, "\\SOFTWARE\\ReadOnly\\Below\\Gone", "n", "C:\\n.exe"), RestoreResult::NotRestored, HKLM,
       "SOFTWARE\\ReadOnly\\Below\\Gone", "n", "missing"},
      {Value(HKCU, "\\SOFTWARE\\Hidden", "n", "C:\\n.exe"), RestoreResult::NotRestored, HKCU, "SOFTWARE\\Hidden", "n",
       "missing"},
      {BackupEntry{BackupEntryKind::Unusable, HKCU, "\\SOFTWARE\\Unusable", "n", "C:\\n.exe"},
       RestoreResult::NotRestored, HKCU, "SOFTWARE\\Unusable", nullptr, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.entry.keyPath + " " + c.entry.valueName);
    EXPECT_EQ(RestoreEntry(c.entry, mem_), c.result);
    if (c.name != nullptr) {
      EXPECT_EQ(Stored(c.root, c.key, c.name), c.stored);
    } else {
      EXPECT_EQ(mem_.KeyExists(c.root, c.key), c.result != RestoreResult::NotRestored);
    }
  }
  EXPECT_FALSE(mem_.KeyExists(HKLM, "SOFTWARE\\ReadOnly\\Below\\Gone"));
  EXPECT_EQ(mem_.OpenHandles(), 0);
}

// A value that appears between the look and the write is not overwritten.
TEST_F(RestoreEntryTest, AValueWrittenMeanwhileIsKept) {
  mem_.hook = [this](const std::string& op, const std::string&) {
    if (op == "create") mem_.AddText(HKCU, "SOFTWARE\\Race", "v", "C:\\theirs.exe");
  };
  EXPECT_EQ(RestoreEntry(Value(HKCU, "\\SOFTWARE\\Race", "v", "C:\\ours.exe"), mem_), RestoreResult::NotRestored);
  mem_.hook = nullptr;
  EXPECT_EQ(Stored(HKCU, "SOFTWARE\\Race", "v"), "1:C:\\theirs.exe" + std::string(1, '\0'));
}

TEST_F(RestoreEntryTest, TheOutcomeCountsEachEntryOnce) {
  mem_.AddText(HKCU, "SOFTWARE\\V", "same", "C:\\same.exe");
  const std::vector<BackupEntry> entries = {
      Extension(".a"), Extension(".a"), Value(HKCU, "\\SOFTWARE\\V", "same", "C:\\same.exe"),
      Value(HKCU, "\\SOFTWARE\\V", "new", "C:\\1.exe"), Value(HKCU, "\\SOFTWARE\\V", "new", "C:\\2.exe"), {}};
  const RestoreOutcome outcome = RestoreBackup(entries, mem_);
  EXPECT_EQ(outcome.restored, 2u);
  EXPECT_EQ(outcome.alreadyPresent, 2u);
  EXPECT_EQ(outcome.notRestored, 2u);
  EXPECT_EQ(Stored(HKCU, "SOFTWARE\\V", "new"), "1:C:\\1.exe" + std::string(1, '\0'));
}

}  // namespace
}  // namespace morvane
