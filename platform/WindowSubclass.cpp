#include "platform/WindowSubclass.h"

#include <unordered_map>
#include <vector>

namespace morvane {

namespace {

struct Link {
  SUBCLASSPROC proc;
  UINT_PTR id;
  DWORD_PTR data;
};

struct Chain {
  WNDPROC original = nullptr;
  std::vector<Link> links;  // the newest last; it sees a message first
};

std::unordered_map<HWND, Chain>& Chains() {
  static thread_local std::unordered_map<HWND, Chain> chains;
  return chains;
}

// Which link of which window is running, so that NextSubclassProc knows where to go on.
struct Position {
  HWND hwnd = nullptr;
  std::size_t level = 0;  // links below this one are still to come
};
thread_local Position t_position;

class PositionScope {
 public:
  PositionScope(HWND hwnd, std::size_t level) : saved_(t_position) { t_position = {hwnd, level}; }
  ~PositionScope() { t_position = saved_; }
  PositionScope(const PositionScope&) = delete;
  PositionScope& operator=(const PositionScope&) = delete;

 private:
  Position saved_;
};

LRESULT CALLBACK ChainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto it = Chains().find(hwnd);
  if (it == Chains().end()) return DefWindowProcW(hwnd, message, wParam, lParam);
  const WNDPROC original = it->second.original;
  LRESULT result;
  {
    PositionScope scope(hwnd, it->second.links.size());
    result = NextSubclassProc(hwnd, message, wParam, lParam);
  }
  if (message == WM_NCDESTROY) {
    // The window is gone: its own procedure back, the chain forgotten.
    SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
    Chains().erase(hwnd);
  }
  return result;
}

}  // namespace

bool AttachSubclass(HWND hwnd, SUBCLASSPROC proc, UINT_PTR id, DWORD_PTR data) {
  if (!IsWindow(hwnd)) return false;
  auto [it, added] = Chains().try_emplace(hwnd);
  Chain& chain = it->second;
  for (const Link& link : chain.links)
    if (link.proc == proc && link.id == id) return false;
  if (added) {
    chain.original = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ChainProc)));
  }
  chain.links.push_back({proc, id, data});
  return true;
}

void DetachSubclass(HWND hwnd, SUBCLASSPROC proc, UINT_PTR id) {
  auto it = Chains().find(hwnd);
  if (it == Chains().end()) return;
  std::vector<Link>& links = it->second.links;
  for (auto link = links.begin(); link != links.end(); ++link) {
    if (link->proc != proc || link->id != id) continue;
    links.erase(link);
    break;
  }
  // With nothing left, and nobody in front of the chain, the control gets its procedure back.
  const bool running = t_position.hwnd == hwnd;
  if (links.empty() && !running &&
      GetWindowLongPtrW(hwnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&ChainProc)) {
    SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(it->second.original));
    Chains().erase(it);
  }
}

LRESULT NextSubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto it = Chains().find(hwnd);
  if (it == Chains().end()) return DefWindowProcW(hwnd, message, wParam, lParam);
  const Chain& chain = it->second;
  std::size_t level = t_position.hwnd == hwnd ? t_position.level : chain.links.size();
  if (level > chain.links.size()) level = chain.links.size();  // links went meanwhile
  if (level == 0) return CallWindowProcW(chain.original, hwnd, message, wParam, lParam);
  const Link link = chain.links[level - 1];
  PositionScope scope(hwnd, level - 1);
  return link.proc(hwnd, message, wParam, lParam, link.id, link.data);
}

}  // namespace morvane
