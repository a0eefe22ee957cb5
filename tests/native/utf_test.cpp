// The program's UTF-8 and the system's UTF-16: every sequence of units survives the round trip,
// the registry's limits count units, and cuts fall between characters.
#include "platform/Utf.h"

#include <string>

#include <gtest/gtest.h>

namespace morvane {
namespace {

std::string ToUtf8(const std::u16string& units) {
  std::string text;
  AppendUtf8(units.data(), units.size(), text);
  return text;
}

std::u16string ToUtf16(const std::string& text) {
  std::u16string units;
  AppendUtf16(text, units);
  return units;
}

TEST(Utf, NamesInAnyScriptRoundTrip) {
  struct Row {
    std::u16string units;
    std::string utf8;
    std::size_t length;  // UTF-16 units
    bool strict = true;  // UTF-8 as the standard has it: no surrogate of its own
  };
  const Row rows[] = {
      {u"plain.exe", "plain.exe", 9},
      {u"\u0141ukasz", "\xC5\x81ukasz", 6},              // Ł
      {u"\u03A9mega", "\xCE\xA9mega", 5},                // Ω
      {u"\u65E5\u672C", "\xE6\x97\xA5\xE6\x9C\xAC", 2},  // 日本
      {u"\u8868", "\xE8\xA1\xA8", 1},                    // 表: 0x5C second byte in 932
      {u"\u30BD\u30D5\u30C8", "\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88", 3},  // ソフト
      {u"e\u0301", "e\xCC\x81", 2},                                        // combining accent
      {u"\U0001F600x", "\xF0\x9F\x98\x80x", 3},                            // beyond the first plane
      {u"\U00010000", "\xF0\x90\x80\x80", 2},                              // its first character
      {u"\U0010FFFF", "\xF4\x8F\xBF\xBF", 2},                              // the last character
      {u"\xFFFD", "\xEF\xBF\xBD", 1},                           // the replacement character
      {u"a\xD800z", "a\xED\xA0\x80z", 3, false},                // a high surrogate alone
      {u"\xDC00", "\xED\xB0\x80", 1, false},                    // a low surrogate alone
      {u"\xDC00\xD800", "\xED\xB0\x80\xED\xA0\x80", 2, false},  // in the wrong order
      {u"", "", 0},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(ToUtf8(row.units), row.utf8);
    EXPECT_EQ(ToUtf16(row.utf8), row.units) << row.utf8;
    EXPECT_EQ(Utf16Length(row.utf8), row.length) << row.utf8;
    EXPECT_EQ(IsStrictUtf8(row.utf8), row.strict) << row.utf8;
  }
}

TEST(Utf, BytesThatAreNotUtf8ReadAsReplacementCharacters) {
  const std::pair<std::string, std::u16string> rows[] = {
      {"\xA3", u"\xFFFD"},                      // a code page's byte, read as UTF-8
      {"a\xC5", u"a\xFFFD"},                    // cut short at the end
      {"\xC5z", u"\xFFFDz"},                    // cut short before a plain character
      {"\xC0\xAF", u"\xFFFD\xFFFD"},            // an overlong '/'
      {"\xE0\x80\xAF", u"\xFFFD\xFFFD\xFFFD"},  // the same in three bytes
      {"\xE6\x41\xA5",
       u"\xFFFD"
       u"A\xFFFD"},                                       // a bad byte inside a character
      {"\xF4\x90\x80\x80", u"\xFFFD\xFFFD\xFFFD\xFFFD"},  // past the last character
      {"\xE6\x97", u"\xFFFD\xFFFD"},
  };
  for (const auto& [bytes, units] : rows) {
    EXPECT_EQ(ToUtf16(bytes), units);
    EXPECT_FALSE(IsStrictUtf8(bytes)) << bytes;
  }
  // A text cut inside a character ends there, whatever bytes follow it in memory.
  const std::string whole = "a\xC5\x81";  // aŁ
  std::u16string units;
  AppendUtf16(std::string_view(whole).substr(0, 2), units);
  EXPECT_EQ(units, u"a\xFFFD");
  EXPECT_EQ(Utf16Length(std::string_view(whole).substr(0, 2)), 2u);
}

TEST(Utf, CutsFallBetweenCharacters) {
  const std::string text = "a\xC5\x81\xE6\x97\xA5\xF0\x9F\x98\x80z";  // a Ł 日 😀 z
  const std::size_t ends[] = {0, 1, 3, 6, 10, 11, 11};
  for (std::size_t count = 0; count < 7; ++count)
    EXPECT_EQ(CharacterPrefix(text, count), ends[count]) << count;
}

}  // namespace
}  // namespace morvane
