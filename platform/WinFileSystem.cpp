// File-system questions over kernel32.
//
// A 32-bit program on 64-bit Windows sees System32 redirected to SysWOW64. A registry text that
// names C:\Windows\System32\X may mean either folder: a 32-bit program registers X in the folder
// it sees (SysWOW64), a 64-bit one in the real System32. A file or folder therefore exists when
// either view finds it. The view the program has is asked first; the other only for a path
// that names a system32 folder, since nothing else is redirected.
#include <windows.h>

#include "platform/FileSystem.h"
#include "platform/WideText.h"
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
// never take '*' or '?' as a pattern that could find some other file. A path too long for the
// plain call is asked through the wide call in its long-path form, made from the full path
// the system itself would read the text as.
PathKind LookInView(const std::string& path) {
  const std::wstring wide = Widen(path);
  if (wide.size() < kPlainPathLimit) {
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    return PathKindOf(
        attributes == INVALID_FILE_ATTRIBUTES ? static_cast<long>(GetLastError()) : kFileOk,
        attributes);
  }
  if (wide.size() > kMaxLongPath) return PathKind::Unknown;
  std::wstring full(wide.size() + MAX_PATH, L'\0');
  DWORD length =
      GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (length >= full.size()) {  // too small: the size needed came back
    full.assign(length, L'\0');
    length = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  }
  if (length == 0 || length >= full.size()) return PathKind::Unknown;
  full.resize(length);
  const std::wstring form = LongPathForm(full);
  if (form.empty() || form.size() > kMaxLongPath) return PathKind::Unknown;
  const DWORD attributes = GetFileAttributesW(form.c_str());
  return PathKindOf(
      attributes == INVALID_FILE_ATTRIBUTES ? static_cast<long>(GetLastError()) : kFileOk,
      attributes);
}

bool Found(PathKind kind) { return kind == PathKind::File || kind == PathKind::Folder; }

// Asks in the program's own view, then, where that can differ, in the native one. Missing
// only when every view asked said so.
PathKind InEitherView(const std::string& path) {
  QuietErrors quiet;
  const PathKind own = LookInView(path);
  if (Found(own) || !MayBeRedirected(path)) return own;
  RedirectionOff redirection;
  if (!redirection.active()) return own;
  const PathKind native = LookInView(path);
  if (Found(native)) return native;
  return own == PathKind::Unknown || native == PathKind::Unknown ? PathKind::Unknown
                                                                 : PathKind::Missing;
}

class WinFileSystem final : public FileSystem {
 public:
  PathKind Look(const std::string& path) override { return InEitherView(path); }

  std::uint32_t DriveSerial(char c) override {
    QuietErrors quiet;
    const char root[] = {c, ':', '\\', '\0'};
    char volumeName[256];
    DWORD serial = 0, maxComponent = 0, flags = 0;
    if (!GetVolumeInformationA(root, volumeName, 256, &serial, &maxComponent, &flags, nullptr, 0))
      return 0;
    return serial;
  }

  std::optional<std::string> Variable(const std::string& name) override {
    std::string value(256, '\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
      SetLastError(ERROR_SUCCESS);
      const DWORD length =
          GetEnvironmentVariableA(name.c_str(), value.data(), static_cast<DWORD>(value.size()));
      if (length == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
      if (length < value.size()) {
        value.resize(length);
        return value;
      }
      value.assign(length, '\0');  // too small: the size needed came back
    }
    return std::nullopt;
  }
};

}  // namespace

FileSystem& SystemFileSystem() {
  static WinFileSystem files;
  return files;
}

}  // namespace morvane
