#include "CleanReg/Uninstall.h"

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
    if (entry.cursor.OpenPathForReading(EntryPath(place, key.name)) && entry.cursor.HasValue(kDisplayName) &&
        entry.cursor.HasValue(kUninstallString))
      addItem(entry.cursor.ReadText(kDisplayName));
  }
}

UninstallEntry FindUninstallKey(RegistryApi& registry, const UninstallPlace& place,
                                const std::optional<std::string>& selected) {
  if (!selected) return {};
  for (const UninstallKey& key : UninstallKeys) {
    EntryCursor entry(registry, place.root, key.view);
    const std::string path = EntryPath(place, key.name);
    if (entry.cursor.OpenPathForReading(path) && entry.cursor.HasValue(kUninstallString) &&
        entry.cursor.ReadText(kDisplayName) == *selected)
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
