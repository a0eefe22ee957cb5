// The button control's behaviour through real window messages: presses and releases, pointer
// enter and leave while held, repeat timers, double clicks, kinds, glyph sizes, dialog keys,
// accelerators, popup menus, sound and cursor, and buttons that go away in the middle.
#include <gtest/gtest.h>
#include <oleacc.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "ZelButton/ZelAccessible.h"
#include "ZelButton/ZelApplication.h"
#include "platform/SystemLibraries.h"
#include "tests/win/button_host.h"
#include "tests/win/window_harness.h"

#include <commctrl.h>

namespace morvane {
namespace {

using namespace morvane::testing;

// Counts what a button raises.
struct Events {
  int clicks = 0, downs = 0, ups = 0, overs = 0, outs = 0, dbl = 0;
  void Watch(TZelButton& b) {
    b.OnClick = [this] { ++clicks; };
    b.OnMouseDown = [this](TZelCustomButton*, TMouseButton, unsigned, int, int) { ++downs; };
    b.OnMouseUp = [this](TZelCustomButton*, TMouseButton, unsigned, int, int) { ++ups; };
    b.OnMouseOver = [this] { ++overs; };
    b.OnMouseOut = [this] { ++outs; };
    b.OnDblClick = [this] { ++dbl; };
  }
};

const COLORREF kShadow = GetSysColor(COLOR_BTNSHADOW), kLight = GetSysColor(COLOR_BTNHIGHLIGHT);

class ButtonInput : public ::testing::Test {
 protected:
  ButtonHost host;
  RecordedApplication app;
};

TEST_F(ButtonInput, RightAndMiddlePressesChangeNothing) {
  TZelButton& b = host.Add(20, 20, 60, 24, "Go");
  Events e;
  e.Watch(b);
  MoveToCentre(b);
  const Pixels before = Grab(b.Handle());
  for (UINT down : {WM_RBUTTONDOWN, WM_MBUTTONDOWN}) {
    PostMessageW(b.Handle(), down, 0, MAKELPARAM(5, 5));
    PostMessageW(b.Handle(), down + 1, 0, MAKELPARAM(5, 5));
    PumpFor(10);
  }
  EXPECT_EQ(e.downs + e.ups + e.clicks, 0);
  EXPECT_EQ(Grab(b.Handle()).data, before.data);
}

TEST_F(ButtonInput, LeavingWhileHeldCancelsTheClickAndComingBackRestoresIt) {
  TZelButton& b = host.Add(20, 20, 60, 24, "Go");
  TZelButton& other = host.Add(100, 20, 60, 24, "Other");
  Events e, o;
  e.Watch(b);
  o.Watch(other);
  MoveToCentre(b);
  LeftDown(b, 10, 10);
  EXPECT_NE(ReadThroughAccessibility(b).state & STATE_SYSTEM_PRESSED, 0) << "held down";
  MoveTo(b, 110, 10);  // over the other button, still held
  EXPECT_EQ(e.outs, 1);
  EXPECT_EQ(o.overs, 1) << "the control under the pointer is told even during the capture";
  for (int x = 0; x < 60; ++x) ASSERT_EQ(Grab(b.Handle()).At(x, 0), host.Colour()) << "normal look";
  LeftUp(b, 110, 10);
  EXPECT_EQ(e.clicks + e.ups, 0);

  MoveToCentre(b);
  LeftDown(b, 10, 10);
  MoveTo(b, 200, 10);
  MoveTo(b, 10, 10);  // back, still held: the hot look, not the pressed one
  const Pixels px = Grab(b.Handle());
  EXPECT_EQ(px.At(10, 0), kLight);
  EXPECT_EQ(px.At(10, 23), kShadow);
  LeftUp(b, 10, 10);
  EXPECT_EQ(e.clicks, 1);
  EXPECT_EQ(e.ups, 1);
  EXPECT_EQ(e.downs, 0) << "without a popup menu the press raises no OnMouseDown";
  EXPECT_EQ(ReadThroughAccessibility(b).state & STATE_SYSTEM_PRESSED, 0);
}

TEST_F(ButtonInput, RepeatCallsTheHandlerWhileHeld) {
  ManualClock clock;
  TZelButton& b = host.Add(20, 20, 60, 24, "Go");
  b.SetRepeatAction(true);
  int calls = 0;
  b.OnClick = [&](TZelCustomButton* sender) {
    EXPECT_EQ(sender, &b);
    ++calls;
  };
  b.SetButtonKind(skOK);  // repeats run the handler only, not the kind's action
  SetModalResult(host.Handle(), 0);
  MoveToCentre(b);
  LeftDown(b, 10, 10);
  clock.Advance(1000);
  EXPECT_EQ(calls, 19);
  EXPECT_EQ(ModalResult(host.Handle()), 0);
  LeftUp(b, 10, 10);
  EXPECT_EQ(calls, 20);
  EXPECT_EQ(ModalResult(host.Handle()), IDOK);
  clock.Advance(500);
  EXPECT_EQ(calls, 20) << "the release stopped the timers";

  LeftDown(b, 10, 10);
  clock.Advance(160);
  MoveTo(b, 200, 10);  // leaving stops them too
  clock.Advance(500);
  EXPECT_EQ(calls, 22);
  LeftUp(b, 200, 10);
  EXPECT_EQ(calls, 22);

  // RepeatAction switched off while held and on again after the release or the leave: nothing
  // may keep repeating.
  for (const bool leave : {false, true}) {
    MoveToCentre(b);
    LeftDown(b, 10, 10);
    clock.Advance(160);
    b.SetRepeatAction(false);
    if (leave) MoveTo(b, 200, 10);
    LeftUp(b, leave ? 200 : 10, 10);
    b.SetRepeatAction(true);
    MoveToCentre(b);
    const int released = calls;
    clock.Advance(500);
    EXPECT_EQ(calls, released) << (leave ? "after a leave" : "after a release");
  }
}

TEST_F(ButtonInput, RepeatInRealTimeWithinWideBounds) {
  TZelButton& b = host.Add(20, 20, 60, 24, "Go");
  b.SetRepeatAction(true);
  int calls = 0;
  b.OnClick = [&] { ++calls; };
  MoveToCentre(b);
  LeftDown(b, 10, 10);
  PumpFor(1000);
  EXPECT_GE(calls, 8);
  EXPECT_LE(calls, 22);
  LeftUp(b, 10, 10);
}

TEST_F(ButtonInput, DoubleClickClicksTwice) {
  TZelButton& b = host.Add(20, 20, 60, 24, "Go");
  Events e;
  e.Watch(b);
  MoveToCentre(b);
  LeftDown(b, 10, 10);
  LeftUp(b, 10, 10);
  PostMessageW(b.Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(10, 10));
  PumpFor(10);
  LeftUp(b, 10, 10);
  EXPECT_EQ(e.dbl, 1);
  EXPECT_EQ(e.clicks, 2);
}

TEST_F(ButtonInput, KindsSetGlyphsCaptionsKeysAndActions) {
  struct Row {
    TKind kind;
    const char* caption;
    bool cancel, isDefault;
    int result;
  };
  const Row rows[] = {{skOK, "OK", false, true, 1},           {skCancel, "Cancel", true, false, 2},
                      {skHelp, "&Help", false, false, 0},     {skYes, "&Yes", false, true, 6},
                      {skNo, "&No", true, false, 7},          {skClose, "&Close", false, false, 0},
                      {skAbort, "Abort", false, false, 3},    {skRetry, "&Retry", false, false, 4},
                      {skIgnore, "&Ignore", false, false, 5}, {skAll, "&All", false, false, 8},
                      {skSilly, "&Silly", false, false, 0}};
  SetWindowContextHelpId(host.Handle(), 77);
  for (const Row& row : rows) {
    TZelButton& b = host.Add(20, 20, 80, 28, "old");
    b.SetButtonKind(row.kind);
    EXPECT_EQ(b.Caption(), row.caption);
    EXPECT_EQ(b.Cancel(), row.cancel) << row.caption;
    EXPECT_EQ(b.Default(), row.isDefault) << row.caption;
    EXPECT_EQ(b.NumGlyphs(), 1);
    EXPECT_EQ(b.NumGlyphsHot(), 1);
    const int size = row.kind == skSilly ? 19 : 18;
    const COLORREF key = row.kind == skSilly ? RGB(0, 0, 255) : RGB(255, 0, 255);
    for (const TZelBitmap* g : {&b.Glyph(), &b.GlyphHot()}) {
      EXPECT_EQ(g->Width(), size) << row.caption;
      EXPECT_EQ(g->Height(), size);
      EXPECT_EQ(g->Pixel(0, size - 1), key);
      EXPECT_LT(std::count(g->Bits(), g->Bits() + size * size, 0u), size * size / 2)
          << "a picture, not a blank";
    }
    SetModalResult(host.Handle(), 0);
    const int closes = host.closes;
    const std::size_t help = app.help.size();
    b.Click();
    EXPECT_EQ(ModalResult(host.Handle()), row.result) << row.caption;
    EXPECT_EQ(host.closes - closes, row.kind == skClose ? 1 : 0);
    EXPECT_EQ(app.help.size() - help, row.kind == skHelp ? 1u : 0u);
    host.Remove(b);
  }
  EXPECT_EQ(app.help, (std::vector<DWORD>{77}));

  TZelButton& b = host.Add(20, 20, 80, 28);
  b.SetButtonKind(skCancel);
  b.SetButtonKind(skCustom);
  EXPECT_TRUE(b.Glyph().Empty());
  EXPECT_TRUE(b.GlyphHot().Empty());
  EXPECT_EQ(b.Caption(), "Cancel");
  EXPECT_FALSE(b.Cancel());
  EXPECT_FALSE(b.Default());
  // While loading, an empty caption waits for the stored one.
  TZelButton& loaded = host.Add(20, 60, 80, 28);
  {
    TZelLoadScope loading(loaded);
    loaded.SetButtonKind(skOK);
  }
  EXPECT_EQ(loaded.Caption(), "");
}

TEST_F(ButtonInput, GlyphSizeDecidesTheNumberOfImages) {
  const struct {
    int w, h, before, after;
  } rows[] = {{72, 18, 2, 4}, {90, 18, 2, 1}, {40, 18, 3, 3}, {18, 36, 2, 1}, {36, 18, 1, 2}};
  TZelButton& b = host.Add(20, 20, 80, 28);
  for (const auto& row : rows) {
    b.SetButtonKind(skCancel);
    b.SetNumGlyphs(row.before);
    b.SetGlyph(TZelBitmap(row.w, row.h));
    EXPECT_EQ(b.NumGlyphs(), row.after) << row.w << "x" << row.h;
    EXPECT_EQ(b.ButtonKind(), skCustom);
    EXPECT_TRUE(b.Cancel()) << "Cancel and Default stay";
    EXPECT_EQ(b.Caption(), "Cancel");
  }
  b.SetGlyphHot(TZelBitmap(54, 18));
  EXPECT_EQ(b.NumGlyphsHot(), 3);
}

TEST_F(ButtonInput, EnterAndEscapeFollowDefaultCancelAndTheFocus) {
  TZelButton& ok = host.Add(20, 20, 60, 24, "OK");
  TZelButton& other = host.Add(100, 20, 60, 24, "Other");
  TZelButton& cancel = host.Add(180, 20, 60, 24, "Cancel");
  Events eOk, eOther, eCancel;
  eOk.Watch(ok);
  eOther.Watch(other);
  eCancel.Watch(cancel);
  ok.SetDefault(true);
  cancel.SetCancel(true);
  PressKey(VK_RETURN);
  EXPECT_EQ(eOk.clicks, 0) << "Default takes effect at the next focus change";
  SetFocus(host.Edit());
  PumpFor(10);
  ok.SetDefault(true);
  SetFocus(host.Handle());  // the assignment takes effect at the next focus change
  PumpFor(10);
  SetFocus(host.Edit());
  PumpFor(10);
  PressKey(VK_RETURN);
  EXPECT_EQ(eOk.clicks, 1);
  PressKey(VK_RETURN, true);
  PressKey(VK_ESCAPE, false, true);
  EXPECT_EQ(eOk.clicks, 1) << "not with Ctrl";
  EXPECT_EQ(eCancel.clicks, 0) << "not with Shift";
  PressKey(VK_ESCAPE);
  EXPECT_EQ(eCancel.clicks, 1);

  other.SetFocus();  // another button has the focus: Enter clicks that one
  PumpFor(10);
  PressKey(VK_RETURN);
  EXPECT_EQ(eOther.clicks, 1);
  EXPECT_EQ(eOk.clicks, 1);

  ok.SetEnabled(false);
  SetFocus(host.Edit());
  PumpFor(10);
  PressKey(VK_RETURN);
  EXPECT_EQ(eOk.clicks, 1) << "a disabled button takes no key";
}

TEST_F(ButtonInput, AcceleratorCharacters) {
  TZelButton& b = host.Add(20, 20, 60, 24, "&Go");
  TZelButton& amp = host.Add(100, 20, 60, 24, "A&&B");
  TZelButton& polish = host.Add(180, 20, 60, 24,
                                "&\xC5\x81\xC3\xB3"
                                "d\xC5\xBA");  // &Łódź
  Events e, a, p;
  e.Watch(b);
  a.Watch(amp);
  p.Watch(polish);
  SetFocus(host.Handle());
  PumpFor(10);
  TypeChar(host.Handle(), 'g', true);   // Alt+G
  TypeChar(host.Handle(), 'G', false);  // G where no control takes characters
  EXPECT_EQ(e.clicks, 2);
  TypeChar(host.Handle(), L'\x0142', true);  // Alt+ł, the letter in either case
  TypeChar(host.Handle(), L'L', true);       // its look-alike is another letter
  EXPECT_EQ(p.clicks, 1);
  SetFocus(host.Edit());
  PumpFor(10);
  TypeChar(host.Edit(), 'g', false);  // typed into the edit control
  TypeChar(host.Edit(), 'b', true);
  EXPECT_EQ(e.clicks, 2);
  EXPECT_EQ(a.clicks, 0) << "a doubled ampersand marks nothing";
}

TEST_F(ButtonInput, VersionHintAndDisabledButtons) {
  TZelButton& b = host.Add(20, 20, 60, 24, "Go");
  const std::string notice = b.Version();
  EXPECT_FALSE(notice.empty());
  b.SetVersion("2.0");
  EXPECT_EQ(b.Version(), notice);
  b.SetHintSecondLine("B");
  EXPECT_EQ(b.Hint, "");
  b.Hint = "A";
  b.SetHintSecondLine("B");
  b.SetHintSecondLine("");
  b.SetHintSecondLine("B");
  EXPECT_EQ(b.Hint, "A\rB\rB");

  Events e;
  e.Watch(b);
  b.SetPlayMusic(true);
  b.SetEnabled(false);
  PostMessageW(b.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  PostMessageW(b.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  PostMessageW(b.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  PumpFor(10);
  Leave(b);
  b.Click();
  EXPECT_EQ(e.overs + e.outs + e.clicks + e.downs + e.ups, 0);
  EXPECT_TRUE(app.sounds.empty());
}

TEST_F(ButtonInput, HoverSoundAndHandCursor) {
  TZelButton& b = host.Add(20, 20, 60, 24, "Go");
  b.SetPlayMusic(true);
  b.SetCursor(0);
  MoveToCentre(b);
  ASSERT_EQ(app.sounds.size(), 1u);
  const char* wave = static_cast<const char*>(app.sounds[0]);
  EXPECT_EQ(std::memcmp(wave, "RIFF", 4), 0);
  EXPECT_EQ(std::memcmp(wave + 8, "WAVEfmt ", 8), 0);
  WORD format, channels, bits;
  DWORD rate, data;
  std::memcpy(&format, wave + 20, 2);
  std::memcpy(&channels, wave + 22, 2);
  std::memcpy(&rate, wave + 24, 4);
  std::memcpy(&bits, wave + 34, 2);
  std::memcpy(&data, wave + 40, 4);
  EXPECT_EQ(format, 1) << "PCM";
  EXPECT_EQ(channels, 1);
  EXPECT_EQ(rate, 22050u);
  EXPECT_EQ(bits, 16);
  EXPECT_EQ(data, 594u);

  EXPECT_EQ(b.Cursor(), 1);
  const HCURSOR hand = TZelCursors::Get(1);
  EXPECT_EQ(hand, LoadCursorA(GetModuleHandleW(nullptr), "HANDZELB"));
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(hand, &info));
  EXPECT_FALSE(info.fIcon);
  EXPECT_EQ(info.xHotspot, 0u);
  EXPECT_EQ(info.yHotspot, 0u);
  EXPECT_EQ(info.hbmColor, nullptr) << "monochrome";
  BITMAP mask{};
  GetObjectA(info.hbmMask, sizeof mask, &mask);
  EXPECT_EQ(mask.bmWidth, 32);
  EXPECT_EQ(mask.bmHeight, 64);
  DeleteObject(info.hbmMask);
  Leave(b);
  EXPECT_EQ(b.Cursor(), 0);
  EXPECT_EQ(TZelCursors::Get(0), LoadCursorW(nullptr, IDC_ARROW));
  EXPECT_EQ(app.sounds.size(), 1u);
}

// While a menu is open, this timer notes where it is and closes it.
RECT popupSeen;
void CALLBACK SeeAndCloseMenu(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  HWND menu = FindWindowA("#32768", nullptr);
  popupSeen = RECT{};
  if (menu != nullptr) GetWindowRect(menu, &popupSeen);
  EndMenu();
}

// Where winmm or oleacc cannot be loaded no sound is played and the buttons are read through the
// system's standard object (that they come from the system folder: planting_test.cpp).
TEST_F(ButtonInput, SystemLibrariesFromTheSystemFolderOrNone) {
  TZelButton& b = host.Add(20, 20, 60, 24, "Go");
  EXPECT_EQ(ReadThroughAccessibility(b).role, ROLE_SYSTEM_PUSHBUTTON);

  static std::vector<std::wstring> asked;
  asked.clear();
  ReplaceSystemLibraryLoader([](const wchar_t* name) -> HMODULE {
    asked.emplace_back(name);
    return nullptr;
  });
  PlayWaveFromMemory("RIFF");  // nothing to play it with: returns quietly
  EXPECT_EQ(WaveLibrary(), nullptr);
  const ReadButton standard = ReadThroughAccessibility(b);
  EXPECT_EQ(standard.role, ROLE_SYSTEM_CLIENT) << "the system's standard object";
  ReadThroughAccessibility(b);
  ReplaceSystemLibraryLoader(nullptr);
  EXPECT_EQ(asked, (std::vector<std::wstring>{L"winmm.dll", L"oleacc.dll"}))
      << "each is asked for once";
  EXPECT_EQ(ReadThroughAccessibility(b).role, ROLE_SYSTEM_PUSHBUTTON);
}

TEST_F(ButtonInput, PopupMenuOpensAtItsPositionAndFollowsWithOnMouseDown) {
  TZelPopupMenu menu;
  menu.Add("First item", [] {});
  TZelButton& b = host.Add(200, 100, 60, 24, "Menu");
  Events e;
  e.Watch(b);
  b.SetPopupMenu(&menu);
  const ReadButton withMenu = ReadThroughAccessibility(b);
  EXPECT_EQ(withMenu.role, ROLE_SYSTEM_BUTTONMENU);
  EXPECT_NE(withMenu.state & STATE_SYSTEM_HASPOPUP, 0);
  POINT origin{0, 0};
  ClientToScreen(b.Handle(), &origin);
  for (TPositionPopup position : {puDown, puLeft, puRight}) {
    b.SetPositionPopup(position);
    SetTimer(nullptr, 0, 100, SeeAndCloseMenu);
    MoveToCentre(b);
    LeftDown(b, 10, 10);
    PumpFor(10);
    if (position == puDown) {
      EXPECT_EQ(popupSeen.left, origin.x - 1);
      EXPECT_EQ(popupSeen.top, origin.y + 24);
    } else if (position == puLeft) {
      EXPECT_EQ(popupSeen.right, origin.x - 1);
      EXPECT_EQ(popupSeen.top, origin.y);
    } else {
      EXPECT_EQ(popupSeen.left, origin.x + 60 + 1);
      EXPECT_EQ(popupSeen.top, origin.y);
    }
    LeftUp(b, 10, 10);
  }
  EXPECT_EQ(e.downs, 3);
  EXPECT_EQ(e.clicks, 0) << "the menu took the press";
  EXPECT_EQ(menu.PopupComponent, &b);
  EXPECT_FALSE(menu.AutoPopup);
  // A click (here an accelerator-less Click) opens the menu after OnClick.
  SetTimer(nullptr, 0, 100, SeeAndCloseMenu);
  b.Click();
  EXPECT_EQ(e.clicks, 1);
  EXPECT_NE(popupSeen.right, 0);
  // A menu that is destroyed is forgotten by the buttons that held it.
  auto gone = std::make_unique<TZelPopupMenu>();
  b.SetPopupMenu(gone.get());
  gone.reset();
  EXPECT_EQ(b.PopupMenu(), nullptr);
  const ReadButton withoutMenu = ReadThroughAccessibility(b);
  EXPECT_EQ(withoutMenu.role, ROLE_SYSTEM_PUSHBUTTON);
  EXPECT_EQ(withoutMenu.state & STATE_SYSTEM_HASPOPUP, 0);
  b.Click();
  EXPECT_EQ(e.clicks, 2);
}

// A button that goes away in the middle of a press, a repeat or an open menu does nothing more.
TEST_F(ButtonInput, ButtonsThatGoAwayInTheMiddleClickNoMore) {
  ManualClock clock;
  for (int how = 0; how < 3; ++how) {  // disabled, hidden, destroyed while held
    TZelButton& b = host.Add(20, 20, 60, 24, "Go");
    b.SetRepeatAction(true);
    Events e;
    e.Watch(b);
    MoveToCentre(b);
    LeftDown(b, 10, 10);
    clock.Advance(200);
    EXPECT_EQ(e.clicks, 3);
    if (how == 0) b.SetEnabled(false);
    if (how == 1) b.SetVisible(false);
    if (how == 2) host.Remove(b);
    clock.Advance(500);
    PostMessageW(host.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(30, 30));
    if (how < 2) {
      EXPECT_EQ(GetCapture(), nullptr) << how;
      LeftUp(b, 10, 10);
      b.SetEnabled(true);
      b.SetVisible(true);
      LeftUp(b, 10, 10);
      host.Remove(b);
    }
    PumpFor(10);
    EXPECT_EQ(e.clicks, 3) << how;
  }

  // Disabled or hidden while its menu is open: the menu closes at once, and nothing follows.
  static TZelButton* open;
  static int how;
  struct Closer {
    static void CALLBACK GoAway(HWND, UINT, UINT_PTR id, DWORD) {
      KillTimer(nullptr, id);
      if (how == 0) open->SetEnabled(false);
      if (how == 1) open->SetVisible(false);
    }
    static void CALLBACK Rescue(HWND, UINT, UINT_PTR id, DWORD) {
      KillTimer(nullptr, id);
      EndMenu();
    }
  };
  for (how = 0; how < 2; ++how) {
    TZelPopupMenu menu;
    menu.Add("Item", [] {});
    open = &host.Add(20, 20, 60, 24, "Menu");
    open->SetRepeatAction(true);
    Events e;
    e.Watch(*open);
    open->SetPopupMenu(&menu);
    SetTimer(nullptr, 0, 100, &Closer::GoAway);
    const UINT_PTR rescue = SetTimer(nullptr, 0, 3000, &Closer::Rescue);
    const auto began = std::chrono::steady_clock::now();
    MoveToCentre(*open);
    LeftDown(*open, 10, 10);  // returns when the menu has closed
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - began);
    EXPECT_LT(took.count(), 2500) << how << ": the menu stayed open";
    KillTimer(nullptr, rescue);
    clock.Advance(500);
    LeftUp(*open, 10, 10);
    EXPECT_EQ(e.downs + e.clicks + e.ups, 0) << how;
    host.Remove(*open);
  }

  // Destroyed by the handler of its own menu's item, and by its own repeat.
  TZelPopupMenu menu;
  TZelButton* doomed = &host.Add(20, 20, 60, 24, "Menu");
  Events e;
  e.Watch(*doomed);
  menu.Add("Remove", [&] { host.Remove(*doomed); });
  doomed->SetPopupMenu(&menu);
  struct Chooser {
    static void CALLBACK Pick(HWND, UINT, UINT_PTR id, DWORD) {
      KillTimer(nullptr, id);
      HWND m = FindWindowA("#32768", nullptr);
      PostMessageW(m, WM_KEYDOWN, VK_DOWN, 0);
      PostMessageW(m, WM_KEYDOWN, VK_RETURN, 0);
    }
  };
  SetTimer(nullptr, 0, 100, &Chooser::Pick);
  MoveToCentre(*doomed);
  LeftDown(*doomed, 10, 10);
  PumpFor(50);
  EXPECT_EQ(e.downs, 0);
  EXPECT_EQ(menu.PopupComponent, doomed);

  TZelButton& self = host.Add(20, 20, 60, 24, "Self");
  self.SetRepeatAction(true);
  int calls = 0;
  self.OnClick = [&] {
    ++calls;
    host.Remove(self);
  };
  MoveToCentre(self);
  LeftDown(self, 10, 10);
  clock.Advance(500);
  EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace morvane

namespace morvane {
namespace {

using namespace morvane::testing;

HWND g_visibleTip;
BOOL CALLBACK FindVisibleTip(HWND hwnd, LPARAM) {
  char name[32] = {};
  GetClassNameA(hwnd, name, sizeof name);
  if (lstrcmpiA(name, "tooltips_class32") == 0 && IsWindowVisible(hwnd)) g_visibleTip = hwnd;
  return TRUE;
}
// The tooltip of this thread on the screen, or nullptr; waits up to ms for one.
HWND VisibleTip(int ms) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  do {
    PumpFor(20);
    g_visibleTip = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &FindVisibleTip, 0);
  } while (g_visibleTip == nullptr && std::chrono::steady_clock::now() < until);
  return g_visibleTip;
}

TEST_F(ButtonInput, HintShowsInATooltipOfTwoLinesOnlyWithShowHint) {
  TZelButton& b = host.Add(20, 20, 80, 24, "Go");
  b.Hint = "Starts the search";
  b.SetHintSecondLine("of stale keys");
  POINT centre{40, 12};
  ClientToScreen(b.Handle(), &centre);
  SetCursorPos(centre.x, centre.y);  // the tooltip checks the real pointer before it shows
  MoveToCentre(b);
  EXPECT_EQ(VisibleTip(1200), nullptr) << "ShowHint is off";

  b.ShowHint = true;
  MoveTo(b, 41, 12);
  HWND tip = VisibleTip(3000);
  ASSERT_NE(tip, nullptr);
  char text[80] = {};
  TTTOOLINFOA tool{};
  tool.cbSize = sizeof tool;
  tool.hwnd = b.Handle();
  tool.uId = reinterpret_cast<UINT_PTR>(b.Handle());
  tool.lpszText = text;
  SendMessageW(tip, TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&tool));
  EXPECT_STREQ(text, "Starts the search\r\nof stale keys");
  HDC dc = GetDC(tip);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(tip, WM_GETFONT, 0, 0)));
  TEXTMETRICA metrics;
  GetTextMetricsA(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(tip, dc);
  RECT r;
  GetWindowRect(tip, &r);
  EXPECT_GE(r.bottom - r.top, 2 * metrics.tmHeight) << "two lines";
  EXPECT_GT(r.top, centre.y) << "below the pointer";

  LeftDown(b, 40, 12);
  EXPECT_FALSE(IsWindowVisible(tip)) << "a press puts it away";
  LeftUp(b, 40, 12);
  SetCursorPos(0, 0);
}

// One drag per row, driven by real pointer messages; each row's events are logged in order.
TEST_F(ButtonInput, DragOntoAnotherButton) {
  struct Row {
    const char* what;
    bool immediate, accept, escape, disableSource;
    int moveTo;  // x over the source's client area: 110 lies over the target, 0 means no move
    const char* log;
  };
  const Row rows[] = {
      // Two moves over the target, then the release (which is a move too).
      {"dropped", true, true, false, false, 110,
       "start over:enter over:move over:move drop(5,10) end:target(5,10)"},
      {"refused", true, false, false, false, 110,
       "start over:enter over:move over:move over:leave end:none"},
      {"past the threshold", false, true, false, false, 110,
       "start over:enter over:move over:move drop(5,10) end:target(5,10)"},
      {"never moved: a click", false, true, false, false, 0, "start end:none click up"},
      {"escape", true, true, true, false, 110, "start over:enter over:move over:leave end:none"},
      {"source disabled", true, true, false, true, 110, "start over:enter over:leave end:none"},
  };
  for (const Row& row : rows) {
    TZelButton& source = host.Add(20, 20, 60, 24, "Drag");
    TZelButton& target = host.Add(125, 20, 60, 24, "Here");
    std::string log;
    auto note = [&log](const std::string& s) { log += (log.empty() ? "" : " ") + s; };
    source.OnStartDrag = [&](TZelCustomButton*) { note("start"); };
    source.OnEndDrag = [&](TZelCustomButton*, TZelCustomButton* to, int x, int y) {
      note(to == &target ? "end:target(" + std::to_string(x) + "," + std::to_string(y) + ")"
                         : "end:none");
    };
    source.OnClick = [&] { note("click"); };
    source.OnMouseUp = [&](TZelCustomButton*, TMouseButton, unsigned, int, int) { note("up"); };
    target.OnDragOver = [&](TZelCustomButton*, TZelCustomButton* from, int, int, TDragState state,
                            bool& accept) {
      EXPECT_EQ(from, &source);
      note(state == dsDragEnter ? "over:enter" : state == dsDragMove ? "over:move" : "over:leave");
      accept = row.accept;
      if (row.disableSource && state == dsDragEnter) source.SetEnabled(false);
    };
    target.OnDragDrop = [&](TZelCustomButton*, TZelCustomButton* from, int x, int y) {
      EXPECT_EQ(from, &source);
      note("drop(" + std::to_string(x) + "," + std::to_string(y) + ")");
    };
    SetFocus(host.Edit());
    MoveToCentre(source);
    LeftDown(source, 10, 10);
    source.BeginDrag(row.immediate, 4);
    EXPECT_TRUE(source.Dragging());
    if (row.moveTo != 0) {
      MoveTo(source, row.moveTo, 10);
      MoveTo(source, row.moveTo, 10);
    }
    if (row.escape) PressKey(VK_ESCAPE);
    LeftUp(source, row.moveTo != 0 ? row.moveTo : 10, 10);
    EXPECT_EQ(log, row.log) << row.what;
    EXPECT_FALSE(source.Dragging()) << row.what;
    EXPECT_EQ(GetCapture(), nullptr) << row.what;
    host.Remove(source);
    host.Remove(target);
  }
}

TEST_F(ButtonInput, AlignAnchorsAndConstraintsFollowTheParent) {
  host.Resize(640, 480);
  TZelButton& top = host.Add(0, 300, 10, 30);
  TZelButton& bottom = host.Add(0, 0, 10, 20);
  TZelButton& left = host.Add(0, 0, 50, 10);
  TZelButton& right = host.Add(0, 0, 60, 10);
  TZelButton& client = host.Add(0, 0, 10, 10);
  TZelButton& corner = host.Add(500, 400, 40, 20);
  TZelButton& stretched = host.Add(10, 100, 100, 20);
  TZelButton& centred = host.Add(300, 200, 40, 20);
  TZelButton& small = host.Add(200, 200, 20, 20);
  right.SetConstraints(TSizeConstraints{0, 0, 0, 100});
  top.SetAlign(alTop);
  bottom.SetAlign(alBottom);
  left.SetAlign(alLeft);
  right.SetAlign(alRight);
  client.SetAlign(alClient);
  corner.SetAnchors(akRight | akBottom);
  stretched.SetAnchors(akLeft | akRight | akTop);
  centred.SetAnchors(akTop);
  small.SetConstraints(TSizeConstraints{80, 0, 0, 0});
  small.SetBounds(200, 200, 20, 30);
  auto bounds = [](TZelButton& b) {
    return std::vector<int>{b.Left(), b.Top(), b.Width(), b.Height()};
  };
  using V = std::vector<int>;
  EXPECT_EQ(bounds(top), (V{0, 0, 640, 30}));
  EXPECT_EQ(bounds(bottom), (V{0, 460, 640, 20}));
  EXPECT_EQ(bounds(left), (V{0, 30, 50, 430}));
  EXPECT_EQ(bounds(right), (V{580, 30, 60, 100})) << "the maximum height holds";
  EXPECT_EQ(bounds(client), (V{50, 30, 530, 430}));
  EXPECT_EQ(bounds(small), (V{200, 200, 80, 30})) << "the minimum width holds";

  host.Resize(700, 500);
  EXPECT_EQ(bounds(client), (V{50, 30, 590, 450}));
  EXPECT_EQ(bounds(bottom), (V{0, 480, 700, 20}));
  EXPECT_EQ(bounds(corner), (V{560, 420, 40, 20})) << "keeps its distance to the right and bottom";
  EXPECT_EQ(bounds(stretched), (V{10, 100, 160, 20})) << "stretches between left and right";
  EXPECT_EQ(bounds(centred), (V{330, 200, 40, 20})) << "its centre keeps its share of the width";
  EXPECT_EQ(bounds(small), (V{200, 200, 80, 30})) << "default anchors: stays";

  top.SetVisible(false);  // a hidden button takes no room
  EXPECT_EQ(bounds(left), (V{0, 0, 50, 480}));
  host.Remove(left);  // and neither does a destroyed one
  EXPECT_EQ(bounds(client), (V{0, 0, 640, 480}));
  bottom.SetAlign(alNone);
  EXPECT_EQ(bounds(client), (V{0, 0, 640, 500}));
  corner.SetBounds(600, 300, 40, 20);  // a place the program gives is kept from then on
  host.Resize(640, 480);
  EXPECT_EQ(bounds(corner), (V{540, 280, 40, 20}));
}

// Tab moves the focus through the tab stops in the order of TabOrder, which leaves the z-order
// (the order overlapping buttons are drawn in) as it is.
TEST_F(ButtonInput, TabStopAndTabOrderDecideTabbing) {
  TZelButton& a = host.Add(20, 20, 60, 24, "A");
  TZelButton& b = host.Add(100, 20, 60, 24, "B");
  TZelButton& c = host.Add(180, 20, 60, 24, "C");
  TZelButton& d = host.Add(260, 20, 60, 24, "D");
  EXPECT_FALSE(a.TabStop());
  for (TZelButton* stop : {&a, &b, &c}) stop->SetTabStop(true);
  EXPECT_NE(GetWindowLongW(a.Handle(), GWL_STYLE) & WS_TABSTOP, 0);
  EXPECT_EQ(GetWindowLongW(d.Handle(), GWL_STYLE) & WS_TABSTOP, 0);
  auto zOrder = [&] {
    std::vector<HWND> order;
    for (HWND w = GetWindow(host.Handle(), GW_CHILD); w != nullptr; w = GetWindow(w, GW_HWNDNEXT))
      order.push_back(w);
    return order;
  };
  const std::vector<HWND> drawn = zOrder();
  c.SetTabOrder(0);  // the host's edit control comes first otherwise
  b.SetTabOrder(1);
  EXPECT_EQ(c.TabOrder(), 0);
  EXPECT_EQ(b.TabOrder(), 1);
  EXPECT_EQ(a.TabOrder(), 3);
  d.SetTabOrder(99);
  EXPECT_EQ(d.TabOrder(), 4) << "out of range: the last";
  EXPECT_EQ(zOrder(), drawn);
  TZelButton& later = host.Add(340, 20, 60, 24, "E");
  EXPECT_EQ(later.TabOrder(), 5) << "a new control joins the end";
  host.Remove(d);
  EXPECT_EQ(later.TabOrder(), 4);

  auto tab = [&](bool shift) {
    PressKey(VK_TAB, false, shift);
    return GetFocus();
  };
  a.SetFocus();
  EXPECT_EQ(tab(false), c.Handle()) << "round to the first";
  EXPECT_EQ(tab(false), b.Handle());
  EXPECT_EQ(tab(false), a.Handle());
  EXPECT_EQ(tab(true), b.Handle());
  a.SetTabOrder(0);
  EXPECT_EQ(tab(true), c.Handle());
  EXPECT_EQ(tab(true), a.Handle());
  EXPECT_EQ(tab(true), b.Handle()) << "round to the last";
  EXPECT_EQ(tab(false), a.Handle());
}

TEST_F(ButtonInput, KeysFocusAndContextMenuRequests) {
  TZelButton& a = host.Add(20, 20, 60, 24, "A");
  std::string log;
  a.OnEnter = [&] { log += "enter "; };
  a.OnExit = [&] { log += "exit "; };
  a.OnKeyDown = [&](TZelCustomButton* s, WORD& key, unsigned shift) {
    log += "down:" + std::to_string(key) + (shift & ssShift ? "+shift " : " ");
  };
  a.OnKeyUp = [&](TZelCustomButton*, WORD& key, unsigned) {
    log += "up:" + std::to_string(key) + " ";
  };
  a.OnKeyPress = [&](TZelCustomButton*, wchar_t& key) {
    log += std::string("press:") + static_cast<char>(key) + " ";
  };
  a.SetFocus();
  PumpFor(10);
  PressKey('K', false, true);  // translated into the character as well
  PostMessageW(a.Handle(), WM_KEYUP, 'K', 0xC0000001);
  PumpFor(10);
  SetFocus(host.Edit());
  PumpFor(10);
  EXPECT_EQ(log, "enter down:75+shift press:K up:75 exit ");

  std::vector<POINT> asked;
  bool handle = true;
  a.OnContextPopup = [&](TZelCustomButton*, POINT at, bool& handled) {
    asked.push_back(at);
    handled = handle;
  };
  PostMessageW(a.Handle(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(7, 9));
  PostMessageW(a.Handle(), WM_RBUTTONUP, 0, MAKELPARAM(7, 9));
  PumpFor(10);
  SendMessageW(a.Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(a.Handle()),
               MAKELPARAM(-1, -1));
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0].x, 7);
  EXPECT_EQ(asked[0].y, 9);
  EXPECT_EQ(asked[1].x, -1) << "from the keyboard";
  EXPECT_EQ(host.contextMenus, 0) << "handled";
  handle = false;
  SendMessageW(a.Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(a.Handle()),
               MAKELPARAM(-1, -1));
  EXPECT_EQ(host.contextMenus, 1) << "unhandled: on to the parent";
}

// A parent whose colour changes tells its children, a plain window as a button does; the
// system-colour notice reaches every button of the form through the form.
TEST_F(ButtonInput, ParentAndSystemColourNoticesReachTheButtons) {
  HWND panel = host.AddPanel(300, 20, 200, 100);
  TZelButton& direct = host.Add(20, 20, 60, 24);
  TZelButton& nested = host.Add(20, 20, 60, 24, "", panel);
  TZelButton& framed = host.Add(20, 60, 60, 24);
  framed.SetButtonStyle(stFrameRaised);
  framed.SetParentColor(true);  // a framed style holds the button face all the same
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  auto shown = [](TZelButton& b) {
    UpdateWindow(b.Handle());
    return Grab(b.Handle()).At(30, 12);
  };
  host.SetColour(RGB(250, 240, 200));
  for (TZelButton* b : {&direct, &nested}) {
    EXPECT_EQ(shown(*b), RGB(250, 240, 200)) << "told by the host";
    EXPECT_EQ(b->Color(), RgbColor(250, 240, 200));
  }
  EXPECT_EQ(framed.Color(), clBtnFace) << "the framed styles keep the button face";
  EXPECT_FALSE(framed.ParentColor());
  EXPECT_EQ(shown(framed), face);

  // A button on a button follows its parent button's colour.
  TZelButton& inner = host.Add(8, 3, 44, 18, "", direct.Handle());
  EXPECT_EQ(inner.Color(), RgbColor(250, 240, 200));
  direct.SetColor(RgbColor(10, 20, 30));
  EXPECT_EQ(inner.Color(), RgbColor(10, 20, 30));
  EXPECT_EQ(shown(inner), RGB(10, 20, 30));
  inner.SetColor(RgbColor(1, 2, 3));  // a colour of its own: the parent's no longer reaches it
  direct.SetColor(RgbColor(40, 50, 60));
  EXPECT_EQ(inner.Color(), RgbColor(1, 2, 3));

  host.SetColour(RGB(200, 250, 240), false);
  EXPECT_EQ(shown(nested), RGB(250, 240, 200)) << "the host kept the change to itself";
  SendMessageW(host.Handle(), WM_SYSCOLORCHANGE, 0,
               0);  // as the system sends it to top-level windows
  EXPECT_EQ(shown(nested), RGB(200, 250, 240));
  EXPECT_EQ(nested.Color(), RgbColor(200, 250, 240));
  EXPECT_EQ(direct.Color(), RgbColor(40, 50, 60)) << "a colour of its own stays";
}

TEST_F(ButtonInput, ActionAndReadingOrder) {
  TZelButton& b = host.Add(20, 20, 60, 24, "Own");
  std::vector<TZelCustomButton*> executed;
  {
    TZelAction action;
    action.SetCaption("Run");
    action.SetHint("Runs it");
    action.SetHelpContext(12);
    action.OnExecute = [&](TZelAction& a) { executed.push_back(a.ActionComponent); };
    b.SetAction(&action);
    EXPECT_EQ(b.Caption(), "Run");
    EXPECT_EQ(b.Hint, "Runs it");
    EXPECT_EQ(b.HelpContext, 12u);
    action.SetEnabled(false);
    EXPECT_FALSE(b.Enabled());
    b.Click();
    action.SetEnabled(true);
    b.Click();
    EXPECT_EQ(executed, (std::vector<TZelCustomButton*>{&b}));
    action.SetCaption("Again");
    EXPECT_EQ(b.Caption(), "Again");
    b.SetCaption("Mine");  // the button's own caption is no longer the action's
    action.SetCaption("Later");
    EXPECT_EQ(b.Caption(), "Mine");
    int clicks = 0;
    b.OnClick = [&] { ++clicks; };
    b.Click();
    EXPECT_EQ(clicks, 1) << "a handler of its own runs instead";
    EXPECT_EQ(executed.size(), 1u);
  }
  EXPECT_EQ(b.Action(), nullptr) << "the destroyed action is forgotten";
  EXPECT_EQ(b.Caption(), "Mine");

  EXPECT_TRUE(b.ParentBiDiMode());
  b.SetBiDiMode(bdRightToLeft);
  EXPECT_FALSE(b.ParentBiDiMode());
  EXPECT_NE(GetWindowLongW(b.Handle(), GWL_EXSTYLE) & WS_EX_RTLREADING, 0);
  b.SetParentBiDiMode(true);
  EXPECT_EQ(b.BiDiMode(), bdLeftToRight) << "the host reads left to right";
  EXPECT_EQ(GetWindowLongW(b.Handle(), GWL_EXSTYLE) & WS_EX_RTLREADING, 0);
  TZelButton& onRtl =
      host.Add(0, 0, 60, 24, "", host.AddPanel(300, 200, 100, 50, WS_EX_RTLREADING));
  EXPECT_EQ(onRtl.BiDiMode(), bdRightToLeft);
}

// What a screen reader says of a caption: its accelerator marks gone, "&&" one '&'.
TEST(ButtonAccessibleName, CaptionWithoutItsMarks) {
  const std::pair<std::string, std::string> cases[] = {
      {"&Start", "Start"}, {"Save && go", "Save & go"}, {"&&&x", "&x"}, {"a&", "a"}, {"", ""},
      {"&&", "&"},
  };
  for (const auto& [caption, name] : cases) EXPECT_EQ(ReadableCaption(caption), name) << caption;
}

}  // namespace
}  // namespace morvane
