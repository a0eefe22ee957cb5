// The button control's value types: colours, enumerations, the kinds table and the font.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace morvane {

// A colour as the control stores it: an RGB value as 0x00BBGGRR, or a system colour as
// 0xFF000000 plus the system colour index.
using TColor = std::uint32_t;
constexpr TColor kSystemColor = 0xFF000000;
constexpr TColor clWindowText = kSystemColor | COLOR_WINDOWTEXT;
constexpr TColor clBtnFace = kSystemColor | COLOR_BTNFACE;
constexpr TColor clBtnShadow = kSystemColor | COLOR_BTNSHADOW;
constexpr TColor clBtnHighlight = kSystemColor | COLOR_BTNHIGHLIGHT;
constexpr TColor clBlack = 0x00000000;
constexpr TColor clBlue = 0x00FF0000;
constexpr TColor RgbColor(int r, int g, int b) {
  return static_cast<TColor>(r) | (static_cast<TColor>(g) << 8) | (static_cast<TColor>(b) << 16);
}
// The RGB value a colour stands for now.
COLORREF ColorToRGB(TColor color);

enum TStyle : std::uint8_t {
  stFlat,
  stDefault,
  stNone,
  stRaised,
  stFlatDot,
  stRaisedDot,
  stFrameLowered,
  stFrameRaised
};
enum TKind : std::uint8_t {
  skCustom,
  skOK,
  skCancel,
  skHelp,
  skYes,
  skNo,
  skClose,
  skAbort,
  skRetry,
  skIgnore,
  skAll,
  skSilly
};
enum TLayout : std::uint8_t { blGlyphLeft, blGlyphBottom, blGlyphRight, blGlyphTop };
enum TPositionPopup : std::uint8_t { puDown, puLeft, puRight };
enum TColorMarginDefault : std::uint8_t { cmDefault, cmCustom };

// Subranges of the integer properties; setters clamp into them.
struct TRange {
  int low, high;
  int Clamp(int v) const { return v < low ? low : v > high ? high : v; }
};
constexpr TRange kSpacingRange{1, 5}, kMarginRange{-5, 5}, kMarkGapRange{1, 5},
    kNumGlyphsRange{1, 4};

// Where a control sits in its parent when the parent lays out its children: stuck to a side
// (stretched along it), filling what is left, or placed by hand.
enum TAlign : std::uint8_t { alNone, alTop, alBottom, alLeft, alRight, alClient };
// The sides of the parent a control keeps its distance to when the parent is resized.
enum TAnchorKind : std::uint8_t { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };
using TAnchors = std::uint8_t;
constexpr TAnchors kDefaultAnchors = akLeft | akTop;
// Smallest and largest size a control may take; 0 sets no limit. A maximum below the minimum
// wins over it.
struct TSizeConstraints {
  int MinWidth = 0, MinHeight = 0, MaxWidth = 0, MaxHeight = 0;
  int ClampWidth(int width) const { return Clamp(width, MinWidth, MaxWidth); }
  int ClampHeight(int height) const { return Clamp(height, MinHeight, MaxHeight); }
  bool operator==(const TSizeConstraints& o) const {
    return MinWidth == o.MinWidth && MinHeight == o.MinHeight && MaxWidth == o.MaxWidth &&
           MaxHeight == o.MaxHeight;
  }
  bool operator!=(const TSizeConstraints& o) const { return !(*this == o); }

 private:
  static int Clamp(int v, int low, int high) {
    if (low > 0 && v < low) v = low;
    if (high > 0 && v > high) v = high;
    return v < 0 ? 0 : v;
  }
};
// Reading order of the caption: left to right, or right to left (the three right-to-left modes
// differ only for controls that align or scroll, which this one does not).
enum TBiDiMode : std::uint8_t {
  bdLeftToRight,
  bdRightToLeft,
  bdRightToLeftNoAlign,
  bdRightToLeftReadingOnly
};

// The three framed styles draw the platform edge and keep a focused flag.
constexpr bool IsFramed(TStyle s) {
  return s == stDefault || s == stFrameLowered || s == stFrameRaised;
}

// What a predefined kind brings: glyph resources, caption, Cancel/Default and its action.
struct TKindInfo {
  enum Action { None, ModalResult, Help, Close };
  const char* glyph;     // resource of Glyph, nullptr for skCustom
  const char* glyphHot;  // resource of GlyphHot
  const char* caption;   // nullptr: caption unchanged
  bool cancel, isDefault;
  Action action;
  int modalResult;
};
const TKindInfo& KindInfo(TKind kind);

// A font as the control keeps it; Height is the character height in pixels.
struct TZelFont {
  std::string Name = "MS Sans Serif";
  int Height = 11;
  bool Bold = false, Italic = false, Underline = false, StrikeOut = false;
  TColor Color = clWindowText;
  BYTE Charset = DEFAULT_CHARSET;

  HFONT Create() const;
  static TZelFont FromHandle(HFONT font, TColor color = clWindowText);
  bool operator==(const TZelFont& o) const {
    return Name == o.Name && Height == o.Height && Bold == o.Bold && Italic == o.Italic &&
           Underline == o.Underline && StrikeOut == o.StrikeOut && Color == o.Color &&
           Charset == o.Charset;
  }
  bool operator!=(const TZelFont& o) const { return !(*this == o); }
};

}  // namespace morvane
