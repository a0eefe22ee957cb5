#include "CleanReg/Uninstall.h"

#include <algorithm>

#include "platform/TRegistry.h"

namespace morvane {

namespace {

// A cursor on the root and in the view of one Uninstall key.
struct PlaceCursor {
  explicit PlaceCursor(RegistryApi& registry, const UninstallPlace& place) : cursor(registry) {
    cursor.SelectRoot(place.root);
    cursor.SelectView(place.view);
  }
  TRegistry cursor;
};

bool IsText(std::uint32_t type) { return type == kRegSz || type == kRegExpandSz; }

// Whether the open key holds the named value, of whatever type, and that type.
bool Holds(const TRegistry& key, const char* name, std::uint32_t& type) {
  return key.Api().QueryValue(key.BaseKey(), name, type, nullptr) == kRegOk;
}

// The entry's display name, read in one query; false when the value is missing or not text.
bool ReadDisplayName(const TRegistry& entry, std::string& name) {
  std::uint32_t type = 0;
  if (entry.Api().QueryValue(entry.BaseKey(), kDisplayName, type, &name) != kRegOk || !IsText(type))
    return false;
  const std::size_t nul = name.find('\0');
  if (nul != std::string::npos) name.resize(nul);
  return true;
}

}  // namespace

std::vector<UninstallPlace> UninstallPlaces(RegistryApi& registry) {
  std::vector<UninstallPlace> places;
  if (registry.HasTwoViews()) {
    places.push_back({RootKey::LocalMachine, kUninstallPath, RegView::Native});
    places.push_back({RootKey::LocalMachine, kUninstallPath, RegView::Wow32});
  } else {
    places.push_back({RootKey::LocalMachine, kUninstallPath, RegView::Own});
  }
  // The user's software is one key for both views.
  places.push_back({RootKey::CurrentUser, kUninstallPath, RegView::Own});
  return places;
}

std::vector<UninstallItem> LoadUninstallList(RegistryApi& registry,
                                             const std::vector<UninstallPlace>& places) {
  std::vector<UninstallItem> items;
  for (const UninstallPlace& place : places) {
    std::vector<std::string> names;
    {
      PlaceCursor uninstall(registry, place);
      if (uninstall.cursor.OpenPathForReading(place.path)) uninstall.cursor.ListSubkeys(names);
    }
    PlaceCursor entry(registry, place);
    for (std::string& name : names) {
      // An index whose name could not be read names no entry.
      if (name.empty()) continue;
      std::uint32_t type = 0;
      std::string displayName;
      const bool listed = entry.cursor.OpenPathForReading(place.path + "\\" + name) &&
                          Holds(entry.cursor, kUninstallString, type) &&
                          ReadDisplayName(entry.cursor, displayName);
      entry.cursor.ClosePath();
      if (listed) items.push_back({std::move(displayName), UninstallEntry{place, std::move(name)}});
    }
  }
  return items;
}

UninstallCommandText ReadUninstallCommand(RegistryApi& registry, const UninstallEntry& entry,
                                          SystemFolders& system) {
  UninstallCommandText read;
  if (!entry.Found()) return read;
  PlaceCursor cursor(registry, entry.place);
  if (!cursor.cursor.OpenPathForReading(entry.Path())) return read;
  read.outcome = UninstallCommandText::kMissing;
  std::uint32_t type = 0;
  if (registry.QueryValue(cursor.cursor.BaseKey(), kUninstallString, type, &read.text) != kRegOk)
    return read;
  if (!IsText(type)) {
    read.text.clear();
    read.outcome = UninstallCommandText::kNotText;
    return read;
  }
  read.text.resize(std::min(read.text.size(), read.text.find('\0')));
  read.outcome = UninstallCommandText::kRead;
  if (type == kRegExpandSz && !read.text.empty()) {
    std::string expanded;
    if (system.ExpandEnvironmentExactly(read.text, expanded)) {
      read.text = std::move(expanded);
    } else {
      read.exact = false;
      if (!expanded.empty()) read.text = std::move(expanded);
    }
  }
  return read;
}

bool DeleteUninstallEntry(RegistryApi& registry, const UninstallEntry& entry, long* error) {
  if (error != nullptr) *error = kRegInvalidHandle;
  // Exactly one key below the Uninstall key: never a root, never the Uninstall key itself, never
  // a key further down.
  if (!entry.Found() || entry.place.path.empty() || entry.name.find('\\') != std::string::npos)
    return false;
  PlaceCursor cursor(registry, entry.place);
  const bool deleted = cursor.cursor.DeleteTree(entry.Path());
  if (error != nullptr) *error = cursor.cursor.LastError();
  return deleted;
}

}  // namespace morvane
