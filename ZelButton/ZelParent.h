// What the buttons need of the windows they sit in, which a raw Win32 window does not tell its
// children: that it was resized (for alignment and anchors), that the system colours changed
// (only top-level windows are sent WM_SYSCOLORCHANGE), that its own colour changed (the
// parent-colour notice below), and the order its children take the focus in with Tab. The
// button hooks itself into those windows' procedures with the program's own subclass chain
// (platform/WindowSubclass.h).
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

#include <vector>

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

  // The parent-colour notice: a window whose colour changed sends it to each of its children
  // (wParam and lParam 0); a button whose ParentColor is set then takes its parent's colour
  // afresh and repaints, and tells its own children in turn. A registered message, so that it
  // can be sent to any child: windows that do not know it pass it by. A plain window may send it
  // itself or call ColorChanged; a button sends it whenever its own colour changes.
  static UINT ParentColorChangedNotice();
  // Sends the parent-colour notice to each child of parent.
  static void ColorChanged(HWND parent);

  // The tab order of a window's children, first = 0. It is held in the program's memory apart
  // from the z-order, so that a control can be drawn over its siblings without changing its
  // place among them for Tab, and the reverse. A window has a list once one of its children is
  // given a place: made from its children's z-order at that moment; children created later
  // join its end, children that went leave it. Without a list it is the z-order.
  static std::vector<HWND> TabOrder(HWND parent);
  // Puts child at place in its parent's tab order; a place out of range means the last.
  static void SetTabPlace(HWND child, int place);
  // The tab stop after (or, with back, before) from in form: the visible, enabled windows with
  // WS_TABSTOP, taken in tab order, going into every visible, enabled child that holds controls
  // of its own (WS_EX_CONTROLPARENT) in its place, round at either end. The first (last) when
  // from is none of them; nullptr when the form has no tab stop.
  static HWND NextTabStop(HWND form, HWND from, bool back);
};

}  // namespace morvane
