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
    auto* self = static_cast<T*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->hwnd_ = hwnd;
  }
  auto* self = reinterpret_cast<T*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
  return self->OnMessage(message, wParam, lParam);
}

// Reflection: a control reports its drawing and its notifications to its parent; the parent
// hands them back to the control, as kReflected + WM_DRAWITEM and kReflected + WM_NOTIFY, so that
// each control's own code draws it and answers for it. The base is the one the common controls
// know as reflected and pass over quietly when nobody handles it.
inline constexpr UINT kReflected = WM_USER + 0x1c00;

// Called first by a parent's window procedure. True when the message was a child's draw or
// notify message; result then holds the child's answer, which the parent returns.
inline bool ReflectToChild(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  HWND child = nullptr;
  if (message == WM_DRAWITEM) {
    const auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
    if (draw->CtlType != ODT_MENU) child = draw->hwndItem;  // a menu's item names no window
  } else if (message == WM_NOTIFY) {
    child = reinterpret_cast<const NMHDR*>(lParam)->hwndFrom;
  }
  if (child == nullptr) return false;
  result = SendMessageW(child, kReflected + message, wParam, lParam);
  return true;
}

}  // namespace morvane
