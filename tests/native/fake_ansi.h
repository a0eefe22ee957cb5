// Code pages for tests: ASCII as itself, and a table of the other characters each spells. Two
// are made: a single-byte one in which U+00A0..U+00FF are the bytes of their numbers and the
// byte 0x80 is the euro sign (as code page 1252 spells them), and a double-byte one with the few
// Japanese characters of the names table as code page 932 spells them, 表 and ソ with the byte 0x5C
// (the backslash) as their second. Any other character has no spelling: '?' stands in its place.
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "platform/AnsiCodePage.h"
#include "platform/Utf.h"

namespace morvane {

class FakeAnsiCodePage final : public AnsiCodePage {
 public:
  static FakeAnsiCodePage Western() {
    FakeAnsiCodePage page;
    for (char16_t c = 0xA0; c <= 0xFF; ++c) page.Add(c, std::string(1, static_cast<char>(c)));
    page.Add(u'\u20AC', "\x80");  // the euro sign
    return page;
  }
  static FakeAnsiCodePage Japanese() {
    FakeAnsiCodePage page;
    const std::pair<char16_t, const char*> table[] = {
        {u'\u30BD', "\x83\x5C"}, {u'\u30D5', "\x83\x74"}, {u'\u30C8', "\x83\x67"},  // ソフト
        {u'\u8868', "\x95\x5C"}, {u'\u4E00', "\x88\xEA"}, {u'\u89A7', "\x97\x97"},  // 表一覧
        {u'\u65E5', "\x93\xFA"}, {u'\u672C', "\x96\x7B"},                           // 日本
    };
    for (const auto& [c, bytes] : table) page.Add(c, bytes);
    return page;
  }

  bool SpellExactly(std::string_view utf8, std::string& ansi) override {
    bool exact = true;
    for (std::size_t i = 0; i < utf8.size();) {
      std::size_t length = 1;
      while (i + length < utf8.size() &&
             (static_cast<unsigned char>(utf8[i + length]) & 0xC0) == 0x80)
        ++length;
      const std::string character(utf8.substr(i, length));
      i += length;
      if (static_cast<unsigned char>(character[0]) < 0x80) {
        ansi += character;
      } else if (auto it = spell_.find(character); it != spell_.end()) {
        ansi += it->second;
      } else {
        ansi += '?';
        exact = false;
      }
    }
    return exact;
  }

  bool Read(std::string_view ansi, std::string& utf8) override {
    bool exact = true;
    for (std::size_t i = 0; i < ansi.size();) {
      if (static_cast<unsigned char>(ansi[i]) < 0x80) {
        utf8 += ansi[i++];
        continue;
      }
      auto it = read_.find(std::string(ansi.substr(i, 2)));
      if (it == read_.end()) it = read_.find(std::string(ansi.substr(i, 1)));
      if (it == read_.end()) {
        utf8 += "\xEF\xBF\xBD";  // U+FFFD
        exact = false;
        ++i;
        continue;
      }
      utf8 += it->second;
      i += it->first.size();
    }
    return exact;
  }

 private:
  void Add(char16_t c, const std::string& bytes) {
    std::string character;
    AppendUtf8(&c, 1, character);
    spell_[character] = bytes;
    read_[bytes] = character;
  }

  std::map<std::string, std::string> spell_;  // a character's UTF-8 -> its bytes
  std::map<std::string, std::string> read_;   // bytes -> the character's UTF-8
};

}  // namespace morvane
