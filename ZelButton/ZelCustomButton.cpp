#include "ZelButton/ZelCustomButton.h"

#include <windowsx.h>

#include "ZelButton/ZelAccessible.h"
#include "ZelButton/ZelDrag.h"
#include "ZelButton/ZelInput.h"
#include "platform/Utf.h"
#include "platform/WindowClass.h"
#include "platform/WindowRouting.h"

namespace morvane {

namespace {

// Stores value in field; true when that changed it.
template <typename T>
bool Changed(T& field, const T& value) {
  if (field == value) return false;
  field = value;
  return true;
}

constexpr char kVersionNotice[] = "TZelButton 1.0 - Quorvial Ltd.";
constexpr UINT_PTR kStartTimer = 1, kRepeatTimer = 2;

unsigned ShiftFromKeys(WPARAM keys) {
  unsigned shift = 0;
  if (keys & MK_SHIFT) shift |= ssShift;
  if (keys & MK_CONTROL) shift |= ssCtrl;
  if (keys & MK_LBUTTON) shift |= ssLeft;
  if (keys & MK_RBUTTON) shift |= ssRight;
  if (keys & MK_MBUTTON) shift |= ssMiddle;
  if (GetKeyState(VK_MENU) < 0) shift |= ssAlt;
  return shift;
}

unsigned KeyboardShift() {
  unsigned shift = 0;
  if (GetKeyState(VK_SHIFT) < 0) shift |= ssShift;
  if (GetKeyState(VK_CONTROL) < 0) shift |= ssCtrl;
  if (GetKeyState(VK_MENU) < 0) shift |= ssAlt;
  return shift;
}

// Frame widths, pen and colours of each style.
struct StyleRow {
  int normal, hot;
  int pen;       // 0 solid, 1 dotted, -1 unchanged
  bool face;     // the button takes the button face colour
  bool colours;  // the style has default frame colours
  TColor leftTop, rightBottom;
};

const StyleRow& RowOf(TStyle style) {
  static const StyleRow rows[] = {
      {0, 1, 0, false, true, clBtnHighlight, clBtnShadow},  // stFlat
      {1, 1, 0, true, true, clBtnHighlight, clBlack},       // stDefault
      {0, 0, -1, false, false, 0, 0},                       // stNone
      {2, 2, 0, false, true, clBtnHighlight, clBtnShadow},  // stRaised
      {0, 1, 1, false, true, clBtnHighlight, clBtnShadow},  // stFlatDot
      {2, 2, 1, false, true, clBtnHighlight, clBtnShadow},  // stRaisedDot
      {1, 1, 0, true, true, clBtnShadow, clBtnHighlight},   // stFrameLowered
      {1, 1, 0, true, true, clBtnHighlight, clBtnShadow},   // stFrameRaised
  };
  return rows[style <= stFrameRaised ? style : 0];
}

}  // namespace

TZelCustomButton* TZelCustomButton::FromHandle(HWND hwnd) { return ZelInput::Find(hwnd); }

TZelCustomButton::TZelCustomButton(HWND parent) : version_(kVersionNotice) {
  WindowClassSpec spec{ClassName(), &RouteToObject<TZelCustomButton>};
  spec.style = CS_DBLCLKS;
  spec.cursor = nullptr;  // the button sets its cursor itself
  RegisterWindowClass(spec);
  CreateWindowExW(0, ClassName(), L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, 75, 25,
                  parent, nullptr, GetModuleHandleW(nullptr), static_cast<TZelCustomButton*>(this));
  startTimer_.SetOwner(hwnd_);
  repeatTimer_.SetOwner(hwnd_);
  startTimer_.OnTimer = [this] { StartTimerTick(); };
  repeatTimer_.OnTimer = [this] { RepeatTimerTick(); };
  if (hwnd_ != nullptr) ZelInput::Register(this);
  color_ = ParentsColor();
  if (parent != nullptr) {
    const HFONT parentFont = reinterpret_cast<HFONT>(SendMessageW(parent, WM_GETFONT, 0, 0));
    if (parentFont != nullptr) font_ = TZelFont::FromHandle(parentFont);
  }
  ApplyStyle(stFlat, false);
  if (hwnd_ != nullptr) {
    ZelParent::WatchColours(GetAncestor(hwnd_, GA_ROOT));
    ApplyBiDiMode(ParentsBiDiMode());
    RememberPlace();
  }
}

TZelCustomButton::~TZelCustomButton() {
  *alive_ = false;
  if (popupMenu_ != nullptr) popupMenu_->RemoveFreeNotification(popupMenuKey_);
  if (action_ != nullptr) action_->Unlink(actionKey_);
  if (hwnd_ != nullptr) {
    const HWND hwnd = hwnd_, parent = Parent();
    Teardown();
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    DestroyWindow(hwnd);
    // The aligned buttons left take the room this one had.
    if (align_ != alNone) ZelParent::Arrange(parent, false);
  }
}

void TZelCustomButton::Teardown() {
  if (popupOpen_) EndMenu();
  StopTimers();
  ZelDrag::Forget(hwnd_);
  hint_.Destroy();
  startTimer_.SetOwner(nullptr);
  repeatTimer_.SetOwner(nullptr);
  ZelInput::Unregister(this);
  hwnd_ = nullptr;
}

// ---- The control's own properties -----------------------------------------------------------

void TZelCustomButton::SetButtonKind(TKind kind) {
  if (kind != kind_) {
    kind_ = kind;
    glyph_.Clear();
    glyphHot_.Clear();
    work_.Clear();
    mask_.reset();
  }
  const TKindInfo& info = KindInfo(kind);
  if (kind != skCustom) {
    // A resource that cannot be loaded leaves its glyph empty.
    glyph_.LoadFromResource(GetModuleHandleW(nullptr), info.glyph);
    glyphHot_.LoadFromResource(GetModuleHandleW(nullptr), info.glyphHot);
  }
  // While loading, an empty caption is left for the stored caption to fill.
  if (info.caption != nullptr && (!loading_ || !caption_.empty())) SetCaption(info.caption);
  if (kind != skCustom) {
    SetNumGlyphs(1);
    SetNumGlyphsHot(1);
  }
  Invalidate();
  cancel_ = info.cancel;
  default_ = info.isDefault;
}

void TZelCustomButton::AssignGlyph(TZelBitmap& target, int& count, const TZelBitmap& picture) {
  if (&picture != &target) {
    target.Assign(picture);
    if (target.Empty()) {
      Invalidate();
    } else {
      const int w = target.Width(), h = target.Height();
      if (w < h) {
        count = 1;
        Invalidate();
      }
      if (w / h < 2) {
        count = 1;
        Invalidate();
      }
      if (w % h == 0) {
        count = w / h;
        if (count > 4) count = 1;
        Invalidate();
      }
    }
  }
  // The kind becomes custom; bitmaps, caption, Cancel and Default stay.
  kind_ = skCustom;
}

void TZelCustomButton::SetGlyph(HBITMAP picture) {
  TZelBitmap copy;
  copy.Assign(picture);
  SetGlyph(copy);
}

void TZelCustomButton::SetGlyphHot(HBITMAP picture) {
  TZelBitmap copy;
  copy.Assign(picture);
  SetGlyphHot(copy);
}

void TZelCustomButton::ApplyStyle(TStyle style, bool repaint) {
  const StyleRow& row = RowOf(style);
  style_ = style;
  normalFrame_ = row.normal;
  hotFrame_ = row.hot;
  if (row.pen >= 0) dottedPen_ = row.pen == 1;
  if (row.face) {
    color_ = clBtnFace;
    parentColor_ = false;
  }
  if (row.colours) {
    if (marginStyle_ == cmDefault) {
      marginLeftTop_ = frameLeftTop_ = row.leftTop;
      marginRightBottom_ = frameRightBottom_ = row.rightBottom;
    } else {
      frameLeftTop_ = marginLeftTop_;
      frameRightBottom_ = marginRightBottom_;
    }
  }
  if (repaint) Invalidate();
}

void TZelCustomButton::SetColorMarginLeftTop(TColor color) {
  if (color == marginLeftTop_) return;
  marginLeftTop_ = frameLeftTop_ = color;
  const StyleRow& row = RowOf(style_);
  if (marginStyle_ == cmDefault && row.colours && color != row.leftTop) marginStyle_ = cmCustom;
  Invalidate();
}

void TZelCustomButton::SetColorMarginRightBottom(TColor color) {
  if (color == marginRightBottom_) return;
  marginRightBottom_ = frameRightBottom_ = color;
  const StyleRow& row = RowOf(style_);
  if (marginStyle_ == cmDefault && row.colours && color != row.rightBottom) marginStyle_ = cmCustom;
  Invalidate();
}

void TZelCustomButton::SetColorMarginStyle(TColorMarginDefault style) {
  marginStyle_ = style;
  const StyleRow& row = RowOf(style_);
  if (style == cmDefault && row.colours) {
    marginLeftTop_ = frameLeftTop_ = row.leftTop;
    marginRightBottom_ = frameRightBottom_ = row.rightBottom;
  }
  Invalidate();
}

void TZelCustomButton::SetPopupMenuMark(bool value) {
  popupMenuMark_ = value;
  Invalidate();
}

void TZelCustomButton::SetPopupMenuMarkGap(int gap) {
  if (Changed(popupMenuMarkGap_, kMarkGapRange.Clamp(gap))) Invalidate();
}

void TZelCustomButton::SetPopupMenu(TZelPopupMenu* menu) {
  if (popupMenu_ != nullptr) popupMenu_->RemoveFreeNotification(popupMenuKey_);
  popupMenu_ = menu;
  popupMenuKey_ = 0;
  if (menu != nullptr) {
    const std::weak_ptr<bool> alive = alive_;
    popupMenuKey_ = menu->FreeNotification([this, alive](TZelPopupMenu* removed) {
      if (!alive.expired() && popupMenu_ == removed) popupMenu_ = nullptr;
    });
  }
  Invalidate();
}

void TZelCustomButton::SetSpacing(int spacing) {
  if (Changed(spacing_, kSpacingRange.Clamp(spacing))) Invalidate();
}

void TZelCustomButton::SetSpacingLayout(int margin) {
  if (Changed(spacingLayout_, kMarginRange.Clamp(margin))) Invalidate();
}

void TZelCustomButton::SetNumGlyphs(int n) {
  if (Changed(numGlyphs_, kNumGlyphsRange.Clamp(n))) Invalidate();
}

void TZelCustomButton::SetNumGlyphsHot(int n) {
  if (Changed(numGlyphsHot_, kNumGlyphsRange.Clamp(n))) Invalidate();
}

void TZelCustomButton::SetLayout(TLayout layout) {
  layout_ = layout;
  Invalidate();
}

void TZelCustomButton::SetHintSecondLine(const std::string& text) {
  hintSecondLine_ = text;
  if (!Hint.empty() && !text.empty()) Hint += "\r" + text;
}

// ---- Messages
// ------------------------------------------------------------------------------------

LRESULT TZelCustomButton::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  const HWND hwnd = hwnd_;
  if (message == ZelParent::ParentColorChangedNotice()) {
    ParentColorChanged();
    return 0;
  }
  switch (message) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_MOUSEMOVE: {
      const POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      if (ZelDrag::Source() == hwnd_) {
        POINT screen = at;
        ClientToScreen(hwnd_, &screen);
        const auto alive = AliveToken();
        if (ZelDrag::PointerMoved(screen) || alive.expired() || hwnd_ == nullptr) return 0;
      }
      RelayToHint(message, wParam, lParam);
      HWND under = hwnd_;
      if (GetCapture() == hwnd_) {
        POINT screen = at;
        ClientToScreen(hwnd_, &screen);
        under = WindowFromPoint(screen);
      }
      const auto alive = AliveToken();
      ZelInput::PointerOver(under);
      if (alive.expired() || hwnd_ == nullptr) return 0;
      if (ZelInput::PointerControl() == hwnd_) ArmLeave();
      if (OnMouseMove) OnMouseMove(this, ShiftFromKeys(wParam), at.x, at.y);
      return 0;
    }
    case WM_MOUSELEAVE: {
      trackingLeave_ = false;
      // While the button holds the capture its own moves report where the pointer is.
      if (GetCapture() == hwnd_ || ZelInput::PointerControl() != hwnd_) return 0;
      POINT cursor;
      GetCursorPos(&cursor);
      const HWND under = WindowFromPoint(cursor);
      ZelInput::PointerOver(under != hwnd_ ? under : nullptr);
      return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (ZelDrag::Active() && ZelDrag::Source() == hwnd_) return 0;
      hint_.Hide();
      OnLeftDown(ShiftFromKeys(wParam), GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam),
                 message == WM_LBUTTONDBLCLK);
      return 0;
    case WM_LBUTTONUP:
      if (ZelDrag::Source() == hwnd_) {
        POINT screen{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ClientToScreen(hwnd_, &screen);
        const auto alive = AliveToken();
        if (ZelDrag::Released(screen) || alive.expired() || hwnd_ == nullptr) return 0;
      }
      OnLeftUp(ShiftFromKeys(wParam), GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    case WM_RBUTTONUP:
      break;  // only to ask for the context menu (WM_CONTEXTMENU)
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
      return 0;  // only the left button presses this control
    case WM_CONTEXTMENU:
      if (reinterpret_cast<HWND>(wParam) != hwnd_) break;
      ContextPopup(lParam);
      return 0;
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lParam) != hwnd_) {
        clicked_ = false;
        if (ZelDrag::Source() == hwnd_) ZelDrag::Cancel();
      }
      return 0;
    case WM_CANCELMODE:
      CancelPress();
      return 0;
    case ZelInput::kCancelDrag:
      if (ZelDrag::Source() == hwnd_) ZelDrag::Cancel();
      return 0;
    case WM_TIMER:
      if (wParam == kStartTimer && startTimer_.Enabled()) StartTimerTick();
      if (wParam == kRepeatTimer && repeatTimer_.Enabled()) RepeatTimerTick();
      return 0;
    case WM_SETCURSOR:
      if (ZelDrag::Active() && ZelDrag::Source() == hwnd_) return TRUE;  // the drag shows its own
      if (reinterpret_cast<HWND>(wParam) == hwnd_ && LOWORD(lParam) == HTCLIENT) {
        ::SetCursor(TZelCursors::Get(cursor_));
        return TRUE;
      }
      break;
    case WM_SETFOCUS:
      FocusEnter();
      ZelInput::FocusMoved(hwnd_);
      return 0;
    case WM_KILLFOCUS:
      FocusExit();
      ZelInput::FocusMoved(reinterpret_cast<HWND>(wParam));
      return 0;
    case WM_ENABLE:
      EnabledChanged(wParam != FALSE);
      return 0;
    case WM_WINDOWPOSCHANGED: {
      const auto& pos = *reinterpret_cast<const WINDOWPOS*>(lParam);
      if (pos.flags & (SWP_SHOWWINDOW | SWP_HIDEWINDOW))
        VisibilityChanged((pos.flags & SWP_SHOWWINDOW) != 0);
      break;
    }
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_CHAR: {
      const auto alive = AliveToken();
      // A key the handler took (set to 0) goes no further.
      if (!KeyEvent(message, wParam) || alive.expired() || hwnd_ == nullptr) return 0;
      break;
    }
    case WM_SYSCOLORCHANGE:
      SystemColoursChanged();
      return 0;
    case ZelInput::kDialogClick:
      Click();
      return 0;
    case ZelInput::kTabTo:
      ZelInput::TabTo(reinterpret_cast<HWND>(lParam));
      return 0;
    case WM_GETOBJECT:
      if (const LRESULT object = AnswerButtonObject(hwnd_, wParam, lParam)) return object;
      break;
    case WM_DESTROY:
      if (popupOpen_) EndMenu();
      break;
    case WM_NCDESTROY:
      Teardown();
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

void TZelCustomButton::ArmLeave() {
  if (trackingLeave_ || hwnd_ == nullptr || GetCapture() == hwnd_) return;
  // A short hover time makes systems that poll the pointer notice the leave soon.
  TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, hwnd_, 20};
  trackingLeave_ = TrackMouseEvent(&track) != FALSE;
}

// ---- Pointer -----------------------------------------------------------------------------------

void TZelCustomButton::MouseEnter() {
  if (!Enabled()) return;
  const auto alive = AliveToken();
  if (OnMouseOver) {
    OnMouseOver(this);
    if (alive.expired() || hwnd_ == nullptr) return;
  }
  pressedOffset_ = 0;
  if (IsFramed(style_) && popupMenu_ != nullptr) {
    SetFocus();
    if (alive.expired() || hwnd_ == nullptr) return;
  }
  if (cursorHandCustom_) {
    TZelCursors::Set(1, LoadCursorW(GetModuleHandleW(nullptr), L"HANDZELB"));
    SetCursor(1);
  }
  hot_ = true;
  if (playMusic_) PlayHoverSound();
  if (style_ == stFlat) ApplyStyle(stFlat, false);
  DrawLook(TLook::Hot);
  pointerOutside_ = false;
}

void TZelCustomButton::MouseLeave() {
  if (!Enabled()) return;
  const auto alive = AliveToken();
  if (OnMouseOut) {
    OnMouseOut(this);
    if (alive.expired() || hwnd_ == nullptr) return;
  }
  pressedOffset_ = 0;
  if (cursorHandCustom_) {
    TZelCursors::Set(0, LoadCursorW(nullptr, IDC_ARROW));
    SetCursor(0);
  }
  StopTimers();  // whatever RepeatAction says now: it may have changed while held
  hot_ = false;
  hint_.Hide();
  DrawLook(TLook::Normal);
  pointerOutside_ = true;
}

void TZelCustomButton::RelayToHint(UINT message, WPARAM wParam, LPARAM lParam) {
  if (ShowHint && !Hint.empty())
    hint_.Relay(hwnd_, Hint, message, wParam, lParam);
  else
    hint_.Hide();
}

void TZelCustomButton::ContextPopup(LPARAM screenPos) {
  POINT at{GET_X_LPARAM(screenPos), GET_Y_LPARAM(screenPos)};
  const bool fromKeyboard = at.x == -1 && at.y == -1;
  if (!fromKeyboard) ScreenToClient(hwnd_, &at);
  bool handled = false;
  const auto alive = AliveToken();
  if (OnContextPopup) OnContextPopup(this, at, handled);
  // Unhandled, the request goes on to the parent, as a child window's does.
  if (!handled && !alive.expired() && hwnd_ != nullptr)
    DefWindowProcW(hwnd_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd_), screenPos);
}

bool TZelCustomButton::KeyEvent(UINT message, WPARAM wParam) {
  if (message == WM_CHAR) {
    if (!OnKeyPress) return true;
    wchar_t key = static_cast<wchar_t>(wParam);
    OnKeyPress(this, key);
    return key != 0;
  }
  const bool down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
  const TKeyEvent& handler = down ? OnKeyDown : OnKeyUp;
  if (!handler) return true;
  WORD key = static_cast<WORD>(wParam);
  handler(this, key, KeyboardShift());
  return key != 0;
}

void TZelCustomButton::PlayHoverSound() {
  const HMODULE module = GetModuleHandleW(nullptr);
  const HRSRC found = FindResourceW(module, L"PREKO", L"WAV");
  if (found == nullptr) return;
  const HGLOBAL loaded = LoadResource(module, found);
  if (loaded == nullptr) return;
  const void* wave = LockResource(loaded);
  if (wave != nullptr && ZelApplication().PlaySound) ZelApplication().PlaySound(wave);
  FreeResource(loaded);
}

// ---- Presses ----------------------------------------------------------------------------------

void TZelCustomButton::OnLeftDown(unsigned shift, int x, int y, bool doubleClick) {
  const auto alive = AliveToken();
  SetCapture(hwnd_);
  if (!doubleClick) {
    clicked_ = true;
    MouseDown(mbLeft, shift | ssLeft, x, y);
    return;
  }
  // A double click: OnDblClick, the press, then one more click. The release after it does
  // not click.
  if (OnDblClick) {
    OnDblClick(this);
    if (alive.expired() || hwnd_ == nullptr) return;
  }
  MouseDown(mbLeft, shift | ssLeft | ssDouble, x, y);
  if (alive.expired() || hwnd_ == nullptr) return;
  Click();
}

void TZelCustomButton::MouseDown(TMouseButton button, unsigned shift, int x, int y) {
  if (!Enabled()) return;
  if (repeatAction_) startTimer_.SetEnabled(true);
  hot_ = true;
  pressedOffset_ = 1;
  DrawLook(TLook::Pressed);
  if (popupMenu_ == nullptr) return;
  const auto alive = AliveToken();
  OpenPopup();
  if (alive.expired() || hwnd_ == nullptr) return;
  pressedOffset_ = 0;
  hot_ = false;
  DrawLook(TLook::Normal);
  StopTimers();  // whatever RepeatAction says now: it may have changed while held
  // A button disabled or hidden while its menu was open reports nothing more.
  if (OnMouseDown && Enabled() && Visible()) OnMouseDown(this, button, shift, x, y);
}

void TZelCustomButton::OnLeftUp(unsigned shift, int x, int y) {
  const bool wasClicked = clicked_;
  clicked_ = false;
  if (GetCapture() == hwnd_) ReleaseCapture();
  const auto alive = AliveToken();
  RECT client;
  GetClientRect(hwnd_, &client);
  if (wasClicked && PtInRect(&client, POINT{x, y})) {
    Click();
    if (alive.expired() || hwnd_ == nullptr) return;
  }
  MouseUp(mbLeft, shift, x, y);
  if (alive.expired() || hwnd_ == nullptr) return;
  if (ZelInput::PointerControl() == hwnd_) ArmLeave();
}

void TZelCustomButton::MouseUp(TMouseButton button, unsigned shift, int x, int y) {
  StopTimers();  // whatever RepeatAction says now: it may have changed while held
  if (!Enabled() || pointerOutside_) return;
  pressedOffset_ = 0;
  DrawLook(TLook::Hot);
  const auto alive = AliveToken();
  if (IsFramed(style_)) {
    SetFocus();
    if (alive.expired() || hwnd_ == nullptr) return;
  }
  if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

void TZelCustomButton::OpenPopup() {
  TZelPopupMenu* menu = popupMenu_;
  menu->AutoPopup = false;
  menu->PopupComponent = this;
  POINT origin{0, 0};
  ClientToScreen(hwnd_, &origin);
  RECT client;
  GetClientRect(hwnd_, &client);
  int x = origin.x - 1, y = origin.y;
  switch (positionPopup_) {
    case puDown:
      menu->Alignment = TZelPopupMenu::paLeft;
      y = origin.y + client.bottom;
      break;
    case puLeft:
      menu->Alignment = TZelPopupMenu::paRight;
      break;
    case puRight:
      menu->Alignment = TZelPopupMenu::paLeft;
      x = origin.x + client.right + 1;
      break;
  }
  const auto alive = AliveToken();
  popupOpen_ = true;
  menu->Popup(hwnd_, x, y);
  if (!alive.expired()) popupOpen_ = false;
}

void TZelCustomButton::Click() {
  if (hwnd_ == nullptr || !Enabled() || !Visible()) return;
  const auto alive = AliveToken();
  if (OnClick) {
    OnClick(this);
    if (alive.expired() || hwnd_ == nullptr) return;
  } else if (action_ != nullptr) {
    action_->Execute(this);
    if (alive.expired() || hwnd_ == nullptr) return;
  }
  PerformKindAction();
  if (alive.expired() || hwnd_ == nullptr) return;
  if (popupMenu_ != nullptr && Enabled()) {
    if (repeatAction_) startTimer_.SetEnabled(true);
    hot_ = true;
    pressedOffset_ = 1;
    DrawLook(TLook::Pressed);
    OpenPopup();
    if (alive.expired() || hwnd_ == nullptr) return;
    pressedOffset_ = 0;
    hot_ = false;
    DrawLook(TLook::Normal);
    StopTimers();  // whatever RepeatAction says now: it may have changed while held
  }
}

void TZelCustomButton::PerformKindAction() {
  const TKindInfo& info = KindInfo(kind_);
  const HWND form = FormOf(hwnd_);
  switch (info.action) {
    case TKindInfo::ModalResult:
      SetModalResult(form, info.modalResult);
      break;
    case TKindInfo::Close:
      CloseForm(form);
      break;
    case TKindInfo::Help:
      for (HWND w = hwnd_; w != nullptr; w = GetParent(w)) {
        const TZelCustomButton* button = ZelInput::Find(w);
        const DWORD context = button != nullptr ? button->HelpContext : GetWindowContextHelpId(w);
        if (context != 0) {
          if (ZelApplication().ShowHelp)
            ZelApplication().ShowHelp(form != nullptr ? form : w, context);
          break;
        }
      }
      break;
    case TKindInfo::None:
      break;
  }
}

// ---- Timers -------------------------------------------------------------------------------------

void TZelCustomButton::StartTimerTick() {
  startTimer_.SetEnabled(false);
  if (repeatAction_) repeatTimer_.SetEnabled(true);
}

void TZelCustomButton::RepeatTimerTick() {
  // Only the handler runs: no kind action, no popup.
  if (repeatAction_ && OnClick && Enabled() && Visible()) OnClick(this);
}

void TZelCustomButton::StopTimers() {
  startTimer_.SetEnabled(false);
  repeatTimer_.SetEnabled(false);
}

void TZelCustomButton::CancelPress() {
  clicked_ = false;
  StopTimers();
  if (hwnd_ != nullptr && ZelDrag::Source() == hwnd_) ZelDrag::Cancel();
  if (hwnd_ != nullptr && GetCapture() == hwnd_) ReleaseCapture();
}

// ---- Dragging -----------------------------------------------------------------------------------

void TZelCustomButton::BeginDrag(bool immediate, int threshold) {
  ZelDrag::Begin(*this, immediate, threshold);
}

void TZelCustomButton::EndDrag(bool drop) {
  if (hwnd_ == nullptr || ZelDrag::Source() != hwnd_) return;
  if (!drop) {
    ZelDrag::Cancel();
    return;
  }
  POINT now;
  GetCursorPos(&now);
  if (!ZelDrag::Released(now)) ZelDrag::Cancel();
}

bool TZelCustomButton::Dragging() const { return hwnd_ != nullptr && ZelDrag::Source() == hwnd_; }

void TZelCustomButton::DragBegun() {
  clicked_ = false;
  StopTimers();
  hint_.Hide();
  pressedOffset_ = 0;
  DrawLook(hot_ ? TLook::Hot : TLook::Normal);
}

// ---- Focus, keys and notifications --------------------------------------------------------------

void TZelCustomButton::FocusEnter() {
  if (IsFramed(style_)) focused_ = true;
  if (OnEnter) OnEnter(this);
}

void TZelCustomButton::FocusExit() {
  if (IsFramed(style_)) {
    focused_ = false;
    if (showFocused_) Invalidate();
  }
  if (OnExit) OnExit(this);
}

void TZelCustomButton::FocusChanged(HWND focused) {
  activeDefault_ = ZelInput::Find(focused) != nullptr ? focused == hwnd_ : default_;
  if (IsFramed(style_) && focused_ && showFocused_) Invalidate();
}

bool TZelCustomButton::WantsDialogKey(WPARAM key) const {
  if (KeyboardShift() != 0) return false;
  const bool takes = (key == VK_RETURN && activeDefault_) || (key == VK_ESCAPE && cancel_);
  return takes && CanFocus();
}

bool TZelCustomButton::IsAccelerator(wchar_t c) const {
  for (std::size_t i = 0; i + 1 < caption_.size(); ++i) {
    if (caption_[i] != '&') continue;
    if (caption_[i + 1] == '&') {
      ++i;
      continue;
    }
    // The character after the "&" and the one typed, each upper-cased by the system as a
    // character of its own.
    const std::string_view rest = std::string_view(caption_).substr(i + 1);
    std::wstring a;
    AppendUtf16(rest.substr(0, CharacterPrefix(rest, 1)), a);
    if (a.size() != 1) return false;  // beyond the first plane: no single typed unit is it
    wchar_t b[2] = {c, 0};
    CharUpperW(a.data());
    CharUpperW(b);
    return a[0] == b[0];
  }
  return false;
}

void TZelCustomButton::EnabledChanged(bool enabled) {
  if (!enabled) {
    pressedOffset_ = 0;
    hot_ = false;
    hint_.Hide();
    // Nothing of a press in progress outlives the disable.
    CancelPress();
    if (popupOpen_) EndMenu();
  }
  Invalidate();
}

void TZelCustomButton::VisibilityChanged(bool visible) {
  if (align_ != alNone) ZelParent::Arrange(Parent(), false);
  if (!visible) {
    hint_.Hide();
    CancelPress();
    if (popupOpen_) EndMenu();
    // The pointer is no longer over a hidden button.
    if (ZelInput::PointerControl() == hwnd_) ZelInput::PointerOver(nullptr);
  }
  Invalidate();
}

}  // namespace morvane
