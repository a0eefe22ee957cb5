// The system's ANSI code page, as far as the backup file needs it: whether a text can be spelled
// in it exactly, and how text written in it reads. A seam, so that the backup's rules stay plain
// C++ and are tested with code pages of their own.
#pragma once

#include <string>
#include <string_view>

namespace morvane {

class AnsiCodePage {
 public:
  virtual ~AnsiCodePage() = default;
  // Appends the UTF-8 text as the code page spells it to ansi. False when some character has no
  // spelling there that reads back as itself (the code page would put a look-alike or '?' in its
  // place): what was appended then names something else.
  virtual bool SpellExactly(std::string_view utf8, std::string& ansi) = 0;
  // Appends text written in the code page to utf8, as UTF-8. False when some bytes are no
  // character of the code page: what was appended then holds a guess in their place.
  virtual bool Read(std::string_view ansi, std::string& utf8) = 0;
};

// The running system's code page. Only on Windows builds.
AnsiCodePage& SystemAnsiCodePage();

}  // namespace morvane
