// A file system made of a few named files, folders and drives.
#pragma once

#include <map>
#include <set>
#include <string>

#include "platform/FileSystem.h"

namespace morvane {

class FakeFiles final : public FileSystem {
 public:
  bool FileExists(const std::string& path) override {
    ++fileQueries;
    return files.count(path) != 0;
  }
  // A folder exists when it is listed, holds a listed file or folder, or is the root of a drive.
  bool FolderExists(const std::string& path) override {
    ++folderQueries;
    if (folders.count(path) != 0) return true;
    if (path.size() == 3 && path[1] == ':' && path[2] == '\\') return serials.count(path[0]) != 0;
    for (const std::set<std::string>* names : {&files, &folders})
      for (const std::string& name : *names)
        if (name.size() > path.size() + 1 && name.compare(0, path.size(), path) == 0 && name[path.size()] == '\\')
          return true;
    return false;
  }
  std::uint32_t DriveSerial(char c) override {
    ++serialQueries;
    auto it = serials.find(c);
    return it == serials.end() ? 0 : it->second;
  }
  std::set<std::string> files, folders;
  std::map<char, std::uint32_t> serials{{'C', 0x1234}, {'c', 0x1234}, {'A', 0x99}, {'a', 0x99}};
  int fileQueries = 0;
  int folderQueries = 0;
  int serialQueries = 0;
};

}  // namespace morvane
