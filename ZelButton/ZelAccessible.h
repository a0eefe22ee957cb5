// What screen readers and other assistive programs read of a button, and how they press it: the
// button answers WM_GETOBJECT for its client area with an accessible object of its own (a push
// button, or a menu button when it has a popup menu; named by its caption; unavailable,
// invisible, focusable, focused and pressed as the button is; default action "Press"). What the
// object does not say itself comes from the system's standard object for the window.
#pragma once

#include <windows.h>

#include <string>

namespace morvane {

// The answer to a button's WM_GETOBJECT, or 0 to let DefWindowProc answer (an object other than
// the client area, or when the object cannot be made). Initialises COM on the calling thread
// the first time.
LRESULT AnswerButtonObject(HWND button, WPARAM flags, LPARAM objectId);

// A caption as it reads: its '&' marks gone, "&&" read as one '&'.
std::string ReadableCaption(const std::string& caption);

}  // namespace morvane
