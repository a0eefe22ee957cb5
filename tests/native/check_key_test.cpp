// Which keys and values the inspection reports, over the in-memory registry and a fake file
// system: one table of seeds, then values that change under the scan and the questions it asks.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "CleanReg/CleanThread.h"
#include "CleanReg/Repair.h"
#include "testing/MemRegistryApi.h"
#include "tests/native/fake_files.h"
#include "tests/native/recording_sink.h"

namespace morvane {
namespace {

constexpr RootKey HKCR = RootKey::ClassesRoot, HKLM = RootKey::LocalMachine,
                  HKCU = RootKey::CurrentUser;
constexpr std::uint32_t kKeyOnly = 0;  // a key with nothing in it
const char* const kSame = "\x01";      // reported with the text as stored

// The files present for every row.
void World(FakeFiles& files) {
  files.files = {"C:\\Windows\\system32\\rundll32.exe", "C:\\Windows\\notepad.exe",
                 "C:\\Tool\\present.exe", "C:\\Whole\\name.txt", "C:\\users\\ann\\App\\data.txt"};
  files.folders = {"C:\\Data\\Mr. Brown",
                   "C:\\Data\\v1.2 beta",
                   "C:\\Data\\store.d",
                   "C:\\Locked",
                   "C:\\Busy",
                   "C:\\Half",
                   "C:\\Odd"};
  // Paths the system could not look at (access denied, a sharing violation, a refused name).
  files.unknown = {"C:\\Locked\\tool.exe", "C:\\Busy\\page.sys", "C:\\Half\\run.exe -x",
                   "C:\\Odd\\a"};
  files.variables = {{"USERNAME", "ann"}, {"GONE", "C:\\Gone"}};
}

struct Seed {
  std::string data;      // a text gets its terminator added unless raw
  const char* reported;  // the finding's text, kSame, or null for none
  std::uint32_t type = kRegSz;
  bool raw = false;
  RootKey root = HKCU;
  std::string key = "SOFTWARE\\V", name = "v";
};

// Plain texts in HKEY_CURRENT_USER\SOFTWARE\V, value "v": never reported...
const char* const kKept[] = {
    // Command lines whose program exists, whatever the rebuilt path makes of them.
    "C:\\Windows\\system32\\rundll32.exe shell32.dll,Control_RunDLL",
    "C:\\Windows\\notepad.exe readme.txt", "C:\\Tool\\present.exe -u",
    // Folders whose names hold a dot and later a blank, named as they stand; a whole name.
    "C:\\Data\\Mr. Brown", "C:\\Data\\v1.2 beta", "C:\\Data\\store.d", "C:\\Whole\\name.txt",
    // A text the file calls would take as a pattern is never judged by them.
    "C:\\Gone\\L?dz.txt", "C:\\Gone\\?.txt",
    // A slash in the name (not a path at all), no drive, drive A, no volume, no extension,
    // quoted, a network path, nothing.
    "C:\\Program Files\\Gone\\x.exe /s", "Q:\\gone.exe", "a:\\gone.exe", "A:\\gone.exe",
    "1:\\gone.exe", "C:\\dir\\gone", "\"C:\\gone.exe\"", "\\\\server\\share\\gone.exe", "",
    // Only "not found" makes a path missing: any other answer, for any reading, saves the text.
    "C:\\Locked\\tool.exe", "C:\\Locked\\tool.exe -u", "C:\\Busy\\page.sys", "C:\\Half\\run.exe -x",
    "C:\\Odd\\a b.exe",
    // Variables are expanded for the check; a name that is not defined leaves the text alone,
    // and a text that begins with one names no drive as it stands.
    "C:\\users\\%USERNAME%\\App\\data.txt", "C:\\users\\%USERNAME%\\App", "%GONE%\\app.exe -u",
    "C:\\users\\%NOBODY%\\gone.txt", "%TEMP%\\gone.txt"};
// ...and reported as they stand: missing targets with their arguments.
const char* const kReported[] = {"C:\\Tool\\lib.dll,0",
                                 "C:\\three.exe!1",
                                 "C:\\Windows\\gone.exe readme.txt",
                                 "C:\\Data\\Mrs. Brown",
                                 "C:\\Program Files\\Gone\\x.exe %1",
                                 "C:\\users\\%USERNAME%\\App\\gone.txt"};
// Other keys, names and types.
const Seed kSeeds[] = {
    // Extension keys: only an empty one directly under HKEY_CLASSES_ROOT.
    {"", ".xyz", kKeyOnly, false, HKCR, ".xyz"},
    {"", nullptr, kRegSz, false, HKCR, ".def", ""},  // only an empty default value
    {"", nullptr, kKeyOnly, false, HKCR, ".sub\\ShellNew"},
    {"", nullptr, kKeyOnly, false, HKCR, "nodot"},
    {"", nullptr, kKeyOnly, false, HKCR, ".txt\\ShellNew\\.inner"},  // never inspected
    {"\x01\x00\x00\x00", nullptr, kRegDword, true, HKCR, ".num"},
    // Under either root, the default name, the longest name and a long text.
    {"C:\\Tool\\tool.exe -u", kSame, kRegSz, false, HKLM, "SOFTWARE\\Vendor\\Tool", "Uninstall"},
    {"C:\\Gone\\app.exe", kSame, kRegSz, false, HKCU, "SOFTWARE\\Mine", ""},
    {"C:\\" + std::string(20000, 'p') + ".exe", kSame, kRegSz, false, HKCU, "SOFTWARE\\Big",
     std::string(16383, 'v')},
    // Only plain texts, read up to their first NUL or whole without one.
    {std::string("C:\\gone.exe\0", 12), nullptr, kRegExpandSz, true},
    {std::string("C:\\gone.exe\0\0", 13), nullptr, kRegMultiSz, true},
    {"C:\\gone.exe", nullptr, kRegBinary, true},
    {"C:\\raw.exe", "C:\\raw.exe", kRegSz, true},
    {std::string("C:\\cut.exe\0C:\\after.exe", 23), "C:\\cut.exe", kRegSz, true},
    {std::string("C:\\odd.exe\0\0\0", 13), "C:\\odd.exe", kRegSz, true}};

class CheckKeyTest : public ::testing::Test {
 protected:
  void SetUp() override { World(files_); }
  std::vector<Finding> Scan() {  // one worker for every scan of a test
    worker_.FScanExtensions = worker_.FScanReferences = true;
    worker_.RunScan();
    return sink_.findings;
  }
  MemRegistryApi mem_;
  FakeFiles files_;
  RecordingSink sink_;
  TCleanThread worker_{sink_, mem_, files_};
};

TEST(CheckKeySeeds, EachSeedIsReportedAsTheTableSays) {
  std::vector<Seed> seeds(std::begin(kSeeds), std::end(kSeeds));
  for (const char* text : kKept) seeds.push_back({text, nullptr});
  for (const char* text : kReported) seeds.push_back({text, kSame});
  for (const Seed& s : seeds) {
    MemRegistryApi mem;
    FakeFiles files;
    World(files);
    if (s.type == kKeyOnly)
      mem.AddKey(s.root, s.key);
    else
      mem.AddValue(s.root, s.key, s.name, s.type, s.raw ? s.data : s.data + '\0');
    RecordingSink sink;
    TCleanThread worker(sink, mem, files);
    worker.FScanExtensions = worker.FScanReferences = true;
    worker.RunScan();
    std::vector<Finding> expected;
    if (s.reported)
      expected.push_back({s.root == HKCR ? kCaptionExpansion : kCaptionReference,
                          s.reported == kSame ? s.data : s.reported, SectionCode(s.root),
                          "\\" + s.key, s.type == kKeyOnly ? "" : s.name});
    EXPECT_EQ(sink.findings, expected) << s.key << " " << s.data.substr(0, 60);
  }
}

// A value that turns into a number or goes while its key is being read is passed over, and the
// next is read.
TEST_F(CheckKeyTest, ValueChangingUnderTheScanIsPassedOver) {
  const std::function<void()> changes[] = {
      [&] { mem_.AddValue(HKLM, "SOFTWARE\\Flip", "first", kRegDword, "\x01\x00\x00\x00"); },
      [&] {
        TRegistry reg(mem_);
        reg.SelectRoot(HKLM);
        reg.OpenPath("\\SOFTWARE\\Flip", false);
        reg.RemoveValue("first");
      }};
  for (const auto& change : changes) {
    mem_.AddText(HKLM, "SOFTWARE\\Flip", "first", "C:\\flip.exe");
    mem_.AddText(HKLM, "SOFTWARE\\Flip", "second", "C:\\next.exe");
    int reads = 0;
    mem_.hook = [&](const std::string& op, const std::string& path) {
      if (op == "enumvalue" && path == "\\SOFTWARE\\Flip" && ++reads == 1) change();
    };
    sink_.findings.clear();
    ASSERT_EQ(Scan().size(), 1u);
    EXPECT_EQ(sink_.findings[0].parameter, "C:\\next.exe");
    EXPECT_EQ(sink_.events.back(), "end");
    mem_.hook = nullptr;
    mem_.RemoveKey(HKLM, "SOFTWARE\\Flip");
  }
}

// Values are read with one enumeration call each: no lookups by name, no key opened twice.
TEST_F(CheckKeyTest, EachValueIsReadOnceWithItsKeyOpenedOnce) {
  for (int i = 0; i < 5; ++i)
    mem_.AddText(HKCU, "SOFTWARE\\One", "v" + std::to_string(i), "C:\\x.exe");
  mem_.AddValue(HKCU, "SOFTWARE\\One", "n", kRegDword, "\x01\x00\x00\x00");
  std::map<std::string, int> ops;
  mem_.hook = [&](const std::string& op, const std::string& path) {
    if (path == "\\SOFTWARE\\One") ++ops[op.rfind("query:", 0) == 0 ? "query" : op];
  };
  EXPECT_EQ(Scan().size(), 5u);
  EXPECT_EQ(ops, (std::map<std::string, int>{{"enumvalue", 6}, {"info", 1}, {"open", 1}}));
}

// Every file question is asked once per scan: the drive's serial, each path, and a missing
// folder answers for every path below it. A value of 120 KB of words costs a bounded number of
// questions and the scan goes on past it. The next scan asks again.
TEST_F(CheckKeyTest, EachQuestionIsAskedOncePerScan) {
  files_.folders.insert("C:\\Here");
  for (int i = 0; i < 30; ++i) {
    mem_.AddText(HKCU, "SOFTWARE\\Gone", "v" + std::to_string(i),
                 "C:\\Gone\\Deep\\f.exe" + std::to_string(i));
    mem_.AddText(HKCU, "SOFTWARE\\Same\\k" + std::to_string(i), "v", "C:\\Here\\same.exe -u");
    mem_.AddText(HKCU, "SOFTWARE\\Q", "v" + std::to_string(i), "Q:\\x.exe");
  }
  std::string words = "C:\\Here\\tool.exe";
  while (words.size() < 120 * 1024) words += " w";
  mem_.AddText(HKCU, "SOFTWARE\\Long", "long", words);
  mem_.AddText(HKCU, "SOFTWARE\\Stale", "stale", "C:\\Here\\gone.exe");
  EXPECT_EQ(Scan().size(), 62u);
  EXPECT_EQ(sink_.findings.back().valueName, "stale");
  EXPECT_EQ(files_.serialQueries, 2);  // C and Q
  const int looks = files_.looks;
  EXPECT_LT(looks, 1000);
  // C:\, C:\Gone, C:\Here, C:\Here\same.exe, its text with arguments, C:\Here\gone.exe
  mem_.RemoveKey(HKCU, "SOFTWARE\\Long");
  files_.looks = 0;
  sink_.findings.clear();
  EXPECT_EQ(Scan().size(), 61u);
  EXPECT_EQ(files_.looks, 6);
  files_.files.insert("C:\\Here\\same.exe");
  files_.looks = 0;
  sink_.findings.clear();
  EXPECT_EQ(Scan().size(), 31u);
  EXPECT_EQ(files_.looks, 5);  // the rebuilt file exists: its text is not asked
}

// A stale value only in the native view and one only in the 32-bit view are each reported once,
// under native paths; Correct removes each from its own view and leaves a same-named value in
// the other.
TEST_F(CheckKeyTest, BothViewsAreReportedOnceAndRepairedInTheirOwnView) {
  mem_.SetTwoViews(true);
  mem_.AddText(HKLM, "SOFTWARE\\MvNative", "v", "C:\\Gone\\native.exe");
  mem_.AddText(HKLM, "SOFTWARE\\Wow6432Node\\MvWow", "v", "C:\\Gone\\wow.exe");
  mem_.AddText(HKLM, "SOFTWARE\\MvWow", "v", "C:\\Here\\wow.exe");  // twins that name files
  mem_.AddText(HKLM, "SOFTWARE\\Wow6432Node\\MvNative", "v", "C:\\Here\\native.exe");
  files_.files = {"C:\\Here\\wow.exe", "C:\\Here\\native.exe"};
  const std::vector<Finding> found = Scan();
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].keyPath, "\\SOFTWARE\\MvNative");
  EXPECT_EQ(found[1].keyPath, "\\SOFTWARE\\Wow6432Node\\MvWow");
  for (const Finding& f : found)
    EXPECT_TRUE(
        DeleteRegItem(HKLM, f.keyPath, f.valueName, f.parameter, false, false, mem_, files_));
  EXPECT_FALSE(mem_.ValueExists(HKLM, "SOFTWARE\\MvNative", "v"));
  EXPECT_FALSE(mem_.ValueExists(HKLM, "SOFTWARE\\Wow6432Node\\MvWow", "v"));
  EXPECT_TRUE(mem_.ValueExists(HKLM, "SOFTWARE\\MvWow", "v"));
  EXPECT_TRUE(mem_.ValueExists(HKLM, "SOFTWARE\\Wow6432Node\\MvNative", "v"));
}

}  // namespace
}  // namespace morvane
