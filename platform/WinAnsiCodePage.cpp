// The ANSI code page over kernel32's conversions (CP_ACP).
#include <windows.h>

#include <algorithm>
#include <string>

#include "platform/AnsiCodePage.h"
#include "platform/Utf.h"

namespace morvane {

namespace {

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Text is converted a piece at a time, each piece ending after a line feed where one comes soon
// enough: no code page has the byte 0x0A inside a character, and a piece keeps the wide buffer
// small however long the text.
constexpr std::size_t kPiece = 1 << 20;

std::size_t PieceEnd(std::string_view text, std::size_t start) {
  if (text.size() - start <= kPiece) return text.size();
  const std::size_t feed = text.rfind('\n', start + kPiece);
  return feed != std::string_view::npos && feed >= start ? feed + 1 : text.size();
}

class WinAnsiCodePage final : public AnsiCodePage {
 public:
  bool SpellExactly(std::string_view utf8, std::string& ansi) override {
    // Every ANSI code page spells the first 128 characters as themselves.
    if (IsAscii(utf8)) {
      ansi.append(utf8);
      return true;
    }
    std::wstring wide;
    AppendUtf16(utf8, wide);
    // No flags: the one that refuses look-alikes is not allowed with a UTF-8 code page; the
    // reading back below catches look-alikes and '?' alike.
    const int length = static_cast<int>(wide.size());
    const int size =
        WideCharToMultiByte(CP_ACP, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return false;
    const std::size_t at = ansi.size();
    ansi.resize(at + static_cast<std::size_t>(size));
    WideCharToMultiByte(CP_ACP, 0, wide.data(), length, ansi.data() + at, size, nullptr, nullptr);
    std::wstring back(wide.size(), L'\0');
    return MultiByteToWideChar(CP_ACP, 0, ansi.data() + at, size, back.data(), length) == length &&
           back == wide;
  }

  bool Read(std::string_view ansi, std::string& utf8) override {
    if (IsAscii(ansi)) {
      utf8.append(ansi);
      return true;
    }
    bool exact = true;
    std::wstring wide;
    for (std::size_t start = 0; start < ansi.size();) {
      const std::size_t end = PieceEnd(ansi, start);
      const char* piece = ansi.data() + start;
      const int length = static_cast<int>(end - start);
      // Bytes that are no character fail the strict conversion; the lenient one still says what
      // the rest is.
      int size = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, piece, length, nullptr, 0);
      DWORD flags = MB_ERR_INVALID_CHARS;
      if (size <= 0) {
        exact = false;
        flags = 0;
        size = MultiByteToWideChar(CP_ACP, 0, piece, length, nullptr, 0);
      }
      wide.resize(static_cast<std::size_t>(std::max(size, 0)));
      if (size > 0) MultiByteToWideChar(CP_ACP, flags, piece, length, wide.data(), size);
      AppendUtf8(wide.data(), wide.size(), utf8);
      start = end;
    }
    return exact;
  }
};

}  // namespace

AnsiCodePage& SystemAnsiCodePage() {
  static WinAnsiCodePage codePage;
  return codePage;
}

}  // namespace morvane
