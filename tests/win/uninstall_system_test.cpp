// The installed-programs list on the real (Wine) registry: registry links inside an entry,
// entries in each registry view of 64-bit Windows, and keys the user may only read.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "CleanReg/Uninstall.h"
#include "platform/TRegistry.h"
#include "tests/win/system_fixtures.h"

namespace morvane {
namespace {

constexpr char kScratch[] = "Software\\MorvaneTest\\Uninstall";

bool UserKeyExists(const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

bool MachineKeyExists(const std::string& path, REGSAM view) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

bool MachineEntry(const std::string& path, REGSAM view, const std::string& display) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return false;
  RegSetValueExA(key, kDisplayName, 0, REG_SZ, reinterpret_cast<const BYTE*>(display.c_str()),
                 static_cast<DWORD>(display.size() + 1));
  RegSetValueExA(key, kUninstallString, 0, REG_SZ, reinterpret_cast<const BYTE*>("un.exe"), 7);
  RegCloseKey(key);
  return true;
}

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
  std::vector<std::string> Load() {
    std::vector<std::string> items;
    LoadUninstallList(SystemRegistry(), place_, [&](const std::string& name) { items.push_back(name); });
    return items;
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

  const UninstallEntry entry = FindUninstallKey(SystemRegistry(), place_, std::string("With link"));
  ASSERT_EQ(entry.path, std::string(kScratch) + "\\Entry");
  EXPECT_TRUE(DeleteUninstallEntry(SystemRegistry(), place_, entry));
  EXPECT_FALSE(UserKeyExists(std::string(kScratch) + "\\Entry"));
  EXPECT_TRUE(UserKeyExists("Software\\MorvaneTest\\Target\\Inner"));

  EXPECT_TRUE(DeleteUninstallEntry(SystemRegistry(), place_, UninstallEntry{std::string(kScratch) + "\\Linked"}));
  EXPECT_TRUE(UserKeyExists(std::string(kScratch) + "\\Sibling"));
  EXPECT_EQ(Load(), std::vector<std::string>{"Sibling"});
}

TEST_F(UninstallSystemTest, KeysTheUserMayOnlyReadAreListedAndFound) {
  UserEntry("Entry", "Read only");
  const std::string entryPath = std::string(kScratch) + "\\Entry";
  ASSERT_TRUE(MakeReadOnly(entryPath, true));
  ASSERT_TRUE(MakeReadOnly(kScratch, true));
  HKEY probe = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, entryPath.c_str(), 0, KEY_ALL_ACCESS, &probe), ERROR_ACCESS_DENIED);
  EXPECT_EQ(Load(), std::vector<std::string>{"Read only"});
  const UninstallEntry entry = FindUninstallKey(SystemRegistry(), place_, std::string("Read only"));
  EXPECT_EQ(entry.path, entryPath);
  // Wine grants DELETE whatever the key's access list says, so the refused deletion is shown
  // on the in-memory registry only.
  ASSERT_TRUE(MakeReadOnly(kScratch, false));
  ASSERT_TRUE(MakeReadOnly(entryPath, false));
}

TEST_F(UninstallSystemTest, BothViewsOfTheMachineUninstallKeyAreListedAndActedOnInTheirOwnView) {
  if (!IsWow64Process32()) GTEST_SKIP() << "one registry view here";
  const std::string native = std::string(kUninstallPath) + "\\MorvaneTest-Native";
  const std::string wow = std::string(kUninstallPath) + "\\MorvaneTest-Wow";
  ASSERT_TRUE(MachineEntry(native, KEY_WOW64_64KEY, "Morvane test native"));
  ASSERT_TRUE(MachineEntry(wow, KEY_WOW64_32KEY, "Morvane test 32-bit"));
  ASSERT_FALSE(MachineKeyExists(native, KEY_WOW64_32KEY));
  ASSERT_FALSE(MachineKeyExists(wow, KEY_WOW64_64KEY));

  place_ = MachineUninstallPlace(SystemRegistry());
  std::vector<std::string> items = Load();
  const auto at = [&](const char* name) { return std::find(items.begin(), items.end(), name) - items.begin(); };
  ASSERT_LT(at("Morvane test native"), static_cast<long>(items.size()));
  ASSERT_LT(at("Morvane test 32-bit"), static_cast<long>(items.size()));
  EXPECT_LT(at("Morvane test native"), at("Morvane test 32-bit"));

  const UninstallEntry entry = FindUninstallKey(SystemRegistry(), place_, std::string("Morvane test 32-bit"));
  EXPECT_EQ(entry.path, wow);
  EXPECT_TRUE(DeleteUninstallEntry(SystemRegistry(), place_, entry));
  EXPECT_FALSE(MachineKeyExists(wow, KEY_WOW64_32KEY));
  const UninstallEntry other = FindUninstallKey(SystemRegistry(), place_, std::string("Morvane test native"));
  EXPECT_EQ(other.view, static_cast<std::uint32_t>(KEY_WOW64_64KEY));
  EXPECT_TRUE(DeleteUninstallEntry(SystemRegistry(), place_, other));
  EXPECT_FALSE(MachineKeyExists(native, KEY_WOW64_64KEY));
}

}  // namespace
}  // namespace morvane
