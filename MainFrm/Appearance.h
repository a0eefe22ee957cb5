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
// The texts of an owner-drawn list box that keeps no strings (no LBS_HASSTRINGS): its owner keeps
// them, and the rows are drawn from that copy. Nothing then reads a row's text back from the list
// box, whose ANSI text messages pass through fixed-size buffers on some systems.
class ListBoxRows {
 public:
  virtual ~ListBoxRows() = default;
  // The text of the row at index; empty for a row it does not know.
  virtual std::string_view RowText(int index) const = 0;
};

// Makes an owner-drawn list box (LBS_OWNERDRAWFIXED) draw its rows: 16 pixels high, alternating
// colours, the focused row white on green. The texts are the list box's own strings
// (LBS_HASSTRINGS) or, when rows is given, those rows; rows must outlive the list box.
void DrawListBoxRows(HWND listBox, const ListBoxRows* rows = nullptr);

// The row drawing itself, for one row.
LRESULT ListView1CustomDrawItem(NMLVCUSTOMDRAW& draw);
void ListBoxDrawItem(const DRAWITEMSTRUCT& draw,
                     const ListBoxRows* rows = nullptr);  // ListBox1 and ListBox2 draw alike

}  // namespace morvane
