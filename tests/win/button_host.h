// A window that hosts button controls for tests: it answers WM_CTLCOLORBTN with its own brush
// and, a plain window, tells its children when that changes; it counts the closes and context-menu
// requests its buttons send on, and holds an edit control to move the focus to. With a
// clock that fires the button timers by hand and a recording of sounds and help.
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
  explicit ButtonHost(COLORREF colour = RGB(200, 230, 210));
  ~ButtonHost();
  HWND Handle() const { return hwnd_; }
  HWND Edit() const { return edit_; }
  COLORREF Colour() const { return colour_; }
  // A new button at (x, y), width x height, on the host or on another of its windows.
  TZelButton& Add(int x, int y, int width, int height, const std::string& caption = "",
                  HWND parent = nullptr);
  void Remove(TZelButton& button);
  // A child window that answers for its buttons as the host does and passes its colour notice on.
  HWND AddPanel(int x, int y, int width, int height, DWORD exStyle = 0);
  // The host answers with a brush of this colour (with the system's button-face brush when
  // systemFace) and, when tell, sends its children the parent-colour notice.
  void SetColour(COLORREF colour, bool tell = true, bool systemFace = false);
  // Makes the client area width x height.
  void Resize(int width, int height);

  int closes = 0, contextMenus = 0;

 private:
  static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
  HWND hwnd_ = nullptr, edit_ = nullptr;
  COLORREF colour_;
  HBRUSH brush_;
  std::vector<std::unique_ptr<TZelButton>> buttons_;
};

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

// Replaces the application's sound player and help for a test's lifetime, recording calls.
struct RecordedApplication {
  RecordedApplication();
  ~RecordedApplication();
  std::vector<const void*> sounds;
  std::vector<DWORD> help;

 private:
  TZelApplication saved_;
};

}  // namespace morvane::testing
