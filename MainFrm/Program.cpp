// Program start: the DLL search restricted, then the main window, then the about box, then the
// message loop.
#include <windows.h>

#include "AboutU/About.h"
#include "MainFrm/MainFrm.h"
#include "platform/SystemLibraries.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  using namespace morvane;
  // Before anything can load a DLL: a copy planted beside the program must never be found.
  RestrictDllSearch();
  // Wine (8.0) binds the delay loads of its own DLLs through the search the process had at start,
  // the program's folder first: the one that happens, uxtheme's msimg32, is taken from the system
  // folder before anything needs it.
  LoadFromSystemFolder(L"msimg32.dll");
  TMainForm mainForm;
  mainForm.QuitWhenDestroyed = true;
  TAbout about(mainForm.Handle(), mainForm.Services.ShellOpen);
  mainForm.Show();
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (MainForm != nullptr && MainForm->PreTranslate(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}
