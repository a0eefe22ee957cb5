#include "ZelButton/ZelInput.h"

#include <map>
#include <vector>

#include "ZelButton/ZelCustomButton.h"
#include "ZelButton/ZelDrag.h"
#include "ZelButton/ZelParent.h"

namespace morvane {

namespace {

struct ThreadInput {
  std::map<HWND, TZelCustomButton*> buttons;
  HHOOK messageHook = nullptr;
  HWND pointer = nullptr;
  HWND focus = nullptr;  // the focus the buttons last heard of
};

ThreadInput& Input() {
  static thread_local ThreadInput input;
  return input;
}

BOOL CALLBACK CollectButton(HWND hwnd, LPARAM list) {
  if (ZelInput::Find(hwnd) != nullptr) reinterpret_cast<std::vector<HWND>*>(list)->push_back(hwnd);
  return TRUE;
}

// The buttons of a form in window order (top of the z-order first, depth first).
std::vector<HWND> ButtonsOf(HWND form) { return ZelInput::ButtonsIn(form); }

LRESULT DialogCode(const MSG& msg) {
  return SendMessageW(msg.hwnd, WM_GETDLGCODE, msg.wParam, reinterpret_cast<LPARAM>(&msg));
}

}  // namespace

void ZelInput::Register(TZelCustomButton* button) {
  ThreadInput& input = Input();
  // The thread's first button: the focus as it is now is no change to tell of.
  if (input.buttons.empty()) input.focus = GetFocus();
  input.buttons[button->Handle()] = button;
  if (input.messageHook == nullptr)
    input.messageHook =
        SetWindowsHookExW(WH_GETMESSAGE, &MessageHook, nullptr, GetCurrentThreadId());
}

void ZelInput::Unregister(TZelCustomButton* button) {
  ThreadInput& input = Input();
  for (auto it = input.buttons.begin(); it != input.buttons.end(); ++it)
    if (it->second == button) {
      if (input.pointer == it->first) input.pointer = nullptr;
      input.buttons.erase(it);
      break;
    }
  if (!input.buttons.empty()) return;
  if (input.messageHook != nullptr) UnhookWindowsHookEx(input.messageHook);
  input.messageHook = nullptr;
  input.focus = nullptr;
}

TZelCustomButton* ZelInput::Find(HWND hwnd) {
  if (hwnd == nullptr) return nullptr;
  ThreadInput& input = Input();
  auto found = input.buttons.find(hwnd);
  return found == input.buttons.end() ? nullptr : found->second;
}

std::vector<HWND> ZelInput::ButtonsIn(HWND window) {
  std::vector<HWND> found;
  if (window != nullptr && !Input().buttons.empty())
    EnumChildWindows(window, &CollectButton, reinterpret_cast<LPARAM>(&found));
  return found;
}

HWND ZelInput::PointerControl() { return Input().pointer; }

void ZelInput::PointerOver(HWND hwnd) {
  ThreadInput& input = Input();
  if (Find(hwnd) == nullptr) hwnd = nullptr;
  if (hwnd == input.pointer) return;
  const HWND old = input.pointer;
  input.pointer = hwnd;
  // Each notice may run handlers that move the pointer again or destroy buttons: look the
  // buttons up afresh and stop when a newer change has taken over.
  if (TZelCustomButton* left = Find(old)) left->MouseLeave();
  if (input.pointer != hwnd) return;
  if (TZelCustomButton* entered = Find(hwnd)) entered->MouseEnter();
}

TZelCustomButton* ZelInput::DialogKeyTaker(const MSG& msg) {
  if (msg.wParam != VK_RETURN && msg.wParam != VK_ESCAPE) return nullptr;
  if (Find(msg.hwnd) == nullptr && (DialogCode(msg) & (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE)) != 0)
    return nullptr;
  for (HWND hwnd : ButtonsOf(GetAncestor(msg.hwnd, GA_ROOT)))
    if (TZelCustomButton* button = Find(hwnd);
        button != nullptr && button->WantsDialogKey(msg.wParam))
      return button;
  return nullptr;
}

TZelCustomButton* ZelInput::DialogCharTaker(const MSG& msg) {
  const wchar_t c = static_cast<wchar_t>(msg.wParam);
  if (msg.message == WM_SYSCHAR) {
    if (c == ' ') return nullptr;
  } else if (Find(msg.hwnd) == nullptr && (DialogCode(msg) & DLGC_WANTCHARS) != 0) {
    return nullptr;
  }
  for (HWND hwnd : ButtonsOf(GetAncestor(msg.hwnd, GA_ROOT)))
    if (TZelCustomButton* button = Find(hwnd);
        button != nullptr && button->IsAccelerator(c) && button->CanFocus())
      return button;
  return nullptr;
}

HWND ZelInput::TabTarget(const MSG& msg) {
  if (msg.wParam != VK_TAB || GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0)
    return nullptr;
  if (Find(msg.hwnd) == nullptr && (DialogCode(msg) & (DLGC_WANTTAB | DLGC_WANTMESSAGE)) != 0)
    return nullptr;
  const HWND form = GetAncestor(msg.hwnd, GA_ROOT);
  if (ButtonsOf(form).empty()) return nullptr;
  return ZelParent::NextTabStop(form, msg.hwnd, GetKeyState(VK_SHIFT) < 0);
}

void ZelInput::TabTo(HWND next) {
  if (next == nullptr || !IsWindow(next)) return;
  SetFocus(next);
  const HWND form = GetAncestor(next, GA_ROOT);
  if (form != nullptr)
    SendMessageW(form, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
}

LRESULT CALLBACK ZelInput::MessageHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION && (wParam & PM_REMOVE) != 0) {
    MSG& msg = *reinterpret_cast<MSG*>(lParam);
    FocusMoved(GetFocus());  // a change between two other windows, heard before the next key
    TZelCustomButton* taker = nullptr;
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE && ZelDrag::Active()) {
      // The drag ends when the message is dispatched, outside this hook.
      msg.hwnd = ZelDrag::Source();
      msg.message = kCancelDrag;
      msg.wParam = msg.lParam = 0;
    } else if (msg.message == WM_KEYDOWN && msg.wParam == VK_TAB && msg.hwnd != nullptr) {
      // The focus moves when the message is dispatched, outside this hook, by a button of the
      // form: the form's own procedure knows no message of the buttons.
      if (const HWND next = TabTarget(msg)) {
        msg.lParam = reinterpret_cast<LPARAM>(next);
        msg.hwnd = ButtonsOf(GetAncestor(msg.hwnd, GA_ROOT)).front();
        msg.message = kTabTo;
        msg.wParam = 0;
      }
    } else if (msg.hwnd != nullptr) {
      if (msg.message == WM_KEYDOWN)
        taker = DialogKeyTaker(msg);
      else if (msg.message == WM_CHAR || msg.message == WM_SYSCHAR)
        taker = DialogCharTaker(msg);
    }
    // The button clicks when the message is dispatched, outside this hook.
    if (taker != nullptr) {
      msg.hwnd = taker->Handle();
      msg.message = kDialogClick;
      msg.wParam = msg.lParam = 0;
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

void ZelInput::FocusMoved(HWND focused) {
  ThreadInput& input = Input();
  if (focused == input.focus) return;
  input.focus = focused;
  if (focused == nullptr || !IsWindow(focused)) return;
  for (HWND hwnd : ButtonsOf(GetAncestor(focused, GA_ROOT)))
    if (TZelCustomButton* button = Find(hwnd)) button->FocusChanged(focused);
}

}  // namespace morvane
