// TAbout: the about box, created hidden at start-up and shown modally over the main window.
#pragma once

#include <windows.h>

#include "platform/WinHandles.h"

namespace morvane {

class TAbout {
 public:
  explicit TAbout(HWND owner);
  ~TAbout();
  TAbout(const TAbout&) = delete;
  TAbout& operator=(const TAbout&) = delete;

  HWND Handle() const { return hwnd_; }
  // Shows the box centred on its owner and returns when it is closed; the owner cannot be
  // used meanwhile.
  void ShowModal();

  static const char* ClassName() { return "TAbout"; }

 private:
  template <typename T>
  friend LRESULT CALLBACK RouteToObject(HWND, UINT, WPARAM, LPARAM);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void Close();

  HWND owner_;
  HWND hwnd_ = nullptr;
  HWND ok_ = nullptr;
  GdiObject<HFONT> font_;
  bool modal_ = false;
};

// The one about box of the running program.
extern TAbout* About;

}  // namespace morvane
