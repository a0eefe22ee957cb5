// System folders and the decimal separator over kernel32 and shell32.
#include <windows.h>
#include <shlobj.h>

#include "platform/WideText.h"
#include "platform/SystemFolders.h"

namespace morvane {

namespace {

// The folder calls write into a zero-filled buffer of 256 bytes and are offered 255 of them.
constexpr DWORD kOffered = 255;

std::string FromBuffer(const char* buffer, DWORD written) {
  // The calls return the length they need, larger than the buffer, when the text does not fit.
  if (written == 0 || written >= kOffered) return "";
  return buffer;
}

class WinSystemFolders final : public SystemFolders {
 public:
  Expansion ExpandEnvironment(const std::string& text, std::string& out) override {
    out.clear();
    wchar_t buffer[256] = {};
    const DWORD needed = ExpandEnvironmentStringsW(Widen(text).c_str(), buffer, kOffered);
    // needed counts the terminating zero.
    if (needed == 0 || needed > kOffered) return Expansion::kTooLong;
    std::string spelled;
    if (!SpellExactlyInAnsi(buffer, wcslen(buffer), spelled)) return Expansion::kNotAnsi;
    if (spelled.size() >= kOffered) return Expansion::kTooLong;
    out = spelled;
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
        expanded.resize(needed - 1);
        if (SpellExactlyInAnsi(expanded.data(), expanded.size(), out)) return true;
        // The nearest spelling, for showing.
        const int size =
            WideCharToMultiByte(CP_ACP, 0, expanded.data(), static_cast<int>(expanded.size()),
                                nullptr, 0, nullptr, nullptr);
        out.assign(size > 0 ? static_cast<std::size_t>(size) : 0, '\0');
        if (size > 0)
          WideCharToMultiByte(CP_ACP, 0, expanded.data(), static_cast<int>(expanded.size()),
                              out.data(), size, nullptr, nullptr);
        return false;
      }
      expanded.assign(needed, L'\0');
    }
    return false;
  }

  std::string WindowsDirectory() override {
    char buffer[256] = {};
    return FromBuffer(buffer, GetWindowsDirectoryA(buffer, kOffered));
  }

  std::string SystemDirectory() override {
    char buffer[256] = {};
    return FromBuffer(buffer, GetSystemDirectoryA(buffer, kOffered));
  }

  std::string Wow64SystemDirectory() override {
    char buffer[256] = {};
    return FromBuffer(buffer, GetSystemWow64DirectoryA(buffer, kOffered));
  }

  std::string LongPath(const std::string& path) override {
    std::string full(MAX_PATH, '\0');
    DWORD length = GetLongPathNameA(path.c_str(), full.data(), static_cast<DWORD>(full.size()));
    if (length >= full.size()) {
      full.resize(length);
      length = GetLongPathNameA(path.c_str(), full.data(), length);
    }
    if (length == 0 || length >= full.size()) return path;
    full.resize(length);
    return full;
  }

  std::string ShellFolder(void* owner, int folder) override {
    LPITEMIDLIST list = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(static_cast<HWND>(owner), folder, &list)) ||
        list == nullptr)
      return "";
    char buffer[MAX_PATH] = {};
    const BOOL ok = SHGetPathFromIDListA(list, buffer);
    ILFree(list);
    return ok ? std::string(buffer) : std::string();
  }

  std::string DecimalSeparator() override {
    char buffer[8] = {};
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, sizeof buffer) <= 1)
      return ".";
    return buffer;
  }
};

}  // namespace

SystemFolders& SystemFolderApi() {
  static WinSystemFolders folders;
  return folders;
}

}  // namespace morvane
