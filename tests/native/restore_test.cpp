// Restore from a backup file: the reader against every line shape the writer produces and
// against lines it cannot have written; the restore rules over the in-memory registry.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <tuple>

#include "CleanReg/BackupReader.h"
#include "CleanReg/Repair.h"
#include "CleanReg/Restore.h"
#include "platform/TRegistry.h"
#include "testing/MemRegistryApi.h"
#include "tests/native/fake_ansi.h"
#include "tests/native/fake_files.h"

namespace morvane {
namespace {

// The bytes read as the program reads a file, a block at a time: read in blocks of every size
// from one byte up, so that a header, a key line, a value line and a CR LF each fall across two
// blocks, they give the same entries as when read in one block.
BackupContents ParseEveryWay(const std::string& bytes, AnsiCodePage& ansi) {
  const BackupContents whole = ParseBackup(bytes, ansi, bytes.size() + 1);
  for (std::size_t block : {1, 2, 3, 5, 8, 13, 64}) {
    const BackupContents split = ParseBackup(bytes, ansi, block);
    EXPECT_EQ(split.isBackup, whole.isBackup) << block;
    EXPECT_EQ(split.entries.size(), whole.entries.size()) << block;
    for (std::size_t i = 0; i < std::min(split.entries.size(), whole.entries.size()); ++i) {
      const BackupEntry &a = split.entries[i], &b = whole.entries[i];
      EXPECT_EQ(std::tie(a.kind, a.root, a.keyPath, a.valueName, a.data),
                std::tie(b.kind, b.root, b.keyPath, b.valueName, b.data))
          << "block " << block << ", entry " << i;
    }
  }
  return whole;
}

BackupContents ParseEveryWay(const std::string& bytes) {
  FakeAnsiCodePage western = FakeAnsiCodePage::Western();
  return ParseEveryWay(bytes, western);
}

constexpr RootKey HKCR = RootKey::ClassesRoot, HKLM = RootKey::LocalMachine,
                  HKCU = RootKey::CurrentUser;
const std::string kNul(1, '\0'), kValue = "\"v\"=\"x\"\r\n";
std::string Key(const std::string& path) { return "[" + path + "]\r\n"; }
const std::string kHead = "Morvane v1.0\r\n\r\n\r\n",
                  kGood = Key("HKEY_CURRENT_USER\\SOFTWARE\\G") + kValue;

// The file in the system's ANSI code page, byte for byte as backups were always written, when it
// spells every text exactly; else the whole file in UTF-8 after the byte-order mark. The reader
// takes both back to the same entries, and so reads the files written before UTF-8 ones: in the
// code page, never splitting a key path at a 0x5C byte inside a character. Names and data made of
// the line's own marks are read back as they were given.
TEST(BackupFile, AnsiWhenEverythingFitsUtf8WithTheMarkOtherwise) {
  FakeAnsiCodePage western = FakeAnsiCodePage::Western(), japanese = FakeAnsiCodePage::Japanese();
  const std::string head = "Morvane v1.0\r\n\r\n\r\n", mark = "\xEF\xBB\xBF";
  const std::string cafe = "Caf\xC3\xA9", lukasz = "\xC5\x81ukasz", emoji = "\xF0\x9F\x98\x80";
  const std::string list = "\xE4\xB8\x80\xE8\xA6\xA7\xE8\xA1\xA8",
                    soft = "\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88";
  const std::string euro = "C:\\\xE2\x82\xAC\\gone.exe";  // C:\€\gone.exe
  const BackupEntry ascii{BackupEntryKind::TextValue, HKLM, "\\SOFTWARE\\Vendor\\App", "Path",
                          "C:\\Old\\app.exe"},
      accented{BackupEntryKind::TextValue, HKCU, "\\SOFTWARE\\" + cafe, "M\xC3\xBCller",
               "C:\\" + cafe + "\\gone.exe"},
      polish{BackupEntryKind::TextValue, HKCU, "\\SOFTWARE\\" + lukasz, lukasz,
             "C:\\" + lukasz + "\\gone.exe"},
      smile{BackupEntryKind::TextValue, HKCU, "\\SOFTWARE\\Mv", emoji,
            "C:\\" + emoji + "\\gone.exe"},
      japaneseValue{BackupEntryKind::TextValue, HKCU, "\\SOFTWARE\\Mv\\" + list, soft,
                    "C:\\" + soft + "\\gone.exe"},
      japaneseKey{BackupEntryKind::ExtensionKey, HKCR, "\\.\xE8\xA1\xA8", "", ""};
  const struct {
    const char* what;
    AnsiCodePage& page;
    std::vector<BackupEntry> entries;
    std::string bytes;
    bool written = true;  // as the writer writes them; else as a text editor saves them
  } rows[] = {
      {"marks",
       western,
       {{BackupEntryKind::ExtensionKey, HKCR, "\\.a]b[c", "", ""},
        {BackupEntryKind::TextValue, HKCU, "\\software\\Odd]\\[Keys]", "", "a\"=\"b"},
        {BackupEntryKind::TextValue, HKCU, "\\SOFTWARE\\Q", "b\\\"x=", "=C:\\b.exe\"="},
        {BackupEntryKind::TextValue, HKCU, "\\SOFTWARE\\Q", "a\"", "=b"},
        {BackupEntryKind::TextValue, HKCU, "\\SOFTWARE\\Q", "empty", ""},
        {BackupEntryKind::TextValue, HKCU, "\\SOFTWARE\\Q", "lf", "C:\\a\nb.exe\r"},
        {BackupEntryKind::TextValue, HKCU, "\\SOFTWARE\\Q", "[x]", "[HKEY_CLASSES_ROOT\\.x]"}},
       ""},  // as the writer writes them
      {"ASCII",
       western,
       {ascii},
       head + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\App]\r\n\"Path\"=\"C:\\Old\\app.exe\"\r\n"},
      {"1252",
       western,
       {ascii, accented},
       head + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\App]\r\n\"Path\"=\"C:\\Old\\app.exe\"\r\n" +
           "[HKEY_CURRENT_USER\\SOFTWARE\\Caf\xE9]\r\n\"M\xFCller\"=\"C:\\Caf\xE9\\gone.exe\"\r\n"},
      {"1252, the euro sign at 0x80",
       western,
       {{BackupEntryKind::TextValue, HKCU, "\\SOFTWARE\\Mv", "v", euro}},
       head + "[HKEY_CURRENT_USER\\SOFTWARE\\Mv]\r\n\"v\"=\"C:\\\x80\\gone.exe\"\r\n"},
      {"932, 0x5C inside characters",
       japanese,
       {japaneseKey, japaneseValue},
       head + "[HKEY_CLASSES_ROOT\\.\x95\x5C]\r\n" +
           "[HKEY_CURRENT_USER\\SOFTWARE\\Mv\\\x88\xEA\x97\x97\x95\x5C]\r\n" +
           "\"\x83\x5C\x83\x74\x83\x67\"=\"C:\\\x83\x5C\x83\x74\x83\x67\\gone.exe\"\r\n"},
      // One text the code page cannot spell makes the whole file UTF-8, é included.
      {"1252 without Polish",
       western,
       {accented, polish},
       mark + head + "[HKEY_CURRENT_USER\\SOFTWARE\\" + cafe + "]\r\n\"M\xC3\xBCller\"=\"C:\\" +
           cafe + "\\gone.exe\"\r\n[HKEY_CURRENT_USER\\SOFTWARE\\" + lukasz + "]\r\n\"" + lukasz +
           "\"=\"C:\\" + lukasz + "\\gone.exe\"\r\n"},
      {"932 without Polish",
       japanese,
       {japaneseKey, polish},
       mark + head + "[HKEY_CLASSES_ROOT\\.\xE8\xA1\xA8]\r\n[HKEY_CURRENT_USER\\SOFTWARE\\" +
           lukasz + "]\r\n\"" + lukasz + "\"=\"C:\\" + lukasz + "\\gone.exe\"\r\n"},
      {"beyond the first plane",
       western,
       {smile},
       mark + head + "[HKEY_CURRENT_USER\\SOFTWARE\\Mv]\r\n\"" + emoji + "\"=\"C:\\" + emoji +
           "\\gone.exe\"\r\n"},
      // UTF-8 without the mark: every line is UTF-8, and some byte is not ASCII.
      {"UTF-8 without its mark, 1252",
       western,
       {polish, accented},
       head + "[HKEY_CURRENT_USER\\SOFTWARE\\" + lukasz + "]\r\n\"" + lukasz + "\"=\"C:\\" +
           lukasz + "\\gone.exe\"\r\n[HKEY_CURRENT_USER\\SOFTWARE\\" + cafe +
           "]\r\n\"M\xC3\xBCller\"=\"C:\\" + cafe + "\\gone.exe\"\r\n",
       false},
      {"UTF-8 without its mark, 932",
       japanese,
       {japaneseKey, japaneseValue},
       head + "[HKEY_CLASSES_ROOT\\.\xE8\xA1\xA8]\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Mv\\" + list +
           "]\r\n\"" + soft + "\"=\"C:\\" + soft + "\\gone.exe\"\r\n",
       false},
  };
  for (const auto& row : rows) {
    BeginBackup();
    for (const BackupEntry& e : row.entries) AddBackupEntry(e.root, e.keyPath, e.valueName, e.data);
    const std::string bytes =
        row.bytes.empty() ? BackupFileBytes(*BackupList, row.page) : row.bytes;
    if (row.written) {
      EXPECT_EQ(BackupFileBytes(*BackupList, row.page), bytes) << row.what;
    }
    FakeFiles files;
    EndBackup(false, "", files, row.page);
    const BackupContents contents = ParseEveryWay(bytes, row.page);
    EXPECT_TRUE(contents.isBackup) << row.what;
    ASSERT_EQ(contents.entries.size(), row.entries.size()) << row.what;
    for (std::size_t i = 0; i < row.entries.size(); ++i) {
      const BackupEntry &e = contents.entries[i], &c = row.entries[i];
      EXPECT_EQ(std::tie(e.kind, e.root, e.keyPath, e.valueName, e.data),
                std::tie(c.kind, c.root, c.keyPath, c.valueName, c.data))
          << row.what << " " << i;
    }
  }
}

// Kinds of the entries read: K extension key, V text value, U unusable.
std::string Kinds(const std::string& text) {
  const BackupContents contents = ParseEveryWay(text);
  std::string kinds = contents.isBackup ? "" : "not a backup";
  for (const BackupEntry& e : contents.entries) kinds += "KVU"[static_cast<int>(e.kind)];
  return kinds;
}

// A line the writer cannot have written, or that cannot say its entry exactly, makes that entry
// unusable and no other; a file that does not begin with exactly the header is no backup.
TEST(BackupReader, WhatTheWriterCannotHaveWrittenIsUnusable) {
  const std::string hkcu = "HKEY_CURRENT_USER\\SOFTWARE\\A";
  const std::pair<std::string, const char*> cases[] = {
      {Key("HKEY_USERS\\S-1\\SOFTWARE\\A") + kValue + Key("hkey_current_user\\SOFTWARE\\A") +
           kValue + Key("HKEY_CURRENT_USER") + kValue + Key("HKEY_LOCAL_MACHINE\\SYSTEM\\Setup") +
           kValue,
       "UUUUV"},
      {Key("HKEY_CURRENT_USER\\SOFTWARE") + kValue + Key("HKEY_CURRENT_USER\\SOFTWAREX\\A") +
           kValue + Key("HKEY_CURRENT_USER\\SOFTWARE\\\\A") + kValue + Key(hkcu + "\\") + kValue,
       "UUUUV"},
      {Key("HKEY_CLASSES_ROOT\\.a\\ShellNew") + Key("HKEY_CLASSES_ROOT\\txtfile") +
           Key("HKEY_CLASSES_ROOT\\") + Key("HKEY_CLASSES_ROOT\\.abc") + "@=\"txtfile\"\r\n" +
           Key("HKEY_LOCAL_MACHINE\\SOFTWARE\\A"),
       "UUUUUV"},
      {Key(hkcu) + "\"a\"=\"b\"=\"c\"\r\n" + Key(hkcu) + "\"a\"=\"=\"c\"\r\n" + Key(hkcu) +
           "\"\"=\"x\"\r\n" + Key(hkcu) + "@=\"\"\r\n" + Key(hkcu) + "\"v\"=\"x\r\nv=x\r\n",
       "UUUUUV"},
      {Key(hkcu) + kValue + kValue + Key(hkcu) +
           "\"v\"=\"C:\\a\"\r\n\"b.exe\"\r\n" +  // data held CR LF
           Key("HKEY_CLASSES_ROOT\\.a") + "]\r\n" + Key("HKEY_CLASSES_ROOT\\.a") + "\r\n",
       "UUUUV"},
      {Key(hkcu) + "\"v\"=\"x" + kNul + "\"\r\n" + Key("HKEY_CLASSES_ROOT\\.a" + kNul), "UUV"},
      {"noise\r\n" + kValue, "V"},               // before the first key line: no entry
      {Key(hkcu) + "\"\x81\"=\"x\"\r\n", "UV"},  // no character of the code page
  };
  for (const auto& [lines, kinds] : cases) EXPECT_EQ(Kinds(kHead + lines + kGood), kinds) << lines;
  // After the mark, bytes that are not UTF-8: a code page's byte, an overlong '/', a surrogate
  // pair written as two characters of their own.
  for (const char* bad : {"\xE9", "\xC0\xAF", "\xED\xA0\xBD\xED\xB8\x80"})
    EXPECT_EQ(Kinds(kUtf8Mark + kHead + Key(hkcu) + "\"" + bad + "\"=\"x\"\r\n" + kGood), "UV")
        << bad;
  // A file cut short: a last line without its CR LF may have lost the end of its data.
  EXPECT_EQ(Kinds(kHead + kGood + "[HKEY_CLASSES_ROOT\\.abc]"), "VU");
  EXPECT_EQ(Kinds(kHead + kGood + Key(hkcu) + "\"v\"=\"say \"hi\""), "VU");
  for (const char* other :
       {"", "morvane v1.0\r\n", "Morvane v1.0 \r\n", "\xEF\xBB\xBF\xEF\xBB\xBFMorvane v1.0\r\n",
        "Morvane v1.0\n\n\n", "REGEDIT4\r\n\r\n"})
    EXPECT_EQ(Kinds(other + kGood), "not a backup") << other;
  EXPECT_EQ(Kinds("\xEF\xBB\xBFMorvane v1.0\r\n" + kGood), "V") << "UTF-8 after its mark";
  EXPECT_EQ(Kinds("Morvane v1.0"), "");
}

class RestoreEntryTest : public ::testing::Test {
 protected:
  // "type:bytes" of the value, "key" for an extension key, or "missing".
  std::string Stored(const BackupEntry& e) {
    TRegistry reg(mem_);
    reg.SelectRoot(e.root);
    std::uint32_t type = 0;
    std::string data;
    if (!reg.OpenPathForReading(e.keyPath)) return "missing";
    const long rc = e.kind == BackupEntryKind::ExtensionKey
                        ? kRegOk
                        : mem_.QueryValue(reg.BaseKey(), e.valueName, type, &data);
    return rc != kRegOk                              ? "missing"
           : e.kind == BackupEntryKind::ExtensionKey ? "key"
                                                     : std::to_string(type) + ":" + data;
  }
  MemRegistryApi mem_;
};

// "\\k\\k...": n levels of keys.
std::string Levels(int n) {
  std::string path;
  for (int i = 0; i < n; ++i) path += "\\k";
  return path;
}

BackupEntry Value(RootKey root, const std::string& key, const std::string& name,
                  const std::string& data) {
  return {BackupEntryKind::TextValue, root, "\\" + key, name, data};
}

TEST_F(RestoreEntryTest, PutsBackWhatIsMissingAndOverwritesNothing) {
  mem_.AddKey(HKCR, ".there");
  mem_.AddText(HKCU, "SOFTWARE\\V", "same", "C:\\same.exe");
  mem_.AddValue(HKCU, "SOFTWARE\\V", "bare", kRegSz,
                "C:\\bare.exe");  // no terminator: the same text
  mem_.AddText(HKCU, "SOFTWARE\\V", "other", "C:\\new.exe");
  mem_.AddValue(HKCU, "SOFTWARE\\V", "expand", kRegExpandSz, "C:\\x.exe" + kNul);
  mem_.AddValue(HKCU, "SOFTWARE\\V", "tail", kRegSz, "C:\\x.exe" + kNul + "more");
  mem_.AddText(HKLM, "SOFTWARE\\ReadOnly", "same", "C:\\r.exe");
  mem_.RestrictAccess(HKLM, "SOFTWARE\\ReadOnly", kKeyRead);
  mem_.AddText(HKCU, "SOFTWARE\\WriteOnly", "v", "C:\\w.exe");
  mem_.RefuseValueReads(HKCU, "SOFTWARE\\WriteOnly", kRegAccessDenied);
  const std::string smile = "\xF0\x9F\x98\x80";  // two units, four bytes
  std::string smiles8191;
  for (int i = 0; i < 8191; ++i) smiles8191 += smile;
  const std::string smiles127 = smiles8191.substr(0, 127 * smile.size());
  using R = RestoreResult;
  const struct {
    BackupEntry entry;
    RestoreResult result;
    std::string stored;   // afterwards
    long error = kRegOk;  // handed back: the refusal that kept the entry out
  } cases[] = {
      {{BackupEntryKind::ExtensionKey, HKCR, "\\.gone", "", ""}, R::Restored, "key"},
      {{BackupEntryKind::ExtensionKey, HKCR, "\\.there", "", ""}, R::AlreadyPresent, "key"},
      {{BackupEntryKind::Unusable, HKCU, "\\SOFTWARE\\U", "n", "C:\\n.exe"},
       R::NotRestored,
       "missing"},
      {Value(HKCU, "SOFTWARE\\New\\Deep", "p", "C:\\p \"q\".exe"), R::Restored,
       "1:C:\\p \"q\".exe" + kNul},
      {Value(HKCU, "SOFTWARE\\V", "", "C:\\default.exe"), R::Restored, "1:C:\\default.exe" + kNul},
      {Value(HKCU, "SOFTWARE\\V", "SAME", "C:\\same.exe"), R::AlreadyPresent,
       "1:C:\\same.exe" + kNul},
      {Value(HKCU, "SOFTWARE\\V", "bare", "C:\\bare.exe"), R::AlreadyPresent, "1:C:\\bare.exe"},
      {Value(HKCU, "SOFTWARE\\V", "other", "C:\\old.exe"), R::NotRestored, "1:C:\\new.exe" + kNul},
      {Value(HKCU, "SOFTWARE\\V", "expand", "C:\\x.exe"), R::NotRestored, "2:C:\\x.exe" + kNul},
      {Value(HKCU, "SOFTWARE\\V", "tail", "C:\\x.exe"), R::NotRestored,
       "1:C:\\x.exe" + kNul + "more"},
      // Where writing is refused, what is there is still seen as there.
      {Value(HKLM, "SOFTWARE\\ReadOnly", "same", "C:\\r.exe"), R::AlreadyPresent,
       "1:C:\\r.exe" + kNul},
      {Value(HKLM, "SOFTWARE\\ReadOnly", "new", "C:\\n.exe"), R::NotRestored, "missing",
       kRegAccessDenied},
      {Value(HKLM, "SOFTWARE\\ReadOnly\\Gone", "n", "C:\\n.exe"), R::NotRestored, "missing",
       kRegAccessDenied},
      // A value that may be written but not read is left as it is (and cannot be read here).
      {Value(HKCU, "SOFTWARE\\WriteOnly", "v", "C:\\v.exe"), R::NotRestored, "missing",
       kRegAccessDenied},
      // The registry's limits: up to them an entry is restored, past them nothing is written.
      {Value(HKCU, "SOFTWARE\\Near\\" + std::string(255, 'k'), "", "C:\\k.exe"), R::Restored,
       "1:C:\\k.exe" + kNul},
      {Value(HKCU, "SOFTWARE\\Near", std::string(16383, 'v'), "C:\\v.exe"), R::Restored,
       "1:C:\\v.exe" + kNul},
      {Value(HKCU, "SOFTWARE" + Levels(511), "", "C:\\d.exe"), R::Restored, "1:C:\\d.exe" + kNul},
      {Value(HKCU, "SOFTWARE\\Far" + Levels(9) + "\\" + std::string(256, 'k'), "", "C:\\k.exe"),
       R::NotRestored, "missing"},
      {Value(HKCU, "SOFTWARE\\Far", std::string(16384, 'v'), "C:\\v.exe"), R::NotRestored,
       "missing"},
      {Value(HKCU, "SOFTWARE\\Far" + Levels(511), "", "C:\\d.exe"), R::NotRestored, "missing"},
      {{BackupEntryKind::ExtensionKey, HKCR, "\\." + std::string(255, 'e'), "", ""},
       R::NotRestored,
       "missing"},
      // The limits count UTF-16 units, an emoji two of them.
      {Value(HKCU, "SOFTWARE\\Near\\" + smiles127 + "k", "", "C:\\k.exe"), R::Restored,
       "1:C:\\k.exe" + kNul},
      {Value(HKCU, "SOFTWARE\\Far\\" + smiles127 + smile, "", "C:\\k.exe"), R::NotRestored,
       "missing"},
      {Value(HKCU, "SOFTWARE\\Near", smiles8191 + "v", "C:\\v.exe"), R::Restored,
       "1:C:\\v.exe" + kNul},
      {Value(HKCU, "SOFTWARE\\Far", smiles8191 + smile, "C:\\v.exe"), R::NotRestored, "missing"},
      {{BackupEntryKind::ExtensionKey, HKCR, "\\." + smiles127, "", ""}, R::Restored, "key"},
      {{BackupEntryKind::ExtensionKey, HKCR, "\\." + smiles127 + "e", "", ""},
       R::NotRestored,
       "missing"},
  };
  for (const auto& c : cases) {
    long error = -1;
    const int opened = mem_.OpenCount();
    EXPECT_EQ(RestoreEntry(c.entry, mem_, &error), c.result)
        << c.entry.keyPath << " " << c.entry.valueName;
    // An entry past the registry's limits calls nothing at all.
    if (c.stored == "missing" && c.error == kRegOk) {
      EXPECT_EQ(mem_.OpenCount(), opened) << c.entry.keyPath << " " << c.entry.valueName;
    }
    EXPECT_EQ(Stored(c.entry), c.stored) << c.entry.keyPath << " " << c.entry.valueName;
    EXPECT_EQ(error, c.error) << c.entry.keyPath << " " << c.entry.valueName;
  }
  EXPECT_FALSE(mem_.KeyExists(HKLM, "SOFTWARE\\ReadOnly\\Gone"));
  EXPECT_FALSE(mem_.KeyExists(HKCU, "SOFTWARE\\Far"));
  EXPECT_EQ(mem_.OpenHandles(), 0);
}

// A value that appears between the look and the write is not overwritten.
TEST_F(RestoreEntryTest, AValueWrittenMeanwhileIsKept) {
  mem_.hook = [this](const std::string& op, const std::string&) {
    if (op == "create") mem_.AddText(HKCU, "SOFTWARE\\Race", "v", "C:\\theirs.exe");
  };
  const BackupEntry ours = Value(HKCU, "SOFTWARE\\Race", "v", "C:\\ours.exe");
  EXPECT_EQ(RestoreEntry(ours, mem_), RestoreResult::NotRestored);
  mem_.hook = nullptr;
  EXPECT_EQ(Stored(ours), "1:C:\\theirs.exe" + kNul);
}

// An entry that fails after making keys deletes again the keys it made, and no other: the
// registry refuses to make its last key, or to write its value. A key something else has written
// a value into meanwhile stays, and so do the keys above it.
TEST_F(RestoreEntryTest, AFailedEntryLeavesNoKeyItMade) {
  const struct {
    std::string op, refusing, written;  // written: the key something else writes into
  } cases[] = {{"create", "SOFTWARE\\Empty\\A", ""},
               {"setvalue:v", "SOFTWARE\\Empty\\A\\B", ""},
               {"setvalue:v", "SOFTWARE\\Empty\\A\\B", "SOFTWARE\\Empty\\A\\B"}};
  for (const auto& c : cases) {
    mem_.AddKey(HKCU, "SOFTWARE\\Empty");  // there before, and empty
    mem_.hook = [&](const std::string& what, const std::string& path) {
      if (what != c.op || path != "\\SOFTWARE\\Empty\\A\\B") return;
      mem_.RestrictAccess(HKCU, c.refusing, kKeyRead);
      if (!c.written.empty()) mem_.AddText(HKCU, c.written, "theirs", "C:\\theirs.exe");
    };
    EXPECT_EQ(RestoreEntry(Value(HKCU, "SOFTWARE\\Empty\\A\\B", "v", "C:\\v.exe"), mem_),
              RestoreResult::NotRestored)
        << c.op;
    mem_.hook = nullptr;
    EXPECT_TRUE(mem_.KeyExists(HKCU, "SOFTWARE\\Empty")) << c.op;
    EXPECT_EQ(mem_.KeyExists(HKCU, "SOFTWARE\\Empty\\A"), !c.written.empty()) << c.op;
    if (!c.written.empty()) {
      EXPECT_TRUE(mem_.ValueExists(HKCU, c.written, "theirs")) << c.op;
    }
    EXPECT_EQ(mem_.OpenHandles(), 0);
  }
}

// In a run of entries, an entry refused access counts as denied, and the unusable entry or the
// one past the registry's limits after it does not.
TEST_F(RestoreEntryTest, ARunCountsAsDeniedOnlyTheEntriesRefusedAccess) {
  mem_.AddKey(HKLM, "SOFTWARE\\Locked");
  mem_.RestrictAccess(HKLM, "SOFTWARE\\Locked", kKeyRead);
  const BackupEntry refused = Value(HKLM, "SOFTWARE\\Locked\\New", "v", "C:\\v.exe");
  const BackupEntry after[] = {{BackupEntryKind::Unusable, HKCU, "\\SOFTWARE\\U", "n", "C:\\n.exe"},
                               Value(HKCU, "SOFTWARE\\Far", std::string(16384, 'v'), "C:\\v.exe")};
  // An extension key made before the refused key creation stays.
  const BackupEntry made{BackupEntryKind::ExtensionKey, HKCR, "\\.made", "", ""};
  for (const BackupEntry& next : after) {
    const RestoreOutcome outcome = RestoreBackup({made, refused, next}, mem_);
    EXPECT_EQ(outcome.notRestored, 2u) << next.valueName.size();
    EXPECT_EQ(outcome.denied, 1u) << next.valueName.size();
    EXPECT_TRUE(mem_.KeyExists(HKCR, ".made"));
  }
}

// A file of any size is read, a block at a time, from its exact name: one of more than 1 GB
// whose header is followed by zeros (a sparse file: nothing is written) holds no entry; a line
// longer than the reader keeps makes its entry unusable and no other.
TEST(BackupFile, AFileOfAnySizeIsReadInBlocks) {
  const std::string name =
      (std::filesystem::temp_directory_path() / "morvane-backup-size-test.reg").string();
  std::ofstream(name, std::ios::binary) << kHead;
  std::filesystem::resize_file(name, (std::uint64_t(1) << 30) + 1);
  FakeFiles files;
  std::unique_ptr<FileReader> file = files.OpenForReading(name);
  ASSERT_TRUE(file);
  int blocks = 0;
  FakeAnsiCodePage ansi = FakeAnsiCodePage::Western();
  BackupReader reader(*file, ansi, kBackupBlockBytes, [&] { return ++blocks > 0; });
  ASSERT_EQ(reader.ReadHeader(), BackupReader::Start::kBackup);
  BackupEntry entry;
  EXPECT_FALSE(reader.Next(entry));
  EXPECT_FALSE(reader.Failed());
  EXPECT_GT(blocks, 16384) << "read in blocks";
  file.reset();
  std::remove(name.c_str());
  EXPECT_EQ(files.OpenForReading(name), nullptr);
}

// At every block size: a read the system refuses in a later block ends the reading there, as a
// failure; a first line far longer than a header is refused after a block; a line of the longest
// length kept is read, and one a byte longer makes its entry unusable.
TEST(BackupReader, RefusalsAtEveryBlockSize) {
  class Refusing final : public FileReader {
   public:
    Refusing(const std::string& bytes, std::size_t refuseFrom) : bytes_(bytes), from_(refuseFrom) {}
    long long Read(char* buffer, std::size_t size) override {
      if (at_ >= from_) return -1;
      const std::size_t n = std::min({size, bytes_.size() - at_, from_ - at_});
      std::memcpy(buffer, bytes_.data() + at_, n);
      at_ += n;
      return static_cast<long long>(n);
    }
    bool Rewind() override { return false; }
    std::size_t at_ = 0;

   private:
    const std::string& bytes_;
    const std::size_t from_;
  };
  const std::string marked = kUtf8Mark + kHead, key = Key("HKEY_CURRENT_USER\\SOFTWARE\\A");
  const auto line = [](std::size_t bytes) {  // a value line of that many bytes and its CR LF
    return "\"v\"=\"" + std::string(bytes - 6, 'x') + "\"\r\n";
  };
  const struct {
    std::string bytes;
    std::size_t refuseFrom;
    const char* read;
    std::size_t mostRead;  // beyond a block
  } rows[] = {
      {marked + kGood + kGood + kGood, marked.size() + 2 * kGood.size() + 3, "V, failed",
       ~std::size_t(0)},
      {"Morvane v1.0" + std::string(1 << 20, 'x'), ~std::size_t(0), "not a backup", 18},
      {marked + key + line(kMostLineBytes) + key + line(kMostLineBytes + 1) + kGood,
       ~std::size_t(0), "VUV", ~std::size_t(0)},
  };
  FakeAnsiCodePage western = FakeAnsiCodePage::Western();
  for (const auto& row : rows) {
    for (std::size_t block : {std::size_t(1), std::size_t(3), std::size_t(64), kBackupBlockBytes}) {
      if (block < 64 && row.bytes.size() > kMostLineBytes) continue;  // as slow as it is sure
      Refusing file(row.bytes, row.refuseFrom);
      BackupReader reader(file, western, block);
      const bool backup = reader.ReadHeader() == BackupReader::Start::kBackup;
      std::string read = backup ? "" : "not a backup";
      BackupEntry entry;
      while (backup && reader.Next(entry)) read += "KVU"[static_cast<int>(entry.kind)];
      if (reader.Failed()) read += ", failed";
      EXPECT_EQ(read, row.read) << block;
      EXPECT_LE(file.at_ - std::min(file.at_, block), row.mostRead) << block;
    }
  }
}

}  // namespace
}  // namespace morvane
