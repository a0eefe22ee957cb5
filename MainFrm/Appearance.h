// Colours of the main window's pale green and white scheme.
#pragma once

#include <windows.h>

namespace morvane {

inline constexpr COLORREF kPageControlColor = RGB(235, 255, 230);  // page control and tab labels
inline constexpr COLORREF kEvenRowColor = RGB(244, 255, 236);      // rows 0, 2, 4 ... and the status line
inline constexpr COLORREF kOddRowColor = RGB(255, 255, 255);
inline constexpr COLORREF kFocusedRowColor = RGB(0, 179, 0);
inline constexpr COLORREF kFocusedTextColor = RGB(255, 255, 255);
inline constexpr COLORREF kTabTextColor = RGB(0, 0, 0);
inline constexpr int kListRowHeight = 16;

inline COLORREF RowColor(int index) { return index % 2 == 0 ? kEvenRowColor : kOddRowColor; }

}  // namespace morvane
