// The program's UTF-8 text as the wide (UTF-16) text of the system's calls, and back. Every call
// into the system is the wide one, given text converted here, once, at the call.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace morvane {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);
std::string Narrow(const wchar_t* wide, std::size_t length);
// A zero-terminated wide text; nullptr gives "".
std::string Narrow(const wchar_t* wide);

}  // namespace morvane
