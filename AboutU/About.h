// TAbout: the about box, created hidden at start-up and shown modally over the main window. It
// shows the about picture, the home page and the support mail address as two clickable
// labels, and an Ok button. A clicked label opens its target and stays in the visited colour
// for the rest of the run: the box is hidden between showings, never recreated.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "platform/Shell.h"
#include "platform/WinHandles.h"

namespace morvane {

inline constexpr COLORREF kLinkColor = RGB(0, 0, 255);
inline constexpr COLORREF kVisitedLinkColor = RGB(128, 0, 0);

// A text of the box that works as a link. It has no window: the box draws it over its picture,
// with a transparent background, and takes its clicks.
struct TLinkLabel {
  RECT Bounds;  // in the box's client area
  std::string Caption;
  COLORREF Color = kLinkColor;
};

class TAbout {
 public:
  // Opens a target through the shell; owner is the window the shell may show its own UI over.
  using ShellOpener = std::function<void(HWND owner, const std::string& target)>;

  explicit TAbout(HWND owner, ShellOpener open = ShellOpen);
  ~TAbout();
  TAbout(const TAbout&) = delete;
  TAbout& operator=(const TAbout&) = delete;

  HWND Handle() const { return hwnd_; }
  // Shows the box centred on its owner and returns when it is closed; the owner cannot be
  // used meanwhile.
  void ShowModal();
  bool Showing() const { return modal_; }

  // The labels' clicks: each opens its target, then shows its label as visited.
  void Label1Click();
  void Label2Click();

  TLinkLabel Label1;  // the home page
  TLinkLabel Label2;  // "E-mail: " and the support address
  HWND BitBtn1 = nullptr;

  static const wchar_t* ClassName() { return L"TAbout"; }

 private:
  template <typename T>
  friend LRESULT CALLBACK RouteToObject(HWND, UINT, WPARAM, LPARAM);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void Close();
  void Paint();
  void PlaceOverOwner();
  // The label under a point of the client area, or null.
  TLinkLabel* LabelAt(POINT point);
  void Visited(TLinkLabel& label);

  HWND owner_;
  ShellOpener open_;
  HWND hwnd_ = nullptr;
  GdiObject<HFONT> font_, linkFont_;
  GdiObject<HBITMAP> picture_;     // Image1
  TLinkLabel* pressed_ = nullptr;  // the label the left button went down on
  bool modal_ = false;
};

// The one about box of the running program.
extern TAbout* About;

}  // namespace morvane
