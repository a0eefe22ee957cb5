// Window classes of the program's own windows, registered once, by the first window made of
// each class.
#pragma once

#include <windows.h>

namespace morvane {

struct WindowClassSpec {
  const char* name;
  WNDPROC procedure;
  UINT style = 0;
  HBRUSH background = nullptr;  // null: the window paints its whole background itself
  HICON icon = nullptr;
  LPCSTR cursor = IDC_ARROW;  // one of the system's cursors; null: the window sets its own
};

// Registers the class unless this program has registered it already.
inline void RegisterWindowClass(const WindowClassSpec& spec) {
  const HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA wc{};
  if (GetClassInfoA(instance, spec.name, &wc)) return;
  wc = WNDCLASSA{};
  wc.style = spec.style;
  wc.lpfnWndProc = spec.procedure;
  wc.hInstance = instance;
  wc.hIcon = spec.icon;
  wc.hCursor = spec.cursor != nullptr ? LoadCursorA(nullptr, spec.cursor) : nullptr;
  wc.hbrBackground = spec.background;
  wc.lpszClassName = spec.name;
  RegisterClassA(&wc);
}

}  // namespace morvane
