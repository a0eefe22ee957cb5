#include "platform/WideText.h"

#include <cwchar>

#include "platform/Utf.h"

namespace morvane {

std::wstring Widen(std::string_view utf8) {
  std::wstring wide;
  AppendUtf16(utf8, wide);
  return wide;
}

std::string Narrow(const wchar_t* wide, std::size_t length) {
  std::string text;
  AppendUtf8(wide, length, text);
  return text;
}

std::string Narrow(std::wstring_view wide) { return Narrow(wide.data(), wide.size()); }

std::string Narrow(const wchar_t* wide) {
  return wide == nullptr ? std::string() : Narrow(wide, std::wcslen(wide));
}

}  // namespace morvane
