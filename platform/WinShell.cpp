#include "platform/Shell.h"
#include "platform/SystemLibraries.h"

#include <exdisp.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include <vector>

#include "platform/Process.h"
#include "platform/WideText.h"
#include "platform/WinHandles.h"

namespace morvane {

namespace {

// An interface pointer, released once, when its owner goes.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() {
    if (p_ != nullptr) p_->Release();
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  T** out() { return &p_; }
  void** outVoid() { return reinterpret_cast<void**>(&p_); }

 private:
  T* p_ = nullptr;
};

// COM for the calls of one open; a thread that has it already keeps it as it was.
class ComScope {
 public:
  ComScope()
      : com_(ComLibrary()),
        hr_(com_ != nullptr ? com_->CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED) : E_FAIL) {}
  ~ComScope() {
    if (SUCCEEDED(hr_)) com_->CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  // Usable in this thread's own mode or in the one it had already.
  bool usable() const { return SUCCEEDED(hr_) || hr_ == RPC_E_CHANGED_MODE; }

 private:
  const ComCalls* com_;
  HRESULT hr_;
};

class Bstr {
 public:
  explicit Bstr(const std::wstring& text)
      : strings_(AutomationLibrary()),
        b_(strings_ != nullptr ? strings_->SysAllocString(text.c_str()) : nullptr) {}
  ~Bstr() {
    if (b_ != nullptr) strings_->SysFreeString(b_);
  }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR get() const { return b_; }

 private:
  const AutomationCalls* strings_;
  BSTR b_;
};

// Whether the process that owns the window runs elevated; true when that cannot be told.
bool OwnerElevated(HWND window) {
  DWORD id = 0;
  GetWindowThreadProcessId(window, &id);
  const KernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
  bool elevated = true;
  return !process.valid() || !ReadElevation(process.get(), elevated) || elevated;
}

// The shell's own object of the desktop's folder view, whose ShellExecute runs in the desktop's
// process; from the desktop window's browser through its view.
bool DesktopDispatch(ComPtr<IShellDispatch2>& shell) {
  ComPtr<IShellWindows> windows;
  const ComCalls* com = ComLibrary();
  if (com == nullptr ||
      FAILED(com->CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER,
                                   IID_IShellWindows, windows.outVoid())))
    return false;
  VARIANT desktop{}, root{};  // VT_EMPTY
  V_VT(&desktop) = VT_I4;
  V_I4(&desktop) = CSIDL_DESKTOP;
  long window = 0;
  ComPtr<IDispatch> found;
  if (windows->FindWindowSW(&desktop, &root, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH,
                            found.out()) != S_OK ||
      found.get() == nullptr)
    return false;
  // A desktop that runs elevated itself (no split token: User Account Control off, or a system
  // without it) would start the program with the same rights: nothing to gain.
  if (OwnerElevated(reinterpret_cast<HWND>(static_cast<LONG_PTR>(window)))) return false;
  ComPtr<IServiceProvider> services;
  ComPtr<IShellBrowser> browser;
  ComPtr<IShellView> view;
  ComPtr<IDispatch> background, application;
  ComPtr<IShellFolderViewDual> folderView;
  return SUCCEEDED(found->QueryInterface(IID_IServiceProvider, services.outVoid())) &&
         SUCCEEDED(
             services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.outVoid())) &&
         SUCCEEDED(browser->QueryActiveShellView(view.out())) &&
         SUCCEEDED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.outVoid())) &&
         SUCCEEDED(background->QueryInterface(IID_IShellFolderViewDual, folderView.outVoid())) &&
         SUCCEEDED(folderView->get_Application(application.out())) &&
         SUCCEEDED(application->QueryInterface(IID_IShellDispatch2, shell.outVoid()));
}

class WinShell final : public ShellApi {
 public:
  void Open(HWND owner, const std::string& target) override {
    if (const ShellCalls* shell = ShellFunctions())
      shell->ShellExecuteW(owner, L"open", Widen(target).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  }

  bool OpenFromDesktop(const std::string& target) override {
    const ComScope com;
    if (!com.usable()) return false;
    ComPtr<IShellDispatch2> shell;
    if (!DesktopDispatch(shell)) return false;
    const Bstr file(Widen(target));
    VARIANT none{}, verb{}, show{};  // VT_EMPTY
    const Bstr open(L"open");
    V_VT(&verb) = VT_BSTR;
    V_BSTR(&verb) = open.get();
    V_VT(&show) = VT_I4;
    V_I4(&show) = SW_SHOWNORMAL;
    return file.get() != nullptr &&
           SUCCEEDED(shell->ShellExecute(file.get(), none, none, verb, show));
  }
};

}  // namespace

ShellApi& SystemShell() {
  static WinShell shell;
  return shell;
}

void OpenLink(ShellApi& shell, bool elevated, HWND owner, const std::string& target) {
  if (elevated && shell.OpenFromDesktop(target)) return;
  shell.Open(owner, target);
}

void ShellOpen(HWND owner, const std::string& target) {
  OpenLink(SystemShell(), SystemProcess().Elevated(), owner, target);
}

std::string ExecutablePath() {
  // A path may be longer than MAX_PATH; the buffer grows until the name fits.
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length =
        GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::string();
    if (length < buffer.size()) return Narrow(buffer.data(), length);
    if (buffer.size() >= 32768) return std::string();
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace morvane
