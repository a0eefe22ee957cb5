// The file-system questions the scanner asks, behind a seam so that the rules can be tested
// without Windows.
#pragma once

#include <cstdint>
#include <string>

namespace morvane {

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // An entry of that exact name (no wildcards) is found and it is not a folder.
  virtual bool FileExists(const std::string& path) = 0;
  // The path's attributes can be read and say it is a folder.
  virtual bool FolderExists(const std::string& path) = 0;
  // Serial number of the volume mounted at drive letter c ("c:\"), 0 when none answers.
  virtual std::uint32_t DriveSerial(char c) = 0;
};

// The machine's file system. Only on Windows builds.
FileSystem& SystemFileSystem();

}  // namespace morvane
