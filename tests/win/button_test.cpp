// The button control in a host window, driven by real window messages and read back from the
// screen: each property as a row of what it changes, the looks through one paint oracle, and
// what only a window shows (pointer, keys, focus, timers, menus, colours from the parent).
#include <gtest/gtest.h>
#include <oleacc.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "ZelButton/ZelAccessible.h"
#include "ZelButton/ZelApplication.h"
#include "platform/WideText.h"
#include "platform/WindowClass.h"
#include "tests/win/button_host.h"
#include "tests/win/main_window_fixture.h"
#include "tests/win/names_table.h"

#include <commctrl.h>

namespace morvane {
namespace {

using namespace morvane::testing;

const COLORREF kFace = GetSysColor(COLOR_BTNFACE), kShadow = GetSysColor(COLOR_BTNSHADOW),
               kLight = GetSysColor(COLOR_BTNHIGHLIGHT), kBlack = RGB(0, 0, 0),
               kCyan = RGB(0, 255, 255);
using V = std::vector<int>;

// Counts what a button raises.
struct Events {
  int clicks = 0, downs = 0, ups = 0, overs = 0, outs = 0, dbl = 0;
  explicit Events(TZelButton& b) {
    b.OnClick = [this] { ++clicks; };
    b.OnMouseDown = [this](TZelCustomButton*, TMouseButton, unsigned, int, int) { ++downs; };
    b.OnMouseUp = [this](TZelCustomButton*, TMouseButton, unsigned, int, int) { ++ups; };
    b.OnMouseOver = [this] { ++overs; };
    b.OnMouseOut = [this] { ++outs; };
    b.OnDblClick = [this] { ++dbl; };
  }
  std::string Text() const {
    return std::to_string(clicks) + " clicks " + std::to_string(downs) + " downs " +
           std::to_string(ups) + " ups " + std::to_string(overs) + " overs " +
           std::to_string(outs) + " outs " + std::to_string(dbl) + " double";
  }
};

enum class Look { Normal, Hot, Pressed, Disabled };

// Brings a button into a look through the messages that cause it.
void Show(TZelButton& b, Look look) {
  UpdateWindow(b.Handle());  // a pending repaint would draw the normal look over the new one
  if (look == Look::Disabled) b.SetEnabled(false);
  if (look == Look::Normal || look == Look::Disabled) {
    InvalidateRect(b.Handle(), nullptr, FALSE);
    UpdateWindow(b.Handle());
    return;
  }
  Leave(b);
  MoveToCentre(b);
  if (look == Look::Pressed) LeftDown(b, 5, 5);
}

// The paint oracle for frames: rings from the outside in, lt on the top and left edges and rb on
// the bottom and right ones (dotted: pen and gaps of the fill colour).
void ExpectFrame(const Pixels& px, int rings, COLORREF lt, COLORREF rb, bool dotted, COLORREF fill,
                 const std::string& what) {
  for (int i = 0; i < rings; ++i) {
    int edge = 0, pen = 0, gap = 0;
    auto see = [&](int x, int y, COLORREF want) {
      ++edge;
      pen += px.At(x, y) == want;
      gap += px.At(x, y) == fill && want != fill;
    };
    for (int x = i + 1; x < px.width - 1 - i; ++x) see(x, i, lt), see(x, px.height - 1 - i, rb);
    for (int y = i + 1; y < px.height - 1 - i; ++y) see(i, y, lt), see(px.width - 1 - i, y, rb);
    EXPECT_EQ(pen + (dotted ? gap : 0), edge) << what << " ring " << i;
    EXPECT_TRUE(!dotted || (gap > 0 && pen > 0)) << what << ": a dotted line with gaps";
  }
}

class ButtonTest : public ::testing::Test {
 protected:
  ButtonHost host;
  RecordedApplication app;
};

TEST_F(ButtonTest, EveryStyleInEveryLook) {
  struct Row {
    TStyle style;
    int normal, hot;
    COLORREF lt, rb;
    bool dotted, framed;
  } const rows[] = {
      {stFlat, 0, 1, kLight, kShadow, false, false},
      {stDefault, 1, 1, kLight, kBlack, false, true},
      {stNone, 0, 0, kLight, kShadow, false, false},
      {stRaised, 2, 2, kLight, kShadow, false, false},
      {stFlatDot, 0, 1, kLight, kShadow, true, false},
      {stRaisedDot, 2, 2, kLight, kShadow, true, false},
      {stFrameLowered, 1, 1, kShadow, kLight, false, true},
      {stFrameRaised, 1, 1, kLight, kShadow, false, true},
  };
  for (const Row& row : rows)
    for (Look look : {Look::Normal, Look::Hot, Look::Pressed, Look::Disabled}) {
      TZelButton& b = host.Add(20, 20, 60, 24);
      b.SetButtonStyle(row.style);
      Show(b, look);
      const Pixels px = Grab(b.Handle());
      const std::string what =
          "style " + std::to_string(row.style) + " look " + std::to_string(static_cast<int>(look));
      const bool pressed = look == Look::Pressed;
      const int w = look == Look::Hot || pressed ? row.hot : row.normal;
      const COLORREF fill = row.framed ? kFace : host.Colour();
      ExpectFrame(px, w, pressed ? row.rb : row.lt, pressed ? row.lt : row.rb, row.dotted, fill,
                  what);
      if (row.framed) {  // the platform edge inside: raised, or sunken when pressed
        const int inner = w + (row.style == stFrameRaised ? 1 : 0);
        EXPECT_EQ(px.At(inner, 12), pressed ? kShadow : kLight) << what;
        EXPECT_EQ(px.At(59 - inner, 12), pressed ? kLight : kShadow) << what;
        if (row.style == stFrameRaised) {
          EXPECT_EQ(px.At(w, 12), kFace) << what;
        }
      }
      EXPECT_EQ(px.At(30, 12), fill) << what;
      host.Remove(b);
    }
}

// A picture of n images of 10 x 10: a black square at 2..5, a patch at 7..8 (red in image 1,
// green in image 2, then blue), a magenta (transparent) bottom-left pixel; the rest white.
TZelBitmap Picture(int n, COLORREF firstPatch = RGB(255, 0, 0)) {
  TZelBitmap p(10 * n, 10);
  const COLORREF patch[] = {firstPatch, RGB(0, 255, 0), RGB(0, 0, 255)};
  for (int i = 0; i < n; ++i)
    for (int y = 0; y < 10; ++y)
      for (int x = 0; x < 10; ++x) {
        COLORREF c = x == 0 && y == 9 ? RGB(255, 0, 255) : RGB(255, 255, 255);
        if (x >= 2 && x <= 5 && y >= 2 && y <= 5) c = kBlack;
        if (x >= 7 && x <= 8 && y >= 7 && y <= 8) c = patch[i];
        p.SetPixel(10 * i + x, y, c);
      }
  return p;
}

// Each property as a row: the values set on a 40 x 30 button without caption, the look, and
// pixels that show what they changed. Glyph and GlyphHot are Pictures of that many images (the
// hot one's first patch cyan), whose 10 x 10 image sits at 15, 10; 0 leaves a colour or a picture
// unset. H stands for the host's colour.
TEST_F(ButtonTest, PropertiesAndWhatTheyChangeOnTheScreen) {
  constexpr COLORREF H = 1, red = RGB(255, 0, 0), white = RGB(255, 255, 255);
  const TColor redColour = RgbColor(255, 0, 0);
  const struct {
    const char* what;
    int glyph, hot;
    TStyle style, then;  // before and after the frame colours are set
    TColor leftTop, rightBottom, own;
    bool cmDefault, mark;
    Look look;
    std::vector<std::tuple<int, int, COLORREF>> probes;
  } rows[] = {
      // clang-format off
      {"Glyph of 1, disabled: embossed", 1, 0, stFlat, stFlat, 0, 0, 0, false, false,
       Look::Disabled, {{15, 19, H}, {17, 12, kShadow}, {21, 16, kLight}, {22, 17, H}, {15, 10, H}}},
      {"Glyph of 3, disabled: embossed", 3, 0, stFlat, stFlat, 0, 0, 0, false, false,
       Look::Disabled, {{17, 12, kShadow}, {21, 16, kLight}, {22, 17, H}}},
      {"Glyph of 2, disabled: image 2 as it is", 2, 0, stFlat, stFlat, 0, 0, 0, false, false,
       Look::Disabled, {{15, 19, H}, {22, 17, RGB(0, 255, 0)}, {17, 12, kBlack}, {15, 10, white}}},
      {"GlyphHot without Glyph: nothing", 0, 1, stFlat, stFlat, 0, 0, 0, false, false,
       Look::Hot, {{17, 12, H}, {22, 17, H}}},
      {"GlyphHot with Glyph: its image 1 when hot", 1, 3, stFlat, stFlat, 0, 0, 0, false, false,
       Look::Hot, {{22, 17, kCyan}, {17, 12, kBlack}}},
      {"ColorMarginLeftTop", 0, 0, stFlat, stFlat, redColour, 0, 0, false, false,
       Look::Hot, {{20, 0, red}, {0, 15, red}, {20, 29, kShadow}}},
      {"ColorMarginLeftTop, pressed", 0, 0, stFlat, stFlat, redColour, 0, 0, false, false,
       Look::Pressed, {{20, 0, kShadow}, {20, 29, red}, {39, 15, red}}},
      {"frame colours kept through a style change", 0, 0, stFlat, stRaised, redColour, 0, 0,
       false, false, Look::Normal, {{20, 0, red}, {20, 1, red}, {20, 29, kShadow}}},
      {"ColorMarginStyle cmDefault puts the style's back", 0, 0, stFlat, stRaised, redColour, 0,
       0, true, false, Look::Normal, {{20, 0, kLight}, {20, 1, kLight}}},
      {"stNone keeps no frame colours of its own", 0, 0, stNone, stFlat, 0, redColour, 0, false,
       false, Look::Hot, {{20, 29, kShadow}}},
      {"Color of its own", 0, 0, stFlat, stFlat, 0, 0, RgbColor(10, 20, 30), false, false,
       Look::Normal, {{20, 15, RGB(10, 20, 30)}}},
      {"PopupMenuMark: the glyph 5 left, the arrow 3 after it", 1, 0, stFlat, stFlat, 0, 0, 0,
       false, true, Look::Normal,
       {{17, 17, red}, {23, 13, kBlack}, {27, 13, kBlack}, {25, 15, kBlack}, {23, 15, H}}},
      {"PopupMenuMark, disabled: the arrow embossed", 1, 0, stFlat, stFlat, 0, 0, 0, false, true,
       Look::Disabled, {{23, 13, kShadow}, {28, 14, kLight}}},
      // clang-format on
  };
  for (const auto& row : rows) {
    TZelButton& b = host.Add(20, 20, 40, 30);
    b.SetButtonStyle(row.style);
    if (row.glyph != 0) b.SetGlyph(Picture(row.glyph));
    if (row.hot != 0) b.SetGlyphHot(Picture(row.hot, kCyan));
    if (row.leftTop != 0) b.SetColorMarginLeftTop(row.leftTop);
    if (row.rightBottom != 0) b.SetColorMarginRightBottom(row.rightBottom);
    if (row.own != 0) b.SetColor(row.own);
    b.SetButtonStyle(row.then);
    if (row.cmDefault) b.SetColorMarginStyle(cmDefault);
    b.SetPopupMenuMark(row.mark);
    b.SetPopupMenuMarkGap(3);
    Show(b, row.look);
    const Pixels px = Grab(b.Handle());
    for (const auto& [x, y, colour] : row.probes)
      EXPECT_EQ(px.At(x, y), colour == H ? host.Colour() : colour)
          << row.what << " at " << x << "," << y;
    LeftUp(b, 5, 5);
    host.Remove(b);
  }
  // The focus rectangle, 3 pixels inside the frame, only with ShowFocused.
  for (bool show : {true, false}) {
    TZelButton& b = host.Add(20, 20, 70, 26);
    b.SetButtonStyle(stDefault);
    b.SetShowFocused(show);
    b.SetFocus();
    Show(b, Look::Normal);
    const Pixels px = Grab(b.Handle());
    int marks = 0;
    for (int x = 5; x < 65; ++x) marks += px.At(x, 4) != kFace;
    EXPECT_EQ(marks > 10, show) << marks;
    host.Remove(b);
  }
}

// Glyph and caption boxes as the layout rules place them; captions drawn as the names themselves.
TEST_F(ButtonTest, LayoutPlacesGlyphCaptionAndArrow) {
  const struct {
    TLayout layout;
    int spacing;
    std::string caption;
    bool glyph;
  } rows[] = {
      {blGlyphLeft, 3, "Go", true},
      {blGlyphLeft, -5, "Go", true},
      {blGlyphRight, 2, "Go", true},
      {blGlyphTop, 1, LookAlikeNames()[1].name, true},
      {blGlyphBottom, 0, "Go", true},
      {blGlyphLeft, 3, LookAlikeNames()[0].name, true},
      {blGlyphLeft, 3, "A much wider caption", false},
  };
  const COLORREF ink = RGB(255, 0, 0), blue = RGB(0, 0, 255);
  for (const auto& row : rows) {
    TZelButton& b = host.Add(20, 20, 80, 60, row.caption);
    TZelFont font;
    font.Color = RgbColor(255, 0, 0);
    b.SetFont(font);
    b.SetSpacingLayout(row.spacing);
    b.SetLayout(row.layout);
    TZelBitmap glyph(8, 8);
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) glyph.SetPixel(x, y, x == 0 && y == 7 ? RGB(0, 128, 0) : blue);
    if (row.glyph) b.SetGlyph(glyph);
    Show(b, Look::Normal);
    const Pixels px = Grab(b.Handle());
    SIZE t;  // the caption measured as the control does
    {
      WindowDc dc(b.Handle());
      GdiObject<HFONT> f(font.Create());
      SelectedObject selected(dc.get(), f.get());
      const std::wstring caption = Widen(row.caption);
      GetTextExtentPoint32W(dc.get(), caption.c_str(), static_cast<int>(caption.size()), &t);
    }
    const int sl = row.spacing, sp = 4, L = row.layout;
    int tx = (80 - t.cx) / 2, ty = (60 - t.cy) / 2;
    if (row.glyph) {
      int gx = (80 - 8) / 2, gy = (60 - 8) / 2;
      if (L == blGlyphLeft) gx = (80 - (t.cx + 8)) / 2 - sl;
      if (L == blGlyphRight) gx = (80 - (8 - t.cx)) / 2 + sl;
      if (L == blGlyphBottom) gy = (60 - 8) / 2 + t.cy / 2 + sl;
      if (L == blGlyphTop) gy = (60 - 8) / 2 - t.cy / 2 - sl;
      const RECT g = px.BoxOf(blue);
      EXPECT_EQ(g.left, gx) << L << " " << sl;
      EXPECT_EQ(g.top, gy) << L << " " << sl;
      EXPECT_EQ(px.At(gx, gy + 7), host.Colour()) << "the transparent pixel";
      tx = L == blGlyphLeft ? gx + 8 + sp : L == blGlyphRight ? gx - t.cx - sp : gx + 4 - t.cx / 2;
      ty = L == blGlyphBottom ? gy - 8 - sp - t.cy / 2
           : L == blGlyphTop  ? gy + 8 + sp
                              : gy + (8 - t.cy) / 2;
    }
    const RECT box = px.BoxOf(ink);  // in the caption's rectangle, cut at the edges
    ASSERT_LT(box.left, box.right) << row.caption;
    EXPECT_GE(box.left, std::max(tx, 0)) << row.caption;
    EXPECT_LE(box.left, std::max(tx, 0) + 2) << row.caption;
    EXPECT_LE(box.right, std::min<LONG>(tx + t.cx, 80)) << row.caption;
    EXPECT_GE(box.top, ty) << row.caption;
    EXPECT_LE(box.bottom, ty + t.cy) << row.caption;
    EXPECT_TRUE(row.glyph || box.right >= 78) << "cut at the right edge";
    host.Remove(b);
  }
  // The popup arrow beside a captioned glyph only where the caption is above or below it.
  TZelButton& b = host.Add(20, 20, 60, 60, "Go");
  TZelFont font;
  font.Color = RgbColor(0, 128, 0);
  b.SetFont(font);
  b.SetGlyph(Picture(1));
  b.SetPopupMenuMark(true);
  for (TLayout layout : {blGlyphLeft, blGlyphBottom, blGlyphRight, blGlyphTop}) {
    b.SetLayout(layout);
    Show(b, Look::Normal);
    const Pixels px = Grab(b.Handle());
    const bool arrow = layout == blGlyphBottom || layout == blGlyphTop;
    EXPECT_EQ(px.Count(kBlack), arrow ? 16 + 9 : 16) << "glyph square and arrow: " << layout;
  }
  // The disabled caption: embossed, the font colour drawn over.
  TZelButton& off = host.Add(20, 90, 70, 26, "Off");
  off.SetFont(font);
  Show(off, Look::Disabled);
  const Pixels px = Grab(off.Handle());
  EXPECT_EQ(px.Count(RGB(0, 128, 0)), 0);
  const RECT shadow = px.BoxOf(kShadow), light = px.BoxOf(kLight);
  ASSERT_LT(shadow.left, shadow.right);
  EXPECT_EQ(light.left, shadow.left + 1);
  EXPECT_EQ(light.top, shadow.top + 1);
}

// Pointer sequences, as the letters say: m move in, d press, u release, o move out (over the
// other button), b back in, r right press, w middle press, 2 double click, x disabled first.
TEST_F(ButtonTest, PointerSequences) {
  const struct {
    const char* steps;
    const char* events;
    int otherOvers;
  } rows[] = {
      {"mrw", "0 clicks 0 downs 0 ups 1 overs 0 outs 0 double", 0},
      {"mdou", "0 clicks 0 downs 0 ups 1 overs 1 outs 0 double", 1},
      {"mdobu", "1 clicks 0 downs 1 ups 2 overs 1 outs 0 double", 1},
      {"mdu2u", "2 clicks 0 downs 2 ups 1 overs 0 outs 1 double", 0},
      {"xmdu", "0 clicks 0 downs 0 ups 0 overs 0 outs 0 double", 0},
  };
  for (const auto& row : rows) {
    TZelButton& b = host.Add(20, 20, 60, 24, "Go");
    TZelButton& other = host.Add(100, 20, 60, 24, "Other");
    Events e(b), o(other);
    int x = 10;
    for (const char* step = row.steps; *step != '\0'; ++step) {
      const COLORREF h = host.Colour();
      if (*step == 'x') b.SetEnabled(false), b.SetPlayMusic(true);
      if (*step == 'm' || *step == 'b' || *step == 'o') MoveTo(b, x = *step == 'o' ? 110 : 10, 10);
      if (*step == 'd') LeftDown(b, 10, 10);
      if (*step == 'u') LeftUp(b, x, 10);
      if (*step == 'd' && b.Enabled()) {
        EXPECT_NE(ReadThroughAccessibility(b).state & STATE_SYSTEM_PRESSED, 0) << "held down";
      }
      if (*step == 'o') ExpectFrame(Grab(b.Handle()), 1, h, h, false, h, "out: the normal look");
      if (*step == 'b') ExpectFrame(Grab(b.Handle()), 1, kLight, kShadow, false, h, "back: hot");
      if (*step == 'r' || *step == 'w') {
        const std::vector<COLORREF> before = Grab(b.Handle()).data;
        const UINT down = *step == 'r' ? WM_RBUTTONDOWN : WM_MBUTTONDOWN;
        PostMessageW(b.Handle(), down, 0, MAKELPARAM(5, 5));
        PostMessageW(b.Handle(), down + 1, 0, MAKELPARAM(5, 5));
        Settle();
        EXPECT_EQ(Grab(b.Handle()).data, before) << "a right or middle press changes nothing";
      }
      if (*step == '2') PostMessageW(b.Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(10, 10));
      Settle();
    }
    if (row.steps[0] == 'x') b.Click();
    EXPECT_EQ(e.Text(), row.events) << row.steps;
    EXPECT_EQ(o.overs, row.otherOvers) << row.steps << ": told even during the capture";
    EXPECT_EQ(ReadThroughAccessibility(b).state & STATE_SYSTEM_PRESSED, 0) << row.steps;
    EXPECT_TRUE(app.sounds.empty()) << row.steps;
    host.Remove(b);
    host.Remove(other);
  }
}

TEST_F(ButtonTest, RepeatCallsTheHandlerWhileHeld) {
  {
    TZelButton& b = host.Add(20, 20, 60, 24, "Go");  // the system's own timers
    b.SetRepeatAction(true);
    int calls = 0;
    b.OnClick = [&] { ++calls; };
    MoveToCentre(b);
    LeftDown(b, 10, 10);
    EXPECT_TRUE(PumpUntil([&] { return calls >= 3; }));
    LeftUp(b, 10, 10);
    host.Remove(b);
  }
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
  // Stopped by leaving, by switching RepeatAction off while held, and by going away; nothing
  // keeps repeating after: 0 leave, 1 off then release, 2 off then leave, 3 disabled, 4 hidden.
  for (int how = 0; how < 5; ++how) {
    MoveToCentre(b);
    LeftDown(b, 10, 10);
    clock.Advance(160);
    const int held = calls;
    if (how == 1 || how == 2) b.SetRepeatAction(false);
    if (how == 0 || how == 2) MoveTo(b, 200, 10);
    if (how == 3) b.SetEnabled(false);
    if (how == 4) b.SetVisible(false);
    clock.Advance(how == 1 ? 0 : 500);
    EXPECT_EQ(calls, held) << how << ": still repeating";
    EXPECT_TRUE(how < 3 || GetCapture() == nullptr) << how;
    LeftUp(b, how == 0 || how == 2 ? 200 : 10, 10);
    b.SetEnabled(true), b.SetVisible(true), b.SetRepeatAction(true);
    LeftUp(b, 10, 10);
    clock.Advance(500);
    EXPECT_EQ(calls, held + (how == 1 ? 1 : 0)) << how;
  }
  host.Remove(b);
  TZelButton& self = host.Add(20, 20, 60, 24, "Self");  // destroyed by its own repeat
  self.SetRepeatAction(true);
  self.OnClick = [&] { ++calls, host.Remove(self); };
  MoveToCentre(self);
  LeftDown(self, 10, 10);
  const int before = calls;
  clock.Advance(500);
  EXPECT_EQ(calls, before + 1);
}

TEST_F(ButtonTest, KindsSetGlyphsCaptionsKeysAndActions) {
  const struct {
    TKind kind;
    const char* caption;
    bool cancel, isDefault;
    int result;
  } rows[] = {{skOK, "OK", false, true, 1},           {skCancel, "Cancel", true, false, 2},
              {skHelp, "&Help", false, false, 0},     {skYes, "&Yes", false, true, 6},
              {skNo, "&No", true, false, 7},          {skClose, "&Close", false, false, 0},
              {skAbort, "Abort", false, false, 3},    {skRetry, "&Retry", false, false, 4},
              {skIgnore, "&Ignore", false, false, 5}, {skAll, "&All", false, false, 8},
              {skSilly, "&Silly", false, false, 0}};
  SetWindowContextHelpId(host.Handle(), 77);
  for (const auto& row : rows) {
    TZelButton& b = host.Add(20, 20, 80, 28, "old");
    b.SetButtonKind(row.kind);
    EXPECT_EQ(b.Caption(), row.caption);
    EXPECT_EQ(b.Cancel(), row.cancel) << row.caption;
    EXPECT_EQ(b.Default(), row.isDefault) << row.caption;
    EXPECT_EQ(b.NumGlyphs() + b.NumGlyphsHot(), 2) << row.caption;
    const int size = row.kind == skSilly ? 19 : 18;
    const COLORREF key = row.kind == skSilly ? RGB(0, 0, 255) : RGB(255, 0, 255);
    for (const TZelBitmap* g : {&b.Glyph(), &b.GlyphHot()}) {
      EXPECT_EQ(g->Width() * 100 + g->Height(), size * 101) << row.caption;
      EXPECT_EQ(g->Pixel(0, size - 1), key) << row.caption;
      EXPECT_LT(std::count(g->Bits(), g->Bits() + size * size, 0u), size * size / 2);
    }
    SetModalResult(host.Handle(), 0);
    const int closes = host.closes;
    b.Click();
    EXPECT_EQ(ModalResult(host.Handle()), row.result) << row.caption;
    EXPECT_EQ(host.closes - closes, row.kind == skClose ? 1 : 0) << row.caption;
    host.Remove(b);
  }
  EXPECT_EQ(app.help, (std::vector<DWORD>{77}));
  TZelButton& b = host.Add(20, 20, 80, 28);
  b.SetButtonKind(skCancel);
  b.SetButtonKind(skCustom);
  EXPECT_TRUE(b.Glyph().Empty() && b.GlyphHot().Empty());
  EXPECT_EQ(b.Caption(), "Cancel");
  EXPECT_FALSE(b.Cancel() || b.Default());
  TZelButton& loaded = host.Add(20, 60, 80, 28);
  {
    TZelLoadScope loading(loaded);  // while loading, an empty caption waits for the stored one
    loaded.SetButtonKind(skOK);
  }
  EXPECT_EQ(loaded.Caption(), "");
  // The picture's width decides the number of images; a glyph makes the kind custom.
  const struct {
    int w, h, before, after;
  } sizes[] = {{72, 18, 2, 4}, {90, 18, 2, 1}, {40, 18, 3, 3}, {18, 36, 2, 1}, {36, 18, 1, 2}};
  for (const auto& row : sizes) {
    b.SetButtonKind(skCancel);
    b.SetNumGlyphs(row.before);
    b.SetGlyph(TZelBitmap(row.w, row.h));
    EXPECT_EQ(b.NumGlyphs(), row.after) << row.w << "x" << row.h;
    EXPECT_EQ(b.ButtonKind(), skCustom);
    EXPECT_TRUE(b.Cancel()) << "Cancel and Default stay";
  }
  b.SetGlyphHot(TZelBitmap(54, 18));
  EXPECT_EQ(b.NumGlyphsHot(), 3);
}

TEST_F(ButtonTest, EnterEscapeAndAcceleratorsFollowDefaultCancelAndTheFocus) {
  TZelButton& ok = host.Add(20, 20, 60, 24, "OK");
  TZelButton& other = host.Add(100, 20, 60, 24, "&Go");
  TZelButton& cancel = host.Add(180, 20, 60, 24, "Cancel");
  TZelButton& amp = host.Add(260, 20, 60, 24, "A&&B");
  TZelButton& polish = host.Add(340, 20, 60, 24,
                                "&\xC5\x81\xC3\xB3"
                                "d\xC5\xBA");  // &Łódź
  Events eOk(ok), eOther(other), eCancel(cancel), eAmp(amp), ePolish(polish);
  ok.SetDefault(true);
  cancel.SetCancel(true);
  PressKey(VK_RETURN);
  EXPECT_EQ(eOk.clicks, 0) << "Default takes effect at the next focus change";
  SetFocus(host.Handle());
  SetFocus(host.Edit());
  Settle();
  PressKey(VK_RETURN);
  PressKey(VK_RETURN, true);
  PressKey(VK_ESCAPE, false, true);
  EXPECT_EQ(eOk.clicks, 1) << "Enter, not Ctrl+Enter";
  EXPECT_EQ(eCancel.clicks, 0) << "not Shift+Escape";
  PressKey(VK_ESCAPE);
  EXPECT_EQ(eCancel.clicks, 1);
  TypeChar(host.Edit(), 'g', false);  // typed into the edit control
  TypeChar(host.Edit(), 'b', true);   // a doubled ampersand marks nothing
  other.SetFocus();                   // another button has the focus: Enter clicks that one
  Settle();
  PressKey(VK_RETURN);
  EXPECT_EQ(eOther.clicks, 1);
  SetFocus(host.Handle());
  Settle();
  TypeChar(host.Handle(), 'g', true);        // Alt+G
  TypeChar(host.Handle(), 'G', false);       // G where no control takes characters
  TypeChar(host.Handle(), L'\x0142', true);  // Alt+ł: the letter in either case
  TypeChar(host.Handle(), L'L', true);       // its look-alike is another letter
  EXPECT_EQ(eOther.clicks, 3);
  EXPECT_EQ(ePolish.clicks, 1);
  EXPECT_EQ(eAmp.clicks, 0);
  ok.SetEnabled(false);
  SetFocus(host.Edit());
  Settle();
  PressKey(VK_RETURN);
  EXPECT_EQ(eOk.clicks, 1) << "a disabled button takes no key";
}

// The tooltip of this thread on the screen, or nullptr.
BOOL CALLBACK NoteVisibleTip(HWND hwnd, LPARAM found) {
  wchar_t name[32] = {};
  GetClassNameW(hwnd, name, 32);
  if (lstrcmpiW(name, TOOLTIPS_CLASSW) == 0 && IsWindowVisible(hwnd))
    *reinterpret_cast<HWND*>(found) = hwnd;
  return TRUE;
}
HWND VisibleTip() {
  HWND tip = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), &NoteVisibleTip, reinterpret_cast<LPARAM>(&tip));
  return tip;
}

TEST_F(ButtonTest, HoverSoundHandCursorHintAndVersion) {
  TZelButton& b = host.Add(20, 20, 60, 24, "Go");
  b.SetPlayMusic(true);
  b.SetCursor(0);
  MoveToCentre(b);
  ASSERT_EQ(app.sounds.size(), 1u);
  EXPECT_EQ(std::memcmp(static_cast<const char*>(app.sounds[0]) + 8, "WAVEfmt ", 8), 0);
  EXPECT_EQ(b.Cursor(), 1);
  EXPECT_EQ(TZelCursors::Get(1), LoadCursorW(GetModuleHandleW(nullptr), L"HANDZELB"));
  Leave(b);
  EXPECT_EQ(b.Cursor(), 0);
  EXPECT_EQ(TZelCursors::Get(0), LoadCursorW(nullptr, IDC_ARROW));
  EXPECT_EQ(app.sounds.size(), 1u);
  const std::string notice = b.Version();
  b.SetVersion("2.0");
  EXPECT_EQ(b.Version(), notice);
  EXPECT_FALSE(notice.empty());
  b.SetHintSecondLine("B");
  EXPECT_EQ(b.Hint, "") << "no second line without a first";

  // The hint in a tooltip of two lines below the pointer, only with ShowHint; a press hides it.
  b.Hint = "Starts the search";
  b.SetHintSecondLine("of stale keys");
  POINT centre{30, 12};
  ClientToScreen(b.Handle(), &centre);
  SetCursorPos(centre.x, centre.y);  // the tooltip checks the real pointer before it shows
  MoveToCentre(b);
  EXPECT_FALSE(PumpUntil([&] { return VisibleTip() != nullptr; }, std::chrono::milliseconds(1200)))
      << "ShowHint is off";
  b.ShowHint = true;
  MoveTo(b, 31, 12);
  ASSERT_TRUE(PumpUntil([&] { return VisibleTip() != nullptr; }));
  const HWND tip = VisibleTip();
  wchar_t text[80] = {};
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.hwnd = b.Handle();
  tool.uId = reinterpret_cast<UINT_PTR>(b.Handle());
  tool.lpszText = text;
  SendMessageW(tip, TTM_GETTEXTW, 80, reinterpret_cast<LPARAM>(&tool));
  EXPECT_EQ(Narrow(text), "Starts the search\r\nof stale keys");
  TEXTMETRICW metrics;
  {
    WindowDc dc(tip);
    SelectedObject font(dc.get(), reinterpret_cast<HFONT>(SendMessageW(tip, WM_GETFONT, 0, 0)));
    GetTextMetricsW(dc.get(), &metrics);
  }
  RECT r;
  GetWindowRect(tip, &r);
  EXPECT_GE(r.bottom - r.top, 2 * metrics.tmHeight) << "two lines";
  EXPECT_GT(r.top, centre.y) << "below the pointer";
  LeftDown(b, 30, 12);
  EXPECT_FALSE(IsWindowVisible(tip)) << "a press puts it away";
  LeftUp(b, 30, 12);
  SetCursorPos(0, 0);
}

// While a menu is open, then runs from a timer inside its modal loop (by default it notes where
// the menu is and closes it); a menu still open three seconds later is closed, and noted.
struct OpenMenu {
  static inline RECT seen{};
  static inline bool rescued = false;
  static inline std::function<void()> then;
  static void CALLBACK Run(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    seen = RECT{};
    if (HWND menu = FindWindowW(L"#32768", nullptr)) GetWindowRect(menu, &seen);
    if (then)
      then();
    else
      EndMenu();
  }
  static void CALLBACK Rescue(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    rescued = EndMenu();
  }
  explicit OpenMenu(std::function<void()> f = nullptr) {
    then = std::move(f);
    rescued = false;
    SetTimer(nullptr, 0, 100, &Run);
    rescue = SetTimer(nullptr, 0, 3000, &Rescue);
  }
  ~OpenMenu() { KillTimer(nullptr, rescue); }
  UINT_PTR rescue;
};

TEST_F(ButtonTest, PopupMenuOpensAtItsPositionAndGoesWithItsButton) {
  TZelPopupMenu menu;
  menu.Add("First item", [] {});
  TZelButton& b = host.Add(200, 100, 60, 24, "Menu");
  Events e(b);
  b.SetPopupMenu(&menu);
  const ReadButton withMenu = ReadThroughAccessibility(b);
  EXPECT_EQ(withMenu.role, ROLE_SYSTEM_BUTTONMENU);
  EXPECT_NE(withMenu.state & STATE_SYSTEM_HASPOPUP, 0);
  POINT o{0, 0};
  ClientToScreen(b.Handle(), &o);
  const struct {
    TPositionPopup position;
    LONG RECT::*side;
    LONG at, top;
  } rows[] = {{puDown, &RECT::left, o.x - 1, o.y + 24},
              {puLeft, &RECT::right, o.x - 1, o.y},
              {puRight, &RECT::left, o.x + 61, o.y}};
  for (const auto& row : rows) {
    b.SetPositionPopup(row.position);
    OpenMenu open;
    MoveToCentre(b);
    LeftDown(b, 10, 10);  // returns when the menu has closed
    EXPECT_EQ(OpenMenu::seen.*row.side, row.at) << row.position;
    EXPECT_EQ(OpenMenu::seen.top, row.top) << row.position;
    LeftUp(b, 10, 10);
  }
  EXPECT_EQ(e.downs, 3);
  EXPECT_EQ(e.clicks, 0) << "the menu took the press";
  EXPECT_EQ(menu.PopupComponent, &b);
  EXPECT_FALSE(menu.AutoPopup);
  {
    OpenMenu open;
    b.Click();  // a click opens the menu after OnClick
  }
  EXPECT_EQ(e.clicks, 1);
  EXPECT_NE(OpenMenu::seen.right, 0);
  auto gone = std::make_unique<TZelPopupMenu>();  // a destroyed menu is forgotten
  b.SetPopupMenu(gone.get());
  gone.reset();
  EXPECT_EQ(b.PopupMenu(), nullptr);
  const ReadButton withoutMenu = ReadThroughAccessibility(b);
  EXPECT_EQ(withoutMenu.role, ROLE_SYSTEM_PUSHBUTTON);
  EXPECT_EQ(withoutMenu.state & STATE_SYSTEM_HASPOPUP, 0);
  b.Click();
  EXPECT_EQ(e.clicks, 2);

  // Disabled, hidden, or destroyed by its own item while its menu is open: the menu closes at
  // once and nothing follows.
  ManualClock clock;
  for (int how = 0; how < 3; ++how) {
    TZelButton* open = &host.Add(20, 20, 60, 24, "Menu");
    TZelPopupMenu m;
    m.Add("Remove", [&] { host.Remove(*open); });
    open->SetRepeatAction(true);
    open->SetPopupMenu(&m);
    Events ev(*open);
    OpenMenu menuOpen([&] {
      if (how == 0) open->SetEnabled(false);
      if (how == 1) open->SetVisible(false);
      if (how == 2) {
        HWND window = FindWindowW(L"#32768", nullptr);
        PostMessageW(window, WM_KEYDOWN, VK_DOWN, 0);
        PostMessageW(window, WM_KEYDOWN, VK_RETURN, 0);
      }
    });
    MoveToCentre(*open);
    LeftDown(*open, 10, 10);  // returns when the menu has closed
    EXPECT_FALSE(OpenMenu::rescued) << how << ": the menu stayed open";
    clock.Advance(500);
    if (how == 2) {
      EXPECT_EQ(m.PopupComponent, open);
      EXPECT_EQ(ev.downs, 0);
      continue;
    }
    LeftUp(*open, 10, 10);
    EXPECT_EQ(ev.downs + ev.clicks + ev.ups, 0) << how;
    host.Remove(*open);
  }
}

// One drag per row, driven by pointer messages; each row's events are logged in order.
TEST_F(ButtonTest, DragOntoAnotherButton) {
  const struct {
    const char* what;
    bool immediate, accept, escape, disableSource;
    int moveTo;  // x over the source's client area: 110 lies over the target, 0 means no move
    const char* log;
  } rows[] = {
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
  for (const auto& row : rows) {
    TZelButton& source = host.Add(20, 20, 60, 24, "Drag");
    TZelButton& target = host.Add(125, 20, 60, 24, "Here");
    std::string log;
    auto note = [&log](const std::string& s) { log += (log.empty() ? "" : " ") + s; };
    auto at = [](int x, int y) { return "(" + std::to_string(x) + "," + std::to_string(y) + ")"; };
    source.OnStartDrag = [&](TZelCustomButton*) { note("start"); };
    source.OnEndDrag = [&](TZelCustomButton*, TZelCustomButton* to, int x, int y) {
      note(to == &target ? "end:target" + at(x, y) : "end:none");
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
      note("drop" + at(x, y));
    };
    SetFocus(host.Edit());
    MoveToCentre(source);
    LeftDown(source, 10, 10);
    source.BeginDrag(row.immediate, 4);
    EXPECT_TRUE(source.Dragging());
    for (int i = 0; i < 2 && row.moveTo != 0; ++i) MoveTo(source, row.moveTo, 10);
    if (row.escape) PressKey(VK_ESCAPE);
    LeftUp(source, row.moveTo != 0 ? row.moveTo : 10, 10);
    EXPECT_EQ(log, row.log) << row.what;
    EXPECT_FALSE(source.Dragging()) << row.what;
    EXPECT_EQ(GetCapture(), nullptr) << row.what;
    host.Remove(source);
    host.Remove(target);
  }
}

TEST_F(ButtonTest, AlignAnchorsAndConstraintsFollowTheParent) {
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
  auto bounds = [](TZelButton& b) { return V{b.Left(), b.Top(), b.Width(), b.Height()}; };
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
// (the order overlapping buttons are drawn in) as it is. The host's edit control is first.
TEST_F(ButtonTest, TabStopAndTabOrderDecideTabbing) {
  TZelButton& a = host.Add(20, 20, 60, 24, "A");
  TZelButton& b = host.Add(100, 20, 60, 24, "B");
  TZelButton& c = host.Add(180, 20, 60, 24, "C");
  TZelButton& d = host.Add(260, 20, 60, 24, "D");
  EXPECT_FALSE(a.TabStop());
  for (TZelButton* stop : {&a, &b, &c}) stop->SetTabStop(true);
  EXPECT_NE(GetWindowLongW(a.Handle(), GWL_STYLE) & WS_TABSTOP, 0);
  EXPECT_EQ(GetWindowLongW(d.Handle(), GWL_STYLE) & WS_TABSTOP, 0);
  const HWND drawnFirst = GetWindow(host.Handle(), GW_CHILD);
  // (button, place asked for, places of a b c d after): out of range at either end is the last.
  const struct {
    TZelButton* button;
    int place;
    V order;
  } rows[] = {{&c, 0, {2, 3, 0, 4}},
              {&b, 1, {3, 1, 0, 4}},
              {&d, 99, {3, 1, 0, 4}},
              {&b, -1, {2, 4, 0, 3}},
              {&b, 1, {3, 1, 0, 4}}};
  for (const auto& row : rows) {
    row.button->SetTabOrder(row.place);
    EXPECT_EQ((V{a.TabOrder(), b.TabOrder(), c.TabOrder(), d.TabOrder()}), row.order) << row.place;
  }
  EXPECT_EQ(GetWindow(host.Handle(), GW_CHILD), drawnFirst) << "the z-order stays";
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
}

TEST_F(ButtonTest, KeysFocusAndContextMenuRequests) {
  TZelButton& a = host.Add(20, 20, 60, 24, "A");
  std::string log;
  a.OnEnter = [&] { log += "enter "; };
  a.OnExit = [&] { log += "exit "; };
  a.OnKeyDown = [&](TZelCustomButton*, WORD& key, unsigned shift) {
    log += "down:" + std::to_string(key) + (shift & ssShift ? "+shift " : " ");
  };
  a.OnKeyUp = [&](TZelCustomButton*, WORD& key, unsigned) {
    log += "up:" + std::to_string(key) + " ";
  };
  a.OnKeyPress = [&](TZelCustomButton*, wchar_t& key) {
    log += std::string("press:") + static_cast<char>(key) + " ";
  };
  a.SetFocus();
  PressKey('K', false, true);  // translated into the character as well
  PostMessageW(a.Handle(), WM_KEYUP, 'K', 0xC0000001);
  Settle();
  SetFocus(host.Edit());
  Settle();
  EXPECT_EQ(log, "enter down:75+shift press:K up:75 exit ");

  std::vector<POINT> asked;
  bool handle = true;
  a.OnContextPopup = [&](TZelCustomButton*, POINT at, bool& handled) {
    asked.push_back(at);
    handled = handle;
  };
  PostMessageW(a.Handle(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(7, 9));
  PostMessageW(a.Handle(), WM_RBUTTONUP, 0, MAKELPARAM(7, 9));
  Settle();
  const WPARAM self = reinterpret_cast<WPARAM>(a.Handle());
  SendMessageW(a.Handle(), WM_CONTEXTMENU, self, MAKELPARAM(-1, -1));
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0].x * 100 + asked[0].y, 709);
  EXPECT_EQ(asked[1].x, -1) << "from the keyboard";
  EXPECT_EQ(host.contextMenus, 0) << "handled";
  handle = false;
  SendMessageW(a.Handle(), WM_CONTEXTMENU, self, MAKELPARAM(-1, -1));
  EXPECT_EQ(host.contextMenus, 1) << "unhandled: on to the parent";
}

// The parent-colour notice, row by row: what the host (or a button) does, then the colour each
// button takes and shows. 'direct' sits on the host, 'nested' on a panel of it, 'inner' on
// 'direct', 'framed' (stFrameRaised) on the host.
TEST_F(ButtonTest, ParentAndSystemColourNoticesReachTheButtons) {
  TZelButton& direct = host.Add(20, 20, 60, 24);
  TZelButton& nested = host.Add(20, 20, 60, 24, "", host.AddPanel(300, 20, 200, 100));
  TZelButton& framed = host.Add(20, 60, 60, 24);
  TZelButton& inner = host.Add(8, 3, 44, 18, "", direct.Handle());
  framed.SetButtonStyle(stFrameRaised);
  framed.SetParentColor(true);  // a framed style holds the button face all the same
  const TColor face = clBtnFace, yellow = RgbColor(250, 240, 200), cyan = RgbColor(200, 250, 240);
  const struct {
    const char* what;
    std::function<void()> act;
    TColor direct, nested, inner;
  } rows[] = {
      {"told by the host", [&] { host.SetColour(RGB(250, 240, 200)); }, yellow, yellow, yellow},
      {"a host that paints the button face", [&] { host.SetColour(kFace, true, true); }, face, face,
       face},
      {"and back", [&] { host.SetColour(RGB(250, 240, 200)); }, yellow, yellow, yellow},
      {"a button's own colour reaches its children", [&] { direct.SetColor(RgbColor(10, 20, 30)); },
       RgbColor(10, 20, 30), yellow, RgbColor(10, 20, 30)},
      {"a child with a colour of its own keeps it",
       [&] { inner.SetColor(RgbColor(1, 2, 3)), direct.SetColor(RgbColor(40, 50, 60)); },
       RgbColor(40, 50, 60), yellow, RgbColor(1, 2, 3)},
      {"the host keeps a change to itself", [&] { host.SetColour(RGB(200, 250, 240), false); },
       RgbColor(40, 50, 60), yellow, RgbColor(1, 2, 3)},
      {"the system-colour notice", [&] { SendMessageW(host.Handle(), WM_SYSCOLORCHANGE, 0, 0); },
       RgbColor(40, 50, 60), cyan, RgbColor(1, 2, 3)},
  };
  auto shown = [](TZelButton& b) {
    UpdateWindow(b.Handle());
    return Grab(b.Handle()).At(b.Width() / 2, b.Height() / 2);
  };
  for (const auto& row : rows) {
    row.act();
    EXPECT_EQ(direct.Color(), row.direct) << row.what;
    EXPECT_EQ(nested.Color(), row.nested) << row.what;
    EXPECT_EQ(inner.Color(), row.inner) << row.what;
    EXPECT_EQ(shown(nested), ColorToRGB(row.nested)) << row.what;
    EXPECT_EQ(shown(inner), ColorToRGB(row.inner)) << row.what;
    EXPECT_EQ(framed.Color(), clBtnFace) << row.what;
    EXPECT_FALSE(framed.ParentColor());
    EXPECT_EQ(shown(framed), kFace) << row.what;
  }
}

TEST_F(ButtonTest, ActionAndReadingOrder) {
  TZelButton& b = host.Add(20, 20, 60, 24, "Own");
  std::vector<TZelCustomButton*> executed;
  {
    TZelAction action;
    action.SetCaption("Run");
    action.SetHint("Runs it");
    action.SetHelpContext(12);
    action.OnExecute = [&](TZelAction& a) { executed.push_back(a.ActionComponent); };
    b.SetAction(&action);
    EXPECT_EQ(b.Caption() + "|" + b.Hint, "Run|Runs it");
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
  // What a screen reader says of a caption: its accelerator marks gone, "&&" one '&'.
  for (const auto& [caption, name] :
       std::vector<std::pair<std::string, std::string>>{{"&Start", "Start"},
                                                        {"Save && go", "Save & go"},
                                                        {"&&&x", "&x"},
                                                        {"a&", "a"},
                                                        {"", ""},
                                                        {"&&", "&"}})
    EXPECT_EQ(ReadableCaption(caption), name) << caption;
}

// The main window's action buttons: no frame at rest, the hot caption's colour and the hand
// when the pointer rests there (also through a repaint), pressed one pixel down and right.
TEST_F(MainWindowTest, ActionButtonsAtRestHotAndPressed) {
  TMainForm& f = Form();
  TZelButton& b = *f.ZelButton4;
  const COLORREF white = RGB(255, 255, 255), green = RGB(0, 128, 0);
  Pixels px = Grab(b.Handle());
  ExpectFrame(px, 1, white, white, false, white, "rest: no frame");
  const RECT rest = px.BoxOf(GetSysColor(COLOR_WINDOWTEXT));
  EXPECT_LT(rest.left, rest.right) << "caption in the window-text colour";
  EXPECT_EQ(px.Count(green), 0);
  MoveToCentre(b);
  ExpectFrame(Grab(b.Handle()), 1, kLight, kShadow, false, white, "hot");
  EXPECT_EQ(b.Cursor(), 1);
  InvalidateRect(b.Handle(), nullptr, FALSE);
  UpdateWindow(b.Handle());
  px = Grab(b.Handle());
  ExpectFrame(px, 1, white, white, false, white, "repainted while hot");
  const RECT hot = px.BoxOf(green);
  EXPECT_EQ(hot.left * 1000 + hot.top, rest.left * 1000 + rest.top);
  LeftDown(b, 5, 5);
  px = Grab(b.Handle());
  ExpectFrame(px, 1, kShadow, kLight, false, white, "pressed");
  EXPECT_EQ(px.BoxOf(green).left * 1000 + px.BoxOf(green).top, hot.left * 1000 + hot.top + 1001);
  LeftUp(b, 5, 5);
  EXPECT_EQ(services_.started, std::vector<ProgramStart>{RegistryEditor()});
}

}  // namespace
}  // namespace morvane
