#include "CleanReg/Uninstall.h"

#include <algorithm>

#include "platform/TRegistry.h"

namespace morvane {

std::vector<UninstallKey> UninstallKeys;

namespace {

// A cursor for one key: on the place's root and in the view of the key's entry.
struct EntryCursor {
  EntryCursor(RegistryApi& registry, RootKey root, std::uint32_t view) : cursor(registry) {
    cursor.SelectRoot(root);
    cursor.SelectView(view);
  }
  TRegistry cursor;
};

std::string EntryPath(const UninstallPlace& place, const std::string& name) { return place.path + "\\" + name; }

// The entry's display name, read in one query; nothing when the value is missing or cannot be
// read. Not text: the cursor's error for it.
std::optional<std::string> DisplayNameOf(const TRegistry& entry) {
  std::uint32_t type = 0;
  std::string data;
  if (entry.Api().QueryValue(entry.BaseKey(), kDisplayName, type, &data) != kRegOk) return std::nullopt;
  if (data.empty()) return std::string();
  if (type != kRegSz && type != kRegExpandSz)
    throw ERegistryException(std::string("Invalid data type for '") + kDisplayName + "'");
  data.resize(std::min(data.size(), data.find('\0')));
  return data;
}

}  // namespace

UninstallPlace MachineUninstallPlace(RegistryApi& registry) {
  UninstallPlace place;
  if (registry.HasTwoViews()) place.views = {kKeyWow64View64, kKeyWow64View32};
  return place;
}

void LoadUninstallList(RegistryApi& registry, const UninstallPlace& place,
                       const std::function<void(const std::string& displayName)>& addItem) {
  std::vector<UninstallKey> keys;
  for (std::uint32_t view : place.views) {
    EntryCursor uninstall(registry, place.root, view);
    std::vector<std::string> names;
    if (uninstall.cursor.OpenPathForReading(place.path)) uninstall.cursor.ListSubkeys(names);
    for (std::string& name : names) keys.push_back({std::move(name), view});
  }
  UninstallKeys = std::move(keys);
  for (const UninstallKey& key : UninstallKeys) {
    EntryCursor entry(registry, place.root, key.view);
    if (!entry.cursor.OpenPathForReading(EntryPath(place, key.name)) || !entry.cursor.HasValue(kUninstallString))
      continue;
    if (std::optional<std::string> name = DisplayNameOf(entry.cursor)) addItem(*name);
  }
}

UninstallEntry FindUninstallKey(RegistryApi& registry, const UninstallPlace& place,
                                const std::optional<std::string>& selected) {
  if (!selected) return {};
  for (const UninstallKey& key : UninstallKeys) {
    EntryCursor entry(registry, place.root, key.view);
    const std::string path = EntryPath(place, key.name);
    // A missing display name reads as the empty text.
    if (entry.cursor.OpenPathForReading(path) && entry.cursor.HasValue(kUninstallString) &&
        DisplayNameOf(entry.cursor).value_or(std::string()) == *selected)
      return {path, key.view};
  }
  return {};
}

bool DeleteUninstallEntry(RegistryApi& registry, const UninstallPlace& place, const UninstallEntry& entry) {
  // The path always has the Uninstall key's path and a name: never a root, never the
  // Uninstall key itself.
  if (!entry.Found() || entry.path.size() <= place.path.size() + 1) return false;
  EntryCursor cursor(registry, place.root, entry.view);
  return cursor.cursor.DeleteTree(entry.path);
}

std::string QuoteProgramPath(const std::string& commandLine,
                             const std::function<bool(const std::string&)>& fileExists) {
  if (commandLine.empty() || commandLine[0] == '"' || commandLine.find(' ') == std::string::npos) return commandLine;
  // The whole line first, then each prefix that ends before a space, longest first.
  std::size_t end = commandLine.size();
  for (;;) {
    const std::string program = commandLine.substr(0, end);
    if (program.find(' ') == std::string::npos) break;  // shorter ones hold no space to trip on
    if (program.back() != ' ' && fileExists(program)) return "\"" + program + "\"" + commandLine.substr(end);
    const std::size_t space = commandLine.rfind(' ', end - 1);
    if (space == std::string::npos || space == 0) break;
    end = space;
  }
  return commandLine;
}

}  // namespace morvane
