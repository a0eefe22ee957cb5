// Subclassing of controls: a chain of procedures that see a control's messages before its own
// procedure does, shaped like the common controls' SetWindowSubclass (same procedure type, same
// id and data), but kept in the program's memory. The common controls keep their chain in a
// window property, which Wine fetches from its server on every message a control receives: a
// list taking thousands of rows then spends most of its time waiting for the server.
//
// For windows of the calling thread only.
#pragma once

#include <windows.h>
#include <commctrl.h>

namespace morvane {

// Puts proc in front of the control's procedure (in front of earlier ones). False when the
// same proc and id are already attached.
bool AttachSubclass(HWND hwnd, SUBCLASSPROC proc, UINT_PTR id, DWORD_PTR data);
// Takes proc out of the chain; the control's own procedure is restored when none is left.
void DetachSubclass(HWND hwnd, SUBCLASSPROC proc, UINT_PTR id);
// Called by a subclass procedure for what it does not handle: the next one in the chain, or
// the control's own procedure.
LRESULT NextSubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace morvane
