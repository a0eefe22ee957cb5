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

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // A file, a folder, missing, or Unknown when the system could not say.
  virtual PathKind Look(const std::string& path) = 0;
  // Serial number of the volume mounted at drive letter c ("c:\"), 0 when none answers.
  virtual std::uint32_t DriveSerial(char c) = 0;
  // The value of the program's environment variable name; nothing when it is not defined.
  virtual std::optional<std::string> Variable(const std::string& name) = 0;
  // Writes bytes as the whole content of the file of exactly that name, creating it or replacing
  // the file there: whoever names the file has asked the user before naming one that exists.
  // False when it cannot be created or written completely. A file system that only answers
  // questions writes and reads nothing.
  virtual bool WriteWholeFile(const std::string& path, std::string_view bytes) { return false; }

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
