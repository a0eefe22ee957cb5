#include "CleanReg/ReferenceRule.h"

#include "CleanReg/PathRules.h"

namespace morvane {

bool IsBrokenReference(const std::string& text, FileSystem& files) {
  // A text is reported only when every test below says so, so they run cheapest first: the
  // text's own shape, then the drive, then the files and folders it may name. The rebuilt
  // path comes before the text itself because many texts (one program with different
  // arguments) rebuild to one path, whose answer is then remembered.
  if (text.empty() || text[0] == 'A' || text[0] == 'a') return false;
  if (HoldsWildcard(text)) return false;
  std::string rebuilt;
  if (!ResolveFilePath(text, rebuilt)) return false;
  if (ExtensionPart(rebuilt).empty()) return false;
  if (files.DriveSerial(text[0]) == 0) return false;
  if (files.FileExists(rebuilt) || files.FolderExists(rebuilt)) return false;
  if (files.FileExists(text)) return false;

  // The rebuilt path is only one reading of the text. Before a value is offered for deletion,
  // the text must not name a folder as it stands ("C:\Data\Mr. Brown")...
  if (files.FolderExists(text)) return false;
  // ...nor be a command line whose program exists ("C:\Windows\notepad.exe readme.txt").
  for (const std::string& program : ProgramPrefixes(text))
    if (files.FileExists(program)) return false;
  return true;
}

}  // namespace morvane
