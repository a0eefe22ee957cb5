// The program's text is UTF-8; the system's is UTF-16. These convert between the two without the
// system's help, so that the rules can use them anywhere and tests can run them natively.
//
// Both directions are exact for every sequence of UTF-16 units, including a surrogate that has no
// partner (the registry and the file system allow one in a name): such a unit is written as the
// three bytes that UTF-8 would give its number, and read back as the same unit, so that a name
// read from the system names the same thing when it is handed back. Bytes that are not UTF-8 at
// all (a damaged file) read as U+FFFD, one for each byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace morvane {

// Appends utf8 as UTF-16 units to out (a string of 16-bit units: std::u16string, or std::wstring
// on Windows).
template <typename Units>
void AppendUtf16(std::string_view utf8, Units& out);

// Appends length UTF-16 units as UTF-8 to out.
template <typename Unit>
void AppendUtf8(const Unit* units, std::size_t length, std::string& out);

// The text is UTF-8 as the standard has it: every character in its shortest form, none past
// U+10FFFF, and no surrogate (not even a pair, each half written as a character of its own).
bool IsStrictUtf8(std::string_view text);

// How many UTF-16 units the text takes: what the system's limits on names count.
std::size_t Utf16Length(std::string_view utf8);

// The length of the longest start of the text that holds at most count characters (code points)
// and ends on a character boundary.
std::size_t CharacterPrefix(std::string_view utf8, std::size_t count);

// ---- implementation --------------------------------------------------------------------------

namespace utf_detail {
// Reads the character at text[i], advancing i; a byte that starts no valid sequence gives
// U+FFFD and advances one byte. A surrogate's own three-byte form gives the surrogate.
std::uint32_t Next(std::string_view text, std::size_t& i);
void Put(std::uint32_t code, std::string& out);
}  // namespace utf_detail

template <typename Units>
void AppendUtf16(std::string_view utf8, Units& out) {
  using Unit = typename Units::value_type;
  static_assert(sizeof(Unit) == 2, "UTF-16 needs 16-bit units");
  out.reserve(out.size() + utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      out.push_back(static_cast<Unit>(c));
      ++i;
      continue;
    }
    const std::uint32_t code = utf_detail::Next(utf8, i);
    if (code >= 0x10000) {
      out.push_back(static_cast<Unit>(0xD800 + ((code - 0x10000) >> 10)));
      out.push_back(static_cast<Unit>(0xDC00 + ((code - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<Unit>(code));
    }
  }
}

template <typename Unit>
void AppendUtf8(const Unit* units, std::size_t length, std::string& out) {
  static_assert(sizeof(Unit) == 2, "UTF-16 needs 16-bit units");
  out.reserve(out.size() + length);
  for (std::size_t i = 0; i < length; ++i) {
    std::uint32_t code = static_cast<std::uint16_t>(units[i]);
    if (code < 0x80) {
      out.push_back(static_cast<char>(code));
      continue;
    }
    if (code >= 0xD800 && code < 0xDC00 && i + 1 < length) {
      const std::uint32_t low = static_cast<std::uint16_t>(units[i + 1]);
      if (low >= 0xDC00 && low < 0xE000) {
        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      }
    }
    utf_detail::Put(code, out);
  }
}

}  // namespace morvane
