#include "tests/win/button_host.h"

#include <algorithm>

#include "platform/WindowClass.h"
#include "tests/win/window_harness.h"

namespace morvane::testing {

ButtonHost::ButtonHost(COLORREF colour) : colour_(colour), brush_(CreateSolidBrush(colour)) {
  static const ATOM atom = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &ButtonHost::Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = L"ZelButtonHost";
    return RegisterClassW(&wc);
  }();
  (void)atom;
  hwnd_ = CreateWindowExW(0, L"ZelButtonHost", L"Buttons", WS_POPUP | WS_CLIPCHILDREN, 40, 40, 640,
                          480, nullptr, nullptr, GetModuleHandleW(nullptr), this);
  edit_ = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_BORDER, 530, 450, 100, 22,
                          hwnd_, nullptr, GetModuleHandleW(nullptr), nullptr);
  // The real pointer rests in the screen's corner, away from every test window, so that only
  // the messages a test sends move the buttons' pointer state.
  SetCursorPos(0, 0);
  ShowWindow(hwnd_, SW_SHOW);
  SetForegroundWindow(hwnd_);
  PumpUntil([this] { return GetForegroundWindow() == hwnd_; });
}

ButtonHost::~ButtonHost() {
  buttons_.clear();
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
  DestroyWindow(hwnd_);
  DeleteObject(brush_);
}

TZelButton& ButtonHost::Add(int x, int y, int width, int height, const std::string& caption,
                            HWND parent) {
  buttons_.push_back(std::make_unique<TZelButton>(parent != nullptr ? parent : hwnd_, x, y, width,
                                                  height, caption));
  return *buttons_.back();
}

void ButtonHost::Remove(TZelButton& button) {
  buttons_.erase(std::remove_if(buttons_.begin(), buttons_.end(),
                                [&](const auto& b) { return b.get() == &button; }),
                 buttons_.end());
}

HWND ButtonHost::AddPanel(int x, int y, int width, int height, DWORD exStyle) {
  return CreateWindowExW(exStyle, L"ZelButtonHost", L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, x,
                         y, width, height, hwnd_, nullptr, GetModuleHandleW(nullptr), this);
}

void ButtonHost::SetColour(COLORREF colour, bool tell, bool systemFace) {
  DeleteObject(brush_);  // the system's brushes are not deleted
  colour_ = colour;
  brush_ = systemFace ? GetSysColorBrush(COLOR_BTNFACE) : CreateSolidBrush(colour);
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  if (tell) ZelParent::ColorChanged(hwnd_);
}

void ButtonHost::Resize(int width, int height) {
  SetWindowPos(hwnd_, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  Settle();
}

LRESULT CALLBACK ButtonHost::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE)
    SetWindowLongPtrW(
        hwnd, GWLP_USERDATA,
        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
  auto* self = reinterpret_cast<ButtonHost*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (message == ZelParent::ParentColorChangedNotice()) {
    ZelParent::ColorChanged(hwnd);  // a panel's colour is the host's
    return 0;
  }
  if (self == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
  switch (message) {
    case WM_CTLCOLORBTN:
      return reinterpret_cast<LRESULT>(self->brush_);
    case WM_ERASEBKGND: {
      RECT r;
      GetClientRect(hwnd, &r);
      FillRect(reinterpret_cast<HDC>(wParam), &r, self->brush_);
      return 1;
    }
    case WM_CLOSE:
      ++self->closes;
      return 0;
    case WM_CONTEXTMENU:
      ++self->contextMenus;
      return 0;
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

void ManualClock::Advance(int ms) {
  for (int step = 0; step < ms; ++step) {
    ++now_;
    std::vector<std::pair<HWND, UINT_PTR>> due;
    for (auto& [key, timer] : timers_)
      if (timer.due <= now_) due.push_back(key);
    for (auto& key : due) {
      auto found = timers_.find(key);
      if (found == timers_.end()) continue;
      found->second.due = now_ + found->second.interval;
      SendMessageW(key.first, WM_TIMER, key.second, 0);
    }
  }
}

RecordedApplication::RecordedApplication() : saved_(ZelApplication()) {
  ZelApplication().PlaySound = [this](const void* wave) { sounds.push_back(wave); };
  ZelApplication().ShowHelp = [this](HWND, DWORD context) { help.push_back(context); };
}

RecordedApplication::~RecordedApplication() { ZelApplication() = saved_; }

}  // namespace morvane::testing
