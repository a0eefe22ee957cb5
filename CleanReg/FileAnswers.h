// The file-system questions of one scan, each asked of the system once: a registry refers to
// the same few files and folders many times over. A path in a folder that does not exist is
// answered from that folder's answer without asking. A file that appears or goes while a scan
// runs is seen as it was when first asked.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "platform/FileSystem.h"

namespace morvane {

class FileAnswers final : public FileSystem {
 public:
  explicit FileAnswers(FileSystem& files) : files_(files) {}

  bool FileExists(const std::string& path) override;
  bool FolderExists(const std::string& path) override;
  std::uint32_t DriveSerial(char c) override;
  // Forgets every answer and gives the memory back.
  void Forget();

 private:
  // Whether the path's parent folder is known not to exist (asked once per folder).
  bool InMissingFolder(const std::string& path);

  FileSystem& files_;
  std::uint32_t driveSerial_[256] = {};
  bool driveKnown_[256] = {};
  std::unordered_map<std::string, bool> fileAnswers_;
  std::unordered_map<std::string, bool> folderAnswers_;
};

}  // namespace morvane
