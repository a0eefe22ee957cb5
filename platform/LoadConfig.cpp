// The program's load configuration, which the loader reads before any of the program's code runs.
// Its one setting: the DLLs that the program's imports pull in at start are searched for in the
// system folder only (Windows 10 1607 and later read it). Everything loaded later is covered by
// RestrictDllSearch instead.
#include <windows.h>

namespace {

constexpr IMAGE_LOAD_CONFIG_DIRECTORY LoadConfiguration() {
  IMAGE_LOAD_CONFIG_DIRECTORY configuration{};
  configuration.Size = sizeof configuration;
  // The dependent load flags: Debian 12's headers call them Reserved1 (the WORD after CSDVersion).
  configuration.Reserved1 = LOAD_LIBRARY_SEARCH_SYSTEM32;
  return configuration;
}

}  // namespace

// The linker points the header's load-configuration directory at the structure of this name.
extern "C" __attribute__((used)) const IMAGE_LOAD_CONFIG_DIRECTORY _load_config_used =
    LoadConfiguration();
