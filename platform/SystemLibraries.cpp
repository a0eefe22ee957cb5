#include "platform/SystemLibraries.h"

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

}  // namespace

void RestrictDllSearch() {
  using SetDefaultDllDirectoriesCall = BOOL(WINAPI*)(DWORD);
  using SetSearchPathModeCall = BOOL(WINAPI*)(DWORD);
  // Windows Vista and 7 without update KB2533623 lack the first: there, at least the current
  // folder leaves the search.
  const auto setDefault = KernelFunction<SetDefaultDllDirectoriesCall>("SetDefaultDllDirectories");
  if (setDefault == nullptr || !setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) SetDllDirectoryW(L"");
  if (const auto setMode = KernelFunction<SetSearchPathModeCall>("SetSearchPathMode"))
    setMode(BASE_SEARCH_PATH_ENABLE_SAFE_SEARCHMODE | BASE_SEARCH_PATH_PERMANENT);
}

HMODULE LoadFromSystemFolder(const wchar_t* name) {
  if (HMODULE module = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) return module;
  // The flag is unknown where the system lacks the update above: there the full path says where.
  if (GetLastError() != ERROR_INVALID_PARAMETER) return nullptr;
  wchar_t folder[MAX_PATH];
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  const std::wstring path = std::wstring(folder, length) + L"\\" + name;
  return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
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
