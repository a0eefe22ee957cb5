// The installed programs: the entries under the Uninstall key, each a subkey holding the
// program's "DisplayName" and "UninstallString". On 64-bit Windows the key exists in both
// registry views, native and 32-bit, each with entries of its own; both are read, the native
// view first. Reading opens keys for reading only; only the deletion asks for more.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/RegistryApi.h"

namespace morvane {

inline constexpr char kUninstallPath[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
inline constexpr char kDisplayName[] = "DisplayName";
inline constexpr char kUninstallString[] = "UninstallString";

// Where the entries are: the root, the Uninstall key's path under it, and the registry views
// to read it in, in order (0: the process's own and only view).
struct UninstallPlace {
  RootKey root = RootKey::LocalMachine;
  std::string path = kUninstallPath;
  std::vector<std::uint32_t> views{0};
};

// The place on this registry: both views, native first, when it has two.
UninstallPlace MachineUninstallPlace(RegistryApi& registry);

// One subkey of the Uninstall key and the view it was read in.
struct UninstallKey {
  std::string name;
  std::uint32_t view = 0;
};

// One entry: its path under the root (the Uninstall key's path, a backslash and the subkey's
// name) and its view. An empty path names no entry.
struct UninstallEntry {
  std::string path;
  std::uint32_t view = 0;
  bool Found() const { return !path.empty(); }
};

// The subkeys read by the last LoadUninstallList, in the registry's order, view after view.
extern std::vector<UninstallKey> UninstallKeys;

// Rebuilds UninstallKeys and hands addItem the "DisplayName" of every entry that opens and
// holds both values, in UninstallKeys order. A display name that is not text throws
// ERegistryException; the names handed over before stay handed over.
void LoadUninstallList(RegistryApi& registry, const UninstallPlace& place,
                       const std::function<void(const std::string& displayName)>& addItem);

// The first entry in UninstallKeys order that opens, holds "UninstallString" and whose
// "DisplayName" (empty when missing) is exactly selected. Nothing selected, or no match: an
// entry that is not Found(). A display name read that is not text throws ERegistryException.
UninstallEntry FindUninstallKey(RegistryApi& registry, const UninstallPlace& place,
                                const std::optional<std::string>& selected);

// Deletes the entry with all its subkeys, in its own view; a registry link inside it is
// deleted as the link, never followed. An entry that is not Found() deletes nothing. True
// when the entry's key is gone.
bool DeleteUninstallEntry(RegistryApi& registry, const UninstallPlace& place, const UninstallEntry& entry);

// A command line whose program part is unquoted and holds spaces is started by Windows as the
// shortest prefix that names a program: "C:\Program Files\A B\un.exe /x" may start
// "C:\Program.exe". The program part is quoted here: the longest prefix ending before a space
// that names an existing file. A quoted command, or one with no such prefix, is kept as it is.
std::string QuoteProgramPath(const std::string& commandLine, const std::function<bool(const std::string&)>& fileExists);

}  // namespace morvane
