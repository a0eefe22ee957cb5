// The subclass chain of controls: procedures see messages newest first, each can pass a message
// on, and detaching the last one gives the control its own procedure back.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/WindowSubclass.h"

namespace morvane {
namespace {

constexpr UINT kProbe = WM_APP + 7;

std::string g_trail;

LRESULT CALLBACK Outer(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                       DWORD_PTR data) {
  if (message == kProbe) {
    g_trail += "outer" + std::to_string(id) + ",";
    if (wParam == 1) return 100 + static_cast<LRESULT>(data);  // taken here
  }
  return NextSubclassProc(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK Inner(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  if (message == kProbe) {
    g_trail += "inner,";
    // A message the control sends itself while a link runs starts again from the newest.
    if (wParam == 2) SendMessageW(hwnd, kProbe, 0, 0);
  }
  return NextSubclassProc(hwnd, message, wParam, lParam);
}

TEST(WindowSubclass, ChainOrderNestingAndRestore) {
  HWND edit =
      CreateWindowExA(0, "EDIT", "", WS_POPUP, 0, 0, 50, 20, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(edit, nullptr);
  const LONG_PTR own = GetWindowLongPtrW(edit, GWLP_WNDPROC);
  ASSERT_TRUE(AttachSubclass(edit, Inner, 0, 0));
  ASSERT_TRUE(AttachSubclass(edit, Outer, 5, 20));
  EXPECT_FALSE(AttachSubclass(edit, Outer, 5, 20));  // once per proc and id

  g_trail.clear();
  EXPECT_EQ(SendMessageW(edit, kProbe, 1, 0), 120);
  EXPECT_EQ(g_trail, "outer5,");
  g_trail.clear();
  SendMessageW(edit, kProbe, 2, 0);
  EXPECT_EQ(g_trail, "outer5,inner,outer5,inner,");
  // What no link takes reaches the control itself.
  SetWindowTextA(edit, "typed");
  char text[16] = {};
  GetWindowTextA(edit, text, sizeof text);
  EXPECT_STREQ(text, "typed");

  DetachSubclass(edit, Outer, 5);
  g_trail.clear();
  SendMessageW(edit, kProbe, 1, 0);
  EXPECT_EQ(g_trail, "inner,");
  DetachSubclass(edit, Inner, 0);
  EXPECT_EQ(GetWindowLongPtrW(edit, GWLP_WNDPROC), own);

  // A window destroyed with links attached takes its chain with it.
  ASSERT_TRUE(AttachSubclass(edit, Inner, 0, 0));
  DestroyWindow(edit);
  HWND again =
      CreateWindowExA(0, "EDIT", "", WS_POPUP, 0, 0, 50, 20, nullptr, nullptr, nullptr, nullptr);
  g_trail.clear();
  SendMessageW(again, kProbe, 0, 0);
  EXPECT_EQ(g_trail, "");
  DestroyWindow(again);
}

}  // namespace
}  // namespace morvane
