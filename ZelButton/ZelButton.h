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

  using TZelCustomButton::RepeatAction;
  using TZelCustomButton::SetRepeatAction;
  using TZelCustomButton::RepeatInterval;
  using TZelCustomButton::SetRepeatInterval;
  using TZelCustomButton::RepeatStartInterval;
  using TZelCustomButton::SetRepeatStartInterval;
  using TZelCustomButton::ShowFocused;
  using TZelCustomButton::SetShowFocused;
  using TZelCustomButton::CursorHandCustom;
  using TZelCustomButton::SetCursorHandCustom;
  using TZelCustomButton::ButtonKind;
  using TZelCustomButton::SetButtonKind;
  using TZelCustomButton::ColorMarginLeftTop;
  using TZelCustomButton::SetColorMarginLeftTop;
  using TZelCustomButton::ColorMarginRightBottom;
  using TZelCustomButton::SetColorMarginRightBottom;
  using TZelCustomButton::ColorMarginStyle;
  using TZelCustomButton::SetColorMarginStyle;
  using TZelCustomButton::Version;
  using TZelCustomButton::SetVersion;
  using TZelCustomButton::PopupMenuMark;
  using TZelCustomButton::SetPopupMenuMark;
  using TZelCustomButton::PopupMenuMarkGap;
  using TZelCustomButton::SetPopupMenuMarkGap;
  using TZelCustomButton::PositionPopup;
  using TZelCustomButton::SetPositionPopup;
  using TZelCustomButton::PlayMusic;
  using TZelCustomButton::SetPlayMusic;
  using TZelCustomButton::PopupMenu;
  using TZelCustomButton::SetPopupMenu;
  using TZelCustomButton::HotTrackColor;
  using TZelCustomButton::SetHotTrackColor;
  using TZelCustomButton::HotTrack;
  using TZelCustomButton::SetHotTrack;
  using TZelCustomButton::Spacing;
  using TZelCustomButton::SetSpacing;
  using TZelCustomButton::SpacingLayout;
  using TZelCustomButton::SetSpacingLayout;
  using TZelCustomButton::OnMouseOver;
  using TZelCustomButton::OnMouseOut;
  using TZelCustomButton::NumGlyphs;
  using TZelCustomButton::SetNumGlyphs;
  using TZelCustomButton::NumGlyphsHot;
  using TZelCustomButton::SetNumGlyphsHot;
  using TZelCustomButton::Glyph;
  using TZelCustomButton::SetGlyph;
  using TZelCustomButton::GlyphHot;
  using TZelCustomButton::SetGlyphHot;
  using TZelCustomButton::Layout;
  using TZelCustomButton::SetLayout;
  using TZelCustomButton::ButtonStyle;
  using TZelCustomButton::SetButtonStyle;
  using TZelCustomButton::Cancel;
  using TZelCustomButton::SetCancel;
  using TZelCustomButton::Default;
  using TZelCustomButton::SetDefault;
  using TZelCustomButton::HintSecondLine;
  using TZelCustomButton::SetHintSecondLine;
};

}  // namespace morvane
