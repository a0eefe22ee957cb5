// The file operations of the unnecessary-files page behind a seam: the folder walk, the size
// read, the deletion and the check that a folder is a real folder, so that the collection and
// the deletion can be tested without Windows.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace morvane {

struct FolderEntry {
  std::string name;           // as 8-bit ANSI text
  bool folder = false;
  bool reparsePoint = false;  // a junction, symbolic link or mount point
  bool ansiName = true;       // false: the name has characters the ANSI code page cannot spell,
                              // so name is no exact spelling of it and must not be used
};

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
  // folder cannot be searched at all.
  virtual bool ListFolder(const std::string& folder, const std::function<bool(const FolderEntry&)>& each) = 0;
  // The file's length in bytes, read with the file opened for reading and no sharing allowed;
  // -1 when it cannot be opened that way (for one, while another program holds it open).
  virtual std::int64_t FileSize(const std::string& path) = 0;
  // Deletes one file; false when it stays.
  virtual bool RemoveFile(const std::string& path) = 0;
  // The path names a folder right now, and that folder is not a reparse point.
  virtual bool PlainFolder(const std::string& path) = 0;
  // Holds the folder when it is a plain folder (as PlainFolder) now; null when it is not, or
  // when it cannot be held (another program holds it with delete access).
  virtual std::unique_ptr<FolderHold> HoldPlainFolder(const std::string& path) = 0;
};

// The machine's file system. Only on Windows builds.
FileTree& SystemFileTree();

}  // namespace morvane
