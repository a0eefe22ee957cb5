// DLLs planted beside the program: a copy of Morvane.exe is started from a folder that also holds
// DLLs named like system DLLs, and used as a user would (each page, the about box, the open
// dialog, a button hovered so that its sound plays, a button read by an assistive program). Each
// planted DLL leaves a marker file when it is loaded; none may appear.
//
// Wine prefers its own built-in copy of a system DLL to one found in the program's folder, which
// would hide the flaw: the program is started with each planted name set native-first, which is
// Windows' search order. Other DLLs (version, uxtheme, winspool.drv, compstui, msimg32) are loaded
// only by Wine's own DLLs, by ways that Windows does not have, so they are not planted here.
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

namespace {

const wchar_t* const kPlanted[] = {L"winmm.dll", L"oleacc.dll", L"msacm32.dll", L"dwmapi.dll",
                                   L"comctl32.dll"};
// The main window's menu commands, as the program numbers them.
constexpr WORD kCmdRegister = 101, kCmdUnnecessaryFiles = 102, kCmdDeinstall = 103, kCmdAbout = 107,
               kCmdRestore = 108;

std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.rfind(L'\\')); }

std::wstring ThisProgram() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  return std::wstring(path, length);
}

std::wstring Lower(std::wstring text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
  return text;
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
  const wchar_t* title;  // nullptr: any
  const wchar_t* className;
  HWND hwnd = nullptr;
};

BOOL CALLBACK FindTopLevel(HWND hwnd, LPARAM parameter) {
  auto* found = reinterpret_cast<Found*>(parameter);
  DWORD process = 0;
  GetWindowThreadProcessId(hwnd, &process);
  wchar_t title[128] = {}, className[64] = {};
  GetWindowTextW(hwnd, title, 128);
  GetClassNameW(hwnd, className, 64);
  if (process == found->process && IsWindowVisible(hwnd) &&
      (found->title == nullptr || std::wstring(title) == found->title) &&
      std::wstring(className) == found->className) {
    found->hwnd = hwnd;
    return FALSE;
  }
  return TRUE;
}

HWND TopLevel(DWORD process, const wchar_t* className, const wchar_t* title = nullptr) {
  Found found{process, title, className};
  EnumWindows(&FindTopLevel, reinterpret_cast<LPARAM>(&found));
  return found.hwnd;
}

BOOL CALLBACK CollectButtons(HWND hwnd, LPARAM parameter) {
  wchar_t className[64] = {};
  GetClassNameW(hwnd, className, 64);
  if (std::wstring(className) == L"TZelButton" && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd))
    reinterpret_cast<std::vector<HWND>*>(parameter)->push_back(hwnd);
  return TRUE;
}

std::vector<HWND> Buttons(HWND form) {
  std::vector<HWND> buttons;
  EnumChildWindows(form, &CollectButtons, reinterpret_cast<LPARAM>(&buttons));
  return buttons;
}

// The full path of the module of this name in the process, or "" when it has none.
std::wstring ModulePath(HANDLE process, const wchar_t* name) {
  HMODULE modules[512];
  DWORD bytes = 0;
  if (!EnumProcessModules(process, modules, sizeof modules, &bytes)) return L"?";
  for (DWORD i = 0; i < bytes / sizeof(HMODULE) && i < 512; ++i) {
    wchar_t path[MAX_PATH] = {};
    if (GetModuleFileNameExW(process, modules[i], path, MAX_PATH) == 0) continue;
    const std::wstring full = Lower(path);
    if (full.size() >= wcslen(name) + 1 &&
        full.compare(full.size() - wcslen(name) - 1, std::wstring::npos,
                     L"\\" + std::wstring(name)) == 0)
      return full;
  }
  return L"";
}

class PlantedDlls : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::wstring tests = FolderOf(ThisProgram());
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    folder_ = std::wstring(temp) + L"morvane-planted-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder_.c_str(), nullptr);
    ASSERT_TRUE(CopyFileW((FolderOf(tests) + L"\\Morvane.exe").c_str(),
                          (folder_ + L"\\Morvane.exe").c_str(), FALSE));
    for (const wchar_t* dll : kPlanted) {
      ASSERT_TRUE(
          CopyFileW((tests + L"\\planted\\" + dll).c_str(), (folder_ + L"\\" + dll).c_str(), FALSE))
          << "missing planted DLL";
      DeleteFileW(Marker(dll).c_str());
    }
  }
  void TearDown() override {
    if (process_.hProcess != nullptr) {
      TerminateProcess(process_.hProcess, 1);
      WaitForSingleObject(process_.hProcess, 5000);
      CloseHandle(process_.hProcess);
      CloseHandle(process_.hThread);
    }
    for (const wchar_t* dll : kPlanted) {
      DeleteFileW(Marker(dll).c_str());
      DeleteFileW((folder_ + L"\\" + dll).c_str());
    }
    DeleteFileW((folder_ + L"\\Morvane.exe").c_str());
    RemoveDirectoryW(folder_.c_str());
  }

  std::wstring Marker(const wchar_t* dll) const { return folder_ + L"\\" + dll + L".loaded"; }

  // Starts the copy from its own folder (also the current folder), with Windows' search order
  // for every planted name.
  void Start() {
    std::wstring overrides;
    for (const wchar_t* dll : kPlanted) {
      std::wstring name = dll;
      name = name.substr(0, name.rfind(L'.'));
      overrides += (overrides.empty() ? L"" : L",") + name;
    }
    overrides += L"=n,b";
    SetEnvironmentVariableW(L"WINEDLLOVERRIDES", overrides.c_str());
    std::wstring command = L"\"" + folder_ + L"\\Morvane.exe\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    const BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0,
                                        nullptr, folder_.c_str(), &startup, &process_);
    SetEnvironmentVariableW(L"WINEDLLOVERRIDES", nullptr);
    ASSERT_TRUE(started);
  }

  void Command(HWND form, WORD command) {
    PostMessageW(form, WM_COMMAND, command, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
  }

  std::wstring folder_;
  PROCESS_INFORMATION process_{};
};

TEST_F(PlantedDlls, NoneIsLoadedWhileTheProgramIsUsed) {
  Start();
  const DWORD id = process_.dwProcessId;
  HWND form = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (form = TopLevel(id, L"TMainForm")) != nullptr; }))
      << "the program did not show its window";
  ASSERT_TRUE(WaitFor([&] { return Buttons(form).size() >= 2; }));

  Command(form, kCmdUnnecessaryFiles);
  Command(form, kCmdDeinstall);
  Command(form, kCmdRegister);

  // A button hovered (the main window's buttons play no hover sound, so this loads nothing of
  // its own).
  const std::vector<HWND> buttons = Buttons(form);
  RECT r;
  GetWindowRect(buttons.front(), &r);
  SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  PostMessageW(buttons.front(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));

  // A button read by an assistive program: its accessible object comes from oleacc.
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  IAccessible* object = nullptr;
  ASSERT_TRUE(
      SUCCEEDED(AccessibleObjectFromWindow(buttons.front(), static_cast<DWORD>(OBJID_CLIENT),
                                           IID_IAccessible, reinterpret_cast<void**>(&object))));
  VARIANT self;
  VariantInit(&self);
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  VARIANT role;
  VariantInit(&role);
  EXPECT_TRUE(SUCCEEDED(object->get_accRole(self, &role)));
  EXPECT_EQ(role.lVal, ROLE_SYSTEM_PUSHBUTTON) << "the button's own object answers";
  object->Release();
  CoUninitialize();

  // The about box, then the open dialog of File > Restore.
  Command(form, kCmdAbout);
  HWND about = nullptr;
  ASSERT_TRUE(
      WaitFor([&] { return (about = TopLevel(id, L"TAbout", L"About Morvane")) != nullptr; }));
  PostMessageW(about, WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return TopLevel(id, L"TAbout", L"About Morvane") == nullptr; }));
  Command(form, kCmdRestore);
  HWND open = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (open = TopLevel(id, L"#32770")) != nullptr; }))
      << "no open dialog";
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  PostMessageW(open, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(WaitFor([&] { return TopLevel(id, L"#32770") == nullptr; }));

  // What was loaded came from the system folder.
  wchar_t system[MAX_PATH];
  GetSystemDirectoryW(system, MAX_PATH);
  EXPECT_EQ(FolderOf(ModulePath(process_.hProcess, L"oleacc.dll")), Lower(system));
  const std::wstring winmm = ModulePath(process_.hProcess, L"winmm.dll");
  if (!winmm.empty()) {
    EXPECT_EQ(FolderOf(winmm), Lower(system));
  }

  PostMessageW(form, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForSingleObject(process_.hProcess, 10000), WAIT_OBJECT_0);
  for (const wchar_t* dll : kPlanted)
    EXPECT_EQ(GetFileAttributesW(Marker(dll).c_str()), INVALID_FILE_ATTRIBUTES)
        << "the planted " << std::string(dll, dll + wcslen(dll)) << " was loaded";
}

}  // namespace
