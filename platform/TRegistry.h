// TRegistry: a registry cursor. It holds a root key, at most one open current key (with the
// path that names it) and an access mask. Paths that begin with a backslash are absolute from
// the root; any other path is relative to the current key, or to the root when none is open.
// A trailing backslash names the same key as without it.
//
// Every operation reports failure by its result; the one exception is ReadText, which throws
// ERegistryException when a value cannot be read as text. Next to the result of an open,
// deletion, removal or write, LastError keeps the system's error code of its failure.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/RegKeyHandle.h"
#include "platform/RegistryApi.h"

namespace morvane {

class ERegistryException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TRegistry {
 public:
  explicit TRegistry(RegistryApi& api = SystemRegistry());
  ~TRegistry();
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  // Closes the current key and sets the root.
  void SelectRoot(RootKey root);
  // Opens with the cursor's access mask; with create and a non-empty path a missing key is
  // created. On success the key becomes current (the old one is closed).
  bool OpenPath(const std::string& path, bool create);
  // Tries KEY_READ, then STANDARD_RIGHTS_READ|KEY_QUERY_VALUE|KEY_ENUMERATE_SUB_KEYS, then
  // KEY_QUERY_VALUE; the first that opens becomes current and sets the access mask. On failure
  // the cursor is unchanged.
  bool OpenPathForReading(const std::string& path);
  // Counts, longest lengths and write time of the current key; all zero on failure.
  RegKeyInfo QueryKeyInfo() const;
  // Replaces the list with one name per index from 0; an unreadable index gives an empty name.
  void ListSubkeys(std::vector<std::string>& list) const;
  void ListValues(std::vector<std::string>& list) const;
  bool HasChildKeys() const;
  bool HasValue(const std::string& name) const;
  // The value's type, or nothing when the query fails.
  std::optional<std::uint32_t> ValueKind(const std::string& name) const;
  // Empty when the value is missing or empty; else the data up to its first NUL. Throws
  // "Failed to get data for '<name>'" when the value is found but its data cannot be read, and
  // "Invalid data type for '<name>'" when its type is neither REG_SZ nor REG_EXPAND_SZ.
  std::string ReadText(const std::string& name) const;
  // Deletes the key at path with every subkey (highest index first). True when the key itself
  // was deleted. A path that names the root or the current key's base itself is refused. Every
  // key is opened as itself and deleted through that handle: a registry link inside the tree
  // (or at path) is deleted as the link, and the key it points to is left alone.
  bool DeleteTree(const std::string& path);
  bool RemoveValue(const std::string& name);
  // Sets the current key's value to REG_SZ text, stored with its terminating NUL. False when no
  // key is current or the registry refuses.
  bool WriteText(const std::string& name, const std::string& text);
  void ClosePath();
  // The system's error code of the last OpenPath, OpenPathForReading, DeleteTree, RemoveValue or
  // WriteText: kRegOk when it succeeded, kRegAccessDenied when the registry refused it for lack
  // of rights (or, for DeleteTree, because a subkey stayed).
  long LastError() const { return lastError_; }
  // The registry view that every later open and deletion uses; the default is the process's own.
  void SelectView(RegView view) { view_ = ViewAccess(view); }
  RegView View() const { return static_cast<RegView>(view_); }

  RootKey Root() const { return root_; }
  bool HasCurrentKey() const { return current_.valid(); }
  // Absolute path of the current key, beginning with a backslash ("" for the root itself).
  const std::string& CurrentPath() const { return currentPath_; }
  std::uint32_t Access() const { return access_; }
  // Handle of the current key (or the root) for callers that enumerate through the seam directly.
  RegKey BaseKey() const { return current_.valid() ? current_.get() : RootHandle(root_); }
  RegistryApi& Api() const { return api_; }

 private:
  struct Target {
    RegKey base;
    std::string subPath;   // without leading or trailing backslashes
    std::string fullPath;  // absolute path of the target, "" for the root
  };
  Target Resolve(const std::string& path) const;
  // One call takes a path of at most kMaxPathUnitsPerCall UTF-16 units. For a longer one, opens
  // (or, with create, creates) every key on it but the last a name at a time below base, holds
  // the last of them in parent and leaves base and subPath naming the last key from there. A
  // shorter path is left as it is. The error of a key on the way that does not open.
  long StepToParent(RegKey& base, std::string& subPath, ScopedRegKey& parent, bool create) const;
  void MakeCurrent(ScopedRegKey key, std::string fullPath);
  long DeleteSubtree(RegKey base, const std::string& subPath, int depth);
  // Keeps rc as LastError; true when it is kRegOk.
  bool Done(long rc) {
    lastError_ = rc;
    return rc == kRegOk;
  }

  RegistryApi& api_;
  RootKey root_ = RootKey::CurrentUser;
  ScopedRegKey current_;
  std::string currentPath_;
  std::uint32_t access_ = kKeyAllAccess;
  std::uint32_t view_ = 0;  // the access bits of the view selected
  long lastError_ = kRegOk;
};

// Strips trailing backslashes; keeps inner ones.
std::string TrimTrailingBackslashes(const std::string& path);

}  // namespace morvane
