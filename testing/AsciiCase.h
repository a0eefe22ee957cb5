// Names compared as the file system and the registry compare them: without regard to the case of
// ASCII letters, every other byte (those of UTF-8 sequences included) as it is, unsigned.
#pragma once

#include <algorithm>
#include <string>

namespace morvane {

inline unsigned char FoldAscii(unsigned char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c;
}

struct AsciiCaseLess {
  bool operator()(const std::string& a, const std::string& b) const {
    return std::lexicographical_compare(
        a.begin(), a.end(), b.begin(), b.end(),
        [](unsigned char x, unsigned char y) { return FoldAscii(x) < FoldAscii(y); });
  }
  static bool Same(const std::string& a, const std::string& b) {
    return !AsciiCaseLess()(a, b) && !AsciiCaseLess()(b, a);
  }
};

}  // namespace morvane
