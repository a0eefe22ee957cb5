// TZelButton: the button control with its properties published, in the order a stored window
// applies them when it is loaded. All state and behaviour live in TZelCustomButton.
#pragma once

#include <string>

#include "ZelButton/ZelCustomButton.h"

namespace morvane {

class TZelButton : public TZelCustomButton {
 public:
  // A new button, 75 x 25 pixels at (0, 0) of parent.
  explicit TZelButton(HWND parent) : TZelCustomButton(parent) {}
  // A new button at the given place with a caption.
  TZelButton(HWND parent, int left, int top, int width, int height, const std::string& caption)
      : TZelCustomButton(parent) {
    SetBounds(left, top, width, height);
    SetCaption(caption);
  }

  using TZelCustomButton::ButtonKind;
  using TZelCustomButton::ButtonStyle;
  using TZelCustomButton::Cancel;
  using TZelCustomButton::ColorMarginLeftTop;
  using TZelCustomButton::ColorMarginRightBottom;
  using TZelCustomButton::ColorMarginStyle;
  using TZelCustomButton::CursorHandCustom;
  using TZelCustomButton::Default;
  using TZelCustomButton::Glyph;
  using TZelCustomButton::GlyphHot;
  using TZelCustomButton::HintSecondLine;
  using TZelCustomButton::HotTrack;
  using TZelCustomButton::HotTrackColor;
  using TZelCustomButton::Layout;
  using TZelCustomButton::NumGlyphs;
  using TZelCustomButton::NumGlyphsHot;
  using TZelCustomButton::OnMouseOut;
  using TZelCustomButton::OnMouseOver;
  using TZelCustomButton::PlayMusic;
  using TZelCustomButton::PopupMenu;
  using TZelCustomButton::PopupMenuMark;
  using TZelCustomButton::PopupMenuMarkGap;
  using TZelCustomButton::PositionPopup;
  using TZelCustomButton::RepeatAction;
  using TZelCustomButton::RepeatInterval;
  using TZelCustomButton::RepeatStartInterval;
  using TZelCustomButton::SetButtonKind;
  using TZelCustomButton::SetButtonStyle;
  using TZelCustomButton::SetCancel;
  using TZelCustomButton::SetColorMarginLeftTop;
  using TZelCustomButton::SetColorMarginRightBottom;
  using TZelCustomButton::SetColorMarginStyle;
  using TZelCustomButton::SetCursorHandCustom;
  using TZelCustomButton::SetDefault;
  using TZelCustomButton::SetGlyph;
  using TZelCustomButton::SetGlyphHot;
  using TZelCustomButton::SetHintSecondLine;
  using TZelCustomButton::SetHotTrack;
  using TZelCustomButton::SetHotTrackColor;
  using TZelCustomButton::SetLayout;
  using TZelCustomButton::SetNumGlyphs;
  using TZelCustomButton::SetNumGlyphsHot;
  using TZelCustomButton::SetPlayMusic;
  using TZelCustomButton::SetPopupMenu;
  using TZelCustomButton::SetPopupMenuMark;
  using TZelCustomButton::SetPopupMenuMarkGap;
  using TZelCustomButton::SetPositionPopup;
  using TZelCustomButton::SetRepeatAction;
  using TZelCustomButton::SetRepeatInterval;
  using TZelCustomButton::SetRepeatStartInterval;
  using TZelCustomButton::SetShowFocused;
  using TZelCustomButton::SetSpacing;
  using TZelCustomButton::SetSpacingLayout;
  using TZelCustomButton::SetVersion;
  using TZelCustomButton::ShowFocused;
  using TZelCustomButton::Spacing;
  using TZelCustomButton::SpacingLayout;
  using TZelCustomButton::Version;
};

}  // namespace morvane
