// Window classes of the program's own windows, registered once, by the first window made of
// each class. Every class is a wide (UTF-16) one: its windows take and give text in UTF-16.
#pragma once

#include <windows.h>

namespace morvane {

struct WindowClassSpec {
  const wchar_t* name;
  WNDPROC procedure;
  UINT style = 0;
  HBRUSH background = nullptr;  // null: the window paints its whole background itself
  HICON icon = nullptr;
  LPCWSTR cursor = IDC_ARROW;  // one of the system's cursors; null: the window sets its own
};

// Registers the class unless this program has registered it already.
inline void RegisterWindowClass(const WindowClassSpec& spec) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW wc{};
  if (GetClassInfoW(instance, spec.name, &wc)) return;
  wc = WNDCLASSW{};
  wc.style = spec.style;
  wc.lpfnWndProc = spec.procedure;
  wc.hInstance = instance;
  wc.hIcon = spec.icon;
  wc.hCursor = spec.cursor != nullptr ? LoadCursorW(nullptr, spec.cursor) : nullptr;
  wc.hbrBackground = spec.background;
  wc.lpszClassName = spec.name;
  RegisterClassW(&wc);
}

}  // namespace morvane
