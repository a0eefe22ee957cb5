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
