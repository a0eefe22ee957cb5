// The file operations of the unnecessary-files page behind a seam: the folder walk, the size
// read, where a folder really lies, and the deletion, so that the collection and the deletion can
// be tested without Windows. Paths and names are UTF-8, exactly the system's wide names.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace morvane {

// The system's answer to a search or open refused for lack of rights (ERROR_ACCESS_DENIED).
inline constexpr long kFileAccessDenied = 5;

struct FolderEntry {
  std::string name;
  bool folder = false;
  bool reparsePoint = false;  // a junction, symbolic link or mount point
};

// What a folder's path leads to, as the system resolves it.
enum class FolderKind {
  kPlain,       // a folder that is no link itself; location says where it really lies
  kMissing,     // nothing there (the system's "file not found" or "path not found")
  kLink,        // the name itself is a junction, symbolic link or mount point
  kNotFolder,   // a file
  kUnreadable,  // any other failure to look at it
};

// Which folder a handle is open on, whatever path led there: the volume's serial number and the
// file's index on it. {0, 0} when unknown, which matches nothing.
struct FolderId {
  std::uint64_t volume = 0, file = 0;
  bool known() const { return volume != 0 || file != 0; }
  bool operator==(const FolderId& other) const {
    return known() && volume == other.volume && file == other.file;
  }
};

struct ResolvedFolder {
  FolderKind kind = FolderKind::kMissing;
  // For kPlain: the location the system reached through the folder's handle, with every link,
  // mapped drive, short name, trailing dot and other spelling resolved: "X:\..." or
  // "\\server\share\...", no trailing backslash unless a drive root.
  std::string location;
  // For kUnreadable: the system's error code (kFileAccessDenied when rights are missing).
  long error = 0;
  // For kPlain: the folder's identity, read through the same handle as location.
  FolderId id;
};

// What became of a file the deletion was asked to remove.
enum class Removal { kRemoved, kOutside, kFailed };

// Keeps one folder from being renamed, moved or deleted for as long as it lives, so that a path
// through it keeps leading where it led when it was checked.
class FolderHold {
 public:
  virtual ~FolderHold() = default;
};

class FileTree {
 public:
  virtual ~FileTree() = default;
  // Calls each for every entry of folder (a path ending in a backslash) except "." and "..", in
  // the order the system's search returns them, until each returns false. False when the
  // folder cannot be searched at all; the system's error code then goes to *error when given.
  virtual bool ListFolder(const std::string& folder,
                          const std::function<bool(const FolderEntry&)>& each,
                          long* error = nullptr) = 0;
  // The file's length in bytes, read with the file opened for reading and no sharing allowed;
  // -1 when it cannot be opened that way (for one, while another program holds it open).
  virtual std::int64_t FileSize(const std::string& path) = 0;
  // Opens the file without following a link at its own name, asks inside whether the location
  // the handle resolves to (in the form of ResolvedFolder::location) may be deleted, and if so
  // deletes the file through that same handle, so that nothing can be swapped in between.
  // kOutside when inside says no or the location cannot be read; kFailed when the
  // file cannot be opened for deletion (in use, read-only, gone) or the deletion fails.
  virtual Removal RemoveFile(const std::string& path,
                             const std::function<bool(const std::string&)>& inside) = 0;
  virtual ResolvedFolder ResolveFolder(const std::string& path) = 0;
  // Holds the folder when it is a plain folder, not a reparse point, now; null when it is not,
  // or when it cannot be held (another program holds it with delete access).
  virtual std::unique_ptr<FolderHold> HoldPlainFolder(const std::string& path) = 0;
};

// The machine's file system. Only on Windows builds.
FileTree& SystemFileTree();

}  // namespace morvane
