// A window that hosts button controls for tests: it answers WM_CTLCOLORBTN with its own colour
// and, a plain window, tells its children when that changes; it records the closes and help
// requests its buttons send, and holds an edit control to move the focus to. With helpers to pump
// messages, move and press the pointer through real window messages, read pixels back from the
// screen, and drive the button timers by hand.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "ZelButton/ZelButton.h"

namespace morvane::testing {

class ButtonHost {
 public:
  explicit ButtonHost(COLORREF colour = RGB(200, 230, 210), int width = 640, int height = 480);
  ~ButtonHost();
  HWND Handle() const { return hwnd_; }
  HWND Edit() const { return edit_; }
  COLORREF Colour() const { return colour_; }
  // A new button at (x, y), width x height, on the host or on another of its windows.
  TZelButton& Add(int x, int y, int width, int height, const std::string& caption = "",
                  HWND parent = nullptr);
  void Remove(TZelButton& button);
  // A child window that answers for its buttons as the host does (its colour, its closes) and
  // passes the host's colour notice on to them.
  HWND AddPanel(int x, int y, int width, int height, DWORD exStyle = 0);
  // Changes the colour the host answers with and repaints it; when tell, it sends its children
  // the parent-colour notice, as a window whose colour changes does.
  void SetColour(COLORREF colour, bool tell = true);
  // Makes the client area width x height.
  void Resize(int width, int height);

  int closes = 0;
  int contextMenus = 0;  // WM_CONTEXTMENU requests that reached the host
  std::vector<DWORD> helpContexts;

 private:
  static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
  HWND hwnd_ = nullptr, edit_ = nullptr;
  COLORREF colour_;
  HBRUSH brush_;
  std::vector<std::unique_ptr<TZelButton>> buttons_;
};

// Lets every pending message run, for at least ms milliseconds.
void PumpFor(int ms = 20);

// Pointer and button messages as the system would send them, to the capture or else the window
// under the point (given in the button's client coordinates).
void MoveTo(TZelCustomButton& button, int x, int y);
void MoveToCentre(TZelCustomButton& button);
// The pointer has left the button (it rests in the screen's corner): the button is told.
void Leave(TZelCustomButton& button);
void LeftDown(TZelCustomButton& button, int x, int y);
void LeftUp(TZelCustomButton& button, int x, int y);
// A key (with Ctrl/Shift held when asked) posted to the focused window.
void PressKey(UINT key, bool ctrl = false, bool shift = false);
// A character as the keyboard gives it to a wide window: one UTF-16 unit.
void TypeChar(HWND target, wchar_t c, bool alt);

// The pixels of a window's client area as the screen shows them.
struct Pixels {
  int width = 0, height = 0;
  std::vector<COLORREF> data;
  COLORREF At(int x, int y) const { return data[static_cast<std::size_t>(y) * width + x]; }
  // Bounding box of the pixels of one colour; empty when there are none.
  RECT BoxOf(COLORREF colour) const;
  int Count(COLORREF colour) const;
};
Pixels Grab(HWND hwnd);

// Timers of every button fired by hand: Advance(ms) moves time on a millisecond at a time.
class ManualClock : public TZelClock {
 public:
  ManualClock() : previous_(TZelClock::Replace(this)) {}
  ~ManualClock() override { TZelClock::Replace(previous_); }
  void Start(HWND owner, UINT_PTR id, UINT interval) override {
    timers_[{owner, id}] = {interval, now_ + interval};
  }
  void Stop(HWND owner, UINT_PTR id) override { timers_.erase({owner, id}); }
  void Advance(int ms);

 private:
  struct Timer {
    UINT interval, due;
  };
  TZelClock* previous_;
  std::map<std::pair<HWND, UINT_PTR>, Timer> timers_;
  UINT now_ = 0;
};

// Replaces the application's sound player and help for a test's lifetime, counting calls.
struct RecordedApplication {
  RecordedApplication();
  ~RecordedApplication();
  std::vector<const void*> sounds;
  std::vector<DWORD> help;

 private:
  TZelApplication saved_;
};

}  // namespace morvane::testing
