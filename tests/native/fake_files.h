// A file system made of a few named files, folders, drives and environment variables. The
// files it writes and reads are real ones, through the standard library: the tests name them in
// ASCII.
#pragma once

#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "platform/FileSystem.h"

namespace morvane {

class FakeFiles final : public FileSystem {
 public:
  // A folder exists when it is listed, holds a listed file or folder, or is the root of a drive.
  // A path listed in unknown is one the system cannot look at.
  PathKind Look(const std::string& path) override {
    ++looks;
    if (unknown.count(path) != 0) return PathKind::Unknown;
    if (files.count(path) != 0) return PathKind::File;
    return IsFolder(path) ? PathKind::Folder : PathKind::Missing;
  }
  std::uint32_t DriveSerial(char c) override {
    ++serialQueries;
    auto it = serials.find(c);
    return it == serials.end() ? 0 : it->second;
  }
  std::optional<std::string> Variable(const std::string& name) override {
    auto it = variables.find(name);
    if (it == variables.end()) return std::nullopt;
    return it->second;
  }
  // Written beside the file and renamed over it.
  std::unique_ptr<FileReplacement> BeginReplacement(const std::string& path) override {
    struct Replacement final : FileReplacement {
      std::string target, temporary;
      std::ofstream file;
      ~Replacement() override {
        file.close();
        std::remove(temporary.c_str());
      }
      bool Write(std::string_view bytes) override {
        return !file.write(bytes.data(), static_cast<std::streamsize>(bytes.size())).fail();
      }
      bool Commit() override {
        file.close();
        // The Windows runtime's rename replaces no file: the old one goes first there.
        return !file.fail() && (std::rename(temporary.c_str(), target.c_str()) == 0 ||
                                (std::remove(target.c_str()) == 0 &&
                                 std::rename(temporary.c_str(), target.c_str()) == 0));
      }
    };
    auto replacement = std::make_unique<Replacement>();
    replacement->target = path;
    replacement->temporary = path + ".part";
    replacement->file.open(replacement->temporary, std::ios::binary | std::ios::trunc);
    if (!replacement->file) return nullptr;
    return replacement;
  }
  std::unique_ptr<FileReader> OpenForReading(const std::string& path) override {
    struct Reader final : FileReader {
      std::ifstream file;
      int* readsLeft;
      long long Read(char* buffer, std::size_t size) override {
        if (*readsLeft == 0) return -1;
        if (*readsLeft > 0) --*readsLeft;
        file.read(buffer, static_cast<std::streamsize>(size));
        return file.bad() ? -1 : static_cast<long long>(file.gcount());
      }
      bool Rewind() override {
        file.clear();
        return static_cast<bool>(file.seekg(0));
      }
    };
    auto reader = std::make_unique<Reader>();
    reader->readsLeft = &readsBeforeRefusal;
    reader->file.open(path, std::ios::binary);
    if (!reader->file) return nullptr;
    return reader;
  }

  std::set<std::string> files, folders, unknown;
  std::map<char, std::uint32_t> serials{{'C', 0x1234}, {'c', 0x1234}, {'A', 0x99}, {'a', 0x99}};
  std::map<std::string, std::string> variables;
  int looks = 0;
  int readsBeforeRefusal = -1;  // of the files opened for reading, from now on; -1: no refusal
  int serialQueries = 0;

 private:
  bool IsFolder(const std::string& path) const {
    if (folders.count(path) != 0) return true;
    if (path.size() == 3 && path[1] == ':' && path[2] == '\\') return serials.count(path[0]) != 0;
    for (const std::set<std::string>* names : {&files, &folders})
      for (const std::string& name : *names)
        if (name.size() > path.size() + 1 && name.compare(0, path.size(), path) == 0 &&
            name[path.size()] == '\\')
          return true;
    return false;
  }
};

}  // namespace morvane
