// Names that a narrow (code page) call cannot keep apart: each with a look-alike twin, the name
// a best-fit spelling would turn it into, or another name that only looks the same. Every seam
// runs through this one table, on the real registry and real files, under more than one code
// page: each name must be found, shown and acted on as itself, and never as its twin.
#pragma once

#include <string>
#include <vector>

namespace morvane::testing {

struct LookAlikeName {
  const char* what;  // for failure messages
  std::string name;  // UTF-8
  std::string twin;  // UTF-8
  // False when the twin has a character that a file name cannot hold ('?'): such a twin exists
  // only in the registry.
  bool twinIsFileName = true;
};

inline const std::vector<LookAlikeName>& LookAlikeNames() {
  static const std::vector<LookAlikeName> names = {
      {"Polish", "\xC5\x81ukasz", "Lukasz"},                   // Łukasz, best fit L
      {"Greek", "\xCE\xA9mega", "Omega"},                      // Ωmega, best fit O
      {"Japanese", "\xE6\x97\xA5\xE6\x9C\xAC", "??", false},   // 日本
      {"Cyrillic", "\xD0\x96\xD1\x83\xD0\xBA", "???", false},  // Жук
      // 表 and ソ end in byte 0x5C, the backslash, in code page 932.
      {"0x5C in 932 (hyo)", "\xE4\xB8\x80\xE8\xA6\xA7\xE8\xA1\xA8", "???", false},  // 一覧表
      {"0x5C in 932 (so)", "\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88", "???", false},   // ソフト
      {"beyond the first plane", "\xF0\x9F\x98\x80smile", "??smile", false},        // 😀smile
      // "Café" with a combining accent; its twin is the same word with the one precomposed é.
      {"combining accent", "Cafe\xCC\x81", "Caf\xC3\xA9"},
  };
  return names;
}

}  // namespace morvane::testing
