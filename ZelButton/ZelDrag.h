// Dragging a button onto another one, for the buttons of a thread. A drag starts only when the
// program asks for it (BeginDrag): at once, or once the pointer has moved further than a
// threshold with the button held, so that a press that does not move still clicks. Only one
// drag runs at a time; the source holds the pointer capture while it runs.
//  - OnStartDrag of the source when the drag is asked for;
//  - while the drag runs, OnDragOver of the button under the pointer: dsDragEnter when the
//    pointer comes over it, dsDragMove as it moves, dsDragLeave when it goes off it (or the
//    drag ends there without a drop); the handler says whether it would take the source there;
//  - on release over a button that takes it: that button's OnDragDrop; then in every case the
//    source's OnEndDrag, with the target (nullptr when nothing took it). Escape, a loss of the
//    capture, or the source being disabled or hidden ends the drag without a drop; a source
//    that is destroyed ends it without a word.
// A running drag takes the press's click: the release does not click the source.
#pragma once

#include <windows.h>

namespace morvane {

class TZelCustomButton;

struct ZelDrag {
  static void Begin(TZelCustomButton& source, bool immediate, int threshold);
  // The source of the running drag (pending or active), or nullptr.
  static HWND Source();
  // Whether the drag has begun in earnest (the pointer past the threshold, or at once).
  static bool Active();
  // The source's pointer moved to a screen point; true when the drag took the message.
  static bool PointerMoved(POINT screen);
  // The source's left button was released at a screen point; true when the drag took the
  // message (a drag that never began ends here and leaves the release to the button).
  static bool Released(POINT screen);
  // Ends the drag without a drop.
  static void Cancel();
  // A button's window is going away.
  static void Forget(HWND hwnd);
  // The source's press ends without a click once its drag has begun.
  static void EndPress(TZelCustomButton& source);
};

}  // namespace morvane
