// Drawing of TZelCustomButton: one pass per look into an off-screen bitmap, copied onto the
// window in one piece so that nothing flickers.
#include "ZelButton/ZelCustomButton.h"

#include <cstring>

#include "platform/WideText.h"

namespace morvane {

namespace {

// Half of v, truncated toward zero.
constexpr int half(int v) { return v / 2; }

constexpr DWORD kStampRop = 0x00E20746;  // brush where the source is set, else the canvas

// A memory device context with one object selected, released together.
class MemoryDcWith {
 public:
  MemoryDcWith(HDC like, HGDIOBJ object)
      : dc_(CreateCompatibleDC(like)), selected_(dc_.get(), object) {}
  HDC get() const { return dc_.get(); }

 private:
  MemoryDc dc_;
  SelectedObject selected_;
};

}  // namespace

void TZelCustomButton::Paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd_, &ps);
  // A repaint always shows the flat styles without their frame.
  if (style_ == stFlat || style_ == stFlatDot) normalFrame_ = 0;
  Render(dc, TLook::Normal);
  EndPaint(hwnd_, &ps);
}

void TZelCustomButton::DrawLook(TLook look) {
  if (hwnd_ == nullptr || !IsWindowVisible(hwnd_)) return;
  WindowDc dc(hwnd_);
  Render(dc.get(), look);
}

TColor TZelCustomButton::BackgroundColor() const { return IsFramed(style_) ? clBtnFace : color_; }

void TZelCustomButton::Render(HDC target, TLook look) {
  RECT client;
  GetClientRect(hwnd_, &client);
  if (client.right <= 0 || client.bottom <= 0) return;
  GdiObject<HBITMAP> canvas(CreateCompatibleBitmap(target, client.right, client.bottom));
  MemoryDcWith dc(target, canvas.get());

  const bool pressed = look == TLook::Pressed;
  const int width = look == TLook::Normal ? normalFrame_ : hotFrame_;
  const COLORREF leftTop = ColorToRGB(frameLeftTop_), rightBottom = ColorToRGB(frameRightBottom_);
  const COLORREF brush = ColorToRGB(BackgroundColor());
  const int p = pressed ? 1 : 0;

  RECT r = client;
  DrawFrame(dc.get(), r, width, pressed ? rightBottom : leftTop, pressed ? leftTop : rightBottom,
            brush);
  {
    GdiObject<HBRUSH> fill(CreateSolidBrush(brush));
    FillRect(dc.get(), &r, fill.get());
  }
  if (style_ == stFrameRaised) InflateRect(&r, -1, -1);
  if (IsFramed(style_)) {
    RECT edge = r;
    DrawEdge(dc.get(), &edge, pressed ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT | BF_MIDDLE);
  }

  SelectedObject font(dc.get(), FontHandle());
  const SIZE text = CaptionSize(dc.get());
  RECT glyphRect{};
  DrawGlyph(dc.get(), r, p, look != TLook::Normal, text, brush, glyphRect);
  if (IsFramed(style_) && focused_ && showFocused_) {
    RECT focus = r;
    InflateRect(&focus, -3, -3);
    SetTextColor(dc.get(), RGB(0, 0, 0));
    SetBkColor(dc.get(), RGB(255, 255, 255));
    DrawFocusRect(dc.get(), &focus);
  }
  DrawCaption(dc.get(), r, p, !glyph_.Empty(), glyphRect);

  BitBlt(target, 0, 0, client.right, client.bottom, dc.get(), 0, 0, SRCCOPY);
}

void TZelCustomButton::DrawFrame(HDC dc, RECT& r, int width, COLORREF top, COLORREF bottom,
                                 COLORREF brush) {
  if (width <= 0) return;
  const int penStyle = dottedPen_ ? PS_DOT : PS_SOLID;
  GdiObject<HPEN> topPen(CreatePen(penStyle, 1, top)), bottomPen(CreatePen(penStyle, 1, bottom));
  // The gaps of a dotted line take the brush colour.
  SetBkMode(dc, OPAQUE);
  SetBkColor(dc, brush);
  for (int ring = 0; ring < width; ++ring) {
    const int left = r.left, up = r.top, right = r.right - 1, down = r.bottom - 1;
    {
      SelectedObject pen(dc, topPen.get());
      const POINT line[] = {{left, down}, {left, up}, {right, up}};
      Polyline(dc, line, 3);
    }
    {
      // Drawn second, so the top-right and bottom-left corners take the bottom colour.
      SelectedObject pen(dc, bottomPen.get());
      const POINT line[] = {{right, up}, {right, down}, {left - 1, down}};
      Polyline(dc, line, 3);
    }
    InflateRect(&r, -1, -1);
  }
}

SIZE TZelCustomButton::CaptionSize(HDC dc) const {
  SIZE size{0, 0};
  const std::wstring caption = Widen(caption_);
  GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &size);
  return size;
}

RECT TZelCustomButton::PlaceGlyph(const RECT& r, int w, int h, int p, SIZE text) const {
  const int cw = r.right - r.left, ch = r.bottom - r.top, tw = text.cx, th = text.cy;
  int gx = r.left + half(cw - w), gy = r.top + half(ch - h);
  if (caption_.empty()) {
    if (popupMenuMark_) gx -= 5;
  } else {
    switch (layout_) {
      case blGlyphLeft:
        gx = r.left + half(cw - (tw + w)) - spacingLayout_;
        break;
      case blGlyphRight:
        gx = r.left + half(cw - (w - tw)) + spacingLayout_;
        break;
      case blGlyphBottom:
        gy = r.top + half(ch - h) + half(th) + spacingLayout_;
        break;
      case blGlyphTop:
        gy = r.top + half(ch - h) - half(th) - spacingLayout_;
        break;
    }
  }
  return RECT{gx + p, gy + p, gx + w + p, gy + h + p};
}

bool TZelCustomButton::DrawGlyph(HDC dc, const RECT& r, int p, bool hot, SIZE text, COLORREF brush,
                                 RECT& glyphRect) {
  const bool enabled = Enabled();
  // The hot glyph: none at all without a normal glyph; the normal one when there is no hot
  // glyph or the button is disabled.
  if (hot && !glyphHot_.Empty()) {
    if (glyph_.Empty()) return false;
    if (enabled) {
      const int w = glyphHot_.Width() / numGlyphsHot_, h = glyphHot_.Height();
      work_.CopyColumns(glyphHot_, 0, w);
      glyphRect = PlaceGlyph(r, w, h, p, text);
      DrawTransparent(dc, work_, glyphRect.left, glyphRect.top, brush);
      DrawArrow(dc, glyphRect, w, brush);
      return true;
    }
  }
  if (glyph_.Empty()) return false;
  const int n = numGlyphs_;
  const int w = glyph_.Width() / n, h = glyph_.Height();
  // Image 2 is the disabled picture of a two-image glyph.
  const bool second = n == 2 && !enabled;
  work_.CopyColumns(glyph_, second ? w : 0, w);
  glyphRect = PlaceGlyph(r, w, h, p, text);
  if (enabled || n == 2)
    DrawTransparent(dc, work_, glyphRect.left, glyphRect.top, brush);
  else
    Emboss(dc, work_, glyphRect.left, glyphRect.top);
  DrawArrow(dc, glyphRect, w, brush);
  return true;
}

void TZelCustomButton::DrawTransparent(HDC dc, const TZelBitmap& image, int x, int y,
                                       COLORREF brush) {
  if (image.Empty()) return;
  // Pixels of the bottom-left pixel's colour are painted in the brush colour.
  TZelBitmap copy(image.Width(), image.Height());
  copy.Assign(image);
  const std::uint32_t key =
      image.Bits()[static_cast<std::size_t>(image.Height() - 1) * image.Width()] & 0xFFFFFF;
  const std::uint32_t fill = (GetRValue(brush) << 16) | (GetGValue(brush) << 8) | GetBValue(brush);
  std::uint32_t* bits = copy.Bits();
  for (int i = 0, n = copy.Width() * copy.Height(); i < n; ++i)
    if ((bits[i] & 0xFFFFFF) == key) bits[i] = fill;
  MemoryDcWith source(dc, copy.Handle());
  BitBlt(dc, x, y, copy.Width(), copy.Height(), source.get(), 0, 0, SRCCOPY);
}

void TZelCustomButton::Emboss(HDC dc, const TZelBitmap& image, int x, int y) {
  if (image.Empty()) return;
  const int w = image.Width(), h = image.Height();
  // The mask: black pixels of the image set, all others clear.
  mask_.reset(CreateBitmap(w, h, 1, 1, nullptr));
  MemoryDcWith mask(dc, mask_.get());
  {
    MemoryDcWith source(dc, image.Handle());
    SetBkColor(source.get(), RGB(0, 0, 0));
    BitBlt(mask.get(), 0, 0, w, h, source.get(), 0, 0, SRCCOPY);
  }
  SetTextColor(dc, RGB(0, 0, 0));
  SetBkColor(dc, RGB(255, 255, 255));
  GdiObject<HBRUSH> highlight(CreateSolidBrush(GetSysColor(COLOR_BTNHIGHLIGHT)));
  GdiObject<HBRUSH> shadow(CreateSolidBrush(GetSysColor(COLOR_BTNSHADOW)));
  {
    SelectedObject stamp(dc, highlight.get());
    BitBlt(dc, x + 1, y + 1, w, h, mask.get(), 0, 0, kStampRop);
  }
  {
    SelectedObject stamp(dc, shadow.get());
    BitBlt(dc, x, y, w, h, mask.get(), 0, 0, kStampRop);
  }
}

void TZelCustomButton::DrawArrow(HDC dc, const RECT& g, int w, COLORREF brush) {
  if (glyph_.Empty() || !popupMenuMark_) return;
  if ((layout_ == blGlyphLeft || layout_ == blGlyphRight) && !caption_.empty()) return;
  TZelBitmap arrow;
  if (!arrow.LoadFromResource(GetModuleHandleW(nullptr), "Strela")) return;
  const int left = g.left + w + popupMenuMarkGap_;
  const int top = g.top + half((g.bottom - g.top) - arrow.Height());
  if (Enabled())
    DrawTransparent(dc, arrow, left, top, brush);
  else
    Emboss(dc, arrow, left, top);
}

void TZelCustomButton::DrawCaption(HDC dc, const RECT& r, int p, bool glyphDrawn, const RECT& g) {
  if (caption_.empty()) return;
  COLORREF colour = ColorToRGB(font_.Color);
  if (hotTrack_ && hot_) colour = ColorToRGB(hotTrackColor_);
  SetBkMode(dc, TRANSPARENT);
  const SIZE text = CaptionSize(dc);
  const int tw = text.cx, th = text.cy;
  RECT c;
  if (!glyphDrawn) {
    const int tx = r.left + half((r.right - r.left) - tw),
              ty = r.top + half((r.bottom - r.top) - th);
    c = RECT{tx + p, ty + p, tx + tw + p, ty + th + p};
  } else {
    int tx = 0, ty = 0;
    switch (layout_) {
      case blGlyphLeft:
        tx = g.right + spacing_;
        ty = g.top + half((g.bottom - g.top) - th);
        break;
      case blGlyphRight:
        tx = g.left - tw - spacing_;
        ty = g.top + half((g.bottom - g.top) - th);
        break;
      case blGlyphBottom:
        tx = g.left + half(g.right - g.left) - half(tw);
        ty = g.top - 8 - spacing_ - half(th);  // the caption sits above the glyph
        break;
      case blGlyphTop:
        tx = g.left + half(g.right - g.left) - half(tw);
        ty = g.bottom + spacing_;
        break;
    }
    c = RECT{tx, ty, tx + tw, ty + th};
  }
  const UINT kFormat = DT_CENTER | DT_EXPANDTABS | (biDiMode_ != bdLeftToRight ? DT_RTLREADING : 0);
  const std::wstring caption = Widen(caption_);
  const int length = static_cast<int>(caption.size());
  if (!Enabled()) {
    SetTextColor(dc, colour);
    DrawTextW(dc, caption.c_str(), length, &c, kFormat);
    RECT raised = c;
    OffsetRect(&raised, 1, 1);
    SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
    DrawTextW(dc, caption.c_str(), length, &raised, kFormat);
    colour = GetSysColor(COLOR_BTNSHADOW);
  }
  SetTextColor(dc, colour);
  DrawTextW(dc, caption.c_str(), length, &c, kFormat);
}

}  // namespace morvane
