// What the button control needs of the application around it, in raw Win32:
//  - the application's cursor table: integer indices to cursors (0 is the default arrow);
//  - the hover sound player and the help by context, replaceable (tests record them);
//  - forms: the top-level window a control sits on, its modal result (a window property that
//    a modal loop reads) and its close (WM_CLOSE);
//  - timers: TZelTimer runs on its owner window's WM_TIMER; the clock behind every timer can be
//    replaced, so tests drive the timers deterministically.
#pragma once

#include <windows.h>

#include <functional>
#include <map>

namespace morvane {

// The application's cursor table.
class TZelCursors {
 public:
  // The cursor of an index; an index with no cursor gives the arrow.
  static HCURSOR Get(int index);
  static void Set(int index, HCURSOR cursor);

 private:
  static std::map<int, HCURSOR>& Table();
};

struct TZelApplication {
  // Plays a RIFF WAVE image held in memory; returns when it has finished.
  std::function<void(const void* wave)> PlaySound;
  // Shows the application's help for a context number, from a window of form.
  std::function<void(HWND form, DWORD context)> ShowHelp;
};
// The one application object; its members start as the system's behaviour.
TZelApplication& ZelApplication();
// Plays a memory wave with sndPlaySound(SND_MEMORY), and nothing when the machine has no
// wave output device or winmm cannot be loaded from the system folder.
void PlayWaveFromMemory(const void* wave);

// The form a control sits on (its top-level window), or nullptr for a window with no parent.
HWND FormOf(HWND control);
void SetModalResult(HWND form, int result);
int ModalResult(HWND form);
void CloseForm(HWND form);

// Where timers come from; the system's by default.
class TZelClock {
 public:
  virtual ~TZelClock() = default;
  virtual void Start(HWND owner, UINT_PTR id, UINT interval) = 0;
  virtual void Stop(HWND owner, UINT_PTR id) = 0;
  static TZelClock& Current();
  // Replaces the clock (nullptr restores the system's); returns the previous one.
  static TZelClock* Replace(TZelClock* clock);
};

// A timer owned by a window: runs OnTimer when the owner gets WM_TIMER with its id.
class TZelTimer {
 public:
  TZelTimer(UINT_PTR id) : id_(id) {}
  ~TZelTimer() { Stop(); }
  TZelTimer(const TZelTimer&) = delete;
  TZelTimer& operator=(const TZelTimer&) = delete;

  void SetOwner(HWND owner) { owner_ = owner; }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  UINT Interval() const { return interval_; }
  void SetInterval(UINT interval);
  UINT_PTR Id() const { return id_; }
  std::function<void()> OnTimer;

 private:
  void Stop();
  HWND owner_ = nullptr;
  UINT_PTR id_;
  UINT interval_ = 50;
  bool enabled_ = false;
};

}  // namespace morvane
