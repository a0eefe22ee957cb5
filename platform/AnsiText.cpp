#include "platform/AnsiText.h"

#include <algorithm>

namespace morvane {

std::wstring Widen(std::string_view text) {
  if (text.empty()) return {};
  const int size =
      MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
  if (size > 0)
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return wide;
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
