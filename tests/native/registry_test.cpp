// The registry cursor over the in-memory registry: the shared behaviour, then the faults only
// the in-memory registry can produce on demand.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "testing/MemRegistryApi.h"
#include "tests/native/registry_contract.h"

namespace morvane {
namespace {

class MemRegistryTest : public ::testing::Test {
 public:
  RegistryApi& api() { return mem_; }
  std::string base() const { return "Software\\MorvaneTest"; }

 protected:
  void SetUp() override { mem_.AddKey(RootKey::CurrentUser, base()); }
  long Create(RegKey base, const std::string& path) {
    RegKey key = 0;
    const long rc = mem_.CreateKey(base, path, kKeyAllAccess, key);
    mem_.CloseKey(key);
    return rc;
  }
  MemRegistryApi mem_;
};

TEST_F(MemRegistryTest, PathRule) { RegistryContract_PathRule(*this); }
TEST_F(MemRegistryTest, ListsAndValues) { RegistryContract_ListsAndValues(*this); }
TEST_F(MemRegistryTest, LongNamesAndData) { RegistryContract_LongNamesAndData(*this); }
TEST_F(MemRegistryTest, DeleteTree) { RegistryContract_DeleteTree(*this); }
TEST_F(MemRegistryTest, LongPaths) { RegistryContract_LongPaths(*this); }

TEST_F(MemRegistryTest, NewCursorStartsOnCurrentUserWithFullAccess) {
  TRegistry reg(mem_);
  EXPECT_EQ(reg.Root(), RootKey::CurrentUser);
  EXPECT_EQ(reg.Access(), static_cast<std::uint32_t>(kKeyAllAccess));
  EXPECT_TRUE(reg.OpenPath("Software\\MorvaneTest", false));  // relative to the root
}

TEST_F(MemRegistryTest, ReadOnlyOpenFallsBackToNarrowerAccess) {
  mem_.RestrictAccess(RootKey::CurrentUser, "Software\\MorvaneTest\\QueryOnly", kKeyQueryValue);
  mem_.RestrictAccess(RootKey::CurrentUser, "Software\\MorvaneTest\\Enumerate",
                      kStandardRightsRead | kKeyQueryValue | kKeyEnumerateSubKeys);
  mem_.RestrictAccess(RootKey::CurrentUser, "Software\\MorvaneTest\\Closed", 0);
  TRegistry reg(mem_);
  reg.SelectRoot(RootKey::CurrentUser);
  ASSERT_TRUE(reg.OpenPathForReading("\\Software\\MorvaneTest\\Enumerate"));
  EXPECT_EQ(reg.Access(), static_cast<std::uint32_t>(kStandardRightsRead | kKeyQueryValue |
                                                     kKeyEnumerateSubKeys));
  ASSERT_TRUE(reg.OpenPathForReading("\\Software\\MorvaneTest\\QueryOnly"));
  EXPECT_EQ(reg.Access(), static_cast<std::uint32_t>(kKeyQueryValue));
  EXPECT_FALSE(reg.OpenPathForReading("\\Software\\MorvaneTest\\Closed"));
  EXPECT_EQ(reg.CurrentPath(), "\\Software\\MorvaneTest\\QueryOnly");
  // A fresh cursor asks for full access, which a read-only key refuses.
  TRegistry writer(mem_);
  writer.SelectRoot(RootKey::CurrentUser);
  EXPECT_FALSE(writer.OpenPath("\\Software\\MorvaneTest\\QueryOnly", false));
}

// The registry's limits, as the real one counts them: in UTF-16 units, an emoji two of them.
TEST_F(MemRegistryTest, LimitsCountUtf16Units) {
  const std::string smile = "\xF0\x9F\x98\x80";  // 😀: two units, four bytes
  std::string smiles127, smiles8191;
  for (int i = 0; i < 127; ++i) smiles127 += smile;
  for (int i = 0; i < 8191; ++i) smiles8191 += smile;
  std::string deep = "D";
  while (std::count(deep.begin(), deep.end(), '\\') < 509) deep += "\\d";  // 512 levels in all
  std::string farPath = "F";  // and 129 names of 255 units: 33,025 units, 16,642 characters
  for (int i = 0; i < 129; ++i) farPath += "\\" + smiles127 + "f";
  const struct {
    const char* what;
    std::function<long(RegKey base)> call;
    long result;
  } rows[] = {
      {"key name of 255 units", [&](RegKey b) { return Create(b, smiles127 + "k"); }, kRegOk},
      {"key name of 256 units", [&](RegKey b) { return Create(b, smiles127 + smile); },
       kRegInvalidParameter},
      {"value name of 16,383 units",
       [&](RegKey b) { return mem_.SetValue(b, smiles8191 + "v", kRegSz, std::string(1, '\0')); },
       kRegOk},
      {"value name of 16,384 units",
       [&](RegKey b) { return mem_.SetValue(b, smiles8191 + smile, kRegSz, std::string(1, '\0')); },
       kRegInvalidParameter},
      {"key 512 levels deep", [&](RegKey b) { return Create(b, deep); }, kRegOk},
      {"key 513 levels deep", [&](RegKey b) { return Create(b, deep + "\\d"); },
       kRegInvalidParameter},
      {"path of more than 32,766 units in one call", [&](RegKey b) { return Create(b, farPath); },
       kRegInvalidParameter},
  };
  RegKey base = 0;
  ASSERT_EQ(
      mem_.OpenKey(RootHandle(RootKey::CurrentUser), "Software\\MorvaneTest", kKeyAllAccess, base),
      kRegOk);
  for (const auto& row : rows) EXPECT_EQ(row.call(base), row.result) << row.what;
  mem_.CloseKey(base);
  // Software\MorvaneTest is two levels below the root: the deep key's last is the 512th.
  EXPECT_TRUE(mem_.KeyExists(RootKey::CurrentUser, "Software\\MorvaneTest\\" + deep));
}

TEST_F(MemRegistryTest, UnreadableSubkeyIndexGivesEmptyName) {
  mem_.AddKey(RootKey::CurrentUser, "Software\\MorvaneTest\\P\\a");
  mem_.AddKey(RootKey::CurrentUser, "Software\\MorvaneTest\\P\\b");
  mem_.AddKey(RootKey::CurrentUser, "Software\\MorvaneTest\\P\\c");
  mem_.BreakSubkeyIndex(RootKey::CurrentUser, "Software\\MorvaneTest\\P", 1);
  TRegistry reg(mem_);
  reg.SelectRoot(RootKey::CurrentUser);
  ASSERT_TRUE(reg.OpenPathForReading("\\Software\\MorvaneTest\\P"));
  std::vector<std::string> names{"stale"};
  reg.ListSubkeys(names);
  EXPECT_EQ(names, (std::vector<std::string>{"a", "", "c"}));
}

TEST_F(MemRegistryTest, ValueChangingBetweenSizeQueryAndReadRaises) {
  const std::string key = "Software\\MorvaneTest";
  struct Case {
    std::function<void(MemRegistryApi&)> change;
    const char* message;
  };
  const Case cases[] = {
      {[&](MemRegistryApi& m) {
         m.AddValue(RootKey::CurrentUser, key, "V", kRegBinary, "\x01\x02");
       },
       "Invalid data type for 'V'"},
      {[&](MemRegistryApi& m) { m.RemoveKey(RootKey::CurrentUser, key); },
       "Failed to get data for 'V'"},
  };
  for (const Case& c : cases) {
    MemRegistryApi mem;
    mem.AddText(RootKey::CurrentUser, key, "V", "C:\\x.exe");
    int queries = 0;
    mem.hook = [&](const std::string& op, const std::string&) {
      if (op == "query:V" && ++queries == 2)
        c.change(mem);  // after the size query, before the read
    };
    TRegistry reg(mem);
    reg.SelectRoot(RootKey::CurrentUser);
    ASSERT_TRUE(reg.OpenPathForReading("\\" + key));
    try {
      reg.ReadText("V");
      ADD_FAILURE() << "no error for: " << c.message;
    } catch (const ERegistryException& error) {
      EXPECT_STREQ(error.what(), c.message);
    }
    mem.hook = nullptr;
  }
}

TEST_F(MemRegistryTest, KeyVanishingUnderAnOpenCursorFailsQuietly) {
  mem_.AddKey(RootKey::CurrentUser, "Software\\MorvaneTest\\Gone\\child");
  TRegistry reg(mem_);
  reg.SelectRoot(RootKey::CurrentUser);
  ASSERT_TRUE(reg.OpenPathForReading("\\Software\\MorvaneTest\\Gone"));
  ASSERT_TRUE(mem_.RemoveKey(RootKey::CurrentUser, "Software\\MorvaneTest\\Gone"));
  EXPECT_FALSE(reg.HasChildKeys());
  EXPECT_EQ(reg.QueryKeyInfo().subkeys, 0u);
  std::vector<std::string> names{"stale"};
  reg.ListSubkeys(names);
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(reg.ReadText("x"), "");
  EXPECT_FALSE(reg.OpenPathForReading("child"));
}

TEST_F(MemRegistryTest, DeleteTreeRemovesHighestIndexFirst) {
  for (const char* k : {"a", "b", "c"})
    mem_.AddKey(RootKey::CurrentUser, std::string("Software\\MorvaneTest\\D\\") + k);
  std::vector<std::string> order;
  mem_.hook = [&](const std::string& op, const std::string& path) {
    if (op == "deletekey") order.push_back(path);
  };
  TRegistry reg(mem_);
  reg.SelectRoot(RootKey::CurrentUser);
  EXPECT_TRUE(reg.DeleteTree("\\Software\\MorvaneTest\\D"));
  EXPECT_EQ(order, (std::vector<std::string>{
                       "\\Software\\MorvaneTest\\D\\c", "\\Software\\MorvaneTest\\D\\b",
                       "\\Software\\MorvaneTest\\D\\a", "\\Software\\MorvaneTest\\D"}));
}

TEST_F(MemRegistryTest, DeleteTreeFailsWhenASubkeyCannotBeRemoved) {
  mem_.AddKey(RootKey::CurrentUser, "Software\\MorvaneTest\\D\\locked\\inner");
  mem_.AddKey(RootKey::CurrentUser, "Software\\MorvaneTest\\D\\free");
  mem_.RestrictAccess(RootKey::CurrentUser, "Software\\MorvaneTest\\D\\locked", 0);
  TRegistry reg(mem_);
  reg.SelectRoot(RootKey::CurrentUser);
  EXPECT_FALSE(reg.DeleteTree("\\Software\\MorvaneTest\\D"));
  EXPECT_TRUE(mem_.KeyExists(RootKey::CurrentUser, "Software\\MorvaneTest\\D\\locked\\inner"));
  EXPECT_FALSE(mem_.KeyExists(RootKey::CurrentUser, "Software\\MorvaneTest\\D\\free"));
}

TEST_F(MemRegistryTest, CursorsReleaseEveryHandle) {
  mem_.AddKey(RootKey::CurrentUser, "Software\\MorvaneTest\\x\\y");
  {
    TRegistry reg(mem_);
    reg.SelectRoot(RootKey::CurrentUser);
    ASSERT_TRUE(reg.OpenPathForReading("\\Software"));
    ASSERT_TRUE(reg.OpenPathForReading("MorvaneTest\\x"));
    ASSERT_TRUE(reg.OpenPath("y", false));
    EXPECT_EQ(mem_.OpenHandles(), 1);
  }
  EXPECT_EQ(mem_.OpenHandles(), 0);
}

}  // namespace
}  // namespace morvane
