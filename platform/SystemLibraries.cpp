#include "platform/SystemLibraries.h"

#include <delayimp.h>

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

// Made on first use: the delay-load helper may ask before the program's other globals are made.
DllSearchCalls& Kernel() {
  static DllSearchCalls calls = SystemDllSearchCalls();
  return calls;
}

std::mutex libraryLock;
SystemLibraryLoader currentLoader = &LoadFromSystemFolder;
Library<WaveCalls> wave;
Library<AccessibilityCalls> accessibility;

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

// The runtime's delay-load helper asks here before it loads a DLL that the program binds on
// first call; what is returned is used, so the DLL comes from the system folder or not at all.
FARPROC WINAPI BeforeDelayLoad(unsigned notice, PDelayLoadInfo info) {
  if (notice != dliNotePreLoadLibrary || info == nullptr || info->szDll == nullptr) return nullptr;
  const std::wstring name(info->szDll, info->szDll + std::strlen(info->szDll));  // ASCII
  SystemLibraryLoader loader;
  {
    std::lock_guard<std::mutex> hold(libraryLock);
    loader = currentLoader;
  }
  return reinterpret_cast<FARPROC>(loader(name.c_str()));
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

}  // namespace morvane

// Read by the runtime's delay-load helper (declared extern "C" by its header).
PfnDliHook __pfnDliNotifyHook2 = &morvane::BeforeDelayLoad;
