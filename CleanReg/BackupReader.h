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
  // the text is UTF-8. Without it, the file is UTF-8 when every line is UTF-8 and some byte is not
  // ASCII (as a text editor saves it), and otherwise in the ANSI code page, as every backup file
  // written before UTF-8 ones was: a line that is no text in the file's encoding (bytes that are
  // not UTF-8, a character in a longer form than its shortest, a surrogate) makes its entry
  // unusable. betweenBlocks, when given, runs after each block is read and between the slices of
  // a long line's conversion; false from it ends the reading there (Stopped then says so).
  BackupReader(FileReader& file, AnsiCodePage& ansi, std::size_t blockBytes = kBackupBlockBytes,
               std::function<bool()> betweenBlocks = nullptr);

  enum class Start { kBackup, kNotBackup, kUnreadable };
  // Reads the first line: a backup file's is kBackupHeader. Called once, before Count and Next.
  Start ReadHeader();
  // Reads the rest of the file to count its entries (one per key line) and to learn how its text
  // is written, then starts again at its first entry, in the same open file: Next then reads the
  // entries counted. False when the system refuses a read or the return to the start, or the
  // reading was stopped. Without a byte-order mark, the first Next counts first.
  bool Count(std::size_t& entries);
  // The next entry, one per key line, in file order: false at the end of the file, or when the
  // system refuses a read (Failed then says so). A line that is neither a key line nor a value
  // line the writer could have written makes the entry it follows unusable; lines before the
  // first key line belong to no entry.
  bool Next(BackupEntry& entry);
  bool Failed() const { return failed_; }
  bool Stopped() const { return stopped_; }

 private:
  enum class Encoding { kUndecided, kUtf8, kAnsi };
  // The next line's bytes, of which at most most are kept; false at the end of the file or on a
  // failed read.
  bool NextRawLine(std::size_t most = kMostLineBytes);
  // The line in hand as UTF-8, read in that encoding, into line_.
  void Decode(Encoding as);
  bool Fill();
  bool StartOver();

  FileReader& file_;
  AnsiCodePage& ansi_;
  std::function<bool()> betweenBlocks_;
  std::vector<char> block_;
  std::size_t at_ = 0, end_ = 0;
  bool atEnd_ = false, failed_ = false, stopped_ = false, firstLineRead_ = false;
  Encoding encoding_ = Encoding::kUndecided;
  // The line in hand: its bytes, whether it ended with CR LF, whether it was too long to keep,
  // whether all of it is ASCII and whether it is UTF-8 (of the bytes kept: an overlong line is
  // unusable whatever it holds). The buffer grows once, to the longest line, and is kept.
  std::string raw_;
  bool terminated_ = false, overlong_ = false, ascii_ = true, utf8_ = true;
  std::size_t checked_ = 0;  // raw_'s bytes checked for ASCII and UTF-8 so far
  // The line as text (a view of raw_ or of converted_), and whether it is no text in the encoding.
  std::string converted_;
  std::string_view line_;
  bool invalid_ = false;
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
