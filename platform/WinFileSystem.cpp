// File-system questions over kernel32.
//
// A 32-bit program on 64-bit Windows sees System32 redirected to SysWOW64. A registry text that
// names C:\Windows\System32\X may mean either folder: a 32-bit program registers X in the folder
// it sees (SysWOW64), a 64-bit one in the real System32. A file or folder therefore exists when
// either view finds it. The view the program has is asked first; the other only for a path
// that names a system32 folder, since nothing else is redirected.
#include <windows.h>

#include "platform/FileSystem.h"
#include "platform/WinHandles.h"

namespace morvane {

namespace {

using DisableRedirection = BOOL(WINAPI*)(PVOID*);
using RevertRedirection = BOOL(WINAPI*)(PVOID);

class RedirectionOff {
 public:
  RedirectionOff() {
    static const auto disable = reinterpret_cast<DisableRedirection>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "Wow64DisableWow64FsRedirection")));
    if (disable != nullptr) active_ = disable(&state_) != FALSE;
  }
  ~RedirectionOff() {
    static const auto revert = reinterpret_cast<RevertRedirection>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "Wow64RevertWow64FsRedirection")));
    if (active_ && revert != nullptr) revert(state_);
  }
  bool active() const { return active_; }
  RedirectionOff(const RedirectionOff&) = delete;
  RedirectionOff& operator=(const RedirectionOff&) = delete;

 private:
  PVOID state_ = nullptr;
  bool active_ = false;
};

bool IsWow64() {
  static const bool wow64 = [] {
    BOOL result = FALSE;
    return IsWow64Process(GetCurrentProcess(), &result) && result;
  }();
  return wow64;
}

// Whether the other view could answer differently: the path names a system32 folder somewhere.
bool MayBeRedirected(const std::string& path) {
  if (!IsWow64()) return false;
  static constexpr char kFolder[] = "system32";
  const std::size_t n = sizeof kFolder - 1;
  for (std::size_t i = 0; i + n <= path.size(); ++i) {
    std::size_t k = 0;
    while (k < n && (path[i + k] | 0x20) == kFolder[k]) ++k;  // ASCII letters and digits only
    if (k == n) return true;
  }
  return false;
}

// The attributes answer what a search for the one name would, at a fraction of the cost, and
// never take '*' or '?' as a pattern that could find some other file.
bool FileInView(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool FolderInView(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Asks in the program's own view, then, where that can differ, in the native one.
bool InEitherView(const std::string& path, bool (*ask)(const std::string&)) {
  QuietErrors quiet;
  if (ask(path)) return true;
  if (!MayBeRedirected(path)) return false;
  RedirectionOff redirection;
  return redirection.active() && ask(path);
}

class WinFileSystem final : public FileSystem {
 public:
  bool FileExists(const std::string& path) override { return InEitherView(path, &FileInView); }

  bool FolderExists(const std::string& path) override { return InEitherView(path, &FolderInView); }

  std::uint32_t DriveSerial(char c) override {
    QuietErrors quiet;
    const char root[] = {c, ':', '\\', '\0'};
    char volumeName[256];
    DWORD serial = 0, maxComponent = 0, flags = 0;
    if (!GetVolumeInformationA(root, volumeName, 256, &serial, &maxComponent, &flags, nullptr, 0))
      return 0;
    return serial;
  }
};

}  // namespace

FileSystem& SystemFileSystem() {
  static WinFileSystem files;
  return files;
}

}  // namespace morvane
