// File-system questions over kernel32.
//
// A 32-bit program on 64-bit Windows sees System32 redirected to SysWOW64. A registry text
// naming a file that exists only in the real System32 would then look broken, and removing it
// would lose good data, so the existence tests switch the redirection off around themselves.
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
  RedirectionOff(const RedirectionOff&) = delete;
  RedirectionOff& operator=(const RedirectionOff&) = delete;

 private:
  PVOID state_ = nullptr;
  bool active_ = false;
};

// No "insert the disk" boxes for empty removable drives while the scan asks about them.
class QuietErrors {
 public:
  QuietErrors() : old_(SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX)) {}
  ~QuietErrors() { SetErrorMode(old_); }

 private:
  UINT old_;
};

class WinFileSystem final : public FileSystem {
 public:
  bool FileExists(const std::string& path) override {
    RedirectionOff redirection;
    QuietErrors quiet;
    WIN32_FIND_DATAA data;
    FindHandle find(FindFirstFileA(path.c_str(), &data));
    return find.valid() && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  }

  bool FolderExists(const std::string& path) override {
    RedirectionOff redirection;
    QuietErrors quiet;
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }

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
