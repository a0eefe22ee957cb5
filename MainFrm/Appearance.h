// The main window's pale green and white scheme, and the drawing of its list rows. Each list
// draws its own rows: its parent reflects the draw messages back to it (see ReflectToChild).
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string_view>

namespace morvane {

inline constexpr COLORREF kPageControlColor = RGB(235, 255, 230);  // page control and tab labels
inline constexpr COLORREF kEvenRowColor =
    RGB(244, 255, 236);  // rows 0, 2, 4 ... and the status line
inline constexpr COLORREF kOddRowColor = RGB(255, 255, 255);
inline constexpr COLORREF kFocusedRowColor = RGB(0, 179, 0);
inline constexpr COLORREF kFocusedTextColor = RGB(255, 255, 255);
inline constexpr COLORREF kTabTextColor = RGB(0, 0, 0);
inline constexpr int kListRowHeight = 16;

inline COLORREF RowColor(int index) { return index % 2 == 0 ? kEvenRowColor : kOddRowColor; }

// Makes a report-view list paint its rows in alternating colours, black text on each.
void DrawRowsAlternately(HWND listView);
// The texts of an owner-drawn list box whose owner keeps them whole: each row is drawn from that
// copy, found by the row's item data, while the list box's own string may be a shortened one.
class ListBoxRows {
 public:
  virtual ~ListBoxRows() = default;
  // The text of the row whose item data is item; empty for an item it does not know.
  virtual std::string_view RowText(ULONG_PTR item) const = 0;
};

// Makes an owner-drawn list box (LBS_OWNERDRAWFIXED) draw its rows: 16 pixels high, alternating
// colours, the focused row white on green. The texts are the list box's own strings or, when rows
// is given, those rows; rows must outlive the list box.
void DrawListBoxRows(HWND listBox, const ListBoxRows* rows = nullptr);

// The row drawing itself, for one row.
LRESULT ListView1CustomDrawItem(NMLVCUSTOMDRAW& draw);
void ListBoxDrawItem(const DRAWITEMSTRUCT& draw,
                     const ListBoxRows* rows = nullptr);  // ListBox1 and ListBox2 draw alike

}  // namespace morvane
