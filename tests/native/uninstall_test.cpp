// The installed-programs list over the in-memory registry: the fill, the look-up and the
// deletion, with read-only access, two registry views, and the quoting of uninstall commands.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>

#include "CleanReg/Uninstall.h"
#include "platform/TRegistry.h"
#include "testing/MemRegistryApi.h"

namespace morvane {
namespace {

constexpr RootKey HKLM = RootKey::LocalMachine;
const std::string kKey = kUninstallPath;

class UninstallTest : public ::testing::Test {
 protected:
  void Entry(const std::string& name, const char* display, const char* command,
             const std::string& base = kUninstallPath) {
    mem_.AddKey(HKLM, base + "\\" + name);
    if (display) mem_.AddText(HKLM, base + "\\" + name, kDisplayName, display);
    if (command) mem_.AddText(HKLM, base + "\\" + name, kUninstallString, command);
  }
  std::vector<std::string> Load() {
    std::vector<std::string> items;
    LoadUninstallList(mem_, place_, [&](const std::string& name) { items.push_back(name); });
    return items;
  }
  UninstallEntry Find(const std::string& name) { return FindUninstallKey(mem_, place_, name); }

  MemRegistryApi mem_;
  UninstallPlace place_;
};

TEST_F(UninstallTest, HundredsOfEntriesListedInKeyOrderAndEachFound) {
  std::vector<std::string> expected;
  for (int i = 0; i < 300; ++i) {
    char name[16], display[32];
    std::snprintf(name, sizeof name, "P%03d", i);
    std::snprintf(display, sizeof display, "Program %d", 299 - i);  // display order differs from key order
    Entry(name, display, "uninst.exe");
    expected.push_back(display);
  }
  EXPECT_EQ(Load(), expected);
  EXPECT_EQ(UninstallKeys.size(), 300u);
  for (int i = 0; i < 300; i += 37) {
    char name[16];
    std::snprintf(name, sizeof name, "P%03d", i);
    EXPECT_EQ(Find(expected[i]).path, kKey + "\\" + name);
  }
  EXPECT_EQ(Find(expected.back()).path, kKey + "\\P299");
}

TEST_F(UninstallTest, EntriesLackingAValueOrNotOpeningAreLeftOutAndDuplicatesFindTheFirst) {
  Entry("a-only-name", "Only name", nullptr);
  Entry("b-only-command", nullptr, "x.exe");
  Entry("c-closed", "Closed", "x.exe");
  mem_.RestrictAccess(HKLM, kKey + "\\c-closed", 0);
  Entry("d-twin", "Twin", "first.exe");
  Entry("e-twin", "Twin", "second.exe");
  Entry("f-case", "twin", "lower.exe");
  EXPECT_EQ(Load(), (std::vector<std::string>{"Twin", "Twin", "twin"}));
  EXPECT_EQ(Find("Twin").path, kKey + "\\d-twin");
  EXPECT_EQ(Find("twin").path, kKey + "\\f-case");
  EXPECT_FALSE(Find("Only name").Found());
  EXPECT_FALSE(Find("Closed").Found());
  EXPECT_FALSE(FindUninstallKey(mem_, place_, std::nullopt).Found());
  // An entry whose display name is missing matches the empty text, as long as it has a command.
  EXPECT_EQ(Find("").path, kKey + "\\b-only-command");
  // No Uninstall key at all: an empty list.
  mem_.RemoveKey(HKLM, kKey);
  EXPECT_TRUE(Load().empty());
  EXPECT_TRUE(UninstallKeys.empty());
}

TEST_F(UninstallTest, ADisplayNameThatIsNotTextEndsTheFillAndTheLookUpWithTheError) {
  Entry("a", "First", "a.exe");
  Entry("b", nullptr, "b.exe");
  mem_.AddValue(HKLM, kKey + "\\b", kDisplayName, kRegDword, std::string("\x01\0\0\0", 4));
  Entry("c", "Third", "c.exe");
  std::vector<std::string> items;
  try {
    LoadUninstallList(mem_, place_, [&](const std::string& name) { items.push_back(name); });
    ADD_FAILURE() << "no error";
  } catch (const ERegistryException& error) {
    EXPECT_STREQ(error.what(), "Invalid data type for 'DisplayName'");
  }
  EXPECT_EQ(items, std::vector<std::string>{"First"});
  EXPECT_EQ(Find("First").path, kKey + "\\a");
  EXPECT_THROW(Find("Third"), ERegistryException);
}

TEST_F(UninstallTest, ReadingNeedsNoWriteAccessAndDeletionWithoutItDeletesNothing) {
  Entry("a", "App", "a.exe");
  mem_.AddKey(HKLM, kKey + "\\a\\inner");
  for (const std::string& path : {kKey, kKey + "\\a", kKey + "\\a\\inner"}) mem_.RestrictAccess(HKLM, path, kKeyRead);
  EXPECT_EQ(Load(), std::vector<std::string>{"App"});
  const UninstallEntry entry = Find("App");
  ASSERT_TRUE(entry.Found());
  EXPECT_FALSE(DeleteUninstallEntry(mem_, place_, entry));
  EXPECT_TRUE(mem_.KeyExists(HKLM, kKey + "\\a\\inner"));
}

TEST_F(UninstallTest, DeletionRemovesTheEntryWithItsSubkeysOnlyAndNothingWithoutAnEntry) {
  Entry("a", "A", "a.exe");
  Entry("b", "B", "b.exe");
  mem_.AddKey(HKLM, kKey + "\\b\\x\\y");
  mem_.AddKey(HKLM, kKey + "\\b\\z");
  Entry("c", "C", "c.exe");
  Load();
  EXPECT_TRUE(DeleteUninstallEntry(mem_, place_, Find("B")));
  EXPECT_FALSE(mem_.KeyExists(HKLM, kKey + "\\b"));
  EXPECT_TRUE(mem_.KeyExists(HKLM, kKey + "\\a"));
  EXPECT_TRUE(mem_.KeyExists(HKLM, kKey + "\\c"));
  // No entry, or a path naming the Uninstall key or a root: nothing is deleted.
  std::vector<std::string> deleted;
  mem_.hook = [&](const std::string& op, const std::string& path) {
    if (op == "deletekey") deleted.push_back(path);
  };
  EXPECT_FALSE(DeleteUninstallEntry(mem_, place_, Find("Missing")));
  EXPECT_FALSE(DeleteUninstallEntry(mem_, place_, UninstallEntry{}));
  EXPECT_FALSE(DeleteUninstallEntry(mem_, place_, UninstallEntry{kKey + "\\"}));
  EXPECT_FALSE(DeleteUninstallEntry(mem_, place_, UninstallEntry{"\\"}));
  EXPECT_TRUE(deleted.empty());
  EXPECT_TRUE(mem_.KeyExists(HKLM, kKey + "\\a"));
}

TEST_F(UninstallTest, BothViewsAreListedNativeFirstAndEachEntryIsActedOnInItsOwnView) {
  const std::string wow = "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
  mem_.SetTwoViews(true);
  place_ = MachineUninstallPlace(mem_);
  ASSERT_EQ(place_.views, (std::vector<std::uint32_t>{kKeyWow64View64, kKeyWow64View32}));
  Entry("z-native", "Native app", "n.exe");
  Entry("same", "Native twin", "n2.exe");
  Entry("a-wow", "Wow app", "w.exe", wow);
  Entry("same", "Wow twin", "w2.exe", wow);
  EXPECT_EQ(Load(), (std::vector<std::string>{"Native twin", "Native app", "Wow app", "Wow twin"}));
  const UninstallEntry wowTwin = Find("Wow twin");
  EXPECT_EQ(wowTwin.path, kKey + "\\same");
  EXPECT_EQ(wowTwin.view, static_cast<std::uint32_t>(kKeyWow64View32));
  EXPECT_EQ(Find("Native twin").view, static_cast<std::uint32_t>(kKeyWow64View64));
  EXPECT_TRUE(DeleteUninstallEntry(mem_, place_, wowTwin));
  EXPECT_FALSE(mem_.KeyExists(HKLM, wow + "\\same"));
  EXPECT_TRUE(mem_.KeyExists(HKLM, kKey + "\\same"));
  EXPECT_EQ(Load(), (std::vector<std::string>{"Native twin", "Native app", "Wow app"}));
}

TEST(QuoteProgramPath, QuotesTheLongestExistingProgramPartThatHoldsASpace) {
  const std::set<std::string> files = {"C:\\Program Files\\Mv App\\uninst.exe", "C:\\Program.exe",
                                       "C:\\Program Files\\Mv.exe", "C:\\Tools\\un.exe", "C:\\A B\\c d.exe"};
  const auto exists = [&](const std::string& path) { return files.count(path) != 0; };
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"C:\\Program Files\\Mv App\\uninst.exe /x", "\"C:\\Program Files\\Mv App\\uninst.exe\" /x"},
      {"C:\\Program Files\\Mv App\\uninst.exe", "\"C:\\Program Files\\Mv App\\uninst.exe\""},
      {"C:\\A B\\c d.exe  -q -r", "\"C:\\A B\\c d.exe\"  -q -r"},
      {"\"C:\\Program Files\\Mv App\\uninst.exe\" /x", "\"C:\\Program Files\\Mv App\\uninst.exe\" /x"},
      {"C:\\Tools\\un.exe /a b", "C:\\Tools\\un.exe /a b"},                // no space in the program
      {"MsiExec.exe /X{1234}", "MsiExec.exe /X{1234}"},                    // found on the search path
      {"C:\\Program Files\\Gone\\u.exe /x", "C:\\Program Files\\Gone\\u.exe /x"},  // nothing to name
      {"", ""},
      {" ", " "},
  };
  for (const auto& c : cases) EXPECT_EQ(QuoteProgramPath(c.in, exists), c.out) << c.in;
}

}  // namespace
}  // namespace morvane
