// An in-memory registry behind the same seam as the real one, for tests that need faults the
// real registry will not produce on demand: keys that refuse to open, subkey indexes whose
// names cannot be read, and a hook that runs before every operation so a test can change the
// tree under a running walk (a key vanishing, a value changing type).
//
// Names and text data are UTF-8 as on the seam; text data is kept as given (RegValue). The
// registry's limits hold, counted in UTF-16 units as the registry counts them: a key name of more
// than 255 units, a value name of more than 16,383 or a key more than 512 levels deep is refused
// with kRegInvalidParameter, and so is a path of more than 32,766 units handed to one open or
// creation, and a name or path handed in that holds a NUL (set-up may make such names). Key
// information gives name lengths in units and the length text data would have as UTF-16.
//
// Subkeys enumerate in case-insensitive name order and values in insertion order, as on
// Windows. Names compare without regard to the case of ASCII letters only: the real registry
// folds other letters too (Ł and ł name one key there and two here), and its order puts a
// character beyond the Basic Multilingual Plane before U+E000..U+FFFF where this puts it after.
// As the real registry, it may be used by several threads at once; the hook runs without its lock
// held, so it may call back into it.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/RegistryApi.h"
#include "testing/AsciiCase.h"

namespace morvane {

class MemRegistryApi final : public RegistryApi {
 public:
  MemRegistryApi();

  // Test set-up, by absolute path such as "SOFTWARE\\Vendor" under a root.
  void AddKey(RootKey root, const std::string& path);
  void AddValue(RootKey root, const std::string& path, const std::string& name, std::uint32_t type,
                const std::string& data);
  void AddText(RootKey root, const std::string& path, const std::string& name,
               const std::string& text);
  bool KeyExists(RootKey root, const std::string& path) const;
  bool ValueExists(RootKey root, const std::string& path, const std::string& name) const;
  bool RemoveKey(RootKey root, const std::string& path);

  // Faults.
  // Opening the key fails with access denied for any access outside allowed; creating a key
  // below it fails unless allowed holds kKeyCreateSubKey, and setting a value of it unless it
  // holds kKeySetValue.
  void RestrictAccess(RootKey root, const std::string& path, std::uint32_t allowed);
  // Reading a value of the key (RegQueryValueEx) fails with error, as where the key's security
  // lets its values be written but not read.
  void RefuseValueReads(RootKey root, const std::string& path, long error);
  // RegEnumKeyEx fails for this index of the key's subkeys.
  void BreakSubkeyIndex(RootKey root, const std::string& path, std::uint32_t index);
  // Makes it the registry of 64-bit Windows as a 32-bit program sees it: an open or creation
  // that lands below HKEY_LOCAL_MACHINE\SOFTWARE, from the root or relative to any key, lands
  // under SOFTWARE\Wow6432Node instead unless it asks for the native view (kKeyWow64View64).
  // Set-up paths above are always native.
  void SetTwoViews(bool two) { twoViews_ = two; }
  // Called before each operation with its name ("open", "info", "enumkey", "enumvalue",
  // "query:<value name>", "deletekey", "deletevalue", "create", "setvalue:<value name>") and the
  // path of the key it works on.
  std::function<void(const std::string& op, const std::string& path)> hook;

  int OpenCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return openCount_;
  }
  int OpenHandles() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(handles_.size());
  }

  long OpenKey(RegKey base, const std::string& subPath, std::uint32_t access, RegKey& out) override;
  long CreateKey(RegKey base, const std::string& subPath, std::uint32_t access, RegKey& out,
                 bool* created = nullptr) override;
  void CloseKey(RegKey key) override;
  long QueryInfo(RegKey key, RegKeyInfo& info) override;
  long EnumKey(RegKey key, std::uint32_t index, std::string& name) override;
  long EnumValue(RegKey key, std::uint32_t index, RegValue& value, bool wantData) override;
  long QueryValue(RegKey key, const std::string& name, std::uint32_t& type,
                  std::string* data) override;
  long SetValue(RegKey key, const std::string& name, std::uint32_t type,
                const std::string& data) override;
  long DeleteKey(RegKey base, const std::string& subPath) override;
  long DeleteValue(RegKey key, const std::string& name) override;
  long DeleteOpenedKey(RegKey key) override;
  bool HasTwoViews() override { return twoViews_; }

 private:
  struct Node {
    std::string name;
    Node* parent = nullptr;
    std::map<std::string, std::unique_ptr<Node>, AsciiCaseLess> children;
    std::vector<RegValue> values;
    std::uint32_t allowed = 0xFFFFFFFFu;
    long valueReadRefusal = 0;
    std::set<std::uint32_t> brokenIndexes;
  };

  Node* RootNode(RootKey root) const;
  Node* NodeOf(RegKey key) const;  // null for a closed handle or a deleted key
  Node* Walk(Node* from, const std::string& subPath, bool create);
  static std::string PathOf(const Node* node);
  void RunHook(std::unique_lock<std::mutex>& lock, const std::string& op, const Node* node,
               const std::string& subPath = {});
  // The key's node after the hook for op has run; null when the key is gone, before or after.
  Node* Enter(std::unique_lock<std::mutex>& lock, RegKey key, const std::string& op);
  RegValue* FindValue(Node* node, const std::string& name);
  void Put(Node* node, const std::string& name, std::uint32_t type, const std::string& data);
  void Forget(Node* node);
  // Where an open of subPath below from lands in the view that access asks for: the key to
  // walk from and the path to walk.
  std::pair<Node*, std::string> InView(Node* from, const std::string& subPath,
                                       std::uint32_t access) const;

  mutable std::mutex mutex_;
  std::unique_ptr<Node> roots_[3];
  std::map<RegKey, Node*> handles_;
  RegKey nextHandle_ = 0x1000;
  int openCount_ = 0;
  bool twoViews_ = false;
};

}  // namespace morvane
