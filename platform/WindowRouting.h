// Routes a window's messages to the C++ object that created it. The object passes itself as
// CreateWindowEx's last argument; from WM_NCCREATE on, its OnMessage(message, wParam, lParam)
// receives every message and its hwnd_ holds the window. An object that lets go of its window
// early sets GWLP_USERDATA to 0, and the window falls back to DefWindowProc.
#pragma once

#include <windows.h>

namespace morvane {

template <typename T>
LRESULT CALLBACK RouteToObject(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<T*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->hwnd_ = hwnd;
  }
  auto* self = reinterpret_cast<T*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcA(hwnd, message, wParam, lParam);
  return self->OnMessage(message, wParam, lParam);
}

}  // namespace morvane
