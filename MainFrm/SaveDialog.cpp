#include "MainFrm/SaveDialog.h"

#include <commdlg.h>

#include <vector>

namespace morvane {

namespace {

// The filter goes to the system as NUL-separated pairs ending in two NULs.
std::string SystemFilter(const std::string& filter) {
  std::string pairs = filter;
  for (char& c : pairs)
    if (c == '|') c = '\0';
  pairs.append(2, '\0');
  return pairs;
}

// The default extension goes to the system without its dot.
std::string SystemExtension(const std::string& ext) {
  return !ext.empty() && ext[0] == '.' ? ext.substr(1) : ext;
}

}  // namespace

bool TSaveDialog::Execute(HWND owner) {
  const std::string filter = SystemFilter(Filter);
  std::vector<char> name(32768, '\0');
  FileName.copy(name.data(), name.size() - 1);
  const std::string ext = SystemExtension(DefaultExt);

  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = name.data();
  ofn.nMaxFile = static_cast<DWORD>(name.size());
  ofn.lpstrDefExt = ext.empty() ? nullptr : ext.c_str();
  // A name that exists is replaced only when the user says so: it may hold the record of an
  // earlier repair, and the name of the last one is offered again.
  ofn.Flags = OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_OVERWRITEPROMPT;
  if (!GetSaveFileNameA(&ofn)) return false;
  FileName = name.data();
  return true;
}

bool TOpenDialog::Execute(HWND owner) {
  const std::string filter = SystemFilter(Filter);
  std::vector<char> name(32768, '\0');
  const std::string ext = SystemExtension(DefaultExt);

  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = name.data();
  ofn.nMaxFile = static_cast<DWORD>(name.size());
  ofn.lpstrInitialDir = InitialDir.empty() ? nullptr : InitialDir.c_str();
  ofn.lpstrDefExt = ext.empty() ? nullptr : ext.c_str();
  ofn.Flags = OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_NOCHANGEDIR;
  if (!GetOpenFileNameA(&ofn)) return false;
  FileName = name.data();
  return true;
}

}  // namespace morvane
