// How the main window's lists draw their rows.
#include "MainFrm/Appearance.h"

#include <string>

#include "platform/Utf.h"
#include "platform/WideText.h"
#include "platform/WinHandles.h"
#include "platform/WindowRouting.h"
#include "platform/WindowSubclass.h"

namespace morvane {

namespace {

constexpr std::size_t kMostCharactersShown = 1024;

LRESULT CALLBACK ListViewRowsProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                  UINT_PTR id, DWORD_PTR) {
  if (message == kReflected + WM_NOTIFY) {
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    if (header->code == static_cast<UINT>(NM_CUSTOMDRAW))
      return ListView1CustomDrawItem(*reinterpret_cast<NMLVCUSTOMDRAW*>(lParam));
  }
  if (message == WM_NCDESTROY) DetachSubclass(hwnd, ListViewRowsProc, id);
  return NextSubclassProc(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK ListBoxRowsProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                 DWORD_PTR rows) {
  if (message == kReflected + WM_DRAWITEM) {
    ListBoxDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam),
                    reinterpret_cast<const ListBoxRows*>(rows));
    return TRUE;
  }
  if (message == WM_NCDESTROY) DetachSubclass(hwnd, ListBoxRowsProc, id);
  return NextSubclassProc(hwnd, message, wParam, lParam);
}

}  // namespace

void DrawRowsAlternately(HWND listView) { AttachSubclass(listView, ListViewRowsProc, 0, 0); }

void DrawListBoxRows(HWND listBox, const ListBoxRows* rows) {
  // The list box asked its parent for the row height while it was being created, before this
  // code could answer; the height is set here instead.
  SendMessageW(listBox, LB_SETITEMHEIGHT, 0, kListRowHeight);
  AttachSubclass(listBox, ListBoxRowsProc, 0, reinterpret_cast<DWORD_PTR>(rows));
}

LRESULT ListView1CustomDrawItem(NMLVCUSTOMDRAW& draw) {
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

void ListBoxDrawItem(const DRAWITEMSTRUCT& draw, const ListBoxRows* rows) {
  if (draw.itemID == static_cast<UINT>(-1)) return;
  HDC dc = draw.hDC;
  const int index = static_cast<int>(draw.itemID);
  // A row is 673 pixels wide: no more characters than these ever show in it.
  std::wstring text;
  if (rows != nullptr) {
    const std::string_view row = rows->RowText(draw.itemData);
    text = Widen(row.substr(0, CharacterPrefix(row, kMostCharactersShown)));
  } else {
    const LRESULT length = SendMessageW(draw.hwndItem, LB_GETTEXTLEN, index, 0);
    if (length > 0) {
      text.assign(static_cast<std::size_t>(length) + 1, L'\0');
      const LRESULT copied =
          SendMessageW(draw.hwndItem, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
      text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    }
    if (text.size() > kMostCharactersShown) text.resize(kMostCharactersShown);
  }

  SelectedObject font(dc, reinterpret_cast<HFONT>(SendMessageW(draw.hwndItem, WM_GETFONT, 0, 0)));
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
  TextOutW(dc, draw.rcItem.left, draw.rcItem.top, text.data(), static_cast<int>(text.size()));
  if (draw.itemState & ODS_FOCUS) {
    fill(kFocusedRowColor);
    SetTextColor(dc, kFocusedTextColor);
    TextOutW(dc, draw.rcItem.left, draw.rcItem.top, text.data(), static_cast<int>(text.size()));
    DrawFocusRect(dc, &draw.rcItem);
  }
}

}  // namespace morvane
