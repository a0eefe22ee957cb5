// Program start: the main window, then the about box, then the message loop.
#include <windows.h>

#include "AboutU/About.h"
#include "MainFrm/MainFrm.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  using namespace morvane;
  TMainForm mainForm;
  mainForm.QuitWhenDestroyed = true;
  TAbout about(mainForm.Handle(), mainForm.Services.ShellOpen);
  mainForm.Show();
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (MainForm != nullptr && MainForm->PreTranslate(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}
