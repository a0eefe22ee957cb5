#include "ZelButton/ZelParent.h"

#include <algorithm>
#include <vector>

#include "ZelButton/ZelCustomButton.h"
#include "ZelButton/ZelInput.h"
#include "platform/WindowSubclass.h"

namespace morvane {

namespace {

// One axis of an anchored control: its start and length in a parent of length now, placed at
// start/length in a parent of length then.
void AnchorAxis(LONG& start, LONG& length, bool toStart, bool toEnd, LONG then, LONG now) {
  if (toStart && toEnd) {
    length += now - then;
  } else if (toEnd) {
    start += now - then;
  } else if (!toStart && then > 0) {
    // Neither side: the centre keeps its share of the parent.
    start = MulDiv(start + length / 2, now, then) - length / 2;
  }
}

LRESULT CALLBACK ParentProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                            DWORD_PTR) {
  const LRESULT result = NextSubclassProc(hwnd, message, wParam, lParam);
  if (message == WM_SIZE && wParam != SIZE_MINIMIZED) {
    ZelParent::Arrange(hwnd, true);
  } else if (message == WM_SYSCOLORCHANGE && GetAncestor(hwnd, GA_ROOT) == hwnd) {
    // Each button may do anything when told: look them up one by one.
    for (HWND button : ZelInput::ButtonsIn(hwnd))
      if (ZelInput::Find(button) != nullptr)
        SendMessageA(button, WM_SYSCOLORCHANGE, wParam, lParam);
  }
  return result;
}

constexpr UINT_PTR kParentLink = 0x5A454C42;  // one link per window, whatever it watches

}  // namespace

RECT AnchoredBounds(const TAnchorRule& rule, TAnchors anchors, SIZE parent,
                    const TSizeConstraints& constraints) {
  LONG left = rule.bounds.left, top = rule.bounds.top;
  LONG width = rule.bounds.right - rule.bounds.left, height = rule.bounds.bottom - rule.bounds.top;
  AnchorAxis(left, width, (anchors & akLeft) != 0, (anchors & akRight) != 0, rule.parent.cx,
             parent.cx);
  AnchorAxis(top, height, (anchors & akTop) != 0, (anchors & akBottom) != 0, rule.parent.cy,
             parent.cy);
  width = constraints.ClampWidth(width);
  height = constraints.ClampHeight(height);
  return RECT{left, top, left + width, top + height};
}

RECT AlignInto(RECT& free, TAlign align, SIZE size, const TSizeConstraints& constraints) {
  const LONG freeWidth = std::max<LONG>(free.right - free.left, 0);
  const LONG freeHeight = std::max<LONG>(free.bottom - free.top, 0);
  LONG w = size.cx, h = size.cy;
  RECT r{};
  switch (align) {
    case alTop:
    case alBottom:
      w = constraints.ClampWidth(freeWidth);
      h = constraints.ClampHeight(h);
      if (align == alTop) {
        r = RECT{free.left, free.top, free.left + w, free.top + h};
        free.top += h;
      } else {
        r = RECT{free.left, free.bottom - h, free.left + w, free.bottom};
        free.bottom -= h;
      }
      break;
    case alLeft:
    case alRight:
      w = constraints.ClampWidth(w);
      h = constraints.ClampHeight(freeHeight);
      if (align == alLeft) {
        r = RECT{free.left, free.top, free.left + w, free.top + h};
        free.left += w;
      } else {
        r = RECT{free.right - w, free.top, free.right, free.top + h};
        free.right -= w;
      }
      break;
    case alClient:
      w = constraints.ClampWidth(freeWidth);
      h = constraints.ClampHeight(freeHeight);
      r = RECT{free.left, free.top, free.left + w, free.top + h};
      break;
    case alNone:
      break;
  }
  return r;
}

void ZelParent::WatchSize(HWND parent) {
  if (parent != nullptr) AttachSubclass(parent, &ParentProc, kParentLink, 0);
}

void ZelParent::WatchColours(HWND form) {
  if (form != nullptr) AttachSubclass(form, &ParentProc, kParentLink, 0);
}

void ZelParent::Arrange(HWND parent, bool resized) {
  RECT client;
  if (parent == nullptr || !GetClientRect(parent, &client)) return;
  std::vector<TZelCustomButton*> children;
  for (HWND hwnd : ZelInput::ButtonsIn(parent))
    if (GetParent(hwnd) == parent) children.push_back(ZelInput::Find(hwnd));
  // Nothing below runs a handler of the program: the buttons stay.
  if (resized) {
    for (TZelCustomButton* b : children)
      if (b->align_ == alNone && b->anchors_ != kDefaultAnchors)
        b->PlaceAt(AnchoredBounds(b->anchorRule_, b->anchors_, SIZE{client.right, client.bottom},
                                  b->constraints_));
  }
  RECT free = client;
  for (TAlign align : {alTop, alBottom, alLeft, alRight, alClient}) {
    std::vector<std::pair<LONG, TZelCustomButton*>> side;
    for (TZelCustomButton* b : children) {
      if (b->align_ != align || !b->Visible()) continue;
      RECT r;
      GetWindowRect(b->Handle(), &r);
      MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
      const LONG key = align == alTop      ? r.top
                       : align == alBottom ? -r.bottom
                       : align == alLeft   ? r.left
                                           : -r.right;
      side.emplace_back(key, b);
    }
    std::stable_sort(side.begin(), side.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& [key, b] : side)
      b->PlaceAt(AlignInto(free, align, SIZE{b->Width(), b->Height()}, b->constraints_));
  }
}

}  // namespace morvane
