#include "platform/WideText.h"

#include <algorithm>
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

bool SpellExactlyInAnsi(const wchar_t* wide, std::size_t length, std::string& out) {
  out.clear();
  if (length == 0) return true;
  // Every ANSI code page spells the first 128 characters as themselves: most text is taken
  // without asking the system.
  if (std::all_of(wide, wide + length, [](wchar_t c) { return c < 0x80; })) {
    out.resize(length);
    std::transform(wide, wide + length, out.begin(),
                   [](wchar_t c) { return static_cast<char>(c); });
    return true;
  }
  // No flags: the one that refuses look-alikes is not allowed with a UTF-8 code page, and the
  // round trip below catches look-alikes and '?' alike.
  const int wideLength = static_cast<int>(length);
  const int size = WideCharToMultiByte(CP_ACP, 0, wide, wideLength, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return false;
  out.resize(static_cast<std::size_t>(size));
  WideCharToMultiByte(CP_ACP, 0, wide, wideLength, out.data(), size, nullptr, nullptr);
  const int back = MultiByteToWideChar(CP_ACP, 0, out.data(), size, nullptr, 0);
  if (back != wideLength) return false;
  // Read back into a buffer of the calling thread's own, kept between calls.
  thread_local std::wstring roundTrip;
  roundTrip.resize(static_cast<std::size_t>(back));
  MultiByteToWideChar(CP_ACP, 0, out.data(), size, roundTrip.data(), back);
  return std::equal(roundTrip.begin(), roundTrip.end(), wide);
}

}  // namespace morvane
