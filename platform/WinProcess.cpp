#include <windows.h>
#include <shellapi.h>

#include <string>

#include "platform/Process.h"
#include "platform/SystemLibraries.h"
#include "platform/WideText.h"
#include "platform/WinHandles.h"

namespace morvane {

namespace {

class WinProcess final : public ProcessApi {
 public:
  long CreateProgram(const std::string& program, const std::string& commandLine) override {
    if (program.empty()) return ERROR_FILE_NOT_FOUND;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOW;
    PROCESS_INFORMATION process{};
    // The call may write into the command line.
    std::wstring line = Widen(commandLine);
    if (!CreateProcessW(Widen(program).c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process))
      return static_cast<long>(GetLastError());
    const KernelHandle thread(process.hThread), started(process.hProcess);
    return 0;
  }

  long ShellStartProgram(void* owner, const std::string& program,
                         const std::string& parameters) override {
    const std::wstring file = Widen(program), arguments = Widen(parameters);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    // No error box of the shell's; the call returns when the program has started or failed.
    info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.hwnd = static_cast<HWND>(owner);
    info.lpVerb = L"open";
    info.lpFile = file.c_str();
    info.lpParameters = arguments.empty() ? nullptr : arguments.c_str();
    info.nShow = SW_SHOW;
    const ShellCalls* shell = ShellFunctions();
    if (shell == nullptr) return ERROR_MOD_NOT_FOUND;
    if (!shell->ShellExecuteExW(&info)) return static_cast<long>(GetLastError());
    return 0;
  }

  bool Elevated() override {
    bool elevated = true;
    if (ReadElevation(GetCurrentProcess(), elevated)) return elevated;
    // No User Account Control (before Windows Vista): an administrator always has the rights.
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0,
                                  0, 0, 0, 0, 0, &administrators))
      return true;
    BOOL member = FALSE;
    const bool asked = CheckTokenMembership(nullptr, administrators, &member) != 0;
    FreeSid(administrators);
    return !asked || member != 0;
  }
};

}  // namespace

bool ReadElevation(void* process, bool& elevated) {
  HANDLE opened = nullptr;
  if (!OpenProcessToken(static_cast<HANDLE>(process), TOKEN_QUERY, &opened)) return false;
  const KernelHandle token(opened);
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  if (!GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size))
    return false;
  elevated = elevation.TokenIsElevated != 0;
  return true;
}

ProcessApi& SystemProcess() {
  static WinProcess process;
  return process;
}

}  // namespace morvane
