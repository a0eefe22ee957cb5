// The file-system questions of one scan, each asked of the system once: a registry refers to
// the same few files and folders many times over. A path in a folder that the system says is
// missing is answered from that folder's answer without asking. A file that appears or goes while a
// scan runs is seen as it was when first asked.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "platform/FileSystem.h"

namespace morvane {

class FileAnswers final : public FileSystem {
 public:
  explicit FileAnswers(FileSystem& files) : files_(files) {}

  PathKind Look(const std::string& path) override;
  std::uint32_t DriveSerial(char c) override;
  // Asked of the system every time: the environment is the program's own and cheap to read.
  std::optional<std::string> Variable(const std::string& name) override {
    return files_.Variable(name);
  }
  // Files are written and read by the file system itself; what they hold is not remembered.
  std::unique_ptr<FileReplacement> BeginReplacement(const std::string& path) override {
    return files_.BeginReplacement(path);
  }
  std::unique_ptr<FileReader> OpenForReading(const std::string& path) override {
    return files_.OpenForReading(path);
  }
  // Forgets every answer and gives the memory back.
  void Forget();

 private:
  // Whether the path's parent folder is known not to exist (asked once per folder).
  bool InMissingFolder(const std::string& path);

  FileSystem& files_;
  std::uint32_t driveSerial_[256] = {};
  bool driveKnown_[256] = {};
  std::unordered_map<std::string, PathKind> answers_;
  std::size_t rememberedBytes_ = 0;
};

}  // namespace morvane
