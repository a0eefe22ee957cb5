// TCustomControl: what every control of the framework has, whatever it draws: bounds,
// alignment, anchors, constraints, tab stop and order, reading order, a linked action, colour
// and font (its own or its parent's), cursor, caption, enabled and visible. TZelCustomButton
// (ZelCustomButton.h) derives from it.
//
// TCustomControl does not create its window: the derived control does, in its own constructor
// (TZelCustomButton's), and its window procedure routes the messages. Messages reach the object
// from WM_NCCREATE on, so a window created here would be told of its place and visibility
// before the derived control was built.
//
// How the framework notions it was designed around are met here, in raw Win32:
//  - the parent's colour is the brush the parent answers to WM_CTLCOLORBTN, or, for a parent
//    that is a control of this framework, its Color;
//  - the parent's colour change is the parent-colour notice (ZelParent.h), which a plain window
//    sends its children when its colour changes and a control sends its own whenever its colour
//    changes; a control with ParentColor then takes its parent's colour afresh;
//  - the system colours: the top-level window's WM_SYSCOLORCHANGE is forwarded to every button
//    in it (ZelParent.h), which then takes its parent's colour afresh;
//  - Align and Anchors are applied when the parent is resized (ZelParent.h); Constraints clamp
//    every size the control is given;
//  - TabStop is the window's WS_TABSTOP and TabOrder its place in its parent's tab order, which
//    is held apart from the z-order (ZelParent.h): the order siblings that overlap are drawn in
//    stays as it is. Tab in a form that holds controls follows the tab order (ZelInput.h);
//  - BiDiMode is the window's WS_EX_RTLREADING and the caption's DT_RTLREADING; with
//    ParentBiDiMode the control reads right to left when its parent does (WS_EX_RTLREADING or
//    WS_EX_LAYOUTRTL);
//  - Action links the control to a TZelAction (ZelAction.h).
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "ZelButton/ZelAction.h"
#include "ZelButton/ZelParent.h"
#include "ZelButton/ZelTypes.h"
#include "platform/WinHandles.h"

namespace morvane {

class TCustomControl {
 public:
  HWND Handle() const { return hwnd_; }

  // ---- Properties every control has ----
  std::string Name;
  std::int32_t Tag = 0;
  std::string Hint;
  bool ShowHint = false;
  DWORD HelpContext = 0;
  bool TabStop() const;
  void SetTabStop(bool tabStop);
  // The place in the parent's tab order, first = 0; a place out of range means the last.
  int TabOrder() const;
  void SetTabOrder(int order);
  int Left() const;
  int Top() const;
  int Width() const;
  int Height() const;
  void SetBounds(int left, int top, int width, int height);
  int Cursor() const { return cursor_; }
  void SetCursor(int index);
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  bool Enabled() const;
  void SetEnabled(bool enabled);
  bool Visible() const;
  void SetVisible(bool visible);
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  bool ParentColor() const { return parentColor_; }
  void SetParentColor(bool parentColor);
  const TZelFont& Font() const { return font_; }
  void SetFont(const TZelFont& font);
  // Takes the description of an existing font (the caller keeps ownership of it).
  void SetFont(HFONT font);
  bool ParentFont() const { return parentFont_; }
  void SetParentFont(bool parentFont);
  bool Loading() const { return loading_; }
  // Whether the control can take the focus: it and every parent visible and enabled.
  bool CanFocus() const;
  void SetFocus();
  bool Focused() const { return GetFocus() == hwnd_; }
  TAlign Align() const { return align_; }
  void SetAlign(TAlign align);
  TAnchors Anchors() const { return anchors_; }
  void SetAnchors(TAnchors anchors);
  const TSizeConstraints& Constraints() const { return constraints_; }
  void SetConstraints(const TSizeConstraints& constraints);
  TBiDiMode BiDiMode() const { return biDiMode_; }
  void SetBiDiMode(TBiDiMode mode);
  bool ParentBiDiMode() const { return parentBiDiMode_; }
  void SetParentBiDiMode(bool parentBiDiMode);
  // The linked action, or nullptr. Linking takes over the action's caption, enabled and
  // visible states, hint and help context.
  TZelAction* Action() const { return action_; }
  void SetAction(TZelAction* action);

  virtual ~TCustomControl() = default;
  TCustomControl(const TCustomControl&) = delete;
  TCustomControl& operator=(const TCustomControl&) = delete;

 protected:
  TCustomControl() = default;

  // Whether the derived control holds its colour at the system button face, whatever it is
  // given: a change of colour then puts the button face back.
  virtual bool KeepsButtonFace() const { return false; }

  // The parent-colour notice: with ParentColor set, the parent's colour afresh.
  void ParentColorChanged();
  void SystemColoursChanged();
  void RememberPlace();
  HWND Parent() const { return hwnd_ != nullptr ? GetParent(hwnd_) : nullptr; }
  TBiDiMode ParentsBiDiMode() const;
  void ApplyBiDiMode(TBiDiMode mode);
  TColor ParentsColor() const;
  void Invalidate();
  HFONT FontHandle();

  std::weak_ptr<bool> AliveToken() const { return alive_; }

  HWND hwnd_ = nullptr;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  std::string caption_;
  int cursor_ = 0;
  TColor color_ = clBtnFace;
  bool parentColor_ = true;
  TZelFont font_;
  TAlign align_ = alNone;
  TBiDiMode biDiMode_ = bdLeftToRight;
  TZelAction* action_ = nullptr;
  int actionKey_ = 0;
  bool loading_ = false;

 private:
  friend struct ZelParent;

  void ActionChanged(const TZelAction* action, const TZelAction::State& before);
  // Moves the window without taking the place as the program's own (alignment, anchors).
  void PlaceAt(const RECT& bounds);
  void ColorChanged();
  void FontChanged();

  bool parentFont_ = true;
  GdiObject<HFONT> fontHandle_;
  bool fontDirty_ = true;
  TAnchors anchors_ = kDefaultAnchors;
  TAnchorRule anchorRule_;
  TSizeConstraints constraints_;
  bool parentBiDiMode_ = true;
};

}  // namespace morvane
