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
  stFlat, stDefault, stNone, stRaised, stFlatDot, stRaisedDot, stFrameLowered, stFrameRaised
};
enum TKind : std::uint8_t {
  skCustom, skOK, skCancel, skHelp, skYes, skNo, skClose, skAbort, skRetry, skIgnore, skAll, skSilly
};
enum TLayout : std::uint8_t { blGlyphLeft, blGlyphBottom, blGlyphRight, blGlyphTop };
enum TPositionPopup : std::uint8_t { puDown, puLeft, puRight };
enum TColorMarginDefault : std::uint8_t { cmDefault, cmCustom };

// Subranges of the integer properties; setters clamp into them.
struct TRange {
  int low, high;
  int Clamp(int v) const { return v < low ? low : v > high ? high : v; }
};
constexpr TRange kSpacingRange{1, 5}, kMarginRange{-5, 5}, kMarkGapRange{1, 5}, kNumGlyphsRange{1, 4};

// The three framed styles draw the platform edge and keep a focused flag.
constexpr bool IsFramed(TStyle s) { return s == stDefault || s == stFrameLowered || s == stFrameRaised; }

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
           Underline == o.Underline && StrikeOut == o.StrikeOut && Color == o.Color && Charset == o.Charset;
  }
  bool operator!=(const TZelFont& o) const { return !(*this == o); }
};

}  // namespace morvane
