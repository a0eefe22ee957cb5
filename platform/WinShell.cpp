#include "platform/Shell.h"

#include <shellapi.h>

#include <vector>

namespace morvane {

void ShellOpen(HWND owner, const std::string& target) {
  ShellExecuteA(owner, "open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

std::string ExecutablePath() {
  // A path may be longer than MAX_PATH; the buffer grows until the name fits.
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    const DWORD length =
        GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::string();
    if (length < buffer.size()) return std::string(buffer.data(), length);
    if (buffer.size() >= 32768) return std::string();
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace morvane
