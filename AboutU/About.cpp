#include "AboutU/About.h"

#include <windowsx.h>

#include <algorithm>

#include "AboutU/WebLinks.h"
#include "platform/WideText.h"
#include "platform/WindowClass.h"
#include "platform/WindowRouting.h"

namespace morvane {

TAbout* About = nullptr;

namespace {

constexpr int kClientWidth = 221;
constexpr int kClientHeight = 230;
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME;
constexpr int kOkId = IDOK;  // the button's modal result
constexpr RECT kImage1 = {0, 0, 233, 225};

HFONT MakeFont(const wchar_t* face, int pixelHeight, bool underline, BYTE charset) {
  return CreateFontW(-pixelHeight, 0, 0, 0, FW_NORMAL, FALSE, underline, FALSE, charset,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, face);
}

RECT Bounds(int left, int top, int width, int height) {
  return RECT{left, top, left + width, top + height};
}

}  // namespace

TAbout::TAbout(HWND owner, ShellOpener open) : owner_(owner), open_(std::move(open)) {
  Label1.Bounds = Bounds(8, 120, 150, 16);
  Label1.Caption = kHomePage;
  Label2.Bounds = Bounds(8, 139, 184, 16);
  Label2.Caption = std::string("E-mail: ") + kSupportMail;

  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WindowClassSpec spec{ClassName(), &RouteToObject<TAbout>};
  spec.background = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  RegisterWindowClass(spec);
  picture_.reset(static_cast<HBITMAP>(
      LoadImageW(instance, L"ABOUTPICTURE", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
  font_.reset(MakeFont(L"MS Sans Serif", 11, false, DEFAULT_CHARSET));
  linkFont_.reset(MakeFont(L"Arial", 13, true, RUSSIAN_CHARSET));

  RECT frame{0, 0, kClientWidth, kClientHeight};
  AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
  hwnd_ = CreateWindowExW(kExStyle, ClassName(), L"About Morvane", kStyle, 0, 0,
                          frame.right - frame.left, frame.bottom - frame.top, owner, nullptr,
                          instance, this);
  BitBtn1 =
      CreateWindowExW(0, L"BUTTON", L"Ok", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
                      77, 177, 75, 25, hwnd_, reinterpret_cast<HMENU>(kOkId), instance, nullptr);
  SendMessageW(BitBtn1, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
  About = this;
}

TAbout::~TAbout() {
  if (hwnd_ != nullptr && IsWindow(hwnd_)) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
  if (About == this) About = nullptr;
}

void TAbout::PlaceOverOwner() {
  RECT owner, box;
  GetWindowRect(owner_, &owner);
  GetWindowRect(hwnd_, &box);
  const int width = box.right - box.left, height = box.bottom - box.top;
  int x = owner.left + (owner.right - owner.left - width) / 2;
  int y = owner.top + (owner.bottom - owner.top - height) / 2;
  // Centred on a main window that was moved partly off the screen, the box could be out of
  // reach while the main window waits for it: it is kept inside the screen's work area.
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  if (GetMonitorInfoW(MonitorFromWindow(owner_, MONITOR_DEFAULTTONEAREST), &monitor)) {
    const RECT& area = monitor.rcWork;
    x = std::max<int>(area.left, std::min<int>(x, area.right - width));
    y = std::max<int>(area.top, std::min<int>(y, area.bottom - height));
  }
  SetWindowPos(hwnd_, HWND_TOP, x, y, 0, 0, SWP_NOSIZE);
}

void TAbout::ShowModal() {
  if (modal_) return;  // already up
  PlaceOverOwner();
  EnableWindow(owner_, FALSE);
  ShowWindow(hwnd_, SW_SHOW);
  SetFocus(BitBtn1);
  modal_ = true;
  MSG msg{};
  while (modal_ && GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (!IsDialogMessageW(hwnd_, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  if (msg.message == WM_QUIT && modal_) PostQuitMessage(static_cast<int>(msg.wParam));
  modal_ = false;
  pressed_ = nullptr;
  // The owner is enabled before the box goes, so that the activation falls back to it.
  EnableWindow(owner_, TRUE);
  ShowWindow(hwnd_, SW_HIDE);
  SetActiveWindow(owner_);
}

void TAbout::Close() { modal_ = false; }

void TAbout::Visited(TLinkLabel& label) {
  label.Color = kVisitedLinkColor;
  InvalidateRect(hwnd_, &label.Bounds, TRUE);
}

void TAbout::Label1Click() {
  open_(owner_, kHomePage);
  Visited(Label1);
}

void TAbout::Label2Click() {
  open_(owner_, SupportMailTo());
  Visited(Label2);
}

TLinkLabel* TAbout::LabelAt(POINT point) {
  for (TLinkLabel* label : {&Label1, &Label2})
    if (PtInRect(&label->Bounds, point)) return label;
  return nullptr;
}

void TAbout::Paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd_, &ps);
  BITMAP info{};
  if (picture_.get() != nullptr && GetObjectW(picture_.get(), sizeof info, &info) != 0) {
    // Unscaled from its top-left corner, clipped to Image1.
    MemoryDc memory(CreateCompatibleDC(dc));
    SelectedObject bitmap(memory.get(), picture_.get());
    BitBlt(dc, kImage1.left, kImage1.top, std::min<int>(info.bmWidth, kImage1.right - kImage1.left),
           std::min<int>(info.bmHeight, kImage1.bottom - kImage1.top), memory.get(), 0, 0, SRCCOPY);
  }
  SelectedObject font(dc, linkFont_.get());
  SetBkMode(dc, TRANSPARENT);
  for (TLinkLabel* label : {&Label1, &Label2}) {
    SetTextColor(dc, label->Color);
    RECT r = label->Bounds;
    const std::wstring caption = Widen(label->Caption);
    DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &r,
              DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
  }
  EndPaint(hwnd_, &ps);
}

LRESULT TAbout::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_SETCURSOR:
      // A link looks like one: the hand over a label, the class's arrow elsewhere.
      if (reinterpret_cast<HWND>(wParam) == hwnd_ && LOWORD(lParam) == HTCLIENT) {
        POINT point;
        GetCursorPos(&point);
        ScreenToClient(hwnd_, &point);
        if (LabelAt(point) != nullptr) {
          SetCursor(LoadCursorW(nullptr, IDC_HAND));
          return TRUE;
        }
      }
      break;
    case WM_LBUTTONDOWN:
      pressed_ = LabelAt(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      if (pressed_ != nullptr) SetCapture(hwnd_);
      return 0;
    case WM_LBUTTONUP: {
      // A click is a press and a release on the same label.
      TLinkLabel* pressed = pressed_;
      pressed_ = nullptr;
      if (GetCapture() == hwnd_) ReleaseCapture();
      if (pressed != nullptr &&
          LabelAt(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}) == pressed) {
        if (pressed == &Label1)
          Label1Click();
        else
          Label2Click();
      }
      return 0;
    }
    case WM_CAPTURECHANGED:
      pressed_ = nullptr;
      return 0;
    case WM_COMMAND:
      // Ok, or Escape: the dialog manager sends IDCANCEL for it, the keyboard's form of the
      // close box in every dialog.
      if (LOWORD(wParam) == kOkId || LOWORD(wParam) == IDCANCEL) Close();
      return 0;
    case WM_CLOSE:
      Close();  // the box is hidden, not destroyed, and keeps its state
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

}  // namespace morvane
