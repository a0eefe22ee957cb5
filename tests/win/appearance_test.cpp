// The main window's lists and tab strip draw themselves: row colours by parity, the list-box
// row height, and tab labels written in black, each seen as pixels on the screen.
#include <windows.h>
#include <commctrl.h>

#include "MainFrm/Appearance.h"
#include "tests/win/main_window_fixture.h"

namespace morvane {
namespace {

COLORREF PixelAt(HWND hwnd, int x, int y) {
  WindowDc dc(hwnd);
  return GetPixel(dc.get(), x, y);
}

// Whether any pixel inside the rectangle (less a margin of three pixels) is black.
bool HasBlackInside(HWND hwnd, RECT r) {
  WindowDc dc(hwnd);
  for (int y = r.top + 3; y < r.bottom - 3; ++y)
    for (int x = r.left + 3; x < r.right - 3; ++x)
      if (GetPixel(dc.get(), x, y) == RGB(0, 0, 0)) return true;
  return false;
}

void Repaint(TMainForm& f, HWND hwnd) {
  RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  Pump(f, 50);
}

TEST_F(MainWindowTest, ListsAndTabsDrawTheirOwnRowsAndLabels) {
  TMainForm& f = Form();

  // Findings rows: pale green, white, pale green, behind the texts of every column.
  for (const char* name : {".a", ".b", ".c"}) f.AddFinding({"Incorrect expansion", name, "HKCR", "\\x", ""});
  Repaint(f, f.ListView1);
  for (int row = 0; row < 3; ++row) {
    RECT cell;
    ASSERT_TRUE(ListView_GetSubItemRect(f.ListView1, row, 2, LVIR_LABEL, &cell));
    EXPECT_EQ(PixelAt(f.ListView1, cell.right - 3, (cell.top + cell.bottom) / 2), RowColor(row)) << row;
  }

  // Tab labels are written in black on every tab, hidden tabs or not.
  Repaint(f, f.PageControl1->Handle());
  for (int tab = 0; tab < 3; ++tab) {
    RECT r;
    ASSERT_TRUE(TabCtrl_GetItemRect(f.PageControl1->Handle(), tab, &r));
    EXPECT_TRUE(HasBlackInside(f.PageControl1->Handle(), r)) << tab;
  }

  // List-box rows: 16 pixels high, alternating colours across the whole row.
  ASSERT_TRUE(ClickTab(f, "Unnecessary files"));
  // Showing the page collects the prefix's files; the rows below come after that.
  ASSERT_TRUE(PumpUntil(f, [&] { return !f.FilesPage().Collecting(); }));
  Pump(f);
  for (const char* line : {"one", "two", "three"})
    SendMessageA(f.ListBox1, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
  EXPECT_EQ(SendMessageA(f.ListBox1, LB_GETITEMHEIGHT, 0, 0), kListRowHeight);
  Repaint(f, f.ListBox1);
  for (int row = 0; row < 3; ++row) {
    RECT r;
    ASSERT_NE(SendMessageA(f.ListBox1, LB_GETITEMRECT, row, reinterpret_cast<LPARAM>(&r)), LB_ERR);
    EXPECT_EQ(r.bottom - r.top, kListRowHeight);
    EXPECT_EQ(PixelAt(f.ListBox1, r.right - 3, (r.top + r.bottom) / 2), RowColor(row)) << row;
  }
  // The focused row of a list that has the focus: white on green.
  SetForegroundWindow(f.Handle());
  SetFocus(f.ListBox1);
  ASSERT_TRUE(PumpUntil(f, [&] { return GetFocus() == f.ListBox1; })) << "the list never took the focus";
  SendMessageA(f.ListBox1, LB_SETCURSEL, 1, 0);
  Repaint(f, f.ListBox1);
  RECT focused;
  SendMessageA(f.ListBox1, LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&focused));
  EXPECT_EQ(PixelAt(f.ListBox1, focused.right - 3, (focused.top + focused.bottom) / 2), kFocusedRowColor);
}

}  // namespace
}  // namespace morvane
