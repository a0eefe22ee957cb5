// A backup file read back into its entries (the exact inverse of what AddBackupEntry and
// EndBackup write), a block of the file at a time: whatever the file's size, memory holds one
// block, the line in hand (at most kMostLineBytes of it) and the entry in hand.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "CleanReg/Restore.h"
#include "platform/AnsiCodePage.h"
#include "platform/FileSystem.h"

namespace morvane {

// A line longer than this is kept only in part: the entry it belongs to is unusable. The longest
// line the writer writes for a key the registry can hold is some 400 KB.
inline constexpr std::size_t kMostLineBytes = std::size_t(16) << 20;
// How much of the file one read takes.
inline constexpr std::size_t kBackupBlockBytes = std::size_t(64) << 10;

class BackupReader {
 public:
  // Lines end with CR LF; a CR or LF alone is part of its line, as it was of the text written. A
  // last line without its CR LF (a file cut short) is unusable. After the UTF-8 byte-order mark
  // the text is UTF-8; without it, it is read in the ANSI code page, as every backup file written
  // before UTF-8 ones was. betweenBlocks, when given, runs after each block is read.
  BackupReader(FileReader& file, AnsiCodePage& ansi, std::size_t blockBytes = kBackupBlockBytes,
               std::function<void()> betweenBlocks = nullptr);

  enum class Start { kBackup, kNotBackup, kUnreadable };
  // Reads the first line: a backup file's is kBackupHeader. Called once, before Next.
  Start ReadHeader();
  // The next entry, one per key line, in file order: false at the end of the file, or when the
  // system refuses a read (Failed then says so). A line that is neither a key line nor a value
  // line the writer could have written makes the entry it follows unusable; lines before the
  // first key line belong to no entry.
  bool Next(BackupEntry& entry);
  bool Failed() const { return failed_; }

 private:
  // The next line, decoded to UTF-8, of which at most most bytes are kept; false at the end of
  // the file or on a failed read.
  bool NextLine(std::size_t most = kMostLineBytes);
  bool Fill();

  FileReader& file_;
  AnsiCodePage& ansi_;
  std::function<void()> betweenBlocks_;
  std::vector<char> block_;
  std::size_t at_ = 0, end_ = 0;
  bool atEnd_ = false, failed_ = false, utf8_ = false, firstLineRead_ = false;
  // The line in hand: its bytes, whether it ended with CR LF, whether it was too long to keep.
  std::string raw_, line_;
  bool terminated_ = false, overlong_ = false;
  // The entry being gathered: its key line and the first line after it, and how many there were.
  bool inEntry_ = false, broken_ = false;
  std::string keyLine_, firstRest_;
  std::size_t restLines_ = 0;
};

// The whole of a backup file's bytes, read as the reader reads a file (tests and benchmarks).
struct BackupContents {
  bool isBackup = false;
  std::vector<BackupEntry> entries;
};
BackupContents ParseBackup(std::string_view bytes, AnsiCodePage& ansi,
                           std::size_t blockBytes = kBackupBlockBytes);
// Every entry of the file of exactly that name; false when it cannot be opened or read.
bool ReadBackupFile(FileSystem& files, const std::string& fileName, AnsiCodePage& ansi,
                    BackupContents& contents);

}  // namespace morvane
