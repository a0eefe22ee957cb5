#include "ZelButton/ZelDrag.h"

#include <cstdlib>

#include "ZelButton/ZelCustomButton.h"
#include "ZelButton/ZelInput.h"
#include "platform/WindowClass.h"

namespace morvane {

namespace {

struct DragState {
  HWND source = nullptr;
  bool active = false;
  POINT start{};
  int threshold = 0;
  HWND target = nullptr;  // the button under the pointer, as last told
  bool accepted = false;  // whether it would take the source there
};

DragState& Drag() {
  static thread_local DragState drag;
  return drag;
}

POINT ToClient(HWND hwnd, POINT screen) {
  ScreenToClient(hwnd, &screen);
  return screen;
}

// Asks the button of target whether it takes the button of source at a screen point.
bool AskTarget(HWND source, HWND target, POINT screen, TDragState state) {
  TZelCustomButton* button = ZelInput::Find(target);
  if (button == nullptr || !button->OnDragOver) return false;
  const POINT at = ToClient(target, screen);
  bool accept = true;
  auto handler = button->OnDragOver;
  handler(button, ZelInput::Find(source), at.x, at.y, state, accept);
  return accept;
}

// Ends the drag, with a drop on the target when drop is set and the target takes it.
void Finish(bool drop, POINT screen) {
  const DragState drag = Drag();
  Drag() = DragState{};  // handlers below may start the next drag
  if (drag.active && GetCapture() == drag.source) ReleaseCapture();
  const TZelCustomButton* over = ZelInput::Find(drag.target);
  const bool dropped =
      drop && drag.active && drag.accepted && over != nullptr && over->Enabled() && over->Visible();
  POINT at{0, 0};
  if (dropped) {
    at = ToClient(drag.target, screen);
    TZelCustomButton* target = ZelInput::Find(drag.target);
    if (target->OnDragDrop) {
      auto handler = target->OnDragDrop;
      handler(target, ZelInput::Find(drag.source), at.x, at.y);
    }
  } else if (drag.target != nullptr) {
    AskTarget(drag.source, drag.target, screen, dsDragLeave);
  }
  TZelCustomButton* source = ZelInput::Find(drag.source);
  if (source != nullptr && source->OnEndDrag) {
    TZelCustomButton* target = dropped ? ZelInput::Find(drag.target) : nullptr;
    auto handler = source->OnEndDrag;
    handler(source, target, target != nullptr ? at.x : 0, target != nullptr ? at.y : 0);
  }
}

// The drag begins in earnest: the press ends without a click and the pointer belongs to the
// drag. False when a handler ended the drag meanwhile.
bool Activate() {
  DragState& drag = Drag();
  const HWND source = drag.source;
  drag.active = true;
  if (TZelCustomButton* button = ZelInput::Find(source)) ZelDrag::EndPress(*button);
  if (Drag().source != source) return false;
  ZelInput::PointerOver(nullptr);
  return Drag().source == source;
}

// The button under the pointer hears of the drag; the cursor shows whether it takes it.
void Track(POINT screen) {
  DragState& drag = Drag();
  const HWND source = drag.source;
  HWND under = WindowFromPoint(screen);
  TZelCustomButton* button = ZelInput::Find(under);
  if (button == nullptr || !button->Enabled()) under = nullptr;
  const HWND old = drag.target;
  if (under != old) {
    drag.target = nullptr;
    drag.accepted = false;
    if (old != nullptr) AskTarget(source, old, screen, dsDragLeave);
    if (Drag().source != source) return;
    drag.target = under;
  }
  if (under == nullptr) {
    SetCursor(LoadCursorW(nullptr, IDC_NO));
    return;
  }
  const bool accepted = AskTarget(source, under, screen, under != old ? dsDragEnter : dsDragMove);
  if (Drag().source != source || Drag().target != under) return;
  drag.accepted = accepted;
  SetCursor(LoadCursorW(nullptr, accepted ? IDC_ARROW : IDC_NO));
}

}  // namespace

void ZelDrag::Begin(TZelCustomButton& source, bool immediate, int threshold) {
  DragState& drag = Drag();
  const HWND hwnd = source.Handle();
  if (drag.source != nullptr || hwnd == nullptr || !source.Enabled() || !source.Visible()) return;
  drag = DragState{};
  drag.source = hwnd;
  GetCursorPos(&drag.start);
  drag.threshold = threshold >= 0 ? threshold : GetSystemMetrics(SM_CXDRAG);
  if (GetCapture() != hwnd) SetCapture(hwnd);
  if (source.OnStartDrag) {
    auto handler = source.OnStartDrag;
    handler(&source);
    if (Drag().source != hwnd) return;
  }
  if (immediate && Activate()) Track(drag.start);
}

void ZelDrag::EndPress(TZelCustomButton& source) { source.DragBegun(); }

HWND ZelDrag::Source() { return Drag().source; }
bool ZelDrag::Active() { return Drag().active; }

bool ZelDrag::PointerMoved(POINT screen) {
  DragState& drag = Drag();
  if (drag.source == nullptr) return false;
  if (!drag.active) {
    if (std::abs(screen.x - drag.start.x) <= drag.threshold &&
        std::abs(screen.y - drag.start.y) <= drag.threshold)
      return false;
    if (!Activate()) return true;
  }
  Track(screen);
  return true;
}

bool ZelDrag::Released(POINT screen) {
  DragState& drag = Drag();
  if (drag.source == nullptr) return false;
  if (!drag.active) {
    Finish(false, screen);
    return false;
  }
  const HWND source = drag.source;
  PointerMoved(screen);
  if (Drag().source != source) return true;
  Finish(true, screen);
  return true;
}

void ZelDrag::Cancel() {
  if (Drag().source == nullptr) return;
  POINT now;
  GetCursorPos(&now);
  Finish(false, now);
}

void ZelDrag::Forget(HWND hwnd) {
  DragState& drag = Drag();
  if (hwnd == nullptr) return;
  if (drag.source == hwnd) drag = DragState{};
  if (drag.target == hwnd) {
    drag.target = nullptr;
    drag.accepted = false;
  }
}

}  // namespace morvane
