// The repair on the real (Wine) registry: values written as exact bytes, and the backup entry of
// a key's default value.
#include <windows.h>

#include <gtest/gtest.h>

#include "CleanReg/Repair.h"
#include "tests/win/system_fixtures.h"

namespace morvane {
namespace {

constexpr char kScratch[] = "Software\\MorvaneTest\\Repair";

class RepairSystemTest : public ::testing::Test {
 protected:
  void SetUp() override { RegDeleteTreeA(HKEY_CURRENT_USER, kScratch); }
  void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\MorvaneTest"); }
  static bool ValueExists(const char* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kScratch, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    const bool found = RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return found;
  }
};

// A value whose data goes on after a NUL is kept: neither the row nor the backup carries the rest.
TEST_F(RepairSystemTest, ValueWithDataAfterItsTextIsKept) {
  const std::string text = "C:\\MvGone\\first.exe";
  const struct {
    const char* name;
    std::string data;
    bool removed;
  } cases[] = {
      {"tail", text + std::string(1, '\0') + "C:\\Keep\\important-tail.txt", false},
      {"one", text + std::string(1, '\0'), true},
      {"many", text + std::string(3, '\0'), true},
      {"none", text, true},
  };
  BeginBackup();
  for (const auto& c : cases) {
    ASSERT_TRUE(SetUserValueBytes(kScratch, c.name, REG_SZ, c.data));
    EXPECT_EQ(DeleteRegItem(RootKey::CurrentUser, std::string("\\") + kScratch, c.name, text, false, true,
                            SystemRegistry()),
              c.removed)
        << c.name;
    EXPECT_EQ(ValueExists(c.name), !c.removed) << c.name;
  }
  // The default value's data is kept in the backup as a registry export writes it.
  ASSERT_TRUE(SetUserValueBytes(kScratch, "", REG_SZ, text + std::string(1, '\0')));
  EXPECT_TRUE(DeleteRegItem(RootKey::CurrentUser, std::string("\\") + kScratch, "", text, false, true, SystemRegistry()));
  EXPECT_FALSE(ValueExists(""));
  ASSERT_TRUE(BackupList);
  EXPECT_EQ(BackupList->back(), "@=\"" + text + "\"");
  EXPECT_EQ((*BackupList)[BackupList->size() - 2], "[HKEY_CURRENT_USER\\Software\\MorvaneTest\\Repair]");
  EndBackup(false, "");
}

}  // namespace
}  // namespace morvane
