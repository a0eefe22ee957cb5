#include "ZelButton/CustomControl.h"

#include <algorithm>
#include <vector>

#include "ZelButton/ZelApplication.h"
#include "ZelButton/ZelCustomButton.h"
#include "ZelButton/ZelInput.h"
#include "platform/WideText.h"

namespace morvane {

namespace {
RECT BoundsInParent(HWND hwnd) {
  RECT r{};
  if (hwnd == nullptr) return r;
  GetWindowRect(hwnd, &r);
  MapWindowPoints(nullptr, GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
  return r;
}
}  // namespace

int TCustomControl::Left() const { return BoundsInParent(hwnd_).left; }
int TCustomControl::Top() const { return BoundsInParent(hwnd_).top; }
int TCustomControl::Width() const {
  const RECT r = BoundsInParent(hwnd_);
  return r.right - r.left;
}
int TCustomControl::Height() const {
  const RECT r = BoundsInParent(hwnd_);
  return r.bottom - r.top;
}

void TCustomControl::SetBounds(int left, int top, int width, int height) {
  if (hwnd_ == nullptr) return;
  PlaceAt(RECT{left, top, left + constraints_.ClampWidth(width),
               top + constraints_.ClampHeight(height)});
  RememberPlace();
  if (align_ != alNone) ZelParent::Arrange(Parent(), false);
}

void TCustomControl::PlaceAt(const RECT& bounds) {
  const RECT now = BoundsInParent(hwnd_);
  if (hwnd_ == nullptr || EqualRect(&now, &bounds)) return;
  MoveWindow(hwnd_, bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top,
             TRUE);
}

// Anchors keep the distances of the place the program last gave the button.
void TCustomControl::RememberPlace() {
  RECT parent{};
  if (hwnd_ == nullptr || !GetClientRect(Parent(), &parent)) return;
  anchorRule_.bounds = BoundsInParent(hwnd_);
  anchorRule_.parent = SIZE{parent.right, parent.bottom};
}

void TCustomControl::SetAlign(TAlign align) {
  if (align == align_) return;
  align_ = align;
  if (align_ == alNone)
    RememberPlace();
  else
    ZelParent::WatchSize(Parent());
  ZelParent::Arrange(Parent(), false);  // the others take the room it leaves, or make it
}

void TCustomControl::SetAnchors(TAnchors anchors) {
  anchors_ = anchors & (akLeft | akTop | akRight | akBottom);
  RememberPlace();
  if (anchors_ != kDefaultAnchors) ZelParent::WatchSize(Parent());
}

void TCustomControl::SetConstraints(const TSizeConstraints& constraints) {
  if (constraints == constraints_) return;
  constraints_ = constraints;
  if (hwnd_ == nullptr) return;
  const RECT now = BoundsInParent(hwnd_);
  SetBounds(now.left, now.top, now.right - now.left, now.bottom - now.top);
}

bool TCustomControl::TabStop() const {
  return hwnd_ != nullptr && (GetWindowLongW(hwnd_, GWL_STYLE) & WS_TABSTOP) != 0;
}

void TCustomControl::SetTabStop(bool tabStop) {
  if (hwnd_ == nullptr || tabStop == TabStop()) return;
  const LONG style = GetWindowLongW(hwnd_, GWL_STYLE);
  SetWindowLongW(hwnd_, GWL_STYLE, tabStop ? style | WS_TABSTOP : style & ~WS_TABSTOP);
}

int TCustomControl::TabOrder() const {
  if (hwnd_ == nullptr) return -1;
  const std::vector<HWND> order = ZelParent::TabOrder(Parent());
  const auto at = std::find(order.begin(), order.end(), hwnd_);
  return at != order.end() ? static_cast<int>(at - order.begin()) : -1;
}

void TCustomControl::SetTabOrder(int order) {
  if (hwnd_ != nullptr) ZelParent::SetTabPlace(hwnd_, order);
}

TBiDiMode TCustomControl::ParentsBiDiMode() const {
  const HWND parent = Parent();
  if (parent == nullptr) return bdLeftToRight;
  const LONG exStyle = GetWindowLongW(parent, GWL_EXSTYLE);
  return (exStyle & (WS_EX_RTLREADING | WS_EX_LAYOUTRTL)) != 0 ? bdRightToLeft : bdLeftToRight;
}

void TCustomControl::ApplyBiDiMode(TBiDiMode mode) {
  biDiMode_ = mode;
  if (hwnd_ == nullptr) return;
  const LONG exStyle = GetWindowLongW(hwnd_, GWL_EXSTYLE);
  const LONG wanted =
      mode != bdLeftToRight ? exStyle | WS_EX_RTLREADING : exStyle & ~WS_EX_RTLREADING;
  if (wanted != exStyle) SetWindowLongW(hwnd_, GWL_EXSTYLE, wanted);
  Invalidate();
}

void TCustomControl::SetBiDiMode(TBiDiMode mode) {
  parentBiDiMode_ = false;
  if (mode != biDiMode_) ApplyBiDiMode(mode);
}

void TCustomControl::SetParentBiDiMode(bool parentBiDiMode) {
  if (parentBiDiMode == parentBiDiMode_) return;
  parentBiDiMode_ = parentBiDiMode;
  if (parentBiDiMode_) ApplyBiDiMode(ParentsBiDiMode());
}

void TCustomControl::SetAction(TZelAction* action) {
  if (action == action_) return;
  if (action_ != nullptr) action_->Unlink(actionKey_);
  action_ = action;
  actionKey_ = 0;
  if (action == nullptr) return;
  const std::weak_ptr<bool> alive = alive_;
  actionKey_ =
      action->Link([this, alive](const TZelAction* changed, const TZelAction::State& before) {
        if (!alive.expired()) ActionChanged(changed, before);
      });
  // Everything the action shows, at once.
  const TZelAction::State& state = action->Current();
  SetCaption(state.Caption);
  Hint = state.Hint;
  HelpContext = state.HelpContext;
  SetEnabled(state.Enabled);
  SetVisible(state.Visible);
}

void TCustomControl::ActionChanged(const TZelAction* action, const TZelAction::State& before) {
  if (action == nullptr) {  // the action is gone; the button keeps what it shows
    action_ = nullptr;
    actionKey_ = 0;
    return;
  }
  // Only what still shows the action's former value follows it.
  const TZelAction::State& now = action->Current();
  if (caption_ == before.Caption) SetCaption(now.Caption);
  if (Hint == before.Hint) Hint = now.Hint;
  if (HelpContext == before.HelpContext) HelpContext = now.HelpContext;
  if (Enabled() == before.Enabled) SetEnabled(now.Enabled);
  if (Visible() == before.Visible) SetVisible(now.Visible);
}

void TCustomControl::SetCursor(int index) {
  cursor_ = index;
  if (hwnd_ != nullptr && ZelInput::PointerControl() == hwnd_) ::SetCursor(TZelCursors::Get(index));
}

void TCustomControl::SetCaption(const std::string& caption) {
  if (caption == caption_) return;
  caption_ = caption;
  if (hwnd_ != nullptr) SetWindowTextW(hwnd_, Widen(caption_).c_str());
  Invalidate();
}

bool TCustomControl::Enabled() const { return hwnd_ != nullptr && IsWindowEnabled(hwnd_) != FALSE; }
void TCustomControl::SetEnabled(bool enabled) {
  if (hwnd_ != nullptr) EnableWindow(hwnd_, enabled ? TRUE : FALSE);
}
bool TCustomControl::Visible() const {
  return hwnd_ != nullptr && (GetWindowLongW(hwnd_, GWL_STYLE) & WS_VISIBLE) != 0;
}
void TCustomControl::SetVisible(bool visible) {
  if (hwnd_ != nullptr) ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE);
}

void TCustomControl::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  parentColor_ = false;
  ColorChanged();
}

void TCustomControl::SetParentColor(bool parentColor) {
  if (parentColor == parentColor_) return;
  parentColor_ = parentColor;
  if (parentColor_) {
    color_ = ParentsColor();
    ColorChanged();
  }
}

TColor TCustomControl::ParentsColor() const {
  const HWND parent = hwnd_ != nullptr ? GetParent(hwnd_) : nullptr;
  if (parent == nullptr) return clBtnFace;
  // A control of this framework is asked directly: its colour may be a system colour.
  if (const TCustomControl* control = ZelInput::Find(parent)) return control->Color();
  WindowDc dc(hwnd_);
  const auto brush = reinterpret_cast<HBRUSH>(SendMessageW(
      parent, WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(dc.get()), reinterpret_cast<LPARAM>(hwnd_)));
  LOGBRUSH lb{};
  if (brush == nullptr || brush == GetSysColorBrush(COLOR_BTNFACE) ||
      GetObjectW(brush, sizeof lb, &lb) == 0)
    return clBtnFace;
  return lb.lbColor & 0x00FFFFFF;
}

void TCustomControl::ParentColorChanged() {
  if (!parentColor_) return;
  color_ = ParentsColor();
  ColorChanged();
}

void TCustomControl::SystemColoursChanged() {
  // The parent's colour may be a system colour.
  if (parentColor_) color_ = ParentsColor();
  ColorChanged();
}

void TCustomControl::ColorChanged() {
  if (KeepsButtonFace()) {
    color_ = clBtnFace;
    parentColor_ = false;
  }
  Invalidate();
  // Its children that follow its colour take it.
  ZelParent::ColorChanged(hwnd_);
}

void TCustomControl::SetFont(const TZelFont& font) {
  parentFont_ = false;
  if (font == font_) return;
  font_ = font;
  FontChanged();
}

void TCustomControl::SetFont(HFONT font) { SetFont(TZelFont::FromHandle(font, font_.Color)); }

void TCustomControl::SetParentFont(bool parentFont) {
  if (parentFont == parentFont_) return;
  parentFont_ = parentFont;
  if (!parentFont_ || hwnd_ == nullptr) return;
  const HFONT inherited = reinterpret_cast<HFONT>(SendMessageW(GetParent(hwnd_), WM_GETFONT, 0, 0));
  font_ = inherited != nullptr ? TZelFont::FromHandle(inherited) : TZelFont{};
  FontChanged();
}

void TCustomControl::FontChanged() {
  fontDirty_ = true;
  Invalidate();
}

HFONT TCustomControl::FontHandle() {
  if (fontDirty_ || fontHandle_.get() == nullptr) {
    fontHandle_.reset(font_.Create());
    fontDirty_ = false;
  }
  return fontHandle_.get();
}

bool TCustomControl::CanFocus() const {
  if (hwnd_ == nullptr) return false;
  const HWND form = GetAncestor(hwnd_, GA_ROOT);
  for (HWND w = hwnd_; w != nullptr && w != form; w = GetParent(w))
    if ((GetWindowLongW(w, GWL_STYLE) & WS_VISIBLE) == 0 || !IsWindowEnabled(w)) return false;
  return true;
}

void TCustomControl::SetFocus() {
  if (hwnd_ != nullptr) ::SetFocus(hwnd_);
}

void TCustomControl::Invalidate() {
  if (hwnd_ != nullptr) InvalidateRect(hwnd_, nullptr, FALSE);
}

}  // namespace morvane
