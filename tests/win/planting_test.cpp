// DLLs planted beside a program must never run inside it. First the defences one by one: the
// restriction of the DLL search and the loads from the system folder, through the kernel-call
// seam; the functions each library gives; winmm planted beside this test program. Then a copy of
// Morvane.exe is started from a folder that also holds DLLs named like system DLLs and used as a
// user would; each planted DLL leaves a marker file when it is loaded, and none may appear.
//
// Wine prefers its own copy of a system DLL to one found by the search, which would hide the
// flaw: the test command starts this program with every planted name native-first (Windows'
// order) in WINEDLLOVERRIDES, which reaches Wine's loader in this process and in the copy.
#include <windows.h>
#include <oleacc.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cwctype>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/SystemLibraries.h"

namespace {

using namespace morvane;

// The main window's menu commands, as the program numbers them.
constexpr WORD kCmdRegister = 101, kCmdUnnecessaryFiles = 102, kCmdDeinstall = 103, kCmdHelp = 104,
               kCmdHomePage = 105, kCmdProductPage = 106, kCmdAbout = 107, kCmdRestore = 108;

std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.rfind(L'\\')); }

std::wstring Lower(std::wstring text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
  return text;
}

std::wstring ModuleFile(HMODULE module) {
  wchar_t path[MAX_PATH] = {};
  return Lower(std::wstring(path, GetModuleFileNameW(module, path, MAX_PATH)));
}

std::wstring SystemFolder() {
  wchar_t system[MAX_PATH];
  return Lower(std::wstring(system, GetSystemDirectoryW(system, MAX_PATH)));
}

std::vector<std::wstring> PlantedNames() {
  std::vector<std::wstring> names;
  const std::wstring list = PLANTED_NAMES;
  for (std::size_t start = 0, end; start < list.size(); start = end + 1) {
    end = std::min(list.find(L',', start), list.size());
    names.push_back(list.substr(start, end - start));
  }
  return names;
}

// What the restriction and the system-folder loads asked of the kernel, one line per call.
std::wstring asked;
BOOL defaultDirectoriesAnswer;
DWORD systemFlagError;  // the error of a load with LOAD_LIBRARY_SEARCH_SYSTEM32; 0: it loads
HMODULE const kLoaded = reinterpret_cast<HMODULE>(0x10000);

BOOL WINAPI SetDefaults(DWORD flags) {
  asked += L"SetDefaultDllDirectories " + std::to_wstring(flags) + L"\n";
  return defaultDirectoriesAnswer;
}
BOOL WINAPI SetDirectory(LPCWSTR folder) {
  asked += L"SetDllDirectoryW '" + std::wstring(folder) + L"'\n";
  return TRUE;
}
BOOL WINAPI SetMode(DWORD flags) {
  asked += L"SetSearchPathMode " + std::to_wstring(flags) + L"\n";
  return TRUE;
}
HMODULE WINAPI Load(LPCWSTR name, HANDLE, DWORD flags) {
  asked += L"LoadLibraryExW " + std::wstring(name) + L" " + std::to_wstring(flags) + L"\n";
  if (flags == LOAD_LIBRARY_SEARCH_SYSTEM32 && systemFlagError != 0) {
    SetLastError(systemFlagError);
    return nullptr;
  }
  return kLoaded;
}
UINT WINAPI SystemDirectory(LPWSTR buffer, UINT size) {
  wcscpy_s(buffer, size, L"C:\\Sys");
  return 6;
}

TEST(DllSearch, RestrictedToTheSystemFolderOrTheCurrentFolderTakenOut) {
  const struct {
    bool hasSetDefault;  // Windows 7 without update KB2533623 lacks it
    BOOL answer;
    const wchar_t* calls;
  } rows[] = {
      {true, TRUE, L"SetDefaultDllDirectories 2048\nSetSearchPathMode 32769\n"},
      {true, FALSE,
       L"SetDefaultDllDirectories 2048\nSetDllDirectoryW ''\nSetSearchPathMode 32769\n"},
      {false, TRUE, L"SetDllDirectoryW ''\nSetSearchPathMode 32769\n"},
  };
  for (const auto& row : rows) {
    const DllSearchCalls system =
        ReplaceDllSearchCalls({row.hasSetDefault ? &SetDefaults : nullptr, &SetDirectory, &SetMode,
                               &Load, &SystemDirectory});
    asked.clear();
    defaultDirectoriesAnswer = row.answer;
    RestrictDllSearch();
    ReplaceDllSearchCalls(system);
    EXPECT_EQ(asked, row.calls);
  }
}

TEST(DllSearch, LoadsFromTheSystemFolderOnly) {
  const struct {
    DWORD error;  // of the load with LOAD_LIBRARY_SEARCH_SYSTEM32
    const wchar_t* calls;
    bool loaded;
  } rows[] = {
      {0, L"LoadLibraryExW winmm.dll 2048\n", true},
      // Where the flag is unknown, the full path of the system folder's copy.
      {ERROR_INVALID_PARAMETER,
       L"LoadLibraryExW winmm.dll 2048\nLoadLibraryExW C:\\Sys\\winmm.dll 8\n", true},
      {ERROR_MOD_NOT_FOUND, L"LoadLibraryExW winmm.dll 2048\n", false},
  };
  for (const auto& row : rows) {
    const DllSearchCalls system =
        ReplaceDllSearchCalls({&SetDefaults, &SetDirectory, &SetMode, &Load, &SystemDirectory});
    asked.clear();
    systemFlagError = row.error;
    const HMODULE module = LoadFromSystemFolder(L"winmm.dll");
    ReplaceDllSearchCalls(system);
    EXPECT_EQ(asked, row.calls);
    EXPECT_EQ(module, row.loaded ? kLoaded : nullptr);
  }
}

// Every system DLL the program does not import comes from the loader, asked once by its name.
TEST(DllSearch, LibrariesNotImportedAskTheLoaderOnce) {
  static std::vector<std::wstring> asked;
  asked.clear();
  ReplaceSystemLibraryLoader([](const wchar_t* name) -> HMODULE {
    asked.emplace_back(name);
    return nullptr;
  });
  for (int twice = 0; twice < 2; ++twice) {
    EXPECT_EQ(ShellFunctions(), nullptr);
    EXPECT_EQ(ComLibrary(), nullptr);
    EXPECT_EQ(AutomationLibrary(), nullptr);
    EXPECT_EQ(FileDialogLibrary(), nullptr);
    EXPECT_EQ(CommonControlsLibrary(), nullptr);
  }
  ReplaceSystemLibraryLoader(nullptr);
  EXPECT_EQ(asked, (std::vector<std::wstring>{L"shell32.dll", L"ole32.dll", L"oleaut32.dll",
                                              L"comdlg32.dll", L"comctl32.dll"}));
}

// winmm is planted beside this program: WaveLibrary still takes the system folder's copy, and each
// function is the one of its own (wide) name.
TEST(DllSearch, LibrariesFromTheSystemFolderWithTheirOwnFunctions) {
  const WaveCalls* wave = WaveLibrary();
  const AccessibilityCalls* accessibility = AccessibilityLibrary();
  const ShellCalls* shell = ShellFunctions();
  const ComCalls* com = ComLibrary();
  const AutomationCalls* strings = AutomationLibrary();
  const FileDialogCalls* dialogs = FileDialogLibrary();
  for (const void* library :
       {static_cast<const void*>(wave), static_cast<const void*>(accessibility),
        static_cast<const void*>(shell), static_cast<const void*>(com),
        static_cast<const void*>(strings), static_cast<const void*>(dialogs)})
    ASSERT_NE(library, nullptr);
#define MV_ROW(calls, dll, name) \
  { reinterpret_cast<const void*>(calls->name), dll, #name }
  const struct {
    const void* function;
    const wchar_t* dll;
    const char* name;
  } rows[] = {
      {reinterpret_cast<const void*>(wave->waveOutGetNumDevs), L"winmm.dll", "waveOutGetNumDevs"},
      {reinterpret_cast<const void*>(wave->sndPlaySoundW), L"winmm.dll", "sndPlaySoundW"},
      {reinterpret_cast<const void*>(accessibility->CreateStdAccessibleObject), L"oleacc.dll",
       "CreateStdAccessibleObject"},
      {reinterpret_cast<const void*>(accessibility->LresultFromObject), L"oleacc.dll",
       "LresultFromObject"},
      MV_ROW(shell, L"shell32.dll", ShellExecuteExW),
      MV_ROW(shell, L"shell32.dll", ShellExecuteW),
      MV_ROW(shell, L"shell32.dll", SHGetSpecialFolderLocation),
      MV_ROW(shell, L"shell32.dll", SHGetPathFromIDListW),
      MV_ROW(shell, L"shell32.dll", ILFree),
      MV_ROW(com, L"ole32.dll", CoInitializeEx),
      MV_ROW(com, L"ole32.dll", CoUninitialize),
      MV_ROW(com, L"ole32.dll", CoCreateInstance),
      MV_ROW(strings, L"oleaut32.dll", SysAllocString),
      MV_ROW(strings, L"oleaut32.dll", SysAllocStringLen),
      MV_ROW(strings, L"oleaut32.dll", SysFreeString),
      MV_ROW(dialogs, L"comdlg32.dll", GetOpenFileNameW),
      MV_ROW(dialogs, L"comdlg32.dll", GetSaveFileNameW),
  };
  ASSERT_NE(CommonControlsLibrary(), nullptr);
#undef MV_ROW
  for (const auto& row : rows) {
    HMODULE module = nullptr;
    ASSERT_TRUE(GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        static_cast<LPCWSTR>(row.function), &module));
    // The code may lie in a DLL the named one passes the call on to (ole32's in combase), but in
    // the system folder, and it is what the system folder's copy gives for the name.
    EXPECT_EQ(FolderOf(ModuleFile(module)), SystemFolder()) << row.name;
    const HMODULE named = GetModuleHandleW(row.dll);
    EXPECT_EQ(ModuleFile(named), SystemFolder() + L"\\" + row.dll);
    EXPECT_EQ(row.function, reinterpret_cast<const void*>(GetProcAddress(named, row.name)))
        << row.name;
  }
  // The planted copy is live: by its full path Wine loads it, not its own copy, and it leaves
  // its marker (without the overrides, nothing here could fail).
  const std::wstring planted = FolderOf(ModuleFile(nullptr)) + L"\\winmm.dll";
  DeleteFileW((planted + L".loaded").c_str());
  const HMODULE copy = LoadLibraryExW(planted.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(GetFileAttributesW((planted + L".loaded").c_str()), INVALID_FILE_ATTRIBUTES)
      << "the overrides did not reach Wine's loader: run this test through ctest";
  FreeLibrary(copy);
  DeleteFileW((planted + L".loaded").c_str());
}

template <typename Condition>
bool WaitFor(Condition condition, int milliseconds = 10000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (std::chrono::steady_clock::now() < end) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return condition();
}

struct Found {
  DWORD process;
  const wchar_t* className;
  HWND hwnd = nullptr;
};

BOOL CALLBACK FindTopLevel(HWND hwnd, LPARAM parameter) {
  auto* found = reinterpret_cast<Found*>(parameter);
  DWORD process = 0;
  GetWindowThreadProcessId(hwnd, &process);
  wchar_t className[64] = {};
  GetClassNameW(hwnd, className, 64);
  if (process != found->process || !IsWindowVisible(hwnd) ||
      std::wstring(className) != found->className)
    return TRUE;
  found->hwnd = hwnd;
  return FALSE;
}

HWND TopLevel(DWORD process, const wchar_t* className) {
  Found found{process, className};
  EnumWindows(&FindTopLevel, reinterpret_cast<LPARAM>(&found));
  return found.hwnd;
}

BOOL CALLBACK FirstButton(HWND hwnd, LPARAM parameter) {
  wchar_t className[64] = {};
  GetClassNameW(hwnd, className, 64);
  if (std::wstring(className) != L"TZelButton" || !IsWindowVisible(hwnd)) return TRUE;
  *reinterpret_cast<HWND*>(parameter) = hwnd;
  return FALSE;
}

// The full path of the module of this name in the process, or "" when it has none.
std::wstring ModulePath(HANDLE process, const std::wstring& name) {
  HMODULE modules[512];
  DWORD bytes = 0;
  if (!EnumProcessModules(process, modules, sizeof modules, &bytes)) return L"?";
  for (DWORD i = 0; i < bytes / sizeof(HMODULE) && i < 512; ++i) {
    wchar_t path[MAX_PATH] = {};
    const std::wstring full =
        Lower(std::wstring(path, GetModuleFileNameExW(process, modules[i], path, MAX_PATH)));
    if (full.size() > name.size() &&
        full.compare(full.size() - name.size() - 1, std::wstring::npos, L"\\" + name) == 0)
      return full;
  }
  return L"";
}

class PlantedDlls : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::wstring build = FolderOf(FolderOf(FolderOf(ModuleFile(nullptr))));
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    folder_ = std::wstring(temp) + L"morvane-planted-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder_.c_str(), nullptr);
    for (const wchar_t* file : {L"Morvane.exe", L"help.html"})
      ASSERT_TRUE(
          CopyFileW((build + L"\\" + file).c_str(), (folder_ + L"\\" + file).c_str(), FALSE));
    for (const std::wstring& dll : PlantedNames())
      ASSERT_TRUE(CopyFileW((build + L"\\tests\\planted\\" + dll).c_str(),
                            (folder_ + L"\\" + dll).c_str(), FALSE))
          << "missing planted DLL";
  }
  void TearDown() override {
    if (process_.hProcess != nullptr) {
      TerminateProcess(process_.hProcess, 1);
      WaitForSingleObject(process_.hProcess, 5000);
      CloseHandle(process_.hProcess);
      CloseHandle(process_.hThread);
    }
    for (const std::wstring& dll : PlantedNames()) {
      DeleteFileW((folder_ + L"\\" + dll + L".loaded").c_str());
      DeleteFileW((folder_ + L"\\" + dll).c_str());
    }
    DeleteFileW((folder_ + L"\\Morvane.exe").c_str());
    DeleteFileW((folder_ + L"\\help.html").c_str());
    RemoveDirectoryW(folder_.c_str());
  }

  // Starts the copy from its own folder, which is also its current folder.
  void Start() {
    std::wstring command = L"\"" + folder_ + L"\\Morvane.exe\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               folder_.c_str(), &startup, &process_));
  }

  // Loads a DLL by its bare name inside the copy (LoadLibraryW on a thread of its own), as a
  // system DLL of the copy would: the copy's restriction of the search decides where it is found.
  std::wstring LoadInsideTheCopy(const std::wstring& name) {
    const SIZE_T bytes = (name.size() + 1) * sizeof(wchar_t);
    void* remote = VirtualAllocEx(process_.hProcess, nullptr, bytes, MEM_COMMIT, PAGE_READWRITE);
    if (remote == nullptr ||
        !WriteProcessMemory(process_.hProcess, remote, name.c_str(), bytes, nullptr))
      return L"?";
    // kernel32 lies at the same address in every process of one kind.
    const auto load = reinterpret_cast<LPTHREAD_START_ROUTINE>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "LoadLibraryW")));
    HANDLE thread = CreateRemoteThread(process_.hProcess, nullptr, 0, load, remote, 0, nullptr);
    if (thread == nullptr) return L"?";
    WaitForSingleObject(thread, 10000);
    CloseHandle(thread);
    return ModulePath(process_.hProcess, name);
  }

  void Command(HWND form, WORD command) {
    DWORD_PTR result;
    SendMessageTimeoutW(form, WM_COMMAND, command, 0, SMTO_NORMAL, 10000, &result);
  }

  // A modal window the command opens, shown and then closed.
  void Dialog(HWND form, WORD command, const wchar_t* className, WPARAM close, UINT message) {
    PostMessageW(form, WM_COMMAND, command, 0);
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitFor([&] {
      return (dialog = TopLevel(process_.dwProcessId, className)) != nullptr;
    })) << "no "
        << std::string(className, className + wcslen(className));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    PostMessageW(dialog, message, close, 0);
    ASSERT_TRUE(WaitFor([&] { return TopLevel(process_.dwProcessId, className) == nullptr; }));
  }

  std::wstring folder_;
  PROCESS_INFORMATION process_{};
};

TEST_F(PlantedDlls, NoneIsLoadedWhileTheProgramIsUsed) {
  Start();
  HWND form = nullptr, button = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    return (form = TopLevel(process_.dwProcessId, L"TMainForm")) != nullptr;
  })) << "the program did not show its window";
  ASSERT_TRUE(WaitFor(
      [&] { return !EnumChildWindows(form, &FirstButton, reinterpret_cast<LPARAM>(&button)); }));

  for (WORD command :
       {kCmdUnnecessaryFiles, kCmdDeinstall, kCmdRegister, kCmdHelp, kCmdHomePage, kCmdProductPage})
    Command(form, command);

  // A button read by an assistive program: its accessible object comes from oleacc.
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  IAccessible* object = nullptr;
  ASSERT_TRUE(
      SUCCEEDED(AccessibleObjectFromWindow(button, static_cast<DWORD>(OBJID_CLIENT),
                                           IID_IAccessible, reinterpret_cast<void**>(&object))));
  VARIANT self, role;
  VariantInit(&self);
  VariantInit(&role);
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  EXPECT_TRUE(SUCCEEDED(object->get_accRole(self, &role)));
  EXPECT_EQ(role.lVal, ROLE_SYSTEM_PUSHBUTTON) << "the button's own object answers";
  object->Release();
  CoUninitialize();

  Dialog(form, kCmdAbout, L"TAbout", 0, WM_CLOSE);
  Dialog(form, kCmdRestore, L"#32770", IDCANCEL, WM_COMMAND);  // the open dialog

  EXPECT_EQ(FolderOf(ModulePath(process_.hProcess, L"oleacc.dll")), SystemFolder());
  EXPECT_EQ(FolderOf(LoadInsideTheCopy(L"mpr.dll")), SystemFolder())
      << "the copy does not restrict its DLL search";

  PostMessageW(form, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForSingleObject(process_.hProcess, 10000), WAIT_OBJECT_0);
  for (const std::wstring& dll : PlantedNames())
    EXPECT_EQ(GetFileAttributesW((folder_ + L"\\" + dll + L".loaded").c_str()),
              INVALID_FILE_ATTRIBUTES)
        << "the planted " << std::string(dll.begin(), dll.end()) << " was loaded";
}

}  // namespace
