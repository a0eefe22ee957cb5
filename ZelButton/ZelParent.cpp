#include "ZelButton/ZelParent.h"

#include <algorithm>
#include <unordered_map>
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

// The tab lists of the windows of this thread that have one.
std::unordered_map<HWND, std::vector<HWND>>& TabLists() {
  static thread_local std::unordered_map<HWND, std::vector<HWND>> lists;
  return lists;
}

// The children of parent, top of the z-order first.
std::vector<HWND> ZOrder(HWND parent) {
  std::vector<HWND> children;
  for (HWND w = GetWindow(parent, GW_CHILD); w != nullptr; w = GetWindow(w, GW_HWNDNEXT))
    children.push_back(w);
  return children;
}

// The list brought up to date with parent's children: those that went leave it, new ones join
// its end in z-order.
void Reconcile(HWND parent, std::vector<HWND>& list) {
  const std::vector<HWND> children = ZOrder(parent);
  auto isChild = [&](HWND w) {
    return std::find(children.begin(), children.end(), w) != children.end();
  };
  list.erase(std::remove_if(list.begin(), list.end(), [&](HWND w) { return !isChild(w); }),
             list.end());
  for (HWND w : children)
    if (std::find(list.begin(), list.end(), w) == list.end()) list.push_back(w);
}

void CollectTabStops(HWND parent, std::vector<HWND>& stops) {
  for (HWND child : ZelParent::TabOrder(parent)) {
    const LONG style = GetWindowLongW(child, GWL_STYLE);
    if ((style & WS_VISIBLE) == 0 || (style & WS_DISABLED) != 0) continue;
    if ((GetWindowLongW(child, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) != 0)
      CollectTabStops(child, stops);
    else if ((style & WS_TABSTOP) != 0)
      stops.push_back(child);
  }
}

LRESULT CALLBACK ParentProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                            DWORD_PTR) {
  const LRESULT result = NextSubclassProc(hwnd, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    TabLists().erase(hwnd);
  } else if (message == WM_SIZE && wParam != SIZE_MINIMIZED) {
    ZelParent::Arrange(hwnd, true);
  } else if (message == WM_SYSCOLORCHANGE && GetAncestor(hwnd, GA_ROOT) == hwnd) {
    // Each button may do anything when told: look them up one by one.
    for (HWND button : ZelInput::ButtonsIn(hwnd))
      if (ZelInput::Find(button) != nullptr)
        SendMessageW(button, WM_SYSCOLORCHANGE, wParam, lParam);
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

UINT ZelParent::ParentColorChangedNotice() {
  static const UINT notice = RegisterWindowMessageW(L"TZelButton.ParentColorChanged");
  return notice;
}

void ZelParent::ColorChanged(HWND parent) {
  if (parent == nullptr) return;
  // A child told may change the others (a handler may run): each is looked at when its turn
  // comes.
  for (HWND child : ZOrder(parent))
    if (IsWindow(child) && GetParent(child) == parent)
      SendMessageW(child, ParentColorChangedNotice(), 0, 0);
}

std::vector<HWND> ZelParent::TabOrder(HWND parent) {
  if (parent == nullptr) return {};
  auto found = TabLists().find(parent);
  if (found == TabLists().end()) return ZOrder(parent);
  Reconcile(parent, found->second);
  return found->second;
}

void ZelParent::SetTabPlace(HWND child, int place) {
  const HWND parent = child != nullptr ? GetParent(child) : nullptr;
  if (parent == nullptr) return;
  auto [it, made] = TabLists().try_emplace(parent);
  std::vector<HWND>& list = it->second;
  // The list goes with its window.
  if (made) AttachSubclass(parent, &ParentProc, kParentLink, 0);
  Reconcile(parent, list);
  list.erase(std::remove(list.begin(), list.end(), child), list.end());
  const int count = static_cast<int>(list.size());
  if (place < 0 || place > count) place = count;
  list.insert(list.begin() + place, child);
}

HWND ZelParent::NextTabStop(HWND form, HWND from, bool back) {
  std::vector<HWND> stops;
  CollectTabStops(form, stops);
  if (stops.empty()) return nullptr;
  // from, or the stop that holds it (a control made of windows of its own).
  auto at = stops.end();
  for (HWND w = from; w != nullptr && w != form && at == stops.end(); w = GetAncestor(w, GA_PARENT))
    at = std::find(stops.begin(), stops.end(), w);
  if (at == stops.end()) return back ? stops.back() : stops.front();
  const std::size_t count = stops.size(), i = static_cast<std::size_t>(at - stops.begin());
  return stops[back ? (i + count - 1) % count : (i + 1) % count];
}

}  // namespace morvane
