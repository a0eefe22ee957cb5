// How the main window draws its tabs and list rows.
#include "MainFrm/Appearance.h"

#include <commctrl.h>

#include <string>

#include "MainFrm/MainFrm.h"

namespace morvane {

void TMainForm::PageControl1DrawTab(const DRAWITEMSTRUCT& draw) {
  // The label is the caption of the tab's own page, which differs from the tab index while
  // some tabs are hidden.
  const int page = PageControl1->PageOfTab(static_cast<int>(draw.itemID));
  if (page < 0) return;
  const std::string& caption = PageControl1->Caption(page);
  HDC dc = draw.hDC;
  SelectedObject font(dc, tabFont_.get());
  SetTextColor(dc, kTabTextColor);
  SetBkColor(dc, kPageControlColor);
  SetBkMode(dc, OPAQUE);
  TextOutA(dc, draw.rcItem.left + 7, draw.rcItem.top + 4, caption.c_str(), static_cast<int>(caption.size()));
}

LRESULT TMainForm::ListView1CustomDrawItem(NMLVCUSTOMDRAW& draw) {
  switch (draw.nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
      return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
      draw.clrTextBk = RowColor(static_cast<int>(draw.nmcd.dwItemSpec));
      draw.clrText = RGB(0, 0, 0);
      return CDRF_DODEFAULT;
    default:
      return CDRF_DODEFAULT;
  }
}

void TMainForm::ListBoxDrawItem(const DRAWITEMSTRUCT& draw) {
  if (draw.itemID == static_cast<UINT>(-1)) return;
  HDC dc = draw.hDC;
  const int index = static_cast<int>(draw.itemID);
  const int length = static_cast<int>(SendMessageA(draw.hwndItem, LB_GETTEXTLEN, index, 0));
  std::string text(length > 0 ? static_cast<std::size_t>(length) + 1 : 1, '\0');
  if (length > 0) SendMessageA(draw.hwndItem, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
  text.resize(length > 0 ? static_cast<std::size_t>(length) : 0);

  SelectedObject font(dc, listFont_.get());
  SetBkMode(dc, OPAQUE);
  const bool selected = (draw.itemState & ODS_SELECTED) != 0;
  COLORREF textColor = selected ? GetSysColor(COLOR_HIGHLIGHTTEXT) : RGB(0, 0, 0);

  auto fill = [&](COLORREF color) {
    GdiObject<HBRUSH> brush(CreateSolidBrush(color));
    FillRect(dc, &draw.rcItem, brush.get());
    SetBkColor(dc, color);
  };
  fill(RowColor(index));
  SetTextColor(dc, textColor);
  TextOutA(dc, draw.rcItem.left, draw.rcItem.top, text.c_str(), static_cast<int>(text.size()));
  if (draw.itemState & ODS_FOCUS) {
    fill(kFocusedRowColor);
    SetTextColor(dc, kFocusedTextColor);
    TextOutA(dc, draw.rcItem.left, draw.rcItem.top, text.c_str(), static_cast<int>(text.size()));
    DrawFocusRect(dc, &draw.rcItem);
  }
}

}  // namespace morvane
