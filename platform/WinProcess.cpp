#include <windows.h>

#include <vector>

#include "platform/Process.h"
#include "platform/WinHandles.h"

namespace morvane {

bool StartProgram(const std::string& program, const std::string& commandLine) {
  if (program.empty()) return false;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOW;
  PROCESS_INFORMATION process{};
  // The call may write into the command line.
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  if (!CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process))
    return false;
  const KernelHandle thread(process.hThread), started(process.hProcess);
  return true;
}

}  // namespace morvane
