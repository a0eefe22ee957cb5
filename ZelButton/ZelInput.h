// The input notices the buttons of a thread rely on, produced for all of them together:
//  - pointer enter and leave: whenever the control under the pointer changes, the old one is
//    told it was left and then the new one that it was entered, also while a button holds
//    the capture;
//  - dialog keys and characters: Enter and Escape (when the focused control does not want
//    them) and accelerator characters (Alt+letter, or a letter typed while the focused control
//    takes no characters) are offered to the buttons of the form, in window order, before
//    the focused control sees them; the button that takes one is clicked instead;
//  - the focus-change broadcast: after any window of the thread has taken the focus, every
//    button of its form hears which window that is.
// A message hook and a call-return hook of the thread do the offers and the broadcast; they
// are installed while the thread has buttons.
#pragma once

#include <windows.h>

namespace morvane {

class TZelCustomButton;

struct ZelInput {
  // Posted in place of a key or character a button takes; the button clicks itself.
  static constexpr UINT kDialogClick = WM_USER + 1;

  static void Register(TZelCustomButton* button);
  static void Unregister(TZelCustomButton* button);
  static TZelCustomButton* Find(HWND hwnd);

  // The button the pointer is over, as last reported (nullptr when none).
  static HWND PointerControl();
  // The control under the pointer is now hwnd (any window; only buttons are told).
  static void PointerOver(HWND hwnd);

  static LRESULT CALLBACK MessageHook(int code, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK CallReturnHook(int code, WPARAM wParam, LPARAM lParam);
  static TZelCustomButton* DialogKeyTaker(const MSG& msg);
  static TZelCustomButton* DialogCharTaker(const MSG& msg);
};

}  // namespace morvane
