// The folder walk, size read and deletion over kernel32.
//
// The walk searches with the wide-character calls and hands each name over as ANSI text only
// when the ANSI code page spells it exactly: the ANSI search would otherwise return a name with
// '?' or a "best fit" letter in place of a character it cannot spell, a name that may belong to
// some other file.
#include <windows.h>

#include <vector>

#include "platform/AnsiText.h"
#include "platform/FileTree.h"
#include "platform/WinHandles.h"

namespace morvane {

namespace {

class WinFileTree final : public FileTree {
 public:
  bool ListFolder(const std::string& folder, const std::function<bool(const FolderEntry&)>& each) override {
    WIN32_FIND_DATAW data;
    FindHandle search(FindFirstFileW(Widen(folder + "*.*").c_str(), &data));
    if (!search.valid()) return false;
    FolderEntry entry;
    do {
      const wchar_t* name = data.cFileName;
      if (name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0))) continue;
      entry.folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      entry.reparsePoint = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
      entry.ansiName = SpellExactlyInAnsi(name, wcslen(name), entry.name);
      if (!each(entry)) break;
    } while (FindNextFileW(search.get(), &data));
    return true;
  }

  std::int64_t FileSize(const std::string& path) override {
    FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return -1;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.get(), &size)) return -1;
    return size.QuadPart;
  }

  bool RemoveFile(const std::string& path) override { return DeleteFileA(path.c_str()) != FALSE; }

  bool PlainFolder(const std::string& path) override {
    QuietErrors quiet;
    return IsPlainFolder(GetFileAttributesA(path.c_str()));
  }

  // The folder itself is opened (a link is not followed) without letting anyone delete it, which
  // renaming and moving need as well; only then is the path checked, so the answer stays true
  // while the handle is held.
  std::unique_ptr<FolderHold> HoldPlainFolder(const std::string& path) override {
    QuietErrors quiet;
    FileHandle folder(CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!folder.valid()) return nullptr;
    BY_HANDLE_FILE_INFORMATION opened;
    if (!GetFileInformationByHandle(folder.get(), &opened) || !IsPlainFolder(opened.dwFileAttributes) ||
        !IsPlainFolder(GetFileAttributesA(path.c_str())))
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
