#include "CleanReg/ReferenceRule.h"

#include "CleanReg/PathRules.h"

namespace morvane {

namespace {

bool Missing(FileSystem& files, const std::string& path) {
  return files.Look(path) == PathKind::Missing;
}

// text is the value's text with its variables expanded; first is the first character of the
// text as stored, which alone says whether it begins on a drive.
bool Judge(const std::string& text, char first, FileSystem& files) {
  // A text is reported only when every test below says so, so they run cheapest first: the
  // text's own shape, then the drive, then the files and folders it may name. The rebuilt
  // path comes before the text itself because many texts (one program with different
  // arguments) rebuild to one path, whose answer is then remembered. A path the system could
  // not look at counts as one that exists.
  if (text.empty() || first == 'A' || first == 'a') return false;
  if (HoldsWildcard(text)) return false;
  std::string rebuilt;
  if (!ResolveFilePath(text, rebuilt)) return false;
  if (ExtensionPart(rebuilt).empty()) return false;
  if (files.DriveSerial(first) == 0) return false;
  if (!Missing(files, rebuilt)) return false;

  // The rebuilt path is only one reading of the text. Before a value is offered for deletion,
  // the text must not name a file or a folder as it stands ("C:\Data\Mr. Brown")...
  if (!Missing(files, text)) return false;
  // ...nor be a command line whose program exists ("C:\Windows\notepad.exe readme.txt").
  std::string program;
  for (const std::size_t length : ProgramPrefixLengths(text)) {
    program.assign(text, 0, length);
    const PathKind kind = files.Look(program);
    if (kind == PathKind::File || kind == PathKind::Unknown) return false;
  }
  return true;
}

}  // namespace

bool IsBrokenReference(const std::string& text, FileSystem& files) {
  if (text.empty()) return false;
  if (text.find('%') == std::string::npos) return Judge(text, text[0], files);
  // A text that begins with a variable ("%windir%\...") names no drive as stored, and is
  // never reported; variables further on are expanded only to look the path up.
  std::string expanded;
  return ExpandVariables(
             text, [&files](const std::string& name) { return files.Variable(name); }, expanded) &&
         Judge(expanded, text[0], files);
}

}  // namespace morvane
