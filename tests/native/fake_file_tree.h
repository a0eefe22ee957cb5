// A file tree in memory: folders hold their entries in the order a search returns them.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/FileTree.h"
#include "platform/SystemFolders.h"

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
      if (node.entry.name == path.substr(cut + 1)) return node;
    return none;
  }

  bool ListFolder(const std::string& folder, const std::function<bool(const FolderEntry&)>& each) override {
    ++searches;
    auto it = folders.find(folder);
    if (it == folders.end()) return false;
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
  bool RemoveFile(const std::string& path) override {
    const std::size_t cut = path.rfind('\\');
    // Deleting through a folder nobody holds could go through a folder swapped meanwhile.
    if (held.count(path.substr(0, cut)) == 0) unheldRemovals.push_back(path);
    auto& nodes = folders[path.substr(0, cut + 1)];
    for (auto it = nodes.begin(); it != nodes.end(); ++it)
      if (!it->entry.folder && it->entry.name == path.substr(cut + 1) && it->size >= 0) {
        nodes.erase(it);
        removed.push_back(path);
        return true;
      }
    return false;
  }
  bool PlainFolder(const std::string& path) override {
    if (roots.count(path) != 0) return true;
    const Node& node = At(path);
    return node.entry.folder && !node.entry.reparsePoint;
  }

  std::unique_ptr<FolderHold> HoldPlainFolder(const std::string& path) override {
    ++holds;
    if (!PlainFolder(path)) return nullptr;
    held.insert(path);
    return std::make_unique<Hold>(*this, path);
  }

  std::set<std::string> roots;                           // folders that exist above everything
  std::map<std::string, std::vector<Node>> folders;      // by path ending in a backslash
  std::vector<std::string> sized, removed;
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
    if (roots.count(path.substr(0, cut)) == 0 && path.find('\\') < cut && At(path.substr(0, cut)).entry.name.empty())
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
  bool ExpandEnvironment(const std::string& text, std::string& out) override {
    auto it = variables.find(text);
    out = it == variables.end() ? text : it->second;
    if (out.size() >= 255) out.clear();
    return !tooLong.count(text) && (it == variables.end() || it->second.size() < 255);
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
  std::set<std::string> tooLong;
  std::string windows = "C:\\Windows", system = "C:\\Windows\\system32", wow64System, decimal = ".";
  std::map<std::string, std::string> longPaths;  // short spellings and their full paths
  std::map<int, std::string> shell{{40, "C:\\Users\\me"}, {5, "C:\\Users\\me\\Documents"}};
  std::vector<int> shellAsked;
};

}  // namespace morvane
