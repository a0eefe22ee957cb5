#include "MainFrm/PageControl.h"

#include <commctrl.h>

#include "MainFrm/Appearance.h"
#include "platform/WideText.h"
#include "platform/WindowClass.h"
#include "platform/WindowRouting.h"
#include "platform/WindowSubclass.h"

namespace morvane {

namespace {

// Sheets give their children's drawing back to the children and hand the rest of what they
// report up to the window that owns the page control.
LRESULT CALLBACK SheetProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT reflected = 0;
  if (ReflectToChild(message, wParam, lParam, reflected)) return reflected;
  switch (message) {
    case WM_COMMAND:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSTATIC:
      return SendMessageW(GetParent(hwnd), message, wParam, lParam);
    case WM_ERASEBKGND: {
      RECT r;
      GetClientRect(hwnd, &r);
      FillRect(reinterpret_cast<HDC>(wParam), &r,
               reinterpret_cast<HBRUSH>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)));
      return 1;
    }
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

}  // namespace

LRESULT CALLBACK TPageControl::TabsProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                        UINT_PTR, DWORD_PTR self) {
  TPageControl& control = *reinterpret_cast<TPageControl*>(self);
  switch (message) {
    case WM_ERASEBKGND: {
      // The tab strip takes the page control's colour instead of the button face.
      RECT r;
      GetClientRect(hwnd, &r);
      FillRect(reinterpret_cast<HDC>(wParam), &r, control.background_.get());
      return 1;
    }
    case kReflected + WM_DRAWITEM:
      control.DrawTab(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case kReflected + WM_NOTIFY:
      if (reinterpret_cast<const NMHDR*>(lParam)->code == static_cast<UINT>(TCN_SELCHANGE)) {
        const int page = control.PageOfTab(TabCtrl_GetCurSel(hwnd));
        if (page >= 0) control.SelectPage(page);
      }
      return 0;
    default:
      return NextSubclassProc(hwnd, message, wParam, lParam);
  }
}

TPageControl::TPageControl(HWND parent, int left, int top, int width, int height,
                           COLORREF background)
    : parent_(parent), backgroundColor_(background), background_(CreateSolidBrush(background)) {
  RegisterWindowClass({SheetClassName(), SheetProc});
  tabs_ = CreateWindowExW(
      0, WC_TABCONTROLW, L"",
      WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS | TCS_MULTILINE | TCS_OWNERDRAWFIXED,
      left, top, width, height, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
  AttachSubclass(tabs_, TabsProc, 1, reinterpret_cast<DWORD_PTR>(this));
}

TPageControl::~TPageControl() {
  for (Page& page : pages_) DestroyWindow(page.sheet);
  DetachSubclass(tabs_, TabsProc, 1);
  DestroyWindow(tabs_);
}

RECT TPageControl::SheetRect() const {
  RECT r;
  GetClientRect(tabs_, &r);
  TabCtrl_AdjustRect(tabs_, FALSE, &r);
  MapWindowPoints(tabs_, parent_, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

HWND TPageControl::AddPage(const std::string& caption) {
  Page page;
  page.caption = caption;
  pages_.push_back(page);
  RebuildTabs();
  const RECT r = SheetRect();
  pages_.back().sheet =
      CreateWindowExW(WS_EX_CONTROLPARENT, SheetClassName(), Widen(caption).c_str(),
                      WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, r.left, r.top, r.right - r.left,
                      r.bottom - r.top, parent_, nullptr, GetModuleHandleW(nullptr), nullptr);
  SetWindowLongPtrW(pages_.back().sheet, GWLP_USERDATA,
                    reinterpret_cast<LONG_PTR>(background_.get()));
  // Sheets lie directly above the tab control, below everything created later.
  SetWindowPos(pages_.back().sheet, tabs_, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  SetWindowPos(tabs_, pages_.back().sheet, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  return pages_.back().sheet;
}

int TPageControl::TabCount() const { return TabCtrl_GetItemCount(tabs_); }

int TPageControl::PageOfTab(int tab) const {
  TCITEMW item{};
  item.mask = TCIF_PARAM;
  if (!SendMessageW(tabs_, TCM_GETITEMW, tab, reinterpret_cast<LPARAM>(&item))) return -1;
  return static_cast<int>(item.lParam);
}

void TPageControl::RebuildTabs() {
  // Taking its items away makes the control invalidate all of itself, pane and frame, and
  // repainting those costs many times more than the row of tabs that changes. So its drawing is
  // held off, and afterwards only the row is repainted, with whatever was waiting to be
  // repainted before.
  auto paneTop = [this] {
    RECT pane;
    GetClientRect(tabs_, &pane);
    TabCtrl_AdjustRect(tabs_, FALSE, &pane);
    return pane.top;
  };
  const LONG paneTopBefore = paneTop();
  GdiObject<HRGN> waiting(CreateRectRgn(0, 0, 0, 0));
  const int waited = GetUpdateRgn(tabs_, waiting.get(), FALSE);
  SendMessageW(tabs_, WM_SETREDRAW, FALSE, 0);
  SendMessageW(tabs_, TCM_DELETEALLITEMS, 0, 0);
  int tab = 0;
  for (int i = 0; i < PageCount(); ++i) {
    if (!pages_[i].tabVisible) continue;
    std::wstring caption = Widen(pages_[i].caption);
    TCITEMW item{};
    item.mask = TCIF_TEXT | TCIF_PARAM;
    item.pszText = caption.data();
    item.lParam = i;
    SendMessageW(tabs_, TCM_INSERTITEMW, tab, reinterpret_cast<LPARAM>(&item));
    if (i == active_) TabCtrl_SetCurSel(tabs_, tab);
    ++tab;
  }
  SendMessageW(tabs_, WM_SETREDRAW, TRUE, 0);
  // A new number of rows moves the pane: then all of it is repainted after all.
  if (paneTop() != paneTopBefore) {
    InvalidateRect(tabs_, nullptr, TRUE);
    return;
  }
  RECT strip;
  GetClientRect(tabs_, &strip);
  strip.bottom = paneTop();
  ValidateRect(tabs_, nullptr);
  if (waited != NULLREGION && waited != ERROR) InvalidateRgn(tabs_, waiting.get(), TRUE);
  InvalidateRect(tabs_, &strip, TRUE);
}

void TPageControl::SetTabVisible(int page, bool visible) {
  if (pages_[page].tabVisible == visible) return;
  pages_[page].tabVisible = visible;
  RebuildTabs();
}

void TPageControl::ShowSheet(int page) {
  for (int i = 0; i < PageCount(); ++i)
    if (i != page) ShowWindow(pages_[i].sheet, SW_HIDE);
  ShowWindow(pages_[page].sheet, SW_SHOW);
}

bool TPageControl::SelectPage(int page) {
  if (page < 0 || page >= PageCount() || !pages_[page].tabVisible || page == active_) return false;
  active_ = page;
  for (int tab = 0; tab < TabCount(); ++tab)
    if (PageOfTab(tab) == page) TabCtrl_SetCurSel(tabs_, tab);
  ShowSheet(page);
  if (OnShow) OnShow(page);
  return true;
}

void TPageControl::DrawTab(const DRAWITEMSTRUCT& draw) {
  const int page = PageOfTab(static_cast<int>(draw.itemID));
  if (page < 0) return;
  const std::wstring caption = Widen(Caption(page));
  HDC dc = draw.hDC;
  SelectedObject font(dc, reinterpret_cast<HFONT>(SendMessageW(tabs_, WM_GETFONT, 0, 0)));
  SetTextColor(dc, kTabTextColor);
  SetBkColor(dc, backgroundColor_);
  SetBkMode(dc, OPAQUE);
  TextOutW(dc, draw.rcItem.left + 7, draw.rcItem.top + 4, caption.c_str(),
           static_cast<int>(caption.size()));
}

}  // namespace morvane
