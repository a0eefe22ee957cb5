// System folders and the decimal separator over kernel32 and shell32.
#include "platform/SystemFolders.h"
#include "platform/SystemLibraries.h"

#include <windows.h>
#include <shlobj.h>

#include "platform/WideText.h"

namespace morvane {

namespace {

// The folder calls write into a zero-filled buffer of 256 characters and are offered 255 of them.
constexpr DWORD kOffered = 255;

std::string FromBuffer(const wchar_t* buffer, DWORD written) {
  // The calls return the length they need, larger than the buffer, when the text does not fit.
  if (written == 0 || written >= kOffered) return "";
  return Narrow(buffer, written);
}

class WinSystemFolders final : public SystemFolders {
 public:
  Expansion ExpandEnvironment(const std::string& text, std::string& out) override {
    out.clear();
    wchar_t buffer[256] = {};
    const DWORD needed = ExpandEnvironmentStringsW(Widen(text).c_str(), buffer, kOffered);
    // needed counts the terminating zero.
    if (needed == 0 || needed > kOffered) return Expansion::kTooLong;
    out = Narrow(buffer);
    return Expansion::kExpanded;
  }

  bool ExpandEnvironmentExactly(const std::string& text, std::string& out) override {
    out.clear();
    const std::wstring wide = Widen(text);
    std::wstring expanded(wide.size() + 64, L'\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
      // needed counts the terminating zero; a variable's value may change between two calls.
      const DWORD needed = ExpandEnvironmentStringsW(wide.c_str(), expanded.data(),
                                                     static_cast<DWORD>(expanded.size()));
      if (needed == 0) return false;
      if (needed <= expanded.size()) {
        out = Narrow(expanded.data(), needed - 1);
        return true;
      }
      expanded.assign(needed, L'\0');
    }
    return false;
  }

  std::string WindowsDirectory() override {
    wchar_t buffer[256] = {};
    return FromBuffer(buffer, GetWindowsDirectoryW(buffer, kOffered));
  }

  std::string SystemDirectory() override {
    wchar_t buffer[256] = {};
    return FromBuffer(buffer, GetSystemDirectoryW(buffer, kOffered));
  }

  std::string Wow64SystemDirectory() override {
    wchar_t buffer[256] = {};
    return FromBuffer(buffer, GetSystemWow64DirectoryW(buffer, kOffered));
  }

  std::string LongPath(const std::string& path) override {
    const std::wstring wide = Widen(path);
    std::wstring full(MAX_PATH, L'\0');
    DWORD length = GetLongPathNameW(wide.c_str(), full.data(), static_cast<DWORD>(full.size()));
    if (length >= full.size()) {
      full.resize(length);
      length = GetLongPathNameW(wide.c_str(), full.data(), length);
    }
    if (length == 0 || length >= full.size()) return path;
    return Narrow(full.data(), length);
  }

  std::string ShellFolder(void* owner, int folder) override {
    const ShellCalls* shell = ShellFunctions();
    LPITEMIDLIST list = nullptr;
    if (shell == nullptr ||
        FAILED(shell->SHGetSpecialFolderLocation(static_cast<HWND>(owner), folder, &list)) ||
        list == nullptr)
      return "";
    wchar_t buffer[MAX_PATH] = {};
    const BOOL ok = shell->SHGetPathFromIDListW(list, buffer);
    shell->ILFree(list);
    return ok ? Narrow(buffer) : std::string();
  }

  std::string DecimalSeparator() override {
    wchar_t buffer[8] = {};
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, 8) <= 1) return ".";
    return Narrow(buffer);
  }
};

}  // namespace

SystemFolders& SystemFolderApi() {
  static WinSystemFolders folders;
  return folders;
}

}  // namespace morvane
