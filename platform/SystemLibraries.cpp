#include "platform/SystemLibraries.h"

#include <cstring>
#include <mutex>
#include <string>

namespace morvane {

namespace {

template <typename Function>
Function KernelFunction(const char* name) {
  // kernel32 is a KnownDLL and already in the process: looking it up loads nothing.
  return reinterpret_cast<Function>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name)));
}

template <typename Function>
bool Find(HMODULE module, const char* name, Function& function) {
  function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  return function != nullptr;
}

// What one library gave: looked up once, kept for the life of the process (the module is never
// freed, so the functions stay valid however long a caller holds them).
template <typename Calls>
struct Library {
  bool looked = false;
  bool found = false;
  Calls calls{};
};

// Made on first use, so that it is there whenever it is first asked for.
DllSearchCalls& Kernel() {
  static DllSearchCalls calls = SystemDllSearchCalls();
  return calls;
}

std::mutex libraryLock;
SystemLibraryLoader currentLoader = &LoadFromSystemFolder;
Library<WaveCalls> wave;
Library<AccessibilityCalls> accessibility;
Library<ShellCalls> shell;
Library<ComCalls> com;
Library<AutomationCalls> automation;
Library<FileDialogCalls> fileDialogs;
Library<CommonControlsCalls> commonControls;

template <typename Calls, typename Resolve>
const Calls* Get(Library<Calls>& library, const wchar_t* name, Resolve resolve) {
  std::lock_guard<std::mutex> hold(libraryLock);
  if (!library.looked) {
    library.looked = true;
    const HMODULE module = currentLoader(name);
    library.found = module != nullptr && resolve(module, library.calls);
  }
  return library.found ? &library.calls : nullptr;
}

}  // namespace

DllSearchCalls SystemDllSearchCalls() {
  return {KernelFunction<decltype(DllSearchCalls::SetDefaultDllDirectories)>(
              "SetDefaultDllDirectories"),
          &::SetDllDirectoryW,
          KernelFunction<decltype(DllSearchCalls::SetSearchPathMode)>("SetSearchPathMode"),
          &::LoadLibraryExW, &::GetSystemDirectoryW};
}

DllSearchCalls ReplaceDllSearchCalls(const DllSearchCalls& calls) {
  const DllSearchCalls previous = Kernel();
  Kernel() = calls;
  return previous;
}

void RestrictDllSearch() {
  // Windows Vista and 7 without update KB2533623 lack SetDefaultDllDirectories: there, at least
  // the current folder leaves the search.
  if (Kernel().SetDefaultDllDirectories == nullptr ||
      !Kernel().SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32))
    Kernel().SetDllDirectoryW(L"");
  if (Kernel().SetSearchPathMode != nullptr)
    Kernel().SetSearchPathMode(BASE_SEARCH_PATH_ENABLE_SAFE_SEARCHMODE |
                               BASE_SEARCH_PATH_PERMANENT);
}

HMODULE LoadFromSystemFolder(const wchar_t* name) {
  if (HMODULE module = Kernel().LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32))
    return module;
  // The flag is unknown where the system lacks the update above: there the full path says where.
  if (GetLastError() != ERROR_INVALID_PARAMETER) return nullptr;
  wchar_t folder[MAX_PATH];
  const UINT length = Kernel().GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  const std::wstring path = std::wstring(folder, length) + L"\\" + name;
  return Kernel().LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

SystemLibraryLoader ReplaceSystemLibraryLoader(SystemLibraryLoader loader) {
  std::lock_guard<std::mutex> hold(libraryLock);
  const SystemLibraryLoader previous = currentLoader;
  currentLoader = loader != nullptr ? loader : &LoadFromSystemFolder;
  wave = {};
  accessibility = {};
  shell = {};
  com = {};
  automation = {};
  fileDialogs = {};
  commonControls = {};
  return previous;
}

const WaveCalls* WaveLibrary() {
  return Get(wave, L"winmm.dll", [](HMODULE module, WaveCalls& calls) {
    return Find(module, "waveOutGetNumDevs", calls.waveOutGetNumDevs) &&
           Find(module, "sndPlaySoundW", calls.sndPlaySoundW);
  });
}

const AccessibilityCalls* AccessibilityLibrary() {
  return Get(accessibility, L"oleacc.dll", [](HMODULE module, AccessibilityCalls& calls) {
    return Find(module, "CreateStdAccessibleObject", calls.CreateStdAccessibleObject) &&
           Find(module, "LresultFromObject", calls.LresultFromObject);
  });
}

const ShellCalls* ShellFunctions() {
  return Get(shell, L"shell32.dll", [](HMODULE module, ShellCalls& calls) {
    return Find(module, "ShellExecuteExW", calls.ShellExecuteExW) &&
           Find(module, "ShellExecuteW", calls.ShellExecuteW) &&
           Find(module, "SHGetSpecialFolderLocation", calls.SHGetSpecialFolderLocation) &&
           Find(module, "SHGetPathFromIDListW", calls.SHGetPathFromIDListW) &&
           Find(module, "ILFree", calls.ILFree);
  });
}

const ComCalls* ComLibrary() {
  return Get(com, L"ole32.dll", [](HMODULE module, ComCalls& calls) {
    return Find(module, "CoInitializeEx", calls.CoInitializeEx) &&
           Find(module, "CoUninitialize", calls.CoUninitialize) &&
           Find(module, "CoCreateInstance", calls.CoCreateInstance);
  });
}

const AutomationCalls* AutomationLibrary() {
  return Get(automation, L"oleaut32.dll", [](HMODULE module, AutomationCalls& calls) {
    return Find(module, "SysAllocString", calls.SysAllocString) &&
           Find(module, "SysAllocStringLen", calls.SysAllocStringLen) &&
           Find(module, "SysFreeString", calls.SysFreeString);
  });
}

const FileDialogCalls* FileDialogLibrary() {
  return Get(fileDialogs, L"comdlg32.dll", [](HMODULE module, FileDialogCalls& calls) {
    return Find(module, "GetOpenFileNameW", calls.GetOpenFileNameW) &&
           Find(module, "GetSaveFileNameW", calls.GetSaveFileNameW);
  });
}

const CommonControlsCalls* CommonControlsLibrary() {
  return Get(commonControls, L"comctl32.dll", [](HMODULE module, CommonControlsCalls& calls) {
    return Find(module, "InitCommonControlsEx", calls.InitCommonControlsEx);
  });
}

}  // namespace morvane
