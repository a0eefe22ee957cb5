// The installed programs: the entries under the Uninstall keys, each a subkey holding the
// program's "DisplayName" and "UninstallString". The machine's key is read in both registry
// views of 64-bit Windows (native first, each with entries of its own), then the current
// user's key, where programs installed for one user register. Every listed item remembers the
// entry it came from, so that whatever is done to it is done to that entry and no other, even
// when two entries show the same name. Reading opens keys for reading only; only the deletion
// asks for more.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/RegistryApi.h"
#include "platform/SystemFolders.h"

namespace morvane {

inline constexpr char kUninstallPath[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
inline constexpr char kDisplayName[] = "DisplayName";
inline constexpr char kUninstallString[] = "UninstallString";

// One Uninstall key: its root, its path under the root and the registry view it is read in.
struct UninstallPlace {
  RootKey root = RootKey::LocalMachine;
  std::string path = kUninstallPath;
  RegView view = RegView::Own;
};

// The Uninstall keys of this registry in the order they are listed: the machine's in its
// native view, then in its 32-bit view when the registry has two, then the current user's.
std::vector<UninstallPlace> UninstallPlaces(RegistryApi& registry);

// One entry: the Uninstall key it lies in and its subkey's name. An empty name names no entry.
struct UninstallEntry {
  UninstallPlace place;
  std::string name;
  bool Found() const { return !name.empty(); }
  // The entry's path under its root.
  std::string Path() const { return place.path + "\\" + name; }
};

// One line of the list: the entry's display name and the entry itself.
struct UninstallItem {
  std::string displayName;
  UninstallEntry entry;
};

// Every entry of the places, in their order and the registry's order within each, that opens
// and holds a "DisplayName" of a text type (REG_SZ or REG_EXPAND_SZ) and an "UninstallString" of
// any type (one that is not text is listed, and said to be so when it is selected). An entry
// that does not open, lacks a value or has a display name of another type is passed over; the
// rest are listed. Two entries of the same name give two items.
std::vector<UninstallItem> LoadUninstallList(RegistryApi& registry,
                                             const std::vector<UninstallPlace>& places);

// What the selection reads from an entry's "UninstallString".
struct UninstallCommandText {
  enum Outcome {
    kNotOpened,  // the entry does not open
    kMissing,    // no "UninstallString"
    kNotText,    // an "UninstallString" of a type that is not text
    kRead,
  };
  Outcome outcome = kNotOpened;
  // The value's text, up to its first NUL; a REG_EXPAND_SZ value with its environment variables
  // expanded.
  std::string text;
  // False when the expansion of its environment variables could not be spelled exactly (as the
  // folders seam says): the text then names some other file than the one the value names.
  bool exact = true;
};
UninstallCommandText ReadUninstallCommand(RegistryApi& registry, const UninstallEntry& entry,
                                          SystemFolders& system);

// Deletes the entry with all its subkeys, in its own root and view; a registry link inside it is
// deleted as the link, never followed. An entry that is not Found(), or whose name is not a
// single key name, deletes nothing. True when the entry's key is gone; otherwise *error (when
// given) is the registry's error code of the refusal (kRegAccessDenied for lack of rights).
bool DeleteUninstallEntry(RegistryApi& registry, const UninstallEntry& entry,
                          long* error = nullptr);

}  // namespace morvane
