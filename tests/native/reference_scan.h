// The scan written the plain way, as a check on the worker's faster reading: every key reached
// through the registry cursor by its absolute path, its subkeys and values listed by name
// first, each value's type and then its text asked for by name, every file question asked of
// the file system afresh. Same passes, same walk order, same rules.
#pragma once

#include <string>
#include <vector>

#include "CleanReg/CleanThread.h"
#include "CleanReg/ReferenceRule.h"
#include "platform/TRegistry.h"

namespace morvane {

class ReferenceScan {
 public:
  ReferenceScan(RegistryApi& api, FileSystem& files) : api_(api), files_(files) {}

  void FullScan() {
    Walk(RootKey::ClassesRoot, "", 0);
    Walk(RootKey::LocalMachine, "\\SOFTWARE", 0);
    Walk(RootKey::CurrentUser, "\\SOFTWARE", 0);
  }
  // One reference pass over the subtree below startKey.
  void ReferencePass(RootKey root, const std::string& startKey) { Walk(root, startKey, 0); }

  std::vector<std::string> inspected;  // section code and path of each key, in order
  std::vector<Finding> findings;

 private:
  bool Open(TRegistry& key, RootKey root, const std::string& path) {
    key.SelectRoot(root);
    key.SelectView(WholeView(api_));
    return key.OpenPathForReading(path.empty() ? "\\" : path);
  }
  void Walk(RootKey root, const std::string& keyPath, int depth) {
    std::vector<std::string> names;
    {
      TRegistry cursor(api_);
      if (!Open(cursor, root, keyPath) || !cursor.HasChildKeys()) return;
      cursor.ListSubkeys(names);
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
      const std::string name = names[i].empty() ? PositionName(i) : names[i];
      const std::string child = keyPath + "\\" + name;
      inspected.push_back(SectionCode(root) + child);
      Check(root, child, name);
      if (root != RootKey::ClassesRoot && depth < 512) Walk(root, child, depth + 1);
    }
  }

  void Check(RootKey root, const std::string& keyPath, const std::string& keyName) {
    TRegistry key(api_);
    if (!Open(key, root, keyPath)) return;
    std::vector<std::string> values, subkeys;
    key.ListValues(values);
    if (root == RootKey::ClassesRoot) {
      key.ListSubkeys(subkeys);
      if (!keyName.empty() && keyName[0] == '.' && values.empty() && subkeys.empty())
        findings.push_back({kCaptionExpansion, keyName, SectionCode(root), keyPath, ""});
      return;
    }
    for (const std::string& name : values) {
      if (key.ValueKind(name) != kRegSz) continue;
      std::string text;
      try {
        text = key.ReadText(name);
      } catch (const ERegistryException&) {
        continue;
      }
      if (IsBrokenReference(text, files_))
        findings.push_back({kCaptionReference, text, SectionCode(root), keyPath, name});
    }
  }

  RegistryApi& api_;
  FileSystem& files_;
};

// The worker itself, recording each key it hands to its own inspection.
class RecordingScan final : public TCleanThread {
 public:
  using TCleanThread::TCleanThread;
  void ReferencePass(RootKey root, const std::string& startKey) {
    FRunning = true;
    RunPass(kStatusReferences, root, startKey);
    FRunning = false;
  }
  void CheckKey(const std::string& keyPath, const std::string& keyName, RootKey root, RegKey key,
                const RegKeyInfo& info) override {
    inspected.push_back(SectionCode(root) + keyPath);
    TCleanThread::CheckKey(keyPath, keyName, root, key, info);
  }
  std::vector<std::string> inspected;
};

}  // namespace morvane
