// TZelHint: the tooltip that shows a control's hint while the pointer rests on it. The control
// hands it its pointer messages itself: the common controls' own way (TTF_SUBCLASS) keeps a
// subclass in a window property, which under Wine costs a trip to the server for every message
// the control receives.
#pragma once

#include <windows.h>

#include <string>

namespace morvane {

class TZelHint {
 public:
  TZelHint() = default;
  ~TZelHint();
  TZelHint(const TZelHint&) = delete;
  TZelHint& operator=(const TZelHint&) = delete;

  // A pointer message of control, whose hint is text. The tooltip appears after the system's
  // delay, below the pointer, and goes on a press, on Hide or when the pointer leaves. Each
  // carriage return of the text starts a new line.
  void Relay(HWND control, const std::string& text, UINT message, WPARAM wParam, LPARAM lParam);
  void Hide();
  void Destroy();
  // The tooltip window, once there is one.
  HWND Handle() const { return tip_; }

 private:
  HWND tip_ = nullptr;
  HWND control_ = nullptr;
  std::wstring shown_;  // the text the tooltip holds, with its lines ended by CR LF
};

}  // namespace morvane
