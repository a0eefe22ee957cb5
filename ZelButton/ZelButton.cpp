#include "ZelButton/ZelButton.h"

#include <windowsx.h>

#include "platform/WinHandles.h"
#include "platform/WindowRouting.h"

namespace morvane {

namespace {

// Draws a one-pixel ring: left and top in topLeft, right and bottom in bottomRight.
void DrawRing(HDC dc, const RECT& r, COLORREF topLeft, COLORREF bottomRight) {
  GdiObject<HPEN> light(CreatePen(PS_SOLID, 1, topLeft));
  GdiObject<HPEN> dark(CreatePen(PS_SOLID, 1, bottomRight));
  SelectedObject pen(dc, light.get());
  MoveToEx(dc, r.left, r.bottom - 1, nullptr);
  LineTo(dc, r.left, r.top);
  LineTo(dc, r.right - 1, r.top);
  SelectObject(dc, dark.get());
  MoveToEx(dc, r.right - 1, r.top, nullptr);
  LineTo(dc, r.right - 1, r.bottom - 1);
  LineTo(dc, r.left - 1, r.bottom - 1);
}

}  // namespace

TZelButton::TZelButton(HWND parent, int left, int top, int width, int height, const std::string& caption)
    : caption_(caption) {
  static const ATOM atom = [] {
    WNDCLASSA wc{};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &RouteToObject<TZelButton>;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, IDC_HAND);
    wc.lpszClassName = TZelButton::ClassName();
    return RegisterClassA(&wc);
  }();
  (void)atom;
  hwnd_ = CreateWindowExA(0, ClassName(), caption.c_str(), WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS,
                          left, top, width, height, parent, nullptr, GetModuleHandleA(nullptr), this);
}

TZelButton::~TZelButton() {
  if (hwnd_ != nullptr && IsWindow(hwnd_)) {
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
}

LRESULT TZelButton::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd_, &ps);
      Paint(dc);
      EndPaint(hwnd_, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_MOUSEMOVE: {
      if (!tracking_) {
        TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE, hwnd_, 0};
        tracking_ = TrackMouseEvent(&tme) != FALSE;
        hot_ = true;
        Redraw();
      }
      return 0;
    }
    case WM_MOUSELEAVE:
      tracking_ = false;
      hot_ = false;
      pressed_ = false;
      Redraw();
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      pressed_ = true;
      hot_ = true;
      SetCapture(hwnd_);
      Redraw();
      return 0;
    case WM_LBUTTONUP: {
      const bool wasPressed = pressed_;
      pressed_ = false;
      if (GetCapture() == hwnd_) ReleaseCapture();
      RECT r;
      GetClientRect(hwnd_, &r);
      const POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      hot_ = PtInRect(&r, p) != FALSE;
      Redraw();
      if (wasPressed && hot_) Click();
      return 0;
    }
    case WM_ENABLE:
      if (!wParam) hot_ = pressed_ = false;
      Redraw();
      return 0;
    default:
      break;
  }
  return DefWindowProcA(hwnd_, message, wParam, lParam);
}

void TZelButton::Paint(HDC dc) {
  RECT r;
  GetClientRect(hwnd_, &r);
  const HWND parent = GetParent(hwnd_);
  // The button takes its parent's colour.
  HBRUSH background = reinterpret_cast<HBRUSH>(SendMessageA(parent, WM_CTLCOLORBTN,
                                                            reinterpret_cast<WPARAM>(dc),
                                                            reinterpret_cast<LPARAM>(hwnd_)));
  if (background == nullptr) background = GetSysColorBrush(COLOR_BTNFACE);
  FillRect(dc, &r, background);

  const bool enabled = IsWindowEnabled(hwnd_) != FALSE;
  if (enabled && pressed_) {
    DrawRing(dc, r, GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNHIGHLIGHT));
  } else if (enabled && hot_) {
    DrawRing(dc, r, GetSysColor(COLOR_BTNHIGHLIGHT), GetSysColor(COLOR_BTNSHADOW));
  }

  SelectedObject font(dc, font_ != nullptr ? static_cast<HGDIOBJ>(font_) : GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(dc, TRANSPARENT);
  RECT text = r;
  if (pressed_) OffsetRect(&text, 1, 1);
  const UINT format = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
  if (!enabled) {
    RECT shadow = text;
    OffsetRect(&shadow, 1, 1);
    SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
    DrawTextA(dc, caption_.c_str(), -1, &shadow, format);
    SetTextColor(dc, GetSysColor(COLOR_BTNSHADOW));
  } else {
    SetTextColor(dc, hot_ ? hotTrackColor_ : GetSysColor(COLOR_WINDOWTEXT));
  }
  DrawTextA(dc, caption_.c_str(), -1, &text, format);
}

void TZelButton::Redraw() { InvalidateRect(hwnd_, nullptr, FALSE); }

void TZelButton::SetCaption(const std::string& caption) {
  caption_ = caption;
  SetWindowTextA(hwnd_, caption.c_str());
  Redraw();
}

bool TZelButton::Enabled() const { return IsWindowEnabled(hwnd_) != FALSE; }
void TZelButton::SetEnabled(bool enabled) { EnableWindow(hwnd_, enabled ? TRUE : FALSE); }
bool TZelButton::Visible() const { return (GetWindowLongA(hwnd_, GWL_STYLE) & WS_VISIBLE) != 0; }
void TZelButton::SetVisible(bool visible) { ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE); }

void TZelButton::SetFont(HFONT font) {
  font_ = font;
  Redraw();
}

void TZelButton::SetHotTrackColor(COLORREF color) {
  hotTrackColor_ = color;
  Redraw();
}

void TZelButton::Click() {
  if (!Enabled() || !Visible()) return;
  if (OnClick) OnClick();
}

}  // namespace morvane
