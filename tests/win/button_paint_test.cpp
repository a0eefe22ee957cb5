// What the button control shows, read back from the screen: frames of every style in every
// look, frame colours, glyphs (disabled and hot), layout of glyph, caption and arrow, the focus
// rectangle, the disabled caption, and the main window's buttons.
#include <gtest/gtest.h>

#include "platform/WideText.h"
#include "tests/win/button_host.h"
#include "tests/win/main_window_fixture.h"
#include "tests/win/names_table.h"

namespace morvane {
namespace {

using namespace morvane::testing;

const COLORREF kFace = GetSysColor(COLOR_BTNFACE), kShadow = GetSysColor(COLOR_BTNSHADOW),
               kLight = GetSysColor(COLOR_BTNHIGHLIGHT), kBlack = RGB(0, 0, 0);

enum class Look { Normal, Hot, Pressed, Disabled };

// Brings a fresh button into a look through the messages that cause it.
void Show(TZelButton& b, Look look) {
  UpdateWindow(b.Handle());  // a pending repaint would draw the normal look over the new one
  switch (look) {
    case Look::Normal:
      InvalidateRect(b.Handle(), nullptr, FALSE);
      UpdateWindow(b.Handle());
      break;
    case Look::Hot:
      Leave(b);
      MoveToCentre(b);
      break;
    case Look::Pressed:
      Leave(b);
      MoveToCentre(b);
      LeftDown(b, 5, 5);
      break;
    case Look::Disabled:
      b.SetEnabled(false);
      UpdateWindow(b.Handle());
      break;
  }
  PumpFor(10);
}

// Checks W rings from the outside in: left column and top row in t, right column and bottom
// row in b, the top-right and bottom-left corners in b. A dotted ring shows t or b and the gaps.
void ExpectRings(const Pixels& px, int w, COLORREF t, COLORREF b, bool dotted, COLORREF gap,
                 const char* what) {
  for (int i = 0; i < w; ++i) {
    const int l = i, top = i, r = px.width - 1 - i, bottom = px.height - 1 - i;
    for (int x = l; x <= r; ++x) {
      const COLORREF topWant = x == r ? b : t;
      if (dotted) {
        EXPECT_TRUE(px.At(x, top) == topWant || px.At(x, top) == gap) << what << " top x=" << x;
        EXPECT_TRUE(px.At(x, bottom) == b || px.At(x, bottom) == gap) << what << " bottom x=" << x;
      } else {
        EXPECT_EQ(px.At(x, top), topWant) << what << " ring " << i << " top x=" << x;
        EXPECT_EQ(px.At(x, bottom), b) << what << " ring " << i << " bottom x=" << x;
      }
    }
    for (int y = top; y <= bottom; ++y) {
      if (dotted) continue;
      EXPECT_EQ(px.At(l, y), y == bottom ? b : t) << what << " ring " << i << " left y=" << y;
      EXPECT_EQ(px.At(r, y), b) << what << " ring " << i << " right y=" << y;
    }
    if (dotted && t != gap) {
      int pen = 0;
      for (int x = l; x < r; ++x) pen += px.At(x, top) == t;
      EXPECT_GT(pen, 0) << what << ": the dotted line shows";
      EXPECT_LT(pen, r - l) << what << ": the dotted line has gaps";
    }
  }
}

TEST(ButtonPaint, EveryStyleInEveryLook) {
  struct Row {
    TStyle style;
    int normal, hot;
    COLORREF lt, rb;
    bool dotted, framed;
  };
  const Row rows[] = {
      {stFlat, 0, 1, kLight, kShadow, false, false},
      {stDefault, 1, 1, kLight, kBlack, false, true},
      {stNone, 0, 0, kLight, kShadow, false, false},
      {stRaised, 2, 2, kLight, kShadow, false, false},
      {stFlatDot, 0, 1, kLight, kShadow, true, false},
      {stRaisedDot, 2, 2, kLight, kShadow, true, false},
      {stFrameLowered, 1, 1, kShadow, kLight, false, true},
      {stFrameRaised, 1, 1, kLight, kShadow, false, true},
  };
  ButtonHost host;
  for (const Row& row : rows) {
    for (Look look : {Look::Normal, Look::Hot, Look::Pressed, Look::Disabled}) {
      TZelButton& b = host.Add(20, 20, 60, 24);
      b.SetButtonStyle(row.style);
      Show(b, look);
      const Pixels px = Grab(b.Handle());
      const std::string what =
          "style " + std::to_string(row.style) + " look " + std::to_string(int(look));
      const bool pressed = look == Look::Pressed;
      const int w = look == Look::Hot || pressed ? row.hot : row.normal;
      const COLORREF brush = row.framed ? kFace : host.Colour();
      ExpectRings(px, w, pressed ? row.rb : row.lt, pressed ? row.lt : row.rb, row.dotted, brush,
                  what.c_str());
      int inner = w + (row.style == stFrameRaised ? 1 : 0);
      if (row.framed) {
        // The platform edge: raised inner, or sunken outer when pressed; button face inside.
        const int midX = px.width / 2, midY = px.height / 2;
        EXPECT_EQ(px.At(inner, midY), pressed ? kShadow : kLight) << what;
        EXPECT_EQ(px.At(midX, inner), pressed ? kShadow : kLight) << what;
        EXPECT_EQ(px.At(px.width - 1 - inner, midY), pressed ? kLight : kShadow) << what;
        EXPECT_EQ(px.At(midX, px.height - 1 - inner), pressed ? kLight : kShadow) << what;
        if (row.style == stFrameRaised) {
          EXPECT_EQ(px.At(w, midY), kFace) << what;
        }
        ++inner;
      }
      EXPECT_EQ(px.At(inner, inner), brush) << what;
      EXPECT_EQ(px.At(px.width / 2, px.height / 2), brush) << what;
      host.Remove(b);
    }
  }
}

TEST(ButtonPaint, CustomFrameColoursSurviveAStyleChangeUntilDefaultIsChosen) {
  ButtonHost host;
  const COLORREF red = RGB(255, 0, 0);
  TZelButton& b = host.Add(20, 20, 60, 24);
  b.SetColorMarginLeftTop(RgbColor(255, 0, 0));
  EXPECT_EQ(b.ColorMarginStyle(), cmCustom);
  Show(b, Look::Hot);
  ExpectRings(Grab(b.Handle()), 1, red, kShadow, false, 0, "hot");
  LeftDown(b, 5, 5);
  ExpectRings(Grab(b.Handle()), 1, kShadow, red, false, 0, "pressed");
  LeftUp(b, 5, 5);
  b.SetButtonStyle(stRaised);
  EXPECT_EQ(b.ColorMarginLeftTop(), RgbColor(255, 0, 0));
  Show(b, Look::Normal);
  ExpectRings(Grab(b.Handle()), 2, red, kShadow, false, 0, "raised");
  b.SetColorMarginLeftTop(RgbColor(255, 0, 0));  // the same value again changes nothing
  b.SetColorMarginStyle(cmDefault);
  EXPECT_EQ(b.ColorMarginLeftTop(), clBtnHighlight);
  EXPECT_EQ(b.ColorMarginRightBottom(), clBtnShadow);
  Show(b, Look::Normal);
  ExpectRings(Grab(b.Handle()), 2, kLight, kShadow, false, 0, "restored");
  // stNone has no frame colours of its own: any colour keeps the default rule, and the next
  // style that has them puts them back.
  b.SetButtonStyle(stNone);
  b.SetColorMarginRightBottom(RgbColor(255, 0, 0));
  EXPECT_EQ(b.ColorMarginStyle(), cmDefault);
  b.SetButtonStyle(stFlat);
  EXPECT_EQ(b.ColorMarginRightBottom(), clBtnShadow);
}

// A picture of n images of 10 x 10: a black square at 2..5, a colour patch at 7..8 (red in
// image 1, green in image 2, blue later), a magenta bottom-left pixel; the rest white.
TZelBitmap Picture(int n) {
  TZelBitmap p(10 * n, 10);
  const COLORREF patch[] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(0, 255, 255)};
  for (int i = 0; i < n; ++i)
    for (int y = 0; y < 10; ++y)
      for (int x = 0; x < 10; ++x) {
        COLORREF c = RGB(255, 255, 255);
        if (x >= 2 && x <= 5 && y >= 2 && y <= 5) c = RGB(0, 0, 0);
        if (x >= 7 && x <= 8 && y >= 7 && y <= 8) c = patch[i];
        if (x == 0 && y == 9) c = RGB(255, 0, 255);
        p.SetPixel(10 * i + x, y, c);
      }
  return p;
}

TEST(ButtonPaint, DisabledGlyphIsImageTwoOrEmbossed) {
  ButtonHost host;
  for (int n : {1, 2, 3}) {
    TZelButton& b = host.Add(20, 20, 40, 30);
    b.SetGlyph(Picture(n));
    ASSERT_EQ(b.NumGlyphs(), n);
    Show(b, Look::Disabled);
    const Pixels px = Grab(b.Handle());
    const int gx = (40 - 10) / 2, gy = (30 - 10) / 2;  // no caption: centred
    EXPECT_EQ(px.At(gx, gy + 9), host.Colour()) << n << ": the transparent pixel takes the brush";
    if (n == 2) {
      EXPECT_EQ(px.At(gx + 7, gy + 7), RGB(0, 255, 0)) << "image 2 drawn as it is";
      EXPECT_EQ(px.At(gx + 2, gy + 2), kBlack);
      EXPECT_EQ(px.At(gx, gy), RGB(255, 255, 255));
    } else {
      EXPECT_EQ(px.At(gx + 2, gy + 2), kShadow) << n << ": black pixels stamped in shadow";
      EXPECT_EQ(px.At(gx + 6, gy + 6), kLight) << n << ": and in highlight one pixel down-right";
      EXPECT_EQ(px.At(gx + 7, gy + 7), host.Colour()) << n << ": other pixels leave the canvas";
      EXPECT_EQ(px.At(gx, gy), host.Colour()) << n;
    }
    host.Remove(b);
  }
}

TEST(ButtonPaint, HotGlyphOnlyWithANormalGlyph) {
  ButtonHost host;
  TZelButton& b = host.Add(20, 20, 40, 30);
  TZelBitmap hot = Picture(3);
  hot.SetPixel(7, 7, RGB(0, 0, 255));
  b.SetGlyphHot(hot);
  for (Look look : {Look::Normal, Look::Hot}) {
    Show(b, look);
    EXPECT_EQ(Grab(b.Handle()).Count(kBlack), 0) << "no Glyph: no glyph at all";
  }
  b.SetGlyph(Picture(1));
  Show(b, Look::Hot);
  const Pixels px = Grab(b.Handle());
  EXPECT_EQ(px.At(15 + 7, 10 + 7), RGB(0, 0, 255)) << "the hot look shows GlyphHot's image 1";
  EXPECT_EQ(px.At(15 + 8, 10 + 8), RGB(255, 0, 0));
}

struct LayoutCase {
  TLayout layout;
  int spacingLayout;
  std::string caption;
  bool glyph;
};

// Glyph box and caption box as the layout rules place them, for an enabled button in the
// normal look.
TEST(ButtonPaint, GlyphCaptionAndArrowPositions) {
  ButtonHost host;
  const LayoutCase cases[] = {
      {blGlyphLeft, 3, "Go", true},
      {blGlyphLeft, -5, "Go", true},
      {blGlyphRight, 2, "Go", true},
      {blGlyphTop, 1, "Go", true},
      {blGlyphBottom, 0, "Go", true},
      {blGlyphLeft, 3, "A much wider caption", false},
      // Drawn as the name itself, not as its bytes in some code page.
      {blGlyphLeft, 3, LookAlikeNames()[0].name, true},
      {blGlyphTop, 1, LookAlikeNames()[1].name, true},
  };
  const COLORREF ink = RGB(255, 0, 0);
  for (const LayoutCase& c : cases) {
    TZelButton& b = host.Add(20, 20, 80, 60, c.caption);
    TZelFont font;
    font.Color = RgbColor(255, 0, 0);
    b.SetFont(font);
    b.SetSpacingLayout(c.spacingLayout);
    b.SetLayout(c.layout);
    TZelBitmap glyph(8, 8);
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) glyph.SetPixel(x, y, RGB(0, 0, 255));
    glyph.SetPixel(0, 7, RGB(0, 128, 0));  // the transparent pixel
    if (c.glyph) b.SetGlyph(glyph);
    Show(b, Look::Normal);
    const Pixels px = Grab(b.Handle());

    // Measure the caption as the control does.
    HDC dc = GetDC(b.Handle());
    GdiObject<HFONT> f(font.Create());
    HGDIOBJ old = SelectObject(dc, f.get());
    SIZE t;
    const std::wstring caption = Widen(c.caption);
    GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &t);
    SelectObject(dc, old);
    ReleaseDC(b.Handle(), dc);
    const int cw = 80, ch = 60, w = 8, h = 8, sl = c.spacingLayout, sp = 4;
    auto half = [](int v) { return v / 2; };
    RECT g{}, text{};
    if (c.glyph) {
      int gx = half(cw - w), gy = half(ch - h);
      if (c.layout == blGlyphLeft) gx = half(cw - (t.cx + w)) - sl;
      if (c.layout == blGlyphRight) gx = half(cw - (w - t.cx)) + sl;
      if (c.layout == blGlyphBottom) gy = half(ch - h) + half(t.cy) + sl;
      if (c.layout == blGlyphTop) gy = half(ch - h) - half(t.cy) - sl;
      g = RECT{gx, gy, gx + w, gy + h};
      EXPECT_EQ(px.BoxOf(RGB(0, 0, 255)).left, g.left) << c.layout << " " << sl;
      EXPECT_EQ(px.BoxOf(RGB(0, 0, 255)).top, g.top) << c.layout << " " << sl;
      EXPECT_EQ(px.At(g.left, g.bottom - 1), host.Colour());
      int tx = 0, ty = 0;
      if (c.layout == blGlyphLeft) tx = g.right + sp, ty = g.top + half(h - t.cy);
      if (c.layout == blGlyphRight) tx = g.left - t.cx - sp, ty = g.top + half(h - t.cy);
      if (c.layout == blGlyphBottom)
        tx = g.left + half(w) - half(t.cx), ty = g.top - 8 - sp - half(t.cy);
      if (c.layout == blGlyphTop) tx = g.left + half(w) - half(t.cx), ty = g.bottom + sp;
      text = RECT{tx, ty, tx + t.cx, ty + t.cy};
      if (c.layout == blGlyphBottom) {
        EXPECT_EQ(g.top - text.bottom, sp + 8 + half(t.cy) - t.cy);
      }
    } else {
      const int tx = half(cw - t.cx), ty = half(ch - t.cy);
      ASSERT_LT(tx, 0) << "the caption is wider than the button";
      text = RECT{tx, ty, tx + t.cx, ty + t.cy};
    }
    // The ink lies in the caption rectangle, cut at the window's edges.
    const RECT box = px.BoxOf(ink);
    ASSERT_LT(box.left, box.right) << "caption drawn";
    EXPECT_GE(box.left, std::max<LONG>(text.left, 0));
    EXPECT_LE(box.right, std::min<LONG>(text.right, cw));
    EXPECT_GE(box.top, text.top);
    EXPECT_LE(box.bottom, text.bottom);
    if (!c.glyph) {
      EXPECT_EQ(box.left, 0) << "cut at the left edge";
      EXPECT_GE(box.right, cw - 2) << "and at the right edge";
    } else {
      EXPECT_LE(box.left - text.left, 2) << "starts where the rectangle starts";
    }
    host.Remove(b);
  }
}

TEST(ButtonPaint, PopupArrowBesideAGlyphWithoutCaption) {
  ButtonHost host;
  TZelButton& b = host.Add(20, 20, 60, 30);
  b.SetGlyph(Picture(1));
  b.SetPopupMenuMark(true);
  b.SetPopupMenuMarkGap(3);
  Show(b, Look::Normal);
  Pixels px = Grab(b.Handle());
  const int gx = (60 - 10) / 2 - 5, gy = (30 - 10) / 2;
  EXPECT_EQ(px.At(gx + 7, gy + 7), RGB(255, 0, 0)) << "glyph moved 5 pixels left";
  const int ax = gx + 10 + 3, ay = gy + (10 - 3) / 2;
  for (int x = 0; x < 5; ++x) EXPECT_EQ(px.At(ax + x, ay), kBlack) << "arrow top row";
  EXPECT_EQ(px.At(ax + 2, ay + 2), kBlack);
  EXPECT_EQ(px.At(ax, ay + 2), host.Colour()) << "its corner is transparent";
  Show(b, Look::Disabled);
  px = Grab(b.Handle());
  EXPECT_EQ(px.At(ax, ay), kShadow) << "embossed when disabled";
  EXPECT_EQ(px.At(ax + 5, ay + 1), kLight);

  // With a caption: beside the glyph of the layouts that put the caption above or below it,
  // nowhere for those that put it beside the glyph.
  b.SetEnabled(true);
  b.SetCaption("Go");
  TZelFont font;
  font.Color = RgbColor(0, 128, 0);
  b.SetFont(font);
  b.SetBounds(20, 20, 60, 60);
  for (TLayout layout : {blGlyphLeft, blGlyphBottom, blGlyphRight, blGlyphTop}) {
    b.SetLayout(layout);
    Show(b, Look::Normal);
    px = Grab(b.Handle());
    const bool arrow = layout == blGlyphBottom || layout == blGlyphTop;
    EXPECT_EQ(px.Count(kBlack), arrow ? 16 + 9 : 16)
        << "the glyph's black square, and the arrow: " << layout;
    if (!arrow) continue;
    const RECT glyph = px.BoxOf(RGB(255, 0, 0));  // its patch lies at 7..8 of the 10 x 10 image
    const int gx = glyph.left - 7, gy = glyph.top - 7;
    EXPECT_EQ(px.At(gx + 10 + 3, gy + (10 - 3) / 2), kBlack) << layout;
    EXPECT_EQ(px.At(gx + 10 + 3 + 2, gy + (10 - 3) / 2 + 2), kBlack) << layout;
  }
}

TEST(ButtonPaint, FocusRectangleAndDisabledCaption) {
  ButtonHost host;
  TZelButton& framed = host.Add(20, 20, 70, 26);
  framed.SetButtonStyle(stDefault);
  framed.SetFocus();
  PumpFor(10);
  Show(framed, Look::Normal);
  Pixels px = Grab(framed.Handle());
  int marks = 0;  // the focus rectangle lies 3 pixels inside the edge: 1 + 3 from the border
  for (int x = 5; x < 65; ++x) marks += px.At(x, 4) != kFace;
  EXPECT_GT(marks, 10);
  framed.SetShowFocused(false);
  Show(framed, Look::Normal);
  px = Grab(framed.Handle());
  for (int x = 5; x < 65; ++x) EXPECT_EQ(px.At(x, 4), kFace);

  TZelButton& b = host.Add(20, 60, 70, 26, "Off");
  TZelFont font;
  font.Color = RgbColor(255, 0, 0);
  b.SetFont(font);
  Show(b, Look::Disabled);
  px = Grab(b.Handle());
  EXPECT_EQ(px.Count(RGB(255, 0, 0)), 0) << "the font colour is drawn over";
  const RECT shadow = px.BoxOf(kShadow), light = px.BoxOf(kLight);
  ASSERT_LT(shadow.left, shadow.right);
  EXPECT_EQ(light.left, shadow.left + 1);
  EXPECT_EQ(light.top, shadow.top + 1);
}

TEST_F(MainWindowTest, ActionButtonsAtRestHotAndPressed) {
  TMainForm& f = Form();
  TZelButton& b = *f.ZelButton4;
  const COLORREF white = RGB(255, 255, 255), green = RGB(0, 128, 0),
                 text = GetSysColor(COLOR_WINDOWTEXT);
  Pixels px = Grab(b.Handle());
  ExpectRings(px, 1, white, white, false, 0, "rest: no frame");
  const RECT rest = px.BoxOf(text);
  EXPECT_LT(rest.left, rest.right) << "caption in the window-text colour";
  EXPECT_EQ(px.Count(green), 0);

  MoveToCentre(b);
  px = Grab(b.Handle());
  ExpectRings(px, 1, kLight, kShadow, false, 0, "hot");
  const RECT hot = px.BoxOf(green);
  EXPECT_EQ(hot.left, rest.left);
  EXPECT_EQ(hot.top, rest.top);
  EXPECT_EQ(b.Cursor(), 1);
  EXPECT_EQ(TZelCursors::Get(1), LoadCursorA(GetModuleHandleW(nullptr), "HANDZELB"));

  // A repaint the system asks for while the pointer rests there: no frame, the caption stays hot.
  InvalidateRect(b.Handle(), nullptr, FALSE);
  UpdateWindow(b.Handle());
  px = Grab(b.Handle());
  ExpectRings(px, 1, white, white, false, 0, "repainted while hot");
  EXPECT_EQ(px.BoxOf(green).left, hot.left);

  LeftDown(b, 5, 5);
  px = Grab(b.Handle());
  ExpectRings(px, 1, kShadow, kLight, false, 0, "pressed");
  const RECT pressed = px.BoxOf(green);
  EXPECT_EQ(pressed.left, hot.left + 1);
  EXPECT_EQ(pressed.top, hot.top + 1);
  LeftUp(b, 5, 5);
  EXPECT_EQ(services_.started, std::vector<ProgramStart>{RegistryEditor()});
}

}  // namespace
}  // namespace morvane
