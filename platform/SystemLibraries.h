// DLLs of the system that are not among its KnownDLLs, or that the window does not need to appear.
// Windows looks for a DLL in the program's own folder first, so a DLL of such a name dropped
// beside the program (a download folder is the usual place) would run inside it, with its rights;
// so would one that a system DLL loads or imports. The program therefore imports at start only
// what its window needs (KnownDLLs, and the common controls, which the manifest takes from the
// side-by-side store), restricts the DLL search to the system folder before it does anything
// else, and takes every other DLL from the system folder only, when first needed, through the
// calls below: the sound, the accessible objects, the shell, COM and its strings, and the file
// dialogs.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <oleacc.h>
#include <shellapi.h>
#include <shlobj.h>

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

// shell32's calls, or nullptr when shell32 cannot be loaded: nothing is then opened or started
// through the shell, and the shell's folders are unknown.
struct ShellCalls {
  BOOL(WINAPI* ShellExecuteExW)(SHELLEXECUTEINFOW* info);
  HINSTANCE(WINAPI* ShellExecuteW)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
  HRESULT(WINAPI* SHGetSpecialFolderLocation)(HWND, int, PIDLIST_ABSOLUTE*);
  BOOL(WINAPI* SHGetPathFromIDListW)(PCIDLIST_ABSOLUTE, LPWSTR);
  void(WINAPI* ILFree)(PIDLIST_RELATIVE);
};
const ShellCalls* ShellFunctions();

// ole32's calls, or nullptr when ole32 cannot be loaded: COM is then not started.
struct ComCalls {
  HRESULT(WINAPI* CoInitializeEx)(LPVOID, DWORD);
  void(WINAPI* CoUninitialize)();
  HRESULT(WINAPI* CoCreateInstance)(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*);
};
const ComCalls* ComLibrary();

// oleaut32's string calls, or nullptr when oleaut32 cannot be loaded: no string is then made.
struct AutomationCalls {
  BSTR(WINAPI* SysAllocString)(const OLECHAR*);
  BSTR(WINAPI* SysAllocStringLen)(const OLECHAR*, UINT);
  void(WINAPI* SysFreeString)(BSTR);
};
const AutomationCalls* AutomationLibrary();

// comdlg32's file dialogs, or nullptr when comdlg32 cannot be loaded: no dialog is then shown.
struct FileDialogCalls {
  BOOL(WINAPI* GetOpenFileNameW)(LPOPENFILENAMEW);
  BOOL(WINAPI* GetSaveFileNameW)(LPOPENFILENAMEW);
};
const FileDialogCalls* FileDialogLibrary();

// The common controls' registration of their window classes, or nullptr when comctl32 cannot be
// loaded (the manifest's side-by-side copy when it names one): no list or tab control can then be
// made.
struct CommonControlsCalls {
  BOOL(WINAPI* InitCommonControlsEx)(const INITCOMMONCONTROLSEX*);
};
const CommonControlsCalls* CommonControlsLibrary();

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
