// TPage: one page of the main window, seen from the frame. The frame owns the controls, the
// menu and the status line, and hands a page what happens while it is the page shown: its
// entering, and the presses of the action buttons. A page keeps its own state and does its
// own work on the frame's controls.
#pragma once

namespace morvane {

class TPage {
 public:
  virtual ~TPage() = default;

  // The window's controls exist now.
  virtual void ControlsCreated() {}
  // The page has become the page shown: empty its list, set the buttons' captions and states,
  // write the page role, empty the status line, then start the page's own work.
  virtual void Show() = 0;
  // Presses of the four action buttons while the page is shown. A button the page hides or
  // has no use for does nothing.
  virtual void PressButton1() {}
  virtual void PressButton2() {}
  virtual void PressButton3() {}
  virtual void PressButton4() {}
  // The window is going: stop whatever still runs. No control may be touched after this.
  virtual void Closing() {}
};

}  // namespace morvane
