// The key inspection: which keys and values the scan reports.
#include <vector>

#include "CleanReg/CleanThread.h"
#include "CleanReg/PathRules.h"

namespace morvane {

void TCleanThread::CheckKey(const std::string& keyPath, const std::string& keyName, RootKey root) {
  if (!FRunning) return;
  TRegistry key(registry_);
  key.SelectRoot(root);
  if (!key.OpenPathForReading(keyPath)) return;
  const RegKeyInfo info = key.QueryKeyInfo();
  if (info.values == 0 && root != RootKey::ClassesRoot) return;

  std::vector<std::string> values;
  key.ListValues(values);

  if (root == RootKey::ClassesRoot) {
    std::vector<std::string> subkeys;
    key.ListSubkeys(subkeys);
    if (!keyName.empty() && keyName[0] == '.' && values.empty() && subkeys.empty())
      sink_.Found({kCaptionExpansion, keyName, SectionCode(root), keyPath, ""});
    return;
  }

  for (const std::string& name : values) {
    if (key.ValueKind(name) != kRegSz) continue;
    std::string text;
    try {
      text = key.ReadText(name);
    } catch (const ERegistryException&) {
      continue;  // the value changed type since it was listed
    }
    if (text.empty() || text[0] == 'A' || text[0] == 'a') continue;
    if (DriveSerial(text[0]) == 0) continue;
    if (files_.FileExists(text)) continue;
    std::string rebuilt;
    if (!ResolveFilePath(text, rebuilt)) continue;
    if (ExtensionPart(rebuilt).empty()) continue;
    if (files_.FolderExists(rebuilt) || files_.FileExists(rebuilt)) continue;
    sink_.Found({kCaptionReference, text, SectionCode(root), keyPath, name});
  }
}

}  // namespace morvane
