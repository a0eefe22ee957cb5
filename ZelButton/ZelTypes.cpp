#include "ZelButton/ZelTypes.h"

#include <cstdlib>

#include "platform/WideText.h"

namespace morvane {

COLORREF ColorToRGB(TColor color) {
  if ((color & 0xFF000000u) == kSystemColor) return GetSysColor(static_cast<int>(color & 0xFFu));
  return color & 0x00FFFFFFu;
}

const TKindInfo& KindInfo(TKind kind) {
  using A = TKindInfo::Action;
  static const TKindInfo table[] = {
      {nullptr, nullptr, nullptr, false, false, A::None, 0},                         // skCustom
      {"DAGZELB", "DAZELB", "OK", false, true, A::ModalResult, IDOK},                // skOK
      {"IKSICGZELB", "IKSICZELB", "Cancel", true, false, A::ModalResult, IDCANCEL},  // skCancel
      {"POMOCGZELB", "POMOCZELB", "&Help", false, false, A::Help, 0},                // skHelp
      {"DAGZELB", "DAZELB", "&Yes", false, true, A::ModalResult, IDYES},             // skYes
      {"NEGZELB", "NEZELB", "&No", true, false, A::ModalResult, IDNO},               // skNo
      {"EXITGZELB", "EXITZELB", "&Close", false, false, A::Close, 0},                // skClose
      {"IKSICGZELB", "IKSICZELB", "Abort", false, false, A::ModalResult, IDABORT},   // skAbort
      {"RETRIGZELB", "RETRIZELB", "&Retry", false, false, A::ModalResult, IDRETRY},  // skRetry
      {"IGNOGZELB", "IGNOZELB", "&Ignore", false, false, A::ModalResult, IDIGNORE},  // skIgnore
      {"SVEGZELB", "SVEZELB", "&All", false, false, A::ModalResult, 8},              // skAll
      {"GLUPIGZELB", "GLUPIZELB", "&Silly", false, false, A::None, 0},               // skSilly
  };
  const unsigned index = kind < sizeof table / sizeof table[0] ? kind : 0;
  return table[index];
}

HFONT TZelFont::Create() const {
  return CreateFontW(-Height, 0, 0, 0, Bold ? FW_BOLD : FW_NORMAL, Italic, Underline, StrikeOut,
                     Charset, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     DEFAULT_PITCH, Widen(Name).c_str());
}

TZelFont TZelFont::FromHandle(HFONT font, TColor color) {
  TZelFont f;
  f.Color = color;
  LOGFONTW lf{};
  if (font == nullptr || GetObjectW(font, sizeof lf, &lf) == 0) return f;
  f.Name = Narrow(lf.lfFaceName);
  f.Height = std::abs(lf.lfHeight);
  f.Bold = lf.lfWeight >= FW_BOLD;
  f.Italic = lf.lfItalic != 0;
  f.Underline = lf.lfUnderline != 0;
  f.StrikeOut = lf.lfStrikeOut != 0;
  f.Charset = lf.lfCharSet;
  return f;
}

}  // namespace morvane
