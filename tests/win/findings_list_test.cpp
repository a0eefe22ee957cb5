// The findings list in the real window: a large hand-over from the scan is applied a slice at a
// time, in scan order, and the columns fit their texts as the list control itself fits them; the
// list holds nothing of its rows, yet shows and takes their texts and check boxes as its own.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "tests/win/main_window_fixture.h"

namespace morvane {
namespace {

class FindingsListTest : public MainWindowTest {
 protected:
  void SetUp() override {}  // no seeded rows: each test seeds its own
  static std::string Text(int k, int v) {
    return "C:\\Gone\\k" + std::to_string(10000 + k) + "\\file" + std::to_string(v) + ".exe -u";
  }
  // Widths of the four columns.
  static std::vector<int> Widths(HWND list) {
    std::vector<int> widths;
    for (int c = 0; c < 4; ++c) widths.push_back(ListView_GetColumnWidth(list, c));
    return widths;
  }
  // What the control itself makes of the columns for the rows it holds now.
  static std::vector<int> ControlFit(HWND list) {
    for (int c = 0; c < 4; ++c) ListView_SetColumnWidth(list, c, LVSCW_AUTOSIZE_USEHEADER);
    return Widths(list);
  }
  // The dark pixels in a row's check box as the list draws it.
  static int DarkPixelsOfBox(TMainForm& f, int row) {
    const POINT p = CheckBoxOf(f.ListView1, row);
    Repaint(f);
    int dark = 0;
    for (int y = p.y - 5; y <= p.y + 5; ++y)
      for (int x = p.x; x < p.x + 11; ++x)
        if (GetGValue(PixelAt(f.ListView1, x, y)) < 100) ++dark;
    return dark;
  }
  static void Repaint(TMainForm& f) {
    RedrawWindow(f.ListView1, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    Pump(f);
  }
};

TEST_F(FindingsListTest, LargeHandOverIsAppliedInSlicesInScanOrder) {
  constexpr int kKeys = 2000, kValues = 10;
  for (int k = 0; k < kKeys; ++k)
    for (int v = 0; v < kValues; ++v)
      mem_.AddText(RootKey::CurrentUser, "SOFTWARE\\Many\\k" + std::to_string(10000 + k),
                   "v" + std::to_string(v), Text(k, v));
  TMainForm& f = Form();

  // Start, and let the scan run ahead until about as many findings wait as the hand-over holds
  // (it waits at 1024) before the window takes any of them.
  std::atomic<bool> ahead{false};
  mem_.hook = [&](const std::string& op, const std::string& path) {
    if (op == "open" && path == "\\SOFTWARE\\Many\\k10102") ahead = true;
  };
  f.ZelButton1Click();
  ASSERT_TRUE(f.FCleanThread);
  while (!ahead) std::this_thread::yield();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  // Now one message at a time, noting how many rows each hand-over turn adds.
  std::vector<int> added;
  MSG msg;
  while (!ScanEnded(f) && std::chrono::steady_clock::now() < deadline) {
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) continue;
    const int before = ListViewRows(f.ListView1);
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    if (msg.message == TMainForm::kScanQueueMessage && ListViewRows(f.ListView1) > before)
      added.push_back(ListViewRows(f.ListView1) - before);
  }
  ASSERT_TRUE(ScanEnded(f));
  // The window came back to its message loop between slices instead of taking all at once.
  EXPECT_GT(added.size(), 1u);
  for (int rows : added) EXPECT_LT(rows, kKeys * kValues);

  ASSERT_EQ(ListViewRows(f.ListView1), kKeys * kValues);
  ASSERT_EQ(f.Findings().size(), static_cast<std::size_t>(kKeys * kValues));
  for (int i = 0; i < kKeys * kValues; ++i) {
    ASSERT_EQ(f.Findings()[i].parameter, Text(i / kValues, i % kValues)) << i;
    ASSERT_EQ(f.Findings()[i].valueName, "v" + std::to_string(i % kValues)) << i;
  }
  for (int row : {0, 1, 12345, kKeys * kValues - 1}) {
    EXPECT_EQ(ListViewText(f.ListView1, row, 1), f.Findings()[row].parameter);
    EXPECT_EQ(ListViewText(f.ListView1, row, 3), f.Findings()[row].keyPath);
  }
  EXPECT_EQ(f.StatusText(), kStatusCompleted);
  EXPECT_TRUE(f.ZelButton3->Enabled());
}

TEST_F(FindingsListTest, ColumnsFitTheirTextsAsTheControlFitsThem) {
  mem_.AddKey(RootKey::ClassesRoot, ".empty");
  mem_.AddText(RootKey::CurrentUser, "SOFTWARE\\Short", "a", "C:\\x.exe");
  mem_.AddText(RootKey::CurrentUser, "SOFTWARE\\A rather longer key name\\with more below it", "b",
               "C:\\Program Files\\Some Vendor\\Some Product\\bin\\a long file name.exe -u");
  mem_.AddText(RootKey::LocalMachine, "SOFTWARE\\Mid", "c", "C:\\Mid\\WWWWWWWWWWWW.dll,0");
  TMainForm& f = Form();
  const std::vector<int> empty = Widths(f.ListView1);

  ClickWindow(f, f.ZelButton1->Handle());
  ASSERT_TRUE(PumpUntil(f, [&] { return ScanEnded(f); }));
  ASSERT_EQ(ListViewRows(f.ListView1), 4);
  const std::vector<int> fitted = Widths(f.ListView1);
  EXPECT_GT(fitted[1], empty[1]);
  EXPECT_EQ(fitted, ControlFit(f.ListView1));

  // A new scan starts from an empty list: the long texts are gone, and so is their width.
  mem_.RemoveKey(RootKey::CurrentUser, "SOFTWARE\\A rather longer key name");
  ClickWindow(f, f.ZelButton1->Handle());
  ASSERT_TRUE(PumpUntil(f, [&] { return ScanEnded(f); }));
  ASSERT_EQ(ListViewRows(f.ListView1), 3);
  const std::vector<int> refitted = Widths(f.ListView1);
  EXPECT_LT(refitted[1], fitted[1]);
  EXPECT_EQ(refitted, ControlFit(f.ListView1));
}

TEST_F(FindingsListTest, RowsShowAndTakeTheirTextsAndCheckBoxes) {
  TMainForm& f = Form();
  const std::string longKey = "\\SOFTWARE\\" + std::string(1500, 'k');
  f.AddFinding({"Incorrect expansion", ".x", "HKCR", "\\.x", ""});
  f.AddFinding({"The incorrect reference to a file", "C:\\Gone\\a.exe", "HKCU", longKey, "v"});
  f.AddFinding({"Incorrect expansion", ".y", "HKCR", "\\.y", ""});
  EXPECT_EQ(ListViewText(f.ListView1, 1, 0), "The incorrect reference to a file");
  EXPECT_EQ(ListViewText(f.ListView1, 1, 1), "C:\\Gone\\a.exe");
  EXPECT_EQ(ListViewText(f.ListView1, 1, 2), "HKCU");
  EXPECT_EQ(ListViewText(f.ListView1, 1, 3), longKey);
  EXPECT_EQ(ListViewText(f.ListView1, 2, 3), "\\.y");

  // A click on a check box checks its row and shows it checked; a second click unchecks it.
  const int unchecked = DarkPixelsOfBox(f, 1);
  const POINT box = CheckBoxOf(f.ListView1, 1);
  ClickAt(f, f.ListView1, box.x, box.y);
  EXPECT_TRUE(ListViewChecked(f.ListView1, 1));
  EXPECT_FALSE(ListViewChecked(f.ListView1, 0));
  EXPECT_FALSE(ListViewChecked(f.ListView1, 2));
  EXPECT_GT(DarkPixelsOfBox(f, 1), unchecked + 3);
  ClickAt(f, f.ListView1, box.x, box.y);
  EXPECT_FALSE(ListViewChecked(f.ListView1, 1));
  EXPECT_EQ(DarkPixelsOfBox(f, 1), unchecked);
  // Every row at once, selected in the same message.
  ListView_SetItemState(f.ListView1, -1, INDEXTOSTATEIMAGEMASK(2) | LVIS_SELECTED,
                        LVIS_STATEIMAGEMASK | LVIS_SELECTED);
  for (int row = 0; row < 3; ++row) EXPECT_TRUE(ListViewChecked(f.ListView1, row)) << row;
  EXPECT_EQ(ListView_GetSelectedCount(f.ListView1), 3u);

  // Typing the start of a caption goes to the next row that has it.
  ListView_SetItemState(f.ListView1, 1, LVIS_FOCUSED, LVIS_FOCUSED);
  SendMessageW(f.ListView1, WM_CHAR, 'i', 1);  // typed once
  EXPECT_EQ(ListView_GetNextItem(f.ListView1, -1, LVNI_FOCUSED), 2);
}

}  // namespace
}  // namespace morvane
