// The about box over the real main window, and the Help menu's pages: what the box shows and
// where, that it holds the main window off while it is up, the labels' clicks and colours, and
// the targets handed to the shell (recorded, never opened).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <tuple>

#include "AboutU/About.h"
#include "AboutU/WebLinks.h"
#include "platform/Shell.h"
#include "tests/win/main_window_fixture.h"

namespace morvane {
namespace {

// Runs the look while the about box is up, from a timer inside its modal loop, then closes the
// box with its Ok button.
struct Showing {
  std::function<void()> look;
  HWND box = nullptr;
  bool ran = false;
} showing;

void CALLBACK LookThenPressOk(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  showing.ran = true;
  if (showing.look) showing.look();
  PostMessageW(showing.box, WM_COMMAND, IDOK, 0);
}

void WhileShown(TMainForm& f, TAbout& about, std::function<void()> look) {
  showing = Showing{std::move(look), about.Handle(), false};
  const UINT_PTR timer = SetTimer(nullptr, 0, 30, LookThenPressOk);
  PressShortcut(f, 'A', true);  // Ctrl+A: returns once the box is closed
  ASSERT_TRUE(PumpUntil(
      f, [] { return showing.ran; }, std::chrono::milliseconds(3000)))
      << "the box never showed";
  KillTimer(nullptr, timer);
  EXPECT_FALSE(about.Showing());
  EXPECT_FALSE(IsWindowVisible(about.Handle()));
}

RECT ScreenRect(HWND hwnd) {
  RECT r;
  GetWindowRect(hwnd, &r);
  return r;
}

// A real click of the left button at a point of the screen, through the system's input queue.
void ClickScreen(TMainForm& f, POINT at) {
  SetCursorPos(at.x, at.y);
  INPUT input[2] = {};
  input[0].type = input[1].type = INPUT_MOUSE;
  input[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  input[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(2, input, sizeof(INPUT));
  Pump(f, 100);
}

POINT Centre(const RECT& r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

// Where the deinstall tab lies on the screen.
POINT DeinstallTab(TMainForm& f) {
  RECT r;
  TabCtrl_GetItemRect(f.PageControl1->Handle(), 2, &r);
  MapWindowPoints(f.PageControl1->Handle(), nullptr, reinterpret_cast<POINT*>(&r), 2);
  return Centre(r);
}

void ExpectCentredOn(HWND box, HWND owner) {
  const POINT b = Centre(ScreenRect(box)), o = Centre(ScreenRect(owner));
  EXPECT_LE(std::abs(b.x - o.x), 1) << b.x << " " << o.x;
  EXPECT_LE(std::abs(b.y - o.y), 1) << b.y << " " << o.y;
}

TEST_F(MainWindowTest, AboutBoxShowsItsPictureCentredAndHoldsTheMainWindowOff) {
  TMainForm& f = Form();
  TAbout about(f.Handle(), f.Services.ShellOpen);
  EXPECT_EQ(WindowText(about.Handle()), "About Morvane");
  RECT client;
  GetClientRect(about.Handle(), &client);
  EXPECT_EQ(client.right * 1000 + client.bottom, 221230);

  GdiObject<HBITMAP> picture(static_cast<HBITMAP>(LoadImageW(
      GetModuleHandleW(nullptr), L"ABOUTPICTURE", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));

  const POINT tab = DeinstallTab(f);
  WhileShown(f, about, [&] {
    Pump(f, 50);
    EXPECT_FALSE(IsWindowEnabled(f.Handle()));
    ExpectCentredOn(about.Handle(), f.Handle());
    // The picture, unscaled from the top-left corner; white past its right edge.
    MemoryDc memory(CreateCompatibleDC(nullptr));
    SelectedObject selected(memory.get(), picture.get());
    WindowDc box(about.Handle());
    for (POINT p : {POINT{0, 0}, POINT{60, 50}, POINT{110, 100}, POINT{219, 224}})
      EXPECT_EQ(GetPixel(box.get(), p.x, p.y), GetPixel(memory.get(), p.x, p.y))
          << p.x << "," << p.y;
    EXPECT_EQ(GetPixel(box.get(), 220, 100), RGB(255, 255, 255));
    // A click on the main window's tab reaches nothing while the box is up.
    ClickScreen(f, tab);
    EXPECT_EQ(f.Role(), kRoleRegistry);
  });
  EXPECT_TRUE(IsWindowEnabled(f.Handle()));
  ClickScreen(f, DeinstallTab(f));  // the same click once the box is gone
  EXPECT_EQ(f.Role(), kRoleDeinstall);

  // Centred again where the main window is now; kept on the screen when the main window is not.
  SetWindowPos(f.Handle(), nullptr, 40, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  WhileShown(f, about, [&] { ExpectCentredOn(about.Handle(), f.Handle()); });
  SetWindowPos(f.Handle(), nullptr, -650, -480, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  WhileShown(f, about, [&] {
    const RECT box = ScreenRect(about.Handle());
    EXPECT_GE(box.left, 0);
    EXPECT_GE(box.top, 0);
  });
}

TEST_F(MainWindowTest, AboutLabelsOpenTheirTargetsAndStayVisited) {
  TMainForm& f = Form();
  TAbout about(f.Handle(), f.Services.ShellOpen);
  const RECT label1 = about.Label1.Bounds, label2 = about.Label2.Bounds;
  RECT whole;
  GetClientRect(about.Handle(), &whole);

  auto click = [&](const RECT& down, const RECT& up) {
    const POINT d = Centre(down), u = Centre(up);
    PostMessageW(about.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(d.x, d.y));
    PostMessageW(about.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(u.x, u.y));
    Pump(f, 60);
  };
  // The cursor the box sets for the pointer at a point of its client area. The pointer's move
  // reaches Wine through the X server and may read back as its old place for a while; the
  // question is asked again until the expected cursor shows or two seconds have passed.
  auto cursorAt = [&](POINT p, HCURSOR expected) {
    ClientToScreen(about.Handle(), &p);
    HCURSOR shown = nullptr;
    PumpUntil(
        f,
        [&] {
          SetCursorPos(p.x, p.y);
          Pump(f, 10);
          SendMessageW(about.Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(about.Handle()),
                       MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
          shown = GetCursor();
          return shown == expected;
        },
        std::chrono::milliseconds(2000));
    return shown;
  };

  WhileShown(f, about, [&] {
    Pump(f, 50);
    // Blue, underlined texts at their places, and nowhere else.
    EXPECT_GT(CountColour(about.Handle(), label1, kLinkColor), 20);
    EXPECT_GT(CountColour(about.Handle(), label2, kLinkColor), 20);
    EXPECT_EQ(CountColour(about.Handle(), whole, kLinkColor),
              CountColour(about.Handle(), label1, kLinkColor) +
                  CountColour(about.Handle(), label2, kLinkColor));
    EXPECT_EQ(CountColour(about.Handle(), whole, kVisitedLinkColor), 0);
    // The hand over a label, the arrow over the picture.
    const HCURSOR hand = LoadCursorW(nullptr, IDC_HAND), arrow = LoadCursorW(nullptr, IDC_ARROW);
    EXPECT_EQ(cursorAt(Centre(label2), hand), hand);
    EXPECT_EQ(cursorAt(POINT{110, 60}, arrow), arrow);
    EXPECT_EQ(cursorAt(Centre(label1), hand), hand);
    // Pressed on one label and let go over the other: no click.
    click(label1, label2);
    EXPECT_TRUE(services_.opened.empty());
    click(label1, label1);
    EXPECT_EQ(services_.opened, (std::vector<ShellCall>{{f.Handle(), kHomePage}}));
    EXPECT_GT(CountColour(about.Handle(), label1, kVisitedLinkColor), 20);
    EXPECT_EQ(CountColour(about.Handle(), label1, kLinkColor), 0);
    EXPECT_GT(CountColour(about.Handle(), label2, kLinkColor), 20);
  });
  // Reopened, the clicked label keeps its colour and the other is still blue.
  WhileShown(f, about, [&] {
    Pump(f, 50);
    EXPECT_GT(CountColour(about.Handle(), label1, kVisitedLinkColor), 20);
    EXPECT_EQ(CountColour(about.Handle(), label1, kLinkColor), 0);
    EXPECT_GT(CountColour(about.Handle(), label2, kLinkColor), 20);
    click(label2, label2);
    EXPECT_EQ(services_.opened.back(), (ShellCall{f.Handle(), "mailto:support@example.com"}));
    EXPECT_GT(CountColour(about.Handle(), label2, kVisitedLinkColor), 20);
    EXPECT_EQ(CountColour(about.Handle(), whole, kLinkColor), 0);
  });
  EXPECT_EQ(services_.opened.size(), 2u);
  EXPECT_TRUE(services_.messages.empty());
}

// Escape, through the system's input queue while the box is up, and Ok only if Escape has not
// closed the box within three seconds.
struct Escaping {
  HWND box = nullptr;
  bool pressed = false, closedByOk = false;
} escaping;

// Escape is typed once the box is up and has the keyboard; until then the timer comes again.
void CALLBACK PressEscape(HWND, UINT, UINT_PTR id, DWORD) {
  const HWND focus = GetFocus();
  if (escaping.pressed || !IsWindowVisible(escaping.box) || GetForegroundWindow() != escaping.box ||
      (focus != escaping.box && !IsChild(escaping.box, focus)))
    return;
  KillTimer(nullptr, id);
  escaping.pressed = true;
  INPUT keys[2] = {};
  keys[0].type = keys[1].type = INPUT_KEYBOARD;
  keys[0].ki.wVk = keys[1].ki.wVk = VK_ESCAPE;
  keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, keys, sizeof(INPUT));
}

void CALLBACK PressOkInstead(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  escaping.closedByOk = true;
  PostMessageW(escaping.box, WM_COMMAND, IDOK, 0);
}

// Escape is the keyboard's close box: it ends the box, and does nothing else.
TEST_F(MainWindowTest, EscapeClosesTheAboutBoxAndDoesNothingElse) {
  TMainForm& f = Form();
  TAbout about(f.Handle(), f.Services.ShellOpen);
  escaping = Escaping{about.Handle()};
  const UINT_PTR escape = SetTimer(nullptr, 0, 50, PressEscape);
  // Only so that a box that Escape left open does not hang the test.
  const UINT_PTR ok = SetTimer(nullptr, 0, 20000, PressOkInstead);
  PressShortcut(f, 'A', true);  // Ctrl+A: returns once the box is closed
  KillTimer(nullptr, escape);
  KillTimer(nullptr, ok);
  EXPECT_TRUE(escaping.pressed);
  EXPECT_FALSE(escaping.closedByOk) << "Escape left the box open";
  EXPECT_FALSE(about.Showing() || IsWindowVisible(about.Handle()));
  EXPECT_TRUE(IsWindowEnabled(f.Handle()));
  Pump(f, 50);
  EXPECT_EQ(about.Label1.Color, kLinkColor);
  EXPECT_EQ(about.Label2.Color, kLinkColor);
  EXPECT_TRUE(services_.opened.empty() && services_.messages.empty() && services_.started.empty());
  EXPECT_EQ(f.Role(), kRoleRegistry);
  EXPECT_FALSE(f.FCleanThread) << "no button of the main window was pressed";
}

TEST_F(MainWindowTest, HelpMenuOpensTheHomePagesAndAHelpPageOnlyWhenOneLiesBesideTheProgram) {
  TMainForm& f = Form();
  f.Services.Files = &SystemFileSystem();
  PostMessageW(f.Handle(), WM_COMMAND, kCmdHomePage, 0);
  PostMessageW(f.Handle(), WM_COMMAND, kCmdProductPage, 0);
  Pump(f, 30);
  EXPECT_EQ(services_.opened,
            (std::vector<ShellCall>{{f.Handle(), "http://www.example.com"},
                                    {f.Handle(), "http://www.example.com/mv.php"}}));

  const std::string page = HelpPagePath(ExecutablePath());
  ASSERT_EQ(page.substr(page.size() - 10), "\\help.html");
  DeleteFileA(page.c_str());
  RemoveDirectoryA(page.c_str());
  PressShortcut(f, VK_F1, false);  // none beside the program: nothing happens
  CreateDirectoryA(page.c_str(), nullptr);
  PressShortcut(f, VK_F1, false);  // a folder of that name is no page
  RemoveDirectoryA(page.c_str());
  EXPECT_EQ(services_.opened.size(), 2u);

  FILE* file = std::fopen(page.c_str(), "w");
  ASSERT_NE(file, nullptr);
  std::fputs("<html></html>", file);
  std::fclose(file);
  PressShortcut(f, VK_F1, false);
  DeleteFileA(page.c_str());
  ASSERT_EQ(services_.opened.size(), 3u);
  EXPECT_EQ(services_.opened[2], (ShellCall{f.Handle(), page}));
  EXPECT_TRUE(services_.messages.empty());
}

// An elevated process has the desktop's shell open its links, so that the browser or mail program
// does not get its rights, and opens them itself where the desktop cannot. One that is not
// elevated opens them itself and never asks the desktop.
TEST(OpenLink, ElevatedAsksTheDesktopFirstAndFallsBackToItsOwnCall) {
  struct Shell final : ShellApi {
    void Open(HWND, const std::string& target) override { calls.push_back("own " + target); }
    bool OpenFromDesktop(const std::string& target) override {
      calls.push_back("desktop " + target);
      return desktopOpens;
    }
    bool desktopOpens = true;
    std::vector<std::string> calls;
  };
  const std::tuple<bool, bool, std::vector<std::string>> cases[] = {
      {true, true, {"desktop x"}}, {true, false, {"desktop x", "own x"}}, {false, true, {"own x"}}};
  for (const auto& [elevated, desktopOpens, calls] : cases) {
    Shell shell;
    shell.desktopOpens = desktopOpens;
    OpenLink(shell, elevated, nullptr, "x");
    EXPECT_EQ(shell.calls, calls) << elevated << desktopOpens;
  }
}

}  // namespace
}  // namespace morvane
