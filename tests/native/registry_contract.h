// Registry cursor behaviour that must hold on any registry behind the seam: the in-memory one
// and the real one. Each test works below a scratch key given by the fixture.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "platform/TRegistry.h"

namespace morvane {

// Test body shared by the in-memory and the real registry. Fixture provides api() and base()
// (a path without leading backslash, under HKEY_CURRENT_USER, existing and empty).
template <typename Fixture>
void RegistryContract_PathRule(Fixture& f) {
  const std::string base = f.base();
  TRegistry reg(f.api());
  reg.SelectRoot(RootKey::CurrentUser);
  ASSERT_TRUE(reg.OpenPath("\\" + base + "\\Vendor\\Tool", true));
  EXPECT_EQ(reg.CurrentPath(), "\\" + base + "\\Vendor\\Tool");

  // Relative paths resolve from the current key; a trailing backslash names the same key.
  TRegistry cursor(f.api());
  cursor.SelectRoot(RootKey::CurrentUser);
  ASSERT_TRUE(cursor.OpenPathForReading("\\" + base + "\\"));
  ASSERT_TRUE(cursor.OpenPathForReading("Vendor\\"));
  EXPECT_EQ(cursor.CurrentPath(), "\\" + base + "\\Vendor");
  ASSERT_TRUE(cursor.OpenPathForReading("Tool"));
  EXPECT_EQ(cursor.CurrentPath(), "\\" + base + "\\Vendor\\Tool");
  // An empty relative path names the current key itself.
  ASSERT_TRUE(cursor.OpenPathForReading(""));
  EXPECT_EQ(cursor.CurrentPath(), "\\" + base + "\\Vendor\\Tool");
  // A missing key leaves the cursor where it was.
  EXPECT_FALSE(cursor.OpenPathForReading("Missing"));
  EXPECT_EQ(cursor.CurrentPath(), "\\" + base + "\\Vendor\\Tool");
  // Without create, a missing key is not made.
  EXPECT_FALSE(cursor.OpenPath("\\" + base + "\\Nope", false));
  EXPECT_FALSE(cursor.OpenPathForReading("\\" + base + "\\Nope"));
  // After a read-only open the cursor keeps the granted mask.
  EXPECT_EQ(cursor.Access(), static_cast<std::uint32_t>(kKeyRead));
}

template <typename Fixture>
void RegistryContract_ListsAndValues(Fixture& f) {
  const std::string base = "\\" + f.base();
  TRegistry reg(f.api());
  reg.SelectRoot(RootKey::CurrentUser);
  ASSERT_TRUE(reg.OpenPath(base + "\\Keys\\b", true));
  ASSERT_TRUE(reg.OpenPath(base + "\\Keys\\A", true));
  ASSERT_TRUE(reg.OpenPath(base + "\\Keys\\c", true));
  ASSERT_TRUE(reg.OpenPath(base + "\\Keys", false));
  RegistryApi& api = f.api();
  api.SetValue(reg.BaseKey(), "", kRegSz, std::string("default\0", 8));
  api.SetValue(reg.BaseKey(), "Text", kRegSz, std::string("C:\\x\0junk", 9));
  api.SetValue(reg.BaseKey(), "NoNul", kRegSz, "abc");
  api.SetValue(reg.BaseKey(), "Expand", kRegExpandSz, std::string("%TEMP%\\a\0", 9));
  api.SetValue(reg.BaseKey(), "Number", kRegDword, std::string("\x01\x00\x00\x00", 4));
  api.SetValue(reg.BaseKey(), "Empty", kRegSz, "");

  std::vector<std::string> keys;
  reg.ListSubkeys(keys);
  EXPECT_EQ(keys, (std::vector<std::string>{"A", "b", "c"}));
  EXPECT_TRUE(reg.HasChildKeys());

  std::vector<std::string> values;
  reg.ListValues(values);
  ASSERT_EQ(values.size(), 6u);
  EXPECT_NE(std::find(values.begin(), values.end(), ""), values.end());

  EXPECT_TRUE(reg.HasValue(""));
  EXPECT_TRUE(reg.HasValue("text"));  // names compare without case
  EXPECT_FALSE(reg.HasValue("Missing"));
  EXPECT_EQ(reg.ValueKind("Number"), std::optional<std::uint32_t>(kRegDword));
  EXPECT_EQ(reg.ValueKind("Missing"), std::nullopt);

  EXPECT_EQ(reg.ReadText(""), "default");
  EXPECT_EQ(reg.ReadText("Text"), "C:\\x");  // up to the first NUL
  EXPECT_EQ(reg.ReadText("NoNul"), "abc");   // data without a terminator is read whole
  EXPECT_EQ(reg.ReadText("Expand"), "%TEMP%\\a");
  EXPECT_EQ(reg.ReadText("Empty"), "");
  EXPECT_EQ(reg.ReadText("Missing"), "");
  try {
    reg.ReadText("Number");
    FAIL() << "a number read as text must raise";
  } catch (const ERegistryException& e) {
    EXPECT_STREQ(e.what(), "Invalid data type for 'Number'");
  }

  // A name or path that holds a NUL is refused, never cut short to the part before the NUL.
  std::uint32_t type = 0;
  RegKey opened = 0;
  const std::string nul("\0x", 2);
  for (const long rc : {api.QueryValue(reg.BaseKey(), "Text" + nul, type, nullptr),
                        api.SetValue(reg.BaseKey(), "Text" + nul, kRegSz, "x"),
                        api.DeleteValue(reg.BaseKey(), "Text" + nul),
                        api.OpenKey(reg.BaseKey(), "A" + nul, kKeyRead, opened),
                        api.CreateKey(reg.BaseKey(), "b" + nul, kKeyRead, opened),
                        api.DeleteKey(reg.BaseKey(), "c" + nul)})
    EXPECT_EQ(rc, kRegInvalidParameter);
  EXPECT_EQ(reg.ReadText("Text"), "C:\\x");
  reg.ListSubkeys(keys);
  EXPECT_EQ(keys.size(), 3u);

  EXPECT_TRUE(reg.RemoveValue("Text"));
  EXPECT_FALSE(reg.HasValue("Text"));
  EXPECT_FALSE(reg.RemoveValue("Text"));
  ASSERT_TRUE(reg.OpenPath(base + "\\Keys\\A", false));
  EXPECT_FALSE(reg.HasChildKeys());
  const RegKeyInfo info = reg.QueryKeyInfo();
  EXPECT_EQ(info.subkeys, 0u);
  EXPECT_EQ(info.values, 0u);
  reg.ClosePath();
  EXPECT_FALSE(reg.RemoveValue("Text"));  // no key is current
}

template <typename Fixture>
void RegistryContract_LongNamesAndData(Fixture& f) {
  const std::string base = "\\" + f.base();
  TRegistry reg(f.api());
  reg.SelectRoot(RootKey::CurrentUser);
  ASSERT_TRUE(reg.OpenPath(base + "\\Long", true));
  const std::string longName(16383, 'n');
  const std::string bigData = std::string(100000, 'd');
  ASSERT_EQ(f.api().SetValue(reg.BaseKey(), longName, kRegSz, bigData + '\0'), kRegOk);
  ASSERT_EQ(f.api().SetValue(reg.BaseKey(), "odd", kRegSz, "xyz"), kRegOk);
  std::vector<std::string> values;
  reg.ListValues(values);
  ASSERT_EQ(values.size(), 2u);
  EXPECT_TRUE(values[0] == longName || values[1] == longName);
  EXPECT_EQ(reg.ReadText(longName), bigData);
  EXPECT_EQ(reg.ReadText("odd"), "xyz");
  RegValue value;
  bool seen = false;
  for (std::uint32_t i = 0; i < 2; ++i) {
    ASSERT_EQ(f.api().EnumValue(reg.BaseKey(), i, value, true), kRegOk);
    if (value.name == longName) {
      seen = true;
      EXPECT_EQ(value.data.size(), bigData.size() + 1);
    }
  }
  EXPECT_TRUE(seen);
}

template <typename Fixture>
void RegistryContract_DeleteTree(Fixture& f) {
  const std::string base = "\\" + f.base();
  TRegistry reg(f.api());
  reg.SelectRoot(RootKey::CurrentUser);
  for (const char* path : {"\\T\\a\\x\\deep", "\\T\\a\\y", "\\T\\b", "\\Keep"})
    ASSERT_TRUE(reg.OpenPath(base + path, true));
  reg.ClosePath();
  EXPECT_TRUE(reg.DeleteTree(base + "\\T\\"));
  EXPECT_FALSE(reg.OpenPathForReading(base + "\\T"));
  EXPECT_TRUE(reg.OpenPathForReading(base + "\\Keep"));
  EXPECT_FALSE(reg.DeleteTree(base + "\\T"));  // gone already
  // A path naming the root (or the current key's base) itself is never deleted.
  EXPECT_FALSE(reg.DeleteTree("\\"));
  EXPECT_FALSE(reg.DeleteTree(""));
  EXPECT_TRUE(reg.OpenPathForReading(base + "\\Keep"));
  // Deleting the current key by its own absolute path closes it first.
  EXPECT_TRUE(reg.DeleteTree(base + "\\Keep"));
  EXPECT_FALSE(reg.HasCurrentKey());
}

// A key whose path holds more UTF-16 units than one call takes (32,766) is reached a name at a
// time by every path operation of the cursor: opens, creation, value removal and deletion. Its
// names are of emoji, two units each, so that the path has fewer characters than one call takes.
template <typename Fixture>
void RegistryContract_LongPaths(Fixture& f) {
  std::string name;
  for (int i = 0; i < 127; ++i) name += "\xF0\x9F\x98\x80";  // 😀
  std::string relative;
  for (int i = 0; i < 129; ++i) relative += "\\" + name + static_cast<char>('a' + i % 26);
  const std::string path = "\\" + f.base() + relative;  // over 33,000 units
  TRegistry reg(f.api());
  reg.SelectRoot(RootKey::CurrentUser);
  ASSERT_TRUE(reg.OpenPath(path + "\\Leaf", true));
  f.api().SetValue(reg.BaseKey(), "v", kRegSz, std::string("C:\\x.exe\0", 10));
  ASSERT_TRUE(reg.OpenPath(path, false));
  EXPECT_EQ(reg.CurrentPath(), path);
  f.api().SetValue(reg.BaseKey(), "v", kRegSz, std::string("C:\\x.exe\0", 10));
  EXPECT_TRUE(reg.RemoveValue("v"));
  EXPECT_FALSE(reg.HasValue("v"));

  TRegistry reader(f.api());
  reader.SelectRoot(RootKey::CurrentUser);
  ASSERT_TRUE(reader.OpenPathForReading("\\" + f.base()));
  ASSERT_TRUE(reader.OpenPathForReading(relative.substr(1) +
                                        "\\Leaf\\"));  // relative, from the current key
  EXPECT_EQ(reader.CurrentPath(), path + "\\Leaf");
  EXPECT_EQ(reader.ReadText("v"), "C:\\x.exe");
  EXPECT_FALSE(reader.OpenPathForReading(path + "\\Missing"));
  EXPECT_EQ(reader.CurrentPath(), path + "\\Leaf");
  reader.ClosePath();

  EXPECT_TRUE(reg.DeleteTree(path));
  EXPECT_FALSE(reg.OpenPathForReading(path));
  EXPECT_TRUE(reg.OpenPathForReading(path.substr(0, path.rfind('\\'))));  // its parent stays
}

}  // namespace morvane
