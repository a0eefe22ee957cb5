// The input notices the buttons of a thread rely on, produced for all of them together:
//  - pointer enter and leave: whenever the control under the pointer changes, the old one is
//    told it was left and then the new one that it was entered, also while a button holds
//    the capture;
//  - dialog keys and characters: Enter and Escape (when the focused control does not want
//    them) and accelerator characters (Alt+letter, or a letter typed while the focused control
//    takes no characters) are offered to the buttons of the form, in window order, before
//    the focused control sees them; the button that takes one is clicked instead;
//  - the focus-change broadcast: after any window of the thread has taken the focus, every
//    button of its form hears which window that is: at once when a button takes or gives up
//    the focus, otherwise before the thread's next message is handled;
//  - Tab and Shift+Tab (without Ctrl or Alt, when the focused control does not want them) move
//    the focus in a form that holds buttons to the next or previous tab stop in tab order
//    (ZelParent.h), and show the focus from then on, before the focused control or a dialog's
//    IsDialogMessage sees the key.
// A message hook of the thread does the offers and notices focus changes between other
// windows; it is installed while the thread has buttons. (A hook on every sent message would
// see each change at once, but under Wine it costs a round trip to the server for every
// message any window of the thread is sent.)
#pragma once

#include <windows.h>

#include <vector>

namespace morvane {

class TZelCustomButton;

struct ZelInput {
  // Posted in place of a key or character a button takes; the button clicks itself.
  static constexpr UINT kDialogClick = WM_USER + 1;
  // Posted in place of the Escape that ends a drag; the source ends its drag.
  static constexpr UINT kCancelDrag = WM_USER + 2;
  // Posted to a button of the form in place of a Tab the form takes; lParam is the window the
  // focus goes to, and the button hands it on (TabTo).
  static constexpr UINT kTabTo = WM_USER + 3;

  static void Register(TZelCustomButton* button);
  static void Unregister(TZelCustomButton* button);
  static TZelCustomButton* Find(HWND hwnd);
  // The buttons inside a window (at any depth), in window order.
  static std::vector<HWND> ButtonsIn(HWND window);

  // The button the pointer is over, as last reported (nullptr when none).
  static HWND PointerControl();
  // The control under the pointer is now hwnd (any window; only buttons are told).
  static void PointerOver(HWND hwnd);

  static LRESULT CALLBACK MessageHook(int code, WPARAM wParam, LPARAM lParam);
  // The focus is now on focused (any window, or none): the buttons of its form hear of it,
  // once per change.
  static void FocusMoved(HWND focused);
  static TZelCustomButton* DialogKeyTaker(const MSG& msg);
  static TZelCustomButton* DialogCharTaker(const MSG& msg);
  // Where a Tab goes in the form of msg's window, or nullptr when the form does not take it.
  static HWND TabTarget(const MSG& msg);
  // Gives the focus to next, still a window, and shows the focus in its form.
  static void TabTo(HWND next);
};

}  // namespace morvane
