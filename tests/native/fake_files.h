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
  bool FolderExists(const std::string& path) override { return folders.count(path) != 0; }
  std::uint32_t DriveSerial(char c) override {
    ++serialQueries;
    auto it = serials.find(c);
    return it == serials.end() ? 0 : it->second;
  }
  std::set<std::string> files, folders;
  std::map<char, std::uint32_t> serials{{'C', 0x1234}, {'c', 0x1234}, {'A', 0x99}, {'a', 0x99}};
  int fileQueries = 0;
  int serialQueries = 0;
};

}  // namespace morvane
