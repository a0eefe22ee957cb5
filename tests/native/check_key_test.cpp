// Which keys and values the inspection reports, over the in-memory registry and a fake file
// system.
#include <gtest/gtest.h>

#include <map>

#include "CleanReg/CleanThread.h"
#include "CleanReg/Repair.h"
#include "testing/MemRegistryApi.h"
#include "tests/native/fake_files.h"
#include "tests/native/recording_sink.h"

namespace morvane {
namespace {

constexpr RootKey HKCR = RootKey::ClassesRoot;
constexpr RootKey HKLM = RootKey::LocalMachine;
constexpr RootKey HKCU = RootKey::CurrentUser;

class CheckKeyTest : public ::testing::Test {
 protected:
  std::vector<Finding> Scan() {
    TCleanThread worker(sink_, mem_, files_);
    worker.FScanExtensions = true;
    worker.FScanReferences = true;
    worker.RunScan();
    return sink_.findings;
  }
  std::vector<std::string> Parameters() {
    std::vector<std::string> out;
    for (const Finding& f : Scan()) out.push_back(f.parameter);
    return out;
  }
  void Text(RootKey root, const std::string& path, const std::string& name,
            const std::string& text) {
    mem_.AddText(root, path, name, text);
  }
  MemRegistryApi mem_;
  FakeFiles files_;
  RecordingSink sink_;
};

TEST_F(CheckKeyTest, EmptyExtensionKeyIsReported) {
  mem_.AddKey(HKCR, ".xyz");
  const std::vector<Finding> found = Scan();
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0], (Finding{"Incorrect expansion", ".xyz", "HKCR", "\\.xyz", ""}));
}

TEST_F(CheckKeyTest, ExtensionKeyWithAnythingInItOrWithoutDotIsNot) {
  mem_.AddText(HKCR, ".def", "", "");   // only an empty default value
  mem_.AddKey(HKCR, ".sub\\ShellNew");  // a subkey
  mem_.AddKey(HKCR, "nodot");           // not an extension
  mem_.AddValue(HKCR, ".num", "n", kRegDword, "\x01\x00\x00\x00");
  mem_.AddKey(HKCR, ".txt\\ShellNew\\.inner");  // below the top level: never inspected
  EXPECT_TRUE(Scan().empty());
}

TEST_F(CheckKeyTest, BrokenReferenceIsReportedWithItsTextAsRead) {
  Text(HKLM, "SOFTWARE\\Vendor\\Tool", "Uninstall", "C:\\Tool\\tool.exe -u");
  Text(HKCU, "SOFTWARE\\Mine", "", "C:\\Gone\\app.exe");
  const std::vector<Finding> found = Scan();
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0], (Finding{"The incorrect reference to a file", "C:\\Tool\\tool.exe -u", "HKLM",
                               "\\SOFTWARE\\Vendor\\Tool", "Uninstall"}));
  EXPECT_EQ(found[1], (Finding{"The incorrect reference to a file", "C:\\Gone\\app.exe", "HKCU",
                               "\\SOFTWARE\\Mine", ""}));
}

TEST_F(CheckKeyTest, ExistingFileOrFolderIsNotReported) {
  files_.files.insert("C:\\Tool\\tool.exe");
  files_.folders.insert("C:\\Data\\store.d");
  files_.files.insert("C:\\Whole\\name.txt");
  Text(HKLM, "SOFTWARE\\V", "a", "C:\\Tool\\tool.exe -u");  // rebuilt path exists
  Text(HKLM, "SOFTWARE\\V", "b", "C:\\Data\\store.d");      // a folder with a dotted name
  Text(HKLM, "SOFTWARE\\V", "c", "C:\\Whole\\name.txt");    // the text itself exists
  EXPECT_TRUE(Scan().empty());
}

TEST_F(CheckKeyTest, ValuesThatAreNeverReported) {
  const std::string key = "SOFTWARE\\V";
  Text(HKLM, key, "driveA", "A:\\missing.txt");
  Text(HKLM, key, "drivea", "a:\\missing.txt");
  Text(HKLM, key, "noVolume", "Q:\\missing.txt");
  Text(HKLM, key, "quoted", "\"C:\\missing.txt\"");
  Text(HKLM, key, "percent", "%TEMP%\\missing.txt");
  Text(HKLM, key, "digit", "1:\\missing.txt");
  Text(HKLM, key, "unc", "\\\\server\\share\\missing.txt");
  Text(HKLM, key, "noExtension", "C:\\dir\\missing");
  Text(HKLM, key, "slash", "C:\\Tool\\app.exe /s");
  Text(HKLM, key, "empty", "");
  mem_.AddValue(HKLM, key, "expand", kRegExpandSz, std::string("C:\\missing.txt\0", 15));
  mem_.AddValue(HKLM, key, "binary", kRegBinary, "C:\\missing.txt");
  mem_.AddValue(HKLM, key, "multi", kRegMultiSz, std::string("C:\\missing.txt\0\0", 16));
  EXPECT_TRUE(Scan().empty());
}

TEST_F(CheckKeyTest, SeveralBrokenValuesInOneKeyKeepTheirOrder) {
  Text(HKCU, "SOFTWARE\\Three", "z", "C:\\one.exe");
  Text(HKCU, "SOFTWARE\\Three", "a", "C:\\two.dll,0");
  Text(HKCU, "SOFTWARE\\Three", "m", "C:\\three.exe!1");
  EXPECT_EQ(Parameters(),
            (std::vector<std::string>{"C:\\one.exe", "C:\\two.dll,0", "C:\\three.exe!1"}));
}

TEST_F(CheckKeyTest, TextWithoutTerminatorOrWithTrailingBytes) {
  mem_.AddValue(HKCU, "SOFTWARE\\Raw", "noNul", kRegSz, "C:\\raw.exe");
  mem_.AddValue(HKCU, "SOFTWARE\\Raw", "junk", kRegSz,
                std::string("C:\\cut.exe\0C:\\after.exe", 23));
  mem_.AddValue(HKCU, "SOFTWARE\\Raw", "odd", kRegSz, std::string("C:\\odd.exe\0\0\0", 13));
  EXPECT_EQ(Parameters(), (std::vector<std::string>{"C:\\raw.exe", "C:\\cut.exe", "C:\\odd.exe"}));
}

TEST_F(CheckKeyTest, ValueChangingTypeUnderTheScanIsPassedOver) {
  Text(HKLM, "SOFTWARE\\Flip", "first", "C:\\flip.exe");
  Text(HKLM, "SOFTWARE\\Flip", "second", "C:\\next.exe");
  // The key is open and its values counted when "first" turns into a number.
  int reads = 0;
  mem_.hook = [&](const std::string& op, const std::string& path) {
    if (op == "enumvalue" && path == "\\SOFTWARE\\Flip" && ++reads == 1)
      mem_.AddValue(HKLM, "SOFTWARE\\Flip", "first", kRegDword, "\x01\x00\x00\x00");
  };
  EXPECT_EQ(Parameters(), (std::vector<std::string>{"C:\\next.exe"}));
  EXPECT_EQ(sink_.events.back(), "end");
}

TEST_F(CheckKeyTest, ValueVanishingUnderTheScanIsPassedOver) {
  Text(HKLM, "SOFTWARE\\Vanish", "gone", "C:\\gone.exe");
  Text(HKLM, "SOFTWARE\\Vanish", "stays", "C:\\stays.exe");
  int reads = 0;
  mem_.hook = [&](const std::string& op, const std::string& path) {
    if (op == "enumvalue" && path == "\\SOFTWARE\\Vanish" && ++reads == 1) {
      TRegistry reg(mem_);
      reg.SelectRoot(HKLM);
      reg.OpenPath("\\SOFTWARE\\Vanish", false);
      reg.RemoveValue("gone");
    }
  };
  EXPECT_EQ(Parameters(), (std::vector<std::string>{"C:\\stays.exe"}));
}

// Values are read with one enumeration call each: no lookups by name, no key opened twice.
TEST_F(CheckKeyTest, EachValueIsReadOnceWithItsKeyOpenedOnce) {
  for (int i = 0; i < 5; ++i)
    Text(HKCU, "SOFTWARE\\One", "v" + std::to_string(i), "C:\\one" + std::to_string(i) + ".exe");
  mem_.AddValue(HKCU, "SOFTWARE\\One", "n", kRegDword, "\x01\x00\x00\x00");
  std::map<std::string, int> ops;
  mem_.hook = [&](const std::string& op, const std::string& path) {
    if (path == "\\SOFTWARE\\One") ++ops[op.rfind("query:", 0) == 0 ? "query" : op];
  };
  EXPECT_EQ(Scan().size(), 5u);
  EXPECT_EQ(ops["open"], 1);
  EXPECT_EQ(ops["enumvalue"], 6);
  EXPECT_EQ(ops["query"], 0);
}

TEST_F(CheckKeyTest, LongNamesAndLargeData) {
  const std::string name(16383, 'v');
  const std::string text = "C:\\" + std::string(20000, 'p') + ".exe";
  Text(HKCU, "SOFTWARE\\Big", name, text);
  const std::vector<Finding> found = Scan();
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].valueName, name);
  EXPECT_EQ(found[0].parameter, text);
}

TEST_F(CheckKeyTest, DriveSerialIsAskedOncePerScan) {
  for (int i = 0; i < 50; ++i)
    Text(HKCU, "SOFTWARE\\Many", "v" + std::to_string(i),
         "C:\\missing" + std::to_string(i) + ".exe");
  for (int i = 0; i < 5; ++i) Text(HKCU, "SOFTWARE\\Many", "q" + std::to_string(i), "Q:\\x.exe");
  EXPECT_EQ(Scan().size(), 50u);
  EXPECT_EQ(files_.serialQueries, 2);  // C and Q
}

TEST_F(CheckKeyTest, FileAnswersAreAskedOncePerScan) {
  for (int i = 0; i < 40; ++i)
    Text(HKCU, "SOFTWARE\\Same\\k" + std::to_string(i), "v", "C:\\same.exe -u");
  TCleanThread worker(sink_, mem_, files_);
  worker.FScanReferences = true;
  worker.RunScan();
  EXPECT_EQ(sink_.findings.size(), 40u);
  // The drive's root, the rebuilt "C:\same.exe" and then "C:\same.exe -u": each asked once.
  EXPECT_EQ(files_.looks, 3);

  // The next scan asks again and sees the file that has appeared since.
  files_.files.insert("C:\\same.exe");
  sink_.findings.clear();
  worker.RunScan();
  EXPECT_TRUE(sink_.findings.empty());
  EXPECT_EQ(files_.looks, 5);  // the root and the rebuilt file, which exists: the text is not asked
}

// A folder that is missing settles every path below it with one question.
TEST_F(CheckKeyTest, PathsInAMissingFolderAreAnsweredByTheFolder) {
  files_.files.insert("C:\\Here\\x.exe");
  for (int i = 0; i < 30; ++i)
    Text(HKCU, "SOFTWARE\\Gone", "v" + std::to_string(i),
         "C:\\Gone\\Deep\\f" + std::to_string(i) + ".exe");
  Text(HKCU, "SOFTWARE\\Here", "missing", "C:\\Here\\y.exe");
  Text(HKCU, "SOFTWARE\\Here", "dotted", "C:\\Here\\.\\x.exe");  // the system reads it its own way
  files_.files.insert("C:\\Here\\.\\x.exe");
  const std::vector<Finding> found = Scan();
  EXPECT_EQ(found.size(), 31u);
  // Folders C:\, C:\Gone and C:\Here, the path y.exe and the dotted text.
  EXPECT_EQ(files_.looks, 5);
}

// A value of 120 KB made of many words, early in the walk, costs a bounded number of questions
// and the scan goes on to the stale value after it.
TEST_F(CheckKeyTest, LongValueOfManyWordsDoesNotStopTheScan) {
  files_.folders.insert("C:\\Here");
  std::string words = "C:\\Here\\tool.exe";
  while (words.size() < 120 * 1024) words += " w";
  Text(HKCU, "SOFTWARE\\A", "long", words);
  Text(HKCU, "SOFTWARE\\B", "stale", "C:\\Here\\gone.exe");
  const std::vector<Finding> found = Scan();
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].parameter, words);
  EXPECT_EQ(found[1].valueName, "stale");
  EXPECT_EQ(sink_.events[sink_.events.size() - 2], std::string("status:") + kStatusCompleted);
  EXPECT_LT(files_.looks, 1000);
}

// A stale value only in the native view and one only in the 32-bit view are each reported once,
// under native paths; Correct removes each from its own view and leaves a same-named value in
// the other.
TEST_F(CheckKeyTest, BothViewsAreReportedOnceAndRepairedInTheirOwnView) {
  mem_.SetTwoViews(true);
  Text(HKLM, "SOFTWARE\\MvNative", "v", "C:\\Gone\\native.exe");
  Text(HKLM, "SOFTWARE\\Wow6432Node\\MvWow", "v", "C:\\Gone\\wow.exe");
  Text(HKLM, "SOFTWARE\\MvWow", "v",
       "C:\\Here\\wow.exe");  // the native twin names a file that exists
  Text(HKLM, "SOFTWARE\\Wow6432Node\\MvNative", "v", "C:\\Here\\native.exe");
  files_.files = {"C:\\Here\\wow.exe", "C:\\Here\\native.exe"};
  const std::vector<Finding> found = Scan();
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].keyPath, "\\SOFTWARE\\MvNative");
  EXPECT_EQ(found[1].keyPath, "\\SOFTWARE\\Wow6432Node\\MvWow");
  for (const Finding& f : found)
    EXPECT_TRUE(
        DeleteRegItem(HKLM, f.keyPath, f.valueName, f.parameter, false, false, mem_, files_))
        << f.keyPath;
  EXPECT_FALSE(mem_.ValueExists(HKLM, "SOFTWARE\\MvNative", "v"));
  EXPECT_FALSE(mem_.ValueExists(HKLM, "SOFTWARE\\Wow6432Node\\MvWow", "v"));
  EXPECT_TRUE(mem_.ValueExists(HKLM, "SOFTWARE\\MvWow", "v"));
  EXPECT_TRUE(mem_.ValueExists(HKLM, "SOFTWARE\\Wow6432Node\\MvNative", "v"));
}

TEST_F(CheckKeyTest, CancelledWorkerInspectsNothing) {
  Text(HKCU, "SOFTWARE\\A", "v", "C:\\missing.exe");
  TCleanThread worker(sink_, mem_, files_);
  worker.FScanReferences = true;
  worker.Cancel();
  worker.RunScan();
  EXPECT_TRUE(sink_.findings.empty());
}

}  // namespace
}  // namespace morvane
