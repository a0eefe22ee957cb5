#include "AboutU/About.h"

#include "platform/WindowClass.h"
#include "platform/WindowRouting.h"

namespace morvane {

TAbout* About = nullptr;

namespace {

constexpr int kClientWidth = 221;
constexpr int kClientHeight = 230;
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME;
constexpr int kOkId = 1;

}  // namespace

TAbout::TAbout(HWND owner) : owner_(owner) {
  WindowClassSpec spec{ClassName(), &RouteToObject<TAbout>};
  spec.background = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  RegisterWindowClass(spec);
  RECT frame{0, 0, kClientWidth, kClientHeight};
  AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
  hwnd_ = CreateWindowExA(kExStyle, ClassName(), "About Morvane", kStyle, 0, 0, frame.right - frame.left,
                          frame.bottom - frame.top, owner, nullptr, GetModuleHandleA(nullptr), this);
  font_.reset(CreateFontA(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                          CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "MS Sans Serif"));
  ok_ = CreateWindowExA(0, "BUTTON", "Ok", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 77, 177, 75,
                        25, hwnd_, reinterpret_cast<HMENU>(kOkId), GetModuleHandleA(nullptr), nullptr);
  SendMessageA(ok_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
  About = this;
}

TAbout::~TAbout() {
  if (hwnd_ != nullptr && IsWindow(hwnd_)) {
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
  if (About == this) About = nullptr;
}

void TAbout::ShowModal() {
  RECT owner, box;
  GetWindowRect(owner_, &owner);
  GetWindowRect(hwnd_, &box);
  const int width = box.right - box.left, height = box.bottom - box.top;
  SetWindowPos(hwnd_, HWND_TOP, owner.left + (owner.right - owner.left - width) / 2,
               owner.top + (owner.bottom - owner.top - height) / 2, 0, 0, SWP_NOSIZE);
  EnableWindow(owner_, FALSE);
  ShowWindow(hwnd_, SW_SHOW);
  SetFocus(ok_);
  modal_ = true;
  MSG msg;
  while (modal_ && GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (!IsDialogMessageA(hwnd_, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  if (msg.message == WM_QUIT && modal_) PostQuitMessage(static_cast<int>(msg.wParam));
  modal_ = false;
  EnableWindow(owner_, TRUE);
  ShowWindow(hwnd_, SW_HIDE);
  SetActiveWindow(owner_);
}

void TAbout::Close() { modal_ = false; }

LRESULT TAbout::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wParam) == kOkId || LOWORD(wParam) == IDCANCEL) Close();
      return 0;
    case WM_CLOSE:
      Close();  // the box is hidden, not destroyed, and keeps its state
      return 0;
    default:
      return DefWindowProcA(hwnd_, message, wParam, lParam);
  }
}

}  // namespace morvane
