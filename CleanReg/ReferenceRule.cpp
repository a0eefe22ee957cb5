#include "CleanReg/ReferenceRule.h"

#include "CleanReg/PathRules.h"

namespace morvane {

bool IsBrokenReference(const std::string& text, FileSystem& files) {
  if (text.empty() || text[0] == 'A' || text[0] == 'a') return false;
  if (files.DriveSerial(text[0]) == 0) return false;
  if (HoldsWildcard(text)) return false;
  if (files.FileExists(text)) return false;
  std::string rebuilt;
  if (!ResolveFilePath(text, rebuilt)) return false;
  if (ExtensionPart(rebuilt).empty()) return false;
  if (files.FolderExists(rebuilt) || files.FileExists(rebuilt)) return false;

  // The rebuilt path is only one reading of the text. Before a value is offered for deletion,
  // the text must not name a folder as it stands ("C:\Data\Mr. Brown")...
  if (files.FolderExists(text)) return false;
  // ...nor be a command line whose program exists ("C:\Windows\notepad.exe readme.txt").
  for (const std::string& program : ProgramPrefixes(text))
    if (files.FileExists(program)) return false;
  return true;
}

}  // namespace morvane
