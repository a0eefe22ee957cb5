// The unnecessary files: every file of the TEMP folder and every prefetch file (".pf") of the
// Windows folder's Prefetch folder, listed with their total size in megabytes, and deleted on
// request.
//
// Paths are UTF-8 text, each name exactly as the file system has it, of fewer than kMaxPath
// characters counted as the system counts them (UTF-16 units). A file or folder whose path would
// be longer is passed over: neither listed, counted nor walked, so never deleted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/FileTree.h"
#include "platform/SystemFolders.h"

namespace morvane {

inline constexpr std::size_t kMaxPath = 260;  // UTF-16 units, with the terminating zero
inline constexpr char kTotalSuffix[] = "Mb it is ready to removal - The provisional size..";
inline const std::string kClosingRule(70, '=');

// Empty: every file is collected; otherwise only files whose extension (from the last '.' of the
// name, '.' included) equals it, ASCII letters compared without regard to case. Kept between
// collections.
extern std::string FileFilter;
// Sizes collected so far, in megabytes; set to 0 at the start of every collection.
extern double TotalSizeMb;

// A listed file: where it lies (path, the location the walk found it at, beginning with the
// resolved root folder it was collected from, which ends in a backslash) and how its line spells
// it (the folder as the system names it, then the file's path below that folder).
struct ListedFile {
  std::string path;
  std::size_t rootLength = 0;
  // The folder's spelling, with a trailing backslash; none: the line is path itself.
  std::shared_ptr<const std::string> shownRoot;

  std::string Line() const {
    return shownRoot != nullptr ? *shownRoot + path.substr(rootLength) : path;
  }
};

// Where a collection puts what it finds.
class CollectionSink {
 public:
  virtual ~CollectionSink() = default;
  // Runs before every file of the walk is looked at, collected or not (the window lets its
  // pending messages run here). False: the collection has been abandoned and adds nothing more.
  virtual bool BetweenFiles() = 0;
  virtual void AddFile(const ListedFile& file) = 0;
  // The closing lines.
  virtual void AddLine(const std::string& line) = 0;
  // A folder is not collected; why, as one sentence.
  virtual void FolderRefused(const std::string& why) = 0;
  // The Prefetch folder is there but the system refused to open or search it, with this error
  // code (kFileAccessDenied when rights are missing); it is not collected. Runs after anything
  // said of TEMP.
  virtual void PrefetchRefused(long error) {}
};

// The file's size in bytes as decimal text; "-1" when it cannot be opened without sharing.
std::string GetFileSizeText(FileTree& tree, const std::string& name);
// Megabytes a file of that size text adds: its whole kilobytes (truncated toward zero), over
// 1024. Text that is no number adds nothing.
double SizeTextInMb(const std::string& sizeText);
// The extension of a file name (from its last '.', '.' included; empty when none) passes
// FileFilter.
bool PassesFileFilter(const std::string& name);
// The total line: megabytes with two decimals after separator, no thousands separator, then
// kTotalSuffix.
std::string TotalLineText(double megabytes, const std::string& decimalSeparator);

// Adds every file of the folder tree below folder (ending in a backslash) that passes
// FileFilter, depth first in the order of the search, and its size to TotalSizeMb. Folders that
// are reparse points are neither walked nor listed. Each file's line begins with shownRoot (when
// given) in place of folder. False when the sink abandoned the walk.
bool CollectFiles(FileTree& tree, const std::string& folder, CollectionSink& sink,
                  const std::string& shownRoot = "");

// The whole collection: TotalSizeMb reset, TEMP (every file) then the Windows folder's Prefetch
// folder (".pf" files), then the closing lines: an empty line, 70 '=', the total line. False
// when the sink abandoned it; then no closing line was added. Both folders are walked where they
// resolve to; the lines spell them as the system names them: TEMP as it expands, and the Windows
// folder followed by "Prefetch\".
bool FindUnnecessaryFiles(FileTree& tree, SystemFolders& system, CollectionSink& sink);

struct ClearOutcome {
  std::size_t deleted = 0;
  std::size_t kept = 0;  // could not be deleted, or were found to lie outside their folder
};

// Deletes the listed files, in their listed order, and only where they lie inside the folder
// they were collected from: each file is opened as itself, the location its handle resolves to
// must lie below that folder (a file that links elsewhere, or a folder on its way swapped for a
// link since the collection, leads outside), and the file goes through that same handle. Each
// folder from the cleaned root down to the file's own folder must be a plain folder, no reparse
// point, and is held while files below it are deleted. Failures are passed over and counted.
// between runs before each file.
ClearOutcome DeleteListedFiles(FileTree& tree, const std::vector<ListedFile>& files,
                               const std::function<void()>& between = nullptr);

}  // namespace morvane
