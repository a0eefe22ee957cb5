#include <windows.h>

#include "platform/Process.h"

namespace morvane {

void StartProgram(const std::string& commandLine) {
  if (commandLine.empty()) return;
  WinExec(commandLine.c_str(), SW_SHOW);
}

}  // namespace morvane
