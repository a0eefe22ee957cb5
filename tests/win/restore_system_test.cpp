// Restore on the real (Wine) registry: stale entries seeded, scanned, removed by Correct with a
// backup, and put back from the backup file with their exact data and type; backups written by
// hand.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>

#include "CleanReg/BackupReader.h"
#include "CleanReg/Repair.h"
#include "CleanReg/Restore.h"
#include "tests/native/recording_sink.h"
#include "tests/native/reference_scan.h"
#include "tests/win/names_table.h"
#include "tests/win/system_fixtures.h"

namespace morvane {
namespace {

constexpr char kKey[] = "Software\\MorvaneTest\\Restore";  // the scan looks below where it starts
const std::string kNul(1, '\0');

RestoreOutcome RestoreFrom(const std::string& fileName, const std::string& text = {}) {
  if (!text.empty()) std::ofstream(fileName, std::ios::binary) << text;
  BackupContents read;
  EXPECT_TRUE(ReadBackupFile(SystemFileSystem(), fileName, SystemAnsiCodePage(), read));
  return RestoreBackup(read.entries, SystemRegistry());
}

std::string TempPath() {
  wchar_t temp[MAX_PATH];
  return Narrow(std::wstring(temp, GetTempPathW(MAX_PATH, temp)));
}

std::string Stored(const std::string& keyPath, const std::string& name) {
  return StoredExactly(HKEY_CURRENT_USER, keyPath, name);
}

std::string Counts(const RestoreOutcome& o) {
  return std::to_string(o.restored) + " " + std::to_string(o.alreadyPresent) + " " +
         std::to_string(o.notRestored);
}

// A backup on the real registry: a value changed since it was made stays as it is, the rest comes
// back with its exact data, keys on the way made again; a key outside what Correct removes, and
// names past the registry's limits, which a call would cut to other names (a key name of 65,536
// characters, value names of 65,536 and 65,537, a last name of 300 ten keys deep), write nothing,
// not even a key on the way. A file that is not a backup changes nothing.
TEST(RestoreSystemTest, RestoresExactlyAndWritesNothingItShouldNot) {
  const std::string backup = TempPath() + "morvane-restore-system.reg";
  const std::string head = "Morvane v1.0\r\n\r\n\r\n", hkcu = "[HKEY_CURRENT_USER\\",
                    at = hkcu + kKey + "]\r\n", value = "\"v\"=\"C:\\x.exe\"\r\n",
                    equals = "C:\\MvGone\\a=b\\\"c\".exe";
  RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\MorvaneTest");
  ASSERT_TRUE(SetUserValueBytes(kKey, "plain", REG_SZ, "C:\\Changed.exe" + kNul));
  EXPECT_EQ(Counts(RestoreFrom(backup, head + at + "\"plain\"=\"C:\\MvGone\\tool.exe\"\r\n" + at +
                                           "\"equals\"=\"" + equals + "\"\r\n" + hkcu + kKey +
                                           "\\Deep]\r\n@=\"C:\\MvGone\\default.dll\"\r\n" +
                                           "[HKEY_CLASSES_ROOT\\.mvrestore-empty]\r\n")),
            "3 0 1");
  EXPECT_EQ(Stored(kKey, "plain"), "1:C:\\Changed.exe" + kNul);
  EXPECT_EQ(Stored(kKey, "equals"), "1:" + equals + kNul);
  EXPECT_EQ(Stored(std::string(kKey) + "\\Deep", ""), "1:C:\\MvGone\\default.dll" + kNul);
  EXPECT_TRUE(KeyExistsIn(HKEY_CLASSES_ROOT, ".mvrestore-empty"));
  RegDeleteKeyA(HKEY_CLASSES_ROOT, ".mvrestore-empty");

  RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\MorvaneTest");
  EXPECT_EQ(
      Counts(RestoreFrom(backup, "Windows Registry Editor Version 5.00\r\n\r\n" + at + value)),
      "0 0 0");
  std::string deepPath = "Software\\MorvaneTest";
  for (int level = 0; level < 10; ++level) deepPath += "\\L" + std::to_string(level);
  EXPECT_EQ(Counts(RestoreFrom(
                backup, head + "[HKEY_LOCAL_MACHINE\\SYSTEM\\MvRestore]\r\n" + value + hkcu +
                            "Software\\MorvaneTest\\" + std::string(65536, 'n') + "]\r\n" + value +
                            at + "\"" + std::string(65536, 'N') + "\"=\"C:\\x.exe\"\r\n" + at +
                            "\"" + std::string(65537, 'N') + "\"=\"C:\\x.exe\"\r\n" + hkcu +
                            deepPath + "\\" + std::string(300, 'k') + "]\r\n" + value)),
            "0 0 5");
  EXPECT_FALSE(KeyExistsIn(HKEY_LOCAL_MACHINE, "SYSTEM\\MvRestore"));
  EXPECT_FALSE(KeyExistsIn(HKEY_CURRENT_USER, "Software\\MorvaneTest"));
  DeleteFileA(backup.c_str());
}

// Every name of the table and its look-alike twin, as a key below the scan's start, as the name
// of a text value in it, in the missing file that value names (C:\<name>\gone.exe) and as an
// empty extension key: the scan reports each once as itself; Correct removes the name's and
// leaves the twin's; Restore puts the name's back under the exact name, a value of a key named
// with 0x5C bytes in code page 932 (...\ソフト) into its own key.
TEST(RestoreSystemTest, EveryNameIsFoundRemovedAndRestoredAsItself) {
  const std::string scratch = "Software\\MorvaneTest\\Names";
  struct Seeded {
    std::string name, data;
    bool twin;
  };
  std::vector<Seeded> seeded;
  std::set<std::string> seen;  // several twins are the same string of '?'
  const auto& names = testing::LookAlikeNames();
  for (std::size_t i = 0; i < names.size(); ++i) {
    seeded.push_back({names[i].name, "C:\\" + names[i].name + "\\gone.exe", false});
    // A twin holding '?' names no file: the rule would take it for a pattern and never judge it.
    const std::string folder =
        names[i].twinIsFileName ? names[i].twin : "MvTwin" + std::to_string(i);
    if (seen.insert(names[i].twin).second)
      seeded.push_back({names[i].twin, "C:\\" + folder + "\\gone.exe", true});
  }
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\MorvaneTest");
  std::vector<Finding> expected;
  for (const Seeded& s : seeded) {
    ASSERT_TRUE(SetTextExactly(HKEY_CURRENT_USER, scratch + "\\" + s.name, s.name, s.data))
        << s.name;
    ASSERT_TRUE(OpenedKey(HKEY_CLASSES_ROOT, ".mv" + s.name, KEY_ALL_ACCESS, true).key);
    expected.push_back({kCaptionReference, s.data, "HKCU", "\\" + scratch + "\\" + s.name, s.name});
    expected.push_back({kCaptionExpansion, ".mv" + s.name, "HKCR", "\\.mv" + s.name, ""});
  }
  const auto cleanUp = [&] {
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\MorvaneTest");
    for (const Seeded& s : seeded) RegDeleteKeyW(HKEY_CLASSES_ROOT, Widen(".mv" + s.name).c_str());
  };

  RecordingSink sink;
  RecordingScan worker(sink, SystemRegistry(), SystemFileSystem());
  worker.ReferencePass(RootKey::ClassesRoot, "");
  worker.ReferencePass(RootKey::CurrentUser, "\\" + scratch);
  std::vector<Finding> found;
  std::vector<RepairRow> rows;
  for (const Finding& f : sink.findings) {
    const bool ours = f.section == "HKCU" || std::count(expected.begin(), expected.end(), f) != 0;
    if (!ours) continue;
    found.push_back(f);
    const std::string& name = f.section == "HKCU" ? f.valueName : f.parameter.substr(3);
    const auto match =
        std::find_if(seeded.begin(), seeded.end(), [&](const Seeded& s) { return s.name == name; });
    if (match != seeded.end() && !match->twin) rows.push_back({f, true});
  }
  const auto order = [](const Finding& a, const Finding& b) {
    return std::tie(a.section, a.keyPath, a.valueName) <
           std::tie(b.section, b.keyPath, b.valueName);
  };
  std::sort(found.begin(), found.end(), order);
  std::sort(expected.begin(), expected.end(), order);
  EXPECT_EQ(found, expected);

  const std::string backup = TempPath() + "morvane-names.reg";
  ASSERT_EQ(rows.size(), 2 * names.size());
  EXPECT_EQ(RepairFindings(rows, true, backup, SystemRegistry(), SystemFileSystem(), RepairHooks{})
                .removed,
            rows.size());
  for (const Seeded& s : seeded) {
    EXPECT_EQ(Stored(scratch + "\\" + s.name, s.name), s.twin ? "1:" + s.data + kNul : "missing")
        << s.name;
    EXPECT_EQ(KeyExistsIn(HKEY_CLASSES_ROOT, ".mv" + s.name), s.twin) << s.name;
    // The keys go too: Restore makes them again.
    if (!s.twin) RegDeleteKeyW(HKEY_CURRENT_USER, Widen(scratch + "\\" + s.name).c_str());
  }

  // Saved again without its byte-order mark, as a text editor saves UTF-8: read as UTF-8 still,
  // under every code page.
  const std::string written = ReadNamedFile(backup);
  ASSERT_EQ(written.substr(0, 3), kUtf8Mark);
  EXPECT_EQ(Counts(RestoreFrom(backup, written.substr(3))), std::to_string(rows.size()) + " 0 0");
  for (const Seeded& s : seeded) {
    EXPECT_EQ(Stored(scratch + "\\" + s.name, s.name), "1:" + s.data + kNul) << s.name;
    EXPECT_TRUE(KeyExistsIn(HKEY_CLASSES_ROOT, ".mv" + s.name)) << s.name;
  }
  // No key was made anywhere else.
  const std::vector<std::string> subkeys = SubkeysOf(HKEY_CURRENT_USER, scratch);
  const std::set<std::string> keys(subkeys.begin(), subkeys.end());
  std::set<std::string> seededKeys;
  for (const Seeded& s : seeded) seededKeys.insert(s.name);
  EXPECT_EQ(keys, seededKeys);
  DeleteFileA(backup.c_str());
  cleanUp();
}

}  // namespace
}  // namespace morvane
