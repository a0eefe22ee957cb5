#include "platform/Utf.h"

namespace morvane {

namespace utf_detail {

std::uint32_t Next(std::string_view text, std::size_t& i) {
  const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
  const unsigned char lead = byte(i);
  std::size_t extra;
  std::uint32_t code, least;
  if (lead < 0x80) {
    ++i;
    return lead;
  } else if (lead >= 0xC2 && lead < 0xE0) {
    extra = 1, code = lead & 0x1Fu, least = 0x80;
  } else if (lead >= 0xE0 && lead < 0xF0) {
    extra = 2, code = lead & 0x0Fu, least = 0x800;
  } else if (lead >= 0xF0 && lead < 0xF5) {
    extra = 3, code = lead & 0x07u, least = 0x10000;
  } else {
    ++i;
    return 0xFFFD;
  }
  if (text.size() - i <= extra) {
    ++i;
    return 0xFFFD;
  }
  for (std::size_t k = 1; k <= extra; ++k) {
    const unsigned char c = byte(i + k);
    if ((c & 0xC0) != 0x80) {
      ++i;
      return 0xFFFD;
    }
    code = (code << 6) | (c & 0x3Fu);
  }
  if (code < least || code > 0x10FFFF) {  // an overlong spelling, or past the last character
    ++i;
    return 0xFFFD;
  }
  i += extra + 1;
  return code;
}

void Put(std::uint32_t code, std::string& out) {
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

}  // namespace utf_detail

bool IsStrictUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    if (static_cast<unsigned char>(text[i]) < 0x80) {
      ++i;
      continue;
    }
    const std::size_t at = i;
    const std::uint32_t code = utf_detail::Next(text, i);
    // Next gives a surrogate for its own three bytes, and U+FFFD for any other error; the
    // character U+FFFD itself takes three bytes.
    if ((code >= 0xD800 && code < 0xE000) || (code == 0xFFFD && i - at != 3)) return false;
  }
  return true;
}

std::size_t Utf16Length(std::string_view utf8) {
  std::size_t units = 0;
  for (std::size_t i = 0; i < utf8.size();) {
    if (static_cast<unsigned char>(utf8[i]) < 0x80) {
      ++i, ++units;
      continue;
    }
    units += utf_detail::Next(utf8, i) >= 0x10000 ? 2 : 1;
  }
  return units;
}

std::size_t CharacterPrefix(std::string_view utf8, std::size_t count) {
  std::size_t i = 0;
  for (std::size_t n = 0; n < count && i < utf8.size(); ++n) utf_detail::Next(utf8, i);
  return i;
}

}  // namespace morvane
