// TZelCustomButton: an owner-drawn push button. It draws itself completely (frame in one of
// eight styles, glyph, caption, popup arrow, focus rectangle), tracks the pointer (hot caption
// colour and frame), can repeat its click while held, drop down a popup menu, play a sound when
// the pointer enters and show a hand cursor. TZelButton (ZelButton.h) publishes its properties.
// What every control has (bounds, colour, font, caption, and so on) comes from its base,
// TCustomControl (CustomControl.h).
//
// How the framework notions it was designed around are met here, in raw Win32:
//  - the control is a child window of class "TZelButton", created by this class, whose
//    messages go to this object;
//  - "being loaded from a stored form" is the Loading flag, set by TZelLoadScope
//    while the code that creates a window's buttons applies their stored properties;
//    "being designed" never holds at run time, so the design-time branches are left out;
//  - "the form" is the top-level window the button sits on (ZelApplication.h);
//  - pointer enter and leave, the dialog-key and dialog-character offers and the focus-change
//    broadcast are produced by ZelInput.h for all buttons of the thread, in this order: leave
//    of the old control before enter of the new one, whenever the control under the pointer
//    changes (also while a button holds the capture); Enter/Escape and accelerator characters
//    offered to the buttons of the focused window's form before the focused control sees them;
//    the focus-change broadcast after the newly focused window has handled WM_SETFOCUS;
//  - the hint is a tooltip fed by the button's own pointer messages (ZelHint.h), shown when
//    ShowHint is set; there is no parent's ShowHint to follow;
//  - OnContextPopup answers WM_CONTEXTMENU (a right click, Shift+F10 or the menu key); a
//    request it leaves unhandled goes on to the parent;
//  - dragging starts only when the program calls BeginDrag (ZelDrag.h).
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>

#include "ZelButton/CustomControl.h"
#include "ZelButton/ZelAction.h"
#include "ZelButton/ZelApplication.h"
#include "ZelButton/ZelBitmap.h"
#include "ZelButton/ZelHint.h"
#include "ZelButton/ZelParent.h"
#include "ZelButton/ZelPopupMenu.h"
#include "ZelButton/ZelTypes.h"
#include "platform/WinHandles.h"

namespace morvane {

class TZelCustomButton;

// An event with the button as sender; a handler may also take no arguments.
class TNotifyEvent {
 public:
  TNotifyEvent() = default;
  TNotifyEvent(std::nullptr_t) {}
  template <typename F, std::enable_if_t<std::is_invocable_v<F&, TZelCustomButton*>, int> = 0>
  TNotifyEvent(F f) : f_(std::move(f)) {}
  template <typename F,
            std::enable_if_t<!std::is_invocable_v<F&, TZelCustomButton*> && std::is_invocable_v<F&>,
                             int> = 0>
  TNotifyEvent(F f) : f_([g = std::move(f)](TZelCustomButton*) mutable { g(); }) {}
  explicit operator bool() const { return static_cast<bool>(f_); }
  void operator()(TZelCustomButton* sender) const { f_(sender); }

 private:
  std::function<void(TZelCustomButton*)> f_;
};
using TOnMouseOverEvent = TNotifyEvent;
using TOnMouseOutEvent = TNotifyEvent;

enum TMouseButton { mbLeft, mbRight, mbMiddle };
// Shift state bits.
enum : unsigned {
  ssShift = 1,
  ssAlt = 2,
  ssCtrl = 4,
  ssLeft = 8,
  ssRight = 16,
  ssMiddle = 32,
  ssDouble = 64
};
using TMouseEvent = std::function<void(TZelCustomButton* sender, TMouseButton button,
                                       unsigned shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(TZelCustomButton* sender, unsigned shift, int x, int y)>;
using TKeyEvent = std::function<void(TZelCustomButton* sender, WORD& key, unsigned shift)>;
using TKeyPressEvent = std::function<void(TZelCustomButton* sender, wchar_t& key)>;
// mousePos is in the button's client coordinates, or (-1, -1) when the keyboard asked.
using TContextPopupEvent =
    std::function<void(TZelCustomButton* sender, POINT mousePos, bool& handled)>;
enum TDragState { dsDragEnter, dsDragLeave, dsDragMove };
// Whether sender would take source at (x, y) of sender; accept starts as True.
using TDragOverEvent = std::function<void(TZelCustomButton* sender, TZelCustomButton* source, int x,
                                          int y, TDragState state, bool& accept)>;
using TDragDropEvent =
    std::function<void(TZelCustomButton* sender, TZelCustomButton* source, int x, int y)>;
// target is nullptr when the drag ended without a drop; (x, y) is then (0, 0).
using TEndDragEvent =
    std::function<void(TZelCustomButton* sender, TZelCustomButton* target, int x, int y)>;
using TStartDragEvent = std::function<void(TZelCustomButton* sender)>;

class TZelCustomButton : public TCustomControl {
 public:
  // The three looks a drawing pass can draw (the disabled look is the normal look of a disabled
  // button).
  enum class TLook { Normal, Hot, Pressed };

  static const wchar_t* ClassName() { return L"TZelButton"; }
  // The button behind a window of this class on this thread, or nullptr.
  static TZelCustomButton* FromHandle(HWND hwnd);

  // Starts a drag of this button: at once, or once the pointer has moved more than threshold
  // pixels (the system's drag distance when negative) while the button is held.
  void BeginDrag(bool immediate, int threshold = -1);
  // Ends this button's drag: with a drop where the pointer is, or without.
  void EndDrag(bool drop);
  bool Dragging() const;

  // ---- Events ----
  TNotifyEvent OnClick, OnDblClick, OnEnter, OnExit;
  TMouseEvent OnMouseDown, OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  TKeyEvent OnKeyDown, OnKeyUp;
  TKeyPressEvent OnKeyPress;
  TContextPopupEvent OnContextPopup;
  TDragOverEvent OnDragOver;
  TDragDropEvent OnDragDrop;
  TEndDragEvent OnEndDrag;
  TStartDragEvent OnStartDrag;

  // Clicks the button: OnClick (or, when there is none, the linked action), the kind's action, then
  // the popup menu if there is one. A disabled or hidden button does nothing.
  void Click();

  // Draws a look straight onto the window now.
  void DrawLook(TLook look);

  // What assistive programs are told of the button (ZelAccessible.h).
  bool HasPopupMenu() const { return popupMenu_ != nullptr; }
  bool Pressed() const { return pressedOffset_ != 0; }

  virtual ~TZelCustomButton();
  TZelCustomButton(const TZelCustomButton&) = delete;
  TZelCustomButton& operator=(const TZelCustomButton&) = delete;

 protected:
  // Creates the button's window as a child of parent, 75 x 25 pixels at (0, 0). The window is
  // created here, not by TCustomControl (CustomControl.h says why).
  explicit TZelCustomButton(HWND parent);

  // ---- The control's own properties (published by TZelButton) ----
  bool RepeatAction() const { return repeatAction_; }
  void SetRepeatAction(bool value) { repeatAction_ = value; }
  int RepeatInterval() const { return static_cast<int>(repeatTimer_.Interval()); }
  void SetRepeatInterval(int ms) { repeatTimer_.SetInterval(static_cast<UINT>(ms < 1 ? 1 : ms)); }
  int RepeatStartInterval() const { return static_cast<int>(startTimer_.Interval()); }
  void SetRepeatStartInterval(int ms) {
    startTimer_.SetInterval(static_cast<UINT>(ms < 1 ? 1 : ms));
  }
  bool ShowFocused() const { return showFocused_; }
  void SetShowFocused(bool value) { showFocused_ = value; }
  bool CursorHandCustom() const { return cursorHandCustom_; }
  void SetCursorHandCustom(bool value) { cursorHandCustom_ = value; }
  TKind ButtonKind() const { return kind_; }
  void SetButtonKind(TKind kind);
  TColor ColorMarginLeftTop() const { return marginLeftTop_; }
  void SetColorMarginLeftTop(TColor color);
  TColor ColorMarginRightBottom() const { return marginRightBottom_; }
  void SetColorMarginRightBottom(TColor color);
  TColorMarginDefault ColorMarginStyle() const { return marginStyle_; }
  void SetColorMarginStyle(TColorMarginDefault style);
  const std::string& Version() const { return version_; }
  void SetVersion(const std::string&) {}
  bool PopupMenuMark() const { return popupMenuMark_; }
  void SetPopupMenuMark(bool value);
  int PopupMenuMarkGap() const { return popupMenuMarkGap_; }
  void SetPopupMenuMarkGap(int gap);
  TPositionPopup PositionPopup() const { return positionPopup_; }
  void SetPositionPopup(TPositionPopup position) { positionPopup_ = position; }
  bool PlayMusic() const { return playMusic_; }
  void SetPlayMusic(bool value) { playMusic_ = value; }
  TZelPopupMenu* PopupMenu() const { return popupMenu_; }
  void SetPopupMenu(TZelPopupMenu* menu);
  TColor HotTrackColor() const { return hotTrackColor_; }
  void SetHotTrackColor(TColor color) { hotTrackColor_ = color; }
  bool HotTrack() const { return hotTrack_; }
  void SetHotTrack(bool value) { hotTrack_ = value; }
  int Spacing() const { return spacing_; }
  void SetSpacing(int spacing);
  int SpacingLayout() const { return spacingLayout_; }
  void SetSpacingLayout(int margin);
  TOnMouseOverEvent OnMouseOver;
  TOnMouseOutEvent OnMouseOut;
  int NumGlyphs() const { return numGlyphs_; }
  void SetNumGlyphs(int n);
  int NumGlyphsHot() const { return numGlyphsHot_; }
  void SetNumGlyphsHot(int n);
  const TZelBitmap& Glyph() const { return glyph_; }
  void SetGlyph(const TZelBitmap& picture) { AssignGlyph(glyph_, numGlyphs_, picture); }
  void SetGlyph(HBITMAP picture);
  const TZelBitmap& GlyphHot() const { return glyphHot_; }
  void SetGlyphHot(const TZelBitmap& picture) { AssignGlyph(glyphHot_, numGlyphsHot_, picture); }
  void SetGlyphHot(HBITMAP picture);
  TLayout Layout() const { return layout_; }
  void SetLayout(TLayout layout);
  TStyle ButtonStyle() const { return style_; }
  void SetButtonStyle(TStyle style) { ApplyStyle(style, true); }
  bool Cancel() const { return cancel_; }
  void SetCancel(bool value) { cancel_ = value; }
  bool Default() const { return default_; }
  void SetDefault(bool value) { default_ = value; }
  const std::string& HintSecondLine() const { return hintSecondLine_; }
  void SetHintSecondLine(const std::string& text);

  friend class TZelLoadScope;
  friend struct ZelInput;
  friend struct ZelDrag;

 private:
  template <typename T>
  friend LRESULT CALLBACK RouteToObject(HWND, UINT, WPARAM, LPARAM);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

  // Input, in the order the messages bring them.
  void MouseEnter();
  void MouseLeave();
  void MouseDown(TMouseButton button, unsigned shift, int x, int y);
  void MouseUp(TMouseButton button, unsigned shift, int x, int y);
  void OnLeftDown(unsigned shift, int x, int y, bool doubleClick);
  void OnLeftUp(unsigned shift, int x, int y);
  void OpenPopup();
  void StartTimerTick();
  void RepeatTimerTick();
  void StopTimers();
  // Lets go of a press in progress: capture, pending click and timers.
  void CancelPress();
  void ArmLeave();
  void Teardown();
  void PlayHoverSound();
  void RelayToHint(UINT message, WPARAM wParam, LPARAM lParam);
  // A drag of this button has begun: its press ends without a click.
  void DragBegun();
  void ContextPopup(LPARAM screenPos);
  bool KeyEvent(UINT message, WPARAM key);
  void PerformKindAction();
  bool KeepsButtonFace() const override { return IsFramed(style_); }
  void EnabledChanged(bool enabled);
  void VisibilityChanged(bool visible);
  void FocusEnter();
  void FocusExit();
  void FocusChanged(HWND focused);
  bool WantsDialogKey(WPARAM key) const;
  bool IsAccelerator(wchar_t c) const;

  // Styles and frame colours.
  void ApplyStyle(TStyle style, bool repaint);
  void AssignGlyph(TZelBitmap& target, int& count, const TZelBitmap& picture);

  // Painting (ZelButtonPaint.cpp).
  void Paint();
  void Render(HDC dc, TLook look);
  TColor BackgroundColor() const;
  void DrawFrame(HDC dc, RECT& r, int width, COLORREF top, COLORREF bottom, COLORREF brush);
  RECT PlaceGlyph(const RECT& r, int w, int h, int p, SIZE text) const;
  bool DrawGlyph(HDC dc, const RECT& r, int p, bool hot, SIZE text, COLORREF brush,
                 RECT& glyphRect);
  void DrawArrow(HDC dc, const RECT& glyphRect, int w, COLORREF brush);
  void DrawTransparent(HDC dc, const TZelBitmap& image, int x, int y, COLORREF brush);
  void Emboss(HDC dc, const TZelBitmap& image, int x, int y);
  void DrawCaption(HDC dc, const RECT& r, int p, bool glyphDrawn, const RECT& glyphRect);
  SIZE CaptionSize(HDC dc) const;

  // Properties.
  bool repeatAction_ = false, showFocused_ = true, cursorHandCustom_ = true;
  TKind kind_ = skCustom;
  TColor marginLeftTop_ = clBtnHighlight, marginRightBottom_ = clBtnShadow;
  TColorMarginDefault marginStyle_ = cmDefault;
  std::string version_;
  bool popupMenuMark_ = false;
  int popupMenuMarkGap_ = 5;
  TPositionPopup positionPopup_ = puDown;
  bool playMusic_ = false;
  TZelPopupMenu* popupMenu_ = nullptr;
  int popupMenuKey_ = 0;
  TColor hotTrackColor_ = clBlue;
  bool hotTrack_ = true;
  int spacing_ = 4, spacingLayout_ = 3;
  int numGlyphs_ = 2, numGlyphsHot_ = 2;
  TZelBitmap glyph_, glyphHot_, work_;
  GdiObject<HBITMAP> mask_;  // one bit per pixel, for embossing
  bool popupOpen_ = false;
  TLayout layout_ = blGlyphLeft;
  TStyle style_ = stFlat;
  bool cancel_ = false, default_ = false;
  std::string hintSecondLine_;

  // Internal state.
  int normalFrame_ = 0, hotFrame_ = 1;
  TColor frameLeftTop_ = clBtnHighlight, frameRightBottom_ = clBtnShadow;
  bool dottedPen_ = false;
  bool hot_ = false;
  int pressedOffset_ = 0;
  bool pointerOutside_ = false;
  bool focused_ = false;
  bool activeDefault_ = false;
  bool clicked_ = false;  // a left press began here and may end in a click
  bool trackingLeave_ = false;
  TZelHint hint_;
  TZelTimer startTimer_{1}, repeatTimer_{2};
};

// Marks a button as being loaded from a stored form for the scope's lifetime.
class TZelLoadScope {
 public:
  explicit TZelLoadScope(TZelCustomButton& button) : button_(button) { button_.loading_ = true; }
  ~TZelLoadScope() { button_.loading_ = false; }
  TZelLoadScope(const TZelLoadScope&) = delete;
  TZelLoadScope& operator=(const TZelLoadScope&) = delete;

 private:
  TZelCustomButton& button_;
};

}  // namespace morvane
