#include "MainFrm/SaveDialog.h"

#include <commdlg.h>

#include <vector>

#include "platform/SystemLibraries.h"
#include "platform/WideText.h"

namespace morvane {

namespace {

// The filter goes to the system as NUL-separated pairs ending in two NULs.
std::wstring SystemFilter(const std::string& filter) {
  std::wstring pairs = Widen(filter);
  for (wchar_t& c : pairs)
    if (c == L'|') c = L'\0';
  pairs.append(2, L'\0');
  return pairs;
}

// The default extension goes to the system without its dot.
std::wstring SystemExtension(const std::string& ext) {
  return Widen(!ext.empty() && ext[0] == '.' ? ext.substr(1) : ext);
}

// Shows one of the system's file dialogs: name holds the name offered and, on success, the name
// chosen, exactly as the dialog gives it (the question before replacing a file names that file).
bool RunFileDialog(HWND owner, const std::string& filterPairs, const std::string& defaultExt,
                   const std::string& initialDir, DWORD flags, BOOL(WINAPI* show)(OPENFILENAMEW*),
                   std::string& name) {
  const std::wstring filter = SystemFilter(filterPairs);
  const std::wstring ext = SystemExtension(defaultExt);
  const std::wstring folder = Widen(initialDir);
  std::vector<wchar_t> buffer(32768, L'\0');
  const std::wstring offered = Widen(name);
  offered.copy(buffer.data(), buffer.size() - 1);

  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = buffer.data();
  ofn.nMaxFile = static_cast<DWORD>(buffer.size());
  ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  ofn.lpstrDefExt = ext.empty() ? nullptr : ext.c_str();
  ofn.Flags = OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | flags;
  if (show == nullptr || !show(&ofn)) return false;
  name = Narrow(buffer.data());
  return true;
}

}  // namespace

bool TSaveDialog::Execute(HWND owner) {
  // A name that exists is replaced only when the user says so: it may hold the record of an
  // earlier repair, and the name of the last one is offered again.
  const FileDialogCalls* dialogs = FileDialogLibrary();
  return RunFileDialog(owner, Filter, DefaultExt, "", OFN_OVERWRITEPROMPT,
                       dialogs != nullptr ? dialogs->GetSaveFileNameW : nullptr, FileName);
}

bool TOpenDialog::Execute(HWND owner) {
  std::string name;  // none offered
  const FileDialogCalls* dialogs = FileDialogLibrary();
  if (!RunFileDialog(owner, Filter, DefaultExt, InitialDir, OFN_FILEMUSTEXIST,
                     dialogs != nullptr ? dialogs->GetOpenFileNameW : nullptr, name))
    return false;
  FileName = name;
  return true;
}

}  // namespace morvane
