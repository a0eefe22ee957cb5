// The registry cursor on the real registry (Wine's, in the throwaway prefix of the test run),
// each test in a scratch key under HKEY_CURRENT_USER\Software that is removed afterwards.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/native/registry_contract.h"

namespace morvane {
namespace {

class SystemRegistryTest : public ::testing::Test {
 public:
  RegistryApi& api() { return SystemRegistry(); }
  std::string base() const { return base_; }

 protected:
  void SetUp() override {
    base_ = std::string("Software\\MorvaneTest\\") +
            ::testing::UnitTest::GetInstance()->current_test_info()->name();
    RegDeleteTreeA(HKEY_CURRENT_USER, base_.c_str());
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, base_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
  void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\MorvaneTest"); }
  std::string base_;
};

TEST_F(SystemRegistryTest, PathRule) { RegistryContract_PathRule(*this); }
TEST_F(SystemRegistryTest, ListsAndValues) { RegistryContract_ListsAndValues(*this); }
TEST_F(SystemRegistryTest, LongNamesAndData) { RegistryContract_LongNamesAndData(*this); }
TEST_F(SystemRegistryTest, DeleteTree) { RegistryContract_DeleteTree(*this); }
TEST_F(SystemRegistryTest, LongPaths) { RegistryContract_LongPaths(*this); }

TEST_F(SystemRegistryTest, RootsOpenAndListOnTheRealRegistry) {
  TRegistry reg;
  reg.SelectRoot(RootKey::ClassesRoot);
  ASSERT_TRUE(reg.OpenPathForReading(""));
  std::vector<std::string> names;
  reg.ListSubkeys(names);
  EXPECT_GT(names.size(), 10u);  // a fresh prefix has many classes
  reg.SelectRoot(RootKey::LocalMachine);
  EXPECT_TRUE(reg.OpenPathForReading("\\SOFTWARE"));
  EXPECT_TRUE(reg.HasChildKeys());
}

TEST_F(SystemRegistryTest, ReadOnlyOpenOfAKeyWithoutWriteAccess) {
  // HKEY_LOCAL_MACHINE\SOFTWARE opens for reading whatever the user's rights.
  TRegistry reg;
  reg.SelectRoot(RootKey::LocalMachine);
  ASSERT_TRUE(reg.OpenPathForReading("\\SOFTWARE\\Microsoft"));
  EXPECT_EQ(reg.Access(), static_cast<std::uint32_t>(KEY_READ));
  EXPECT_EQ(reg.CurrentPath(), "\\SOFTWARE\\Microsoft");
}

}  // namespace
}  // namespace morvane
