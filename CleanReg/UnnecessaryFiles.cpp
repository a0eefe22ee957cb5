#include "CleanReg/UnnecessaryFiles.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "CleanReg/SpecialFolders.h"
#include "platform/Utf.h"

namespace morvane {

std::string FileFilter;
double TotalSizeMb = 0.0;

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// folderLength: the folder's length in UTF-16 units, what the system's path limit counts.
bool Collect(FileTree& tree, const std::string& folder, std::size_t folderLength,
             std::size_t rootLength, const std::shared_ptr<const std::string>& shownRoot,
             CollectionSink& sink) {
  bool going = true;
  tree.ListFolder(folder, [&](const FolderEntry& entry) {
    const std::size_t length = folderLength + Utf16Length(entry.name);
    if (entry.folder) {
      if (entry.reparsePoint) return true;          // a link leads out of the folder being cleaned
      if (length + 1 + 3 >= kMaxPath) return true;  // its search pattern "*.*" would not fit
      going = Collect(tree, folder + entry.name + "\\", length + 1, rootLength, shownRoot, sink);
      return going;
    }
    if (!sink.BetweenFiles()) return going = false;
    if (!PassesFileFilter(entry.name) || length >= kMaxPath) return true;
    ListedFile file{folder + entry.name, rootLength, shownRoot};
    TotalSizeMb += SizeTextInMb(GetFileSizeText(tree, file.path));
    sink.AddFile(file);
    return true;
  });
  return going;
}

}  // namespace

std::string GetFileSizeText(FileTree& tree, const std::string& name) {
  return std::to_string(tree.FileSize(name));
}

double SizeTextInMb(const std::string& sizeText) {
  const std::int64_t bytes = std::strtoll(sizeText.c_str(), nullptr, 10);
  const std::int64_t kilobytes = bytes / 1024;  // truncates toward zero: -1 adds nothing
  return static_cast<double>(kilobytes) / 1024;
}

bool PassesFileFilter(const std::string& name) {
  if (FileFilter.empty()) return true;
  const std::size_t dot = name.rfind('.');
  const std::size_t length = dot == std::string::npos ? 0 : name.size() - dot;
  if (length != FileFilter.size()) return false;
  for (std::size_t i = 0; i < length; ++i)
    if (Lower(name[dot + i]) != Lower(FileFilter[i])) return false;
  return true;
}

std::string TotalLineText(double megabytes, const std::string& decimalSeparator) {
  // Hundredths rounded half away from zero; the total is a sum of whole kilobytes over 1024, so
  // a half is exact and must not go to the even neighbour as printf's rounding would have it.
  const long long hundredths = std::llround(megabytes * 100);
  const long long whole = std::llabs(hundredths) / 100, part = std::llabs(hundredths) % 100;
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%s%lld", hundredths < 0 ? "-" : "", whole);
  std::string text = buffer;
  std::snprintf(buffer, sizeof buffer, "%02lld", part);
  return text + decimalSeparator + buffer + kTotalSuffix;
}

bool CollectFiles(FileTree& tree, const std::string& folder, CollectionSink& sink,
                  const std::string& shownRoot) {
  std::shared_ptr<const std::string> shown;
  if (!shownRoot.empty() && shownRoot != folder)
    shown = std::make_shared<const std::string>(shownRoot);
  return Collect(tree, folder, Utf16Length(folder), folder.size(), shown, sink);
}

bool FindUnnecessaryFiles(FileTree& tree, SystemFolders& system, CollectionSink& sink) {
  TotalSizeMb = 0.0;
  // Both folders are walked where they were found to lie, not as their names are spelled; the
  // lines keep the spelling the user knows.
  const CleanedFolder temp = ResolveTempFolder(system, tree);
  if (!temp.problem.empty()) {
    sink.FolderRefused(temp.problem);
  } else if (!temp.location.empty()) {
    FileFilter.clear();
    const std::string shown = GetSpecialFolderPath(system, nullptr, kFolderTemp);
    if (!CollectFiles(tree, temp.location, sink, shown)) return false;
  }
  long refused = 0;
  const std::string prefetch = ResolvePrefetchFolder(system, tree, &refused);
  if (refused != 0) sink.PrefetchRefused(refused);
  if (!prefetch.empty()) {
    FileFilter = ".pf";
    const std::string shown = GetSpecialFolderPath(system, nullptr, kFolderWindows) + "Prefetch\\";
    if (!CollectFiles(tree, prefetch, sink, shown)) return false;
  }
  sink.AddLine("");
  sink.AddLine(kClosingRule);
  sink.AddLine(TotalLineText(TotalSizeMb, system.DecimalSeparator()));
  return true;
}

namespace {

// The folders from a file's cleaned root down to its own folder, each held while the files below
// it are deleted. Moving on to a file elsewhere lets go of the folders it is not under and holds
// the new ones; a folder that could not be held stays on the chain, empty, so that the rest of
// its files are passed over without asking again.
class HeldChain {
 public:
  explicit HeldChain(FileTree& tree) : tree_(tree) {}

  // Every folder from the file's root to its own folder is held and was a plain folder.
  bool Hold(const ListedFile& file) {
    if (file.rootLength == 0 || file.rootLength > file.path.size()) return false;
    std::size_t depth = 0;
    bool plain = true;
    // From the root itself (its trailing backslash) down to the file's own folder.
    for (std::size_t at = file.rootLength - 1; plain && at != std::string::npos;
         at = file.path.find('\\', at + 1), ++depth) {
      const std::string_view folder(file.path.data(), at);
      if (depth < held_.size() && held_[depth].path == folder) {
        plain = held_[depth].hold != nullptr;
        continue;
      }
      held_.resize(depth);
      held_.push_back({std::string(folder), tree_.HoldPlainFolder(std::string(folder))});
      plain = held_.back().hold != nullptr;
    }
    if (plain) held_.resize(depth);  // folders of an earlier file, deeper than this one's
    return plain;
  }

 private:
  struct Held {
    std::string path;
    std::unique_ptr<FolderHold> hold;
  };
  FileTree& tree_;
  std::vector<Held> held_;
};

}  // namespace

ClearOutcome DeleteListedFiles(FileTree& tree, const std::vector<ListedFile>& files,
                               const std::function<void()>& between) {
  HeldChain chain(tree);
  ClearOutcome outcome;
  std::string rootKey;
  const auto inside = [&rootKey](const std::string& location) {
    return LiesBelow(FolderKey(location), rootKey);
  };
  for (const ListedFile& file : files) {
    if (between) between();
    rootKey = FolderKey(file.path.substr(0, file.rootLength));
    if (chain.Hold(file) && tree.RemoveFile(file.path, inside) == Removal::kRemoved)
      ++outcome.deleted;
    else
      ++outcome.kept;
  }
  return outcome;
}

}  // namespace morvane
