// A DLL planted beside a program, named like a system DLL: the build makes one per name from this
// source and a .def made from the system copy's exports (make-def.sh). When it is loaded it leaves
// a marker file beside itself (its own name with ".loaded", holding the loading program's path),
// then passes each of its exports on to the system folder's DLL of the same name, so that a
// program that loads it goes on working and the marker is the only trace.
#include <windows.h>

#include <cwchar>

// Each export is one of these thunks; each jumps through its own slot of planted_targets. They
// lie 8 bytes apart, so an export's address tells its slot.
constexpr int kThunks = 512;
extern "C" {
void* planted_targets[kThunks];
void planted_thunk0();
}
#if defined(__x86_64__)
#define PLANTED_SYMBOL(name) #name
#define PLANTED_JUMP "jmp *planted_targets+8*\\n(%rip)"
#else
#define PLANTED_SYMBOL(name) "_" #name
#define PLANTED_JUMP "jmp *_planted_targets+4*\\n"
#endif
asm(".text\n"
    ".macro planted_thunk n\n"
    ".globl " PLANTED_SYMBOL(planted_thunk) "\\n\n"
    ".balign 8\n" PLANTED_SYMBOL(planted_thunk) "\\n: " PLANTED_JUMP "\n"
    ".endm\n"
    ".altmacro\n"
    ".set planted_index, 0\n"
    ".rept 512\n"
    "planted_thunk %planted_index\n"
    ".set planted_index, planted_index + 1\n"
    ".endr\n"
    ".noaltmacro\n");

namespace {

void LeaveMarker(const wchar_t* self) {
  wchar_t marker[MAX_PATH + 8], program[MAX_PATH] = {};
  std::swprintf(marker, MAX_PATH + 8, L"%ls.loaded", self);
  const DWORD length = GetModuleFileNameW(nullptr, program, MAX_PATH);
  HANDLE file = CreateFileW(marker, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, program, length * sizeof(wchar_t), &written, nullptr);
  WriteFile(file, L"\r\n", 2 * sizeof(wchar_t), &written, nullptr);
  CloseHandle(file);
}

// Fills each export's slot with the system copy's export of the same ordinal (the .def gives the
// planted DLL the system copy's ordinals).
void PassExportsOn(HINSTANCE self, const wchar_t* selfPath) {
  wchar_t system[MAX_PATH];
  const UINT length = GetSystemDirectoryW(system, MAX_PATH);
  const wchar_t* name = std::wcsrchr(selfPath, L'\\');
  if (length == 0 || name == nullptr || length + std::wcslen(name) >= MAX_PATH) return;
  std::wcscat(system, name);
  const HMODULE real = LoadLibraryExW(system, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (real == nullptr) return;
  const auto* base = reinterpret_cast<const BYTE*>(self);
  const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(
      base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY& directory =
      headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  if (directory.Size == 0) return;
  const auto* exports =
      reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + directory.VirtualAddress);
  const auto* functions = reinterpret_cast<const DWORD*>(base + exports->AddressOfFunctions);
  const auto* first = reinterpret_cast<const BYTE*>(&planted_thunk0);
  for (DWORD i = 0; i < exports->NumberOfFunctions; ++i) {
    const BYTE* thunk = base + functions[i];
    if (functions[i] == 0 || thunk < first || thunk >= first + 8 * kThunks) continue;
    planted_targets[(thunk - first) / 8] = reinterpret_cast<void*>(
        GetProcAddress(real, reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(exports->Base + i))));
  }
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return TRUE;
    LeaveMarker(path);
    PassExportsOn(self, path);
  }
  return TRUE;
}
