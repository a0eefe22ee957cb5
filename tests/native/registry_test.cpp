// The registry cursor over the in-memory registry: the shared behaviour, then the faults only
// the in-memory registry can produce on demand.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "testing/MemRegistryApi.h"
#include "tests/native/registry_contract.h"

namespace morvane {
namespace {

constexpr RootKey HKCU = RootKey::CurrentUser;
const std::string kBase = "Software\\MorvaneTest";

class MemRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { mem_.AddKey(HKCU, kBase); }
  TRegistry& Open(const std::string& path) {
    reg_.SelectRoot(HKCU);
    EXPECT_TRUE(reg_.OpenPathForReading("\\" + kBase + path)) << path;
    return reg_;
  }
  MemRegistryApi mem_;
  TRegistry reg_{mem_};
};

TEST_F(MemRegistryTest, Contract) { RegistryContract(mem_, kBase); }

// A new cursor starts on HKEY_CURRENT_USER asking for full access; a read-only open falls back
// to narrower access, which a writer is refused.
TEST_F(MemRegistryTest, ReadOnlyOpenFallsBackToNarrowerAccess) {
  EXPECT_EQ(reg_.Root(), HKCU);
  EXPECT_EQ(reg_.Access(), static_cast<std::uint32_t>(kKeyAllAccess));
  const std::uint32_t enumerate = kStandardRightsRead | kKeyQueryValue | kKeyEnumerateSubKeys;
  mem_.RestrictAccess(HKCU, kBase + "\\QueryOnly", kKeyQueryValue);
  mem_.RestrictAccess(HKCU, kBase + "\\Enumerate", enumerate);
  mem_.RestrictAccess(HKCU, kBase + "\\Closed", 0);
  EXPECT_EQ(Open("\\Enumerate").Access(), enumerate);
  EXPECT_EQ(Open("\\QueryOnly").Access(), static_cast<std::uint32_t>(kKeyQueryValue));
  EXPECT_FALSE(reg_.OpenPathForReading("\\" + kBase + "\\Closed"));
  EXPECT_EQ(reg_.CurrentPath(), "\\" + kBase + "\\QueryOnly");
  TRegistry writer(mem_);
  EXPECT_FALSE(writer.OpenPath("\\" + kBase + "\\QueryOnly", false));
}

// The stand-in's limits, as the real registry counts them: in UTF-16 units, an emoji two.
TEST_F(MemRegistryTest, LimitsCountUtf16Units) {
  const std::string smile = "\xF0\x9F\x98\x80";
  std::string smiles127, smiles8191, deep = "D", far = "F";
  for (int i = 0; i < 127; ++i) smiles127 += smile;
  for (int i = 0; i < 8191; ++i) smiles8191 += smile;
  while (std::count(deep.begin(), deep.end(), '\\') < 509) deep += "\\d";  // 512 levels in all
  for (int i = 0; i < 129; ++i) far += "\\" + smiles127 + "f";  // 33,025 units in one call
  RegKey base = 0, key = 0;
  ASSERT_EQ(mem_.OpenKey(RootHandle(HKCU), kBase, kKeyAllAccess, base), kRegOk);
  const auto create = [&](const std::string& path) {
    const long rc = mem_.CreateKey(base, path, kKeyAllAccess, key);
    mem_.CloseKey(key);
    return rc;
  };
  const auto name = [&](const std::string& n) {
    return mem_.SetValue(base, n, kRegSz, std::string(1, '\0'));
  };
  EXPECT_EQ(create(smiles127 + "k"), kRegOk);
  EXPECT_EQ(create(smiles127 + smile), kRegInvalidParameter);
  EXPECT_EQ(name(smiles8191 + "v"), kRegOk);
  EXPECT_EQ(name(smiles8191 + smile), kRegInvalidParameter);
  EXPECT_EQ(create(deep), kRegOk);
  EXPECT_EQ(create(deep + "\\d"), kRegInvalidParameter);
  EXPECT_EQ(create(far), kRegInvalidParameter);
  mem_.CloseKey(base);
  EXPECT_TRUE(mem_.KeyExists(HKCU, kBase + "\\" + deep));
}

// A subkey whose name cannot be read is listed as an empty name; a key that goes under an open
// cursor reads as empty.
TEST_F(MemRegistryTest, UnreadableNamesAndVanishedKeys) {
  for (const char* k : {"\\P\\a", "\\P\\b", "\\P\\c", "\\Gone\\child"})
    mem_.AddKey(HKCU, kBase + k);
  mem_.BreakSubkeyIndex(HKCU, kBase + "\\P", 1);
  std::vector<std::string> names{"stale"};
  Open("\\P").ListSubkeys(names);
  EXPECT_EQ(names, (std::vector<std::string>{"a", "", "c"}));
  Open("\\Gone");
  ASSERT_TRUE(mem_.RemoveKey(HKCU, kBase + "\\Gone"));
  EXPECT_FALSE(reg_.HasChildKeys());
  EXPECT_EQ(reg_.QueryKeyInfo().subkeys, 0u);
  reg_.ListSubkeys(names);
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(reg_.ReadText("x"), "");
  EXPECT_FALSE(reg_.OpenPathForReading("child"));
}

// A value that changes between the size query and the read raises, with what went wrong.
TEST_F(MemRegistryTest, ValueChangingBetweenSizeQueryAndReadRaises) {
  const std::pair<std::function<void()>, const char*> cases[] = {
      {[&] { mem_.AddValue(HKCU, kBase, "V", kRegBinary, "\x01\x02"); },
       "Invalid data type for 'V'"},
      {[&] { mem_.RemoveKey(HKCU, kBase); }, "Failed to get data for 'V'"},
  };
  for (const auto& [change, message] : cases) {
    mem_.AddText(HKCU, kBase, "V", "C:\\x.exe");
    int queries = 0;
    mem_.hook = [&, &change = change](const std::string& op, const std::string&) {
      if (op == "query:V" && ++queries == 2) change();
    };
    try {
      Open("").ReadText("V");
      ADD_FAILURE() << "no error for: " << message;
    } catch (const ERegistryException& error) {
      EXPECT_STREQ(error.what(), message);
    }
    mem_.hook = nullptr;
  }
}

// A tree is deleted from its highest index down; a subkey that cannot be removed fails it and
// keeps itself.
TEST_F(MemRegistryTest, DeleteTreeOrderAndFailure) {
  for (const char* k : {"\\D\\a", "\\D\\b", "\\D\\c", "\\L\\locked\\inner", "\\L\\free"})
    mem_.AddKey(HKCU, kBase + k);
  mem_.RestrictAccess(HKCU, kBase + "\\L\\locked", 0);
  std::vector<std::string> order;
  mem_.hook = [&](const std::string& op, const std::string& path) {
    if (op == "deletekey") order.push_back(path.substr(kBase.size() + 1));
  };
  EXPECT_TRUE(reg_.DeleteTree("\\" + kBase + "\\D"));
  EXPECT_EQ(order, (std::vector<std::string>{"\\D\\c", "\\D\\b", "\\D\\a", "\\D"}));
  EXPECT_FALSE(reg_.DeleteTree("\\" + kBase + "\\L"));
  EXPECT_TRUE(mem_.KeyExists(HKCU, kBase + "\\L\\locked\\inner"));
  EXPECT_FALSE(mem_.KeyExists(HKCU, kBase + "\\L\\free"));
}

TEST_F(MemRegistryTest, CursorsReleaseEveryHandle) {
  mem_.AddKey(HKCU, kBase + "\\x\\y");
  {
    TRegistry reg(mem_);
    ASSERT_TRUE(reg.OpenPathForReading("Software"));  // relative to the root
    ASSERT_TRUE(reg.OpenPathForReading("MorvaneTest\\x"));
    ASSERT_TRUE(reg.OpenPath("y", false));
    EXPECT_EQ(mem_.OpenHandles(), 1);
  }
  EXPECT_EQ(mem_.OpenHandles(), 0);
}

}  // namespace
}  // namespace morvane
