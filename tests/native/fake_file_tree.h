// A file tree in memory: folders hold their entries in the order a search returns them.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/FileTree.h"
#include "platform/SystemFolders.h"
#include "platform/Utf.h"
#include "testing/AsciiCase.h"

namespace morvane {

class FakeFileTree final : public FileTree {
 public:
  struct Node {
    FolderEntry entry;
    std::int64_t size = 0;
  };
  // Adds a file (and the folders above it, up to root) with its size; -1: cannot be opened.
  void AddFile(const std::string& path, std::int64_t size = 0) { Add(path, false, size); }
  void AddFolder(const std::string& path) { Add(path, true, 0); }
  // An entry of the folder, by its full path.
  Node& At(const std::string& path) {
    const std::size_t cut = path.rfind('\\');
    static Node none;
    none = Node();
    auto it = folders.find(path.substr(0, cut + 1));
    if (cut == std::string::npos || it == folders.end()) return none;
    for (Node& node : it->second)
      if (AsciiCaseLess::Same(node.entry.name, path.substr(cut + 1))) return node;
    return none;
  }

  bool ListFolder(const std::string& folder, const std::function<bool(const FolderEntry&)>& each,
                  long* error) override {
    ++searches;
    auto it = folders.find(folder);
    const long code = it == folders.end() ? 3 : unlisted.count(folder) != 0 ? refusal : 0;
    if (code != 0) {
      if (error != nullptr) *error = code;
      return false;
    }
    const std::vector<Node> nodes = it->second;  // entries added meanwhile are not seen
    for (const Node& node : nodes)
      if (!each(node.entry)) break;
    return true;
  }
  std::int64_t FileSize(const std::string& path) override {
    sized.push_back(path);
    const Node& node = At(path);
    return node.entry.name.empty() ? -1 : node.size;
  }
  Removal RemoveFile(const std::string& path,
                     const std::function<bool(const std::string&)>& inside) override {
    if (!inside(Location(path))) {
      outside.push_back(path);
      return Removal::kOutside;
    }
    const std::size_t cut = path.rfind('\\');
    // Deleting through a folder nobody holds could go through a folder swapped meanwhile.
    if (held.count(path.substr(0, cut)) == 0) unheldRemovals.push_back(path);
    auto& nodes = folders[path.substr(0, cut + 1)];
    for (auto it = nodes.begin(); it != nodes.end(); ++it)
      if (!it->entry.folder && it->entry.name == path.substr(cut + 1) && it->size >= 0) {
        nodes.erase(it);
        removed.push_back(path);
        return Removal::kRemoved;
      }
    return Removal::kFailed;
  }
  ResolvedFolder ResolveFolder(const std::string& path) override {
    std::string name = path;
    std::replace(name.begin(), name.end(), '/', '\\');
    while (name.size() > 3 && name.back() == '\\') name.pop_back();
    const std::string location = Location(name), canonical = Location(name, true);
    const Node& node = At(canonical);
    const std::string bare =
        canonical.size() == 3 && canonical[2] == '\\' ? canonical.substr(0, 2) : canonical;
    const bool exists = roots.count(bare) != 0 || !node.entry.name.empty();
    ResolvedFolder resolved;
    if (unreadable.count(name) != 0)
      resolved = {FolderKind::kUnreadable, "", refusal, {}};
    else if (At(name).entry.reparsePoint)
      resolved.kind = FolderKind::kLink;
    else if (!exists)
      resolved.kind = FolderKind::kMissing;
    else if (roots.count(bare) == 0 && !node.entry.folder)
      resolved.kind = FolderKind::kNotFolder;
    else
      resolved = {FolderKind::kPlain, location, 0, Identity(location)};
    return resolved;
  }
  // Where a path leads: the longest of resolvesTo's paths that it begins with, replaced.
  std::string Location(const std::string& path, bool sameToo = false) const {
    for (std::string head = path;; head = head.substr(0, head.rfind('\\'))) {
      for (const auto* names : {&resolvesTo, sameToo ? &sameFolder : &resolvesTo}) {
        auto it = names->find(head);
        if (it == names->end()) continue;
        std::string location = it->second + path.substr(head.size());
        if (location.size() > 3 && location.back() == '\\') location.pop_back();
        return location;
      }
      if (head.find('\\') == std::string::npos) return path;
    }
  }
  // One identity for every location of one folder, sameFolder's other names included.
  FolderId Identity(const std::string& location) const {
    std::string key = Location(location, true);
    for (char& c : key) c = static_cast<char>(FoldAscii(static_cast<unsigned char>(c)));
    return {1, std::hash<std::string>()(key)};
  }
  std::unique_ptr<FolderHold> HoldPlainFolder(const std::string& path) override {
    ++holds;
    if (ResolveFolder(path).kind != FolderKind::kPlain) return nullptr;
    held.insert(path);
    return std::make_unique<Hold>(*this, path);
  }

  std::set<std::string, AsciiCaseLess> roots;  // folders that exist above everything
  std::map<std::string, std::vector<Node>, AsciiCaseLess> folders;  // by path ending in a backslash
  std::vector<std::string> sized, removed, outside;
  std::map<std::string, std::string, AsciiCaseLess>
      resolvesTo;  // where a folder or file really lies
  // Locations that stay as they are spelled but are another name of a folder (a second drive
  // letter on one volume, say): they share its identity.
  std::map<std::string, std::string, AsciiCaseLess> sameFolder;
  std::set<std::string> unreadable;               // refused when opened
  std::set<std::string, AsciiCaseLess> unlisted;  // by path ending in a backslash: search refused
  long refusal = kFileAccessDenied;               // the system's error code of both refusals
  int searches = 0;
  std::multiset<std::string> held;          // folders held right now
  int holds = 0;                            // times a folder was asked to be held
  std::vector<std::string> unheldRemovals;  // files removed while their folder was not held

 private:
  class Hold final : public FolderHold {
   public:
    Hold(FakeFileTree& tree, std::string path) : tree_(tree), path_(std::move(path)) {}
    ~Hold() override { tree_.held.erase(tree_.held.find(path_)); }

   private:
    FakeFileTree& tree_;
    std::string path_;
  };

  // Folders above the path are made as needed, up to one of roots.
  void Add(const std::string& path, bool folder, std::int64_t size) {
    const std::size_t cut = path.rfind('\\');
    if (cut == std::string::npos) return;
    const std::string parent = path.substr(0, cut + 1);
    if (roots.count(path.substr(0, cut)) == 0 && path.find('\\') < cut &&
        At(path.substr(0, cut)).entry.name.empty())
      Add(path.substr(0, cut), true, 0);
    if (!At(path).entry.name.empty()) return;
    Node node;
    node.entry.name = path.substr(cut + 1);
    node.entry.folder = folder;
    node.size = size;
    folders[parent].push_back(node);
    if (folder) folders[path + "\\"];
  }
};

class FakeSystemFolders final : public SystemFolders {
 public:
  Expansion ExpandEnvironment(const std::string& text, std::string& out) override {
    auto it = variables.find(text);
    out = it == variables.end() ? text : it->second;
    if (Utf16Length(out) >= 255) {
      out.clear();
      return Expansion::kTooLong;
    }
    return Expansion::kExpanded;
  }
  // Replaces each listed variable wherever it stands; a text naming one of failing does not
  // expand.
  bool ExpandEnvironmentExactly(const std::string& text, std::string& out) override {
    out.clear();
    for (const std::string& name : failing)
      if (text.find(name) != std::string::npos) return false;
    out = text;
    for (const auto& [name, value] : variables)
      for (std::size_t at = out.find(name); at != std::string::npos;
           at = out.find(name, at + value.size()))
        out.replace(at, name.size(), value);
    return true;
  }
  std::string WindowsDirectory() override { return windows; }
  std::string SystemDirectory() override { return system; }
  std::string ShellFolder(void* owner, int folder) override {
    shellAsked.push_back(folder);
    auto it = shell.find(folder);
    return it == shell.end() ? "" : it->second;
  }
  std::string Wow64SystemDirectory() override { return wow64System; }
  std::string LongPath(const std::string& path) override {
    auto it = longPaths.find(path);
    return it == longPaths.end() ? path : it->second;
  }
  std::string DecimalSeparator() override { return decimal; }

  std::map<std::string, std::string> variables{{"%TEMP%", "C:\\Users\\me\\Temp"},
                                               {"%ProgramFiles%", "C:\\Program Files"}};
  std::set<std::string> failing;
  std::string windows = "C:\\Windows", system = "C:\\Windows\\system32", wow64System, decimal = ".";
  std::map<std::string, std::string> longPaths;  // short spellings and their full paths
  std::map<int, std::string> shell{{40, "C:\\Users\\me"}, {5, "C:\\Users\\me\\Documents"}};
  std::vector<int> shellAsked;
};

}  // namespace morvane
