#include "tests/win/button_host.h"

#include <chrono>
#include <thread>

#include "platform/WindowClass.h"

namespace morvane::testing {

ButtonHost::ButtonHost(COLORREF colour, int width, int height)
    : colour_(colour), brush_(CreateSolidBrush(colour)) {
  static const ATOM atom = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &ButtonHost::Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = L"ZelButtonHost";
    return RegisterClassW(&wc);
  }();
  (void)atom;
  RECT frame{0, 0, width, height};
  AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
  hwnd_ = CreateWindowExW(0, L"ZelButtonHost", L"Buttons", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                          40, 40, frame.right - frame.left, frame.bottom - frame.top, nullptr,
                          nullptr, GetModuleHandleW(nullptr), this);
  edit_ = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_BORDER, width - 110,
                          height - 30, 100, 22, hwnd_, nullptr, GetModuleHandleW(nullptr), nullptr);
  // The real pointer stays in the screen's corner, away from every test window, so that only
  // the messages a test sends move the buttons' pointer state.
  SetCursorPos(0, 0);
  ShowWindow(hwnd_, SW_SHOW);
  SetForegroundWindow(hwnd_);
  PumpFor(30);
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

HWND ButtonHost::AddPanel(int x, int y, int width, int height, DWORD exStyle) {
  return CreateWindowExW(exStyle, L"ZelButtonHost", L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, x,
                         y, width, height, hwnd_, nullptr, GetModuleHandleW(nullptr), this);
}

void ButtonHost::SetColour(COLORREF colour, bool tell) {
  HBRUSH old = brush_;
  colour_ = colour;
  brush_ = CreateSolidBrush(colour);
  DeleteObject(old);
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  if (tell) ZelParent::ColorChanged(hwnd_);
}

void ButtonHost::Resize(int width, int height) {
  RECT frame{0, 0, width, height};
  AdjustWindowRect(&frame, GetWindowLongW(hwnd_, GWL_STYLE), FALSE);
  SetWindowPos(hwnd_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  PumpFor(10);
}

void ButtonHost::Remove(TZelButton& button) {
  for (auto it = buttons_.begin(); it != buttons_.end(); ++it)
    if (it->get() == &button) {
      buttons_.erase(it);
      return;
    }
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
  if (self != nullptr) {
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
      case WM_HELP:
        self->helpContexts.push_back(
            static_cast<DWORD>(reinterpret_cast<HELPINFO*>(lParam)->dwContextId));
        return TRUE;
      default:
        break;
    }
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

void PumpFor(int ms) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  do {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  } while (std::chrono::steady_clock::now() < until);
}

namespace {
void PostPointer(TZelCustomButton& button, UINT message, WPARAM keys, int x, int y) {
  POINT screen{x, y};
  ClientToScreen(button.Handle(), &screen);
  // The message goes where the system would send it: to the capture, else the window there.
  HWND target = GetCapture();
  POINT client = screen;
  if (target == nullptr) target = WindowFromPoint(screen);
  ScreenToClient(target, &client);
  PostMessageW(target, message, keys, MAKELPARAM(client.x, client.y));
  PumpFor(10);
}
}  // namespace

void MoveTo(TZelCustomButton& button, int x, int y) {
  PostPointer(button, WM_MOUSEMOVE, GetCapture() != nullptr ? MK_LBUTTON : 0, x, y);
}
void MoveToCentre(TZelCustomButton& button) {
  MoveTo(button, button.Width() / 2, button.Height() / 2);
}
void Leave(TZelCustomButton& button) {
  PostMessageW(button.Handle(), WM_MOUSELEAVE, 0, 0);
  PumpFor(10);
}
void LeftDown(TZelCustomButton& button, int x, int y) {
  PostPointer(button, WM_LBUTTONDOWN, MK_LBUTTON, x, y);
}
void LeftUp(TZelCustomButton& button, int x, int y) { PostPointer(button, WM_LBUTTONUP, 0, x, y); }

void PressKey(UINT key, bool ctrl, bool shift) {
  BYTE saved[256], state[256];
  GetKeyboardState(saved);
  std::copy(std::begin(saved), std::end(saved), state);
  state[VK_CONTROL] = state[VK_LCONTROL] = ctrl ? 0x80 : 0;
  state[VK_SHIFT] = state[VK_LSHIFT] = shift ? 0x80 : 0;
  SetKeyboardState(state);
  PostMessageW(GetFocus(), WM_KEYDOWN, key, 1);
  PumpFor(10);
  SetKeyboardState(saved);
}

void TypeChar(HWND target, wchar_t c, bool alt) {
  PostMessageW(target, alt ? WM_SYSCHAR : WM_CHAR, static_cast<WPARAM>(c), alt ? (1 << 29) | 1 : 1);
  PumpFor(10);
}

RECT Pixels::BoxOf(COLORREF colour) const {
  RECT box{width, height, -1, -1};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (At(x, y) == colour) {
        box.left = std::min<LONG>(box.left, x);
        box.top = std::min<LONG>(box.top, y);
        box.right = std::max<LONG>(box.right, x + 1);
        box.bottom = std::max<LONG>(box.bottom, y + 1);
      }
  if (box.right < 0) return RECT{0, 0, 0, 0};
  return box;
}

int Pixels::Count(COLORREF colour) const {
  int n = 0;
  for (COLORREF c : data) n += c == colour;
  return n;
}

Pixels Grab(HWND hwnd) {
  Pixels pixels;
  RECT r;
  GetClientRect(hwnd, &r);
  pixels.width = r.right;
  pixels.height = r.bottom;
  TZelBitmap copy(r.right, r.bottom);
  HDC window = GetDC(hwnd);
  HDC memory = CreateCompatibleDC(window);
  HGDIOBJ old = SelectObject(memory, copy.Handle());
  BitBlt(memory, 0, 0, r.right, r.bottom, window, 0, 0, SRCCOPY);
  GdiFlush();
  SelectObject(memory, old);
  DeleteDC(memory);
  ReleaseDC(hwnd, window);
  for (int y = 0; y < r.bottom; ++y)
    for (int x = 0; x < r.right; ++x) pixels.data.push_back(copy.Pixel(x, y));
  return pixels;
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
