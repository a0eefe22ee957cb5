// The installed-programs list on the real (Wine) registry: registry links inside an entry, keys
// the user may only read, the expansion of commands, names no code page spells and twins in the two
// views of the machine's key.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "CleanReg/Uninstall.h"
#include "platform/SystemFolders.h"
#include "tests/win/names_table.h"
#include "tests/win/system_fixtures.h"

namespace morvane {
namespace {

constexpr char kScratch[] = "Software\\MorvaneTest\\Uninstall";

bool UserKeyExists(const std::string& path) { return KeyExistsIn(HKEY_CURRENT_USER, path); }

// Gives everyone read access to the key and nothing more (its owner may still change that).
bool MakeReadOnly(const std::string& path, bool readOnly) {
  PSECURITY_DESCRIPTOR sd = nullptr;
  const char* sddl = readOnly ? "D:P(A;;KR;;;WD)" : "D:(A;OICI;KA;;;WD)";
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &sd, nullptr))
    return false;
  HKEY key = nullptr;
  LONG rc = RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, WRITE_DAC, &key);
  if (rc == ERROR_SUCCESS) {
    rc = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, sd);
    RegCloseKey(key);
  }
  LocalFree(sd);
  return rc == ERROR_SUCCESS;
}

class UninstallSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TearDown();
    place_.root = RootKey::CurrentUser;
    place_.path = kScratch;
  }
  void TearDown() override {
    DeleteUserLink(L"Software\\MorvaneTest\\Uninstall\\Linked");
    DeleteUserLink(L"Software\\MorvaneTest\\Uninstall\\Entry\\Link");
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\MorvaneTest");
  }
  void UserEntry(const std::string& name, const std::string& display) {
    ASSERT_TRUE(SetUserValueBytes(std::string(kScratch) + "\\" + name, kDisplayName, REG_SZ,
                                  display + '\0'));
    ASSERT_TRUE(
        SetUserValueBytes(std::string(kScratch) + "\\" + name, kUninstallString, REG_SZ, "un.exe"));
  }
  std::vector<UninstallItem> LoadItems() { return LoadUninstallList(SystemRegistry(), {place_}); }
  std::vector<std::string> Load() {
    std::vector<std::string> names;
    for (const UninstallItem& item : LoadItems()) names.push_back(item.displayName);
    return names;
  }
  UninstallPlace place_;
};

TEST_F(UninstallSystemTest,
       DeletionRemovesLinksInsideAnEntryNeverTheKeysTheyNameAndLeavesSiblings) {
  UserEntry("Entry", "With link");
  UserEntry("Sibling", "Sibling");
  ASSERT_TRUE(SetUserValueBytes("Software\\MorvaneTest\\Target\\Inner", "keep", REG_SZ,
                                std::string("x\0", 2)));
  ASSERT_TRUE(SetUserValueBytes(std::string(kScratch) + "\\Entry\\Sub\\Deep", "v", REG_SZ,
                                std::string("x\0", 2)));
  ASSERT_TRUE(MakeUserLink(L"Software\\MorvaneTest\\Uninstall\\Entry\\Link",
                           L"Software\\MorvaneTest\\Target"));
  // A link in place of a whole entry: it names the target, whose values it shows.
  ASSERT_TRUE(MakeUserLink(L"Software\\MorvaneTest\\Uninstall\\Linked",
                           L"Software\\MorvaneTest\\Uninstall\\Sibling"));
  EXPECT_EQ(Load(), (std::vector<std::string>{"With link", "Sibling", "Sibling"}));

  const UninstallEntry entry = LoadItems()[0].entry;
  ASSERT_EQ(entry.Path(), std::string(kScratch) + "\\Entry");
  EXPECT_TRUE(DeleteUninstallEntry(SystemRegistry(), entry));
  EXPECT_FALSE(UserKeyExists(std::string(kScratch) + "\\Entry"));
  EXPECT_TRUE(UserKeyExists("Software\\MorvaneTest\\Target\\Inner"));

  EXPECT_TRUE(DeleteUninstallEntry(SystemRegistry(), UninstallEntry{place_, "Linked"}));
  EXPECT_TRUE(UserKeyExists(std::string(kScratch) + "\\Sibling"));
  EXPECT_EQ(Load(), std::vector<std::string>{"Sibling"});
}

// A key the user may only read is listed and its command read (Wine grants DELETE whatever the
// key's access list says, so the refused deletion is shown on the in-memory registry only); an
// expandable command is expanded through the system, a plain one is not.
TEST_F(UninstallSystemTest, ReadOnlyKeysAreListedAndReadAndExpandableCommandsExpanded) {
  const std::string entry = std::string(kScratch) + "\\Entry";
  UserEntry("Entry", "Read only");
  ASSERT_TRUE(MakeUninstallEntry(HKEY_CURRENT_USER, std::string(kScratch) + "\\Expand", 0, "Expand",
                                 "%ProgramFiles%\\App\\un.exe /x", REG_EXPAND_SZ));
  ASSERT_TRUE(MakeUninstallEntry(HKEY_CURRENT_USER, std::string(kScratch) + "\\Plain", 0, "Plain",
                                 "%ProgramFiles%\\App\\un.exe /x"));
  ASSERT_TRUE(MakeReadOnly(entry, true) && MakeReadOnly(kScratch, true));
  HKEY probe = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, entry.c_str(), 0, KEY_ALL_ACCESS, &probe),
            ERROR_ACCESS_DENIED);
  char programFiles[MAX_PATH] = {};
  ASSERT_GT(GetEnvironmentVariableA("ProgramFiles", programFiles, MAX_PATH), 0u);
  const std::string commands[] = {"un.exe", std::string(programFiles) + "\\App\\un.exe /x",
                                  "%ProgramFiles%\\App\\un.exe /x"};
  const std::vector<UninstallItem> items = LoadItems();
  ASSERT_EQ(items.size(), 3u);
  for (std::size_t i = 0; i < items.size(); ++i) {
    const UninstallCommandText read =
        ReadUninstallCommand(SystemRegistry(), items[i].entry, SystemFolderApi());
    EXPECT_EQ(read.outcome, UninstallCommandText::kRead);
    EXPECT_EQ(read.text, commands[i]) << items[i].displayName;
    EXPECT_TRUE(read.exact);
  }
  ASSERT_TRUE(MakeReadOnly(kScratch, false) && MakeReadOnly(entry, false));
}

// Entries whose key names, display names and commands hold names no code page spells, each
// beside its look-alike twin: every entry is listed once as itself, its command is read exactly,
// and deleting it removes it and leaves its twin.
TEST_F(UninstallSystemTest, EveryNameIsListedReadAndDeletedAsItself) {
  std::set<std::string> names, twins;  // several twins are one string
  for (const testing::LookAlikeName& n : testing::LookAlikeNames()) {
    names.insert(n.name);
    twins.insert(n.twin);
  }
  std::multiset<std::string> all(names.begin(), names.end());
  all.insert(twins.begin(), twins.end());
  for (const std::string& x : all)
    ASSERT_TRUE(MakeUninstallEntry(HKEY_CURRENT_USER, std::string(kScratch) + "\\Uni " + x + " Key",
                                   0, ("Uni " + x).c_str(),
                                   "\"C:\\Uni\\" + x + "\\uninst.exe\" /x"));
  std::multiset<std::string> listed, left;
  for (const UninstallItem& item : LoadItems()) {
    const std::string x =
        item.displayName.substr(std::min<std::size_t>(4, item.displayName.size()));
    listed.insert(x);
    EXPECT_EQ(item.entry.name, "Uni " + x + " Key");
    EXPECT_EQ(ReadUninstallCommand(SystemRegistry(), item.entry, SystemFolderApi()).text,
              "\"C:\\Uni\\" + x + "\\uninst.exe\" /x");
    if (names.count(x) != 0) {
      EXPECT_TRUE(DeleteUninstallEntry(SystemRegistry(), item.entry)) << x;
    }
  }
  EXPECT_EQ(listed, all);
  for (const UninstallItem& item : LoadItems()) left.insert(item.displayName.substr(4));
  EXPECT_EQ(left, std::multiset<std::string>(twins.begin(), twins.end()));
}

// Twins in the two views of the machine's key: each is read and deleted in its own view.
TEST_F(UninstallSystemTest, TwinsInTheTwoViewsAreEachActedOnInTheirOwnView) {
  if (!IsWow64Process32()) GTEST_SKIP() << "one registry view here";
  const std::string twin = kUninstallPath + std::string("\\MorvaneTest-Twin");
  for (const auto& [view, command] :
       {std::pair{KEY_WOW64_64KEY, "native.exe"}, std::pair{KEY_WOW64_32KEY, "wow.exe"}})
    ASSERT_TRUE(MakeUninstallEntry(HKEY_LOCAL_MACHINE, twin, view, "Morvane twin", command));
  std::vector<UninstallEntry> twins;
  for (const UninstallItem& item :
       LoadUninstallList(SystemRegistry(), UninstallPlaces(SystemRegistry())))
    if (item.entry.name == "MorvaneTest-Twin") twins.push_back(item.entry);
  ASSERT_EQ(twins.size(), 2u);
  EXPECT_EQ(ReadUninstallCommand(SystemRegistry(), twins[1], SystemFolderApi()).text, "wow.exe");
  EXPECT_TRUE(DeleteUninstallEntry(SystemRegistry(), twins[1]));
  EXPECT_FALSE(KeyExistsIn(HKEY_LOCAL_MACHINE, twin, KEY_WOW64_32KEY));
  EXPECT_TRUE(KeyExistsIn(HKEY_LOCAL_MACHINE, twin, KEY_WOW64_64KEY));
  RegDeleteKeyExA(HKEY_LOCAL_MACHINE, twin.c_str(), KEY_WOW64_64KEY, 0);
}

}  // namespace
}  // namespace morvane
