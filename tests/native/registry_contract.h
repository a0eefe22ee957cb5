// Registry cursor behaviour that must hold on any registry behind the seam: the in-memory one
// and the real one, below a scratch key (a path under HKEY_CURRENT_USER without a leading
// backslash, existing and empty).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "platform/TRegistry.h"

namespace morvane {

inline void RegistryContract(RegistryApi& api, const std::string& scratch) {
  const std::string base = "\\" + scratch;
  TRegistry reg(api);
  reg.SelectRoot(RootKey::CurrentUser);
  for (const char* path : {"\\Keys\\b", "\\Keys\\A", "\\Keys\\c", "\\T\\a\\x", "\\T\\b", "\\Keep"})
    ASSERT_TRUE(reg.OpenPath(base + path, true));
  EXPECT_EQ(reg.CurrentPath(), base + "\\Keep");

  // Paths: relative to the current key, a trailing backslash naming the same key, an empty path
  // the current key; a missing key is not made and leaves the cursor where it was.
  TRegistry cursor(api);
  cursor.SelectRoot(RootKey::CurrentUser);
  ASSERT_TRUE(cursor.OpenPathForReading(base + "\\"));
  ASSERT_TRUE(cursor.OpenPathForReading("T\\"));
  ASSERT_TRUE(cursor.OpenPathForReading("a"));
  ASSERT_TRUE(cursor.OpenPathForReading(""));
  EXPECT_EQ(cursor.CurrentPath(), base + "\\T\\a");
  EXPECT_FALSE(cursor.OpenPathForReading("Missing"));
  EXPECT_FALSE(cursor.OpenPath(base + "\\Nope", false));
  EXPECT_FALSE(cursor.OpenPathForReading(base + "\\Nope"));
  EXPECT_EQ(cursor.CurrentPath(), base + "\\T\\a");
  EXPECT_EQ(cursor.Access(), static_cast<std::uint32_t>(kKeyRead));

  // Lists and values: texts up to their first NUL or whole without one; names without case.
  ASSERT_TRUE(reg.OpenPath(base + "\\Keys", false));
  const std::string longName(16383, 'n'), bigData(100000, 'd');
  const std::pair<std::string, std::string> texts[] = {{"", std::string("default\0", 8)},
                                                       {"Text", std::string("C:\\x\0junk", 9)},
                                                       {"NoNul", "abc"},
                                                       {"Empty", ""},
                                                       {longName, bigData + '\0'}};
  for (const auto& [name, data] : texts)
    ASSERT_EQ(api.SetValue(reg.BaseKey(), name, kRegSz, data), kRegOk);
  api.SetValue(reg.BaseKey(), "Expand", kRegExpandSz, std::string("%TEMP%\\a\0", 9));
  api.SetValue(reg.BaseKey(), "Number", kRegDword, std::string("\x01\x00\x00\x00", 4));
  std::vector<std::string> names;
  reg.ListSubkeys(names);
  EXPECT_EQ(names, (std::vector<std::string>{"A", "b", "c"}));
  EXPECT_TRUE(reg.HasChildKeys());
  reg.ListValues(names);
  ASSERT_EQ(names.size(), 7u);
  EXPECT_NE(std::find(names.begin(), names.end(), longName), names.end());
  EXPECT_TRUE(reg.HasValue("text"));
  EXPECT_FALSE(reg.HasValue("Missing"));
  EXPECT_EQ(reg.ValueKind("Number"), std::optional<std::uint32_t>(kRegDword));
  EXPECT_EQ(reg.ValueKind("Missing"), std::nullopt);
  const std::pair<const char*, std::string> reads[] = {{"", "default"},  {"Text", "C:\\x"},
                                                       {"NoNul", "abc"}, {"Expand", "%TEMP%\\a"},
                                                       {"Empty", ""},    {"Missing", ""}};
  for (const auto& [name, text] : reads) EXPECT_EQ(reg.ReadText(name), text) << name;
  EXPECT_EQ(reg.ReadText(longName), bigData);
  EXPECT_THROW(reg.ReadText("Number"), ERegistryException);
  RegValue value;
  for (std::uint32_t i = 0; api.EnumValue(reg.BaseKey(), i, value, true) == kRegOk; ++i)
    EXPECT_TRUE(value.name != longName || value.data.size() == bigData.size() + 1);

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
  reg.ListSubkeys(names);
  EXPECT_EQ(names, (std::vector<std::string>{"A", "b", "c"}));

  EXPECT_TRUE(reg.RemoveValue("Text"));
  EXPECT_FALSE(reg.HasValue("Text"));
  EXPECT_FALSE(reg.RemoveValue("Text"));
  ASSERT_TRUE(reg.OpenPath(base + "\\Keys\\A", false));
  EXPECT_FALSE(reg.HasChildKeys());
  EXPECT_EQ(reg.QueryKeyInfo().values, 0u);
  reg.ClosePath();
  EXPECT_FALSE(reg.RemoveValue("NoNul"));  // no key is current

  // Trees: deleted whole; the root or an empty path never; the current key closed first.
  EXPECT_TRUE(reg.DeleteTree(base + "\\T\\"));
  EXPECT_FALSE(reg.OpenPathForReading(base + "\\T"));
  EXPECT_FALSE(reg.DeleteTree(base + "\\T"));
  EXPECT_FALSE(reg.DeleteTree("\\"));
  EXPECT_FALSE(reg.DeleteTree(""));
  EXPECT_TRUE(reg.OpenPathForReading(base + "\\Keep"));
  EXPECT_TRUE(reg.DeleteTree(base + "\\Keep"));
  EXPECT_FALSE(reg.HasCurrentKey());

  // A path of more UTF-16 units than one call takes (32,766), of names of emoji (two units
  // each), is reached a name at a time by opens, creation, value removal and deletion.
  std::string name, relative;
  for (int i = 0; i < 127; ++i) name += "\xF0\x9F\x98\x80";
  for (int i = 0; i < 129; ++i) relative += "\\" + name + static_cast<char>('a' + i % 26);
  const std::string path = base + relative;
  TRegistry deep(api);  // asks for full access again: reg was last opened for reading
  deep.SelectRoot(RootKey::CurrentUser);
  ASSERT_TRUE(deep.OpenPath(path + "\\Leaf", true));
  ASSERT_EQ(api.SetValue(deep.BaseKey(), "v", kRegSz, std::string("C:\\x.exe\0", 10)), kRegOk);
  ASSERT_TRUE(deep.OpenPath(path, false));
  EXPECT_EQ(deep.CurrentPath(), path);
  ASSERT_EQ(api.SetValue(deep.BaseKey(), "v", kRegSz, std::string("C:\\x.exe\0", 10)), kRegOk);
  EXPECT_TRUE(deep.RemoveValue("v"));
  EXPECT_FALSE(deep.HasValue("v"));
  ASSERT_TRUE(cursor.OpenPathForReading(base));
  ASSERT_TRUE(cursor.OpenPathForReading(relative.substr(1) + "\\Leaf\\"));
  EXPECT_EQ(cursor.CurrentPath(), path + "\\Leaf");
  EXPECT_EQ(cursor.ReadText("v"), "C:\\x.exe");
  EXPECT_FALSE(cursor.OpenPathForReading(path + "\\Missing"));
  cursor.ClosePath();
  EXPECT_TRUE(deep.DeleteTree(path));
  EXPECT_FALSE(deep.OpenPathForReading(path));
  EXPECT_TRUE(deep.OpenPathForReading(path.substr(0, path.rfind('\\'))));  // its parent stays
}

}  // namespace morvane
