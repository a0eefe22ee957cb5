// The file-system questions the scanner asks, and the one file the program writes (the backup),
// behind a seam so that the rules can be tested without Windows. Paths are UTF-8; the system is
// asked with them as wide text, so that every name is the exact one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace morvane {

// What the system answered about a path. Only its "file not found" and "path not found" make a
// path missing: a path it could not look at (access denied, a sharing violation, a name it
// refuses) may still name something.
enum class PathKind { Missing, File, Folder, Unknown };

// Windows error codes of the file calls that the answers are read from.
enum : long {
  kFileOk = 0,
  kFileNotFound = 2,
  kPathNotFound = 3,
};
inline constexpr std::uint32_t kAttributeDirectory = 0x10;  // FILE_ATTRIBUTE_DIRECTORY

// The answer of an attributes query: error is the call's error code (kFileOk when the
// attributes were read).
inline PathKind PathKindOf(long error, std::uint32_t attributes) {
  if (error == kFileOk)
    return (attributes & kAttributeDirectory) != 0 ? PathKind::Folder : PathKind::File;
  return error == kFileNotFound || error == kPathNotFound ? PathKind::Missing : PathKind::Unknown;
}

// The longest path the system can name (UTF-16 units, the long-path form included).
inline constexpr std::size_t kMaxLongPath = 32767;
// From this length (in UTF-16 units) on a path is asked about through its long-path form: the
// plain calls refuse it.
inline constexpr std::size_t kPlainPathLimit = 260;

// The long-path form of a full path: "\\?\C:\dir\name" for a drive path,
// "\\?\UNC\server\share\name" for a network path; a path already in that form stays as it is. Empty
// for any other text (a relative path, a device name), which has no such form.
std::wstring LongPathForm(const std::wstring& fullPath);

// A file opened for reading, read a block at a time from its start.
class FileReader {
 public:
  virtual ~FileReader() = default;
  // Reads up to size bytes into buffer: the number read, 0 at the end of the file, or -1 when the
  // system refused the read.
  virtual long long Read(char* buffer, std::size_t size) = 0;
  // The next read starts again at the file's first byte; false when the system refused.
  virtual bool Rewind() = 0;
};

// The new content of a file, written beside it under a temporary name until it takes the file's
// place in one step: the file is then the new content whole, or exactly what it was. A kill or a
// power cut before the step leaves the old file and a temporary one beside it.
class FileReplacement {
 public:
  // Removes the temporary file, unless Commit put it in place.
  virtual ~FileReplacement() = default;
  // Appends bytes to the new content. False when the system took less than all of them (a full
  // disk, a refused write): the replacement is then spoilt and Commit refuses.
  virtual bool Write(std::string_view bytes) = 0;
  // Flushes the new content to the disk and puts it in the file's place. False when it could not:
  // the file is as it was.
  virtual bool Commit() = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // A file, a folder, missing, or Unknown when the system could not say.
  virtual PathKind Look(const std::string& path) = 0;
  // Serial number of the volume mounted at drive letter c ("c:\"), 0 when none answers.
  virtual std::uint32_t DriveSerial(char c) = 0;
  // The value of the program's environment variable name; nothing when it is not defined.
  virtual std::optional<std::string> Variable(const std::string& name) = 0;
  // Begins the new content of the file of exactly that name, which it creates or replaces whole
  // (whoever names the file has asked the user before naming one that exists); nullptr when no
  // file can be made in its folder. A file system that only answers questions writes and reads
  // nothing.
  virtual std::unique_ptr<FileReplacement> BeginReplacement(const std::string& path) {
    return nullptr;
  }
  // bytes as the whole content of the file of exactly that name: true when they are in place.
  bool WriteWholeFile(const std::string& path, std::string_view bytes) {
    const std::unique_ptr<FileReplacement> file = BeginReplacement(path);
    return file && file->Write(bytes) && file->Commit();
  }

  // Opens the file of exactly that name for reading, shared with readers only: while it is
  // open, nobody can write, replace, rename or delete it. nullptr when it cannot be opened.
  virtual std::unique_ptr<FileReader> OpenForReading(const std::string& path) { return nullptr; }

  // An entry of that exact name (no wildcards) is found and it is not a folder.
  bool FileExists(const std::string& path) { return Look(path) == PathKind::File; }
  // The path's attributes can be read and say it is a folder.
  bool FolderExists(const std::string& path) { return Look(path) == PathKind::Folder; }
};

// The machine's file system. Only on Windows builds.
FileSystem& SystemFileSystem();

}  // namespace morvane
