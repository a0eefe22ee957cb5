// What the buttons need of the windows they sit in, which a raw Win32 window does not tell its
// children: that it was resized (for alignment and anchors) and that the system colours
// changed (only top-level windows are sent WM_SYSCOLORCHANGE). The button hooks itself into
// those windows' procedures with the program's own subclass chain (platform/WindowSubclass.h).
//
// Layout on a resize, and whenever an aligned button changes its alignment, size, constraints
// or visibility: first the anchored buttons keep their distances to the anchored sides (or,
// anchored to neither side of an axis, the centre's share of the parent's size); then the
// visible aligned buttons take their sides of the client area in the order top, bottom, left,
// right, client — along each side in the order they sit, nearest the side first — each taking
// its own height (top, bottom) or width (left, right) from what is left, and alClient the rest.
// Every size passes through the button's constraints.
#pragma once

#include <windows.h>

#include "ZelButton/ZelTypes.h"

namespace morvane {

// A control's bounds and its parent's client size when the program last placed it.
struct TAnchorRule {
  RECT bounds{};
  SIZE parent{};
};

// Where an anchored control goes in a parent of the given size.
RECT AnchoredBounds(const TAnchorRule& rule, TAnchors anchors, SIZE parent,
                    const TSizeConstraints& constraints);
// Where a control of the given size aligned to a side goes in the free rectangle, which then
// loses what the control takes.
RECT AlignInto(RECT& free, TAlign align, SIZE size, const TSizeConstraints& constraints);

struct ZelParent {
  // Hooks the window's resizes in (once per window).
  static void WatchSize(HWND parent);
  // Hooks the top-level window's system-colour notice in, forwarded to every button in it.
  static void WatchColours(HWND form);
  // Lays out the parent's buttons; anchors apply only when the parent was resized.
  static void Arrange(HWND parent, bool resized);
};

}  // namespace morvane
