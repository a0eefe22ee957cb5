#include "MainFrm/SaveDialog.h"

#include <commdlg.h>

#include <vector>

namespace morvane {

bool TSaveDialog::Execute(HWND owner) {
  // The filter goes to the system as NUL-separated pairs ending in two NULs.
  std::string filter = Filter;
  for (char& c : filter)
    if (c == '|') c = '\0';
  filter.append(2, '\0');

  std::vector<char> name(32768, '\0');
  FileName.copy(name.data(), name.size() - 1);
  const std::string ext = !DefaultExt.empty() && DefaultExt[0] == '.' ? DefaultExt.substr(1) : DefaultExt;

  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = name.data();
  ofn.nMaxFile = static_cast<DWORD>(name.size());
  ofn.lpstrDefExt = ext.empty() ? nullptr : ext.c_str();
  ofn.Flags = OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
  if (!GetSaveFileNameA(&ofn)) return false;
  FileName = name.data();
  return true;
}

}  // namespace morvane
