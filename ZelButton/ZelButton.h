// TZelButton: the owner-drawn push button used for the main window's action buttons.
// It paints itself flat: no frame at rest, a one-pixel raised ring and the hot-track colour on
// its caption while the pointer is over it, a sunken ring with the caption shifted one pixel
// while it is held. A click is a left press and release inside the button.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

namespace morvane {

class TZelButton {
 public:
  // Creates the button as a child of parent at the given client position.
  TZelButton(HWND parent, int left, int top, int width, int height, const std::string& caption);
  ~TZelButton();
  TZelButton(const TZelButton&) = delete;
  TZelButton& operator=(const TZelButton&) = delete;

  HWND Handle() const { return hwnd_; }

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  bool Enabled() const;
  void SetEnabled(bool enabled);
  bool Visible() const;
  void SetVisible(bool visible);
  // Uses font for the caption; the caller keeps it alive.
  void SetFont(HFONT font);
  void SetHotTrackColor(COLORREF color);

  // A free number for the owner's use.
  std::int32_t Tag = 0;
  std::function<void()> OnClick;

  // Presses the button as a left click inside it would.
  void Click();

  static const char* ClassName() { return "TZelButton"; }

 private:
  template <typename T>
  friend LRESULT CALLBACK RouteToObject(HWND, UINT, WPARAM, LPARAM);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void Paint(HDC dc);
  void Redraw();

  HWND hwnd_ = nullptr;
  std::string caption_;
  HFONT font_ = nullptr;
  COLORREF hotTrackColor_ = RGB(0, 0, 255);
  bool hot_ = false;
  bool pressed_ = false;
  bool tracking_ = false;
};

}  // namespace morvane
