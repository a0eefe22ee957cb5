#include "testing/MemRegistryApi.h"

#include <algorithm>
#include <mutex>
#include <tuple>

#include "platform/Utf.h"

namespace morvane {

namespace {

constexpr long kKeyDeleted = 1018;  // ERROR_KEY_DELETED

// The length of data as the registry would hold it: text types as UTF-16.
std::size_t StoredLength(const RegValue& v) {
  return IsTextType(v.type) ? Utf16Length(v.data) * 2 : v.data.size();
}

std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path) {
    if (c == '\\') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

// A name or path the seam refuses: the registry's calls would take it up to its NUL.
bool HoldsNul(const std::string& text) { return text.find('\0') != std::string::npos; }

}  // namespace

MemRegistryApi::MemRegistryApi() {
  for (auto& root : roots_) root = std::make_unique<Node>();
}

MemRegistryApi::Node* MemRegistryApi::RootNode(RootKey root) const {
  return roots_[static_cast<std::uint32_t>(root) - 0x80000000u].get();
}

MemRegistryApi::Node* MemRegistryApi::NodeOf(RegKey key) const {
  if (key >= 0x80000000u && key <= 0x80000002u) return RootNode(static_cast<RootKey>(key));
  auto it = handles_.find(key);
  return it == handles_.end() ? nullptr : it->second;
}

MemRegistryApi::Node* MemRegistryApi::Walk(Node* from, const std::string& subPath, bool create) {
  Node* node = from;
  for (const std::string& part : SplitPath(subPath)) {
    auto it = node->children.find(part);
    if (it == node->children.end()) {
      if (!create) return nullptr;
      auto child = std::make_unique<Node>();
      child->name = part;
      child->parent = node;
      it = node->children.emplace(part, std::move(child)).first;
    }
    node = it->second.get();
  }
  return node;
}

std::string MemRegistryApi::PathOf(const Node* node) {
  std::string path;
  for (; node != nullptr && node->parent != nullptr; node = node->parent)
    path = "\\" + node->name + path;
  return path;
}

void MemRegistryApi::RunHook(std::unique_lock<std::mutex>& lock, const std::string& op,
                             const Node* node, const std::string& subPath) {
  if (!hook) return;
  std::string path = PathOf(node);
  if (!subPath.empty()) path += "\\" + subPath;
  // Without the lock: the hook may change the tree, and may hold this thread up while another
  // goes on working. What the operation looked up before has to be looked up again after.
  lock.unlock();
  hook(op, path);
  lock.lock();
}

MemRegistryApi::Node* MemRegistryApi::Enter(std::unique_lock<std::mutex>& lock, RegKey key,
                                            const std::string& op) {
  Node* node = NodeOf(key);
  if (node == nullptr) return nullptr;
  RunHook(lock, op, node);
  return NodeOf(key);
}

RegValue* MemRegistryApi::FindValue(Node* node, const std::string& name) {
  for (RegValue& v : node->values)
    if (AsciiCaseLess::Same(v.name, name)) return &v;
  return nullptr;
}

void MemRegistryApi::Put(Node* node, const std::string& name, std::uint32_t type,
                         const std::string& data) {
  if (RegValue* v = FindValue(node, name))
    *v = RegValue{v->name, type, data};
  else
    node->values.push_back(RegValue{name, type, data});
}

void MemRegistryApi::AddKey(RootKey root, const std::string& path) {
  std::unique_lock<std::mutex> lock(mutex_);
  Walk(RootNode(root), path, true);
}

void MemRegistryApi::AddValue(RootKey root, const std::string& path, const std::string& name,
                              std::uint32_t type, const std::string& data) {
  std::unique_lock<std::mutex> lock(mutex_);
  Put(Walk(RootNode(root), path, true), name, type, data);
}

void MemRegistryApi::AddText(RootKey root, const std::string& path, const std::string& name,
                             const std::string& text) {
  AddValue(root, path, name, kRegSz, text + std::string(1, '\0'));
}

bool MemRegistryApi::KeyExists(RootKey root, const std::string& path) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return const_cast<MemRegistryApi*>(this)->Walk(RootNode(root), path, false) != nullptr;
}

bool MemRegistryApi::ValueExists(RootKey root, const std::string& path,
                                 const std::string& name) const {
  std::unique_lock<std::mutex> lock(mutex_);
  auto* self = const_cast<MemRegistryApi*>(this);
  Node* node = self->Walk(RootNode(root), path, false);
  return node != nullptr && self->FindValue(node, name) != nullptr;
}

void MemRegistryApi::Forget(Node* node) {
  for (auto it = handles_.begin(); it != handles_.end();) {
    const Node* n = it->second;
    while (n != nullptr && n != node) n = n->parent;
    if (n == node) it->second = nullptr;  // the handle stays, the key is gone
    ++it;
  }
}

bool MemRegistryApi::RemoveKey(RootKey root, const std::string& path) {
  std::unique_lock<std::mutex> lock(mutex_);
  Node* node = Walk(RootNode(root), path, false);
  if (node == nullptr || node->parent == nullptr) return false;
  Forget(node);
  node->parent->children.erase(node->name);
  return true;
}

void MemRegistryApi::RestrictAccess(RootKey root, const std::string& path, std::uint32_t allowed) {
  std::unique_lock<std::mutex> lock(mutex_);
  Walk(RootNode(root), path, true)->allowed = allowed;
}

void MemRegistryApi::RefuseValueReads(RootKey root, const std::string& path, long error) {
  std::unique_lock<std::mutex> lock(mutex_);
  Walk(RootNode(root), path, true)->valueReadRefusal = error;
}

void MemRegistryApi::BreakSubkeyIndex(RootKey root, const std::string& path, std::uint32_t index) {
  std::unique_lock<std::mutex> lock(mutex_);
  Walk(RootNode(root), path, true)->brokenIndexes.insert(index);
}

std::pair<MemRegistryApi::Node*, std::string> MemRegistryApi::InView(Node* from,
                                                                     const std::string& subPath,
                                                                     std::uint32_t access) const {
  if (!twoViews_ || (access & kKeyWow64View64) != 0 || subPath.empty()) return {from, subPath};
  const Node* root = from;
  while (root->parent != nullptr) root = root->parent;
  if (root != RootNode(RootKey::LocalMachine)) return {from, subPath};
  std::vector<std::string> parts = SplitPath(PathOf(from));
  for (std::string& part : SplitPath(subPath)) parts.push_back(std::move(part));
  if (parts.empty() || !AsciiCaseLess::Same(parts[0], "SOFTWARE")) return {from, subPath};
  if (parts.size() > 1 && AsciiCaseLess::Same(parts[1], "Wow6432Node")) return {from, subPath};
  std::string path = parts[0] + "\\Wow6432Node";
  for (std::size_t i = 1; i < parts.size(); ++i) path += "\\" + parts[i];
  return {RootNode(RootKey::LocalMachine), path};
}

long MemRegistryApi::OpenKey(RegKey base, const std::string& requestedPath, std::uint32_t access,
                             RegKey& out) {
  out = 0;
  if (Utf16Length(requestedPath) > kMaxPathUnitsPerCall || HoldsNul(requestedPath))
    return kRegInvalidParameter;
  std::unique_lock<std::mutex> lock(mutex_);
  Node* from = NodeOf(base);
  if (from == nullptr) return base >= 0x80000000u ? kRegInvalidHandle : kKeyDeleted;
  std::string subPath;
  std::tie(from, subPath) = InView(from, requestedPath, access);
  RunHook(lock, "open", from, subPath);
  if (NodeOf(base) == nullptr) return kKeyDeleted;
  std::tie(from, subPath) = InView(NodeOf(base), requestedPath, access);
  Node* node = Walk(from, subPath, false);
  if (node == nullptr) return kRegNotFound;
  if ((access & ~node->allowed) != 0) return kRegAccessDenied;
  out = nextHandle_++;
  handles_[out] = node;
  ++openCount_;
  return kRegOk;
}

long MemRegistryApi::CreateKey(RegKey base, const std::string& requestedPath, std::uint32_t access,
                               RegKey& out, bool* created) {
  out = 0;
  if (created != nullptr) *created = false;
  if (Utf16Length(requestedPath) > kMaxPathUnitsPerCall || HoldsNul(requestedPath))
    return kRegInvalidParameter;
  std::unique_lock<std::mutex> lock(mutex_);
  Node* from = NodeOf(base);
  if (from == nullptr) return kKeyDeleted;
  RunHook(lock, "create", from, requestedPath);
  if ((from = NodeOf(base)) == nullptr) return kKeyDeleted;
  std::string subPath;
  std::tie(from, subPath) = InView(from, requestedPath, access);
  Node* existing = Walk(from, subPath, false);
  if (existing != nullptr && (access & ~existing->allowed) != 0) return kRegAccessDenied;
  if (existing == nullptr) {
    // A missing key is made below the deepest one that exists, which must allow it.
    Node* parent = from;
    for (const std::string& part : SplitPath(subPath)) {
      auto it = parent->children.find(part);
      if (it == parent->children.end()) break;
      parent = it->second.get();
    }
    if ((parent->allowed & kKeyCreateSubKey) == 0) return kRegAccessDenied;
    // The registry's limits, in UTF-16 units and levels below the root.
    const std::vector<std::string> names = SplitPath(subPath);
    const std::size_t depth = SplitPath(PathOf(from)).size() + names.size();
    for (const std::string& name : names)
      if (Utf16Length(name) > kMaxKeyNameUnits) return kRegInvalidParameter;
    if (depth > static_cast<std::size_t>(kMaxKeyDepth)) return kRegInvalidParameter;
  }
  Node* node = Walk(from, subPath, true);
  if (created != nullptr) *created = existing == nullptr;
  out = nextHandle_++;
  handles_[out] = node;
  ++openCount_;
  return kRegOk;
}

void MemRegistryApi::CloseKey(RegKey key) {
  std::unique_lock<std::mutex> lock(mutex_);
  handles_.erase(key);
}

long MemRegistryApi::QueryInfo(RegKey key, RegKeyInfo& info) {
  std::unique_lock<std::mutex> lock(mutex_);
  Node* node = Enter(lock, key, "info");
  if (node == nullptr) return kKeyDeleted;
  info = RegKeyInfo{};
  info.subkeys = static_cast<std::uint32_t>(node->children.size());
  info.values = static_cast<std::uint32_t>(node->values.size());
  for (const auto& [name, child] : node->children)
    info.maxSubkeyLen =
        std::max<std::uint32_t>(info.maxSubkeyLen, static_cast<std::uint32_t>(Utf16Length(name)));
  for (const RegValue& v : node->values) {
    info.maxValueNameLen = std::max<std::uint32_t>(info.maxValueNameLen,
                                                   static_cast<std::uint32_t>(Utf16Length(v.name)));
    info.maxValueLen =
        std::max<std::uint32_t>(info.maxValueLen, static_cast<std::uint32_t>(StoredLength(v)));
  }
  return kRegOk;
}

long MemRegistryApi::EnumKey(RegKey key, std::uint32_t index, std::string& name) {
  std::unique_lock<std::mutex> lock(mutex_);
  Node* node = Enter(lock, key, "enumkey");
  if (node == nullptr) return kKeyDeleted;
  if (index >= node->children.size()) return kRegNoMoreItems;
  if (node->brokenIndexes.count(index)) return kRegMoreData;
  name = std::next(node->children.begin(), index)->second->name;
  return kRegOk;
}

long MemRegistryApi::EnumValue(RegKey key, std::uint32_t index, RegValue& value, bool wantData) {
  std::unique_lock<std::mutex> lock(mutex_);
  Node* node = Enter(lock, key, "enumvalue");
  if (node == nullptr) return kKeyDeleted;
  if (index >= node->values.size()) return kRegNoMoreItems;
  value = node->values[index];
  if (!wantData) value.data.clear();
  return kRegOk;
}

long MemRegistryApi::QueryValue(RegKey key, const std::string& name, std::uint32_t& type,
                                std::string* data) {
  if (HoldsNul(name)) return kRegInvalidParameter;
  std::unique_lock<std::mutex> lock(mutex_);
  Node* node = Enter(lock, key, "query:" + name);
  if (node == nullptr) return kKeyDeleted;
  if (node->valueReadRefusal != 0) return node->valueReadRefusal;
  const RegValue* v = FindValue(node, name);
  if (v == nullptr) return kRegNotFound;
  type = v->type;
  if (data != nullptr) *data = v->data;
  return kRegOk;
}

long MemRegistryApi::SetValue(RegKey key, const std::string& name, std::uint32_t type,
                              const std::string& data) {
  if (HoldsNul(name)) return kRegInvalidParameter;
  std::unique_lock<std::mutex> lock(mutex_);
  Node* node = Enter(lock, key, "setvalue:" + name);
  if (node == nullptr) return kKeyDeleted;
  if ((node->allowed & kKeySetValue) == 0) return kRegAccessDenied;
  if (Utf16Length(name) > kMaxValueNameUnits) return kRegInvalidParameter;
  Put(node, name, type, data);
  return kRegOk;
}

long MemRegistryApi::DeleteKey(RegKey base, const std::string& subPath) {
  if (HoldsNul(subPath)) return kRegInvalidParameter;
  std::unique_lock<std::mutex> lock(mutex_);
  Node* from = NodeOf(base);
  if (from == nullptr) return kKeyDeleted;
  RunHook(lock, "deletekey", from, subPath);
  if ((from = NodeOf(base)) == nullptr) return kKeyDeleted;
  Node* node = Walk(from, subPath, false);
  if (node == nullptr) return kRegNotFound;
  if (node->parent == nullptr) return kRegAccessDenied;
  if (!node->children.empty()) return kRegAccessDenied;
  Forget(node);
  node->parent->children.erase(node->name);
  return kRegOk;
}

long MemRegistryApi::DeleteOpenedKey(RegKey key) {
  std::unique_lock<std::mutex> lock(mutex_);
  Node* node = Enter(lock, key, "deletekey");
  if (node == nullptr) return kKeyDeleted;
  if (node->parent == nullptr || !node->children.empty()) return kRegAccessDenied;
  Forget(node);
  node->parent->children.erase(node->name);
  return kRegOk;
}

long MemRegistryApi::DeleteValue(RegKey key, const std::string& name) {
  if (HoldsNul(name)) return kRegInvalidParameter;
  std::unique_lock<std::mutex> lock(mutex_);
  Node* node = Enter(lock, key, "deletevalue");
  if (node == nullptr) return kKeyDeleted;
  for (auto it = node->values.begin(); it != node->values.end(); ++it) {
    if (AsciiCaseLess::Same(it->name, name)) {
      node->values.erase(it);
      return kRegOk;
    }
  }
  return kRegNotFound;
}

}  // namespace morvane
