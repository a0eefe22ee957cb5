// TSaveDialog and TOpenDialog: settings of the system's file dialogs and the name chosen last.
#pragma once

#include <windows.h>

#include <string>

namespace morvane {

struct TSaveDialog {
  std::string DefaultExt;  // with its dot, e.g. ".reg"
  std::string Filter;      // description|pattern pairs, e.g. "Registry files|*.reg"
  std::string FileName;    // the name confirmed last; pre-filled on the next use

  // Shows the system's save dialog owned by owner; it asks before replacing an existing file.
  // True and FileName set when the user confirmed a name.
  bool Execute(HWND owner);
};

struct TOpenDialog {
  std::string DefaultExt;  // with its dot, e.g. ".reg"
  std::string Filter;      // description|pattern pairs, e.g. "Registry files|*.reg"
  std::string InitialDir;  // the folder shown first; empty: the system's choice
  std::string FileName;    // the name confirmed last

  // Shows the system's open dialog owned by owner, in InitialDir with no name filled in; only
  // a file that exists can be chosen. True and FileName set when the user confirmed one.
  bool Execute(HWND owner);
};

}  // namespace morvane
