#include "CleanReg/BackupReader.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "CleanReg/Repair.h"
#include "platform/Utf.h"

namespace morvane {

namespace {

using Text = std::string_view;

constexpr Text kNameDataJoint = "\"=\"";  // between a value's name and its data

bool IsKeyLine(Text line) { return line.size() >= 2 && line.front() == '[' && line.back() == ']'; }

bool NoCaseEqual(Text a, const char* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i] != '\0'; ++i) {
    const char x = a[i] >= 'a' && a[i] <= 'z' ? static_cast<char>(a[i] - 'a' + 'A') : a[i];
    const char y = b[i] >= 'a' && b[i] <= 'z' ? static_cast<char>(b[i] - 'a' + 'A') : b[i];
    if (x != y) return false;
  }
  return i == a.size() && b[i] == '\0';
}

// The root and path of a key line's text between its brackets, as AddBackupEntry joins them:
// the long root name, then the path with its leading backslash.
bool SplitKey(Text inner, RootKey& root, Text& path) {
  const std::size_t slash = inner.find('\\');
  if (slash == Text::npos) return false;
  const Text name = inner.substr(0, slash);
  for (RootKey r : {RootKey::ClassesRoot, RootKey::CurrentUser, RootKey::LocalMachine}) {
    if (name == LongRootName(r)) {
      root = r;
      path = inner.substr(slash);
      return true;
    }
  }
  return false;
}

// "\.ext": one level below the root, a name beginning with a dot.
bool IsExtensionPath(Text path) {
  return path.size() >= 2 && path[1] == '.' && path.find('\\', 1) == Text::npos;
}

// "\SOFTWARE\..." with at least one key below SOFTWARE and no empty name on the way: the scan
// reports values of the keys below \SOFTWARE only.
bool IsSoftwarePath(Text path) {
  std::size_t names = 0, start = 1;
  Text first;
  while (true) {
    const std::size_t end = path.find('\\', start);
    const Text name = path.substr(start, end == Text::npos ? Text::npos : end - start);
    if (name.empty()) return false;
    if (names++ == 0) first = name;
    if (end == Text::npos) break;
    start = end + 1;
  }
  return names >= 2 && NoCaseEqual(first, "SOFTWARE");
}

// A value line: "name"="data" with a name that is not empty, or @="data" with data that is not
// empty (the writer writes nothing for an empty default value). A named line says where its name
// ends only when the three characters "=" occur once where they could join the two: with two or
// more, the name or the data holds them and the line can be read more than one way.
bool ParseValueLine(Text line, std::string& name, std::string& data) {
  if (line.size() >= 5 && line.substr(0, 3) == "@=\"" && line.back() == '"') {
    name.clear();
    data.assign(line.substr(3, line.size() - 4));
    return true;
  }
  if (line.size() < 6 || line.front() != '"' || line.back() != '"') return false;
  std::size_t joint = Text::npos;
  int joints = 0;
  for (std::size_t p = line.find(kNameDataJoint, 1); p != Text::npos && p + 4 <= line.size();
       p = line.find(kNameDataJoint, p + 1)) {
    joint = p;
    ++joints;
  }
  if (joints != 1 || joint < 2) return false;
  name.assign(line.substr(1, joint - 1));
  data.assign(line.substr(joint + 3, line.size() - joint - 4));
  return true;
}

// Decides what an entry is from its key line and the lines that follow it up to the next key line
// (how many, and the first of them).
BackupEntry EntryOf(Text keyLine, std::size_t restLines, Text firstRest, bool broken) {
  BackupEntry entry;
  // The writer writes no NUL: the texts it is given end at their first NUL.
  if (broken || keyLine.find('\0') != Text::npos) return entry;
  Text path;
  RootKey root;
  if (!SplitKey(keyLine.substr(1, keyLine.size() - 2), root, path)) return entry;
  if (root == RootKey::ClassesRoot) {
    if (restLines != 0 || !IsExtensionPath(path)) return entry;
    entry.kind = BackupEntryKind::ExtensionKey;
  } else {
    if (restLines != 1 || firstRest.find('\0') != Text::npos || !IsSoftwarePath(path) ||
        !ParseValueLine(firstRest, entry.valueName, entry.data))
      return entry;
    entry.kind = BackupEntryKind::TextValue;
  }
  entry.root = root;
  entry.keyPath.assign(path);
  return entry;
}

}  // namespace

BackupReader::BackupReader(FileReader& file, AnsiCodePage& ansi, std::size_t blockBytes,
                           std::function<bool()> betweenBlocks)
    : file_(file),
      ansi_(ansi),
      betweenBlocks_(std::move(betweenBlocks)),
      block_(std::max<std::size_t>(blockBytes, 1)) {}

bool BackupReader::Fill() {
  if (atEnd_) return false;
  const long long got = file_.Read(block_.data(), block_.size());
  if (betweenBlocks_ && !betweenBlocks_()) stopped_ = true;
  if (got <= 0 || stopped_) {
    atEnd_ = true;
    failed_ = got < 0;
    return false;
  }
  at_ = 0;
  end_ = static_cast<std::size_t>(got);
  return true;
}

namespace {

// The end of the whole characters of a text that may stop inside one.
std::size_t WholeCharacters(std::string_view text) {
  for (std::size_t back = 1; back <= 3 && back <= text.size(); ++back) {
    const unsigned char c = static_cast<unsigned char>(text[text.size() - back]);
    if ((c & 0xC0) == 0x80) continue;
    const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    return length > back ? text.size() - back : text.size();
  }
  return text.size();
}

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// A long line is converted from the code page a slice at a time, each ending after a byte below
// 0x40: no code page has such a byte inside a character.
constexpr std::size_t kSliceBytes = std::size_t(1) << 20;

std::size_t SliceEnd(std::string_view text) {
  if (text.size() <= kSliceBytes) return text.size();
  for (std::size_t i = kSliceBytes; i > 0; --i)
    if (static_cast<unsigned char>(text[i - 1]) < 0x40) return i;
  return text.size();
}

}  // namespace

bool BackupReader::NextRawLine(std::size_t most) {
  raw_.clear();
  terminated_ = overlong_ = false;
  ascii_ = utf8_ = true;
  checked_ = 0;
  // What has been kept so far is checked as it comes, up to its last whole character, so that
  // no step of the reading takes longer with a longer line.
  const auto check = [this](std::size_t upTo) {
    if (upTo <= checked_) return;
    const std::string_view part = std::string_view(raw_).substr(checked_, upTo - checked_);
    if (!IsAscii(part)) {
      ascii_ = false;
      utf8_ = utf8_ && IsStrictUtf8(part);
    }
    checked_ = upTo;
  };
  bool crLast = false;  // the last byte of the line so far is a CR, kept or not
  while (true) {
    if (at_ == end_ && !Fill()) break;
    const char* from = block_.data() + at_;
    const char* lf = static_cast<const char*>(std::memchr(from, '\n', end_ - at_));
    const std::size_t take = lf != nullptr ? static_cast<std::size_t>(lf - from) : end_ - at_;
    const bool crBeforeLf = take > 0 ? from[take - 1] == '\r' : crLast;
    // Room for the line's bytes and the CR of its CR LF.
    const std::size_t room = most + 1 - std::min(most + 1, raw_.size());
    // The buffer is kept from line to line, and grows at most twice: to a block's size, then
    // for the first longer line to the longest line kept.
    const std::size_t needed = raw_.size() + std::min(take, room);
    if (needed > raw_.capacity())
      raw_.reserve(needed <= kBackupBlockBytes ? kBackupBlockBytes : kMostLineBytes + 1);
    raw_.append(from, std::min(take, room));
    check(WholeCharacters(raw_));
    if (take > 0) crLast = from[take - 1] == '\r';
    at_ += take;
    if (take > room) {
      overlong_ = true;
      if (most < kMostLineBytes) break;  // the header is not this long: no need to read on
    }
    if (lf == nullptr) continue;
    ++at_;  // the LF
    if (crBeforeLf) {
      // CR LF ends the line; the CR is the last byte kept, unless the line was cut short.
      if (!overlong_ && !raw_.empty()) raw_.pop_back();
      terminated_ = true;
      break;
    }
    // A LF alone is part of the line.
    if (raw_.size() <= most)
      raw_.push_back('\n');
    else
      overlong_ = true;
    crLast = false;
  }
  if (!terminated_ && raw_.empty() && !overlong_) return false;
  overlong_ = overlong_ || raw_.size() > most;
  // A line cut short may end inside a character: what was kept of it is judged without that.
  checked_ = std::min(checked_, raw_.size());
  if (!overlong_) check(raw_.size());
  if (!firstLineRead_) {
    // The byte-order mark before the first line says the whole file is UTF-8.
    firstLineRead_ = true;
    const std::string_view mark = kUtf8Mark;
    if (std::string_view(raw_).substr(0, mark.size()) == mark) {
      raw_.erase(0, mark.size());
      encoding_ = Encoding::kUtf8;
    }
  }
  return true;
}

void BackupReader::Decode(Encoding as) {
  invalid_ = false;
  if (ascii_ || as != Encoding::kAnsi) {
    line_ = raw_;
    invalid_ = !utf8_;
    return;
  }
  converted_.clear();
  // A line never ends inside a character: CR and LF are no trail bytes.
  for (std::string_view rest = raw_; !rest.empty();) {
    const std::size_t end = SliceEnd(rest);
    if (!ansi_.Read(rest.substr(0, end), converted_)) invalid_ = true;
    rest.remove_prefix(end);
    if (!rest.empty() && betweenBlocks_ && !betweenBlocks_()) stopped_ = atEnd_ = true;
  }
  line_ = converted_;
}

BackupReader::Start BackupReader::ReadHeader() {
  // The mark, the header and its CR: a first line any longer is no header.
  if (!NextRawLine(sizeof kUtf8Mark + sizeof kBackupHeader))
    return failed_ ? Start::kUnreadable : Start::kNotBackup;
  if (overlong_ || raw_ != kBackupHeader) return Start::kNotBackup;
  // A header without its CR LF is the whole file.
  return Start::kBackup;
}

bool BackupReader::Count(std::size_t& entries) {
  // Key lines as the bytes read in UTF-8, and as they read in the code page: a double-byte
  // character may end in the byte of the closing bracket.
  std::size_t inUtf8 = 0, inAnsi = 0;
  bool allUtf8 = true, someWide = false;
  while (NextRawLine()) {
    if (!ascii_) {
      someWide = true;
      allUtf8 = allUtf8 && utf8_;
    }
    if (overlong_ || !IsKeyLine(raw_)) continue;
    ++inUtf8;
    if (encoding_ == Encoding::kUtf8) continue;
    Decode(Encoding::kAnsi);
    if (IsKeyLine(line_)) ++inAnsi;
  }
  if (failed_ || stopped_) return false;
  if (encoding_ == Encoding::kUndecided)
    encoding_ = allUtf8 && someWide ? Encoding::kUtf8 : Encoding::kAnsi;
  entries = encoding_ == Encoding::kUtf8 ? inUtf8 : inAnsi;
  return StartOver();
}

bool BackupReader::StartOver() {
  at_ = end_ = 0;
  atEnd_ = firstLineRead_ = inEntry_ = false;
  // The file is open for reading only: it begins with its header still.
  failed_ = !file_.Rewind() || ReadHeader() != Start::kBackup;
  return !failed_;
}

bool BackupReader::Next(BackupEntry& entry) {
  std::size_t entries = 0;
  if (encoding_ == Encoding::kUndecided && !Count(entries)) return false;
  while (NextRawLine()) {
    // An overlong line is no key line and makes its entry unusable: it needs no converting.
    if (overlong_)
      line_ = {};
    else
      Decode(encoding_);
    const bool keyLine = !overlong_ && IsKeyLine(line_);
    if (keyLine) {
      const bool had = inEntry_;
      if (had) entry = EntryOf(keyLine_, restLines_, firstRest_, broken_);
      inEntry_ = true;
      broken_ = !terminated_ || invalid_;
      keyLine_.assign(line_);
      restLines_ = 0;
      firstRest_.clear();
      if (had) return true;
    } else if (inEntry_) {
      if (restLines_++ == 0) firstRest_.assign(line_);
      broken_ = broken_ || !terminated_ || overlong_ || invalid_;
    }
  }
  // A stopped or failed reading may have cut the entry in hand short.
  if (!inEntry_ || stopped_ || failed_) return false;
  inEntry_ = false;
  entry = EntryOf(keyLine_, restLines_, firstRest_, broken_);
  return true;
}

namespace {

class BytesReader final : public FileReader {
 public:
  explicit BytesReader(std::string_view bytes) : all_(bytes), bytes_(bytes) {}
  long long Read(char* buffer, std::size_t size) override {
    const std::size_t n = std::min(size, bytes_.size());
    std::memcpy(buffer, bytes_.data(), n);
    bytes_.remove_prefix(n);
    return static_cast<long long>(n);
  }
  bool Rewind() override {
    bytes_ = all_;
    return true;
  }

 private:
  std::string_view all_, bytes_;
};

}  // namespace

BackupContents ParseBackup(std::string_view bytes, AnsiCodePage& ansi, std::size_t blockBytes) {
  BytesReader file(bytes);
  BackupReader reader(file, ansi, blockBytes);
  BackupContents contents;
  contents.isBackup = reader.ReadHeader() == BackupReader::Start::kBackup;
  if (!contents.isBackup) return contents;
  BackupEntry entry;
  while (reader.Next(entry)) contents.entries.push_back(entry);
  return contents;
}

bool ReadBackupFile(FileSystem& files, const std::string& fileName, AnsiCodePage& ansi,
                    BackupContents& contents) {
  contents = {};
  const std::unique_ptr<FileReader> file = files.OpenForReading(fileName);
  if (!file) return false;
  BackupReader reader(*file, ansi);
  const BackupReader::Start start = reader.ReadHeader();
  contents.isBackup = start == BackupReader::Start::kBackup;
  BackupEntry entry;
  while (contents.isBackup && reader.Next(entry)) contents.entries.push_back(entry);
  return start != BackupReader::Start::kUnreadable && !reader.Failed();
}

}  // namespace morvane
