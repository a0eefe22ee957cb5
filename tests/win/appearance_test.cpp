// The main window's lists and tab strip draw themselves: row colours by parity in all three
// lists, the list-box row height, the focused and the selected row, the status line's colour,
// and tab labels written at their place in black, each seen as pixels on the screen.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "MainFrm/Appearance.h"
#include "platform/WideText.h"
#include "platform/WindowRouting.h"
#include "platform/WindowSubclass.h"
#include "tests/native/fake_file_tree.h"
#include "tests/win/main_window_fixture.h"

namespace morvane {
namespace {

void Repaint(TMainForm& f, HWND hwnd) {
  RedrawWindow(hwnd, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  Pump(f, 50);
}

// The rectangle each tab was last given to draw its label in, by tab index, as the tab strip
// handed it over.
std::map<int, RECT> tabDrawn;

LRESULT CALLBACK SeeTabDrawing(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                               DWORD_PTR) {
  if (message == kReflected + WM_DRAWITEM) {
    const auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
    tabDrawn[static_cast<int>(draw->itemID)] = draw->rcItem;
  }
  return NextSubclassProc(hwnd, message, wParam, lParam);
}

// Every tab shown reads the caption of its own page: the strip is repainted and each label is
// compared, pixel for pixel, with the caption written in black in the strip's font at (7, 4) of
// the tab's drawing rectangle on the page control's colour.
void ExpectTabLabels(TMainForm& f, const std::vector<std::string>& captions) {
  HWND tabs = f.PageControl1->Handle();
  ASSERT_EQ(TabCaptions(f), captions);
  tabDrawn.clear();
  AttachSubclass(tabs, SeeTabDrawing, 7, 0);
  Repaint(f, tabs);
  DetachSubclass(tabs, SeeTabDrawing, 7);
  WindowDc screen(tabs);
  MemoryDc memory(CreateCompatibleDC(screen.get()));
  for (int tab = 0; tab < static_cast<int>(captions.size()); ++tab) {
    ASSERT_EQ(tabDrawn.count(tab), 1u) << "tab " << tab << " was not drawn";
    const RECT r = tabDrawn[tab];
    const int width = r.right - r.left, height = r.bottom - r.top;
    GdiObject<HBITMAP> canvas(CreateCompatibleBitmap(screen.get(), width, height));
    SelectedObject selected(memory.get(), canvas.get());
    SelectedObject font(memory.get(),
                        reinterpret_cast<HFONT>(SendMessageW(tabs, WM_GETFONT, 0, 0)));
    GdiObject<HBRUSH> background(CreateSolidBrush(kPageControlColor));
    RECT all{0, 0, width, height};
    FillRect(memory.get(), &all, background.get());
    SetTextColor(memory.get(), kTabTextColor);
    SetBkColor(memory.get(), kPageControlColor);
    SetBkMode(memory.get(), OPAQUE);
    const std::string& text = captions[static_cast<std::size_t>(tab)];
    const std::wstring wide = Widen(text);
    TextOutW(memory.get(), 7, 4, wide.c_str(), static_cast<int>(wide.size()));
    SIZE extent;
    GetTextExtentPoint32W(memory.get(), wide.c_str(), static_cast<int>(wide.size()), &extent);
    int black = 0, differing = 0;
    for (int y = 4; y < std::min<int>(4 + extent.cy, height); ++y)
      for (int x = 7; x < std::min<int>(7 + extent.cx, width); ++x) {
        const COLORREF expected = GetPixel(memory.get(), x, y);
        black += expected == RGB(0, 0, 0);
        differing += GetPixel(screen.get(), r.left + x, r.top + y) != expected;
      }
    EXPECT_GT(black, 20) << text;
    EXPECT_EQ(differing, 0) << "tab " << tab << " does not read \"" << text << "\" at (7, 4)";
  }
}

// The colour at the far right of each row, away from its text.
void ExpectRowColours(HWND list, const std::vector<COLORREF>& colours, bool listView = false) {
  for (int row = 0; row < static_cast<int>(colours.size()); ++row) {
    RECT r;
    if (listView) {
      ASSERT_TRUE(ListView_GetSubItemRect(list, row, 2, LVIR_LABEL, &r));
    } else {
      ASSERT_NE(SendMessageW(list, LB_GETITEMRECT, row, reinterpret_cast<LPARAM>(&r)), LB_ERR);
      EXPECT_EQ(r.bottom - r.top, kListRowHeight);
    }
    EXPECT_EQ(PixelAt(list, r.right - 3, (r.top + r.bottom) / 2),
              colours[static_cast<std::size_t>(row)])
        << "row " << row;
  }
}

const std::vector<COLORREF> kParity = {RowColor(0), RowColor(1), RowColor(2)};

TEST_F(MainWindowTest, RowsTheStatusLineAndTheTabLabelsTakeTheirColours) {
  TMainForm& f = Form();
  EXPECT_EQ(kParity,
            (std::vector<COLORREF>{RGB(244, 255, 236), RGB(255, 255, 255), RGB(244, 255, 236)}));
  for (const char* name : {".a", ".b", ".c"})
    f.AddFinding({"Incorrect expansion", name, "HKCR", "\\x", ""});
  Repaint(f, f.ListView1);
  ExpectRowColours(f.ListView1, kParity, true);
  RECT panel;
  GetClientRect(f.Panel1, &panel);
  EXPECT_EQ(CountColour(f.Panel1, panel, RGB(244, 255, 236)), panel.right * panel.bottom);

  // Each tab shown carries its own page's label, whichever tabs are left (a tool running shows
  // only its page's tab).
  TPageControl& pages = *f.PageControl1;
  const std::vector<std::vector<bool>> shown = {{true, false, false},
                                                {false, true, false},
                                                {false, false, true},
                                                {true, false, true},
                                                {true, true, true}};
  for (const std::vector<bool>& visible : shown) {
    std::vector<std::string> captions;
    for (int page = 0; page < 3; ++page) {
      pages.SetTabVisible(page, visible[page]);
      if (visible[page]) captions.push_back(pages.Caption(page));
    }
    ExpectTabLabels(f, captions);
  }

  // The unnecessary-files list: two files, then the three closing lines.
  FakeFileTree files;
  FakeSystemFolders folders;
  files.roots = {"C:\\Users\\me\\Temp", "C:\\Windows"};
  files.AddFile("C:\\Users\\me\\Temp\\a.tmp", 1 << 20);
  files.AddFile("C:\\Users\\me\\Temp\\b.tmp", 1 << 20);
  f.Services.Tree = &files;
  f.Services.Folders = &folders;
  ASSERT_TRUE(ClickTab(f, "Unnecessary files"));
  ASSERT_TRUE(PumpUntil(f, [&] { return !f.FilesPage().Collecting(); }));
  ASSERT_EQ(SendMessageW(f.ListBox1, LB_GETCOUNT, 0, 0), 5);
  Repaint(f, f.ListBox1);
  ExpectRowColours(f.ListBox1, {RowColor(0), RowColor(1), RowColor(2), RowColor(3), RowColor(4)});
}

TEST_F(MainWindowTest, ProgramRowsAlternateAndTheFocusedRowIsWhiteOnGreen) {
  for (const char* name : {"Alpha", "Beta", "Gamma"}) {
    const std::string key = kUninstallPath + std::string("\\") + name;
    mem_.AddKey(RootKey::LocalMachine, key);
    mem_.AddText(RootKey::LocalMachine, key, kDisplayName, name);
    mem_.AddText(RootKey::LocalMachine, key, kUninstallString, "un.exe");
  }
  TMainForm& f = Form();
  PressShortcut(f, 'D', true);
  ASSERT_EQ(SendMessageW(f.ListBox2, LB_GETCOUNT, 0, 0), 3);
  Repaint(f, f.ListBox2);
  ExpectRowColours(f.ListBox2, kParity);
  RECT row0, row2;
  SendMessageW(f.ListBox2, LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row0));
  SendMessageW(f.ListBox2, LB_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&row2));
  EXPECT_GT(CountColour(f.ListBox2, row0, RGB(0, 0, 0)), 10);  // black text

  // A click on a row of the list that has the focus: white on green, in a dotted frame.
  SetForegroundWindow(f.Handle());
  SetFocus(f.ListBox2);
  ASSERT_TRUE(PumpUntil(f, [&] { return GetFocus() == f.ListBox2; }))
      << "the list never took the focus";
  const POINT at{(row2.left + row2.right) / 2, (row2.top + row2.bottom) / 2};
  PostMessageW(f.ListBox2, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
  PostMessageW(f.ListBox2, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
  Pump(f, 50);
  ASSERT_EQ(SendMessageW(f.ListBox2, LB_GETCURSEL, 0, 0), 2);
  EXPECT_EQ(PixelAt(f.ListBox2, row2.right - 3, (row2.top + row2.bottom) / 2), kFocusedRowColor);
  EXPECT_GT(CountColour(f.ListBox2, row2, kFocusedTextColor), 10);
  EXPECT_EQ(CountColour(f.ListBox2, row2, RGB(0, 0, 0)), 0);
  const RECT frameTop{row2.left, row2.top, row2.right, row2.top + 1};
  EXPECT_GT(CountColour(f.ListBox2, frameTop, kFocusedRowColor), 10);  // dotted: some green ...
  EXPECT_LT(CountColour(f.ListBox2, frameTop, kFocusedRowColor),
            row2.right - row2.left - 10);  // ... not all
  ExpectRowColours(f.ListBox2, {RowColor(0), RowColor(1)});
  EXPECT_EQ(GetFocus(), f.ListBox2) << "the list lost the focus while its rows were read";

  // Without the focus the selected row keeps its parity colour, written in the highlight-text
  // colour.
  SetFocus(f.PageControl1->Handle());
  ASSERT_TRUE(PumpUntil(f, [&] { return GetFocus() != f.ListBox2; }));
  Repaint(f, f.ListBox2);
  ExpectRowColours(f.ListBox2, kParity);
  EXPECT_GT(CountColour(f.ListBox2, row2, GetSysColor(COLOR_HIGHLIGHTTEXT)), 10);
  EXPECT_EQ(CountColour(f.ListBox2, row2, RGB(0, 0, 0)), 0);
  EXPECT_EQ(CountColour(f.ListBox2, row2, kFocusedRowColor), 0);
}

}  // namespace
}  // namespace morvane
