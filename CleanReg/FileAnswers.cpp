#include "CleanReg/FileAnswers.h"

#include <algorithm>
#include <iterator>

#include "CleanReg/PathRules.h"

namespace morvane {

namespace {

// A scan of a large registry asks about many distinct paths; past this many remembered answers
// the memory is given back and the answers are asked again.
constexpr std::size_t kMaxRememberedAnswers = 1u << 18;

// The remembered answer for path, or else no when its folder is missing (not remembered: the
// folder's answer settles it again as cheaply), or else the system's answer, remembered.
template <typename Ask, typename InMissingFolder>
bool Remembered(std::unordered_map<std::string, bool>& answers, const std::string& path, Ask ask,
                InMissingFolder inMissingFolder) {
  if (auto it = answers.find(path); it != answers.end()) return it->second;
  if (inMissingFolder()) return false;
  if (answers.size() >= kMaxRememberedAnswers) answers.clear();
  const bool answer = ask();
  answers.emplace(path, answer);
  return answer;
}

}  // namespace

bool FileAnswers::FileExists(const std::string& path) {
  return Remembered(
      fileAnswers_, path, [&] { return files_.FileExists(path); }, [&] { return InMissingFolder(path); });
}

bool FileAnswers::FolderExists(const std::string& path) {
  return Remembered(
      folderAnswers_, path, [&] { return files_.FolderExists(path); }, [&] { return InMissingFolder(path); });
}

bool FileAnswers::InMissingFolder(const std::string& path) {
  // Most broken references name a file in a folder that is gone too, and their neighbours
  // name the same folder: one folder answer settles them all. The parent's own answer comes
  // the same way, up to the drive's root.
  const std::string parent = ParentFolder(path);
  return !parent.empty() && !FolderExists(parent);
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
  std::unordered_map<std::string, bool>().swap(fileAnswers_);
  std::unordered_map<std::string, bool>().swap(folderAnswers_);
}

}  // namespace morvane
