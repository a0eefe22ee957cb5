// File-system questions over kernel32.
//
// A 32-bit program on 64-bit Windows sees System32 redirected to SysWOW64. A registry text that
// names C:\Windows\System32\X may mean either folder: a 32-bit program registers X in the folder
// it sees (SysWOW64), a 64-bit one in the real System32. A file or folder therefore exists when
// either view finds it. The view the program has is asked first; the other only for a path
// that names a system32 folder, since nothing else is redirected.
#include "platform/FileSystem.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <new>

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
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "Wow64DisableWow64FsRedirection")));
    if (disable != nullptr) active_ = disable(&state_) != FALSE;
  }
  ~RedirectionOff() {
    static const auto revert = reinterpret_cast<RevertRedirection>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "Wow64RevertWow64FsRedirection")));
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

// The wide path the system is handed for path: as written while it is shorter than the plain
// calls allow, else its long-path form, made from the full path the system itself would read
// the text as. False when it has no form the system takes, and when the text is not UTF-8 (bytes
// of some code page, say): it then names no file exactly, and must never be answered missing.
bool SystemPath(const std::string& path, std::wstring& name) {
  const std::wstring wide = Widen(path);
  // Bytes that are not UTF-8 read as U+FFFD, which a name may also hold: only then is it asked.
  if (wide.find(L'\xFFFD') != std::wstring::npos && Narrow(wide) != path) return false;
  if (wide.size() < kPlainPathLimit) {
    name = wide;
    return true;
  }
  if (wide.size() > kMaxLongPath) return false;
  std::wstring full(wide.size() + MAX_PATH, L'\0');
  DWORD length =
      GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (length >= full.size()) {  // too small: the size needed came back
    full.assign(length, L'\0');
    length = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  }
  if (length == 0 || length >= full.size()) return false;
  full.resize(length);
  name = LongPathForm(full);
  return !name.empty() && name.size() <= kMaxLongPath;
}

// The attributes answer what a search for the one name would, at a fraction of the cost, and
// never take '*' or '?' as a pattern that could find some other file.
PathKind LookInView(const std::string& path) {
  std::wstring name;
  if (!SystemPath(path, name)) return PathKind::Unknown;
  const DWORD attributes = GetFileAttributesW(name.c_str());
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

class WinFileReader final : public FileReader {
 public:
  explicit WinFileReader(FileHandle file) : file_(std::move(file)) {}
  long long Read(char* buffer, std::size_t size) override {
    DWORD got = 0;
    const DWORD asked = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    if (!ReadFile(file_.get(), buffer, asked, &got, nullptr)) return -1;
    return got;
  }
  bool Rewind() override {
    LARGE_INTEGER start{};
    return SetFilePointerEx(file_.get(), start, nullptr, FILE_BEGIN) != 0;
  }

 private:
  FileHandle file_;
};

// The temporary file lies in the target's folder, so that putting it in place is a rename within
// one volume, which the system does in one step.
class WinFileReplacement final : public FileReplacement {
 public:
  // Flushed after this many bytes at most, so that the flush of Commit never waits on a large
  // file's worth of data.
  static constexpr DWORD kFlushBytes = 1u << 20;

  WinFileReplacement(std::wstring target, std::wstring temporary, FileHandle file)
      : target_(std::move(target)), temporary_(std::move(temporary)), file_(std::move(file)) {}
  ~WinFileReplacement() override {
    if (temporary_.empty()) return;  // in place
    file_.reset();
    DeleteFileW(temporary_.c_str());
  }
  WinFileReplacement(const WinFileReplacement&) = delete;
  WinFileReplacement& operator=(const WinFileReplacement&) = delete;

  bool Write(std::string_view bytes) override {
    while (good_ && !bytes.empty()) {
      const DWORD chunk =
          static_cast<DWORD>(std::min<std::size_t>(bytes.size(), kFlushBytes - unflushed_));
      DWORD written = 0;
      good_ = WriteFile(file_.get(), bytes.data(), chunk, &written, nullptr) && written > 0;
      bytes.remove_prefix(written);
      unflushed_ += written;
      if (good_ && unflushed_ >= kFlushBytes) {
        good_ = FlushFileBuffers(file_.get()) != FALSE;
        unflushed_ = 0;
      }
    }
    return good_;
  }

  bool Commit() override {
    if (!good_ || temporary_.empty() || !FlushFileBuffers(file_.get())) return false;
    file_.reset();
    good_ = MoveFileExW(temporary_.c_str(), target_.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
    if (good_) temporary_.clear();
    return good_;
  }

 private:
  const std::wstring target_;
  std::wstring temporary_;  // empty once in place
  FileHandle file_;
  DWORD unflushed_ = 0;
  bool good_ = true;
};

// A name for a new temporary file in the folder of path: "~mv" with the process and a count.
std::string TemporaryBeside(const std::string& path, unsigned count) {
  std::size_t folder = path.find_last_of("\\/");
  folder = folder != std::string::npos ? folder + 1 : path.size() > 1 && path[1] == ':' ? 2 : 0;
  return path.substr(0, folder) + "~mv" + std::to_string(GetCurrentProcessId()) + "-" +
         std::to_string(count) + ".tmp";
}

class WinFileSystem final : public FileSystem {
 public:
  PathKind Look(const std::string& path) override { return InEitherView(path); }

  std::uint32_t DriveSerial(char c) override {
    QuietErrors quiet;
    const wchar_t root[] = {static_cast<wchar_t>(static_cast<unsigned char>(c)), L':', L'\\',
                            L'\0'};
    DWORD serial = 0, maxComponent = 0, flags = 0;
    if (!GetVolumeInformationW(root, nullptr, 0, &serial, &maxComponent, &flags, nullptr, 0))
      return 0;
    return serial;
  }

  std::optional<std::string> Variable(const std::string& name) override {
    const std::wstring wideName = Widen(name);
    std::wstring value(256, L'\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
      SetLastError(ERROR_SUCCESS);
      const DWORD length =
          GetEnvironmentVariableW(wideName.c_str(), value.data(), static_cast<DWORD>(value.size()));
      if (length == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
      if (length < value.size()) return Narrow(value.data(), length);
      value.assign(length, L'\0');  // too small: the size needed came back
    }
    return std::nullopt;
  }

  std::unique_ptr<FileReplacement> BeginReplacement(const std::string& path) override {
    QuietErrors quiet;
    std::wstring target, temporary;
    if (!SystemPath(path, target)) return nullptr;
    static std::atomic<unsigned> made{0};
    for (int attempt = 0; attempt < 16; ++attempt) {
      if (!SystemPath(TemporaryBeside(path, made++), temporary)) return nullptr;
      FileHandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
      if (file.valid())
        return std::make_unique<WinFileReplacement>(target, temporary, std::move(file));
      if (GetLastError() != ERROR_FILE_EXISTS) return nullptr;  // left by a killed run
    }
    return nullptr;
  }

  std::unique_ptr<FileReader> OpenForReading(const std::string& path) override {
    std::wstring name;
    if (!SystemPath(path, name)) return nullptr;
    FileHandle file(CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.valid()) return nullptr;
    return std::make_unique<WinFileReader>(std::move(file));
  }
};

}  // namespace

FileSystem& SystemFileSystem() {
  static WinFileSystem files;
  return files;
}

}  // namespace morvane
