// The folder walk, size read and deletion over kernel32's wide calls: every name is handed over
// and asked about exactly as the file system has it.
#include "platform/FileTree.h"

#include <windows.h>

#include <cwchar>

#include "platform/Utf.h"
#include "platform/WideText.h"
#include "platform/WinHandles.h"

namespace morvane {

namespace {

class WinFileTree final : public FileTree {
 public:
  bool ListFolder(const std::string& folder, const std::function<bool(const FolderEntry&)>& each,
                  long* error) override {
    WIN32_FIND_DATAW data;
    FindHandle search(FindFirstFileW(Widen(folder + "*.*").c_str(), &data));
    if (!search.valid()) {
      if (error != nullptr) *error = static_cast<long>(GetLastError());
      return false;
    }
    FolderEntry entry;
    do {
      const wchar_t* name = data.cFileName;
      if (name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0))) continue;
      entry.folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      entry.reparsePoint = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
      entry.name.clear();
      AppendUtf8(name, std::wcslen(name), entry.name);
      if (!each(entry)) break;
    } while (FindNextFileW(search.get(), &data));
    return true;
  }

  std::int64_t FileSize(const std::string& path) override {
    FileHandle file(CreateFileW(Widen(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return -1;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.get(), &size)) return -1;
    return size.QuadPart;
  }

  Removal RemoveFile(const std::string& path,
                     const std::function<bool(const std::string&)>& inside) override {
    QuietErrors quiet;
    FileHandle file(CreateFileW(Widen(path).c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    // A folder does not open without backup semantics; the handle is a file's or a link's.
    if (!file.valid()) return Removal::kFailed;
    std::string location;
    if (Location(file.get(), location) != FolderKind::kPlain || !inside(location))
      return Removal::kOutside;
    FILE_DISPOSITION_INFO disposition{TRUE};
    return SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition,
                                      sizeof disposition)
               ? Removal::kRemoved
               : Removal::kFailed;
  }

  ResolvedFolder ResolveFolder(const std::string& path) override {
    QuietErrors quiet;
    ResolvedFolder resolved;
    const std::wstring wide = Widen(path);
    FileHandle folder(
        CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!folder.valid()) {
      const DWORD error = GetLastError();
      resolved.kind = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                          ? FolderKind::kMissing
                          : FolderKind::kUnreadable;
      resolved.error = static_cast<long>(error);
      return resolved;
    }
    // The handle tells of a junction on Windows; Wine opens what a Unix link leads to but shows
    // the link's name as a reparse point.
    BY_HANDLE_FILE_INFORMATION opened;
    const DWORD named = GetFileAttributesW(wide.c_str());
    if (!GetFileInformationByHandle(folder.get(), &opened) || named == INVALID_FILE_ATTRIBUTES) {
      resolved.kind = FolderKind::kUnreadable;
    } else if (((opened.dwFileAttributes | named) & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      resolved.kind = FolderKind::kLink;
    } else if ((opened.dwFileAttributes & named & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      resolved.kind = FolderKind::kNotFolder;
    } else {
      resolved.kind = Location(folder.get(), resolved.location);
      resolved.id.volume = opened.dwVolumeSerialNumber;
      resolved.id.file = (std::uint64_t{opened.nFileIndexHigh} << 32) | opened.nFileIndexLow;
    }
    return resolved;
  }

  // The folder itself is opened (a link is not followed) without letting anyone delete it, which
  // renaming and moving need as well; only then is the path checked, so the answer stays true
  // while the handle is held.
  std::unique_ptr<FolderHold> HoldPlainFolder(const std::string& path) override {
    QuietErrors quiet;
    const std::wstring wide = Widen(path);
    FileHandle folder(CreateFileW(
        wide.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!folder.valid()) return nullptr;
    BY_HANDLE_FILE_INFORMATION opened;
    if (!GetFileInformationByHandle(folder.get(), &opened) ||
        !IsPlainFolder(opened.dwFileAttributes) || !IsPlainFolder(GetFileAttributesW(wide.c_str())))
      return nullptr;
    return std::make_unique<HeldFolder>(std::move(folder));
  }

 private:
  class HeldFolder final : public FolderHold {
   public:
    explicit HeldFolder(FileHandle handle) : handle_(std::move(handle)) {}

   private:
    FileHandle handle_;
  };

  // Where the open handle really leads, as a drive path or a share path without the "\\?\"
  // prefix: kPlain, or kUnreadable when the system cannot tell.
  static FolderKind Location(HANDLE handle, std::string& out) {
    std::wstring path(MAX_PATH, L'\0');
    DWORD length = GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                             VOLUME_NAME_DOS);
    if (length >= path.size()) {
      path.resize(length);
      length = GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                         VOLUME_NAME_DOS);
    }
    // No drive letter leads there (a volume mounted in a folder only, say): no location to
    // compare.
    if (length == 0 || length >= path.size()) return FolderKind::kUnreadable;
    path.resize(length);
    if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0)
      path.replace(0, 8, L"\\\\");
    else if (path.compare(0, 4, L"\\\\?\\") == 0)
      path.erase(0, 4);
    if (path.size() > 3 && path.back() == L'\\') path.pop_back();
    out = Narrow(path);
    return FolderKind::kPlain;
  }

  static bool IsPlainFolder(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
  }
};

}  // namespace

FileTree& SystemFileTree() {
  static WinFileTree tree;
  return tree;
}

}  // namespace morvane
