// Text between the wide calls and the program's 8-bit ANSI text.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace morvane {

// ANSI text as wide text.
std::wstring Widen(std::string_view text);

// Spells wide text in the ANSI code page; true when it reads back as the same wide text. False
// when some character has no ANSI spelling: the narrow calls would put a look-alike letter or
// '?' in its place, and the spelling would name some other value or file.
bool SpellExactlyInAnsi(const wchar_t* wide, std::size_t length, std::string& out);

}  // namespace morvane
