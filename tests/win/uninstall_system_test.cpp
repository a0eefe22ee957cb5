// The installed-programs list on the real (Wine) registry: registry links inside an entry, keys
// the user may only read, twins in each registry view of 64-bit Windows and the user's own key,
// blank and very long names.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "CleanReg/Uninstall.h"
#include "platform/SystemFolders.h"
#include "tests/win/system_fixtures.h"

namespace morvane {
namespace {

constexpr char kScratch[] = "Software\\MorvaneTest\\Uninstall";

bool UserKeyExists(const std::string& path) { return KeyExistsIn(HKEY_CURRENT_USER, path); }

// Gives everyone read access to the key and nothing more (its owner may still change that).
bool MakeReadOnly(const std::string& path, bool readOnly) {
  PSECURITY_DESCRIPTOR sd = nullptr;
  const char* sddl = readOnly ? "D:P(A;;KR;;;WD)" : "D:(A;OICI;KA;;;WD)";
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &sd, nullptr)) return false;
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
    ASSERT_TRUE(SetUserValueBytes(std::string(kScratch) + "\\" + name, kDisplayName, REG_SZ, display + '\0'));
    ASSERT_TRUE(SetUserValueBytes(std::string(kScratch) + "\\" + name, kUninstallString, REG_SZ, "un.exe"));
  }
  std::vector<UninstallItem> LoadItems() { return LoadUninstallList(SystemRegistry(), {place_}); }
  std::vector<std::string> Load() {
    std::vector<std::string> names;
    for (const UninstallItem& item : LoadItems()) names.push_back(item.displayName);
    return names;
  }
  UninstallPlace place_;
};

TEST_F(UninstallSystemTest, DeletionRemovesLinksInsideAnEntryNeverTheKeysTheyNameAndLeavesSiblings) {
  UserEntry("Entry", "With link");
  UserEntry("Sibling", "Sibling");
  ASSERT_TRUE(SetUserValueBytes("Software\\MorvaneTest\\Target\\Inner", "keep", REG_SZ, std::string("x\0", 2)));
  ASSERT_TRUE(SetUserValueBytes(std::string(kScratch) + "\\Entry\\Sub\\Deep", "v", REG_SZ, std::string("x\0", 2)));
  ASSERT_TRUE(MakeUserLink(L"Software\\MorvaneTest\\Uninstall\\Entry\\Link", L"Software\\MorvaneTest\\Target"));
  // A link in place of a whole entry: it names the target, whose values it shows.
  ASSERT_TRUE(MakeUserLink(L"Software\\MorvaneTest\\Uninstall\\Linked", L"Software\\MorvaneTest\\Uninstall\\Sibling"));
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

TEST_F(UninstallSystemTest, KeysTheUserMayOnlyReadAreListedAndRead) {
  UserEntry("Entry", "Read only");
  const std::string entryPath = std::string(kScratch) + "\\Entry";
  ASSERT_TRUE(MakeReadOnly(entryPath, true));
  ASSERT_TRUE(MakeReadOnly(kScratch, true));
  HKEY probe = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, entryPath.c_str(), 0, KEY_ALL_ACCESS, &probe), ERROR_ACCESS_DENIED);
  EXPECT_EQ(Load(), std::vector<std::string>{"Read only"});
  const UninstallCommandText read = ReadUninstallCommand(SystemRegistry(), LoadItems()[0].entry, SystemFolderApi());
  EXPECT_EQ(read.outcome, UninstallCommandText::kRead);
  EXPECT_EQ(read.text, "un.exe");
  // Wine grants DELETE whatever the key's access list says, so the refused deletion is shown
  // on the in-memory registry only.
  ASSERT_TRUE(MakeReadOnly(kScratch, false));
  ASSERT_TRUE(MakeReadOnly(entryPath, false));
}

// Twins under one subkey name in the machine's two views and the user's key, a blank name and an
// entry without one, and names of 5,000 and 32,767 characters.
class UninstallPlacesSystemTest : public ::testing::Test {
 protected:
  void SetUp() override { TearDown(); }
  void TearDown() override {
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY})
      for (const char* name : {"MorvaneTest-Twin", "MorvaneTest-Blank", "MorvaneTest-NoName"})
        RegDeleteKeyExA(HKEY_LOCAL_MACHINE, (std::string(kUninstallPath) + "\\" + name).c_str(), view, 0);
    for (const char* name : {"MorvaneTest-Twin", "MorvaneTest-Long5000", "MorvaneTest-Long32767"})
      RegDeleteKeyA(HKEY_CURRENT_USER, (std::string(kUninstallPath) + "\\" + name).c_str());
  }
  static std::string Entry(const char* name) { return std::string(kUninstallPath) + "\\" + name; }
  // The items whose entries are named name, in list order.
  static std::vector<UninstallItem> Named(const std::vector<UninstallItem>& items, const std::string& name) {
    std::vector<UninstallItem> named;
    for (const UninstallItem& item : items)
      if (item.entry.name == name) named.push_back(item);
    return named;
  }
};

TEST_F(UninstallPlacesSystemTest, TwinsInEachViewAndTheUsersKeyAreListedInThatOrderAndEachActsOnItsOwnKey) {
  if (!IsWow64Process32()) GTEST_SKIP() << "one registry view here";
  ASSERT_TRUE(MakeUninstallEntry(HKEY_LOCAL_MACHINE, Entry("MorvaneTest-Twin"), KEY_WOW64_64KEY, "Morvane twin", "native.exe"));
  ASSERT_TRUE(MakeUninstallEntry(HKEY_LOCAL_MACHINE, Entry("MorvaneTest-Twin"), KEY_WOW64_32KEY, "Morvane twin", "wow.exe"));
  ASSERT_TRUE(MakeUninstallEntry(HKEY_CURRENT_USER, Entry("MorvaneTest-Twin"), 0, "Morvane twin", "user.exe"));
  ASSERT_TRUE(MakeUninstallEntry(HKEY_LOCAL_MACHINE, Entry("MorvaneTest-Blank"), KEY_WOW64_64KEY, "", "blank.exe"));
  ASSERT_TRUE(MakeUninstallEntry(HKEY_LOCAL_MACHINE, Entry("MorvaneTest-NoName"), KEY_WOW64_64KEY, nullptr, "none.exe"));

  const std::vector<UninstallItem> items = LoadUninstallList(SystemRegistry(), UninstallPlaces(SystemRegistry()));
  const std::vector<UninstallItem> twins = Named(items, "MorvaneTest-Twin");
  ASSERT_EQ(twins.size(), 3u);
  EXPECT_TRUE(Named(items, "MorvaneTest-NoName").empty());
  const std::vector<UninstallItem> blank = Named(items, "MorvaneTest-Blank");
  ASSERT_EQ(blank.size(), 1u);
  EXPECT_EQ(blank[0].displayName, "");
  EXPECT_EQ(ReadUninstallCommand(SystemRegistry(), blank[0].entry, SystemFolderApi()).text, "blank.exe");

  const char* commands[] = {"native.exe", "wow.exe", "user.exe"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(twins[i].displayName, "Morvane twin");
    EXPECT_EQ(ReadUninstallCommand(SystemRegistry(), twins[i].entry, SystemFolderApi()).text, commands[i]);
  }
  EXPECT_TRUE(DeleteUninstallEntry(SystemRegistry(), twins[1].entry));
  EXPECT_FALSE(KeyExistsIn(HKEY_LOCAL_MACHINE, Entry("MorvaneTest-Twin"), KEY_WOW64_32KEY));
  EXPECT_TRUE(KeyExistsIn(HKEY_LOCAL_MACHINE, Entry("MorvaneTest-Twin"), KEY_WOW64_64KEY));
  EXPECT_TRUE(KeyExistsIn(HKEY_CURRENT_USER, Entry("MorvaneTest-Twin")));
  EXPECT_TRUE(DeleteUninstallEntry(SystemRegistry(), twins[2].entry));
  EXPECT_FALSE(KeyExistsIn(HKEY_CURRENT_USER, Entry("MorvaneTest-Twin")));
  EXPECT_TRUE(KeyExistsIn(HKEY_LOCAL_MACHINE, Entry("MorvaneTest-Twin"), KEY_WOW64_64KEY));
}

TEST_F(UninstallPlacesSystemTest, NamesOfAnyLengthAreListedWholeAndExpandableCommandsExpanded) {
  const std::string long5000(5000, 'L'), long32767 = std::string(32766, 'M') + "!";
  ASSERT_TRUE(MakeUninstallEntry(HKEY_CURRENT_USER, Entry("MorvaneTest-Long5000"), 0, long5000.c_str(),
                                 "%ProgramFiles%\\Long\\un.exe /x", REG_EXPAND_SZ));
  ASSERT_TRUE(MakeUninstallEntry(HKEY_CURRENT_USER, Entry("MorvaneTest-Long32767"), 0, long32767.c_str(),
                                 "%ProgramFiles%\\Long\\un.exe /x"));
  const std::vector<UninstallItem> items = LoadUninstallList(SystemRegistry(), UninstallPlaces(SystemRegistry()));
  const std::vector<UninstallItem> five = Named(items, "MorvaneTest-Long5000");
  const std::vector<UninstallItem> most = Named(items, "MorvaneTest-Long32767");
  ASSERT_EQ(five.size(), 1u);
  ASSERT_EQ(most.size(), 1u);
  EXPECT_EQ(five[0].displayName, long5000);
  EXPECT_EQ(most[0].displayName, long32767);
  EXPECT_EQ(five[0].entry.place.root, RootKey::CurrentUser);

  char programFiles[MAX_PATH] = {};
  ASSERT_GT(GetEnvironmentVariableA("ProgramFiles", programFiles, MAX_PATH), 0u);
  const UninstallCommandText expanded = ReadUninstallCommand(SystemRegistry(), five[0].entry, SystemFolderApi());
  EXPECT_EQ(expanded.text, std::string(programFiles) + "\\Long\\un.exe /x");
  EXPECT_TRUE(expanded.exact);
  // REG_SZ: the text as it stands.
  EXPECT_EQ(ReadUninstallCommand(SystemRegistry(), most[0].entry, SystemFolderApi()).text,
            "%ProgramFiles%\\Long\\un.exe /x");
}

}  // namespace
}  // namespace morvane
