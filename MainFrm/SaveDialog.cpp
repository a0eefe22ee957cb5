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

// Shows one of the system's file dialogs: name holds the name offered and, on success, the name
// chosen.
bool RunFileDialog(HWND owner, const std::string& filterPairs, const std::string& defaultExt,
                   const std::string& initialDir, DWORD flags, BOOL(WINAPI* show)(OPENFILENAMEA*),
                   std::string& name) {
  const std::string filter = SystemFilter(filterPairs);
  const std::string ext = SystemExtension(defaultExt);
  std::vector<char> buffer(32768, '\0');
  name.copy(buffer.data(), buffer.size() - 1);

  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = buffer.data();
  ofn.nMaxFile = static_cast<DWORD>(buffer.size());
  ofn.lpstrInitialDir = initialDir.empty() ? nullptr : initialDir.c_str();
  ofn.lpstrDefExt = ext.empty() ? nullptr : ext.c_str();
  ofn.Flags = OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | flags;
  if (!show(&ofn)) return false;
  name = buffer.data();
  return true;
}

}  // namespace

bool TSaveDialog::Execute(HWND owner) {
  // A name that exists is replaced only when the user says so: it may hold the record of an
  // earlier repair, and the name of the last one is offered again.
  return RunFileDialog(owner, Filter, DefaultExt, "", OFN_OVERWRITEPROMPT, GetSaveFileNameA,
                       FileName);
}

bool TOpenDialog::Execute(HWND owner) {
  std::string name;  // none offered
  if (!RunFileDialog(owner, Filter, DefaultExt, InitialDir, OFN_FILEMUSTEXIST, GetOpenFileNameA,
                     name))
    return false;
  FileName = name;
  return true;
}

}  // namespace morvane
