#include "CleanReg/FileAnswers.h"

#include <algorithm>
#include <iterator>

#include "CleanReg/PathRules.h"

namespace morvane {

namespace {

// A scan of a large registry asks about many distinct paths; past this many remembered answers,
// or this many bytes of their paths, the memory is given back and the answers are asked again.
constexpr std::size_t kMaxRememberedAnswers = 1u << 18;
constexpr std::size_t kMaxRememberedBytes = 16u << 20;

}  // namespace

PathKind FileAnswers::Look(const std::string& path) {
  // The remembered answer, or else missing when its folder is missing (not remembered: the
  // folder's answer settles it again as cheaply), or else the system's answer, remembered.
  if (auto it = answers_.find(path); it != answers_.end()) return it->second;
  if (InMissingFolder(path)) return PathKind::Missing;
  if (answers_.size() >= kMaxRememberedAnswers || rememberedBytes_ >= kMaxRememberedBytes) {
    answers_.clear();
    rememberedBytes_ = 0;
  }
  const PathKind answer = files_.Look(path);
  answers_.emplace(path, answer);
  rememberedBytes_ += path.size();
  return answer;
}

bool FileAnswers::InMissingFolder(const std::string& path) {
  // Most broken references name a file in a folder that is gone too, and their neighbours
  // name the same folder: one folder answer settles them all. The parent's own answer comes
  // the same way, up to the drive's root.
  const std::string parent = ParentFolder(path);
  return !parent.empty() && Look(parent) == PathKind::Missing;
}

std::uint32_t FileAnswers::DriveSerial(char c) {
  const auto slot = static_cast<unsigned char>(c);
  if (!driveKnown_[slot]) {
    driveSerial_[slot] = files_.DriveSerial(c);
    driveKnown_[slot] = true;
  }
  return driveSerial_[slot];
}

void FileAnswers::Forget() {
  std::fill(std::begin(driveKnown_), std::end(driveKnown_), false);
  std::unordered_map<std::string, PathKind>().swap(answers_);
  rememberedBytes_ = 0;
}

}  // namespace morvane
