// TSaveDialog: settings of a file-save dialog and the name chosen last.
#pragma once

#include <windows.h>

#include <string>

namespace morvane {

struct TSaveDialog {
  std::string DefaultExt;  // with its dot, e.g. ".reg"
  std::string Filter;      // description|pattern pairs, e.g. "Registry files|*.reg"
  std::string FileName;    // the name confirmed last; pre-filled on the next use

  // Shows the system's save dialog owned by owner; no prompt before replacing a file.
  // True and FileName set when the user confirmed a name.
  bool Execute(HWND owner);
};

}  // namespace morvane
