// DLLs of the system that are not among its KnownDLLs. Windows looks for a DLL in the program's
// own folder first, so a DLL of such a name dropped beside the program (a download folder is the
// usual place) would run inside it, with its rights; so would one that a system DLL loads or
// imports. The program therefore imports at start only kernel32, advapi32 and msvcrt, restricts
// the DLL search to the system folder before it does anything else, and takes every other DLL
// from the system folder only, when first needed: the DLLs it binds on first call (user32,
// gdi32, the common controls, ...), through the runtime's delay-load helper, which asks here;
// winmm and oleacc through the calls below.
#pragma once

#include <windows.h>
#include <oleacc.h>

namespace morvane {

// Limits every later DLL search of this process to the system folder (and takes the current
// folder out of it where the system cannot do that); makes SearchPath look in the current folder
// last. Called first thing at start, before any window or library.
void RestrictDllSearch();

// winmm's wave calls, or nullptr when winmm cannot be loaded: no sound is then played.
struct WaveCalls {
  UINT(WINAPI* waveOutGetNumDevs)();
  BOOL(WINAPI* sndPlaySoundW)(LPCWSTR sound, UINT flags);
};
const WaveCalls* WaveLibrary();

// oleacc's calls that hand an accessible object out, or nullptr when oleacc cannot be loaded: a
// window then answers WM_GETOBJECT with the system's standard object.
struct AccessibilityCalls {
  HRESULT(STDAPICALLTYPE* CreateStdAccessibleObject)(HWND, LONG, REFIID, void**);
  LRESULT(STDAPICALLTYPE* LresultFromObject)(REFIID, WPARAM, LPUNKNOWN);
};
const AccessibilityCalls* AccessibilityLibrary();

// Loads a system DLL by its file name (L"winmm.dll"); nullptr when it cannot. The default takes
// it from the system folder only.
using SystemLibraryLoader = HMODULE (*)(const wchar_t* name);
HMODULE LoadFromSystemFolder(const wchar_t* name);
// The kernel32 calls that RestrictDllSearch and LoadFromSystemFolder make: the system's, each
// nullptr where the system lacks it. For tests: ReplaceDllSearchCalls puts others in their place
// and returns the previous ones.
struct DllSearchCalls {
  BOOL(WINAPI* SetDefaultDllDirectories)(DWORD flags);
  BOOL(WINAPI* SetDllDirectoryW)(LPCWSTR folder);
  BOOL(WINAPI* SetSearchPathMode)(DWORD flags);
  HMODULE(WINAPI* LoadLibraryExW)(LPCWSTR name, HANDLE file, DWORD flags);
  UINT(WINAPI* GetSystemDirectoryW)(LPWSTR buffer, UINT size);
};
DllSearchCalls ReplaceDllSearchCalls(const DllSearchCalls& calls);
DllSearchCalls SystemDllSearchCalls();

// For tests: replaces the loader (nullptr puts the default back) and forgets every library
// found so far, so that the next use asks the new loader. Returns the previous loader.
SystemLibraryLoader ReplaceSystemLibraryLoader(SystemLibraryLoader loader);

}  // namespace morvane
